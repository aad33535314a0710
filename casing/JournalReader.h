#pragma once

#include "casing/BatchChange.h"
#include "casing/JournalHeader.h"

#include <QList>
#include <QString>

// Reads a whole journal. The format, JSON Lines in UTF-8, each line ending in
// a line feed:
//   {"format":"Vantrell journal","formatVersion":1,"table":"...","schema":"...",
//    "field":"...","server":"...","database":"...","mode":"UPPER CASE",
//    "time":"2026-01-31T12:00:00.000Z","programVersion":"1.0","keyColumns":["id"]}
//   {"key":["17"],"old":"new york","new":"NEW YORK"}
//   ...
// then one object per record about to be changed: its key values in the order
// of keyColumns (text, or null for a Null value; [] when the rows were named
// by value, and then one object per row of the value), its old text and its
// new text. Null values are never changed, so texts are always strings; every
// UTF-16 unit is kept (control characters and lone surrogates as \u escapes).
class JournalReader {
public:
    // False, with error() saying why, when the file cannot be read or is not a
    // whole journal (cut short, or not a journal at all).
    bool read(const QString &path);

    const JournalHeader &header() const { return m_header; }
    const QList<PlannedChange> &records() const { return m_records; }
    QString error() const { return m_error; }

private:
    bool fail(const QString &path, const QString &reason);

    JournalHeader m_header;
    QList<PlannedChange> m_records;
    QString m_error;
};
