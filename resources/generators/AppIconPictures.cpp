// Draws the program's icon (app/AppIcon.cpp) as PNG pictures laid out as the
// desktop's hicolor icon theme wants them. The build runs it for the package:
//
//     app-icon-pictures <folder> <size>...
//
// writes <folder>/hicolor/<size>x<size>/apps/vantrell.png for every size.
// It renders offscreen.

#include "app/AppIcon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <size>...\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool isNumber = false;
        const int size = QByteArray(argv[i]).toInt(&isNumber);
        if (!isNumber || size <= 0) {
            std::fprintf(stderr, "%s: not a size: %s\n", argv[0], argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QStringLiteral("/vantrell.png");
        if (!QDir().mkpath(folder) || !AppIcon::picture(size).save(file, "PNG")) {
            std::fprintf(stderr, "%s: could not write %s\n", argv[0], qPrintable(file));
            return 1;
        }
    }
    return 0;
}
