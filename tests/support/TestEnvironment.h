#pragma once

#include <QString>
#include <QTemporaryDir>

// Keeps a test away from the user's own settings, data and program folder:
// settings and data (journals) go to private temporary folders, and the
// "program folder" is an empty one the test may fill.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString settingsFolder() const { return m_settings.path(); }
    QString dataFolder() const { return m_data.path(); } // XDG_DATA_HOME while it lives
    QString programFolder() const { return m_program.path(); }
    // Writes a file beside the program (creating sub-folders) and returns its path.
    QString putBesideProgram(const QString &name, const QByteArray &contents);

private:
    QTemporaryDir m_settings;
    QTemporaryDir m_program;
    QTemporaryDir m_data;
    QByteArray m_previousData;
};
