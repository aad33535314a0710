#include "casing/KeyedWriter.h"

#include "platform/odbc/Transaction.h"

#include <utility>

namespace {

// A chunk's statement changed every row it expected, or the driver did not count them.
bool changedAll(const std::optional<qint64> &rows, qsizetype records)
{
    return rows && (*rows == records || *rows < 0);
}

} // namespace

void KeyedWriter::write(QList<ChunkRecord> chunk)
{
    if (m_run.facts.updateTriggers) {
        // A trigger may change other rows of the table as each row is changed:
        // only a statement per record checks each row after the triggers before it.
        settle();
        redo(chunk);
    } else {
        send(std::move(chunk));
    }
}

// Sends the chunk on the background thread, once the chunk before it is settled.
void KeyedWriter::send(QList<ChunkRecord> chunk)
{
    QList<QVariant> parameters;
    const qsizetype perRecord = m_run.key.size() + 2;
    parameters.reserve(perRecord * m_capacity);
    for (const ChunkRecord &record : chunk)
        parameters << record.change.keyValues << record.change.oldText << record.change.newText;
    // Padding rows name no row, so every chunk has the one statement shape.
    QList<ChunkPart> parts = m_run.dialect->chunkParts(std::move(parameters), int(perRecord), m_capacity);

    settle();
    m_inFlight = InFlight { std::move(chunk), std::nullopt, nullptr };
    m_background.start([this, parts = std::move(parts)] {
        InFlight &flight = m_inFlight;
        odbc::Transaction transaction(*m_run.connection);
        try {
            qint64 rows = 0;
            for (const ChunkPart &part : parts) {
                odbc::Statement &statement = m_run.prepared(m_chunkUpdate[int(part.shape.carrier)],
                    m_run.dialect->updateChunkByKey(m_run.table, m_run.field, m_run.key, part.shape));
                statement.execute(part.parameters);
                const qint64 changed = statement.rowCount();
                rows = rows < 0 || changed < 0 ? -1 : rows + changed;
            }
            flight.rows = rows;
        } catch (...) {
            flight.failure = std::current_exception();
        }
        // A failed commit comes out of the wait for this step and ends the run;
        // a chunk that fell short is rolled back.
        if (changedAll(flight.rows, flight.records.size()))
            transaction.commit();
    });
}

// Waits for the chunk sent last and counts its records. A chunk that fell
// short (some row was changed since it was read, or the server refused the
// chunk) was rolled back: only a record at a time tells which.
void KeyedWriter::settle()
{
    if (m_inFlight.records.isEmpty())
        return;
    const int line = BatchChange::executeLine(m_inFlight.records.first().mode);
    m_run.mustSucceed(line, [&] { m_background.wait(); });
    const InFlight flight = std::exchange(m_inFlight, InFlight());
    if (changedAll(flight.rows, flight.records.size())) {
        m_run.tally.changed(flight.records.size());
        if (m_run.callbacks.afterWrite)
            m_run.callbacks.afterWrite({});
        return;
    }
    m_run.send(
        line,
        [&] {
            if (flight.failure)
                std::rethrow_exception(flight.failure);
        },
        BatchContext::Report::OnlyWhenEnding);
    redo(flight.records);
}

// What the chunk under way did is left uncounted, as the records not reached.
void KeyedWriter::abandon()
{
    try {
        m_background.wait();
    } catch (const std::exception &) {
        // The run already ends on a failure of its own.
    }
    m_inFlight = InFlight();
}

// Each record in a statement of its own, committed as it runs.
void KeyedWriter::redo(const QList<ChunkRecord> &records)
{
    const int line = BatchChange::executeLine(records.first().mode);
    m_run.mustSucceed(line, [&] { m_run.connection->setAutoCommit(true); });
    BatchChange::Unwritten unwritten;
    for (qsizetype place = 0; place < records.size(); ++place) {
        const ChunkRecord &record = records[place];
        std::optional<qint64> rows;
        const bool sent = m_run.send(BatchChange::executeLine(record.mode), [&] {
            odbc::Statement &statement
                = m_run.prepared(m_singleUpdate, m_run.dialect->updateByKey(m_run.table, m_run.field, m_run.key));
            statement.execute(
                m_run.dialect->updateParameters(record.change.newText, record.change.keyValues, record.change.oldText));
            rows = statement.rowCount();
        });
        if (!sent) {
            m_run.tally.refusedByServer();
            unwritten.records << place;
        } else if (*rows == 0) {
            m_run.tally.changedSinceRead();
            unwritten.records << place;
        } else {
            m_run.tally.changed(1, *rows < 0 ? 1 : *rows);
        }
    }
    if (m_run.callbacks.afterWrite)
        m_run.callbacks.afterWrite(unwritten);
    m_run.mustSucceed(line, [&] { m_run.connection->setAutoCommit(false); });
}
