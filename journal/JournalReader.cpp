#include "journal/JournalReader.h"

#include "casing/Case.h"

#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Opens the path only when it is a regular file: a pipe, a device or a
// folder is never read (a pipe would wait for ever, a device never end).
bool openRegular(QFile &file, QString &reason)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = qt_error_string(errno);
        return false;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        reason = QStringLiteral("it is not a regular file");
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = file.errorString();
        return false;
    }
    return true;
#else
    if (!QFileInfo(file.fileName()).isFile()) {
        reason = QStringLiteral("it is not a regular file");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    return true;
#endif
}

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
    m_recordLines = 0;
    m_cutShort = false;
    m_error.clear();
    QString reason;
    if (!openRegular(file, reason)) {
        m_error = QStringLiteral("The journal %1 cannot be read: %2.").arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    // Read as a stream, a line at a time.
    QByteArray line = file.readLine();
    if (line.isEmpty())
        return fail(path, QStringLiteral("the file is empty"));
    if (!line.endsWith('\n'))
        return fail(path, QStringLiteral("its first line is cut short"));
    line.chop(1);
    if (!readHeader(line))
        return fail(path, QStringLiteral("its first line is not a journal header"));
    return true;
}

bool JournalReader::readSummary(const QString &path)
{
    QFile file(path);
    if (!openAndReadHeader(file))
        return false;
    char block[64 * 1024];
    for (qint64 read; (read = file.read(block, sizeof block)) > 0;)
        m_recordLines += std::count(block, block + read, '\n');
    return true;
}

bool JournalReader::read(const QString &path)
{
    QFile file(path);
    if (!openAndReadHeader(file))
        return false;
    QByteArray line;
    for (qsizetype number = 2; !file.atEnd(); ++number) {
        line = file.readLine();
        if (!line.endsWith('\n')) {
            m_cutShort = true;
            break;
        }
        line.chop(1);
        if (!readRecord(line))
            return fail(path, QStringLiteral("line %1 is not a journal record").arg(number));
    }
    if (file.error() != QFileDevice::NoError) {
        m_error = QStringLiteral("The journal %1 cannot be read: %2.")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        m_records.clear();
        return false;
    }
    refuseRepeatedKeys();
    return true;
}

bool JournalReader::readHeader(const QByteArray &line)
{
    const QJsonObject header = QJsonDocument::fromJson(line).object();
    if (header.value(QLatin1String("format")).toString() != QLatin1String("Vantrell journal")
        || header.value(QLatin1String("formatVersion")).toInt() != 1
        || !allStrings(header, { "table", "schema", "field", "server", "database", "mode", "time", "programVersion" })
        || !header.value(QLatin1String("keyColumns")).isArray() || membersWritten(line) != header.size())
        return false;
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
        || !Case::sameLetters(record.oldText, record.newText))
        ++m_refused;
    else
        m_records << record;
    return true;
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
