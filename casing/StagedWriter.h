#pragma once

#include "casing/BackgroundStep.h"
#include "casing/BatchContext.h"
#include "casing/ChunkWriter.h"

#include <QVariant>

#include <exception>
#include <memory>

namespace odbc {
class Transaction;
}

// Without a key: each chunk's (old, new) pairs go to a temporary table of
// the session, with what is known of each (its rows and records), committed
// per chunk on a thread of its own; the user's table is not touched until
// the end, when one join changes every row that holds a staged old text, in
// one transaction. Nothing of a pair is kept in the program once it is staged.
class StagedWriter final : public ChunkWriter {
public:
    // changesBeforeSnapshot: the engine's change counter read before the
    // snapshot (see SqlDialect::changeCounter), or invalid.
    StagedWriter(BatchContext &run, int capacity, QVariant changesBeforeSnapshot)
        : m_run(run)
        , m_capacity(capacity)
        , m_changesBeforeSnapshot(std::move(changesBeforeSnapshot))
    {
    }

    // Before the first chunk, while the rows are being sorted and the run's
    // connection would only wait: asks the dialect how pairs may be staged
    // faster, and makes the staging table. Where that fails, the first chunk
    // does it again, and tells the failure.
    void stageAhead();
    void write(QList<ChunkRecord> chunk) override;
    void settle() override;
    void finish() override;
    void abandon() override;
    void close() override;

private:
    // A staged pair as the staging table holds it.
    struct StagedPair {
        int number = 0;
        QString oldText;
        QString newText;
        qint64 rows = 0;
        qint64 records = 0;
        int line = 0; // the line of the report for its mode
    };
    // What the staged pairs add up to: their rows, the pairs, their records,
    // and for each pair the smaller of its rows and its records.
    struct Totals {
        qint64 rows = 0;
        qint64 pairs = 0;
        qint64 records = 0;
        qint64 recordsChanged = 0;
    };
    bool applyCounted(int line, odbc::Transaction &apply);
    // Committed; the join changed other than as many rows as expected (the
    // transaction is left to roll back); or a statement failed.
    enum class Applied { Committed, OtherRows, Failed };
    // Whether the rows the join changed must be known, or only be checked where the server tells them.
    enum class RowCount { Needed, CheckedIfTold };
    // everyPairStaged: no pair was taken out, so the totals are those counted as they were staged.
    Applied applyExpecting(
        int line, odbc::Transaction &apply, bool everyPairStaged, RowCount rowCount = RowCount::CheckedIfTold);
    void redoByValue();
    void indexIfItCan(const QString &index);
    void redoPair(const StagedPair &pair);

    BatchContext &m_run;
    const int m_capacity;
    const QVariant m_changesBeforeSnapshot;
    bool m_stagingMade = false;
    int m_chunksStaged = 0;
    bool m_learnt = false; // the dialect was asked how pairs may be staged faster
    Totals m_staged;
    qsizetype m_longestOldText = 0; // in UTF-16 units, of every pair staged
    int m_firstLine = 0; // the report's line of the first pair staged
    std::unique_ptr<odbc::Statement> m_stage[ChunkCarriers]; // by ChunkCarrier
    std::unique_ptr<odbc::Statement> m_countByValue;
    std::unique_ptr<odbc::Statement> m_singleUpdate;
    // The staged pairs whose rows the end left as they were, and, once the
    // join changed the rest, the pairs it left out (their records).
    BatchChange::Unwritten m_unwritten;
    qint64 m_recordsLeftOut = 0;

    bool m_inFlight = false; // a chunk of pairs is being staged
    int m_inFlightLine = 0;
    std::exception_ptr m_failure; // staging it failed
    // Declared last, so a step under way ends before anything it uses goes.
    BackgroundStep m_background;
};
