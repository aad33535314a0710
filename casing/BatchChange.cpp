#include "casing/BatchChange.h"

#include "casing/BackgroundStep.h"
#include "casing/BatchTally.h"
#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "connection/SqlDialect.h"
#include "platform/Failure.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"
#include "platform/odbc/Statement.h"
#include "platform/odbc/Transaction.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

// A chunk ends when it holds as many records as one statement carries (the
// dialect says how many), or this long after its first record, whichever
// comes first: progress shows and locks are let go several times a second.
constexpr qint64 ChunkMilliseconds = 250;

// A record waiting in the current chunk.
struct Pending {
    Case::Mode mode;
    BatchChange::PlannedChange change;
    int pair = -1; // without a key: the staged pair it belongs to
};

// Without a key, one pair per distinct old text: its first record decides
// the new text, and every later record of that text counts with it.
struct Pair {
    QString oldText;
    QString newText;
    Case::Mode mode;
    qsizetype records = 0; // records visited that hold the old text
    qsizetype rows = 0; // rows of the snapshot that hold it
    bool staged = false;
    bool unrepresentable = false; // the field cannot hold the new text
    bool refused = false; // the check of the new text failed: never sent
};

// A failure of a statement that has been reported already and ends the run.
struct RunEnds { };

// The chunk the server is working on while the records of the next one are visited.
struct InFlight {
    enum class Kind { None, ByKey, Staged };
    Kind kind = Kind::None;
    Case::Mode mode = Case::Mode::Upper;
    QList<Pending> records; // by key: done again one at a time when the chunk falls short
    std::optional<qint64> rows; // by key: the rows the statement changed, once it ran
    std::exception_ptr failure; // the statement failed (and was rolled back)
};

class Run {
public:
    Run(const LoginFields &fields, const TableName &table, const QString &field,
        const BatchChange::Callbacks &callbacks, bool dryRun)
        : m_fields(fields)
        , m_table(table)
        , m_field(field)
        , m_callbacks(callbacks)
        , m_dryRun(dryRun)
    {
    }

    BatchChange::Result run();

private:
    // Runs a step; a failure goes to failure() once per description. False when it failed.
    template <typename Step>
    bool attempt(int line, Step &&step)
    {
        try {
            step();
            return true;
        } catch (const std::exception &e) {
            fail(line, describeFailure(e));
            return false;
        }
    }

    // Runs a statement step. A failure that will come back for every record
    // is reported and ends the run (throws RunEnds); any other is reported
    // and gives false.
    // A chunk that is done again record by record reports only a failure that
    // ends the run: its records report their own.
    enum class Report { Always, OnlyWhenEnding };
    template <typename Step>
    bool send(int line, Step &&step, Report report = Report::Always)
    {
        try {
            step();
            return true;
        } catch (const odbc::Error &e) {
            const bool repeats = m_dialect->failureRepeats(e.sqlState(), e.description());
            if (repeats || report == Report::Always)
                fail(line, e.description());
            if (repeats)
                throw RunEnds();
            return false;
        } catch (const std::exception &e) {
            if (report == Report::Always)
                fail(line, describeFailure(e));
            return false;
        }
    }

    // A step of the run's own transactions: any failure ends the run.
    template <typename Step>
    void transaction(int line, Step &&step)
    {
        if (!send(line, std::forward<Step>(step)))
            throw RunEnds();
    }

    void fail(int line, const QString &description)
    {
        if (m_reported.contains(description))
            return;
        m_reported.insert(description);
        if (m_callbacks.failure)
            m_callbacks.failure(line, description);
    }

    bool prepareSteps();
    FieldFacts lookUpField();
    QList<KeyColumn> findKey();
    bool readAlongside(const QString &select);
    void readMoreRecords();
    void closeSnapshot();
    void visitRecord(Case::Mode mode);
    bool chunkIsDue() const;
    // Sends the records waiting in the chunk; false when the run must end.
    bool flush();
    void dropUnrepresentable();
    void sendByKey(Case::Mode mode);
    void settle();
    void settleQuietly();
    void redoByKey(const QList<Pending> &records);
    void stagePairs(Case::Mode mode);
    void applyStaged();
    bool applyCounted(int line, odbc::Transaction &apply);
    bool applyExpecting(int line, const QList<qint64> &rowsOfPair, odbc::Transaction &apply);
    void redoByValue();
    void countPair(const Pair &pair, qint64 rows);
    odbc::Statement &prepared(std::unique_ptr<odbc::Statement> &statement, const QString &text);

    const LoginFields &m_fields;
    const TableName &m_table;
    const QString &m_field;
    const BatchChange::Callbacks &m_callbacks;
    const bool m_dryRun;

    BatchChange::Result m_result;
    BatchTally m_tally { m_result };
    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<SqlDialect> m_dialect;
    FieldFacts m_facts;
    QList<KeyColumn> m_key;
    odbc::RecordSet m_records;
    qsizetype m_recordsToRead = 0;
    // A snapshot read alongside the writes: its own connection and query.
    std::unique_ptr<odbc::Connection> m_snapshotConnection;
    std::unique_ptr<odbc::Statement> m_snapshotQuery;
    int m_chunkCapacity = 1; // records per chunk, once the dialect and the key are known

    QList<Pending> m_pending;
    QElapsedTimer m_chunkAge;
    std::unique_ptr<odbc::Statement> m_chunkUpdate;
    std::unique_ptr<odbc::Statement> m_singleUpdate;
    std::unique_ptr<odbc::Statement> m_countByValue;
    std::unique_ptr<odbc::Statement> m_representable;
    std::unique_ptr<odbc::Statement> m_stage;

    QList<Pair> m_pairs;
    // Without a key: per distinct text of the snapshot, the rows that hold it
    // and the pair it belongs to; per record, its text's slot (-1 for Null).
    struct TextSlot {
        qsizetype rows = 0;
        int pair = -1;
    };
    QList<TextSlot> m_slots;
    std::vector<int> m_slotOfRecord;
    QVariant m_changesBeforeSnapshot; // without a key: the engine's change counter before the snapshot
    bool m_stagingMade = false;

    QSet<QString> m_reported;

    // The chunk sent last, and the thread that sends it; declared last, so a
    // step under way ends before anything it uses goes.
    InFlight m_inFlight;
    BackgroundStep m_background;
};

BatchChange::Result Run::run()
{
    if (!prepareSteps()) {
        if (m_result.outcome == BatchChange::Outcome::Finished)
            m_result.outcome
                = m_result.refusal.isEmpty() ? BatchChange::Outcome::NotStarted : BatchChange::Outcome::Refused;
        return m_result;
    }
    const qsizetype count = m_result.recordsRead;
    // The mode text is read for every record, but looked up again only when it changed.
    QString lastModeText;
    std::optional<Case::Mode> lastMode;
    bool modeKnown = false;
    try {
        for (qsizetype position = 0; position < count; ++position) {
            if (m_callbacks.yield)
                m_callbacks.yield();
            if (m_callbacks.stop && m_callbacks.stop()) {
                // What was visited is written; the rest stays as it was.
                m_result.outcome = BatchChange::Outcome::Stopped;
                break;
            }
            if (m_snapshotQuery && m_records.eof())
                readMoreRecords();
            if (m_callbacks.progress)
                m_callbacks.progress(double(position + 1) / double(count) * 100.0);
            const QString modeText = m_callbacks.modeText ? m_callbacks.modeText() : QString();
            if (!modeKnown || modeText != lastModeText) {
                lastMode = Case::ModeOf(modeText);
                lastModeText = modeText;
                modeKnown = true;
            }
            if (lastMode || m_callbacks.rewrite)
                visitRecord(lastMode.value_or(Case::Mode::Upper));
            else
                m_tally.withoutMode();
            m_records.moveNext();
            if (chunkIsDue() && !flush())
                break;
        }
        if (m_result.outcome == BatchChange::Outcome::Finished || m_result.outcome == BatchChange::Outcome::Stopped) {
            if (flush()) {
                settle();
                if (m_key.isEmpty())
                    applyStaged();
            }
        }
    } catch (const RunEnds &) {
        settleQuietly();
        m_connection->rollback();
        m_result.outcome = BatchChange::Outcome::EndedByFailure;
    }
    closeSnapshot();
    if (m_result.outcome == BatchChange::Outcome::EndedByFailure
        || m_result.outcome == BatchChange::Outcome::Declined) {
        // Every record not accounted for stays as it was.
        m_tally.restNotReached();
    }
    if (m_stagingMade && m_connection) {
        try {
            m_connection->setAutoCommit(true);
            m_connection->execute(m_dialect->dropStaging());
        } catch (const std::exception &) {
            // The temporary table goes with the connection anyway.
        }
    }
    return m_result;
}

// Everything before the first record. False when the run must end: a failure
// was reported, or the refusal says why the field is not rewritten.
bool Run::prepareSteps()
{
    const int openLine = m_fields.localConnection ? BatchChange::LineOpenLocal : BatchChange::LineOpenWithPort;
    if (!attempt(openLine, [&] {
            Session session = openSession(OpeningProfile::Batch, m_fields);
            m_connection = std::move(session.connection);
            m_dialect = std::move(session.dialect);
        }))
        return false;

    if (!attempt(BatchChange::LineQuery, [&] { m_facts = lookUpField(); }))
        return false;
    if (!m_facts.userTable) {
        m_result.refusal = QStringLiteral("\"%1\" is not a table but a view or another kind of object, so its "
                                          "values are not changed. Nothing was changed.")
                               .arg(m_table.shownText());
        return false;
    }
    if (m_facts.computed) {
        m_result.refusal = QStringLiteral("The field \"%1\" is computed from other values, so its values cannot be "
                                          "changed. Nothing was changed.")
                               .arg(m_field);
        return false;
    }
    if (!m_dialect->isTextType(m_facts.type)) {
        m_result.refusal = QStringLiteral("The field \"%1\" holds values of type %2, not text, so their case cannot "
                                          "be changed. Nothing was changed.")
                               .arg(m_field, m_facts.type.isEmpty() ? QStringLiteral("(none)") : m_facts.type);
        return false;
    }

    if (!attempt(BatchChange::LineQuery, [&] {
            m_key = findKey();
            const QString select = m_dialect->selectForChange(m_table, m_field, m_key);
            if (!readAlongside(select)) {
                if (const QString counter = m_dialect->changeCounter(m_table); m_key.isEmpty() && !counter.isEmpty())
                    m_changesBeforeSnapshot = m_connection->query(counter).value(0);
                m_records = m_connection->query(select);
                m_recordsToRead = m_records.recordCount();
            }
        }))
        return false;
    m_result.byKey = !m_key.isEmpty();
    m_chunkCapacity = m_dialect->chunkRecords(int(m_key.size()));

    if (!attempt(BatchChange::LineRecordCount, [&] {
            m_result.recordsRead = m_recordsToRead;
            if (m_key.isEmpty()) {
                // Texts are told apart by views of the snapshot's own copy.
                QHash<QStringView, int> slotOf;
                slotOf.reserve(m_result.recordsRead);
                m_slotOfRecord.assign(size_t(m_result.recordsRead), -1);
                for (; !m_records.eof(); m_records.moveNext()) {
                    if (m_records.isNull(0))
                        continue;
                    int &number = slotOf[m_records.text(0)]; // one more than the slot; 0 for a new text
                    if (number == 0) {
                        m_slots.append(TextSlot());
                        number = int(m_slots.size());
                    }
                    ++m_slots[number - 1].rows;
                    m_slotOfRecord[size_t(m_records.position())] = number - 1;
                }
                m_records.moveFirst();
            }
        }))
        return false;

    if (m_callbacks.started) {
        QStringList keyColumns;
        for (const KeyColumn &column : m_key)
            keyColumns << column.name;
        if (!m_callbacks.started(keyColumns)) {
            m_result.outcome = BatchChange::Outcome::Declined;
            m_tally.restNotReached();
            return false;
        }
    }
    if (!m_dryRun) {
        // Each chunk is a transaction of its own.
        if (!attempt(BatchChange::LineQuery, [&] { m_connection->setAutoCommit(false); }))
            return false;
    }
    return true;
}

// With a key, on a driver that holds the whole result once the query has run,
// the snapshot is read on a connection of its own as the records are visited,
// while the run's connection writes the chunks before them: reading and
// writing take the two cores at once. Every row is taken when the query runs,
// so the writes cannot change what is read. The text comes as the stored
// UTF-8: the driver's own conversion would draw on the engine's allocator,
// which the writing thread holds much of the time. False when the snapshot
// cannot be read so: it is then read whole on the run's connection.
bool Run::readAlongside(const QString &select)
{
    if (m_key.isEmpty() || !m_dialect->readsSnapshotAlongside())
        return false;
    try {
        m_snapshotConnection = openSession(OpeningProfile::Batch, m_fields).connection;
        m_snapshotQuery = std::make_unique<odbc::Statement>(*m_snapshotConnection);
        m_snapshotQuery->executeDirect(select);
        // A driver that cannot count the rows it holds is reading them as they
        // are fetched, and would keep the table locked while the chunks wait.
        m_recordsToRead = m_snapshotQuery->cursorRowCount();
        if (m_recordsToRead < 0)
            throw Failure(QStringLiteral("The driver reads the rows as they are fetched."));
        m_records = odbc::RecordSet::begin(*m_snapshotQuery, odbc::TextTransfer::StoredUtf8);
        return true;
    } catch (const odbc::Error &e) {
        closeSnapshot();
        // The run's connection would only meet it again (a lock held past the
        // timeout, a lost server), after waiting as long.
        if (m_dialect->failureRepeats(e.sqlState(), e.description()))
            throw;
        return false;
    } catch (const std::exception &) {
        closeSnapshot();
        return false;
    }
}

// The next rows of a snapshot read alongside the writes, in place of the rows
// visited already: their texts went into the chunks as copies. A failure ends the run.
void Run::readMoreRecords()
{
    transaction(BatchChange::LineRecordValue, [&] {
        if (!m_records.fetchNext(*m_snapshotQuery, m_chunkCapacity) && m_records.eof())
            throw Failure(
                QStringLiteral("The table held fewer rows than the %1 its query counted.").arg(m_recordsToRead));
    });
}

// Lets the driver's copy of a snapshot read alongside go. Done once the last
// chunk is settled: freeing it while a chunk runs would slow both, as they
// share the engine's allocator.
void Run::closeSnapshot()
{
    m_snapshotQuery.reset();
    m_snapshotConnection.reset();
}

FieldFacts Run::lookUpField()
{
    const SqlQuery lookup = m_dialect->fieldLookup(m_table, m_field);
    odbc::RecordSet rows = m_connection->query(lookup.text, lookup.parameters);
    if (rows.eof())
        throw Failure(QStringLiteral("The table \"%1\" has no field \"%2\".").arg(m_table.shownText(), m_field));
    FieldFacts facts;
    facts.type = rows.value(0).toString();
    facts.computed = rows.value(1).toInt() != 0;
    facts.codePage = rows.value(2).toUInt();
    facts.collation = rows.value(3).toString();
    facts.maxLength = rows.value(4).toInt();
    facts.userTable = rows.value(5).toInt() != 0;
    facts.updateTriggers = rows.value(6).toInt() != 0;
    return facts;
}

// The first key (primary key first) whose columns are all never Null and of
// types whose text form names the same value again, and that does not hold
// the field: the run changes the field, so a key over it would name a row by
// a value the row no longer has, and its journal could not be undone. None
// when there is none.
QList<KeyColumn> Run::findKey()
{
    const SqlQuery lookup = m_dialect->keyLookup(m_table);
    odbc::RecordSet rows = m_connection->query(lookup.text, lookup.parameters);
    QList<KeyColumn> key;
    QString group;
    bool usable = false;
    for (; !rows.eof(); rows.moveNext()) {
        const QString rowGroup = rows.value(0).toString();
        if (rowGroup != group) {
            if (usable && !key.isEmpty())
                return key;
            group = rowGroup;
            key.clear();
            usable = true;
        }
        KeyColumn column;
        column.name = rows.value(1).toString();
        column.type = rows.value(2).toString();
        column.maxLength = rows.value(3).toInt();
        column.precision = rows.value(4).toInt();
        column.scale = rows.value(5).toInt();
        column.collation = rows.value(7).toString();
        const bool nullable = rows.value(6).toInt() != 0;
        usable = usable && !column.name.isEmpty() && !nullable && m_dialect->isKeyType(column)
            && column.name.compare(m_field, Qt::CaseInsensitive) != 0;
        key << column;
    }
    return usable ? key : QList<KeyColumn>();
}

void Run::visitRecord(Case::Mode mode)
{
    bool isNull = false;
    QStringView value;
    qint64 stored = 0;
    if (!attempt(BatchChange::LineRecordValue, [&] {
            isNull = m_records.isNull(0);
            value = m_records.text(0);
            stored = m_records.text(1).toLongLong();
        })) {
        m_tally.refusedByServer();
        return;
    }
    // Null stays Null.
    if (isNull) {
        m_tally.alreadyInCase();
        return;
    }
    // A value the driver could not hand over exactly (a NUL, bytes that are
    // not text) is never written back from its inexact copy.
    if (stored != m_dialect->storedLength(value)) {
        m_tally.unreadable();
        return;
    }
    const QString oldText = value.toString();
    QList<QVariant> keyValues;
    keyValues.reserve(m_key.size());
    for (int column = 0; column < m_key.size(); ++column)
        keyValues << m_records.value(2 + column);

    QString newText;
    if (m_callbacks.rewrite) {
        const std::optional<QString> rewritten = m_callbacks.rewrite(oldText, keyValues);
        if (!rewritten) {
            m_tally.leftOut();
            return;
        }
        newText = *rewritten;
    } else {
        newText = Case::ConvertForStorage(mode, oldText);
    }
    if (newText == oldText) {
        m_tally.alreadyInCase();
        return;
    }

    Pending pending { mode, { keyValues, oldText, newText } };
    if (m_key.isEmpty()) {
        TextSlot &slot = m_slots[m_slotOfRecord[size_t(m_records.position())]];
        if (slot.pair >= 0) {
            Pair &pair = m_pairs[slot.pair];
            if (pair.unrepresentable || pair.refused)
                pair.unrepresentable ? m_tally.notRepresentable() : m_tally.refusedByServer();
            else
                ++pair.records;
            return;
        }
        pending.pair = slot.pair = int(m_pairs.size());
        m_pairs.append(Pair { oldText, newText, mode, 1, slot.rows });
    }
    if (m_pending.isEmpty())
        m_chunkAge.start();
    m_pending.append(std::move(pending));
}

bool Run::chunkIsDue() const
{
    return !m_pending.isEmpty() && (m_pending.size() >= m_chunkCapacity || m_chunkAge.elapsed() >= ChunkMilliseconds);
}

bool Run::flush()
{
    if (m_pending.isEmpty())
        return true;
    const Case::Mode mode = m_pending.first().mode;
    dropUnrepresentable();
    if (m_pending.isEmpty())
        return true;
    if (m_callbacks.beforeSend) {
        // Without a key a pair changes every row of its old text: one record per row.
        const auto rowsOf
            = [&](const Pending &pending) { return pending.pair < 0 ? qsizetype(1) : m_pairs[pending.pair].rows; };
        qsizetype records = 0;
        for (const Pending &pending : m_pending)
            records += rowsOf(pending);
        QList<BatchChange::PlannedChange> changes;
        changes.reserve(records);
        for (const Pending &pending : m_pending)
            changes.insert(changes.size(), rowsOf(pending), pending.change);
        if (!m_callbacks.beforeSend(changes)) {
            m_pending.clear();
            settle();
            m_result.outcome = BatchChange::Outcome::Declined;
            return false;
        }
    }
    if (m_key.isEmpty())
        stagePairs(mode);
    else if (m_dryRun) {
        m_tally.changed(m_pending.size());
    } else if (m_facts.updateTriggers) {
        // A trigger may change other rows of the table as each row is changed:
        // only a statement per record checks each row after the triggers before it.
        settle();
        redoByKey(m_pending);
    } else
        sendByKey(mode);
    m_pending.clear();
    return true;
}

odbc::Statement &Run::prepared(std::unique_ptr<odbc::Statement> &statement, const QString &text)
{
    if (!statement) {
        auto made = std::make_unique<odbc::Statement>(*m_connection);
        made->prepare(text);
        statement = std::move(made);
    }
    return *statement;
}

// Leaves out the records whose new text the field cannot hold, as the server
// converts it. Engines without code pages hold every text.
void Run::dropUnrepresentable()
{
    const QString check = m_dialect->unrepresentable(m_facts, m_chunkCapacity);
    if (check.isEmpty())
        return;
    settle(); // the check needs the connection
    enum class Verdict { Fits, Unfit, Unchecked };
    QList<Verdict> verdicts(m_pending.size(), Verdict::Fits);
    bool allFit = true;
    for (qsizetype from = 0; from < m_pending.size(); from += m_chunkCapacity) {
        const qsizetype count = std::min<qsizetype>(m_chunkCapacity, m_pending.size() - from);
        QList<QVariant> parameters;
        parameters.reserve(2 * m_chunkCapacity);
        for (qsizetype i = from; i < from + count; ++i)
            parameters << QString::number(i) << m_pending[i].change.newText;
        // Unused rows are padding, so the query has one shape.
        parameters = m_dialect->chunkParameters(std::move(parameters), 2, m_chunkCapacity);
        const bool checked = send(BatchChange::statementLine(m_pending.first().mode), [&] {
            odbc::Statement &statement = prepared(m_representable, check);
            statement.execute(parameters);
            for (odbc::RecordSet rows = odbc::RecordSet::fetch(statement); !rows.eof(); rows.moveNext()) {
                verdicts[rows.value(0).toLongLong()] = Verdict::Unfit;
                allFit = false;
            }
        });
        if (!checked) {
            // Nothing is known of these texts, so they are not sent.
            std::fill(verdicts.begin() + from, verdicts.begin() + from + count, Verdict::Unchecked);
            allFit = false;
        }
    }
    if (allFit)
        return;
    QList<Pending> kept;
    kept.reserve(m_pending.size());
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        const Verdict verdict = verdicts[i];
        if (verdict == Verdict::Fits) {
            kept.append(std::move(m_pending[i]));
            continue;
        }
        qsizetype records = 1;
        if (m_pending[i].pair >= 0) {
            Pair &pair = m_pairs[m_pending[i].pair];
            pair.unrepresentable = verdict == Verdict::Unfit;
            pair.refused = verdict == Verdict::Unchecked;
            records = pair.records;
        }
        verdict == Verdict::Unfit ? m_tally.notRepresentable(records) : m_tally.refusedByServer(records);
    }
    m_pending = std::move(kept);
}

// Sends the chunk on the background thread, once the chunk before it is settled.
void Run::sendByKey(Case::Mode mode)
{
    QList<QVariant> parameters;
    const qsizetype perRecord = m_key.size() + 2;
    parameters.reserve(perRecord * m_chunkCapacity);
    for (const Pending &pending : m_pending)
        parameters << pending.change.keyValues << pending.change.oldText << pending.change.newText;
    // Padding rows name no row, so every chunk has the one statement shape.
    parameters = m_dialect->chunkParameters(std::move(parameters), int(perRecord), m_chunkCapacity);

    settle();
    m_inFlight = InFlight { InFlight::Kind::ByKey, mode, std::move(m_pending), std::nullopt, nullptr };
    m_background.start([this, parameters = std::move(parameters)] {
        InFlight &flight = m_inFlight;
        try {
            odbc::Statement &statement
                = prepared(m_chunkUpdate, m_dialect->updateChunkByKey(m_table, m_field, m_key, m_chunkCapacity));
            statement.execute(parameters);
            flight.rows = statement.rowCount();
        } catch (...) {
            flight.failure = std::current_exception();
        }
        // A failed commit comes out of the wait for this step and ends the run.
        if (flight.rows && (*flight.rows == flight.records.size() || *flight.rows < 0))
            m_connection->commit();
        else
            m_connection->rollback();
    });
}

// Waits for the chunk sent last and counts its records. A chunk with a key
// that fell short (some row was changed since it was read, or the server
// refused the chunk) was rolled back: only a record at a time tells which.
void Run::settle()
{
    if (m_inFlight.kind == InFlight::Kind::None)
        return;
    const int line = BatchChange::executeLine(m_inFlight.mode);
    transaction(line, [&] { m_background.wait(); });
    const InFlight flight = std::exchange(m_inFlight, InFlight());
    const auto rethrow = [&] {
        if (flight.failure)
            std::rethrow_exception(flight.failure);
    };
    if (flight.kind == InFlight::Kind::Staged) {
        // The staging table is the program's own: a failure there will come back.
        transaction(line, rethrow);
        return;
    }
    if (flight.rows && (*flight.rows == flight.records.size() || *flight.rows < 0)) {
        m_tally.changed(flight.records.size());
        return;
    }
    send(line, rethrow, Report::OnlyWhenEnding);
    redoByKey(flight.records);
}

// Waits for the chunk sent last when the run ends early; what it did is left
// uncounted, as the records not reached.
void Run::settleQuietly()
{
    try {
        m_background.wait();
    } catch (const std::exception &) {
        // The run already ends on a failure of its own.
    }
    m_inFlight = InFlight();
}

void Run::redoByKey(const QList<Pending> &records)
{
    const int line = BatchChange::executeLine(records.first().mode);
    transaction(line, [&] { m_connection->setAutoCommit(true); });
    for (const Pending &pending : records) {
        std::optional<qint64> rows;
        const bool sent = send(BatchChange::executeLine(pending.mode), [&] {
            odbc::Statement &statement = prepared(m_singleUpdate, m_dialect->updateByKey(m_table, m_field, m_key));
            statement.execute(
                m_dialect->updateParameters(pending.change.newText, pending.change.keyValues, pending.change.oldText));
            rows = statement.rowCount();
        });
        if (!sent) {
            m_tally.refusedByServer();
        } else if (*rows == 0) {
            m_tally.changedSinceRead();
        } else {
            m_tally.changed(1, *rows < 0 ? 1 : *rows);
        }
    }
    transaction(line, [&] { m_connection->setAutoCommit(false); });
}

// Without a key: the chunk's new pairs go to the staging table.
void Run::stagePairs(Case::Mode mode)
{
    for (const Pending &pending : m_pending)
        m_pairs[pending.pair].staged = true;
    if (m_dryRun)
        return;
    QList<QVariant> parameters;
    parameters.reserve(3 * m_chunkCapacity);
    for (const Pending &pending : m_pending)
        parameters << QString::number(pending.pair) << pending.change.oldText << pending.change.newText;
    // Padding rows have no pair number, so every chunk has the one statement shape.
    parameters = m_dialect->chunkParameters(std::move(parameters), 3, m_chunkCapacity);
    settle();
    m_inFlight = InFlight { InFlight::Kind::Staged, mode, {}, std::nullopt, nullptr };
    m_background.start([this, parameters = std::move(parameters)] {
        try {
            if (!m_stagingMade) {
                for (const QString &statement : m_dialect->createStaging())
                    m_connection->execute(statement);
                m_stagingMade = true;
            }
            prepared(m_stage, m_dialect->stageChunk(m_chunkCapacity)).execute(parameters);
            m_connection->commit();
        } catch (...) {
            m_inFlight.failure = std::current_exception();
        }
    });
}

// Without a key: one join changes every row that holds a staged old text, in
// one transaction.
void Run::applyStaged()
{
    if (m_dryRun) {
        for (const Pair &pair : std::as_const(m_pairs)) {
            if (pair.staged && !pair.unrepresentable && !pair.refused) {
                m_tally.changed(pair.records);
            }
        }
        return;
    }
    if (!m_stagingMade)
        return;
    const int line = BatchChange::executeLine(m_pairs.isEmpty() ? Case::Mode::Upper : m_pairs.first().mode);
    // The index is made once all pairs are in: one build instead of one update per pair.
    transaction(line, [&] {
        m_connection->execute(m_dialect->indexStaging());
        m_connection->commit();
    });
    // A trigger may change other rows as each row is changed: a statement per
    // text then checks the rows after the triggers of the texts before it.
    if (!m_facts.updateTriggers) {
        odbc::Transaction apply(*m_connection);
        if (applyCounted(line, apply))
            return;
    }
    redoByValue();
}

// In one transaction: the rows of each pair are counted, and kept locked; a
// pair whose old text no longer lies in as many rows as the snapshot held (a
// row changed, added or taken away since) is taken out and left alone, so no
// row changes that the journal does not cover; one join changes the rest.
bool Run::applyCounted(int line, odbc::Transaction &apply)
{
    QList<qint64> rowsOfPair(m_pairs.size(), 0);
    // Nobody else has changed the database since before the snapshot: its rows are the counts.
    bool unchangedSinceSnapshot = false;
    if (m_changesBeforeSnapshot.isValid()
        && !send(
            line,
            [&] {
                unchangedSinceSnapshot
                    = m_connection->query(m_dialect->changeCounter(m_table)).value(0) == m_changesBeforeSnapshot;
            },
            Report::OnlyWhenEnding))
        return false;
    if (unchangedSinceSnapshot) {
        for (int i = 0; i < m_pairs.size(); ++i)
            if (m_pairs[i].staged)
                rowsOfPair[i] = m_pairs[i].rows;
        return applyExpecting(line, rowsOfPair, apply);
    }
    const bool counted = send(
        line,
        [&] {
            for (odbc::RecordSet found = m_connection->query(m_dialect->countStaged(m_table, m_field)); !found.eof();
                 found.moveNext())
                if (const qsizetype pair = found.value(0).toLongLong(); pair >= 0 && pair < rowsOfPair.size())
                    rowsOfPair[pair] = found.value(1).toLongLong();
        },
        Report::OnlyWhenEnding);
    if (!counted)
        return false;
    QList<int> moved;
    for (int i = 0; i < m_pairs.size(); ++i) {
        if (m_pairs[i].staged && rowsOfPair[i] != m_pairs[i].rows) {
            moved << i;
            rowsOfPair[i] = 0; // counted with no row changed
        }
    }
    const bool takenOut = moved.isEmpty()
        || send(
            line,
            [&] {
                std::unique_ptr<odbc::Statement> unstage;
                for (const int pair : std::as_const(moved))
                    prepared(unstage, m_dialect->unstagePair()).execute({ QString::number(pair) });
            },
            Report::OnlyWhenEnding);
    return takenOut && applyExpecting(line, rowsOfPair, apply);
}

// Runs the join, and commits it when it changed as many rows as the pairs are
// expected to hold, counting each pair's records; otherwise the transaction
// is left to roll back.
bool Run::applyExpecting(int line, const QList<qint64> &rowsOfPair, odbc::Transaction &apply)
{
    qint64 expected = 0;
    for (const qint64 rows : rowsOfPair)
        expected += rows;
    std::optional<qint64> rows;
    const bool sent = send(
        line, [&] { rows = m_connection->execute(m_dialect->applyStaged(m_table, m_field)); }, Report::OnlyWhenEnding);
    if (!sent || !rows || (*rows != expected && *rows >= 0))
        return false;
    transaction(line, [&] { apply.commit(); });
    for (int i = 0; i < m_pairs.size(); ++i)
        if (m_pairs[i].staged && m_pairs[i].records > 0)
            countPair(m_pairs[i], rowsOfPair[i]);
    return true;
}

// A transaction per pair: its rows are counted, and kept locked, and changed
// only while exactly as many hold the old text as the snapshot held.
void Run::redoByValue()
{
    for (const Pair &pair : std::as_const(m_pairs)) {
        if (!pair.staged || pair.records == 0)
            continue;
        const int line = BatchChange::executeLine(pair.mode);
        odbc::Transaction pairChange(*m_connection);
        std::optional<qint64> holding;
        std::optional<qint64> changed;
        const bool sent = send(line, [&] {
            odbc::Statement &count = prepared(m_countByValue, m_dialect->countByValue(m_table, m_field));
            count.execute(m_dialect->oldValueParameters(pair.oldText));
            holding = odbc::RecordSet::fetch(count).value(0).toLongLong();
            if (*holding != pair.rows)
                return;
            odbc::Statement &statement = prepared(m_singleUpdate, m_dialect->updateByValue(m_table, m_field));
            statement.execute(m_dialect->updateParameters(pair.newText, {}, pair.oldText));
            changed = statement.rowCount();
        });
        if (!sent || !changed || (*changed != *holding && *changed >= 0)) {
            if (sent)
                countPair(pair, 0);
            else
                m_tally.refusedByServer(pair.records);
            continue;
        }
        transaction(line, [&] { pairChange.commit(); });
        countPair(pair, *holding);
    }
}

// The records of a pair whose old text `rows` rows held when it was applied.
void Run::countPair(const Pair &pair, qint64 rows)
{
    const qsizetype changed = qsizetype(std::min<qint64>(rows, pair.records));
    m_tally.changed(changed, rows);
    m_tally.changedSinceRead(pair.records - changed);
}

} // namespace

BatchChange::BatchChange(LoginFields fields, TableName table, QString field, Callbacks callbacks)
    : m_fields(std::move(fields))
    , m_table(std::move(table))
    , m_field(std::move(field))
    , m_callbacks(std::move(callbacks))
{
}

BatchChange::Result BatchChange::run()
{
    try {
        return Run(m_fields, m_table, m_field, m_callbacks, m_dryRun).run();
    } catch (const std::exception &e) {
        // Only a callback can get here; the run ends as one that never started.
        Result result;
        result.outcome = Outcome::NotStarted;
        if (m_callbacks.failure)
            m_callbacks.failure(LineQuery, describeFailure(e));
        return result;
    }
}

QString describeUnchanged(const BatchChange::Result &result)
{
    QStringList reasons;
    if (result.changedSinceRead)
        reasons << QStringLiteral("%1 changed by someone else since they were read").arg(result.changedSinceRead);
    if (result.notRepresentable)
        reasons << QStringLiteral("%1 whose new text the field's code page cannot hold").arg(result.notRepresentable);
    if (result.rejected)
        reasons << QStringLiteral("%1 refused by the server").arg(result.rejected);
    if (result.unreadable)
        reasons << QStringLiteral("%1 that could not be read exactly").arg(result.unreadable);
    if (result.notReached)
        reasons << QStringLiteral("%1 not reached because the run ended early").arg(result.notReached);
    const qsizetype total = result.unchanged();
    return QStringLiteral("%1 of %2 %3 could not be changed: %4.")
        .arg(total)
        .arg(result.recordsRead)
        .arg(result.recordsRead == 1 ? QStringLiteral("record") : QStringLiteral("records"))
        .arg(reasons.join(QStringLiteral("; ")));
}

QString describeCounts(const BatchChange::Result &result)
{
    return QStringLiteral("%1 records read, %2 rows changed, %3 already in the target case or Null, %4 left unchanged "
                          "(%5 changed by someone else since they were read, %6 not representable in the field's "
                          "code page, %7 refused by the server, %8 not read exactly, %9 not reached).")
        .arg(result.recordsRead)
        .arg(result.rowsChanged)
        .arg(result.alreadyInCase)
        .arg(result.unchanged())
        .arg(result.changedSinceRead)
        .arg(result.notRepresentable)
        .arg(result.rejected)
        .arg(result.unreadable)
        .arg(result.notReached);
}
