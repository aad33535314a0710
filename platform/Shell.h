#pragma once

#include <QString>

// Opens a web address or a file with the desktop's default program, without
// waiting for it. Tests install a recorder.
class Shell {
public:
    virtual ~Shell() = default;
    // Asks the desktop to open the target; throws Failure when that cannot even be started.
    virtual void open(const QString &target) = 0;

    static Shell &instance();
    static void setInstance(Shell *shell); // not owned; nullptr restores the desktop's shell
};

// xdg-open here, explorer on Windows.
class DesktopShell final : public Shell {
public:
    void open(const QString &target) override;
};
