#include "casing/JournalReader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool allStrings(const QJsonObject &object, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (!object.value(QLatin1String(name)).isString())
            return false;
    return true;
}

} // namespace

bool JournalReader::fail(const QString &path, const QString &reason)
{
    m_error = QStringLiteral("%1 is not a journal of Vantrell: %2.").arg(QDir::toNativeSeparators(path), reason);
    m_records.clear();
    return false;
}

bool JournalReader::read(const QString &path)
{
    m_records.clear();
    m_error.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("The journal %1 cannot be read: %2.")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QByteArray contents = file.readAll();
    if (contents.isEmpty())
        return fail(path, QStringLiteral("the file is empty"));
    if (!contents.endsWith('\n'))
        return fail(path, QStringLiteral("its last line is cut short"));

    const QList<QByteArray> lines = contents.chopped(1).split('\n');
    const QJsonObject header = QJsonDocument::fromJson(lines.first()).object();
    if (header.value(QLatin1String("format")).toString() != QLatin1String("Vantrell journal")
        || header.value(QLatin1String("formatVersion")).toInt() != 1
        || !allStrings(header, { "table", "schema", "field", "server", "database", "mode", "time", "programVersion" })
        || !header.value(QLatin1String("keyColumns")).isArray())
        return fail(path, QStringLiteral("its first line is not a journal header"));
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
            return fail(path, QStringLiteral("its first line is not a journal header"));
        m_header.keyColumns << column.toString();
    }

    m_records.reserve(lines.size() - 1);
    for (qsizetype number = 1; number < lines.size(); ++number) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(lines.at(number), &error);
        const QJsonObject object = document.object();
        const QJsonArray key = object.value(QLatin1String("key")).toArray();
        bool valid = error.error == QJsonParseError::NoError && document.isObject()
            && allStrings(object, { "old", "new" }) && object.value(QLatin1String("key")).isArray()
            && key.size() == m_header.keyColumns.size();
        PlannedChange record;
        for (const QJsonValue value : key) {
            valid = valid && (value.isString() || value.isNull());
            record.keyValues << (value.isString() ? QVariant(value.toString()) : QVariant());
        }
        if (!valid)
            return fail(path, QStringLiteral("line %1 is not a journal record").arg(number + 1));
        record.oldText = object.value(QLatin1String("old")).toString();
        record.newText = object.value(QLatin1String("new")).toString();
        m_records << record;
    }
    return true;
}
