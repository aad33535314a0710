// Draws the program's icon (ui/AppIcon.cpp) as PNG pictures laid out as the
// desktop's hicolor icon theme wants them. The build runs it for the package:
//
//     app-icon-pictures <folder> <size>...
//
// writes <folder>/hicolor/<size>x<size>/apps/vantrell.png for every size;
//
//     app-icon-pictures --ico <file> <size>...
//
// writes one Windows icon file holding a picture of every size (each stored as
// PNG, which Windows reads in icon files since Vista). It renders offscreen.

#include "ui/AppIcon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

void appendLittleEndian16(QByteArray &out, quint16 value)
{
    out.append(char(value & 0xFF)).append(char(value >> 8));
}

void appendLittleEndian32(QByteArray &out, quint32 value)
{
    appendLittleEndian16(out, quint16(value & 0xFFFF));
    appendLittleEndian16(out, quint16(value >> 16));
}

// An icon file: a directory of entries (width and height 0 mean 256), then
// each picture's bytes.
bool writeIcon(const QString &file, const QList<int> &sizes)
{
    QList<QByteArray> pictures;
    for (int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!AppIcon::picture(size).save(&buffer, "PNG"))
            return false;
        pictures << png;
    }
    constexpr int HeaderSize = 6;
    constexpr int EntrySize = 16;
    QByteArray out;
    appendLittleEndian16(out, 0);
    appendLittleEndian16(out, 1);
    appendLittleEndian16(out, quint16(sizes.size()));
    quint32 offset = HeaderSize + EntrySize * quint32(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const char side = sizes[i] >= 256 ? 0 : char(sizes[i]);
        out.append(side).append(side).append('\0').append('\0');
        appendLittleEndian16(out, 1);
        appendLittleEndian16(out, 32);
        appendLittleEndian32(out, quint32(pictures[i].size()));
        appendLittleEndian32(out, offset);
        offset += quint32(pictures[i].size());
    }
    for (const QByteArray &picture : pictures)
        out += picture;
    QFile target(file);
    return target.open(QIODevice::WriteOnly) && target.write(out) == out.size();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <size>...\n", argv[0]);
        return 2;
    }
    const bool icon = QByteArray(argv[1]) == "--ico";
    if (icon && argc < 4) {
        std::fprintf(stderr, "usage: %s --ico <file> <size>...\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[icon ? 2 : 1]);
    QList<int> iconSizes;
    for (int i = icon ? 3 : 2; i < argc; ++i) {
        bool isNumber = false;
        const int size = QByteArray(argv[i]).toInt(&isNumber);
        if (!isNumber || size <= 0) {
            std::fprintf(stderr, "%s: not a size: %s\n", argv[0], argv[i]);
            return 2;
        }
        if (icon) {
            if (size > 256) {
                std::fprintf(stderr, "%s: an icon holds pictures of up to 256 pixels: %s\n", argv[0], argv[i]);
                return 2;
            }
            iconSizes << size;
            continue;
        }
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QStringLiteral("/vantrell.png");
        if (!QDir().mkpath(folder) || !AppIcon::picture(size).save(file, "PNG")) {
            std::fprintf(stderr, "%s: could not write %s\n", argv[0], qPrintable(file));
            return 1;
        }
    }
    if (icon && !writeIcon(root, iconSizes)) {
        std::fprintf(stderr, "%s: could not write %s\n", argv[0], qPrintable(root));
        return 1;
    }
    return 0;
}
