#include "casing/SnapshotReader.h"

#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "platform/Failure.h"

void SnapshotReader::open(const QString &select)
{
    if (readAlongside(select))
        return;
    if (const QString counter = m_run.dialect->changeCounter(m_run.table); m_run.key.isEmpty() && !counter.isEmpty())
        m_changesBefore = m_run.connection->query(counter).value(0);
    m_records = m_run.connection->query(select);
    m_count = m_records.recordCount();
}

// Reading and writing then take the two cores at once. Every row is taken
// when the query runs, so the writes cannot change what is read. The text
// comes as the stored UTF-8: the driver's own conversion would draw on the
// engine's allocator, which the writing thread holds much of the time.
// False when the snapshot cannot be read so: it is then read whole on the
// run's connection.
bool SnapshotReader::readAlongside(const QString &select)
{
    if (m_run.key.isEmpty() || !m_run.dialect->readsSnapshotAlongside())
        return false;
    try {
        m_connection = openSession(OpeningProfile::Batch, m_run.fields).connection;
        m_query = std::make_unique<odbc::Statement>(*m_connection);
        m_query->executeDirect(select);
        // A driver that cannot count the rows it holds is reading them as they
        // are fetched, and would keep the table locked while the chunks wait.
        m_count = m_query->cursorRowCount();
        if (m_count < 0)
            throw Failure(QStringLiteral("The driver reads the rows as they are fetched."));
        m_records = odbc::RecordSet::begin(*m_query, odbc::TextTransfer::StoredUtf8);
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

// The next rows replace the rows visited already: their texts went into the
// chunks as copies.
void SnapshotReader::ensureRecord(int blockRecords)
{
    if (!m_query || !m_records.eof())
        return;
    m_run.mustSucceed(BatchChange::LineRecordValue, [&] {
        if (!m_records.fetchNext(*m_query, blockRecords) && m_records.eof())
            throw Failure(QStringLiteral("The table held fewer rows than the %1 its query counted.").arg(m_count));
    });
}

// Done once the last chunk is settled: freeing it while a chunk runs would
// slow both, as they share the engine's allocator.
void SnapshotReader::close()
{
    m_query.reset();
    m_connection.reset();
}
