#pragma once

#include <QString>
#include <QTemporaryDir>

// Keeps a test away from the user's own settings, data and program folder:
// settings (on Windows a registry key of the test's own) and data (journals)
// go to private temporary places, and the "program folder" is an empty one the
// test may fill.
class TestEnvironment {
public:
    // Whether programs the test starts use the same places (on Windows they
    // use the user's own, emptied before and after).
    enum class Reach { ThisProcess, ChildProcesses };

    explicit TestEnvironment(Reach reach = Reach::ThisProcess);
    ~TestEnvironment();

    QString settingsFolder() const { return m_settings.path(); }
    // XDG_DATA_HOME while it lives; a started program's on Windows.
    QString dataFolder() const
    {
#ifdef Q_OS_WIN
        if (m_reach == Reach::ChildProcesses)
            return usersDataFolder();
#endif
        return m_data.path();
    }
#ifdef Q_OS_WIN
    static bool underWine();
    static QString usersDataFolder();
#endif
    QString programFolder() const
    {
        return m_program.path();
    }
    // Writes a file beside the program (creating sub-folders) and returns its path.
    QString putBesideProgram(const QString &name, const QByteArray &contents);

private:
    QTemporaryDir m_settings;
    QTemporaryDir m_program;
    QTemporaryDir m_data;
    QByteArray m_previousData;
    Reach m_reach;
#ifdef Q_OS_WIN
    QString m_registry; // the settings' registry key while it lives
#endif
};
