#pragma once

#include <QString>

// Where the program and the files it ships with (skin, hand cursor, help
// picture) lie, and whether a file is there.
namespace ProgramFiles {

// True when the time of the path's last change can be read; never fails.
bool fileExists(const QString &path);

// The folder that holds the program.
QString programFolder();
// Tests and the demo point it elsewhere; an empty folder restores the real one.
void setProgramFolder(const QString &folder);
// The folder that holds the files the program ships with for a program in the
// given folder: the program's own folder, as in a build folder, or, for a
// program installed into a bin folder, the installation's share folder
// (../share/vantrell) when that exists.
QString filesFolderFor(const QString &programFolder);
// A file the program ships with: its files folder, a separator and the name.
QString besideProgram(const QString &name);

} // namespace ProgramFiles
