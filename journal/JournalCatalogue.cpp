#include "journal/JournalCatalogue.h"

#include "common/Messages.h"
#include "journal/JournalReader.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>

namespace JournalCatalogue {

namespace {

QString markOf(const QString &journalPath)
{
    return journalPath + QStringLiteral(".undone");
}

// The undo's mark, read only from a regular file that is not a link.
void readMark(Entry &entry)
{
    QFile mark(markOf(entry.path));
    QString reason;
    if (QFileInfo(mark.fileName()).isSymLink() || !PrivateFile::openRegular(mark, reason))
        return;
    const QJsonObject object = QJsonDocument::fromJson(mark.read(4096)).object();
    const QDateTime time = QDateTime::fromString(object.value(QLatin1String("undoneAt")).toString(), Qt::ISODateWithMs);
    if (!time.isValid())
        return;
    entry.undoneAt = time;
    const QJsonValue putBack = object.value(QLatin1String("putBack"));
    const QJsonValue records = object.value(QLatin1String("records"));
    if (putBack.isDouble() && records.isDouble()) {
        entry.putBack = putBack.toInteger();
        entry.undoRecords = records.toInteger();
    }
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
        readMark(entry);
        entry.bytes = file.size() + QFileInfo(markOf(entry.path)).size();
        entries << entry;
    }
    // Newest first, by when each file was last written: a date inside a file
    // says only what its writer put there. Files of one moment by their names.
    QHash<QString, QDateTime> written;
    for (const QFileInfo &file : files)
        written.insert(file.filePath(), file.lastModified().toUTC());
    std::sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) {
        const QDateTime aWritten = written.value(a.path);
        const QDateTime bWritten = written.value(b.path);
        return aWritten != bWritten ? aWritten > bWritten : a.path > b.path;
    });
    return entries;
}

std::optional<Entry> newestFor(const QString &folder, const QString &server, const QString &database,
    const TableName &table, const QString &defaultSchema, const QString &field)
{
    const auto resolved = [&](const QString &schema) { return schema.isEmpty() ? defaultSchema : schema; };
    for (const Entry &entry : list(folder)) {
        const JournalHeader &h = entry.header;
        const bool sameServer
            = h.server.isEmpty() || server.isEmpty() || h.server.compare(server, Qt::CaseInsensitive) == 0;
        // A run that sent nothing has nothing to undo.
        if (entry.records > 0 && sameServer && h.database.compare(database, Qt::CaseInsensitive) == 0
            && resolved(h.schema).compare(resolved(table.schema), Qt::CaseInsensitive) == 0
            && h.table.compare(table.name, Qt::CaseInsensitive) == 0
            && h.field.compare(field, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return std::nullopt;
}

bool markUndone(const QString &journalPath, const QDateTime &time, qsizetype putBack, qsizetype records)
{
    if (putBack <= 0)
        return false;
    const QJsonObject mark { { QStringLiteral("undoneAt"), time.toUTC().toString(Qt::ISODateWithMs) },
        { QStringLiteral("putBack"), qint64(putBack) }, { QStringLiteral("records"), qint64(records) } };
    return PrivateFile::replaceContents(markOf(journalPath), QJsonDocument(mark).toJson(QJsonDocument::Compact));
}

QString Entry::undoneText(const QString &shownTime) const
{
    if (!undoneAt)
        return {};
    if (putBack && undoRecords && *putBack < *undoRecords) {
        return QStringLiteral("partly, %1 of %2, %3")
            .arg(Messages::number(*putBack), Messages::number(*undoRecords), shownTime);
    }
    return QStringLiteral("yes, ") + shownTime;
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
