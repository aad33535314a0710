#include "app/BatchCommandLine.h"
#include "app/Startup.h"
#include "platform/Console.h"
#include "ui/EventDispatcher.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// True when the windows have no display to open on: a Linux desktop names
// its display in DISPLAY or WAYLAND_DISPLAY, unless another platform is chosen.
bool noDisplay(int argc, char *argv[])
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            return false;
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value && *value;
    };
    return !set("QT_QPA_PLATFORM") && !set("DISPLAY") && !set("WAYLAND_DISPLAY");
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line works without a desktop, so it needs no window system.
    if (BatchCommandLine::isRequested(argc, argv)) {
        Console::attachToCaller();
        QCoreApplication app(argc, argv);
        return BatchCommandLine::run(QCoreApplication::arguments());
    }
    if (noDisplay(argc, argv)) {
        std::fputs("vantrell: there is no display to open the window on (DISPLAY is not set). The command line "
                   "needs none: see vantrell --help.\n",
            stderr);
        return 2;
    }
    EventDispatcher::preferQtOwn();
    QApplication app(argc, argv);
    return Startup::run(app);
}
