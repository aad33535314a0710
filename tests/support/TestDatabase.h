#pragma once

#include "connection/LoginFields.h"
#include "platform/odbc/RecordSet.h"

#include <QTemporaryDir>
#include <QVariant>

// A fresh embedded database file reached through the driver name "SQL Server"
// (see the test odbcinst.ini), with login fields that name it.
class TestDatabase {
public:
    TestDatabase();

    QString path() const { return m_path; }
    LoginFields fields() const;
    // Login fields that cannot open: the database lies in a folder that does not exist.
    static LoginFields unreachable();

    // Runs statements (separated by ';' at line ends are fine: each call is one statement).
    void exec(const QString &sql, const QList<QVariant> &parameters = {});
    odbc::RecordSet query(const QString &sql);
    // The values of one column, Null as an invalid QVariant, in rowid order.
    QVariantList column(const QString &table, const QString &field);

private:
    QTemporaryDir m_dir;
    QString m_path;
};
