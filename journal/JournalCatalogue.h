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
};

// Every journal of the folder, newest first; files that are not journals are left out.
QList<Entry> list(const QString &folder);

// The newest journal of the table's field in the database (and on the server,
// where both are known); none when there is none.
std::optional<Entry> newestFor(const QString &folder, const QString &server, const QString &database,
    const QString &schema, const QString &table, const QString &field);

// Remembers that the journal was undone at that time.
void markUndone(const QString &journalPath, const QDateTime &time);

// Removes the journal and its undo mark; false when the journal stays.
bool remove(const QString &journalPath);

// The bytes the journals of the list take on the disk.
qint64 totalBytes(const QList<Entry> &entries);

} // namespace JournalCatalogue
