#pragma once

#include "connection/LoginFields.h"
#include "connection/TableName.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// What a journal says about its run, in its first line.
struct JournalHeader {
    QString table;
    QString schema; // empty where the table has none
    QString field;
    QString server;
    QString database;
    QString mode; // the mode text at the start of the run
    QDateTime time; // the start of the run, in UTC
    QString programVersion;
    QStringList keyColumns; // the key that named the rows; empty when rows were named by value

    // The header of a run of the field of the table, from the login fields
    // it connects with and the mode text it starts in; the time, the
    // program's version and the key are filled in by the writer.
    static JournalHeader forRun(
        const LoginFields &fields, const TableName &table, const QString &field, const QString &mode);
};
