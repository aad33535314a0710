#pragma once

#include <QString>

class QWidget;

// The program's modal message boxes. Handlers ask MessageBoxes::instance(); tests
// install a recorder so no box ever opens.
class MessageBoxes {
public:
    enum class Icon { None, Warning };

    virtual ~MessageBoxes() = default;

    // A box with a single OK button; returns when the user has pressed it.
    // Details, when given, wait behind a "Show Details..." button.
    void inform(QWidget *parent, const QString &text, const QString &title, Icon icon, const QString &details = {});
    // A box with Yes and No buttons; true for Yes.
    bool ask(QWidget *parent, const QString &text, const QString &title);

    static MessageBoxes &instance();
    // Installs another implementation (not owned); nullptr restores the real boxes.
    static void setInstance(MessageBoxes *boxes);

    // The text as the screen shows it: every carriage return, with or without a
    // line feed after it, becomes one line break.
    static QString displayText(const QString &text);

protected:
    // The boxes themselves. While one waits for the user the busy pointer is
    // taken away, and it comes back when the box closes.
    virtual void showInformation(
        QWidget *parent, const QString &text, const QString &title, Icon icon, const QString &details)
        = 0;
    virtual bool showQuestion(QWidget *parent, const QString &text, const QString &title) = 0;
};

// Real Qt message boxes.
class QtMessageBoxes final : public MessageBoxes {
protected:
    void showInformation(
        QWidget *parent, const QString &text, const QString &title, Icon icon, const QString &details) override;
    bool showQuestion(QWidget *parent, const QString &text, const QString &title) override;
};
