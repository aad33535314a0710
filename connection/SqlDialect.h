#pragma once

#include "connection/TableName.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace odbc {
class Connection;
}

// A statement text and the values of its parameter markers, in order.
struct SqlQuery {
    QString text;
    QList<QVariant> parameters;
};

// One column of a key that names a single row, as the key look-up describes it.
struct KeyColumn {
    QString name;
    QString type; // the engine's own type name: "int", "varchar", "INTEGER" ...
    int maxLength = 0; // in bytes, -1 for max (SQL Server)
    int precision = 0;
    int scale = 0;
    QString collation; // SQL Server's collation name of a text column, else empty
};

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
    // The table as statements name it: schema and name each quoted and joined by
    // a dot, or the name alone when it has no schema.
    QString quoteTable(const TableName &table) const;

    // Statements to run right after opening a connection.
    virtual QStringList sessionSetup() const = 0;

    // A query whose one value is the schema in which the server looks for a
    // table named without one; empty when the engine's catalogue names no schemas.
    virtual QString defaultSchemaQuery() const { return {}; }

    // The values of one field: SELECT <field> FROM <table>.
    QString selectField(const TableName &table, const QString &field) const;
    // A query whose result has the table's columns, in order, and no rows.
    virtual QString selectNoRows(const TableName &table) const = 0;

    // True for a table the engine keeps for itself although its catalogue calls
    // it a "TABLE"; such tables are never offered for a change.
    virtual bool isEngineTable(const QString &) const { return false; }

    // --- The batch case change ---

    // At most one row for the field: its type name, 1 when it is computed
    // (generated) else 0, and the code page of a single-byte text type (0 when
    // the type stores Unicode).
    virtual SqlQuery fieldLookup(const TableName &table, const QString &field) const = 0;
    // True when a field of the type holds text that the batch change rewrites.
    virtual bool isTextType(const QString &type) const = 0;

    // The primary key and the unique indexes that can name one row, one row per
    // key column: group (one number per index), column name, type, max length,
    // precision, scale, nullable (1/0), collation. The primary key comes first,
    // then the other indexes in order; each index's columns in key order. A
    // column of an index that is not a plain column has an empty name; a column
    // of a type that cannot name a row is listed all the same, so its key is
    // known to be unusable.
    virtual SqlQuery keyLookup(const TableName &table) const = 0;
    // True when a key column of the type keeps its value exactly through the
    // text form the program reads and binds, so the key names its row again.
    virtual bool isKeyType(const KeyColumn &column) const = 0;

    // The field first, then the key columns: SELECT field, key1, ... FROM table.
    QString selectForChange(const TableName &table, const QString &field, const QList<KeyColumn> &key) const;
    // Rewrites one row, named by its key, when its field still holds the old
    // value exactly. Parameters: see updateParameters.
    QString updateByKey(const TableName &table, const QString &field, const QList<KeyColumn> &key) const;
    // Rewrites every row whose field holds exactly the old value.
    QString updateByValue(const TableName &table, const QString &field) const;
    // The parameters of updateByKey (with the row's key values) and of
    // updateByValue (with no key values).
    QList<QVariant> updateParameters(
        const QString &newText, const QList<QVariant> &keyValues, const QString &oldText) const;

protected:
    // One key column equal to one parameter.
    virtual QString keyCondition(const KeyColumn &column) const = 0;
    // The field equal to the old value: the same characters and the same length,
    // whatever the field's collation says. Binds the old value oldValueBindings() times.
    virtual QString exactlyEquals(const QString &field) const = 0;
    virtual int oldValueBindings() const = 0;
};

class SqlServerDialect final : public SqlDialect {
public:
    // [name] with every ']' written as ']]'.
    QString quoteName(const QString &name) const override;
    QStringList sessionSetup() const override;
    QString defaultSchemaQuery() const override;
    QString selectNoRows(const TableName &table) const override;

    SqlQuery fieldLookup(const TableName &table, const QString &field) const override;
    bool isTextType(const QString &type) const override;
    SqlQuery keyLookup(const TableName &table) const override;
    bool isKeyType(const KeyColumn &column) const override;

protected:
    QString keyCondition(const KeyColumn &column) const override;
    QString exactlyEquals(const QString &field) const override;
    int oldValueBindings() const override { return 2; }
};

class EmbeddedDialect final : public SqlDialect {
public:
    // "name" with every '"' doubled.
    QString quoteName(const QString &name) const override;
    QStringList sessionSetup() const override;
    // The engine's bookkeeping tables: sqlite_sequence, sqlite_stat1 ...
    bool isEngineTable(const QString &name) const override;
    QString selectNoRows(const TableName &table) const override;

    // A table with a schema is looked up in that attached database.
    SqlQuery fieldLookup(const TableName &table, const QString &field) const override;
    // Text affinity: the declared type holds CHAR, CLOB or TEXT (and not INT).
    bool isTextType(const QString &type) const override;
    SqlQuery keyLookup(const TableName &table) const override;
    // Integer or text affinity.
    bool isKeyType(const KeyColumn &column) const override;

protected:
    QString keyCondition(const KeyColumn &column) const override;
    QString exactlyEquals(const QString &field) const override;
    int oldValueBindings() const override { return 1; }
};
