#pragma once

#include "casing/BatchContext.h"
#include "platform/odbc/RecordSet.h"

#include <QVariant>

#include <memory>

// The snapshot a run visits: the field (and the row key) of every row, as
// one query read them. Read whole on the run's connection, or, with a key
// on a driver that holds the whole result once the query has run, a block at
// a time on a connection of its own as the records are visited, while the
// run's connection writes the chunks before them.
class SnapshotReader {
public:
    explicit SnapshotReader(BatchContext &run)
        : m_run(run)
    {
    }

    // Runs the query; a failure throws.
    void open(const QString &select);
    // Rows the query counted.
    qsizetype count() const { return m_count; }
    // The rows at hand; positioned on the record to visit.
    odbc::RecordSet &records() { return m_records; }
    // Before a record is visited: the next block, when the one at hand is
    // done. A failure ends the run.
    void ensureRecord(int blockRecords);
    // Lets the driver's copy of a snapshot read alongside go.
    void close();
    // Without a key: the engine's change counter read before the snapshot,
    // or invalid when the engine has none.
    const QVariant &changesBefore() const { return m_changesBefore; }

private:
    bool readAlongside(const QString &select);

    BatchContext &m_run;
    odbc::RecordSet m_records;
    qsizetype m_count = 0;
    QVariant m_changesBefore;
    // A snapshot read alongside the writes: its own connection and query.
    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<odbc::Statement> m_query;
};
