#include "casing/StagedWriter.h"

#include "platform/odbc/Transaction.h"

#include <algorithm>
#include <optional>
#include <utility>

void StagedWriter::write(QList<ChunkRecord> chunk)
{
    for (const ChunkRecord &record : chunk)
        m_run.pairs[record.pair].staged = true;
    QList<QVariant> parameters;
    parameters.reserve(3 * m_capacity);
    for (const ChunkRecord &record : chunk)
        parameters << QString::number(record.pair) << record.change.oldText << record.change.newText;
    // Padding rows have no pair number, so every chunk has the one statement shape.
    QList<ChunkPart> parts = m_run.dialect->chunkParts(std::move(parameters), 3, m_capacity);
    settle();
    m_inFlight = true;
    m_inFlightLine = BatchChange::executeLine(chunk.first().mode);
    m_background.start([this, parts = std::move(parts)] {
        try {
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
    const QList<TextPair> &pairs = m_run.pairs;
    const int line = BatchChange::executeLine(pairs.isEmpty() ? Case::Mode::Upper : pairs.first().mode);
    // The index is made once all pairs are in: one build instead of one update per pair.
    m_run.mustSucceed(line, [&] {
        m_run.connection->execute(m_run.dialect->indexStaging());
        m_run.connection->commit();
    });
    // A trigger may change other rows as each row is changed: a statement per
    // text then checks the rows after the triggers of the texts before it.
    if (!m_run.facts.updateTriggers) {
        odbc::Transaction apply(*m_run.connection);
        if (applyCounted(line, apply)) {
            reportUnwritten();
            return;
        }
    }
    redoByValue();
    reportUnwritten();
}

// Every staged text whose rows the apply left as they were.
void StagedWriter::reportUnwritten()
{
    if (!m_run.callbacks.afterWrite)
        return;
    BatchChange::Unwritten unwritten;
    for (const TextPair &pair : std::as_const(m_run.pairs))
        if (pair.staged && !pair.written)
            unwritten.texts.append({ pair.oldText, pair.newText });
    m_run.callbacks.afterWrite(unwritten);
}

// In one transaction: the rows of each pair are counted, and kept locked; a
// pair whose old text no longer lies in as many rows as the snapshot held (a
// row changed, added or taken away since) is taken out and left alone, so no
// row changes that the journal does not cover; one join changes the rest.
bool StagedWriter::applyCounted(int line, odbc::Transaction &apply)
{
    const QList<TextPair> &pairs = m_run.pairs;
    QList<qint64> rowsOfPair(pairs.size(), 0);
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
    if (unchangedSinceSnapshot) {
        for (int i = 0; i < pairs.size(); ++i)
            if (pairs[i].staged)
                rowsOfPair[i] = pairs[i].rows;
        return applyExpecting(line, rowsOfPair, apply);
    }
    const bool counted = m_run.send(
        line,
        [&] {
            for (odbc::RecordSet found = m_run.connection->query(m_run.dialect->countStaged(m_run.table, m_run.field));
                 !found.eof(); found.moveNext())
                if (const qsizetype pair = found.value(0).toLongLong(); pair >= 0 && pair < rowsOfPair.size())
                    rowsOfPair[pair] = found.value(1).toLongLong();
        },
        BatchContext::Report::OnlyWhenEnding);
    if (!counted)
        return false;
    QList<int> moved;
    for (int i = 0; i < pairs.size(); ++i) {
        if (pairs[i].staged && rowsOfPair[i] != pairs[i].rows) {
            moved << i;
            rowsOfPair[i] = 0; // counted with no row changed
        }
    }
    const bool takenOut = moved.isEmpty()
        || m_run.send(
            line,
            [&] {
                std::unique_ptr<odbc::Statement> unstage;
                for (const int pair : std::as_const(moved))
                    m_run.prepared(unstage, m_run.dialect->unstagePair()).execute({ QString::number(pair) });
            },
            BatchContext::Report::OnlyWhenEnding);
    return takenOut && applyExpecting(line, rowsOfPair, apply);
}

// Runs the join, and commits it when it changed as many rows as the pairs are
// expected to hold, counting each pair's records; otherwise the transaction
// is left to roll back.
bool StagedWriter::applyExpecting(int line, const QList<qint64> &rowsOfPair, odbc::Transaction &apply)
{
    qint64 expected = 0;
    qint64 texts = 0;
    for (const qint64 rows : rowsOfPair) {
        expected += rows;
        texts += rows > 0 ? 1 : 0;
    }
    const bool manyRowsPerText = expected > 4 * texts;
    std::optional<qint64> rows;
    const bool sent = m_run.send(
        line,
        [&] {
            rows = m_run.connection->execute(m_run.dialect->applyStaged(m_run.table, m_run.field, manyRowsPerText));
        },
        BatchContext::Report::OnlyWhenEnding);
    if (!sent || !rows || (*rows != expected && *rows >= 0))
        return false;
    m_run.mustSucceed(line, [&] { apply.commit(); });
    QList<TextPair> &pairs = m_run.pairs;
    for (int i = 0; i < pairs.size(); ++i)
        if (pairs[i].staged && pairs[i].records > 0)
            countPair(pairs[i], rowsOfPair[i]);
    return true;
}

// A transaction per pair: its rows are counted, and kept locked, and changed
// only while exactly as many hold the old text as the snapshot held.
void StagedWriter::redoByValue()
{
    for (TextPair &pair : m_run.pairs) {
        if (!pair.staged || pair.records == 0)
            continue;
        const int line = BatchChange::executeLine(pair.mode);
        odbc::Transaction pairChange(*m_run.connection);
        std::optional<qint64> holding;
        std::optional<qint64> changed;
        const bool sent = m_run.send(line, [&] {
            odbc::Statement &count
                = m_run.prepared(m_countByValue, m_run.dialect->countByValue(m_run.table, m_run.field));
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
            if (sent)
                countPair(pair, 0);
            else
                m_run.tally.refusedByServer(pair.records);
            continue;
        }
        m_run.mustSucceed(line, [&] { pairChange.commit(); });
        countPair(pair, *holding);
    }
}

// The records of a pair whose old text `rows` rows held when it was applied.
void StagedWriter::countPair(TextPair &pair, qint64 rows)
{
    pair.written = rows > 0;
    const qsizetype changed = qsizetype(std::min<qint64>(rows, pair.records));
    m_run.tally.changed(changed, rows);
    m_run.tally.changedSinceRead(pair.records - changed);
}
