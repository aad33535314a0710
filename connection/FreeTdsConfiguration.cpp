#include "connection/FreeTdsConfiguration.h"

#include "connection/FreeTdsServerEntry.h"
#include "platform/Failure.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

namespace FreeTdsConfiguration {

namespace {

constexpr qint64 LargestAuthoritiesFile = 16 * 1024 * 1024;
const QByteArray CertificateMark = QByteArrayLiteral("-----BEGIN CERTIFICATE-----");

struct State {
    std::mutex mutex;
    std::unique_ptr<QTemporaryDir> folder; // removed with the process's end
    QMap<QString, QString> entries; // by section name
};

State &state()
{
    static State s;
    return s;
}

QByteArray authoritiesIn(const QString &path)
{
    QFile file(path);
    QString reason;
    if (!PrivateFile::openRegular(file, reason))
        throw Failure(QStringLiteral("The trusted authorities file \"%1\" cannot be read: %2.")
                          .arg(QDir::toNativeSeparators(path), reason));
    const QByteArray bytes = file.read(LargestAuthoritiesFile + 1);
    if (bytes.size() > LargestAuthoritiesFile || !bytes.contains(CertificateMark))
        throw Failure(QStringLiteral("The trusted authorities file \"%1\" holds no certificate: it must hold the "
                                     "authorities' certificates as text (PEM), each beginning with \"%2\".")
                          .arg(QDir::toNativeSeparators(path), QString::fromLatin1(CertificateMark)));
    return bytes;
}

void writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Failure(QStringLiteral("FreeTDS's configuration for the encrypted connection could not be written "
                                     "to %1: %2.")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace

void prepare(const LoginFields &fields)
{
    State &s = state();
    const std::lock_guard lock(s.mutex);
    if (!s.folder) {
        auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vantrell-freetds-XXXXXX"));
        if (!folder->isValid())
            throw Failure(QStringLiteral("A private folder for FreeTDS's configuration could not be made: %1.")
                              .arg(folder->errorString()));
        s.folder = std::move(folder);
    }
    const QString name = FreeTdsServerEntry::name(fields);
    QString authorities = QStringLiteral("system");
    QByteArray authoritiesCopy;
    if (!fields.security.authoritiesFile.isEmpty()) {
        authorities = s.folder->filePath(name + QStringLiteral(".pem"));
        authoritiesCopy = authoritiesIn(fields.security.authoritiesFile);
    }
    // The entry is made, and may be refused, before anything is written.
    const QString entry = FreeTdsServerEntry::text(fields, authorities);
    if (!authoritiesCopy.isEmpty())
        writeWhole(authorities, authoritiesCopy);
    s.entries.insert(name, entry);
    QByteArray file = "# Written by Vantrell for its encrypted connections; removed when it ends.\n";
    for (const QString &written : std::as_const(s.entries))
        file += written.toUtf8() + '\n';
    const QString path = s.folder->filePath(QStringLiteral("freetds.conf"));
    writeWhole(path, file);
    if (qgetenv("FREETDSCONF") != QFile::encodeName(path))
        qputenv("FREETDSCONF", QFile::encodeName(path));
}

} // namespace FreeTdsConfiguration
