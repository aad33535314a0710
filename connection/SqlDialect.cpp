#include "connection/SqlDialect.h"

#include "connection/EmbeddedDialect.h"
#include "connection/SqlServerDialect.h"
#include "platform/odbc/Connection.h"

std::unique_ptr<SqlDialect> SqlDialect::forConnection(odbc::Connection &connection)
{
    if (connection.dbmsName().contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
        return std::make_unique<EmbeddedDialect>();
    return std::make_unique<SqlServerDialect>();
}

QString SqlDialect::quoteTable(const TableName &table) const
{
    if (table.schema.isEmpty())
        return quoteName(table.name);
    return quoteName(table.schema) + QLatin1Char('.') + quoteName(table.name);
}

QString SqlDialect::selectField(const TableName &table, const QString &field) const
{
    return QStringLiteral("SELECT ") + quoteName(field) + QStringLiteral(" FROM ") + quoteTable(table);
}

QString SqlDialect::changeColumns(const QString &field, const QList<KeyColumn> &key, const QString &table) const
{
    const QString prefix = table.isEmpty() ? QString() : table + QLatin1Char('.');
    const QString quoted = prefix + quoteName(field);
    QString columns = readAsText(quoted) + QStringLiteral(", ") + storedLengthOf(quoted);
    for (const KeyColumn &column : key)
        columns += QStringLiteral(", ") + prefix + quoteName(column.name);
    return columns;
}

QString SqlDialect::selectNamedRows(
    const TableName &table, const QString &field, const QList<KeyColumn> &key, ChunkShape rows) const
{
    return QStringLiteral("SELECT ") + changeColumns(field, key, QStringLiteral("t")) + QLatin1Char(' ')
        + joinChunkByKey(table, key, rows);
}

QString SqlDialect::selectForChange(const TableName &table, const QString &field, const QList<KeyColumn> &key) const
{
    return QStringLiteral("SELECT ") + changeColumns(field, key) + QStringLiteral(" FROM ") + quoteTable(table);
}

QString SqlDialect::keyBeyond(
    const QList<KeyColumn> &key, KeyOrder order, const QList<QVariant> &values, QList<QVariant> &parameters) const
{
    // Column by column: the columns before equal, this one beyond.
    const bool below = order == KeyOrder::UpTo;
    const QString beyond = below ? QStringLiteral(" < ") : QStringLiteral(" > ");
    const QString last = order == KeyOrder::After ? beyond : below ? QStringLiteral(" <= ") : QStringLiteral(" >= ");
    QStringList alternatives;
    for (int i = 0; i < key.size(); ++i) {
        QString alternative;
        for (int j = 0; j < i; ++j) {
            alternative += quoteName(key[j].name) + QStringLiteral(" = ") + keyValue(key[j], QStringLiteral("?"))
                + QStringLiteral(" AND ");
            parameters << values.value(j);
        }
        alternative
            += quoteName(key[i].name) + (i + 1 == key.size() ? last : beyond) + keyValue(key[i], QStringLiteral("?"));
        parameters << values.value(i);
        alternatives << QLatin1Char('(') + alternative + QLatin1Char(')');
    }
    return QLatin1Char('(') + alternatives.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

SqlQuery SqlDialect::selectBlockForChange(const TableName &table, const QString &field, const QList<KeyColumn> &key,
    int rows, const QList<QVariant> &after, const KeyRange &range) const
{
    SqlQuery query;
    QStringList conditions;
    if (!after.isEmpty())
        conditions << keyBeyond(key, KeyOrder::After, after, query.parameters);
    else if (!range.first.isEmpty())
        conditions << keyBeyond(key, KeyOrder::From, range.first, query.parameters);
    if (!range.last.isEmpty())
        conditions << keyBeyond(key, KeyOrder::UpTo, range.last, query.parameters);
    QString rest = QStringLiteral("FROM ") + quoteTable(table);
    if (!conditions.isEmpty())
        rest += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    QStringList order;
    for (const KeyColumn &column : key)
        order << quoteName(column.name);
    rest += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    query.text = firstRows(changeColumns(field, key), rest, rows);
    return query;
}

QString SqlDialect::countRows(const TableName &table) const
{
    return QStringLiteral("SELECT COUNT(*) FROM ") + quoteTable(table);
}

QString SqlDialect::updateByKey(const TableName &table, const QString &field, const QList<KeyColumn> &key) const
{
    QString conditions;
    for (const KeyColumn &column : key)
        conditions += keyCondition(column, quoteName(column.name), QStringLiteral("?")) + QStringLiteral(" AND ");
    return QStringLiteral("UPDATE ") + quoteTable(table) + QStringLiteral(" SET ") + quoteName(field)
        + QStringLiteral(" = ? WHERE ") + conditions + exactlyEquals(quoteName(field), QStringLiteral("?"));
}

QString SqlDialect::updateByValue(const TableName &table, const QString &field) const
{
    return QStringLiteral("UPDATE ") + quoteTable(table) + QStringLiteral(" SET ") + quoteName(field)
        + QStringLiteral(" = ? WHERE ") + exactlyEquals(quoteName(field), QStringLiteral("?"));
}

QList<QVariant> SqlDialect::oldValueParameters(const QString &oldText) const
{
    return QList<QVariant>(oldValueBindings(), oldText);
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

int SqlDialect::chunkRecords(int keyColumns) const
{
    // Key values, the old and the new text per record; a pair number, the old
    // and the new text per staged pair.
    constexpr int StatementParameters = 2000;
    return StatementParameters / (keyColumns == 0 ? StagedValues : keyColumns + 2);
}

QList<QVariant> SqlDialect::chunkParameters(QList<QVariant> values, int columns, int capacity) const
{
    values.reserve(qsizetype(columns) * capacity);
    while (values.size() < qsizetype(columns) * capacity)
        values << QVariant();
    return values;
}

QList<ChunkPart> SqlDialect::stagingParts(QList<QVariant> values, int columns, int capacity) const
{
    return chunkParts(std::move(values), columns, capacity);
}

QList<ChunkPart> SqlDialect::chunkParts(QList<QVariant> values, int columns, int capacity) const
{
    return { ChunkPart { ChunkShape(capacity), chunkParameters(std::move(values), columns, capacity) } };
}

QString SqlDialect::unrepresentable(const FieldFacts &, ChunkShape) const
{
    return {};
}

bool SqlDialect::failureRepeats(const QString &sqlState, const QString &) const
{
    // Connection exceptions (08...), timeouts and a cancelled statement.
    return sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("HYT00")
        || sqlState == QLatin1String("HYT01") || sqlState == QLatin1String("HY008");
}

QString SqlDialect::stagedTotals() const
{
    return QStringLiteral("SELECT COALESCE(SUM(r), 0), COUNT(*), COALESCE(SUM(c), 0), "
                          "COALESCE(SUM(CASE WHEN r < c THEN r ELSE c END), 0) FROM ")
        + stagingTable();
}

QString SqlDialect::stagedPairs(int pairs) const
{
    return firstRows(QStringLiteral("i, o, n, r, c, m"),
        QStringLiteral("FROM ") + stagingTable() + QStringLiteral(" WHERE i > ? ORDER BY i"), pairs);
}
