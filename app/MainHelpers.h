#pragma once

#include <QString>
#include <QVariant>

class QWidget;

// Helpers the windows share.
namespace Main {

// The default when the value is a database Null, else the value unchanged (an
// empty text is not Null).
QVariant NullToDefault(const QVariant &value, const QVariant &defaultValue);

// True when the time of the path's last change can be read; never fails.
bool FileExists(const QString &path);

// The folder that holds the program; files beside the program are found there.
QString ProgramFolder();
// Tests and the demo point it elsewhere; an empty folder restores the real one.
void setProgramFolder(const QString &folder);
// A file beside the program: the folder, a separator and the name.
QString besideProgram(const QString &name);

// The application title: the product title cut to at most 40 characters at a
// blank. It captions every message box that names no caption of its own.
void SetAppTitle();
QString titleFor(const QString &productTitle);
QString appTitle();

// A plain message: OK only, no icon, the application title as its caption.
void showMessage(QWidget *parent, const QString &text);

// Places a window in the middle of the primary screen.
void centreOnScreen(QWidget *window);

} // namespace Main
