// Every statement text that only SQL Server runs stands in this file.
#include "connection/SqlDialect.h"

#include <QRegularExpression>

QString SqlServerDialect::quoteName(const QString &name) const
{
    QString quoted = name;
    quoted.replace(QStringLiteral("]"), QStringLiteral("]]"));
    return QLatin1Char('[') + quoted + QLatin1Char(']');
}

QStringList SqlServerDialect::sessionSetup() const
{
    // Long text, ntext and (n)varchar(max) values are read whole.
    return { QStringLiteral("SET TEXTSIZE 2147483647") };
}

QString SqlServerDialect::defaultSchemaQuery() const
{
    return QStringLiteral("SELECT SCHEMA_NAME()");
}

QString SqlServerDialect::selectNoRows(const TableName &table) const
{
    return QStringLiteral("SELECT TOP (0) * FROM ") + quoteTable(table);
}

namespace {

// The column's own type (u) is found for every column, CLR types included; the
// base type (b), by the system type id, only for system and alias types (a CLR
// type's system id, 240, is the id of no type). The type name a column reports
// is its base type's, else its own.
const QString ColumnTypes = QStringLiteral("JOIN sys.types AS u ON u.user_type_id = c.user_type_id "
                                           "LEFT JOIN sys.types AS b ON b.user_type_id = c.system_type_id ");
const QString ColumnTypeName = QStringLiteral("COALESCE(b.name, u.name)");

} // namespace

SqlQuery SqlServerDialect::fieldLookup(const TableName &table, const QString &field) const
{
    return { QStringLiteral("SELECT ") + ColumnTypeName
            + QStringLiteral(", CAST(c.is_computed AS int), "
                             "CASE WHEN b.name IN ('char', 'varchar', 'text') "
                             "THEN CAST(COLLATIONPROPERTY(c.collation_name, 'CodePage') AS int) ELSE 0 END "
                             "FROM sys.columns AS c ")
            + ColumnTypes + QStringLiteral("WHERE c.object_id = OBJECT_ID(?) AND c.name = ?"),
        { quoteTable(table), field } };
}

bool SqlServerDialect::isTextType(const QString &type) const
{
    static const QStringList textTypes = { QStringLiteral("char"), QStringLiteral("varchar"), QStringLiteral("text"),
        QStringLiteral("nchar"), QStringLiteral("nvarchar"), QStringLiteral("ntext") };
    return textTypes.contains(type, Qt::CaseInsensitive);
}

SqlQuery SqlServerDialect::keyLookup(const TableName &table) const
{
    // Only an index that names one row by its key columns alone will do:
    // unique, not filtered, enabled, real; included columns are no part of the
    // key. Every key column is listed whatever its type, so a key with a column
    // of a type that cannot name a row (a CLR type, say) is known as unusable.
    return { QStringLiteral("SELECT i.index_id, c.name, ") + ColumnTypeName
            + QStringLiteral(", c.max_length, c.precision, c.scale, "
                             "CAST(c.is_nullable AS int), c.collation_name "
                             "FROM sys.indexes AS i "
                             "JOIN sys.index_columns AS ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id "
                             "JOIN sys.columns AS c ON c.object_id = ic.object_id AND c.column_id = ic.column_id ")
            + ColumnTypes
            + QStringLiteral("WHERE i.object_id = OBJECT_ID(?) AND i.is_unique = 1 AND i.has_filter = 0 "
                             "AND i.is_disabled = 0 AND i.is_hypothetical = 0 "
                             "AND ic.is_included_column = 0 AND ic.key_ordinal > 0 "
                             "ORDER BY i.is_primary_key DESC, i.index_id, ic.key_ordinal"),
        { quoteTable(table) } };
}

namespace {

bool isStringType(const QString &type)
{
    return type == QLatin1String("char") || type == QLatin1String("varchar") || type == QLatin1String("nchar")
        || type == QLatin1String("nvarchar");
}

// The type as CAST names it, so the bound text becomes the column's own type
// and an index on the column is sought rather than scanned.
QString castType(const KeyColumn &column)
{
    const QString type = column.type.toLower();
    if (type == QLatin1String("decimal") || type == QLatin1String("numeric"))
        return QStringLiteral("%1(%2, %3)").arg(type).arg(column.precision).arg(column.scale);
    if (isStringType(type)) {
        const bool wide = type.startsWith(QLatin1Char('n'));
        const QString length = column.maxLength < 0 ? QStringLiteral("max")
                                                    : QString::number(wide ? column.maxLength / 2 : column.maxLength);
        return type + QLatin1Char('(') + length + QLatin1Char(')');
    }
    return type;
}

} // namespace

bool SqlServerDialect::isKeyType(const KeyColumn &column) const
{
    // Types whose text form converts back to the very same value. Approximate
    // numbers, the older date and time types, money and binary types do not.
    static const QStringList keyTypes = { QStringLiteral("tinyint"), QStringLiteral("smallint"), QStringLiteral("int"),
        QStringLiteral("bigint"), QStringLiteral("bit"), QStringLiteral("decimal"), QStringLiteral("numeric"),
        QStringLiteral("uniqueidentifier"), QStringLiteral("date"), QStringLiteral("char"), QStringLiteral("varchar"),
        QStringLiteral("nchar"), QStringLiteral("nvarchar") };
    return keyTypes.contains(column.type.toLower());
}

QString SqlServerDialect::keyCondition(const KeyColumn &column) const
{
    // A char or varchar key takes the column's own collation before the cast,
    // so the conversion to the column's code page is the one the column uses.
    static const QRegularExpression collationName(QStringLiteral("^[A-Za-z0-9_]+$"));
    QString parameter = QStringLiteral("?");
    const QString type = column.type.toLower();
    if ((type == QLatin1String("char") || type == QLatin1String("varchar"))
        && collationName.match(column.collation).hasMatch())
        parameter += QStringLiteral(" COLLATE ") + column.collation;
    return quoteName(column.name) + QStringLiteral(" = CAST(") + parameter + QStringLiteral(" AS ") + castType(column)
        + QLatin1Char(')');
}

QString SqlServerDialect::exactlyEquals(const QString &field) const
{
    // "=" ignores trailing blanks and follows the column's collation (case,
    // accents, width): a binary collation plus equal lengths means the same
    // characters. The casts also make text and ntext comparable.
    const QString value = QStringLiteral("CAST(") + quoteName(field) + QStringLiteral(" AS nvarchar(max))");
    return value + QStringLiteral(" COLLATE Latin1_General_100_BIN2 = CAST(? AS nvarchar(max)) AND DATALENGTH(") + value
        + QStringLiteral(") = DATALENGTH(CAST(? AS nvarchar(max)))");
}
