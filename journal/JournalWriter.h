#pragma once

#include "casing/BatchChange.h"
#include "journal/JournalHeader.h"

#include <QFile>
#include <QString>

#include <memory>
#include <optional>

// The journal of one batch change, written ahead of its statements: a file of
// JSON Lines, one header object and then one object per record about to be
// sent, each flushed to the disk before the statement that changes the record
// goes out. See JournalReader for the format.
class JournalWriter {
public:
    // Where journals are kept: "journals" in Qt's application data location
    // for the organisation "Marrowfen" and the application "Vantrell".
    static QString defaultFolder();
    // Puts that place elsewhere for the rest of the process (tests); empty
    // restores it.
    static void setDefaultFolder(const QString &folder);

    explicit JournalWriter(JournalHeader header, QString folder = defaultFolder());

    // Sets started() and beforeSend() of the callbacks to open() and append().
    void attach(BatchChange::Callbacks &callbacks);

    // Creates the run's file, readable by the user only, and writes the header.
    // False (see error()) when it cannot.
    bool open(const QStringList &keyColumns);
    // Writes the records and flushes them to the disk. False (see error()) when it cannot.
    bool append(const QList<PlannedChange> &records);

    // Writes which of the records handed over since the last outcome the
    // server did not write. False (see error()) when it cannot.
    bool recordOutcome(const BatchChange::Unwritten &unwritten);

    QString path() const { return m_path; } // empty until open() succeeded
    QString error() const { return m_error; } // one plain sentence

private:
    bool fail(const QString &reason);
    // Why the journals' folder cannot hold a private journal; none once it can.
    std::optional<QString> prepareFolder() const;
    // Why no new journal file could be made in the folder; none once it is open.
    std::optional<QString> createFile();

    JournalHeader m_header;
    QString m_folder;
    QString m_path;
    QString m_error;
    std::unique_ptr<QFile> m_file;
    bool m_recording = false; // the header is on the disk
    qint64 m_whole = 0; // the bytes of the file's whole lines, on the disk
};
