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
#include <optional>
#include <vector>

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
    const QChar *units = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = units[i].unicode();
        if (c == 0)
            return false;
        if (!QChar::isSurrogate(c))
            continue;
        if (!QChar::isHighSurrogate(c) || i + 1 == size || !units[i + 1].isLowSurrogate())
            return false;
        ++i;
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

// What one record line holds: a record that can be put back, one that no run
// writes (refused), or no journal record at all.
enum class RecordLine { Record, Refused, Invalid };

// A JSON string from `at` (its opening quote) on, as the writer writes it,
// into `text`; `at` then lies past its closing quote. False for anything
// else (another escape, a surrogate escape, a raw control character, bytes
// that are not UTF-8), which the general parser then judges.
bool readWrittenString(const QByteArray &line, qsizetype &at, QString &text)
{
    if (at >= line.size() || line.at(at) != '"')
        return false;
    const char *data = line.constData();
    qsizetype from = ++at;
    // Most texts are ASCII without an escape: they are widened as they stand,
    // into the memory the text had.
    for (; at < line.size(); ++at) {
        const auto c = static_cast<unsigned char>(data[at]);
        if (c < 0x20 || c >= 0x80 || c == '\\')
            break;
        if (c == '"') {
            // A text's memory fits it exactly: the records of a block are kept.
            if (text.capacity() < at - from)
                text = QString(at - from, Qt::Uninitialized);
            else
                text.resize(at - from);
            std::copy(data + from, data + at, reinterpret_cast<char16_t *>(text.data()));
            ++at;
            return true;
        }
    }
    QByteArray bytes;
    bool ascii = true;
    for (; at < line.size(); ++at) {
        const auto c = static_cast<unsigned char>(data[at]);
        if (c == '"')
            break;
        if (c < 0x20)
            return false;
        ascii = ascii && c < 0x80;
        if (c != '\\')
            continue;
        bytes.append(data + from, at - from);
        if (++at >= line.size())
            return false;
        switch (data[at]) {
        case '"':
            bytes += '"';
            break;
        case '\\':
            bytes += '\\';
            break;
        case '/':
            bytes += '/';
            break;
        case 'b':
            bytes += '\b';
            break;
        case 'f':
            bytes += '\f';
            break;
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'u': {
            if (at + 4 >= line.size())
                return false;
            uint unit = 0;
            for (qsizetype digit = at + 1; digit <= at + 4; ++digit) {
                const char hex = data[digit];
                const int value = hex >= '0' && hex <= '9' ? hex - '0'
                    : hex >= 'a' && hex <= 'f'             ? hex - 'a' + 10
                    : hex >= 'A' && hex <= 'F'             ? hex - 'A' + 10
                                                           : -1;
                if (value < 0)
                    return false;
                unit = unit * 16 + uint(value);
            }
            if (QChar::isSurrogate(unit))
                return false;
            bytes += QString(QChar(char16_t(unit))).toUtf8();
            ascii = ascii && unit < 0x80;
            at += 4;
            break;
        }
        default:
            return false;
        }
        from = at + 1;
    }
    if (at >= line.size())
        return false;
    const QByteArrayView rest(data + from, at - from);
    ++at;
    if (bytes.isEmpty() && ascii) {
        text = QString::fromLatin1(rest);
        return true;
    }
    // Bytes that are not UTF-8 come out as replacement characters: such a
    // text (or one that holds that character itself) is left to the
    // general parser.
    text = bytes.isEmpty() ? QString::fromUtf8(rest) : QString::fromUtf8(bytes.append(rest));
    return !text.contains(QChar::ReplacementCharacter);
}

// A record line exactly as the writer lays it out:
//   {"key":[<text or null>,...],"old":<text>,"new":<text>}
// False when the line is laid out otherwise: the general parser then reads it.
bool readWrittenRecord(const QByteArray &line, qsizetype keyColumns, PlannedChange &record)
{
    const auto expect = [&](qsizetype &at, QByteArrayView bytes) {
        if (QByteArrayView(line).sliced(at).startsWith(bytes)) {
            at += bytes.size();
            return true;
        }
        return false;
    };
    qsizetype at = 0;
    if (!expect(at, "{\"key\":["))
        return false;
    record.keyValues.clear();
    for (qsizetype column = 0; column < keyColumns; ++column) {
        if (column > 0 && !expect(at, ","))
            return false;
        QString value;
        if (expect(at, "null"))
            record.keyValues << QVariant();
        else if (readWrittenString(line, at, value))
            record.keyValues << QVariant(value);
        else
            return false;
    }
    return expect(at, "],\"old\":") && readWrittenString(line, at, record.oldText) && expect(at, ",\"new\":")
        && readWrittenString(line, at, record.newText) && expect(at, "}") && at == line.size();
}

RecordLine parseRecord(const QByteArray &line, qsizetype keyColumns, PlannedChange &record)
{
    if (!readWrittenRecord(line, keyColumns, record)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        const QJsonObject object = document.object();
        const QJsonArray key = object.value(QLatin1String("key")).toArray();
        bool valid = error.error == QJsonParseError::NoError && document.isObject()
            && allStrings(object, { "old", "new" }) && object.value(QLatin1String("key")).isArray()
            && key.size() == keyColumns;
        record.keyValues.clear();
        for (const QJsonValue value : key) {
            valid = valid && (value.isString() || value.isNull());
            record.keyValues << (value.isString() ? QVariant(value.toString()) : QVariant());
        }
        if (!valid)
            return RecordLine::Invalid;
        record.oldText = object.value(QLatin1String("old")).toString();
        record.newText = object.value(QLatin1String("new")).toString();
        if (membersWritten(line) != 3 || object.size() != 3)
            return RecordLine::Refused;
    }
    return storable(record.oldText) && storable(record.newText) && Case::sameLetters(record.oldText, record.newText)
        ? RecordLine::Record
        : RecordLine::Refused;
}

// A hash of a row's key values; Null and the empty text are two values.
size_t keyHash(const QList<QVariant> &keyValues)
{
    size_t hash = 0;
    for (const QVariant &value : keyValues)
        hash = value.isNull() ? qHashMulti(hash, 1) : qHashMulti(hash, 2, value.toString());
    return hash;
}

} // namespace

// One pass over a journal's lines after its header.
class JournalReader::Scan {
public:
    Scan(JournalReader &reader, Pass pass)
        : m_reader(reader)
        , m_pass(pass)
        , m_file(reader.m_path)
        , m_lines(m_file)
    {
    }

    // Opens the file; false, with the reader's error set, when it cannot be read.
    bool open();
    // Reads the next line; false at the end of the file or on a failure (the
    // reader's error is then set).
    bool step(const std::function<void(double)> &reading);
    // Records ready to be given, in order, with the places of their lines.
    struct Ready {
        PlannedChange record;
        qint64 offset;
    };
    QList<Ready> ready;
    qsizetype readyAt = 0;
    // The check's hashes of the keys of records that can be put back.
    std::vector<size_t> keyHashes;
    // Without a key: records of a journal of the second format, and those
    // of them whose texts the server did not write.
    qsizetype keylessRecords = 0;
    qsizetype keylessUnwritten = 0;

private:
    bool readOutcome(const QByteArray &line);
    struct Pending;
    void keep(Pending &pending);
    bool failLine(const QString &reason);

    // A record since the last line of what the server wrote: none for one
    // refused; the check keeps the hash of its key alone.
    struct Pending {
        bool refused = false;
        std::optional<PlannedChange> record;
        size_t keyHash = 0;
        qint64 offset = 0;
    };

    JournalReader &m_reader;
    const Pass m_pass;
    QFile m_file;
    LineReader m_lines;
    qsizetype m_number = 1;
    double m_size = 1;
    // With a key, from the second format on: the records since the last line
    // of what the server wrote.
    QList<Pending> m_pending;
    QByteArray m_line;
    PlannedChange m_previous; // without a key: the record before
    PlannedChange m_record; // the line's record, moved on when given
};

bool JournalReader::Scan::open()
{
    if (!m_reader.openAndReadHeader(m_file))
        return false;
    const QFileInfo info(m_file);
    if (m_pass == Pass::Check) {
        m_reader.m_size = info.size();
        m_reader.m_modified = info.lastModified();
    } else if (info.size() != m_reader.m_size || info.lastModified() != m_reader.m_modified) {
        m_reader.m_error = QStringLiteral("The journal %1 changed while it was read.")
                               .arg(QDir::toNativeSeparators(m_reader.m_path));
        return false;
    }
    m_size = double(std::max<qint64>(info.size(), 1));
    return true;
}

bool JournalReader::Scan::failLine(const QString &reason)
{
    return m_reader.fail(m_reader.m_path, QStringLiteral("line %1 %2").arg(m_number).arg(reason));
}

bool JournalReader::Scan::step(const std::function<void(double)> &reading)
{
    constexpr qsizetype LinesBetweenReports = 4096;
    ++m_number;
    if (reading && m_number % LinesBetweenReports == 0)
        reading(std::min(1.0, double(m_file.pos()) / m_size));
    const qint64 offset = m_file.pos();
    const LineReader::Line got = m_lines.next(m_line, JournalHeader::LongestRecordLine);
    const bool keyed = !m_reader.m_header.keyColumns.isEmpty();
    const bool tellsWritten = m_reader.m_header.formatVersion >= 2;
    switch (got) {
    case LineReader::Line::CutShort:
        if (m_pass == Pass::Check)
            m_reader.m_cutShort = true;
        [[fallthrough]];
    case LineReader::Line::End:
        // Records after the last line of what the server wrote: the run ended
        // under them, so each row holds its old or its new text.
        for (Pending &pending : m_pending)
            if (!pending.refused)
                keep(pending);
        m_pending.clear();
        return false;
    case LineReader::Line::TooLong:
        return failLine(QStringLiteral("is longer than a journal record"));
    case LineReader::Line::Failed:
        m_reader.m_error = QStringLiteral("The journal %1 cannot be read: %2.")
                               .arg(QDir::toNativeSeparators(m_reader.m_path), m_file.errorString());
        return false;
    case LineReader::Line::Whole:
        break;
    }
    if (tellsWritten && isOutcomeLine(m_line))
        return readOutcome(m_line) || failLine(QStringLiteral("is not a journal record"));
    // The check keeps no record: one in the same memory serves every line.
    PlannedChange &record = m_record;
    const RecordLine line = parseRecord(m_line, m_reader.m_header.keyColumns.size(), record);
    if (line == RecordLine::Invalid)
        return failLine(QStringLiteral("is not a journal record"));
    if (line == RecordLine::Refused) {
        if (m_pass == Pass::Check)
            ++m_reader.m_refused;
        if (keyed && tellsWritten)
            m_pending.append(Pending { true, std::nullopt, 0, offset });
        return true;
    }
    if (!keyed && m_pass == Pass::Check
        && (m_reader.m_textPairs == 0 || record.oldText != m_previous.oldText
            || record.newText != m_previous.newText)) {
        ++m_reader.m_textPairs;
        m_previous = record;
    }
    if (keyed && tellsWritten) {
        const size_t hash = keyHash(record.keyValues);
        m_pending.append(
            Pending { false, m_pass == Pass::Give ? std::optional(std::move(record)) : std::nullopt, hash, offset });
    } else if (!keyed && tellsWritten) {
        // Rows without a key are told apart by their texts alone: only the
        // end of the file tells which texts were written.
        ++keylessRecords;
        const bool unwritten = m_reader.m_unwrittenTexts.contains({ record.oldText, record.newText });
        keylessUnwritten += unwritten ? 1 : 0;
        if (m_pass == Pass::Give && m_reader.m_textsSettled && !unwritten) {
            Pending kept { false, std::move(record), 0, offset };
            keep(kept);
        }
    } else {
        const size_t hash = keyed ? keyHash(record.keyValues) : 0;
        Pending kept { false, std::move(record), hash, offset };
        keep(kept);
    }
    return true;
}

void JournalReader::Scan::keep(Pending &pending)
{
    const bool keyed = !m_reader.m_header.keyColumns.isEmpty();
    if (m_pass == Pass::Check) {
        ++m_reader.m_kept;
        if (keyed)
            keyHashes.push_back(pending.keyHash);
    } else if (m_pass == Pass::Give && pending.record) {
        if (!keyed || !m_reader.m_repeatedKeys.contains(pending.keyHash))
            ready.append(Ready { std::move(*pending.record), pending.offset });
    }
}

bool JournalReader::Scan::readOutcome(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    if (error.error != QJsonParseError::NoError || membersWritten(line) < object.size())
        return false;
    const bool keyed = !m_reader.m_header.keyColumns.isEmpty();
    if (const QJsonValue text = object.value(QLatin1String("notWritten"));
        !keyed && object.size() == 1 && text.isObject() && allStrings(text.toObject(), { "old", "new" })) {
        if (m_pass == Pass::Check)
            m_reader.m_unwrittenTexts.insert(
                { text[QLatin1String("old")].toString(), text[QLatin1String("new")].toString() });
        return true;
    }
    const QString written = object.value(QLatin1String("written")).toString();
    if (!keyed && written == QLatin1String("texts") && object.size() == 1) {
        if (m_pass == Pass::Check)
            m_reader.m_textsSettled = true;
        return true;
    }
    if (!keyed || written != QLatin1String("chunk"))
        return false;
    // The records since the last outcome: written, but those the line excepts.
    QSet<qsizetype> except;
    for (const QJsonValue place : object.value(QLatin1String("except")).toArray()) {
        if (!place.isDouble() || place.toInteger(-1) < 0 || place.toInteger() >= m_pending.size())
            return false;
        except.insert(place.toInteger());
    }
    for (qsizetype place = 0; place < m_pending.size(); ++place) {
        if (m_pending[place].refused)
            continue;
        if (!except.contains(place))
            keep(m_pending[place]);
        else if (m_pass == Pass::Check)
            ++m_reader.m_notWritten;
    }
    m_pending.clear();
    return true;
}

JournalReader::JournalReader() = default;
JournalReader::~JournalReader() = default;

bool JournalReader::fail(const QString &path, const QString &reason)
{
    m_error = QStringLiteral("%1 is not a journal of Vantrell: %2.").arg(QDir::toNativeSeparators(path), reason);
    return false;
}

bool JournalReader::openAndReadHeader(QFile &file)
{
    const QString path = file.fileName();
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
    m_error.clear();
    m_recordLines = 0;
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

bool JournalReader::scan(Pass pass, const std::function<void(double)> &reading)
{
    Scan scan(*this, pass);
    if (!scan.open())
        return false;
    while (scan.step(reading)) { }
    if (!m_error.isEmpty())
        return false;
    if (pass == Pass::Count) {
        m_notWritten = scan.keylessUnwritten;
        return true;
    }
    // With a key, a run writes one record per row: a key named twice names
    // no row that either record can be trusted for.
    std::sort(scan.keyHashes.begin(), scan.keyHashes.end());
    for (auto at = scan.keyHashes.begin(); at != scan.keyHashes.end();) {
        const auto next = std::upper_bound(at, scan.keyHashes.end(), *at);
        if (next - at > 1) {
            m_repeatedKeys.insert(*at);
            m_refused += next - at;
            m_kept -= next - at;
        }
        at = next;
    }
    if (m_header.keyColumns.isEmpty() && tellsWritten()) {
        if (!m_textsSettled) {
            m_endUnknown = scan.keylessRecords;
        } else {
            m_kept = scan.keylessRecords;
            // The texts not written are few: their records are counted once more.
            if (!m_unwrittenTexts.isEmpty() && !this->scan(Pass::Count))
                return false;
            m_kept -= m_notWritten;
        }
    }
    return true;
}

bool JournalReader::read(const QString &path, const std::function<void(double)> &reading)
{
    m_path = path;
    m_kept = 0;
    m_textPairs = 0;
    m_refused = 0;
    m_notWritten = 0;
    m_endUnknown = 0;
    m_recordLines = 0;
    m_cutShort = false;
    m_error.clear();
    m_repeatedKeys.clear();
    m_unwrittenTexts.clear();
    m_textsSettled = false;
    m_records.reset();
    m_lookUp.reset();
    m_checked = scan(Pass::Check, reading);
    return m_checked;
}

bool JournalReader::openRecords()
{
    if (!m_checked)
        return false;
    m_records = std::make_unique<Scan>(*this, Pass::Give);
    if (m_records->open())
        return true;
    m_records.reset();
    return false;
}

bool JournalReader::nextRecord(PlannedChange &record, qint64 *offset)
{
    if (!m_records)
        return false;
    Scan &scan = *m_records;
    while (scan.readyAt == scan.ready.size()) {
        scan.ready.clear();
        scan.readyAt = 0;
        if (!scan.step({}) && scan.ready.isEmpty()) {
            m_records.reset();
            return false;
        }
    }
    Scan::Ready &ready = scan.ready[scan.readyAt++];
    record = std::move(ready.record);
    if (offset)
        *offset = ready.offset;
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

bool JournalReader::isOutcomeLine(const QByteArray &line)
{
    return line.startsWith("{\"written\":") || line.startsWith("{\"notWritten\":");
}

// The file as readRecordAt() reads it, and the memory of its lines, kept
// from one record to the next.
struct JournalReader::LookUp {
    explicit LookUp(const QString &path)
        : file(path)
        , lines(file)
    {
    }
    QFile file;
    LineReader lines;
    QByteArray line;
};

bool JournalReader::readRecordAt(qint64 offset, PlannedChange &record)
{
    if (!m_checked)
        return false;
    if (!m_lookUp) {
        m_lookUp = std::make_unique<LookUp>(m_path);
        QString reason;
        if (!PrivateFile::openRegular(m_lookUp->file, reason)) {
            m_lookUp.reset();
            return false;
        }
    }
    return m_lookUp->file.seek(offset)
        && m_lookUp->lines.next(m_lookUp->line, JournalHeader::LongestRecordLine) == LineReader::Line::Whole
        && parseRecord(m_lookUp->line, m_header.keyColumns.size(), record) == RecordLine::Record;
}
