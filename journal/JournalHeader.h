#pragma once

#include "connection/LoginFields.h"
#include "connection/TableName.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// What a journal says about its run, in its first line.
struct JournalHeader {
    QString table;
    QString schema; // empty where the table has none
    QString field;
    QString server;
    // How the run reached the server: through a port, or as "Local
    // Connection" (no port). Journals of the first format do not say.
    std::optional<QString> port; // empty for a local connection
    std::optional<bool> localConnection;
    QString database;
    QString mode; // the mode text at the start of the run
    QDateTime time; // the start of the run, in UTC
    QString programVersion;
    QStringList keyColumns; // the key that named the rows; empty when rows were named by value
    // 2 since journals say which records were written and how the server was
    // reached; 1 before.
    int formatVersion = CurrentFormat;

    static constexpr int CurrentFormat = 2;
    // The longest lines a journal holds, a header and a record (two texts,
    // escaped as JSON, and a key). The writer never writes a longer record:
    // the run stops before it sends such a record. The reader refuses a longer
    // line as soon as it has counted past the bound.
    static constexpr qint64 LongestHeaderLine = 1 << 20;
    static constexpr qint64 LongestRecordLine = qint64(1) << 30;

    // The header of a run of the field of the table, from the login fields
    // it connects with and the mode text it starts in; the time, the
    // program's version and the key are filled in by the writer.
    static JournalHeader forRun(
        const LoginFields &fields, const TableName &table, const QString &field, const QString &mode);
};
