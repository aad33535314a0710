#pragma once

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
};
