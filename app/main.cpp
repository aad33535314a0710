#include "app/MainHelpers.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Main::SetAppTitle();
    QLabel window(QStringLiteral("Vantrell"));
    window.show();
    return app.exec();
}
