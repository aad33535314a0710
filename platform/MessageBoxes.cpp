#include "platform/MessageBoxes.h"

#include "platform/BusyPointer.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace {
MessageBoxes *installed = nullptr;

// Plain text, shown as it stands, and buttons without the desktop theme's icons.
void prepare(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
    for (QAbstractButton *button : box.buttons())
        button->setIcon(QIcon());
}
} // namespace

MessageBoxes &MessageBoxes::instance()
{
    static QtMessageBoxes real;
    return installed ? *installed : real;
}

void MessageBoxes::setInstance(MessageBoxes *boxes)
{
    installed = boxes;
}

void MessageBoxes::inform(QWidget *parent, const QString &text, const QString &title, Icon icon, const QString &details)
{
    const BusyPointer::Pause pause;
    showInformation(parent, text, title, icon, details);
}

bool MessageBoxes::ask(QWidget *parent, const QString &text, const QString &title)
{
    const BusyPointer::Pause pause;
    return showQuestion(parent, text, title);
}

QString MessageBoxes::displayText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void QtMessageBoxes::showInformation(
    QWidget *parent, const QString &text, const QString &title, Icon icon, const QString &details)
{
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title, displayText(text),
        QMessageBox::Ok, parent);
    if (!details.isEmpty())
        box.setDetailedText(details);
    prepare(box);
    box.exec();
}

bool QtMessageBoxes::showQuestion(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, displayText(text), QMessageBox::Yes | QMessageBox::No, parent);
    prepare(box);
    return box.exec() == QMessageBox::Yes;
}
