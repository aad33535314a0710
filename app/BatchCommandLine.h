#pragma once

#include <QStringList>

// `vantrell --batch ...`: the batch case change without the windows.
namespace BatchCommandLine {

// True when the arguments ask for the command line: any argument but the
// window system's own (-platform, -style and the like). The command line
// refuses, with exit status 2, what it does not know.
bool isRequested(int argc, char *argv[]);

// Runs it and gives the process's exit code.
int run(const QStringList &arguments);

} // namespace BatchCommandLine
