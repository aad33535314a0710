#include "casing/BatchChange.h"

#include "connection/OpeningProfile.h"
#include "connection/SqlDialect.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/Statement.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

struct FieldFacts {
    QString type;
    bool computed = false;
    unsigned codePage = 0;
};

// What became of the first record of a value when rows are named by value;
// the later records of the same value count with it.
struct ValueOutcome {
    bool rejected = false;
    qsizetype rowsLeft = 0; // changed rows not yet matched with a record
};

class Run {
public:
    Run(const LoginFields &fields, const QString &table, const QString &field, const BatchChange::Callbacks &callbacks,
        bool dryRun)
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
    void changeRecord(Case::Mode mode);
    // Passes records to beforeSend(); false when it declined them.
    bool announce(const QList<PlannedChange> &records)
    {
        m_declined = m_callbacks.beforeSend && !m_callbacks.beforeSend(records);
        return !m_declined;
    }
    void changeByKey(Case::Mode mode, const QList<QVariant> &keyValues, const QString &oldText, const QString &newText);
    void changeByValue(Case::Mode mode, const QString &oldText, const QString &newText);
    // Executes the update; the server's count of changed rows, or nothing when it refused.
    std::optional<qint64> execute(Case::Mode mode, const QList<QVariant> &parameters);

    const LoginFields &m_fields;
    const QString &m_table;
    const QString &m_field;
    const BatchChange::Callbacks &m_callbacks;
    const bool m_dryRun;
    bool m_declined = false;

    BatchChange::Result m_result;
    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<SqlDialect> m_dialect;
    std::unique_ptr<odbc::Statement> m_update;
    QString m_updateText;
    bool m_prepared = false;
    FieldFacts m_facts;
    QList<KeyColumn> m_key;
    odbc::RecordSet m_records;
    QHash<QString, qsizetype> m_occurrences;
    QHash<QString, ValueOutcome> m_handled;
    QSet<QString> m_reported;
};

BatchChange::Result Run::run()
{
    if (!prepareSteps()) {
        m_result.outcome
            = m_result.refusal.isEmpty() ? BatchChange::Outcome::NotStarted : BatchChange::Outcome::Refused;
        return m_result;
    }
    if (m_callbacks.started) {
        QStringList keyColumns;
        for (const KeyColumn &column : m_key)
            keyColumns << column.name;
        if (!m_callbacks.started(keyColumns)) {
            m_result.outcome = BatchChange::Outcome::Declined;
            return m_result;
        }
    }
    const qsizetype count = m_result.recordsRead;
    // The mode text is read for every record, but looked up again only when it changed.
    QString lastModeText;
    std::optional<Case::Mode> lastMode;
    bool modeKnown = false;
    for (qsizetype position = 0; position < count; ++position) {
        if (m_callbacks.yield)
            m_callbacks.yield();
        if (m_callbacks.stop && m_callbacks.stop()) {
            m_result.outcome = BatchChange::Outcome::Stopped;
            return m_result;
        }
        if (m_callbacks.progress)
            m_callbacks.progress(double(position + 1) / double(count) * 100.0);
        const QString modeText = m_callbacks.modeText ? m_callbacks.modeText() : QString();
        if (!modeKnown || modeText != lastModeText) {
            lastMode = Case::ModeOf(modeText);
            lastModeText = modeText;
            modeKnown = true;
        }
        if (const std::optional<Case::Mode> mode = lastMode)
            changeRecord(*mode);
        else
            ++m_result.withoutMode;
        if (m_declined) {
            m_result.outcome = BatchChange::Outcome::Declined;
            return m_result;
        }
        m_records.moveNext();
    }
    return m_result;
}

// Everything before the first record. False when the run must end: a failure
// was reported, or the refusal says why the field is not rewritten.
bool Run::prepareSteps()
{
    const int openLine = m_fields.localConnection ? BatchChange::LineOpenLocal : BatchChange::LineOpenWithPort;
    if (!attempt(openLine, [&] {
            m_connection = openConnection(OpeningProfile::Batch, m_fields);
            m_dialect = SqlDialect::forConnection(*m_connection);
            for (const QString &statement : m_dialect->sessionSetup())
                m_connection->execute(statement);
        }))
        return false;

    if (!attempt(BatchChange::LineQuery, [&] { m_facts = lookUpField(); }))
        return false;
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
            m_records = m_connection->query(m_dialect->selectForChange(m_table, m_field, m_key));
        }))
        return false;
    m_result.byKey = !m_key.isEmpty();
    m_updateText
        = m_result.byKey ? m_dialect->updateByKey(m_table, m_field, m_key) : m_dialect->updateByValue(m_table, m_field);

    if (!attempt(BatchChange::LineRecordCount, [&] {
            m_result.recordsRead = m_records.recordCount();
            if (!m_result.byKey) {
                for (; !m_records.eof(); m_records.moveNext())
                    if (const QVariant value = m_records.value(0); value.isValid())
                        ++m_occurrences[value.toString()];
                m_records.moveFirst();
            }
        }))
        return false;
    return true;
}

FieldFacts Run::lookUpField()
{
    const SqlQuery lookup = m_dialect->fieldLookup(m_table, m_field);
    odbc::RecordSet rows = m_connection->query(lookup.text, lookup.parameters);
    if (rows.eof())
        throw Failure(QStringLiteral("The table \"%1\" has no field \"%2\".").arg(m_table, m_field));
    FieldFacts facts;
    facts.type = rows.value(0).toString();
    facts.computed = rows.value(1).toInt() != 0;
    facts.codePage = rows.value(2).toUInt();
    return facts;
}

// The first key (primary key first) whose columns are all never Null and of
// types whose text form names the same value again; none when there is none.
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
        usable = usable && !column.name.isEmpty() && !nullable && m_dialect->isKeyType(column);
        key << column;
    }
    return usable ? key : QList<KeyColumn>();
}

void Run::changeRecord(Case::Mode mode)
{
    QVariant value;
    if (!attempt(BatchChange::LineRecordValue, [&] { value = m_records.value(0); })) {
        ++m_result.rejected;
        return;
    }
    // Null stays Null.
    if (!value.isValid()) {
        ++m_result.alreadyInCase;
        return;
    }
    const QString oldText = value.toString();
    QList<QVariant> keyValues;
    for (int column = 1; column <= m_key.size(); ++column)
        keyValues << m_records.value(column);
    const std::optional<QString> rewritten
        = m_callbacks.rewrite ? m_callbacks.rewrite(oldText, keyValues) : Case::ConvertForStorage(mode, oldText);
    if (!rewritten) {
        ++m_result.leftOut;
        return;
    }
    const QString &newText = *rewritten;
    if (newText == oldText) {
        ++m_result.alreadyInCase;
        return;
    }
    if (!CodePage::survives(newText, m_facts.codePage)) {
        ++m_result.notRepresentable;
        return;
    }
    if (m_result.byKey)
        changeByKey(mode, keyValues, oldText, newText);
    else
        changeByValue(mode, oldText, newText);
}

void Run::changeByKey(Case::Mode mode, const QList<QVariant> &keyValues, const QString &oldText, const QString &newText)
{
    if (!announce({ PlannedChange { keyValues, oldText, newText } }))
        return;
    const std::optional<qint64> rows
        = m_dryRun ? 1 : execute(mode, m_dialect->updateParameters(newText, keyValues, oldText));
    if (!rows) {
        ++m_result.rejected;
    } else if (*rows == 0) {
        ++m_result.changedSinceRead;
    } else {
        ++m_result.recordsChanged;
        m_result.rowsChanged += *rows < 0 ? 1 : *rows;
    }
}

void Run::changeByValue(Case::Mode mode, const QString &oldText, const QString &newText)
{
    auto handled = m_handled.find(oldText);
    if (handled == m_handled.end()) {
        // One statement changes every row of the value; the records that
        // repeat the value send nothing and count with this one.
        ValueOutcome outcome;
        const qsizetype records = m_occurrences.value(oldText, 1);
        if (!announce(QList<PlannedChange>(records, PlannedChange { {}, oldText, newText })))
            return;
        const std::optional<qint64> rows
            = m_dryRun ? records : execute(mode, m_dialect->updateParameters(newText, {}, oldText));
        if (!rows) {
            outcome.rejected = true;
        } else {
            const qint64 changed = *rows < 0 ? records : *rows;
            m_result.rowsChanged += changed;
            outcome.rowsLeft = qsizetype(std::min<qint64>(changed, records));
        }
        handled = m_handled.insert(oldText, outcome);
    }
    if (handled->rejected) {
        ++m_result.rejected;
    } else if (handled->rowsLeft > 0) {
        --handled->rowsLeft;
        ++m_result.recordsChanged;
    } else {
        ++m_result.changedSinceRead;
    }
}

std::optional<qint64> Run::execute(Case::Mode mode, const QList<QVariant> &parameters)
{
    // The statement is prepared once and run for every record.
    if (!m_prepared && !attempt(BatchChange::statementLine(mode), [&] {
            m_update = std::make_unique<odbc::Statement>(*m_connection);
            m_update->prepare(m_updateText);
            m_prepared = true;
        }))
        return std::nullopt;
    std::optional<qint64> rows;
    attempt(BatchChange::executeLine(mode), [&] {
        m_update->execute(parameters);
        rows = m_update->rowCount();
    });
    return rows;
}

} // namespace

BatchChange::BatchChange(LoginFields fields, QString table, QString field, Callbacks callbacks)
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
    const qsizetype total = result.unchanged();
    return QStringLiteral("%1 of %2 %3 could not be changed: %4.")
        .arg(total)
        .arg(result.recordsRead)
        .arg(result.recordsRead == 1 ? QStringLiteral("record") : QStringLiteral("records"))
        .arg(reasons.join(QStringLiteral("; ")));
}
