#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace odbc {
class Connection;
}

// The SQL text the program sends, in the form the connected engine runs.
// SqlServerDialect is the program's own target; EmbeddedDialect is the
// embedded engine (SQLite) behind the same ODBC path, used by the tests and
// the demo.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    // The dialect of an open connection, by the product name its driver reports.
    static std::unique_ptr<SqlDialect> forConnection(odbc::Connection &connection);

    // A table or field name quoted as one identifier, whatever it holds.
    virtual QString quoteName(const QString &name) const = 0;

    // Statements to run right after opening a connection.
    virtual QStringList sessionSetup() const = 0;

    // The values of one field: SELECT <field> FROM <table>.
    QString selectField(const QString &table, const QString &field) const;
    // A query whose result has the table's columns, in order, and no rows.
    virtual QString selectNoRows(const QString &table) const = 0;
};

class SqlServerDialect final : public SqlDialect {
public:
    // [name] with every ']' written as ']]'.
    QString quoteName(const QString &name) const override;
    QStringList sessionSetup() const override;
    QString selectNoRows(const QString &table) const override;
};

class EmbeddedDialect final : public SqlDialect {
public:
    // "name" with every '"' doubled.
    QString quoteName(const QString &name) const override;
    QStringList sessionSetup() const override;
    QString selectNoRows(const QString &table) const override;
};
