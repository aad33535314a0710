#include "journal/JournalUndo.h"

#include "casing/Case.h"
#include "journal/JournalCatalogue.h"
#include "platform/Failure.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

// Two names of one database: alike in any letter case, or, for a database
// that is a file, the same file.
bool sameDatabase(const QString &a, const QString &b)
{
    if (a.compare(b, Qt::CaseInsensitive) == 0)
        return true;
    const QString file = QFileInfo(a).canonicalFilePath();
    return !file.isEmpty() && file == QFileInfo(b).canonicalFilePath();
}

} // namespace

QString JournalUndo::elsewhere(const JournalHeader &header, const LoginFields &fields)
{
    if (!sameDatabase(header.database, fields.database))
        return QStringLiteral("the journal is of the database \"%1\", not \"%2\".")
            .arg(header.database, fields.database);
    if (!header.server.isEmpty() && !fields.server.isEmpty()
        && header.server.compare(fields.server, Qt::CaseInsensitive) != 0)
        return QStringLiteral("the journal is of the server \"%1\", not \"%2\".").arg(header.server, fields.server);
    // Journals of the first format do not say how the server was reached.
    if (header.localConnection && *header.localConnection != fields.localConnection)
        return *header.localConnection
            ? QStringLiteral("the journal was made over \"Local Connection\", not through port %1.").arg(fields.port)
            : QStringLiteral("the journal was made through port %1, not over \"Local Connection\".")
                  .arg(header.port.value_or(QString()));
    if (header.localConnection && !fields.localConnection && header.port
        && header.port->trimmed() != fields.port.trimmed())
        return QStringLiteral("the journal is of port %1, not %2.").arg(*header.port, fields.port);
    return {};
}

JournalUndo::JournalUndo(JournalReader &journal, LoginFields fields)
    : m_journal(journal)
    , m_header(journal.header())
    , m_fields(std::move(fields))
    , m_journalRecords(
          journal.keptRecords() + journal.refusedRecords() + journal.notWrittenRecords() + journal.endUnknownRecords())
    , m_kept(journal.keptRecords())
    , m_refused(journal.refusedRecords())
    , m_notWritten(journal.notWrittenRecords())
    , m_endUnknown(journal.endUnknownRecords())
    , m_tellsWritten(journal.tellsWritten())
    , m_cutShort(journal.cutShort())
{
}

void JournalUndo::attach(BatchChange::Callbacks &callbacks)
{
    // The mode only names the lines of failures; rewrite() decides every text.
    const QString mode = Case::modeOf(m_header.mode) ? m_header.mode : Case::ModeTexts.first();
    callbacks.modeText = [mode] { return mode; };
    callbacks.started = [this](const QStringList &keyColumns) { return start(keyColumns); };
    m_yield = callbacks.yield;
    callbacks.rewrite = [this](const QString &text, const QList<QVariant> &keyValues, qsizetype rows) {
        return rewrite(text, keyValues, rows);
    };
    if (!m_header.keyColumns.isEmpty()) {
        // A run journals its rows in the order of the key.
        callbacks.namedRows
            = { [this](int most) { return nextRows(most); }, m_kept, [this] { return unvisitedRows(); } };
    }
}

BatchChange::Result JournalUndo::run(
    BatchChange::Callbacks callbacks, bool dryRun, std::unique_ptr<odbc::Connection> opened)
{
    attach(callbacks);
    BatchChange change(m_fields, { m_header.schema, m_header.table }, m_header.field, callbacks);
    change.setDryRun(dryRun);
    change.setOpenedConnection(std::move(opened));
    return change.run();
}

void JournalUndo::markJournal(const QString &journalPath, const BatchChange::Result &result) const
{
    if (result.recordsChanged > 0)
        JournalCatalogue::markUndone(journalPath, QDateTime::currentDateTimeUtc(), back(result), m_journalRecords);
}

QString JournalUndo::keyOf(const QList<QVariant> &keyValues)
{
    // One value as it is; several each after its length, so that no two keys
    // give the same text.
    if (keyValues.size() == 1)
        return keyValues.first().toString();
    QString key;
    for (const QVariant &value : keyValues) {
        const QString text = value.toString();
        key += QString::number(text.size()) + QLatin1Char(':') + text;
    }
    return key;
}

bool JournalUndo::start(const QStringList &keyColumns)
{
    // A block still read for a run before is not wanted.
    try {
        m_reading.wait();
    } catch (const std::exception &) {
        // It was that run's.
    }
    m_nextBlockRead = false;
    m_block.clear();
    m_gone = 0;
    m_changedSince = 0;
    m_alreadyBack = 0;
    m_texts.clear();
    m_visitedRecords = 0;
    m_visitedLeftAlone = 0;
    if (!m_header.keyColumns.isEmpty()) {
        if (keyColumns.join(QLatin1Char('\n')).compare(m_header.keyColumns.join(QLatin1Char('\n')), Qt::CaseInsensitive)
            != 0) {
            m_refusal = QStringLiteral("The journal names the rows of \"%1\" by the key (%2), which the table no "
                                       "longer has. Nothing was changed.")
                            .arg(m_header.table, m_header.keyColumns.join(QStringLiteral(", ")));
            return false;
        }
        if (!m_journal.openRecords()) {
            m_refusal = m_journal.error() + QStringLiteral(" Nothing was changed.");
            return false;
        }
        return true;
    }
    if (!readTexts()) {
        m_refusal = (m_journal.error().isEmpty() ? QStringLiteral("The journal changed while it was read.")
                                                 : m_journal.error())
            + QStringLiteral(" Nothing was changed.");
        return false;
    }
    return true;
}

namespace {

size_t textHash(const QString &text)
{
    return qHash(text, size_t(0x9e3779b97f4a7c15u));
}

} // namespace

// Without a key: what the journal's records say of each new text. The
// records of a text's pair come one after another in the journal.
bool JournalUndo::readTexts()
{
    m_lastText.clear();
    m_lastRewrite.reset();
    if (!m_journal.openRecords())
        return false;
    m_texts.reserve(size_t(m_journal.textPairs()));
    PlannedChange record;
    PlannedChange pair;
    qint64 offset = 0;
    qint64 pairOffset = 0;
    qsizetype pairRecords = 0;
    qsizetype records = 0;
    while (m_journal.nextRecord(record, &offset)) {
        // A window goes on painting while a long journal is read.
        if (++records % 4096 == 0 && m_yield)
            m_yield();
        if (pairRecords > 0 && record.newText == pair.newText && record.oldText == pair.oldText) {
            ++pairRecords;
            continue;
        }
        if (pairRecords > 0)
            addText(pair, pairOffset, pairRecords);
        pair = std::move(record);
        pairOffset = offset;
        pairRecords = 1;
    }
    if (pairRecords > 0)
        addText(pair, pairOffset, pairRecords);
    if (!m_journal.error().isEmpty() || records != m_kept)
        return false;
    // Texts of one hash: the same new text from the same old text counts
    // once, from another old text it came from several; two texts of one
    // hash cannot be told apart, and are left alone.
    std::sort(m_texts.begin(), m_texts.end(), [](const Text &a, const Text &b) { return a.hash < b.hash; });
    size_t kept = 0;
    for (size_t i = 0; i < m_texts.size(); ++i) {
        const Text text = m_texts[i];
        if (kept == 0 || m_texts[kept - 1].hash != text.hash) {
            m_texts[kept++] = text;
            continue;
        }
        Text &first = m_texts[kept - 1];
        PlannedChange firstRecord;
        PlannedChange otherRecord;
        if (!m_journal.readRecordAt(first.offset, firstRecord) || !m_journal.readRecordAt(text.offset, otherRecord))
            return false;
        const quint64 together = quint64(first.records) + text.records;
        first.records = std::min(together, Text::MostRecords);
        first.fromSeveral = first.fromSeveral || text.fromSeveral || together > Text::MostRecords
            || firstRecord.newText != otherRecord.newText || firstRecord.oldText != otherRecord.oldText;
    }
    m_texts.resize(kept);
    return true;
}

void JournalUndo::addText(const PlannedChange &record, qint64 offset, qsizetype records)
{
    Text text;
    text.hash = textHash(record.newText);
    text.offset = std::min(quint64(offset), Text::FarthestOffset);
    text.records = std::min(quint64(records), Text::MostRecords);
    // A text beyond what the entry holds cannot be put back.
    text.fromSeveral = quint64(offset) > Text::FarthestOffset || quint64(records) > Text::MostRecords;
    m_texts.push_back(text);
}

// By key: a block of the journal's next records.
void JournalUndo::readBlock(Block &block, int most)
{
    block = Block();
    block.entries.reserve(most);
    block.rows.reserve(most);
    PlannedChange record;
    while (block.rows.size() < most && m_journal.nextRecord(record)) {
        block.entries.insert(keyOf(record.keyValues), Entry { record.keyValues, record.oldText, record.newText });
        block.rows << std::move(record.keyValues);
    }
    if (block.rows.size() < most)
        block.error = m_journal.error();
}

// By key: the key values of the next block of records; the records of the
// block before whose rows were not read are gone. The block after it is read
// while this one's rows are visited.
QList<QList<QVariant>> JournalUndo::nextRows(int most)
{
    for (const Entry &entry : std::as_const(m_block))
        m_gone += entry.seen ? 0 : 1;
    if (m_nextBlockRead)
        m_reading.wait();
    else
        readBlock(m_nextBlock, most);
    // The block before is let go on the reading thread, as the next is read.
    std::swap(m_block, m_nextBlock.entries);
    QList<QList<QVariant>> rows = std::move(m_nextBlock.rows);
    if (!m_nextBlock.error.isEmpty())
        throw Failure(m_nextBlock.error);
    m_nextBlockRead = rows.size() == most;
    if (m_nextBlockRead)
        m_reading.start([this, most] { readBlock(m_nextBlock, most); });
    return rows;
}

std::optional<QString> JournalUndo::rewrite(const QString &text, const QList<QVariant> &keyValues, qsizetype rows)
{
    if (!m_header.keyColumns.isEmpty()) {
        const auto entry = m_block.find(keyOf(keyValues));
        if (entry == m_block.end())
            return std::nullopt; // a row the run did not change
        entry->seen = true;
        if (text == entry->newText)
            return entry->oldText;
        if (text == entry->oldText)
            ++m_alreadyBack;
        else
            ++m_changedSince;
        return std::nullopt;
    }
    // The rows of a text come one after another.
    if (!m_lastText.isNull() && text == m_lastText)
        return m_lastRewrite;
    m_lastText = text;
    m_lastRewrite.reset();
    const size_t hash = textHash(text);
    const auto found = std::lower_bound(
        m_texts.begin(), m_texts.end(), hash, [](const Text &entry, size_t value) { return entry.hash < value; });
    PlannedChange record;
    if (found == m_texts.end() || found->hash != hash || found->visited
        || !m_journal.readRecordAt(found->offset, record) || record.newText != text)
        return std::nullopt;
    // Back only where as many rows hold the new text as the run changed to it.
    found->visited = true;
    m_visitedRecords += qsizetype(found->records);
    if (!found->fromSeveral && qsizetype(found->records) == rows)
        m_lastRewrite = record.oldText;
    else
        m_visitedLeftAlone += qsizetype(found->records);
    return m_lastRewrite;
}

QList<QList<QVariant>> JournalUndo::unvisitedRows() const
{
    QList<QList<QVariant>> rows;
    for (const Entry &entry : m_block)
        if (!entry.seen)
            rows << entry.keyValues;
    return rows;
}

qsizetype JournalUndo::gone() const
{
    qsizetype gone = m_gone;
    for (const Entry &entry : m_block)
        gone += entry.seen ? 0 : 1;
    return gone;
}

qsizetype JournalUndo::ambiguous(bool held) const
{
    if (!m_header.keyColumns.isEmpty())
        return 0;
    return held ? m_visitedLeftAlone : m_kept - m_visitedRecords;
}

qsizetype JournalUndo::leftAlone() const
{
    return m_changedSince + gone() + ambiguous(true) + m_refused + m_notWritten + m_endUnknown;
}

QString JournalUndo::describe(const BatchChange::Result &result) const
{
    QString text = QStringLiteral("Undo: %1 of %2 records of the journal put back")
                       .arg(result.recordsChanged)
                       .arg(m_journalRecords);
    if (m_alreadyBack)
        text += QStringLiteral("; %1 already held their old text").arg(m_alreadyBack);
    if (const qsizetype unheld = ambiguous(false))
        text += QStringLiteral("; %1 whose new text no row holds any more").arg(unheld);
    if (leftAlone()) {
        QStringList reasons;
        if (m_changedSince)
            reasons << QStringLiteral("%1 changed since the run").arg(m_changedSince);
        if (gone())
            reasons << QStringLiteral("%1 no longer there or Null").arg(gone());
        if (m_refused)
            reasons << QStringLiteral("%1 that no run writes (not a change of letter case, a text with a NUL or a "
                                      "lone surrogate, a row or a member named twice)")
                           .arg(m_refused);
        if (m_notWritten)
            reasons << QStringLiteral("%1 that the run did not write (refused by the server, or changed since they "
                                      "were read)")
                           .arg(m_notWritten);
        if (m_endUnknown)
            reasons << QStringLiteral("%1 whose texts the run never finished writing, so the rows it changed "
                                      "cannot be told apart")
                           .arg(m_endUnknown);
        if (ambiguous(true))
            reasons << QStringLiteral("%1 whose new text other rows held before the run or got since, or that came "
                                      "from different old texts, so the rows the run changed cannot be told apart")
                           .arg(ambiguous(true));
        text += QStringLiteral("; %1 left alone: %2").arg(leftAlone()).arg(reasons.join(QStringLiteral("; ")));
    }
    if (m_cutShort)
        text += QStringLiteral("; the journal's last line was cut short, and its records, which were never sent, "
                               "were left out");
    if (!m_tellsWritten)
        text += QStringLiteral("; the journal is of an earlier version, which does not say which records the run "
                               "wrote: each was taken as written");
    return text + QLatin1Char('.');
}
