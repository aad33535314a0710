#include "casing/BatchChange.h"

#include "casing/BatchContext.h"
#include "casing/ChunkPolicy.h"
#include "casing/DryRunWriter.h"
#include "casing/KeyedWriter.h"
#include "casing/SnapshotReader.h"
#include "casing/StagedWriter.h"
#include "casing/UnrepresentableFilter.h"
#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "platform/Failure.h"

#include <QElapsedTimer>

#include <algorithm>
#include <exception>

#include <memory>
#include <optional>
#include <utility>

namespace {

qsizetype textUnits(const ChunkRecord &record)
{
    return record.change.oldText.size() + record.change.newText.size();
}

// One run: reads the snapshot, visits its records one at a time, gathers
// their changes in chunks and hands each chunk to the writer for the run's
// way of writing.
class Run {
public:
    Run(const LoginFields &fields, const TableName &table, const QString &field,
        const BatchChange::Callbacks &callbacks, bool dryRun, const WordRules *wordRules,
        std::unique_ptr<odbc::Connection> opened)
        : m_run(fields, table, field, callbacks, dryRun)
        , m_wordRules(wordRules)
        , m_opened(std::move(opened))
    {
    }

    BatchChange::Result run();

private:
    // Adds the time the step takes to the part.
    template <typename Step>
    auto timed(double &part, Step &&step)
    {
        const qint64 start = m_clock.nsecsElapsed();
        struct Add {
            double &part;
            const QElapsedTimer &clock;
            qint64 start;
            ~Add() { part += double(clock.nsecsElapsed() - start) / 1e9; }
        } add { part, m_clock, start };
        return step();
    }
    bool nextRecord();
    bool prepareSteps();
    FieldFacts lookUpField();
    QList<KeyColumn> findKey();
    std::unique_ptr<ChunkWriter> makeWriter();
    void stageWhileSorting();
    void visitRecord(Case::Mode mode);
    // The record's text as the server stores it, with its key; none when the
    // record is Null, unreadable or refused (its outcome is counted).
    std::optional<ChunkRecord> readRecord(Case::Mode mode);
    // The text the record is to hold; none when it is left out.
    std::optional<QString> newTextOf(Case::Mode mode, const ChunkRecord &record);
    // Without a key: a record of the text before joins its pair; any other
    // starts the pair of its text, held until its text's records are visited.
    void holdPair(ChunkRecord record);
    // The pair held goes into the chunk.
    void releasePair();
    // Sends the records waiting in the chunk; false when the run must end.
    bool flush();
    bool handOverPlanned();

    BatchContext m_run;
    QElapsedTimer m_clock;
    const WordRules *m_wordRules; // none: the plain case rules
    std::unique_ptr<odbc::Connection> m_opened; // none: the run opens its own
    SnapshotReader m_snapshot { m_run };
    ChunkPolicy m_policy;
    QList<ChunkRecord> m_chunk;

    // Without a key: the pair of the text whose records are being visited,
    // and the pairs made so far. Nothing is kept of the pairs before.
    std::optional<ChunkRecord> m_heldPair;
    int m_pairs = 0;

    std::unique_ptr<UnrepresentableFilter> m_filter;
    // Declared last, so a chunk under way ends before anything it uses goes.
    std::unique_ptr<ChunkWriter> m_writer;
};

BatchChange::Result Run::run()
{
    m_clock.start();
    BatchChange::Result &result = m_run.result;
    BatchChange::Result::Times &times = result.times;
    if (!timed(times.setUp, [&] { return prepareSteps(); })) {
        if (result.outcome == BatchChange::Outcome::Finished)
            result.outcome
                = result.refusal.isEmpty() ? BatchChange::Outcome::NotStarted : BatchChange::Outcome::Refused;
        m_snapshot.close();
        if (m_writer)
            m_writer->close();
        times.whole = double(m_clock.nsecsElapsed()) / 1e9;
        return result;
    }
    timed(times.setUp, [&] {
        if (!m_writer)
            m_writer = makeWriter();
        m_filter = std::make_unique<UnrepresentableFilter>(m_run, m_policy.capacity());
    });
    const BatchChange::Callbacks &callbacks = m_run.callbacks;
    const qsizetype count = result.recordsRead;
    odbc::RecordSet &records = m_snapshot.records();
    // The mode text is read for every record, but looked up again only when it changed.
    QString lastModeText;
    std::optional<Case::Mode> lastMode;
    bool modeKnown = false;
    qint64 loopEnded = -1;
    try {
        qsizetype position = 0;
        for (; nextRecord(); ++position) {
            if (callbacks.yield)
                callbacks.yield();
            if (callbacks.stop && callbacks.stop()) {
                // What was visited is written; the rest stays as it was.
                result.outcome = BatchChange::Outcome::Stopped;
                break;
            }
            if (callbacks.progress)
                callbacks.progress(
                    std::min(100.0, double(position + 1) / double(std::max<qsizetype>(count, 1)) * 100.0));
            const QString modeText = callbacks.modeText ? callbacks.modeText() : QString();
            if (!modeKnown || modeText != lastModeText) {
                lastMode = Case::modeOf(modeText);
                lastModeText = modeText;
                modeKnown = true;
            }
            if (lastMode || callbacks.rewrite)
                visitRecord(lastMode.value_or(Case::Mode::Upper));
            else
                m_run.tally.withoutMode();
            records.moveNext();
            if (m_policy.due(m_chunk.size()) && !timed(times.writing, [&] { return flush(); }))
                break;
        }
        loopEnded = m_clock.nsecsElapsed();
        m_snapshot.endReading();
        // Every record was visited: as many as there were, whatever the count said.
        if (result.outcome == BatchChange::Outcome::Finished)
            result.recordsRead = position;
        if (result.outcome == BatchChange::Outcome::Finished || result.outcome == BatchChange::Outcome::Stopped) {
            releasePair();
            if (flush()) {
                m_writer->settle();
                m_writer->finish();
            }
        }
    } catch (const RunEnds &) {
        if (loopEnded < 0)
            loopEnded = m_clock.nsecsElapsed();
        m_writer->abandon();
        m_run.connection->rollback();
        result.outcome = BatchChange::Outcome::EndedByFailure;
    }
    m_snapshot.close();
    if (result.outcome == BatchChange::Outcome::EndedByFailure || result.outcome == BatchChange::Outcome::Declined) {
        // Every record not accounted for stays as it was.
        m_run.tally.restNotReached();
    }
    m_writer->close();
    times.end = double(m_clock.nsecsElapsed() - loopEnded) / 1e9;
    times.whole = double(m_clock.nsecsElapsed()) / 1e9;
    return result;
}

// The record to visit next, reading the next block of rows when the one at
// hand is done.
bool Run::nextRecord()
{
    if (!m_snapshot.records().eof())
        return true;
    return timed(m_run.result.times.reading, [&] { return m_snapshot.ensureRecord(); });
}

std::unique_ptr<ChunkWriter> Run::makeWriter()
{
    if (m_run.dryRun)
        return std::make_unique<DryRunWriter>(m_run);
    if (m_run.key.isEmpty())
        return std::make_unique<StagedWriter>(m_run, m_policy.capacity(), m_snapshot.changesBefore());
    return std::make_unique<KeyedWriter>(m_run, m_policy.capacity());
}

// Without a key, while the rows are sorted on their own connection and the
// run's would only wait for them: when they fill a chunk, the staging the
// first chunk would begin with is done now.
void Run::stageWhileSorting()
{
    const std::optional<qint64> rows = m_snapshot.rowsBeingSorted();
    if (m_run.dryRun || !rows || *rows < m_policy.capacity())
        return;
    auto writer = std::make_unique<StagedWriter>(m_run, m_policy.capacity(), m_snapshot.changesBefore());
    writer->stageAhead();
    m_writer = std::move(writer);
}

// Everything before the first record. False when the run must end: a failure
// was reported, or the refusal says why the field is not rewritten.
bool Run::prepareSteps()
{
    BatchChange::Result &result = m_run.result;
    const int openLine = m_run.fields.localConnection ? BatchChange::LineOpenLocal : BatchChange::LineOpenWithPort;
    if (!m_run.attempt(openLine, [&] {
            Session session = m_opened ? sessionOn(std::move(m_opened), OpeningProfile::Batch)
                                       : openSession(OpeningProfile::Batch, m_run.fields);
            m_run.connection = std::move(session.connection);
            m_run.dialect = std::move(session.dialect);
        }))
        return false;
    m_snapshot.openEarly();

    // The rows are read from the key on, while the field is looked up. What
    // is wrong with the table or the field is told by the field's look-up.
    if (!m_run.attempt(BatchChange::LineQuery, [&] {
            std::exception_ptr keyFailure;
            try {
                m_run.key = findKey();
                m_snapshot.readAhead();
            } catch (const std::exception &) {
                keyFailure = std::current_exception();
            }
            m_run.facts = lookUpField();
            if (keyFailure)
                std::rethrow_exception(keyFailure);
        }))
        return false;
    const FieldFacts &facts = m_run.facts;
    if (!facts.userTable) {
        result.refusal = QStringLiteral("\"%1\" is not a table but a view or another kind of object, so its "
                                        "values are not changed. Nothing was changed.")
                             .arg(m_run.table.shownText());
        return false;
    }
    if (facts.computed) {
        result.refusal = QStringLiteral("The field \"%1\" is computed from other values, so its values cannot be "
                                        "changed. Nothing was changed.")
                             .arg(m_run.field);
        return false;
    }
    if (!m_run.dialect->isTextType(facts.type)) {
        result.refusal = QStringLiteral("The field \"%1\" holds values of type %2, not text, so their case cannot "
                                        "be changed. Nothing was changed.")
                             .arg(m_run.field, facts.type.isEmpty() ? QStringLiteral("(none)") : facts.type);
        return false;
    }

    if (!m_run.attempt(BatchChange::LineQuery, [&] {
            // Without a key, nothing but staged pairs is written, unless new
            // texts are checked in the field's code page.
            m_run.dialect->learnWriting(*m_run.connection,
                m_run.key.isEmpty() && m_run.dialect->unrepresentable(facts, ChunkShape(1)).isEmpty());
            m_policy = ChunkPolicy(*m_run.dialect, int(m_run.key.size()));
            stageWhileSorting();
            m_snapshot.open(m_run.dialect->selectForChange(m_run.table, m_run.field, m_run.key));
        }))
        return false;
    result.byKey = !m_run.key.isEmpty();

    if (!m_run.attempt(BatchChange::LineRecordCount, [&] { result.recordsRead = m_snapshot.count(); }))
        return false;

    if (m_run.callbacks.started) {
        QStringList keyColumns;
        for (const KeyColumn &column : std::as_const(m_run.key))
            keyColumns << column.name;
        if (!m_run.callbacks.started(keyColumns)) {
            result.outcome = BatchChange::Outcome::Declined;
            m_run.tally.restNotReached();
            return false;
        }
    }
    if (!m_run.dryRun) {
        // Each chunk is a transaction of its own.
        if (!m_run.attempt(BatchChange::LineQuery, [&] { m_run.connection->setAutoCommit(false); }))
            return false;
    }
    return true;
}

FieldFacts Run::lookUpField()
{
    std::optional<FieldFacts> facts = m_run.dialect->lookUpField(*m_run.connection, m_run.table, m_run.field);
    if (!facts)
        throw Failure(
            QStringLiteral("The table \"%1\" has no field \"%2\".").arg(m_run.table.shownText(), m_run.field));
    return *facts;
}

// The first key (primary key first) whose columns are all never Null and of
// types whose text form names the same value again, and that does not hold
// the field: the run changes the field, so a key over it would name a row by
// a value the row no longer has, and its journal could not be undone. None
// when there is none.
QList<KeyColumn> Run::findKey()
{
    QList<KeyColumn> key;
    QString group;
    bool usable = false;
    for (const KeyCandidate &candidate : m_run.dialect->lookUpKeys(*m_run.connection, m_run.table)) {
        if (candidate.group != group) {
            if (usable && !key.isEmpty())
                return key;
            group = candidate.group;
            key.clear();
            usable = true;
        }
        const KeyColumn &column = candidate.column;
        usable = usable && !column.name.isEmpty() && !candidate.nullable && m_run.dialect->isKeyType(column)
            && column.name.compare(m_run.field, Qt::CaseInsensitive) != 0;
        key << column;
    }
    return usable ? key : QList<KeyColumn>();
}

void Run::visitRecord(Case::Mode mode)
{
    std::optional<ChunkRecord> record = readRecord(mode);
    if (!record)
        return;
    // Without a key, a further record of the held pair's text, in its mode,
    // gets the new text the pair has.
    if (m_heldPair && !m_run.callbacks.rewrite && m_heldPair->mode == mode
        && m_heldPair->change.oldText == record->change.oldText) {
        ++m_heldPair->records;
        return;
    }
    const std::optional<QString> newText = newTextOf(mode, *record);
    if (!newText) {
        m_run.tally.leftOut();
        return;
    }
    if (*newText == record->change.oldText) {
        m_run.tally.alreadyInCase();
        return;
    }
    record->change.newText = *newText;
    if (m_run.key.isEmpty()) {
        holdPair(std::move(*record));
        return;
    }
    m_chunk.append(std::move(*record));
    m_policy.added(m_chunk.size(), textUnits(m_chunk.last()));
}

std::optional<ChunkRecord> Run::readRecord(Case::Mode mode)
{
    odbc::RecordSet &records = m_snapshot.records();
    bool isNull = false;
    QStringView value;
    qint64 stored = 0;
    if (!m_run.attempt(BatchChange::LineRecordValue, [&] {
            isNull = records.isNull(0);
            value = records.text(0);
            stored = records.text(1).toLongLong();
        })) {
        m_run.tally.refusedByServer();
        return std::nullopt;
    }
    // Null stays Null.
    if (isNull) {
        m_run.tally.alreadyInCase();
        return std::nullopt;
    }
    // A value the driver could not hand over exactly (a NUL, bytes that are
    // not text) is never written back from its inexact copy.
    if (stored != m_run.dialect->storedLength(value)) {
        m_run.tally.unreadable();
        return std::nullopt;
    }
    ChunkRecord record { mode, { {}, value.toString(), {} } };
    if (m_run.key.isEmpty())
        record.rows = records.value(SnapshotReader::RowsOfTextColumn).toLongLong();
    record.change.keyValues.reserve(m_run.key.size());
    for (int column = 0; column < m_run.key.size(); ++column)
        record.change.keyValues << records.value(2 + column);
    return record;
}

std::optional<QString> Run::newTextOf(Case::Mode mode, const ChunkRecord &record)
{
    if (m_run.callbacks.rewrite)
        return m_run.callbacks.rewrite(record.change.oldText, record.change.keyValues, record.rows);
    return m_wordRules ? m_wordRules->convert(mode, record.change.oldText)
                       : Case::convertForStorage(mode, record.change.oldText);
}

void Run::holdPair(ChunkRecord record)
{
    if (m_heldPair && m_heldPair->change.oldText == record.change.oldText) {
        ++m_heldPair->records;
        return;
    }
    releasePair();
    record.pair = m_pairs++;
    m_heldPair = std::move(record);
}

void Run::releasePair()
{
    if (!m_heldPair)
        return;
    m_chunk.append(std::move(*m_heldPair));
    m_heldPair.reset();
    m_policy.added(m_chunk.size(), textUnits(m_chunk.last()));
}

// The chunk's records go to beforeSend, without a key one per row of each
// pair's old text, at most PlannedAtOnce at a time: a text of many rows never
// has all its rows' records in memory. False when beforeSend said no.
bool Run::handOverPlanned()
{
    constexpr qsizetype PlannedAtOnce = 32768;
    QList<BatchChange::PlannedChange> changes;
    changes.reserve(std::min(PlannedAtOnce, m_chunk.size()));
    for (const ChunkRecord &record : std::as_const(m_chunk)) {
        for (qsizetype rows = record.pair < 0 ? 1 : record.rows; rows > 0;) {
            if (changes.size() == PlannedAtOnce) {
                if (!m_run.callbacks.beforeSend(changes))
                    return false;
                changes.resize(0);
            }
            const qsizetype taken = std::min(rows, PlannedAtOnce - changes.size());
            changes.insert(changes.size(), taken, record.change);
            rows -= taken;
        }
    }
    return m_run.callbacks.beforeSend(changes);
}

bool Run::flush()
{
    if (m_chunk.isEmpty())
        return true;
    m_filter->apply(m_chunk, *m_writer);
    if (m_chunk.isEmpty())
        return true;
    if (m_run.callbacks.beforeSend && !handOverPlanned()) {
        m_chunk.clear();
        m_writer->settle();
        m_run.result.outcome = BatchChange::Outcome::Declined;
        return false;
    }
    m_writer->write(std::exchange(m_chunk, {}));
    return true;
}

} // namespace

BatchChange::BatchChange(LoginFields fields, TableName table, QString field, Callbacks callbacks)
    : m_fields(std::move(fields))
    , m_table(std::move(table))
    , m_field(std::move(field))
    , m_callbacks(std::move(callbacks))
{
}

namespace {

BatchChange::Result::Times lastRunTimes;

} // namespace

BatchChange::Result::Times BatchChange::lastTimes()
{
    return lastRunTimes;
}

BatchChange::Result BatchChange::run()
{
    try {
        Result result
            = Run(m_fields, m_table, m_field, m_callbacks, m_dryRun, m_wordRules.get(), std::move(m_opened)).run();
        lastRunTimes = result.times;
        return result;
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

QString describeTimes(const BatchChange::Result::Times &times)
{
    const double visiting = std::max(0.0, times.whole - times.setUp - times.reading - times.writing - times.end);
    return QStringLiteral("Times: set-up %1 s, reading %2 s, visiting %3 s, writing %4 s, the end %5 s, in all %6 s.")
        .arg(times.setUp, 0, 'f', 3)
        .arg(times.reading, 0, 'f', 3)
        .arg(visiting, 0, 'f', 3)
        .arg(times.writing, 0, 'f', 3)
        .arg(times.end, 0, 'f', 3)
        .arg(times.whole, 0, 'f', 3);
}
