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
    PrivateFile::CreationScope privateFiles;
    QSettings store = open(application);
    store.beginGroup(section);
    store.setValue(key, value);
    store.endGroup();
    store.sync();
    PrivateFile::restrict(store.fileName());
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
