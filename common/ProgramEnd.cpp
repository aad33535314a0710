#include "common/ProgramEnd.h"

#include <QCoreApplication>

namespace ProgramEnd {

namespace {
bool ending = false;
} // namespace

void request(int exitCode)
{
    ending = true;
    QCoreApplication::exit(exitCode);
}

bool requested()
{
    return ending;
}

void reset()
{
    ending = false;
}

} // namespace ProgramEnd
