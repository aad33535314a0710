#include "app/Startup.h"

#include "app/WindowFlow.h"

#include <QApplication>

namespace Startup {

int run(QApplication &app)
{
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vantrell"));
    WindowFlow flow;
    flow.start();
    return app.exec();
}

} // namespace Startup
