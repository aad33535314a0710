#include "connection/SqlDialect.h"

#include "platform/odbc/Connection.h"

std::unique_ptr<SqlDialect> SqlDialect::forConnection(odbc::Connection &connection)
{
    if (connection.dbmsName().contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
        return std::make_unique<EmbeddedDialect>();
    return std::make_unique<SqlServerDialect>();
}

QString SqlDialect::selectField(const QString &table, const QString &field) const
{
    return QStringLiteral("SELECT ") + quoteName(field) + QStringLiteral(" FROM ") + quoteName(table);
}

QString SqlDialect::selectForChange(const QString &table, const QString &field, const QList<KeyColumn> &key) const
{
    QString columns = quoteName(field);
    for (const KeyColumn &column : key)
        columns += QStringLiteral(", ") + quoteName(column.name);
    return QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + quoteName(table);
}

QString SqlDialect::updateByKey(const QString &table, const QString &field, const QList<KeyColumn> &key) const
{
    QString conditions;
    for (const KeyColumn &column : key)
        conditions += keyCondition(column) + QStringLiteral(" AND ");
    return QStringLiteral("UPDATE ") + quoteName(table) + QStringLiteral(" SET ") + quoteName(field)
        + QStringLiteral(" = ? WHERE ") + conditions + exactlyEquals(field);
}

QString SqlDialect::updateByValue(const QString &table, const QString &field) const
{
    return QStringLiteral("UPDATE ") + quoteName(table) + QStringLiteral(" SET ") + quoteName(field)
        + QStringLiteral(" = ? WHERE ") + exactlyEquals(field);
}

QList<QVariant> SqlDialect::updateParameters(
    const QString &newText, const QList<QVariant> &keyValues, const QString &oldText) const
{
    QList<QVariant> parameters;
    parameters.reserve(1 + keyValues.size() + oldValueBindings());
    parameters << newText << keyValues;
    for (int i = 0; i < oldValueBindings(); ++i)
        parameters << oldText;
    return parameters;
}

// --- The embedded engine ---

QString EmbeddedDialect::quoteName(const QString &name) const
{
    QString quoted = name;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList EmbeddedDialect::sessionSetup() const
{
    return {};
}

bool EmbeddedDialect::isEngineTable(const QString &name) const
{
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

QString EmbeddedDialect::selectNoRows(const QString &table) const
{
    return QStringLiteral("SELECT * FROM ") + quoteName(table) + QStringLiteral(" LIMIT 0");
}

namespace {

enum class Affinity { Integer, Text, Blob, Real, Numeric };

// The engine's own rule for the affinity of a declared type, tested in its order.
Affinity affinityOf(const QString &declaredType)
{
    const QString type = declaredType.toUpper();
    if (type.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB"))
        || type.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (type.isEmpty() || type.contains(QLatin1String("BLOB")))
        return Affinity::Blob;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA"))
        || type.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

} // namespace

SqlQuery EmbeddedDialect::fieldLookup(const QString &table, const QString &field) const
{
    // hidden: 2 and 3 are generated columns, 1 a hidden column of a virtual table.
    return { QStringLiteral("SELECT type, hidden <> 0, 0 FROM pragma_table_xinfo(?) WHERE name = ? COLLATE NOCASE"),
        { table, field } };
}

bool EmbeddedDialect::isTextType(const QString &type) const
{
    return affinityOf(type) == Affinity::Text;
}

SqlQuery EmbeddedDialect::keyLookup(const QString &table) const
{
    // A lone INTEGER PRIMARY KEY is the row id and never Null, but one declared
    // DESC is not the row id: the engine keeps it in an index of its own (origin
    // 'pk') and lets it hold Null. Any other primary key column may hold Null
    // unless it is declared NOT NULL. An index column on the row id or on an
    // expression has no table column (empty name).
    return { QStringLiteral("SELECT 0, name, type, 0, 0, 0, "
                            "CASE WHEN \"notnull\" OR (upper(type) = 'INTEGER' "
                            "AND (SELECT count(*) FROM pragma_table_xinfo(?) WHERE pk > 0) = 1 "
                            "AND NOT EXISTS (SELECT 1 FROM pragma_index_list(?) WHERE origin = 'pk')) "
                            "THEN 0 ELSE 1 END, '', pk "
                            "FROM pragma_table_xinfo(?) WHERE pk > 0 "
                            "UNION ALL "
                            "SELECT l.seq + 1, coalesce(x.name, ''), coalesce(x.type, ''), 0, 0, 0, "
                            "CASE WHEN x.\"notnull\" THEN 0 ELSE 1 END, '', i.seqno "
                            "FROM pragma_index_list(?) AS l JOIN pragma_index_info(l.name) AS i "
                            "LEFT JOIN pragma_table_xinfo(?) AS x ON x.cid = i.cid "
                            "WHERE l.\"unique\" = 1 AND l.partial = 0 AND l.origin <> 'pk' "
                            "ORDER BY 1, 9"),
        { table, table, table, table, table } };
}

bool EmbeddedDialect::isKeyType(const KeyColumn &column) const
{
    const Affinity affinity = affinityOf(column.type);
    return affinity == Affinity::Integer || affinity == Affinity::Text;
}

QString EmbeddedDialect::keyCondition(const KeyColumn &column) const
{
    // The column's affinity turns the bound text back into the stored integer.
    return quoteName(column.name) + QStringLiteral(" = ?");
}

QString EmbeddedDialect::exactlyEquals(const QString &field) const
{
    // A text column holds only text, blobs and Null; a blob never equals a
    // bound text, and BINARY compares every byte, so equal means identical.
    return quoteName(field) + QStringLiteral(" = ? COLLATE BINARY");
}
