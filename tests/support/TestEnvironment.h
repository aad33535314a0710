#pragma once

#include <QString>
#include <QTemporaryDir>

// Keeps a test away from the user's own settings and program folder: settings go
// to a private temporary folder, and the "program folder" is an empty one the
// test may fill.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString settingsFolder() const { return m_settings.path(); }
    QString programFolder() const { return m_program.path(); }
    // Writes a file beside the program (creating sub-folders) and returns its path.
    QString putBesideProgram(const QString &name, const QByteArray &contents);

private:
    QTemporaryDir m_settings;
    QTemporaryDir m_program;
};
