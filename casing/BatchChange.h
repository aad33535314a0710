#pragma once

#include "casing/WordRules.h"

#include "casing/Case.h"
#include "connection/LoginFields.h"
#include "connection/TableName.h"
#include "platform/odbc/Connection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

// One record whose new text is about to be sent.
struct PlannedChange {
    QList<QVariant> keyValues; // the row's key values in key order; empty without a key
    QString oldText;
    QString newText;
};
Q_DECLARE_TYPEINFO(PlannedChange, Q_RELOCATABLE_TYPE);

// The batch case change of one field of one table, without any window: one
// query reads the field (and the row key) into a snapshot, then every record's
// value is converted in turn. The new texts reach the server in chunks, each
// in a transaction of its own: with a key, one statement per chunk changes the
// chunk's rows, each only while it still holds the value that was read; a
// chunk that falls short is rolled back and done again record by record, so
// each record's outcome is known. Without a key, the (old, new) pairs are
// staged in a temporary table and applied at the end with one join.
class BatchChange {
public:
    using PlannedChange = ::PlannedChange;

    // What afterWrite() is told.
    struct Unwritten {
        QList<qsizetype> records; // with a key: places in the chunk of the records not written
        QList<std::pair<QString, QString>> texts; // without a key: (old, new) texts not written
    };

    // The rows a run with a key visits when not every row of the table.
    struct NamedRows {
        // The key values (as text, in key order) of up to `most` more rows,
        // none once all were named. A row named that the table no longer
        // holds is not visited.
        std::function<QList<QList<QVariant>>(int most)> next;
        qsizetype count = 0; // the rows named in all
        // Set when the rows are named in the order of the key (as a run read
        // them): where they are most of the table, each block is read as the
        // range of keys from its first to its last, the rows of the range it
        // does not name visited too, and the rows of the block this gives
        // (named, but not met in the range) read by key after it.
        std::function<QList<QList<QVariant>>()> unvisited;
    };

    struct Callbacks {
        std::function<QString()> modeText; // read again for every record
        std::function<void(double)> progress; // 0..100, fractions kept, after the yield of each record
        std::function<void()> yield; // once at the start of every record
        // A failure with the line of the step that failed. Each description is
        // passed once per run; repeats are only counted.
        std::function<void(int line, const QString &description)> failure;
        // Asked after every yield: true stops the run before its next record
        // (the program is ending). Records already written stay written.
        std::function<bool()> stop;
        // Once, after the key is chosen and before the first record: the key's
        // column names (empty without a key). False ends the run before anything is sent.
        std::function<bool(const QStringList &keyColumns)> started;
        // The records of a chunk, before any of them is sent (the rows of a
        // chunk without a key may come in several calls). False: nothing of
        // the chunk is sent and the run ends.
        std::function<bool(const QList<PlannedChange> &records)> beforeSend;
        // Once the records handed to beforeSend reached their end on the
        // server, which of them it did not write: with a key, after each
        // chunk, by their places among the chunk's records; without a key,
        // once the staged texts were applied, by their old and new texts.
        // Every other record handed over was written. Not called for records
        // whose end the run does not know (it ended under them).
        std::function<void(const Unwritten &unwritten)> afterWrite;
        // Replaces the mode's case rule when set: the text to write for a
        // record read with this old text and key, or std::nullopt to leave the
        // record out (counted in Result::leftOut). Without a key, `rows` is
        // the number of rows that held exactly the old text when the run
        // began (with a key, 1). The records of one text come one after
        // another, and its first record decides for all.
        std::function<std::optional<QString>(const QString &oldText, const QList<QVariant> &keyValues, qsizetype rows)>
            rewrite;
        // When `next` is set, a run with a key visits only the rows it names.
        NamedRows namedRows;
    };

    enum class Outcome {
        Finished, // every record was visited
        NotStarted, // a failure before the first record (already passed to failure()): nothing was sent
        Refused, // the field cannot be rewritten (see refusal): nothing was sent
        Stopped, // stop() said so part way; the records before were visited
        EndedByFailure, // a failure that would come back for every record ended the run part way
        Declined, // started() or beforeSend() said no: nothing more was sent
    };

    struct Result {
        Outcome outcome = Outcome::Finished;
        QString refusal;
        bool byKey = false; // rows were named by a key rather than by their value

        qsizetype recordsRead = 0;
        qint64 rowsChanged = 0; // as the server counts them
        qsizetype recordsChanged = 0; // records whose row now holds the new text
        qsizetype alreadyInCase = 0; // Null, or the new text equals the old: nothing sent
        qsizetype withoutMode = 0; // the mode text named no mode: nothing sent
        qsizetype leftOut = 0; // the rewrite callback left the record out: nothing sent

        // Records left as they were, by reason.
        qsizetype changedSinceRead = 0; // the row no longer held the value that was read
        qsizetype notRepresentable = 0; // the new text does not survive the column's code page
        qsizetype rejected = 0; // the server refused the statement
        qsizetype unreadable = 0; // the value read differs from the one stored (a NUL, bytes that are not text)
        qsizetype notReached = 0; // not changed because the run ended before them

        qsizetype unchanged() const { return changedSinceRead + notRepresentable + rejected + unreadable + notReached; }

        // Where the run's time went, in seconds: before the first record
        // (connections, look-ups, the first rows), reading the rows after
        // the first, handing the chunks over and sending them, and the end
        // (the last chunk, the staged texts, letting go); the rest of the
        // whole went on visiting the records.
        struct Times {
            double setUp = 0;
            double reading = 0;
            double writing = 0;
            double end = 0;
            double whole = 0;
        };
        Times times;
    };

    // Line numbers of the error report, by step.
    static constexpr int LineOpenLocal = 116;
    static constexpr int LineOpenWithPort = 118;
    static constexpr int LineQuery = 120;
    static constexpr int LineRecordCount = 128;
    static constexpr int LineRecordValue = 138;
    static int modeTestLine(Case::Mode mode) { return 144 + 8 * int(mode); }
    static int newTextLine(Case::Mode mode) { return 146 + 8 * int(mode); }
    static int statementLine(Case::Mode mode) { return 148 + 8 * int(mode); }
    static int executeLine(Case::Mode mode) { return 150 + 8 * int(mode); }

    BatchChange(LoginFields fields, TableName table, QString field, Callbacks callbacks);

    // Reads, converts and checks as a real run, hands the records to
    // beforeSend, and sends nothing: the result counts what a run would change.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // The word rules Proper Case and Sentence case follow; none: the plain rules.
    void setWordRules(std::shared_ptr<const WordRules> rules) { m_wordRules = std::move(rules); }
    // A connection opened from the same login fields (by the check that the
    // server answers), which the run takes as its own rather than opening one.
    void setOpenedConnection(std::unique_ptr<odbc::Connection> connection) { m_opened = std::move(connection); }

    // Runs the whole change; never throws.
    Result run();
    // The times of the run that ended last in this process (what a benchmark
    // of the window reads).
    static Result::Times lastTimes();

private:
    LoginFields m_fields;
    TableName m_table;
    QString m_field;
    Callbacks m_callbacks;
    bool m_dryRun = false;
    std::shared_ptr<const WordRules> m_wordRules;
    std::unique_ptr<odbc::Connection> m_opened;
};

// One line that says how many records could not be changed and why.
QString describeUnchanged(const BatchChange::Result &result);
// One line of every count of a run: records read, rows changed, already in
// case, and those left unchanged by reason.
QString describeCounts(const BatchChange::Result &result);
// One line of where a run's time went.
QString describeTimes(const BatchChange::Result::Times &times);
