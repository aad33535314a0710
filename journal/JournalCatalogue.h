#pragma once

#include "journal/JournalHeader.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The journals kept on this computer, as a list of runs: what each changed,
// and whether and when it was undone. An undo is remembered in a small file
// beside its journal ("<journal>.undone"), so the journal stays as its run wrote it.
namespace JournalCatalogue {

struct Entry {
    QString path;
    JournalHeader header;
    qsizetype records = 0; // the whole record lines of the file
    qint64 bytes = 0; // the journal and its undo mark
    std::optional<QDateTime> undoneAt;
    // What the undo put back, of the journal's records; none in a mark of an
    // earlier version, which an undo wrote only when everything went back.
    std::optional<qsizetype> putBack;
    std::optional<qsizetype> undoRecords;

    // "yes, <time>", "partly, N of M, <time>", or nothing when never undone.
    QString undoneText(const QString &shownTime) const;
};

// Every journal of the folder, newest first (by when the file was last
// written, whatever dates it holds); files that are not journals are left out.
QList<Entry> list(const QString &folder);

// The newest journal of the table's field in the database (and on the server,
// where both are known) of a run that sent records; none when there is none.
// An empty schema, in the journal or given, is the default schema.
std::optional<Entry> newestFor(const QString &folder, const QString &server, const QString &database,
    const TableName &table, const QString &defaultSchema, const QString &field);

// Remembers that an undo at that time put back `putBack` of the journal's
// `records` records. An undo that put back nothing is not remembered. The
// mark is a private regular file beside the journal, never written through a
// link or into a pipe. False when it could not be written.
bool markUndone(const QString &journalPath, const QDateTime &time, qsizetype putBack, qsizetype records);

// Removes the journal and its undo mark; false when the journal stays.
bool remove(const QString &journalPath);

// The bytes the journals of the list take on the disk.
qint64 totalBytes(const QList<Entry> &entries);

} // namespace JournalCatalogue
