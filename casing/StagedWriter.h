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
// the session, committed per chunk on a thread of its own; the user's table
// is not touched until the end, when one join changes every row that holds
// a staged old text, in one transaction.
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

    void write(QList<ChunkRecord> chunk) override;
    void settle() override;
    void finish() override;
    void abandon() override;
    void close() override;

private:
    bool applyCounted(int line, odbc::Transaction &apply);
    bool applyExpecting(int line, const QList<qint64> &rowsOfPair, odbc::Transaction &apply);
    void redoByValue();
    void countPair(TextPair &pair, qint64 rows);
    void reportUnwritten();

    BatchContext &m_run;
    const int m_capacity;
    const QVariant m_changesBeforeSnapshot;
    bool m_stagingMade = false;
    std::unique_ptr<odbc::Statement> m_stage[2]; // by ChunkCarrier
    std::unique_ptr<odbc::Statement> m_countByValue;
    std::unique_ptr<odbc::Statement> m_singleUpdate;

    bool m_inFlight = false; // a chunk of pairs is being staged
    int m_inFlightLine = 0;
    std::exception_ptr m_failure; // staging it failed
    // Declared last, so a step under way ends before anything it uses goes.
    BackgroundStep m_background;
};
