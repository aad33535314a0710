#include "app/BatchCommandLine.h"

#include <cstring>

namespace BatchCommandLine {

bool isRequested(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--batch") == 0 || std::strcmp(argv[i], "--help") == 0)
            return true;
    return false;
}

int run(const QStringList &)
{
    return 2;
}

} // namespace BatchCommandLine
