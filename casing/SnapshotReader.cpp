#include "casing/SnapshotReader.h"

#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "platform/Failure.h"

void SnapshotReader::open(const QString &select)
{
    if (readInBlocks())
        return;
    if (const QString counter = m_run.dialect->changeCounter(m_run.table); m_run.key.isEmpty() && !counter.isEmpty())
        m_changesBefore = m_run.connection->query(counter).value(0);
    m_records = m_run.connection->query(select);
    m_count = m_records.recordCount();
}

// The text of the embedded engine comes as the UTF-8 it stores: the driver's
// own conversion would draw on the engine's allocator, which the writing
// thread holds much of the time. False when the rows cannot be read so:
// they are then read whole on the run's connection.
bool SnapshotReader::readInBlocks()
{
    if (m_run.key.isEmpty())
        return false;
    try {
        m_connection = openSession(OpeningProfile::Batch, m_run.fields).connection;
        m_count = m_connection->query(m_run.dialect->countRows(m_run.table)).value(0).toLongLong();
        readBlock({});
        return true;
    } catch (const odbc::Error &e) {
        close();
        // The run's connection would only meet it again (a lock held past the
        // timeout, a lost server), after waiting as long.
        if (m_run.dialect->failureRepeats(e.sqlState(), e.description()))
            throw;
        return false;
    } catch (const std::exception &) {
        close();
        return false;
    }
}

// The block after the row whose key values are `after` replaces the rows
// visited already, in the same memory: their texts went into the chunks as copies.
void SnapshotReader::readBlock(const QList<QVariant> &after)
{
    const SqlQuery block = m_run.dialect->selectBlockForChange(m_run.table, m_run.field, m_run.key, BlockRows, after);
    std::unique_ptr<odbc::Statement> &statement = after.isEmpty() ? m_query : m_nextQuery;
    if (!statement) {
        statement = std::make_unique<odbc::Statement>(*m_connection);
        statement->prepare(block.text);
    }
    statement->execute(block.parameters);
    if (after.isEmpty())
        m_records = odbc::RecordSet::begin(*statement,
            m_run.dialect->readsSnapshotAlongside() ? odbc::TextTransfer::StoredUtf8 : odbc::TextTransfer::Utf16);
    m_records.fetchNext(*statement, BlockRows);
    statement->closeCursor();
    m_lastBlockFull = m_records.recordCount() == BlockRows;
}

bool SnapshotReader::ensureRecord()
{
    if (!m_records.eof())
        return true;
    if (!m_connection || !m_lastBlockFull)
        return false;
    // The last row's key: the next block starts after it.
    QList<QVariant> last;
    m_run.mustSucceed(BatchChange::LineRecordValue, [&] {
        m_records.moveLast();
        for (int column = 0; column < m_run.key.size(); ++column)
            last << m_records.value(2 + column);
        readBlock(last);
    });
    return !m_records.eof();
}

// Done once the last chunk is settled: freeing it while a chunk runs would
// slow both, as they share the engine's allocator.
void SnapshotReader::close()
{
    m_nextQuery.reset();
    m_query.reset();
    m_connection.reset();
}
