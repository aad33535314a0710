#pragma once

#include <QCursor>
#include <QString>

// The hand cursor the windows show over their push buttons.
namespace HandCursor {

// Reads a Windows cursor file (.cur): the picture through Qt's image reader and
// the hotspot from the file's own directory entry, which the reader does not
// report. Throws Failure when the file is not a readable cursor.
QCursor load(const QString &path);

} // namespace HandCursor
