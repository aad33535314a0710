#include "journal/JournalWriter.h"

#include "common/BuildConfig.h"
#include "platform/Failure.h"
#include "platform/JsonText.h"
#include "platform/PrivateFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QByteArray jsonString(const QString &text)
{
    QByteArray json;
    JsonText::appendString(json, text);
    return json;
}

QByteArray jsonArray(const QList<QVariant> &values)
{
    QByteArray json;
    JsonText::appendArray(json, values);
    return json;
}

QByteArray headerLine(const JournalHeader &header)
{
    QList<QVariant> keyColumns;
    for (const QString &column : header.keyColumns)
        keyColumns << column;
    const QByteArray port
        = header.localConnection.value_or(false) ? QByteArray("null") : jsonString(header.port.value_or(QString()));
    return "{\"format\":\"Vantrell journal\",\"formatVersion\":" + QByteArray::number(JournalHeader::CurrentFormat)
        + ",\"table\":" + jsonString(header.table) + ",\"schema\":" + jsonString(header.schema)
        + ",\"field\":" + jsonString(header.field) + ",\"server\":" + jsonString(header.server) + ",\"port\":" + port
        + ",\"localConnection\":" + (header.localConnection.value_or(false) ? "true" : "false")
        + ",\"database\":" + jsonString(header.database) + ",\"mode\":" + jsonString(header.mode)
        + ",\"time\":" + jsonString(header.time.toUTC().toString(Qt::ISODateWithMs)) + ",\"programVersion\":"
        + jsonString(header.programVersion) + ",\"keyColumns\":" + jsonArray(keyColumns) + "}\n";
}

void appendRecordLine(QByteArray &lines, const PlannedChange &record)
{
    lines += "{\"key\":";
    JsonText::appendArray(lines, record.keyValues);
    lines += ",\"old\":";
    JsonText::appendString(lines, record.oldText);
    lines += ",\"new\":";
    JsonText::appendString(lines, record.newText);
    lines += "}\n";
}

// Why a write to the file failed, in the system's words: the file's own
// account of it is often only "Unknown error".
QString writeFailure(const QFile &file)
{
    return errno != 0 ? qt_error_string(errno) : file.errorString();
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

QString &defaultFolderOverride()
{
    static QString folder;
    return folder;
}

} // namespace

void JournalWriter::setDefaultFolder(const QString &folder)
{
    defaultFolderOverride() = folder;
}

QString JournalWriter::defaultFolder()
{
    if (!defaultFolderOverride().isEmpty())
        return defaultFolderOverride();
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
    callbacks.afterWrite = [this](const BatchChange::Unwritten &unwritten) { recordOutcome(unwritten); };
}

bool JournalWriter::recordOutcome(const BatchChange::Unwritten &unwritten)
{
    if (!m_file)
        return false;
    QByteArray lines;
    if (m_header.keyColumns.isEmpty()) {
        for (const auto &[oldText, newText] : unwritten.texts) {
            lines += "{\"notWritten\":{\"old\":";
            JsonText::appendString(lines, oldText);
            lines += ",\"new\":";
            JsonText::appendString(lines, newText);
            lines += "}}\n";
        }
        lines += "{\"written\":\"texts\"}\n";
    } else {
        lines += "{\"written\":\"chunk\"";
        if (!unwritten.records.isEmpty()) {
            lines += ",\"except\":[";
            for (qsizetype i = 0; i < unwritten.records.size(); ++i)
                lines += (i ? "," : "") + QByteArray::number(unwritten.records[i]);
            lines += ']';
        }
        lines += "}\n";
    }
    // Not flushed on its own: the next chunk's records are, with it. A line
    // lost with the machine only leaves its records' end unknown.
    errno = 0;
    if (m_file->write(lines) != lines.size())
        return fail(writeFailure(*m_file));
    m_whole = m_file->size();
    return true;
}

bool JournalWriter::fail(const QString &reason)
{
    m_error = m_recording
        ? QStringLiteral("The journal %1 could not be written: %2. The run stopped before changing the "
                         "records it could not record.")
              .arg(QDir::toNativeSeparators(m_path), reason)
        : QStringLiteral("The journal could not be written in %1: %2. Nothing was changed.")
              .arg(QDir::toNativeSeparators(m_folder), reason);
    // Only whole lines stay: a line cut by the failure is taken back, so the
    // file still ends where its last whole record ends.
    if (m_file && !m_recording) {
        // Without its header it is no journal: nothing of the run was sent.
        m_file->remove();
        m_path.clear();
    } else if (m_file && m_file->size() > m_whole) {
        m_file->resize(m_whole);
    }
    m_file.reset();
    return false;
}

bool JournalWriter::open(const QStringList &keyColumns)
{
    m_header.keyColumns = keyColumns;
    // Everything created here is private from the start.
    PrivateFile::CreationScope privateFiles;
    if (const std::optional<QString> problem = prepareFolder())
        return fail(*problem);
    if (const std::optional<QString> problem = createFile())
        return fail(*problem);
    const QByteArray header = headerLine(m_header);
    errno = 0;
    if (m_file->write(header) != header.size())
        return fail(writeFailure(*m_file));
    if (!append({}))
        return false;
    m_recording = true;
    return true;
}

std::optional<QString> JournalWriter::prepareFolder() const
{
    // The folder and the two above it are the program's own ("Marrowfen/
    // Vantrell/journals"): a link among them leads where journals do not belong.
    QString place = QDir::cleanPath(QFileInfo(m_folder).absoluteFilePath());
    for (int level = 0; level < 3 && !QDir(place).isRoot(); ++level) {
        if (QFileInfo(place).isSymLink())
            return QStringLiteral("%1 is a symbolic link").arg(QDir::toNativeSeparators(place));
        place = QFileInfo(place).absolutePath();
    }
    if (!QDir().mkpath(m_folder))
        return QStringLiteral("the folder cannot be made");
    const QFileInfo folder(m_folder);
    if (!folder.isDir())
        return QStringLiteral("it is not a folder");
#ifndef Q_OS_WIN
    if (folder.ownerId() != ::getuid())
        return QStringLiteral("the folder belongs to another user");
    // A folder the user closed to writing stays closed; one open to others is narrowed.
    constexpr QFileDevice::Permissions Own = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    if ((folder.permissions() & Own) != Own)
        return QStringLiteral("the folder is not open to writing");
    QFile::setPermissions(m_folder, Own);
#else
    // The folder's access list becomes the user's alone, and the journals made
    // in it take that list.
    try {
        PrivateFile::prepareFolder(m_folder);
    } catch (const Failure &refused) {
        QString reason = refused.description();
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        return reason;
    }
#endif
    return std::nullopt;
}

std::optional<QString> JournalWriter::createFile()
{
    const QString stem = m_header.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + QLatin1Char('_')
        + namePart(m_header.database.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1)) + QLatin1Char('_')
        + namePart(m_header.table) + QLatin1Char('_') + namePart(m_header.field);
    auto file = std::make_unique<QFile>();
    // A new file only: an existing name, or a link planted in its place, is never opened.
    for (int attempt = 1; attempt <= 100 && !file->isOpen(); ++attempt) {
        file->setFileName(m_folder + QLatin1Char('/') + stem
            + (attempt > 1 ? QStringLiteral("_%1").arg(attempt) : QString()) + QStringLiteral(".jsonl"));
        // Unbuffered: a write that fails says why at once, in the system's words.
        file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
    }
    if (!file->isOpen())
        return file->errorString();
    m_path = file->fileName();
#ifndef Q_OS_WIN
    // Made under a private umask already; narrowed through the open file, never by its name.
    ::fchmod(file->handle(), 0600);
#endif
    m_file = std::move(file);
    return std::nullopt;
}

bool JournalWriter::append(const QList<PlannedChange> &records)
{
    if (!m_file)
        return fail(QStringLiteral("it is not open"));
    // The lines go to the file a block at a time, so a chunk of many records
    // never has all its lines in memory at once.
    constexpr qsizetype BlockBytes = 64 * 1024;
    QByteArray lines;
    lines.reserve(BlockBytes + 1024);
    errno = 0;
    const auto writeLines = [&] {
        const bool written = m_file->write(lines) == lines.size();
        lines.resize(0);
        return written;
    };
    // Without a key, the records of one old text come together and are
    // alike: their line is made once.
    QByteArray line;
    const PlannedChange *made = nullptr;
    for (const PlannedChange &record : records) {
        if (!made || record.oldText != made->oldText || record.newText != made->newText
            || record.keyValues != made->keyValues) {
            line.resize(0);
            appendRecordLine(line, record);
            if (line.size() > JournalHeader::LongestRecordLine)
                return fail(QStringLiteral("a record is longer than a journal line may be"));
            made = &record;
        }
        lines += line;
        if (lines.size() >= BlockBytes && !writeLines())
            return fail(writeFailure(*m_file));
    }
    if (!writeLines() || !m_file->flush())
        return fail(writeFailure(*m_file));
#ifdef Q_OS_WIN
    const bool synced = ::_commit(m_file->handle()) == 0;
#else
    const bool synced = ::fsync(m_file->handle()) == 0;
#endif
    if (!synced)
        return fail(qt_error_string(errno));
    m_whole = m_file->size();
    return true;
}
