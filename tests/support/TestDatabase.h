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
    // The password is ignored by the engine; the program still looks at whether it is empty.
    LoginFields fields(const QString &password = QString()) const;
    // Login fields that cannot open: the database lies in a folder that does not exist.
    static LoginFields unreachable();

    // Runs statements (separated by ';' at line ends are fine: each call is one statement).
    void exec(const QString &sql, const QList<QVariant> &parameters = {});
    // Creates the table with the column definitions and puts the values into one field, a row each.
    void table(const QString &name, const QString &columns, const QString &field = {}, const QVariantList &values = {});
    void insert(const QString &table, const QString &field, const QVariantList &values);
    odbc::RecordSet query(const QString &sql);
    // The values of one column, Null as an invalid QVariant, in rowid order.
    QVariantList column(const QString &table, const QString &field);
    // The texts "1", "2" ... up to the count.
    static QVariantList numbers(int count);

private:
    QTemporaryDir m_dir;
    QString m_path;
};
