#pragma once

#include "casing/BatchContext.h"
#include "platform/odbc/RecordSet.h"

#include <QVariant>

#include <memory>

// The rows a run visits: the field (and the row key) of every row, read on a
// connection of their own as the records are visited, while the run's
// connection writes the chunks before them, a block of rows at a time in the
// same memory: what they take does not grow with the table. Each block is a
// query of its own in the order of the key (or, without one, of the engine's
// row locator), after the last row of the block before; where the engine
// has no row locator, one query's rows are fetched a block at a time.
// A run that is told which rows to visit (BatchChange::Callbacks::namedRows)
// reads only those, a chunk of keys at a time, on a connection of their own.
// Without a key each text's rows are counted first: by the engine where it
// can (SqlDialect::countTexts), else by reading the rows once more. Where
// none of that can be done, one query reads them whole on the run's connection.
class SnapshotReader {
public:
    explicit SnapshotReader(BatchContext &run)
        : m_run(run)
    {
    }

    // Runs the query; a failure throws.
    void open(const QString &select);
    // Rows the table held when the run began (rows added or taken away
    // meanwhile can make the records visited differ).
    qsizetype count() const { return m_count; }
    // The rows at hand; positioned on the record to visit.
    odbc::RecordSet &records() { return m_records; }
    // Before a record is visited: the next block, when the one at hand is
    // done. False when no record is left. A failure ends the run.
    bool ensureRecord();
    // The same, where a failure throws instead.
    bool hasRecord() { return !m_records.eof() || nextBlock(); }
    // Without a key: back before the first row, to read them all again.
    // Throws on a failure.
    void rewind();
    // No more rows are wanted: the server lets go of the rows not read, so
    // the writes that follow never wait for them.
    void endReading();
    // True when the rows are read on a connection of their own.
    bool readsAlongside() const { return m_connection != nullptr; }
    // A query of the rows' connection, its text handed over as the rows' is.
    // Throws on a failure.
    odbc::RecordSet query(const QString &select);
    // Lets the driver's copy of a snapshot read alongside go.
    void close();
    // Without a key: the engine's change counter read before the snapshot,
    // or invalid when the engine has none.
    const QVariant &changesBefore() const { return m_changesBefore; }

    // Rows a block holds.
    static constexpr int BlockRows = 16000;

private:
    template <typename Read>
    bool readAlongside(Read &&read);
    void readBlock(const QList<QVariant> &after);
    bool nextNamedBlock();
    void fetchBlock();
    bool nextBlock();

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
    QList<KeyColumn> m_blockKey; // the key, or the row locator, the blocks are read by
    bool m_streamed = false; // one query's rows, fetched block by block from m_query
    QString m_select;
    qsizetype m_rowsFetched = 0;
    // Rows named by key: the statements that read them (by ChunkCarrier),
    // and the parts of the named chunk not read yet.
    bool m_named = false;
    std::unique_ptr<odbc::Statement> m_namedQuery[2];
    QList<ChunkPart> m_namedParts;
};
