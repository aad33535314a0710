#include "journal/JournalCatalogue.h"

#include "journal/JournalReader.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace JournalCatalogue {

namespace {

QString markOf(const QString &journalPath)
{
    return journalPath + QStringLiteral(".undone");
}

std::optional<QDateTime> undoneAt(const QString &journalPath)
{
    QFile mark(markOf(journalPath));
    if (!QFileInfo(mark.fileName()).isFile() || !mark.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(
        QJsonDocument::fromJson(mark.read(4096)).object().value(QLatin1String("undoneAt")).toString(),
        Qt::ISODateWithMs);
    return time.isValid() ? std::optional(time) : std::nullopt;
}

} // namespace

QList<Entry> list(const QString &folder)
{
    QList<Entry> entries;
    const QFileInfoList files = QDir(folder).entryInfoList({ QStringLiteral("*.jsonl") }, QDir::Files);
    for (const QFileInfo &file : files) {
        JournalReader reader;
        if (file.isSymLink() || !reader.readSummary(file.filePath()))
            continue;
        Entry entry;
        entry.path = file.filePath();
        entry.header = reader.header();
        entry.records = reader.recordLines();
        entry.undoneAt = undoneAt(entry.path);
        entry.bytes = file.size() + QFileInfo(markOf(entry.path)).size();
        entries << entry;
    }
    // Newest first; runs of one second by their file names.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.header.time != b.header.time ? a.header.time > b.header.time : a.path > b.path;
    });
    return entries;
}

std::optional<Entry> newestFor(const QString &folder, const QString &server, const QString &database,
    const QString &schema, const QString &table, const QString &field)
{
    for (const Entry &entry : list(folder)) {
        const JournalHeader &h = entry.header;
        const bool sameServer
            = h.server.isEmpty() || server.isEmpty() || h.server.compare(server, Qt::CaseInsensitive) == 0;
        if (sameServer && h.database.compare(database, Qt::CaseInsensitive) == 0
            && h.schema.compare(schema, Qt::CaseInsensitive) == 0 && h.table.compare(table, Qt::CaseInsensitive) == 0
            && h.field.compare(field, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return std::nullopt;
}

void markUndone(const QString &journalPath, const QDateTime &time)
{
    const PrivateFile::CreationScope privateFiles;
    QFile mark(markOf(journalPath));
    if (mark.open(QIODevice::WriteOnly | QIODevice::Truncate))
        mark.write(
            QJsonDocument(QJsonObject { { QStringLiteral("undoneAt"), time.toUTC().toString(Qt::ISODateWithMs) } })
                .toJson(QJsonDocument::Compact));
}

bool remove(const QString &journalPath)
{
    if (!QFile::remove(journalPath))
        return false;
    QFile::remove(markOf(journalPath));
    return true;
}

qint64 totalBytes(const QList<Entry> &entries)
{
    qint64 bytes = 0;
    for (const Entry &entry : entries)
        bytes += entry.bytes;
    return bytes;
}

} // namespace JournalCatalogue
