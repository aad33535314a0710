#include "platform/HandCursor.h"

#include "platform/Failure.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace HandCursor {

namespace {

constexpr int DirectorySize = 6;
constexpr int EntrySize = 16;
constexpr quint16 CursorType = 2;

Failure notACursor(const QString &path, const QString &why)
{
    return Failure(QStringLiteral("The cursor file \"%1\" cannot be used: %2").arg(path, why));
}

} // namespace

QCursor load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw notACursor(path, file.errorString());
    const QByteArray head = file.read(DirectorySize + EntrySize);
    if (head.size() < DirectorySize + EntrySize)
        throw notACursor(path, QStringLiteral("the file is too short."));
    const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
    if (qFromLittleEndian<quint16>(bytes) != 0 || qFromLittleEndian<quint16>(bytes + 2) != CursorType
        || qFromLittleEndian<quint16>(bytes + 4) == 0)
        throw notACursor(path, QStringLiteral("it is not a cursor file."));
    const uchar *entry = bytes + DirectorySize;
    const int hotX = qFromLittleEndian<quint16>(entry + 4);
    const int hotY = qFromLittleEndian<quint16>(entry + 6);
    file.close();

    QImageReader reader(path, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        throw notACursor(path, reader.errorString());
    if (hotX >= image.width() || hotY >= image.height())
        throw notACursor(path, QStringLiteral("its hotspot lies outside the picture."));
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

} // namespace HandCursor
