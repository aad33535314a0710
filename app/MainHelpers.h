#pragma once

#include <QString>
#include <QVariant>

class QAbstractButton;
class QWidget;

// Helpers the windows share.
namespace Main {

// The default when the value is a database Null, else the value unchanged (an
// empty text is not Null).
QVariant NullToDefault(const QVariant &value, const QVariant &defaultValue);

// True when the time of the path's last change can be read; never fails.
bool FileExists(const QString &path);

// The folder that holds the program.
QString ProgramFolder();
// Tests and the demo point it elsewhere; an empty folder restores the real one.
void setProgramFolder(const QString &folder);
// The folder that holds the files the program ships with (skin, hand cursor,
// help picture) for a program in the given folder: the program's own folder, as
// in a build folder, or, for a program installed into a bin folder, the
// installation's share folder (../share/vantrell) when that exists.
QString filesFolderFor(const QString &programFolder);
// A file the program ships with: its files folder, a separator and the name.
QString besideProgram(const QString &name);

// The application title: the product title cut to at most 40 characters at a
// blank. It captions every message box that names no caption of its own.
void SetAppTitle();
QString titleFor(const QString &productTitle);
QString appTitle();

// A plain message: OK only, no icon, the application title as its caption;
// details, when given, behind "Show Details...".
void showMessage(QWidget *parent, const QString &text, const QString &details = {});

// A text on one line: control characters as their visible pictures (U+2400
// on), other invisible separators as <U+XXXX>.
QString visibleText(const QString &text);

// Enter and Return click the button while it has the focus, as on Windows.
void clickOnEnter(QAbstractButton *button);

// Places a window in the middle of the primary screen.
void centreOnScreen(QWidget *window);

} // namespace Main
