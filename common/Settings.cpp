#include "common/Settings.h"

#include "platform/Failure.h"
#include "platform/PrivateFile.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace Settings {

namespace {

#ifdef Q_OS_WIN
QString registryRoot = QStringLiteral("HKEY_CURRENT_USER\\Software");

// The user's registry: a key per application name under Software, the section
// a key inside it, and a value per setting.
QSettings open(const QString &application)
{
    return QSettings(registryRoot + QLatin1Char('\\') + application, QSettings::NativeFormat);
}
#else
// True when the file is missing or a regular file.
bool readable(const QString &path);

// Every file a store of the application name reads besides the user's own:
// the organisation's file beside it, and the system-wide ones in each folder
// XDG_CONFIG_DIRS names (/etc/xdg when it names none).
QStringList fallbackFiles(const QString &application, const QString &userFile)
{
    const QString userFolder = QFileInfo(userFile).absolutePath();
    QStringList files { QFileInfo(userFolder).absolutePath() + QLatin1Char('/') + application
        + QStringLiteral(".ini") };
    QStringList systemFolders = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (systemFolders.isEmpty())
        systemFolders << QStringLiteral("/etc/xdg");
    for (const QString &folder : std::as_const(systemFolders))
        files << folder + QLatin1Char('/') + application + QLatin1Char('/') + application + QStringLiteral(".ini")
              << folder + QLatin1Char('/') + application + QStringLiteral(".ini");
    return files;
}

// One INI file per application name in the user's configuration folder; the
// section is a group inside it. Opening a store reads its files at once: where
// one of the files it would read besides the user's own is not a regular file
// (a pipe would hold the program up for ever), the user's file alone is read.
QSettings open(const QString &application)
{
    const QString userFile = filePath(application);
    const QStringList fallbacks = fallbackFiles(application, userFile);
    if (std::all_of(fallbacks.cbegin(), fallbacks.cend(), readable))
        return QSettings(QSettings::IniFormat, QSettings::UserScope, application, application);
    return QSettings(userFile, QSettings::IniFormat);
}
#endif

#ifndef Q_OS_WIN
// A pipe or a device in a settings file's place would hold the program up
// for ever, or never end.
bool readable(const QString &path)
{
    const QFileInfo file(path);
    return !file.exists() || file.isFile();
}
#endif

// Writes the value through to the store at once.
void put(QSettings &store, const QString &section, const QString &key, const QString &value)
{
    store.beginGroup(section);
    store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        throw Failure(QStringLiteral("The setting \"%1\" could not be saved in %2.").arg(key, store.fileName()));
}

} // namespace

QString read(const QString &application, const QString &section, const QString &key, const QString &defaultValue)
{
#ifndef Q_OS_WIN
    if (!readable(filePath(application)))
        return defaultValue;
#endif
    QSettings store = open(application);
    store.beginGroup(section);
    return store.value(key, defaultValue).toString();
}

void write(const QString &application, const QString &section, const QString &key, const QString &value)
{
#ifdef Q_OS_WIN
    // The user's part of the registry is the user's alone already.
    QSettings store = open(application);
    put(store, section, key, value);
#else
    // The file holds the password: it is private before the first byte goes in,
    // and a file or folder that is a link to somewhere else, or a file that is
    // not a regular one, is never written.
    try {
        PrivateFile::prepare(filePath(application));
    } catch (const Failure &refused) {
        throw Failure(QStringLiteral("The setting \"%1\" was not saved: %2").arg(key, refused.description()));
    }
    QSettings store = open(application);
    // A file with a line it cannot read would be written anew without that
    // line: it is left as it is instead.
    store.childGroups();
    if (store.status() == QSettings::FormatError)
        throw Failure(QStringLiteral("The setting \"%1\" was not saved: %2 has a line that cannot be read, so the "
                                     "file was left as it is.")
                          .arg(key, store.fileName()));
    const PrivateFile::CreationScope privateFiles;
    put(store, section, key, value);
#endif
}

QString read(const QString &key, const QString &defaultValue)
{
    return read(Application, Section, key, defaultValue);
}

void write(const QString &key, const QString &value)
{
    write(Application, Section, key, value);
}

#ifdef Q_OS_WIN
QString filePath(const QString &application)
{
    return open(application).fileName();
}

void setRegistryRoot(const QString &key)
{
    registryRoot = key.isEmpty() ? QStringLiteral("HKEY_CURRENT_USER\\Software") : key;
}
#else
QString filePath(const QString &application)
{
    // Opening a store reads its file at once; the file's place is learnt from
    // a store of a name no file has, in the same folder of stores.
    static const QString Probe = QStringLiteral("vantrell-settings-place");
    const QString probed = QSettings(QSettings::IniFormat, QSettings::UserScope, Probe, Probe).fileName();
    QString folder = QFileInfo(probed).absolutePath();
    folder.chop(Probe.size());
    return folder + application + QLatin1Char('/') + application + QStringLiteral(".ini");
}

#endif

} // namespace Settings
