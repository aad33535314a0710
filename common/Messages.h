#pragma once

#include <QString>

class QWidget;

// The program's plain messages, and how a text is shown in one.
namespace Messages {

// A plain message: OK only, no icon, the application title as its caption;
// details, when given, behind "Show Details...".
void show(QWidget *parent, const QString &text, const QString &details = {});

// A text on one line: control characters as their visible pictures (U+2400
// on), other invisible separators as <U+XXXX>.
QString visibleText(const QString &text);

// A count with its thousands separated, and the noun to go with it:
// "1 record", "2,000,000 records".
QString counted(qint64 count, const QString &singular, const QString &plural);
// A number with its thousands separated.
QString number(qint64 count);

} // namespace Messages
