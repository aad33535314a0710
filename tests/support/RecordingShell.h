#pragma once

#include "platform/Shell.h"

#include <QStringList>

// Records what the program asks the desktop to open. Installs itself while it lives.
class RecordingShell final : public Shell {
public:
    RecordingShell() { setInstance(this); }
    ~RecordingShell() override { setInstance(nullptr); }
    void open(const QString &target) override { opened << target; }

    QStringList opened;
};
