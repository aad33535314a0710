// The embedded engine (SQLite) behind the same ODBC path: the tests and the demo.
#include "connection/EmbeddedDialect.h"

#include "platform/JsonText.h"
#include "platform/odbc/Connection.h"

#include <QRegularExpression>

QString EmbeddedDialect::quoteName(const QString &name) const
{
    QString quoted = name;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList EmbeddedDialect::sessionSetup() const
{
    // The session's temporary tables (the staged pairs of a change without a
    // key, the rows sorted by their texts) go into a file beyond the engine's
    // cache, rather than into memory that grows with the texts.
    return { QStringLiteral("PRAGMA temp_store = FILE") };
}

// The engine names the database a connection opens "main".
QString EmbeddedDialect::defaultSchemaQuery() const
{
    return QStringLiteral("SELECT 'main'");
}

bool EmbeddedDialect::isEngineTable(const QString &name) const
{
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

QString EmbeddedDialect::selectNoRows(const TableName &table) const
{
    return QStringLiteral("SELECT * FROM ") + quoteTable(table) + QStringLiteral(" LIMIT 0");
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

// The statement with the pragmas' arguments filled in, in the order of the
// text: "{table}" stands for the table's name and "{schema}" for ", " and its
// schema; a table without a schema is left to the engine's own search.
SqlQuery withTableArguments(const QString &text, const TableName &table)
{
    static const QRegularExpression marker(QStringLiteral("\\{(table|schema)\\}"));
    SqlQuery query;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : marker.globalMatch(text)) {
        query.text += text.mid(from, match.capturedStart() - from);
        from = match.capturedEnd();
        if (match.captured(1) == QLatin1String("table")) {
            query.text += QLatin1Char('?');
            query.parameters << table.name;
        }
        if (!table.schema.isEmpty()) {
            query.text += QStringLiteral(", ?");
            query.parameters << table.schema;
        }
    }
    query.text += text.mid(from);
    return query;
}

} // namespace

SqlQuery EmbeddedDialect::fieldLookup(const TableName &table, const QString &field) const
{
    // hidden: 2 and 3 are generated columns, 1 a hidden column of a virtual table.
    // A trigger is taken to fire on an update when its text names one; a
    // trigger whose body merely updates is counted too, which costs only speed.
    const QString schemaPrefix = table.schema.isEmpty() ? QString() : quoteName(table.schema) + QLatin1Char('.');
    SqlQuery lookup = withTableArguments(
        QStringLiteral("SELECT type, hidden <> 0, "
                       "coalesce((SELECT type = 'table' FROM %1sqlite_master WHERE name = ? COLLATE NOCASE "
                       "AND type IN ('table', 'view')), 0), "
                       "EXISTS (SELECT 1 FROM %1sqlite_master WHERE type = 'trigger' AND tbl_name = ? COLLATE NOCASE "
                       "AND upper(sql) LIKE '%UPDATE%') "
                       "FROM pragma_table_xinfo({table}) WHERE name = ? COLLATE NOCASE")
            .arg(schemaPrefix),
        table);
    // The kind's and the trigger look-up's table names come first.
    lookup.parameters.insert(0, 2, table.name);
    lookup.parameters << field;
    return lookup;
}

std::optional<FieldFacts> EmbeddedDialect::lookUpField(
    odbc::Connection &connection, const TableName &table, const QString &field) const
{
    const SqlQuery lookup = fieldLookup(table, field);
    const odbc::RecordSet rows = connection.query(lookup.text, lookup.parameters);
    if (rows.eof())
        return std::nullopt;
    FieldFacts facts;
    facts.type = rows.value(0).toString();
    facts.computed = rows.value(1).toInt() != 0;
    facts.userTable = rows.value(2).toInt() != 0;
    facts.updateTriggers = rows.value(3).toInt() != 0;
    return facts;
}

bool EmbeddedDialect::isTextType(const QString &type) const
{
    return affinityOf(type) == Affinity::Text;
}

SqlQuery EmbeddedDialect::keyLookup(const TableName &table) const
{
    // A lone INTEGER PRIMARY KEY is the row id and never Null, but one declared
    // DESC is not the row id: the engine keeps it in an index of its own (origin
    // 'pk') and lets it hold Null. Any other primary key column may hold Null
    // unless it is declared NOT NULL. An index column on the row id or on an
    // expression has no table column (empty name).
    return withTableArguments(
        QStringLiteral("SELECT 0, name, type, 0, 0, 0, "
                       "CASE WHEN \"notnull\" OR (upper(type) = 'INTEGER' "
                       "AND (SELECT count(*) FROM pragma_table_xinfo({table}) WHERE pk > 0) = 1 "
                       "AND NOT EXISTS (SELECT 1 FROM pragma_index_list({table}) WHERE origin = 'pk')) "
                       "THEN 0 ELSE 1 END, '', pk "
                       "FROM pragma_table_xinfo({table}) WHERE pk > 0 "
                       "UNION ALL "
                       "SELECT l.seq + 1, coalesce(x.name, ''), coalesce(x.type, ''), 0, 0, 0, "
                       "CASE WHEN x.\"notnull\" THEN 0 ELSE 1 END, '', i.seqno "
                       "FROM pragma_index_list({table}) AS l JOIN pragma_index_info(l.name{schema}) AS i "
                       "LEFT JOIN pragma_table_xinfo({table}) AS x ON x.cid = i.cid "
                       "WHERE l.\"unique\" = 1 AND l.partial = 0 AND l.origin <> 'pk' "
                       "ORDER BY 1, 9"),
        table);
}

QList<KeyCandidate> EmbeddedDialect::lookUpKeys(odbc::Connection &connection, const TableName &table) const
{
    const SqlQuery lookup = keyLookup(table);
    QList<KeyCandidate> keys;
    for (odbc::RecordSet rows = connection.query(lookup.text, lookup.parameters); !rows.eof(); rows.moveNext()) {
        KeyCandidate key;
        key.group = rows.value(0).toString();
        key.column.name = rows.value(1).toString();
        key.column.type = rows.value(2).toString();
        key.column.maxLength = rows.value(3).toInt();
        key.column.precision = rows.value(4).toInt();
        key.column.scale = rows.value(5).toInt();
        key.nullable = rows.value(6).toInt() != 0;
        key.column.collation = rows.value(7).toString();
        keys << key;
    }
    return keys;
}

bool EmbeddedDialect::isKeyType(const KeyColumn &column) const
{
    const Affinity affinity = affinityOf(column.type);
    return affinity == Affinity::Integer || affinity == Affinity::Text;
}

qsizetype EmbeddedDialect::storedLength(QStringView text) const
{
    // The length of the text in UTF-8, counted without making it: a lone
    // surrogate counts as the replacement character it would become.
    qsizetype bytes = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        if (unit < 0x80)
            bytes += 1;
        else if (unit < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(unit) && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else
            bytes += 3;
    }
    return bytes;
}

bool EmbeddedDialect::readsSnapshotAlongside() const
{
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}

QStringList EmbeddedDialect::sortRows(const TableName &table, const QString &field) const
{
    // BINARY tells texts apart by every byte, whatever the column's collation.
    // The rows go into the table in the order of their texts, so that its
    // row numbers follow that order.
    const QString quoted = quoteName(field);
    const QString text = quoted + QStringLiteral(" COLLATE BINARY");
    return { QStringLiteral("DROP TABLE IF EXISTS temp.vantrell_sorted"),
        QStringLiteral("CREATE TEMP TABLE vantrell_sorted (i INTEGER PRIMARY KEY, v, l INTEGER, c INTEGER)"),
        QStringLiteral("INSERT INTO temp.vantrell_sorted (v, l, c) SELECT ") + changeColumns(field, {})
            + QStringLiteral(", count(*) OVER (PARTITION BY ") + text + QStringLiteral(") FROM ") + quoteTable(table)
            + QStringLiteral(" ORDER BY ") + text };
}

SqlQuery EmbeddedDialect::sortedRows(const TableName &, const QString &, int rows, const QVariant &after) const
{
    SqlQuery query;
    QString rest = QStringLiteral("FROM temp.vantrell_sorted");
    if (after.isValid()) {
        rest += QStringLiteral(" WHERE i > ?");
        query.parameters << after;
    }
    rest += QStringLiteral(" ORDER BY i");
    const QString columns = QStringLiteral("v, l, c, i");
    query.text
        = rows > 0 ? firstRows(columns, rest, rows) : QStringLiteral("SELECT ") + columns + QLatin1Char(' ') + rest;
    return query;
}

QString EmbeddedDialect::readAsText(const QString &fieldRef) const
{
    return fieldRef;
}

QString EmbeddedDialect::storedLengthOf(const QString &fieldRef) const
{
    // The stored bytes, a NUL and bytes that are not UTF-8 included.
    return QStringLiteral("length(CAST(") + fieldRef + QStringLiteral(" AS BLOB))");
}

QString EmbeddedDialect::keyCondition(const KeyColumn &, const QString &columnRef, const QString &value) const
{
    // The column's affinity turns the bound text back into the stored integer.
    return columnRef + QStringLiteral(" = ") + value;
}

QString EmbeddedDialect::keyValue(const KeyColumn &, const QString &value) const
{
    return value;
}

QString EmbeddedDialect::firstRows(const QString &columns, const QString &rest, int rows) const
{
    return QStringLiteral("SELECT ") + columns + QLatin1Char(' ') + rest + QStringLiteral(" LIMIT %1").arg(rows);
}

QString EmbeddedDialect::exactlyEquals(const QString &fieldRef, const QString &value) const
{
    // A text column holds only text, blobs and Null; a blob never equals a
    // bound text, and BINARY compares every byte, so equal means identical.
    return fieldRef + QStringLiteral(" = ") + value + QStringLiteral(" COLLATE BINARY");
}

namespace {

// A chunk of rows of three values (one key column, or a pair number; then
// the old and the new text) is an object: each row's first value, never Null
// and never twice in a chunk, names a member that holds the other two, so
// the engine reads the first value as the member's name rather than taking
// it out of an array. Wider rows are arrays.
constexpr int NamedRowValues = 3;

// The n-th value of the chunk row at hand, in a chunk of rows of `values` values.
QString chunkValue(int n, int values)
{
    if (values != NamedRowValues)
        return QStringLiteral("json_extract(j.value, '$[%1]')").arg(n);
    return n == 0 ? QStringLiteral("j.key") : QStringLiteral("json_extract(j.value, '$[%1]')").arg(n - 1);
}

} // namespace

QList<QVariant> EmbeddedDialect::chunkParameters(QList<QVariant> values, int columns, int) const
{
    const bool named = columns == NamedRowValues;
    QByteArray json = named ? "{" : "[";
    json.reserve(values.size() * 24);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const qsizetype column = i % columns;
        if (column == 0)
            json += i == 0 ? "" : "],";
        if (column == 0 && named) {
            JsonText::appendString(json, values.at(i).toString());
            json += ":[";
            continue;
        }
        json += column == 0 ? "[" : column == 1 && named ? "" : ",";
        if (values.at(i).isValid())
            JsonText::appendString(json, values.at(i).toString());
        else
            json += "null";
    }
    json += values.isEmpty() ? "" : "]";
    json += named ? "}" : "]";
    return { QString::fromUtf8(json) };
}

int EmbeddedDialect::chunkRecords(int) const
{
    // Every commit flushes the database file and its rollback journal, while
    // a chunk of 2,000 records takes the engine a few milliseconds.
    return 2000;
}

// The key columns of t equal to the chunk row's key values.
QString EmbeddedDialect::chunkKeyConditions(const QList<KeyColumn> &key) const
{
    const int columns = int(key.size()) + 2;
    QStringList conditions;
    for (int i = 0; i < key.size(); ++i)
        conditions << keyCondition(key[i], QStringLiteral("t.") + quoteName(key[i].name), chunkValue(i, columns));
    return conditions.join(QStringLiteral(" AND "));
}

QString EmbeddedDialect::joinChunkByKey(const TableName &table, const QList<KeyColumn> &key, ChunkShape) const
{
    // The chunk's rows first, each finding its row by the key's index.
    return QStringLiteral("FROM json_each(?) AS j CROSS JOIN ") + quoteTable(table) + QStringLiteral(" AS t ON ")
        + chunkKeyConditions(key);
}

QString EmbeddedDialect::updateChunkByKey(
    const TableName &table, const QString &field, const QList<KeyColumn> &key, ChunkShape) const
{
    const int columns = int(key.size()) + 2;
    return QStringLiteral("UPDATE ") + quoteTable(table) + QStringLiteral(" AS t SET ") + quoteName(field)
        + QStringLiteral(" = ") + chunkValue(columns - 1, columns) + QStringLiteral(" FROM json_each(?) AS j WHERE ")
        + chunkKeyConditions(key) + QStringLiteral(" AND ")
        + exactlyEquals(QStringLiteral("t.") + quoteName(field), chunkValue(columns - 2, columns));
}

QStringList EmbeddedDialect::createStaging() const
{
    return { dropStaging(),
        QStringLiteral("CREATE TEMP TABLE vantrell_pairs (i INTEGER PRIMARY KEY, o TEXT NOT NULL, n TEXT NOT NULL, "
                       "r INTEGER NOT NULL, c INTEGER NOT NULL, m INTEGER NOT NULL)") };
}

QString EmbeddedDialect::indexStaging(qsizetype) const
{
    return QStringLiteral("CREATE INDEX temp.vantrell_pairs_o ON vantrell_pairs (o)");
}

QString EmbeddedDialect::stageChunk(ChunkShape) const
{
    QStringList values;
    for (int n = 0; n < StagedValues; ++n)
        values << chunkValue(n, StagedValues);
    return QStringLiteral("INSERT INTO temp.vantrell_pairs (i, o, n, r, c, m) SELECT ")
        + values.join(QStringLiteral(", ")) + QStringLiteral(" FROM json_each(?) AS j");
}

QString EmbeddedDialect::stagedPairsMoved(const TableName &table, const QString &field, qsizetype) const
{
    // The table outside, the pairs found by their index: the engine would
    // otherwise build an index of the table's texts for the grouping's order.
    return QStringLiteral("SELECT s.i, s.o, s.n, s.c FROM temp.vantrell_pairs AS s LEFT JOIN (SELECT p.i AS i, "
                          "count(*) AS h FROM ")
        + quoteTable(table) + QStringLiteral(" AS t CROSS JOIN temp.vantrell_pairs AS p ON ")
        + exactlyEquals(QStringLiteral("t.") + quoteName(field), QStringLiteral("p.o"))
        + QStringLiteral(" GROUP BY p.i) AS h ON h.i = s.i WHERE coalesce(h.h, 0) <> s.r");
}

QString EmbeddedDialect::stagingTable() const
{
    return QStringLiteral("temp.vantrell_pairs");
}

QString EmbeddedDialect::changeCounter(const TableName &table) const
{
    // The read of the table takes the database's shared lock, which a writer
    // must wait for before it commits.
    return QStringLiteral("SELECT data_version, EXISTS (SELECT 1 FROM ") + quoteTable(table)
        + QStringLiteral(") FROM pragma_data_version");
}

QString EmbeddedDialect::unstagePair() const
{
    return QStringLiteral("DELETE FROM temp.vantrell_pairs WHERE i = ?");
}

QString EmbeddedDialect::countByValue(const TableName &table, const QString &field) const
{
    // The transaction's first read holds the database against other writers until it ends.
    return QStringLiteral("SELECT count(*) FROM ") + quoteTable(table) + QStringLiteral(" AS t WHERE ")
        + exactlyEquals(QStringLiteral("t.") + quoteName(field), QStringLiteral("?"));
}

QString EmbeddedDialect::applyStaged(
    const TableName &table, const QString &field, bool manyRowsPerText, qsizetype) const
{
    // UPDATE ... FROM first copies every row it changes, with its new text,
    // into a table of the engine's own, in memory. Where the rows are about as
    // many as the texts that costs no more than the staged texts, and saves a
    // look-up per row; where each text lies in many rows, every row is looked
    // up twice instead.
    if (!manyRowsPerText)
        return QStringLiteral("UPDATE ") + quoteTable(table) + QStringLiteral(" AS t SET ") + quoteName(field)
            + QStringLiteral(" = p.n FROM temp.vantrell_pairs AS p WHERE ")
            + exactlyEquals(QStringLiteral("t.") + quoteName(field), QStringLiteral("p.o"));
    const QString pairOfRow = QStringLiteral(" FROM temp.vantrell_pairs AS p WHERE ")
        + exactlyEquals(QStringLiteral("t.") + quoteName(field), QStringLiteral("p.o")) + QLatin1Char(')');
    return QStringLiteral("UPDATE ") + quoteTable(table) + QStringLiteral(" AS t SET ") + quoteName(field)
        + QStringLiteral(" = (SELECT p.n") + pairOfRow + QStringLiteral(" WHERE EXISTS (SELECT 1") + pairOfRow;
}

QString EmbeddedDialect::dropStaging() const
{
    return QStringLiteral("DROP TABLE IF EXISTS temp.vantrell_pairs");
}

bool EmbeddedDialect::failureRepeats(const QString &sqlState, const QString &message) const
{
    // The engine reports a lock held by another connection as "database is locked".
    return SqlDialect::failureRepeats(sqlState, message)
        || message.contains(QLatin1String("database is locked"), Qt::CaseInsensitive)
        || message.contains(QLatin1String("database table is locked"), Qt::CaseInsensitive);
}
