#pragma once

#include "platform/MessageBoxes.h"

#include <QList>
#include <QString>

// Records every message box instead of showing it; answers questions from a
// queue set in advance (No when it is empty). Installs itself while it lives.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon = Icon::None;
        bool question = false;
        QString details; // behind "Show Details..."
    };

    RecordingMessageBoxes() { setInstance(this); }
    ~RecordingMessageBoxes() override { setInstance(nullptr); }

    QStringList texts() const
    {
        QStringList all;
        for (const auto &s : shown)
            all << s.text;
        return all;
    }

    QList<Shown> shown;
    QList<bool> answers;
    std::function<void(const Shown &)> onShow; // e.g. to look at the window while a box is "open"

protected:
    void showInformation(
        QWidget *, const QString &text, const QString &title, Icon icon, const QString &details) override
    {
        shown.append({ text, title, icon, false, details });
        if (onShow)
            onShow(shown.last());
    }

    bool showQuestion(QWidget *, const QString &text, const QString &title) override
    {
        shown.append({ text, title, Icon::None, true, QString() });
        if (onShow)
            onShow(shown.last());
        return answers.isEmpty() ? false : answers.takeFirst();
    }
};
