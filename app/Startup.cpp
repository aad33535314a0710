#include "app/Startup.h"

#include "app/MainHelpers.h"

#include <QApplication>
#include <QLabel>

namespace Startup {

int run(QApplication &app)
{
    Main::SetAppTitle();
    QLabel window(QStringLiteral("Vantrell"));
    window.show();
    return app.exec();
}

} // namespace Startup
