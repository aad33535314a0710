#pragma once

#include <QStringList>

// `vantrell --batch ...`: the batch case change without the windows.
namespace BatchCommandLine {

// True when the arguments ask for the command line (--batch, --help or --version).
bool isRequested(int argc, char *argv[]);

// Runs it and gives the process's exit code.
int run(const QStringList &arguments);

} // namespace BatchCommandLine
