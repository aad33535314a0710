#include "app/BatchCommandLine.h"
#include "app/Startup.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // The command line works without a desktop, so it needs no window system.
    if (BatchCommandLine::isRequested(argc, argv)) {
        QCoreApplication app(argc, argv);
        return BatchCommandLine::run(QCoreApplication::arguments());
    }
    QApplication app(argc, argv);
    return Startup::run(app);
}
