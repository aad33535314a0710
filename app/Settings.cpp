#include "app/Settings.h"

#include "platform/Failure.h"
#include "platform/PrivateFile.h"

#include <QSettings>

namespace Settings {

namespace {

// One INI file per application name in the user's configuration folder; the
// section is a group inside it.
QSettings open(const QString &application)
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, application, application);
}

} // namespace

QString read(const QString &application, const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings store = open(application);
    store.beginGroup(section);
    return store.value(key, defaultValue).toString();
}

void write(const QString &application, const QString &section, const QString &key, const QString &value)
{
    QSettings store = open(application);
    // The file holds the password: it is private before the first byte goes in,
    // and a file or folder that is a link to somewhere else is never written.
    try {
        PrivateFile::prepare(store.fileName());
    } catch (const Failure &refused) {
        throw Failure(QStringLiteral("The setting \"%1\" was not saved: %2").arg(key, refused.description()));
    }
    const PrivateFile::CreationScope privateFiles;
    store.beginGroup(section);
    store.setValue(key, value);
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        throw Failure(QStringLiteral("The setting \"%1\" could not be saved in %2.").arg(key, store.fileName()));
}

QString read(const QString &key, const QString &defaultValue)
{
    return read(Application, Section, key, defaultValue);
}

void write(const QString &key, const QString &value)
{
    write(Application, Section, key, value);
}

QString filePath(const QString &application)
{
    return open(application).fileName();
}

} // namespace Settings
