#include "casing/JournalWriter.h"

#include "app/BuildConfig.h"
#include "platform/PrivateFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// A JSON string that gives back every UTF-16 unit of the text: control
// characters and lone surrogates escaped, everything else as UTF-8.
QByteArray jsonString(const QString &text)
{
    QByteArray json;
    json.reserve(text.size() + 2);
    json += '"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t unit = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            json += text.mid(i, 2).toUtf8();
            ++i;
        } else if (unit == u'"' || unit == u'\\') {
            json += '\\';
            json += char(unit);
        } else if (unit == u'\n') {
            json += "\\n";
        } else if (unit == u'\r') {
            json += "\\r";
        } else if (unit == u'\t') {
            json += "\\t";
        } else if (unit < 0x20 || c.isSurrogate()) {
            json += "\\u" + QByteArray::number(unit, 16).rightJustified(4, '0');
        } else {
            json += QString(c).toUtf8();
        }
    }
    json += '"';
    return json;
}

QByteArray jsonArray(const QList<QVariant> &values)
{
    QByteArray json = "[";
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            json += ',';
        json += values.at(i).isValid() ? jsonString(values.at(i).toString()) : QByteArray("null");
    }
    return json + ']';
}

QByteArray headerLine(const JournalHeader &header)
{
    QList<QVariant> keyColumns;
    for (const QString &column : header.keyColumns)
        keyColumns << column;
    return "{\"format\":\"Vantrell journal\",\"formatVersion\":1,\"table\":" + jsonString(header.table)
        + ",\"schema\":" + jsonString(header.schema) + ",\"field\":" + jsonString(header.field)
        + ",\"server\":" + jsonString(header.server) + ",\"database\":" + jsonString(header.database) + ",\"mode\":"
        + jsonString(header.mode) + ",\"time\":" + jsonString(header.time.toUTC().toString(Qt::ISODateWithMs))
        + ",\"programVersion\":" + jsonString(header.programVersion) + ",\"keyColumns\":" + jsonArray(keyColumns)
        + "}\n";
}

QByteArray recordLine(const PlannedChange &record)
{
    return "{\"key\":" + jsonArray(record.keyValues) + ",\"old\":" + jsonString(record.oldText)
        + ",\"new\":" + jsonString(record.newText) + "}\n";
}

// A part of a file name: letters, digits, '-' and '.' kept, anything else '_'.
QString namePart(const QString &text)
{
    QString part = text.left(40);
    for (QChar &c : part)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    return part;
}

} // namespace

QString JournalWriter::defaultFolder()
{
    // The location follows the application's names; set ours for the look-up only.
    const QString organisation = QCoreApplication::organizationName();
    const QString application = QCoreApplication::applicationName();
    QCoreApplication::setOrganizationName(QStringLiteral("Marrowfen"));
    QCoreApplication::setApplicationName(QStringLiteral("Vantrell"));
    const QString location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setOrganizationName(organisation);
    QCoreApplication::setApplicationName(application);
    return location + QStringLiteral("/journals");
}

JournalWriter::JournalWriter(JournalHeader header, QString folder)
    : m_header(std::move(header))
    , m_folder(std::move(folder))
{
    if (m_header.programVersion.isEmpty())
        m_header.programVersion = QString::fromUtf8(BuildConfig::Version);
    if (!m_header.time.isValid())
        m_header.time = QDateTime::currentDateTimeUtc();
}

void JournalWriter::attach(BatchChange::Callbacks &callbacks)
{
    callbacks.started = [this](const QStringList &keyColumns) { return open(keyColumns); };
    callbacks.beforeSend = [this](const QList<PlannedChange> &records) { return append(records); };
}

bool JournalWriter::fail(const QString &reason)
{
    m_error = m_recording
        ? QStringLiteral("The journal %1 could not be written: %2. The run stopped before changing the "
                         "records it could not record.")
              .arg(QDir::toNativeSeparators(m_path), reason)
        : QStringLiteral("The journal could not be written in %1: %2. Nothing was changed.")
              .arg(QDir::toNativeSeparators(m_folder), reason);
    m_file.reset();
    return false;
}

bool JournalWriter::open(const QStringList &keyColumns)
{
    m_header.keyColumns = keyColumns;
    // Everything created here is private from the start.
    PrivateFile::CreationScope privateFiles;
    if (!QDir().mkpath(m_folder))
        return fail(QStringLiteral("the folder cannot be made"));
    const QFileInfo folder(m_folder);
    if (folder.isSymLink() || !folder.isDir())
        return fail(QStringLiteral("it is a symbolic link or not a folder"));
#ifndef Q_OS_WIN
    if (folder.ownerId() != ::getuid())
        return fail(QStringLiteral("the folder belongs to another user"));
#endif
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString stem = m_header.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + QLatin1Char('_')
        + namePart(m_header.database.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1)) + QLatin1Char('_')
        + namePart(m_header.table) + QLatin1Char('_') + namePart(m_header.field);
    auto file = std::make_unique<QFile>();
    // A new file only: an existing name, or a link planted in its place, is never opened.
    for (int attempt = 1; attempt <= 100 && !file->isOpen(); ++attempt) {
        file->setFileName(m_folder + QLatin1Char('/') + stem
            + (attempt > 1 ? QStringLiteral("_%1").arg(attempt) : QString()) + QStringLiteral(".jsonl"));
        file->open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    if (!file->isOpen())
        return fail(file->errorString());
    m_path = file->fileName();
    PrivateFile::restrict(m_path);
    m_file = std::move(file);
    const QByteArray header = headerLine(m_header);
    if (m_file->write(header) != header.size())
        return fail(m_file->errorString());
    if (!append({}))
        return false;
    m_recording = true;
    return true;
}

bool JournalWriter::append(const QList<PlannedChange> &records)
{
    if (!m_file)
        return fail(QStringLiteral("it is not open"));
    QByteArray lines;
    for (const PlannedChange &record : records)
        lines += recordLine(record);
    if (m_file->write(lines) != lines.size() || !m_file->flush())
        return fail(m_file->errorString());
#ifdef Q_OS_WIN
    const bool synced = ::_commit(m_file->handle()) == 0;
#else
    const bool synced = ::fsync(m_file->handle()) == 0;
#endif
    if (!synced)
        return fail(QStringLiteral("the disk did not take it"));
    return true;
}
