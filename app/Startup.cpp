#include "app/Startup.h"

#include "app/WindowFlow.h"

#include <QApplication>

namespace Startup {

int run(QApplication &app)
{
    WindowFlow flow;
    flow.start();
    return app.exec();
}

} // namespace Startup
