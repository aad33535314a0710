#pragma once

#include "casing/BatchContext.h"
#include "platform/odbc/RecordSet.h"

#include <QVariant>

#include <memory>

// The rows a run visits: the field (and the row key) of every row. With a
// key they are read in blocks of key order, each after the last key of the
// block before, on a connection of their own as the records are visited,
// while the run's connection writes the chunks before them: the memory they
// take does not grow with the table. Without a key (or where that cannot be
// done) one query reads them whole on the run's connection.
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
    // Lets the driver's copy of a snapshot read alongside go.
    void close();
    // Without a key: the engine's change counter read before the snapshot,
    // or invalid when the engine has none.
    const QVariant &changesBefore() const { return m_changesBefore; }

    // Rows a block holds.
    static constexpr int BlockRows = 16000;

private:
    bool readInBlocks();
    void readBlock(const QList<QVariant> &after);

    BatchContext &m_run;
    odbc::RecordSet m_records;
    qsizetype m_count = 0;
    QVariant m_changesBefore;
    // Blocks read alongside the writes: their own connection, the query of
    // the first block and the query of every later one.
    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<odbc::Statement> m_query;
    std::unique_ptr<odbc::Statement> m_nextQuery;
    bool m_lastBlockFull = false;
};
