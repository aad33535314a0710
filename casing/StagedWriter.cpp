#include "casing/StagedWriter.h"

#include "platform/odbc/Statement.h"
#include "platform/odbc/Transaction.h"

#include <algorithm>
#include <optional>
#include <utility>

void StagedWriter::stageAhead()
{
    try {
        // Before the run's transactions: the question ends as it is answered.
        m_run.dialect->learnStaging(*m_run.connection);
        m_learnt = true;
        for (const QString &statement : m_run.dialect->createStaging())
            m_run.connection->execute(statement);
        m_stagingMade = true;
        // Babelfish reads a statement's first run slowly: the first chunk's is
        // read while the rows are still being sorted.
        if (const std::optional<ChunkPart> empty = m_run.dialect->emptyStagingPart(m_capacity))
            m_run.prepared(m_stage[int(empty->shape.carrier)], m_run.dialect->stageChunk(empty->shape))
                .execute(empty->parameters);
    } catch (const std::exception &) {
        // The first chunk makes the table.
    }
}

void StagedWriter::write(QList<ChunkRecord> chunk)
{
    if (m_firstLine == 0)
        m_firstLine = BatchChange::executeLine(chunk.first().mode);
    QList<QVariant> parameters;
    parameters.reserve(SqlDialect::StagedValues * m_capacity);
    for (const ChunkRecord &record : chunk)
        parameters << QString::number(record.pair) << record.change.oldText << record.change.newText
                   << QString::number(record.rows) << QString::number(record.records)
                   << QString::number(int(record.mode));
    settle();
    m_inFlight = true;
    m_inFlightLine = BatchChange::executeLine(chunk.first().mode);
    // A full first chunk says more will come: the question is asked before it.
    ++m_chunksStaged;
    const bool learn = !m_learnt && (m_chunksStaged == 2 || chunk.size() >= m_capacity);
    m_learnt = m_learnt || learn;
    for (const ChunkRecord &record : std::as_const(chunk)) {
        m_staged.rows += record.rows;
        m_staged.records += record.records;
        m_staged.recordsChanged += std::min<qint64>(record.rows, record.records);
        m_longestOldText = std::max(m_longestOldText, record.change.oldText.size());
    }
    m_staged.pairs += chunk.size();
    m_background.start([this, parameters = std::move(parameters), learn]() mutable {
        try {
            if (learn) {
                // Its question is read-only; it ends with the transaction it began.
                m_run.dialect->learnStaging(*m_run.connection);
                m_run.connection->rollback();
            }
            // Only this thread asks how pairs are staged, once the run has begun.
            // Padding rows have no pair number, so every chunk has the one statement shape.
            const QList<ChunkPart> parts
                = m_run.dialect->stagingParts(std::move(parameters), SqlDialect::StagedValues, m_capacity);
            odbc::Transaction transaction(*m_run.connection);
            if (!m_stagingMade) {
                for (const QString &statement : m_run.dialect->createStaging())
                    m_run.connection->execute(statement);
                m_stagingMade = true;
            }
            for (const ChunkPart &part : parts)
                m_run.prepared(m_stage[int(part.shape.carrier)], m_run.dialect->stageChunk(part.shape))
                    .execute(part.parameters);
            transaction.commit();
        } catch (...) {
            m_failure = std::current_exception();
        }
    });
}

void StagedWriter::settle()
{
    if (!m_inFlight)
        return;
    m_run.mustSucceed(m_inFlightLine, [&] { m_background.wait(); });
    m_inFlight = false;
    // The staging table is the program's own: a failure there will come back.
    m_run.mustSucceed(m_inFlightLine, [&] {
        if (const std::exception_ptr failure = std::exchange(m_failure, nullptr))
            std::rethrow_exception(failure);
    });
}

void StagedWriter::abandon()
{
    try {
        m_background.wait();
    } catch (const std::exception &) {
        // The run already ends on a failure of its own.
    }
    m_inFlight = false;
    m_failure = nullptr;
}

void StagedWriter::close()
{
    if (!m_stagingMade)
        return;
    try {
        m_run.connection->setAutoCommit(true);
        m_run.connection->execute(m_run.dialect->dropStaging());
    } catch (const std::exception &) {
        // The temporary table goes with the connection anyway.
    }
}

// One join changes every row that holds a staged old text, in one transaction.
void StagedWriter::finish()
{
    if (!m_stagingMade)
        return;
    const int line = m_firstLine;
    // The index is made once all pairs are in: one build instead of one
    // update per pair. The joins find every pair without it.
    indexIfItCan(m_run.dialect->indexStaging(m_longestOldText));
    // A trigger may change other rows as each row is changed: a statement per
    // text then checks the rows after the triggers of the texts before it.
    bool applied = false;
    if (!m_run.facts.updateTriggers) {
        odbc::Transaction apply(*m_run.connection);
        applied = applyCounted(line, apply);
    }
    if (!applied) {
        m_unwritten = {};
        redoByValue();
    }
    if (m_run.callbacks.afterWrite)
        m_run.callbacks.afterWrite(m_unwritten);
}

// In one transaction: the rows of each pair are counted, and kept locked; a
// pair whose old text no longer lies in as many rows as were counted (a row
// changed, added or taken away since) is taken out and left alone, so no
// row changes that the journal does not cover; one join changes the rest.
bool StagedWriter::applyCounted(int line, odbc::Transaction &apply)
{
    m_unwritten = {};
    m_recordsLeftOut = 0;
    // Nobody else has changed the database since before the snapshot: its rows are the counts.
    bool unchangedSinceSnapshot = false;
    if (m_changesBeforeSnapshot.isValid()
        && !m_run.send(
            line,
            [&] {
                unchangedSinceSnapshot = m_run.connection->query(m_run.dialect->changeCounter(m_run.table)).value(0)
                    == m_changesBeforeSnapshot;
            },
            BatchContext::Report::OnlyWhenEnding))
        return false;
    if (unchangedSinceSnapshot)
        return applyExpecting(line, apply, true) == Applied::Committed;
    // Where no pair lies in other than as many rows as were counted, and the
    // join rewrites as many rows as were counted in all, no pair lies in none:
    // none is looked for.
    if (const QString miscounted = m_run.dialect->stagedPairsMiscounted(m_run.table, m_run.field, m_longestOldText);
        !miscounted.isEmpty()) {
        bool anyMiscounted = true;
        if (!m_run.send(
                line,
                [&] {
                    odbc::Statement found(*m_run.connection);
                    found.executeDirect(miscounted);
                    anyMiscounted = found.fetch();
                    found.closeCursor();
                },
                BatchContext::Report::OnlyWhenEnding))
            return false;
        if (!anyMiscounted) {
            if (const Applied applied = applyExpecting(line, apply, true, RowCount::Needed);
                applied != Applied::OtherRows)
                return applied == Applied::Committed;
            // A pair lies in no row any more: the join is undone, and the
            // pairs that moved are looked for.
            m_run.connection->rollback();
        }
    }
    QList<int> moved;
    const bool counted = m_run.send(
        line,
        [&] {
            for (odbc::RecordSet found
                 = m_run.connection->query(m_run.dialect->stagedPairsMoved(m_run.table, m_run.field, m_longestOldText));
                 !found.eof(); found.moveNext()) {
                moved << found.value(0).toInt();
                m_unwritten.texts.append({ found.value(1).toString(), found.value(2).toString() });
                m_recordsLeftOut += found.value(3).toLongLong();
            }
        },
        BatchContext::Report::OnlyWhenEnding);
    if (!counted)
        return false;
    const bool takenOut = moved.isEmpty()
        || m_run.send(
            line,
            [&] {
                if (const QString index = m_run.dialect->indexStagingByNumber(); !index.isEmpty())
                    m_run.connection->execute(index);
                std::unique_ptr<odbc::Statement> unstage;
                for (const int pair : std::as_const(moved))
                    m_run.prepared(unstage, m_run.dialect->unstagePair()).execute({ QString::number(pair) });
            },
            BatchContext::Report::OnlyWhenEnding);
    return takenOut && applyExpecting(line, apply, moved.isEmpty()) == Applied::Committed;
}

// Runs the join, and commits it when it changed as many rows as the pairs
// staged are expected to hold, counting their records; otherwise the
// transaction is left to roll back.
StagedWriter::Applied StagedWriter::applyExpecting(
    int line, odbc::Transaction &apply, bool everyPairStaged, RowCount rowCount)
{
    Totals totals = m_staged;
    if (!everyPairStaged
        && !m_run.send(
            line,
            [&] {
                const odbc::RecordSet found = m_run.connection->query(m_run.dialect->stagedTotals());
                totals = { found.value(0).toLongLong(), found.value(1).toLongLong(), found.value(2).toLongLong(),
                    found.value(3).toLongLong() };
            },
            BatchContext::Report::OnlyWhenEnding))
        return Applied::Failed;
    const qint64 expected = totals.rows;
    const bool manyRowsPerText = expected > 4 * totals.pairs;
    std::optional<qint64> rows;
    const bool sent = m_run.send(
        line,
        [&] {
            rows = m_run.connection->execute(
                m_run.dialect->applyStaged(m_run.table, m_run.field, manyRowsPerText, m_longestOldText));
        },
        BatchContext::Report::OnlyWhenEnding);
    if (!sent || !rows)
        return Applied::Failed;
    // A server may not tell how many rows a statement changed (NOCOUNT).
    if (*rows < 0 ? rowCount == RowCount::Needed : *rows != expected)
        return Applied::OtherRows;
    m_run.mustSucceed(line, [&] { apply.commit(); });
    // Each pair's rows held its old text as they were counted: as many of its
    // records as rows were changed.
    m_run.tally.changed(qsizetype(totals.recordsChanged), expected);
    m_run.tally.changedSinceRead(qsizetype(totals.records - totals.recordsChanged + m_recordsLeftOut));
    return Applied::Committed;
}

// A transaction per pair, the pairs read back from the staging table a few
// at a time.
void StagedWriter::redoByValue()
{
    // The pairs are found in order without it, only more slowly.
    indexIfItCan(m_run.dialect->indexStagingByNumber());
    constexpr int PairsAtOnce = 1000;
    std::unique_ptr<odbc::Statement> next;
    for (int after = -1;;) {
        QList<StagedPair> pairs;
        m_run.mustSucceed(m_firstLine, [&] {
            odbc::Statement &statement = m_run.prepared(next, m_run.dialect->stagedPairs(PairsAtOnce));
            statement.execute({ QString::number(after) });
            for (odbc::RecordSet rows = odbc::RecordSet::fetch(statement); !rows.eof(); rows.moveNext())
                pairs.append(StagedPair { rows.value(0).toInt(), rows.value(1).toString(), rows.value(2).toString(),
                    rows.value(3).toLongLong(), rows.value(4).toLongLong(),
                    BatchChange::executeLine(Case::Mode(rows.value(5).toInt())) });
        });
        if (pairs.isEmpty())
            return;
        for (const StagedPair &pair : std::as_const(pairs))
            redoPair(pair);
        after = pairs.last().number;
    }
}

// An index of the staging table, in a transaction of its own, where the
// dialect has one; a failure that comes back meets the next statement.
void StagedWriter::indexIfItCan(const QString &index)
{
    if (index.isEmpty())
        return;
    try {
        odbc::Transaction indexing(*m_run.connection);
        m_run.connection->execute(index);
        indexing.commit();
    } catch (const std::exception &) {
        // What the index speeds up works without it.
    }
}

// The pair's rows are counted, and kept locked, and changed only while
// exactly as many hold the old text as were counted.
void StagedWriter::redoPair(const StagedPair &pair)
{
    odbc::Transaction pairChange(*m_run.connection);
    std::optional<qint64> holding;
    std::optional<qint64> changed;
    const bool sent = m_run.send(pair.line, [&] {
        odbc::Statement &count = m_run.prepared(m_countByValue, m_run.dialect->countByValue(m_run.table, m_run.field));
        count.execute(m_run.dialect->oldValueParameters(pair.oldText));
        holding = odbc::RecordSet::fetch(count).value(0).toLongLong();
        if (*holding != pair.rows)
            return;
        odbc::Statement &statement
            = m_run.prepared(m_singleUpdate, m_run.dialect->updateByValue(m_run.table, m_run.field));
        statement.execute(m_run.dialect->updateParameters(pair.newText, {}, pair.oldText));
        changed = statement.rowCount();
    });
    if (!sent || !changed || (*changed != *holding && *changed >= 0)) {
        sent ? m_run.tally.changedSinceRead(pair.records) : m_run.tally.refusedByServer(pair.records);
        m_unwritten.texts.append({ pair.oldText, pair.newText });
        return;
    }
    m_run.mustSucceed(pair.line, [&] { pairChange.commit(); });
    const qsizetype recordsChanged = qsizetype(std::min<qint64>(*holding, pair.records));
    m_run.tally.changed(recordsChanged, *holding);
    m_run.tally.changedSinceRead(pair.records - recordsChanged);
}
