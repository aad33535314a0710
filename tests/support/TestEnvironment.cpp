#include "support/TestEnvironment.h"

#include "app/MainHelpers.h"
#include "app/ProgramEnd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

TestEnvironment::TestEnvironment()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    Main::setProgramFolder(m_program.path());
    ProgramEnd::reset();
    m_previousData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
}

TestEnvironment::~TestEnvironment()
{
    Main::setProgramFolder(QString());
    ProgramEnd::reset();
    if (m_previousData.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_previousData);
}

QString TestEnvironment::putBesideProgram(const QString &name, const QByteArray &contents)
{
    const QString path = m_program.path() + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}
