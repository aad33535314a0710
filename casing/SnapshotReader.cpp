#include "casing/SnapshotReader.h"

#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "platform/Failure.h"

#include <utility>

// The text of the embedded engine comes as the UTF-8 it stores: the driver's
// own conversion would draw on the engine's allocator, which the writing
// thread holds much of the time.
static odbc::TextTransfer transferFor(const SqlDialect &dialect)
{
    return dialect.readsSnapshotAlongside() ? odbc::TextTransfer::StoredUtf8 : odbc::TextTransfer::Utf16;
}

void SnapshotReader::open(const QString &select)
{
    if (const BatchChange::NamedRows &named = m_run.callbacks.namedRows; named.next && !m_run.key.isEmpty()) {
        // The first rows are read with the first record, once the run has started.
        m_named = true;
        m_count = named.count;
        m_connection = connectionAlongside();
        // Rows named in key order that are most of the table are read as
        // ranges of keys, which costs the engine less than looking up each.
        if (named.unvisited)
            m_byRange = 2 * m_count >= countRows();
        return;
    }
    if (std::exchange(m_readingAhead, false)) {
        m_rowsBeingSorted.reset();
        if (readAlongside([&] { m_opening.wait(); }))
            return;
    } else {
        if (m_run.key.isEmpty())
            m_changesBefore = changesNow();
        if (readAlongside([&] {
                m_connection = connectionAlongside();
                readFirstBlock();
            }))
            return;
    }
    readWhole(select);
}

void SnapshotReader::readAhead()
{
    if (m_run.callbacks.namedRows.next && !m_run.key.isEmpty())
        return;
    if (m_run.key.isEmpty())
        m_changesBefore = changesNow();
    try {
        // Waits for the connection opened early: the look-up of the key took
        // about as long.
        m_opening.wait();
        if (!m_early || !m_earlyCount)
            throw Failure(QStringLiteral("The connection of the rows was not opened."));
        const qint64 rows = *m_earlyCount;
        m_opening.start([this] {
            m_connection = std::move(m_early);
            readFirstBlock();
        });
        m_readingAhead = true;
        if (m_run.key.isEmpty())
            m_rowsBeingSorted = rows;
    } catch (const std::exception &) {
        // The connection opened early failed: open() opens another.
        m_early.reset();
        m_earlyCount.reset();
    }
}

// Without a key: the engine's change counter before the snapshot is read.
QVariant SnapshotReader::changesNow()
{
    if (const QString counter = m_run.dialect->changeCounter(m_run.table); !counter.isEmpty())
        return m_run.connection->query(counter).value(0);
    return {};
}

// On the connection of the rows: their count, and the first block. With a
// key, in key order; without one, in the order of their texts, so that the
// rows of each text come one after another.
void SnapshotReader::readFirstBlock()
{
    m_count = countRows();
    if (!m_run.key.isEmpty()) {
        readBlock({});
        return;
    }
    const SqlDialect &dialect = *m_run.dialect;
    const QStringList sort = dialect.sortRows(m_run.table, m_run.field);
    for (const QString &statement : sort)
        m_connection->execute(statement);
    if (!sort.isEmpty()) {
        m_sorted = true;
        readBlock({});
        return;
    }
    m_streamed = true;
    m_query = std::make_unique<odbc::Statement>(*m_connection);
    {
        // The server sorts every row before the first comes: that can be stopped.
        std::lock_guard lock(m_stoppableLock);
        m_stoppable = m_query.get();
    }
    m_query->prepare(dialect.sortedRows(m_run.table, m_run.field, 0, {}).text);
    m_query->execute();
    m_records = odbc::RecordSet::begin(*m_query, transferFor(dialect));
    fetchBlock();
}

// Where the rows cannot be read alongside: one query on the run's connection.
void SnapshotReader::readWhole(const QString &select)
{
    m_sorted = false;
    if (!m_run.key.isEmpty()) {
        m_records = m_run.connection->query(select);
        m_count = m_records.recordCount();
        return;
    }
    const SqlDialect &dialect = *m_run.dialect;
    for (const QString &statement : dialect.sortRows(m_run.table, m_run.field))
        m_run.connection->execute(statement);
    const SqlQuery rows = dialect.sortedRows(m_run.table, m_run.field, 0, {});
    m_records = m_run.connection->query(rows.text, rows.parameters);
    m_count = m_records.recordCount();
}

void SnapshotReader::openEarly()
{
    m_opening.start([this] {
        m_early = openAlongside(OpeningProfile::Batch, m_run.fields, *m_run.dialect);
        m_earlyCount = m_early->query(m_run.dialect->countRows(m_run.table)).value(0).toLongLong();
    });
}

std::unique_ptr<odbc::Connection> SnapshotReader::connectionAlongside()
{
    try {
        m_opening.wait();
    } catch (const std::exception &) {
        // The connection is opened again below, and a failure told then.
    }
    if (m_early && m_earlyCount)
        return std::move(m_early);
    m_early.reset();
    m_earlyCount.reset();
    return openAlongside(OpeningProfile::Batch, m_run.fields, *m_run.dialect);
}

qint64 SnapshotReader::countRows()
{
    if (const std::optional<qint64> counted = std::exchange(m_earlyCount, std::nullopt))
        return *counted;
    return m_connection->query(m_run.dialect->countRows(m_run.table)).value(0).toLongLong();
}

// Reads the first block of rows on their own connection. False when the rows
// cannot be read so: they are then read whole on the run's connection.
template <typename Read>
bool SnapshotReader::readAlongside(Read &&read)
{
    try {
        read();
        return true;
    } catch (const odbc::Error &e) {
        close();
        m_streamed = false;
        // The run's connection would only meet it again (a lock held past the
        // timeout, a lost server), after waiting as long.
        if (m_run.dialect->failureRepeats(e.sqlState(), e.description()))
            throw;
        return false;
    } catch (const std::exception &) {
        close();
        m_streamed = false;
        return false;
    }
}

// The block after the row whose key values are `after` replaces the rows
// visited already, in the same memory: their texts went into the chunks as copies.
void SnapshotReader::readBlock(const QList<QVariant> &after)
{
    const SqlQuery block = m_sorted
        ? m_run.dialect->sortedRows(m_run.table, m_run.field, BlockRows, after.value(0))
        : m_run.dialect->selectBlockForChange(m_run.table, m_run.field, m_run.key, BlockRows, after, m_range);
    std::unique_ptr<odbc::Statement> &statement = after.isEmpty() ? m_query : m_nextQuery;
    if (!statement) {
        statement = std::make_unique<odbc::Statement>(*m_connection);
        statement->prepare(block.text);
    }
    statement->execute(block.parameters);
    if (after.isEmpty())
        m_records = odbc::RecordSet::begin(*statement, transferFor(*m_run.dialect));
    m_records.fetchNext(*statement, BlockRows);
    statement->closeCursor();
    m_lastBlockFull = m_records.recordCount() == BlockRows;
}

// The next block of the one query, in the memory of the block before.
void SnapshotReader::fetchBlock()
{
    m_lastBlockFull = m_records.fetchNext(*m_query, BlockRows);
    if (!m_lastBlockFull)
        m_query->closeCursor();
}

// The rows the next part of the named chunk names that the table holds (or,
// by range, the next rows of its range); the next chunk is asked for once
// every part was read.
bool SnapshotReader::nextNamedBlock()
{
    const BatchChange::NamedRows &named = m_run.callbacks.namedRows;
    const int capacity = m_run.dialect->namedRowsAtOnce(int(m_run.key.size()));
    for (;;) {
        if (m_rangeRead) {
            if (m_lastBlockFull) {
                readBlock(lastKey());
                if (!m_records.eof())
                    return true;
            }
            m_rangeRead = false;
            m_range = {};
            // The rows named in the range and not met there are asked for by key.
            m_namedParts = namedParts(named.unvisited(), capacity);
        }
        if (m_namedParts.isEmpty()) {
            const QList<QList<QVariant>> keys = named.next(capacity);
            if (keys.isEmpty())
                return false;
            if (m_byRange) {
                // The range from the first key named to the last, in key order.
                m_range = { keys.first(), keys.last() };
                m_rangeRead = true;
                readBlock({});
                if (!m_records.eof())
                    return true;
                continue;
            }
            m_namedParts = namedParts(keys, capacity);
        }
        const ChunkPart part = m_namedParts.takeFirst();
        std::unique_ptr<odbc::Statement> &statement = m_namedQuery[int(part.shape.carrier)];
        if (!statement) {
            statement = std::make_unique<odbc::Statement>(*m_connection);
            statement->prepare(m_run.dialect->selectNamedRows(m_run.table, m_run.field, m_run.key, part.shape));
        }
        statement->execute(part.parameters);
        m_records = odbc::RecordSet::begin(*statement, transferFor(*m_run.dialect));
        m_records.fetchNext(*statement, -1);
        statement->closeCursor();
        if (!m_records.eof())
            return true;
    }
}

// The statements that read the rows of the keys, as a chunk statement takes
// its values, without texts.
QList<ChunkPart> SnapshotReader::namedParts(const QList<QList<QVariant>> &keys, int capacity) const
{
    if (keys.isEmpty())
        return {};
    QList<QVariant> values;
    values.reserve(keys.size() * (m_run.key.size() + 2));
    for (const QList<QVariant> &key : keys)
        values << key << QVariant() << QVariant();
    return m_run.dialect->chunkParts(std::move(values), int(m_run.key.size()) + 2, capacity);
}

// The key (or, sorted, the place) of the last row read: the next block starts after it.
QList<QVariant> SnapshotReader::lastKey()
{
    m_records.moveLast();
    if (m_sorted)
        return { m_records.value(RowsOfTextColumn + 1) };
    QList<QVariant> last;
    for (int column = 0; column < m_run.key.size(); ++column)
        last << m_records.value(2 + column);
    return last;
}

bool SnapshotReader::nextBlock()
{
    if (m_named)
        return nextNamedBlock();
    if (!m_connection || !m_lastBlockFull)
        return false;
    if (m_streamed) {
        fetchBlock();
        return !m_records.eof();
    }
    readBlock(lastKey());
    return !m_records.eof();
}

bool SnapshotReader::ensureRecord()
{
    if (!m_records.eof())
        return true;
    bool more = false;
    m_run.mustSucceed(BatchChange::LineRecordValue, [&] { more = nextBlock(); });
    return more;
}

void SnapshotReader::endReading()
{
    if (m_streamed && m_query && m_lastBlockFull) {
        m_lastBlockFull = false;
        try {
            m_query->closeCursor();
        } catch (const std::exception &) {
            // The statement goes with close() at the latest.
        }
    }
}

// Done once the last chunk is settled: freeing it while a chunk runs would
// slow both, as they share the engine's allocator.
void SnapshotReader::close()
{
    // The rows read ahead were not taken: whatever of them is still under way is stopped.
    m_rowsBeingSorted.reset();
    if (std::exchange(m_readingAhead, false)) {
        std::lock_guard lock(m_stoppableLock);
        if (m_stoppable)
            m_stoppable->cancel();
    }
    try {
        m_opening.wait();
    } catch (const std::exception &) {
        // A connection never used.
    }
    m_early.reset();
    m_earlyCount.reset();
    for (std::unique_ptr<odbc::Statement> &statement : m_namedQuery)
        statement.reset();
    m_nextQuery.reset();
    m_stoppable = nullptr;
    m_query.reset();
    m_connection.reset();
}
