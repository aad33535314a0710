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

} // namespace Messages
