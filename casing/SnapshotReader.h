#pragma once

#include "casing/BackgroundStep.h"
#include "casing/BatchContext.h"
#include "platform/odbc/RecordSet.h"

#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>

// The rows a run visits: the field (and the row key) of every row, read on a
// connection of their own as the records are visited, while the run's
// connection writes the chunks before them, a block of rows at a time in the
// same memory: what they take does not grow with the table.
// With a key each block is a query of its own in the order of the key, after
// the last row of the block before. A run that is told which rows to visit
// (BatchChange::NamedRows) reads only those, a chunk of keys at a
// time. Without a key the rows come in the order of their texts, each with
// the number of rows that hold its text (SqlDialect::sortedRows): one query's
// rows fetched a block at a time, or blocks of the sorted table the engine
// made of them. Where none of that can be done, one query reads them whole
// on the run's connection.
class SnapshotReader {
public:
    explicit SnapshotReader(BatchContext &run)
        : m_run(run)
    {
    }

    // Opens the connection of the rows, and counts them, on a thread of its
    // own while the run looks up the field and its key: on some servers a
    // connection's first statement takes longer than the look-ups. open()
    // takes them; when that failed, it opens the connection again.
    void openEarly();
    // Once the key is known: starts reading the rows, as open() does, on the
    // thread of the connection opened early, while the run looks up the
    // field; on some servers the first rows (without a key, sorted) take as
    // long as the look-up. open() takes what was read.
    void readAhead();
    // Runs the query (with a key; without one, the rows are read sorted), or
    // takes the rows read ahead; a failure throws.
    void open(const QString &select);
    // Rows the table held when the run began (rows added or taken away
    // meanwhile can make the records visited differ).
    qsizetype count() const { return m_count; }
    // Without a key, while the rows read ahead are still being sorted: how
    // many rows were counted; none when they are not being read ahead.
    std::optional<qint64> rowsBeingSorted() const { return m_rowsBeingSorted; }
    // The rows at hand; positioned on the record to visit.
    odbc::RecordSet &records() { return m_records; }
    // Before a record is visited: the next block, when the one at hand is
    // done. False when no record is left. A failure ends the run.
    bool ensureRecord();
    // No more rows are wanted: the server lets go of the rows not read, so
    // the writes that follow never wait for them.
    void endReading();
    // Lets the driver's copy of a snapshot read alongside go; rows still
    // being read ahead (the run ended before it took them) are stopped.
    void close();
    // Without a key: the engine's change counter read before the snapshot,
    // or invalid when the engine has none.
    const QVariant &changesBefore() const { return m_changesBefore; }

    // Rows a block holds.
    static constexpr int BlockRows = 16000;
    // Without a key: the column of the number of rows that hold the record's text.
    static constexpr int RowsOfTextColumn = 2;

private:
    template <typename Read>
    bool readAlongside(Read &&read);
    // The connection opened early, else a new one.
    std::unique_ptr<odbc::Connection> connectionAlongside();
    // The rows counted on the connection of the rows.
    qint64 countRows();
    QVariant changesNow();
    void readFirstBlock();
    void readWhole(const QString &select);
    void readBlock(const QList<QVariant> &after);
    void fetchBlock();
    bool nextBlock();
    bool nextNamedBlock();
    QList<ChunkPart> namedParts(const QList<QList<QVariant>> &keys, int capacity) const;
    QList<QVariant> lastKey();

    BatchContext &m_run;
    odbc::RecordSet m_records;
    qsizetype m_count = 0;
    QVariant m_changesBefore;
    // Blocks read alongside the writes: their own connection, the query of
    // the first block (or the one streamed) and the query of every later one.
    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<odbc::Statement> m_query;
    std::unique_ptr<odbc::Statement> m_nextQuery;
    bool m_lastBlockFull = false;
    bool m_sorted = false; // without a key: blocks of the sorted table, by place
    bool m_streamed = false; // one query's rows, fetched block by block from m_query
    // Rows named by key: the statements that read them (by ChunkCarrier),
    // and the parts of the named chunk not read yet.
    bool m_named = false;
    std::unique_ptr<odbc::Statement> m_namedQuery[ChunkCarriers];
    QList<ChunkPart> m_namedParts;
    // Rows named in key order, read as the range of keys of each chunk named:
    // whether they are, the range of the chunk at hand, and whether its rows
    // are being read.
    bool m_byRange = false;
    SqlDialect::KeyRange m_range;
    bool m_rangeRead = false;
    // Opened early: the connection and its count; the step is declared
    // last, so that it ends before what it fills goes.
    std::unique_ptr<odbc::Connection> m_early;
    std::optional<qint64> m_earlyCount;
    std::optional<qint64> m_rowsBeingSorted;
    bool m_readingAhead = false; // the first block is being read on the step's thread
    // The statement that reads the sorted rows, once made: what close() stops
    // while it is reading ahead (asked when it is done, it lets go of its rows).
    std::mutex m_stoppableLock;
    odbc::Statement *m_stoppable = nullptr;
    BackgroundStep m_opening;
};
