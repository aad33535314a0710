#include "support/TestEnvironment.h"

#include "common/ProgramEnd.h"
#include "common/ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#ifdef Q_OS_WIN
#include "common/Settings.h"
#include "journal/JournalWriter.h"

#include <QUuid>

#include "platform/WindowsApi.h"

namespace {

const QString RealRoot = QStringLiteral("HKEY_CURRENT_USER\\Software");

// The user's own settings and journals, which a program the test starts uses.
void clearUsersStores()
{
    QSettings(RealRoot + QStringLiteral("\\Marrowfen"), QSettings::NativeFormat).clear();
    QDir(TestEnvironment::usersDataFolder() + QStringLiteral("/Marrowfen")).removeRecursively();
}

} // namespace

bool TestEnvironment::underWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr;
}

QString TestEnvironment::usersDataFolder()
{
    QString folder = JournalWriter::defaultFolder();
    folder.chop(QStringLiteral("/Marrowfen/Vantrell/journals").size());
    return folder;
}
#endif

TestEnvironment::TestEnvironment(Reach reach)
    : m_reach(reach)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
#ifdef Q_OS_WIN
    if (m_reach == Reach::ChildProcesses) {
        // Windows gives a program no way to move its registry key or data
        // folder: the programs a test starts use the user's own, which are
        // the test's alone only in a Wine prefix made for the tests.
        if (!underWine())
            qFatal("Tests that start the program run in a Wine prefix of their own.");
        clearUsersStores();
    } else {
        m_registry
            = RealRoot + QStringLiteral("\\Vantrell tests\\") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        Settings::setRegistryRoot(m_registry);
        JournalWriter::setDefaultFolder(m_data.path() + QStringLiteral("/Marrowfen/Vantrell/journals"));
    }
#endif
    ProgramFiles::setProgramFolder(m_program.path());
    ProgramEnd::reset();
    m_previousData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
}

TestEnvironment::~TestEnvironment()
{
    ProgramFiles::setProgramFolder(QString());
    ProgramEnd::reset();
#ifdef Q_OS_WIN
    if (m_reach == Reach::ChildProcesses) {
        clearUsersStores();
    } else {
        Settings::setRegistryRoot(QString());
        JournalWriter::setDefaultFolder(QString());
        QSettings(m_registry, QSettings::NativeFormat).clear();
        QSettings(RealRoot + QStringLiteral("\\Vantrell tests"), QSettings::NativeFormat)
            .remove(m_registry.section(QLatin1Char('\\'), -1));
    }
#endif
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
