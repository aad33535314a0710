#pragma once

#include "casing/BatchChange.h"
#include "journal/JournalHeader.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Reads a journal: JSON Lines in UTF-8, each line ending in a line feed (see
// docs/journal.md). A header of the run, then one object per record about to be
// changed, and, from the second format on, lines of what the server wrote:
//   {"format":"Vantrell journal","formatVersion":2,"table":"...","schema":"...",
//    "field":"...","server":"...","port":"1433","localConnection":false,
//    "database":"...","mode":"UPPER CASE","time":"2026-01-31T12:00:00.000Z",
//    "programVersion":"1.0","keyColumns":["id"]}
//   {"key":["17"],"old":"new york","new":"NEW YORK"}
//   {"written":"chunk","except":[3]}          with a key, after each chunk
//   {"notWritten":{"old":"a","new":"A"}}      without a key, at the end ...
//   {"written":"texts"}                       ... once the texts were applied
// Key values are text, or null for a Null value; [] when the rows were named
// by value, and then one object per row of the value. Null values are never
// changed, so texts are always strings; every UTF-16 unit is kept (control
// characters and lone surrogates as \u escapes).
//
// A run writes each line whole before the records it holds are sent, so a
// last line cut short (the run was killed, or the disk was full) held records
// that were never sent: it is left out, and cutShort() says so.
class JournalReader {
public:
    JournalReader();
    ~JournalReader();

    // Checks the whole file and counts its records, without keeping them:
    // false, with error() saying why, when the file cannot be read or is not
    // a journal: not a regular file, no whole header, or a line before the
    // last that is not a journal record.
    // `reading`, when given, is called every few thousand lines with the share
    // of the file read so far (0 to 1): a window shows it and keeps painting.
    bool read(const QString &path, const std::function<void(double)> &reading = {});

    // Reads the header alone and counts the whole lines after it, without
    // reading the records: what a list of journals shows. False as read().
    bool readSummary(const QString &path);
    // After readSummary(): the whole record lines the file holds.
    qsizetype recordLines() const { return m_recordLines; }

    const JournalHeader &header() const { return m_header; }

    // After read(): the records that can be put back, in the journal's order,
    // read from the file once more a line at a time, so that what is held
    // never grows with the journal. openRecords() starts from the first;
    // nextRecord() gives the next one, or false after the last one or when
    // the file no longer reads as read() found it (error() then says why).
    bool openRecords();
    // `offset`, when given, is set to the place of the record's line, from
    // which readRecordAt() reads it again.
    bool nextRecord(PlannedChange &record, qint64 *offset = nullptr);
    bool readRecordAt(qint64 offset, PlannedChange &record);
    // The records nextRecord() gives.
    qsizetype keptRecords() const { return m_kept; }
    // Without a key: at most how many times a record's texts differ from
    // those of the record before (a run writes the records of a text's
    // rows one after another).
    qsizetype textPairs() const { return m_textPairs; }

    // Records of the file that no run of the program writes, and are never put
    // back: old and new text that differ in more than letter case, a text with
    // a NUL or a lone surrogate (no engine stores it as it is), a key named
    // twice, an object with a member twice.
    qsizetype refusedRecords() const { return m_refused; }
    // Records the journal says the server did not write (a row changed since
    // it was read, or refused), which are never put back.
    qsizetype notWrittenRecords() const { return m_notWritten; }
    // Without a key: records whose texts the run never told the end of (it
    // ended before or while its texts were applied); they are left alone.
    qsizetype endUnknownRecords() const { return m_endUnknown; }
    // True when the journal tells which records were written (its second format on).
    bool tellsWritten() const { return m_header.formatVersion >= 2; }
    // True when the file's last line was cut short and left out.
    bool cutShort() const { return m_cutShort; }
    QString error() const { return m_error; }

private:
    class Scan;
    struct LookUp;
    enum class Pass { Check, Count, Give };

    bool fail(const QString &path, const QString &reason);
    // Reads the file from its header on, as `pass` wants: checks and counts
    // every line, counts what only the end of the file tells, or gives the
    // records that can be put back.
    bool scan(Pass pass, const std::function<void(double)> &reading = {});
    // Opens the file and reads its header; false as read().
    bool openAndReadHeader(QFile &file);
    bool readHeader(const QByteArray &line);
    static bool isOutcomeLine(const QByteArray &line);

    QString m_path;
    JournalHeader m_header;
    qsizetype m_kept = 0;
    qsizetype m_textPairs = 0;
    qsizetype m_refused = 0;
    bool m_cutShort = false;
    qsizetype m_recordLines = 0;
    qsizetype m_notWritten = 0;
    qsizetype m_endUnknown = 0;
    QString m_error;
    // The file as read() found it: a later pass that finds it otherwise stops.
    qint64 m_size = 0;
    QDateTime m_modified;
    // With a key: a hash of each key named more than once (a record of such a
    // key is refused). Without a key: the texts the server did not write, and
    // whether the journal tells the end of the texts.
    QSet<size_t> m_repeatedKeys;
    QSet<std::pair<QString, QString>> m_unwrittenTexts;
    bool m_textsSettled = false;
    bool m_checked = false; // read() found the file a journal
    std::unique_ptr<Scan> m_records; // the pass of openRecords()
    std::unique_ptr<LookUp> m_lookUp; // the file as readRecordAt() reads it
};
