#include "journal/JournalReader.h"

#include "casing/Case.h"
#include "platform/PrivateFile.h"

#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <cstring>

namespace {

bool allStrings(const QJsonObject &object, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (!object.value(QLatin1String(name)).isString())
            return false;
    return true;
}

// The members of the JSON object a line holds, as written: a member named
// twice counts twice (the parser keeps only the last).
int membersWritten(const QByteArray &line)
{
    int members = 0;
    int depth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ':' && depth == 1) {
            ++members;
        }
    }
    return members;
}

// A text an engine stores as it is: no NUL, no lone surrogate.
bool storable(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isNull())
            return false;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

// Reads a file a line at a time, holding at most one line of at most `bound`
// bytes: a longer line is found by counting past the bound, never read whole.
class LineReader {
public:
    enum class Line { Whole, CutShort, TooLong, End, Failed };

    explicit LineReader(QFile &file)
        : m_file(file)
    {
    }

    // The next line without its line feed.
    Line next(QByteArray &line, qint64 bound)
    {
        line.resize(0);
        const qint64 start = m_file.pos();
        // Most lines are short: read them as they come, and count only a long one first.
        constexpr qint64 ShortLine = 1 << 20;
        // Room for a short line, its line feed and the terminating NUL.
        if (m_buffer.size() < ShortLine + 3)
            m_buffer.resize(ShortLine + 3);
        const qint64 got = m_file.readLine(m_buffer.data(), std::min(bound, ShortLine) + 2);
        if (got <= 0)
            return got < 0 && m_file.error() != QFileDevice::NoError ? Line::Failed : Line::End;
        if (m_buffer[got - 1] == '\n') {
            if (got - 1 > bound)
                return Line::TooLong;
            line.append(m_buffer.constData(), got - 1);
            return Line::Whole;
        }
        if (m_file.atEnd())
            return Line::CutShort;
        if (bound <= ShortLine)
            return Line::TooLong;
        // A long line: its length is counted before it is read.
        qint64 length = got;
        char block[64 * 1024];
        for (;;) {
            const qint64 read = m_file.read(block, sizeof block);
            if (read < 0)
                return Line::Failed;
            if (read == 0)
                return Line::CutShort;
            const char *end = static_cast<const char *>(std::memchr(block, '\n', size_t(read)));
            length += end ? end - block : read;
            if (length > bound)
                return Line::TooLong;
            if (end)
                break;
        }
        if (!m_file.seek(start))
            return Line::Failed;
        line = m_file.read(length + 1);
        if (line.size() != length + 1)
            return Line::Failed;
        line.chop(1);
        return Line::Whole;
    }

private:
    QFile &m_file;
    QByteArray m_buffer;
};

} // namespace

bool JournalReader::fail(const QString &path, const QString &reason)
{
    m_error = QStringLiteral("%1 is not a journal of Vantrell: %2.").arg(QDir::toNativeSeparators(path), reason);
    m_records.clear();
    return false;
}

bool JournalReader::openAndReadHeader(QFile &file)
{
    const QString path = file.fileName();
    m_records.clear();
    m_refused = 0;
    m_notWritten = 0;
    m_endUnknown = 0;
    m_recordLines = 0;
    m_cutShort = false;
    m_error.clear();
    QString reason;
    if (!PrivateFile::openRegular(file, reason)) {
        m_error = QStringLiteral("The journal %1 cannot be read: %2.").arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    // Read as a stream, a line at a time.
    QByteArray line;
    switch (LineReader(file).next(line, JournalHeader::LongestHeaderLine)) {
    case LineReader::Line::End:
        return fail(path, QStringLiteral("the file is empty"));
    case LineReader::Line::CutShort:
        return fail(path, QStringLiteral("its first line is cut short"));
    case LineReader::Line::TooLong:
        return fail(path, QStringLiteral("its first line is longer than a journal header"));
    case LineReader::Line::Failed:
        m_error = QStringLiteral("The journal %1 cannot be read: %2.")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    case LineReader::Line::Whole:
        break;
    }
    if (!readHeader(line))
        return fail(path, QStringLiteral("its first line is not a journal header"));
    return true;
}

bool JournalReader::readSummary(const QString &path)
{
    QFile file(path);
    if (!openAndReadHeader(file))
        return false;
    // Only record lines count: a line of what the server wrote is no record.
    QByteArray line;
    LineReader lines(file);
    for (;;) {
        const LineReader::Line got = lines.next(line, JournalHeader::LongestRecordLine);
        if (got != LineReader::Line::Whole)
            break;
        if (!isOutcomeLine(line))
            ++m_recordLines;
    }
    return true;
}

bool JournalReader::read(const QString &path, const std::function<void(double)> &reading)
{
    constexpr qsizetype LinesBetweenReports = 4096;
    QFile file(path);
    if (!openAndReadHeader(file))
        return false;
    const double size = double(std::max<qint64>(file.size(), 1));
    QByteArray line;
    LineReader lines(file);
    for (qsizetype number = 2;; ++number) {
        if (reading && number % LinesBetweenReports == 0)
            reading(std::min(1.0, double(file.pos()) / size));
        const LineReader::Line got = lines.next(line, JournalHeader::LongestRecordLine);
        if (got == LineReader::Line::End)
            break;
        if (got == LineReader::Line::CutShort) {
            m_cutShort = true;
            break;
        }
        if (got == LineReader::Line::TooLong)
            return fail(path, QStringLiteral("line %1 is longer than a journal record").arg(number));
        if (got == LineReader::Line::Failed) {
            m_error = QStringLiteral("The journal %1 cannot be read: %2.")
                          .arg(QDir::toNativeSeparators(path), file.errorString());
            m_records.clear();
            return false;
        }
        if (m_header.formatVersion >= 2 && isOutcomeLine(line)) {
            if (!readOutcome(line))
                return fail(path, QStringLiteral("line %1 is not a journal record").arg(number));
            continue;
        }
        if (!readRecord(line))
            return fail(path, QStringLiteral("line %1 is not a journal record").arg(number));
    }
    keepWrittenRecords();
    refuseRepeatedKeys();
    return true;
}

bool JournalReader::readHeader(const QByteArray &line)
{
    const QJsonObject header = QJsonDocument::fromJson(line).object();
    if (header.value(QLatin1String("format")).toString() != QLatin1String("Vantrell journal")
        || (header.value(QLatin1String("formatVersion")).toInt() != 1
            && header.value(QLatin1String("formatVersion")).toInt() != 2)
        || !allStrings(header, { "table", "schema", "field", "server", "database", "mode", "time", "programVersion" })
        || !header.value(QLatin1String("keyColumns")).isArray() || membersWritten(line) != header.size())
        return false;
    m_header.formatVersion = header.value(QLatin1String("formatVersion")).toInt();
    m_header.port.reset();
    m_header.localConnection.reset();
    if (m_header.formatVersion >= 2) {
        const QJsonValue port = header.value(QLatin1String("port"));
        const QJsonValue local = header.value(QLatin1String("localConnection"));
        if (!local.isBool() || !(port.isString() || (port.isNull() && local.toBool())))
            return false;
        m_header.localConnection = local.toBool();
        m_header.port = port.isString() ? port.toString() : QString();
    }
    m_header.table = header.value(QLatin1String("table")).toString();
    m_header.schema = header.value(QLatin1String("schema")).toString();
    m_header.field = header.value(QLatin1String("field")).toString();
    m_header.server = header.value(QLatin1String("server")).toString();
    m_header.database = header.value(QLatin1String("database")).toString();
    m_header.mode = header.value(QLatin1String("mode")).toString();
    m_header.time = QDateTime::fromString(header.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    m_header.programVersion = header.value(QLatin1String("programVersion")).toString();
    m_header.keyColumns.clear();
    for (const QJsonValue column : header.value(QLatin1String("keyColumns")).toArray()) {
        if (!column.isString())
            return false;
        m_header.keyColumns << column.toString();
    }
    return !m_header.table.isEmpty() && !m_header.field.isEmpty();
}

bool JournalReader::readRecord(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    const QJsonObject object = document.object();
    const QJsonArray key = object.value(QLatin1String("key")).toArray();
    bool valid = error.error == QJsonParseError::NoError && document.isObject() && allStrings(object, { "old", "new" })
        && object.value(QLatin1String("key")).isArray() && key.size() == m_header.keyColumns.size();
    PlannedChange record;
    for (const QJsonValue value : key) {
        valid = valid && (value.isString() || value.isNull());
        record.keyValues << (value.isString() ? QVariant(value.toString()) : QVariant());
    }
    if (!valid)
        return false;
    record.oldText = object.value(QLatin1String("old")).toString();
    record.newText = object.value(QLatin1String("new")).toString();
    if (membersWritten(line) != 3 || object.size() != 3 || !storable(record.oldText) || !storable(record.newText)
        || !Case::sameLetters(record.oldText, record.newText)) {
        ++m_refused;
        m_sinceOutcome << -1;
    } else {
        m_sinceOutcome << m_records.size();
        m_records << record;
        m_written << Written::Unknown;
    }
    return true;
}

bool JournalReader::isOutcomeLine(const QByteArray &line)
{
    return line.startsWith("{\"written\":") || line.startsWith("{\"notWritten\":");
}

bool JournalReader::readOutcome(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    if (error.error != QJsonParseError::NoError || membersWritten(line) < object.size())
        return false;
    const bool keyed = !m_header.keyColumns.isEmpty();
    if (const QJsonValue text = object.value(QLatin1String("notWritten"));
        !keyed && object.size() == 1 && text.isObject() && allStrings(text.toObject(), { "old", "new" })) {
        m_unwrittenTexts.insert({ text[QLatin1String("old")].toString(), text[QLatin1String("new")].toString() });
        return true;
    }
    const QString written = object.value(QLatin1String("written")).toString();
    if (!keyed && written == QLatin1String("texts") && object.size() == 1) {
        m_textsSettled = true;
        return true;
    }
    if (!keyed || written != QLatin1String("chunk"))
        return false;
    // The records since the last outcome: written, but those the line excepts.
    QSet<qsizetype> except;
    for (const QJsonValue place : object.value(QLatin1String("except")).toArray()) {
        if (!place.isDouble() || place.toInteger(-1) < 0 || place.toInteger() >= m_sinceOutcome.size())
            return false;
        except.insert(place.toInteger());
    }
    for (qsizetype place = 0; place < m_sinceOutcome.size(); ++place)
        if (const qsizetype record = m_sinceOutcome[place]; record >= 0)
            m_written[record] = except.contains(place) ? Written::No : Written::Yes;
    m_sinceOutcome.clear();
    return true;
}

// Of the records read, those the server did not write are never put back.
// Without a key, rows are told apart by their text only: a text whose end
// the journal does not tell (the run ended before its texts were applied,
// or while they were) is left alone too.
void JournalReader::keepWrittenRecords()
{
    if (m_header.formatVersion < 2)
        return;
    const bool keyed = !m_header.keyColumns.isEmpty();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < m_records.size(); ++i) {
        const PlannedChange &record = m_records[i];
        bool keep = true;
        if (keyed) {
            keep = m_written[i] != Written::No;
            m_notWritten += keep ? 0 : 1;
        } else if (!m_textsSettled) {
            keep = false;
            ++m_endUnknown;
        } else if (m_unwrittenTexts.contains({ record.oldText, record.newText })) {
            keep = false;
            ++m_notWritten;
        }
        if (keep)
            m_records[kept++] = record;
    }
    m_records.resize(kept);
    m_written.clear();
    m_sinceOutcome.clear();
    m_unwrittenTexts.clear();
}

// With a key, a run writes one record per row: a key named twice names no
// row that either record can be trusted for.
void JournalReader::refuseRepeatedKeys()
{
    if (m_header.keyColumns.isEmpty())
        return;
    // Null and the empty text are two values.
    const auto keyOf = [](const PlannedChange &record) {
        QStringList key;
        for (const QVariant &value : record.keyValues)
            key << (value.isNull() ? QStringLiteral("n") : QLatin1Char('t') + value.toString());
        return key;
    };
    QHash<QStringList, int> named;
    named.reserve(m_records.size());
    for (const PlannedChange &record : std::as_const(m_records))
        ++named[keyOf(record)];
    const qsizetype before = m_records.size();
    m_records.removeIf([&](const PlannedChange &record) { return named.value(keyOf(record)) > 1; });
    m_refused += before - m_records.size();
}
