// Every statement text that only SQL Server runs stands in this file.
#include "connection/SqlServerDialect.h"

#include "platform/JsonText.h"
#include "platform/odbc/Connection.h"

#include <QHash>
#include <QRegularExpression>

#include <utility>

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

// One of the catalogue's plain questions, asked on the connection.
odbc::RecordSet asked(odbc::Connection &connection, const SqlQuery &question)
{
    return connection.query(question.text, question.parameters);
}

} // namespace

QList<SqlQuery> SqlServerDialect::fieldLookups(const TableName &table, const QString &field) const
{
    // A column's type is its base type's (by the system type id, which names
    // no type for a CLR type, 240), else its own (by the user type id, which
    // every column has). The code page counts only for a single-byte text type.
    const QList<QVariant> name { quoteTable(table) };
    return { { QStringLiteral("SELECT TYPE_NAME(system_type_id), TYPE_NAME(user_type_id), CAST(is_computed AS int), "
                              "collation_name, CAST(max_length AS int), "
                              "CAST(COLLATIONPROPERTY(collation_name, 'CodePage') AS int) FROM sys.columns "
                              "WHERE object_id = OBJECT_ID(?) AND name = ?"),
                 name + QList<QVariant> { field } },
        { QStringLiteral("SELECT OBJECTPROPERTY(OBJECT_ID(?), 'IsUserTable')"), name },
        { QStringLiteral("SELECT object_id FROM sys.triggers WHERE parent_id = OBJECT_ID(?)"), name },
        { QStringLiteral("SELECT COUNT(*) FROM sys.triggers AS r JOIN sys.trigger_events AS e "
                         "ON e.object_id = r.object_id WHERE r.parent_id = OBJECT_ID(?) AND e.type_desc = 'UPDATE'"),
            name } };
}

// Plain questions, as for the keys: a join of the catalogue's views took
// twice as long to read on some servers as the questions take together.
std::optional<FieldFacts> SqlServerDialect::lookUpField(
    odbc::Connection &connection, const TableName &table, const QString &field) const
{
    const QList<SqlQuery> lookups = fieldLookups(table, field);
    const auto ask = [&](int question) { return asked(connection, lookups[question]); };
    FieldFacts facts;
    {
        const odbc::RecordSet column = ask(0);
        if (column.eof())
            return std::nullopt;
        facts.type = column.isNull(0) ? column.value(1).toString() : column.value(0).toString();
        facts.computed = column.value(2).toInt() != 0;
        facts.collation = column.value(3).toString();
        facts.maxLength = column.value(4).toInt();
        static const QStringList singleByteTexts
            = { QStringLiteral("char"), QStringLiteral("varchar"), QStringLiteral("text") };
        if (singleByteTexts.contains(facts.type, Qt::CaseInsensitive))
            facts.codePage = column.value(5).toUInt();
    }
    facts.userTable = ask(1).value(0).toInt() == 1;
    facts.updateTriggers = !ask(2).eof() && ask(3).value(0).toLongLong() > 0;
    return facts;
}

bool SqlServerDialect::isTextType(const QString &type) const
{
    static const QStringList textTypes = { QStringLiteral("char"), QStringLiteral("varchar"), QStringLiteral("text"),
        QStringLiteral("nchar"), QStringLiteral("nvarchar"), QStringLiteral("ntext") };
    return textTypes.contains(type, Qt::CaseInsensitive);
}

QList<SqlQuery> SqlServerDialect::keyLookups(const TableName &table) const
{
    // Only an index that names one row by its key columns alone will do:
    // unique, not filtered, enabled, real; included columns are no part of the
    // key. A column's own type is named by its user type id, which every
    // column has (CLR types included); the base type of an alias type by its
    // system type id, which names no type for a CLR type (240).
    const QList<QVariant> name { quoteTable(table) };
    return { { QStringLiteral("SELECT index_id FROM sys.indexes WHERE object_id = OBJECT_ID(?) AND is_unique = 1 "
                              "AND has_filter = 0 AND is_disabled = 0 AND is_hypothetical = 0 "
                              "ORDER BY is_primary_key DESC, index_id"),
                 name },
        { QStringLiteral("SELECT index_id, column_id FROM sys.index_columns WHERE object_id = OBJECT_ID(?) "
                         "AND is_included_column = 0 AND key_ordinal > 0 ORDER BY index_id, key_ordinal"),
            name },
        { QStringLiteral("SELECT column_id, name, TYPE_NAME(system_type_id), TYPE_NAME(user_type_id), max_length, "
                         "precision, scale, CAST(is_nullable AS int), collation_name FROM sys.columns "
                         "WHERE object_id = OBJECT_ID(?)"),
            name } };
}

// Three plain questions rather than one join of the catalogue's views: on
// some servers a connection's first statements take as long to read as they
// are intricate, and the join took twice as long as the three.
QList<KeyCandidate> SqlServerDialect::lookUpKeys(odbc::Connection &connection, const TableName &table) const
{
    const QList<SqlQuery> lookups = keyLookups(table);
    const auto ask = [&](int question) { return asked(connection, lookups[question]); };
    QList<int> indexes;
    for (odbc::RecordSet rows = ask(0); !rows.eof(); rows.moveNext())
        indexes << rows.value(0).toInt();
    if (indexes.isEmpty())
        return {};
    QHash<int, QList<int>> indexColumns;
    for (odbc::RecordSet rows = ask(1); !rows.eof(); rows.moveNext())
        indexColumns[rows.value(0).toInt()] << rows.value(1).toInt();
    QHash<int, KeyCandidate> columns;
    for (odbc::RecordSet rows = ask(2); !rows.eof(); rows.moveNext()) {
        KeyCandidate &column = columns[rows.value(0).toInt()];
        column.column.name = rows.value(1).toString();
        column.column.type = rows.isNull(2) ? rows.value(3).toString() : rows.value(2).toString();
        column.column.maxLength = rows.value(4).toInt();
        column.column.precision = rows.value(5).toInt();
        column.column.scale = rows.value(6).toInt();
        column.nullable = rows.value(7).toInt() != 0;
        column.column.collation = rows.value(8).toString();
    }
    QList<KeyCandidate> keys;
    for (const int index : std::as_const(indexes)) {
        for (const int columnId : indexColumns.value(index)) {
            // A column the table does not list names nothing the key could use.
            KeyCandidate key = columns.value(columnId, KeyCandidate { {}, {}, true });
            key.group = QString::number(index);
            keys << key;
        }
    }
    return keys;
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

namespace {

// Compares text character for character, whatever the column's own collation.
const QString Binary = QStringLiteral(" COLLATE Latin1_General_100_BIN2");

QString asUnicode(const QString &expression)
{
    return QStringLiteral("CAST(") + expression + QStringLiteral(" AS nvarchar(max))");
}

// A collation name as the catalogue gives it, safe to write into a statement.
bool isCollationName(const QString &name)
{
    static const QRegularExpression collationName(QStringLiteral("^[A-Za-z0-9_]+$"));
    return collationName.match(name).hasMatch();
}

// Rows of parameter markers for a VALUES list. Each value is cast to
// nvarchar(max): a text longer than 4,000 characters is bound as long text,
// which the driver may declare as ntext, a type a VALUES list cannot hold.
QString valueRows(int rows, int columns)
{
    const QString marker = QStringLiteral("CAST(? AS nvarchar(max))");
    QString row = QLatin1Char('(') + marker;
    for (int column = 1; column < columns; ++column)
        row += QStringLiteral(", ") + marker;
    row += QLatin1Char(')');
    QString list;
    list.reserve(rows * (row.size() + 2));
    for (int i = 0; i < rows; ++i) {
        if (i > 0)
            list += QStringLiteral(", ");
        list += row;
    }
    return list;
}

// Whether a text in JSON needs an escape: a quote, a backslash or a control character.
bool needsJsonEscape(const QString &text)
{
    return std::any_of(text.begin(), text.end(),
        [](const QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\\') || c.unicode() < 0x20; });
}

// The staging table keeps each old text with a character U+0001 after it,
// cut to its first 400 characters, as the key k: short enough for a hash
// join, and, for a text shorter than that, the text whole, its trailing
// blanks no longer trailing, so that "=" compares them too and texts alike
// but for their trailing blanks have keys of their own.
constexpr qsizetype StagedKeyLength = 400;
const QString StagedKeyType = QStringLiteral("nvarchar(%1)").arg(StagedKeyLength);

QString withEndMark(const QString &text)
{
    return text + QStringLiteral(" + NCHAR(1)");
}

QString stagedKeyOf(const QString &text)
{
    return QStringLiteral("CAST(") + withEndMark(text) + QStringLiteral(" AS ") + StagedKeyType + QLatin1Char(')');
}

} // namespace

QString SqlServerDialect::keyValue(const KeyColumn &column, const QString &value) const
{
    // A char or varchar key takes the column's own collation before the cast,
    // so the conversion to the column's code page is the one the column uses.
    QString parameter = value;
    const QString type = column.type.toLower();
    if ((type == QLatin1String("char") || type == QLatin1String("varchar")) && isCollationName(column.collation))
        parameter += QStringLiteral(" COLLATE ") + column.collation;
    return QStringLiteral("CAST(") + parameter + QStringLiteral(" AS ") + castType(column) + QLatin1Char(')');
}

QString SqlServerDialect::keyCondition(const KeyColumn &column, const QString &columnRef, const QString &value) const
{
    return columnRef + QStringLiteral(" = ") + keyValue(column, value);
}

QString SqlServerDialect::firstRows(const QString &columns, const QString &rest, int rows) const
{
    return QStringLiteral("SELECT TOP (%1) ").arg(rows) + columns + QLatin1Char(' ') + rest;
}

QString SqlServerDialect::exactlyEquals(const QString &fieldRef, const QString &value) const
{
    // "=" ignores trailing blanks and follows the column's collation (case,
    // accents, width): a binary collation plus equal lengths means the same
    // characters. The casts also make text and ntext comparable.
    return asUnicode(fieldRef) + Binary + QStringLiteral(" = ") + asUnicode(value) + QStringLiteral(" AND DATALENGTH(")
        + asUnicode(fieldRef) + QStringLiteral(") = DATALENGTH(") + asUnicode(value) + QLatin1Char(')');
}

QString SqlServerDialect::readAsText(const QString &fieldRef) const
{
    // char, varchar and text reach the program through the server's own
    // conversion, so the text read is the one the exact comparison sees.
    return asUnicode(fieldRef);
}

QString SqlServerDialect::storedLengthOf(const QString &fieldRef) const
{
    return QStringLiteral("DATALENGTH(") + asUnicode(fieldRef) + QLatin1Char(')');
}

qsizetype SqlServerDialect::storedLength(QStringView text) const
{
    if (m_counting == LengthCounting::Utf8Bytes)
        return text.toUtf8().size();
    return text.size() * 2;
}

void SqlServerDialect::learnFrom(odbc::Connection &connection)
{
    // U+65E5 takes two bytes in UTF-16 and three in UTF-8.
    try {
        const qint64 length = connection.query(QStringLiteral("SELECT DATALENGTH(CAST(NCHAR(26085) AS nvarchar(max)))"))
                                  .value(0)
                                  .toLongLong();
        m_counting = length == 3 ? LengthCounting::Utf8Bytes : LengthCounting::Utf16Bytes;
    } catch (const std::exception &) {
        // The server's own counting stays the one SQL Server has.
    }
}

void SqlServerDialect::learnWriting(odbc::Connection &connection, bool stagedPairsOnly)
{
    // OPENJSON runs on SQL Server 2016 and later in a database of
    // compatibility level 130 or more, and on some compatible engines that
    // report a lower level: only running it tells.
    m_chunkForm = ChunkForm::ValuesList;
    m_columnsNamedAsked = true;
    m_runsAsked = false;
    if (qEnvironmentVariableIsSet("VANTRELL_NO_OPENJSON"))
        return;
    // The question of the runs tells too. On Babelfish each question costs
    // its first reading, and the one of named columns took 0.15 to 0.2 s.
    if (stagedPairsOnly) {
        learnRuns(connection);
        m_runsAsked = true;
        if (m_stagesRuns) {
            m_chunkForm = ChunkForm::Json;
            m_columnsNamedAsked = false;
            return;
        }
    }
    // One question: a quote, a backslash and a line break, each escaped, in
    // the third row. SQL Server gives back the three characters; an engine
    // that gives back the escapes as they stand has such rows sent as VALUES
    // lists.
    try {
        const odbc::RecordSet answer = connection.query(
            QStringLiteral("SELECT COUNT(*), MAX(CASE WHEN v.x = NCHAR(34) + NCHAR(92) + NCHAR(10) THEN 1 ELSE 0 END) "
                           "FROM OPENJSON(CAST(N'[[\"a\",\"b\"],[\"c\",null],[\"\\\"\\\\\\n\",\"d\"]]' "
                           "AS nvarchar(max))) WITH (x nvarchar(max) '$[0]', y nvarchar(max) '$[1]') AS v "
                           "WHERE (v.y IS NULL AND v.x = N'c') OR v.y = N'd'"));
        if (answer.value(0).toLongLong() == 2) {
            m_chunkForm = ChunkForm::Json;
            m_jsonEscapesDecoded = answer.value(1).toInt() == 1;
        }
    } catch (const std::exception &) {
        // Chunks go as VALUES lists.
    }
}

void SqlServerDialect::learnStaging(odbc::Connection &connection)
{
    if (m_chunkForm != ChunkForm::Json)
        return;
    if (!std::exchange(m_runsAsked, true))
        learnRuns(connection);
    if (!m_stagesRuns)
        learnPicking(connection);
}

// Whether OPENJSON numbers the texts of an array from 0 and hands them over
// exactly, read back as a run reads them: a text of characters of two and
// four bytes ending in a blank, and a text of the longest length a run
// takes in three-byte characters; and whether it decodes a quote, a
// backslash and a line break, each escaped. The texts are compared here:
// the question is then as plain as a run's statement, whose reading the
// server has to learn anyway, and costs little more than a chunk.
void SqlServerDialect::learnRuns(odbc::Connection &connection)
{
    m_stagesRuns = false;
    m_runEscapesDecoded = false;
    const QList<QVariant> texts { QStringLiteral("d\u00e9\U0001F600 "), QString(LongestRunValue, QChar(0x65e5)),
        QStringLiteral("\"\\\n") };
    QByteArray olds;
    JsonText::appendArray(olds, texts);
    try {
        QList<QVariant> found;
        for (odbc::RecordSet rows = connection.query(
                 QStringLiteral("SELECT CAST(o.[key] AS int), o.value, n.value FROM OPENJSON(CAST(? AS nvarchar(max))) "
                                "AS o JOIN OPENJSON(CAST(? AS nvarchar(max))) AS n ON CAST(n.[key] AS int) = "
                                "CAST(o.[key] AS int) ORDER BY CAST(o.[key] AS int)"),
                 { QString::fromUtf8(olds), QStringLiteral("[\"0\",\"1\",\"2\"]") });
             !rows.eof(); rows.moveNext()) {
            if (rows.value(0).toInt() != found.size() || rows.value(2).toString() != QString::number(found.size()))
                return;
            found << rows.value(1);
        }
        if (found.size() != texts.size() || found[0] != texts[0] || found[1] != texts[1])
            return;
        m_stagesRuns = true;
        m_runEscapesDecoded = found[2] == texts[2];
    } catch (const std::exception &) {
        // Pairs go as parts() sends them.
    }
}

// Whether JSON_VALUE picks texts from the rows of a chunk right: a text of
// characters of two and four bytes ending in a blank, compared character for
// character; a text of the longest length picked in three-byte characters;
// and (the second column) a quote, a backslash and a line break, each escaped.
void SqlServerDialect::learnPicking(odbc::Connection &connection)
{
    m_picksJsonValues = false;
    m_pickedEscapesDecoded = false;
    try {
        const odbc::RecordSet found = connection.query(QStringLiteral(
            "SELECT SUM(CASE WHEN (r.x = N'c' AND r.y COLLATE Latin1_General_100_BIN2 = N'd\u00e9\U0001F600 ' "
            "AND DATALENGTH(r.y) = DATALENGTH(N'd\u00e9\U0001F600 ')) "
            "OR (r.x = N'e' AND r.y = REPLICATE(NCHAR(26085), %1) AND LEN(r.y) = %1) THEN 1 ELSE 0 END), "
            "SUM(CASE WHEN r.x = NCHAR(34) + NCHAR(92) + NCHAR(10) AND r.y = N'f' THEN 1 ELSE 0 END) "
            "FROM (SELECT JSON_VALUE(v.value, '$[0]') AS x, JSON_VALUE(v.value, '$[1]') AS y "
            "FROM OPENJSON(CAST(N'[[\"c\",\"d\u00e9\U0001F600 \"],[\"e\",\"' + REPLICATE(NCHAR(26085), %1) + "
            "N'\"],[\"\\\"\\\\\\n\",\"f\"]]' AS nvarchar(max))) AS v) AS r")
                                                           .arg(LongestPickedValue));
        m_picksJsonValues = found.value(0).toLongLong() == 2;
        m_pickedEscapesDecoded = m_picksJsonValues && found.value(1).toLongLong() == 1;
    } catch (const std::exception &) {
        // Every JSON chunk names its columns.
    }
}

// The rows of a chunk as the derived table v with the named columns: one
// JSON parameter read by OPENJSON, or a VALUES list of a marker per value.
QString SqlServerDialect::chunkRows(ChunkShape shape, const QStringList &columns) const
{
    if (shape.carrier == ChunkCarrier::Parameters)
        return QStringLiteral("(VALUES ") + valueRows(shape.records, int(columns.size())) + QStringLiteral(") AS v (")
            + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
    if (shape.carrier == ChunkCarrier::JsonValues) {
        // Every value sent so is a text: a Null picked would be one the
        // server could not pick, which the staging table does not take.
        QString picked;
        for (int i = 0; i < columns.size(); ++i)
            picked += (i == 0 ? QString() : QStringLiteral(", ")) + QStringLiteral("JSON_VALUE(r.value, '$[")
                + QString::number(i) + QStringLiteral("]') AS ") + columns[i];
        return QStringLiteral("(SELECT ") + picked
            + QStringLiteral(" FROM OPENJSON(CAST(? AS nvarchar(max))) AS r) AS v");
    }
    // The parameter is cast, as the driver may bind a long text as ntext,
    // which OPENJSON does not take.
    QString with;
    for (int i = 0; i < columns.size(); ++i)
        with += (i == 0 ? QString() : QStringLiteral(", ")) + columns[i] + QStringLiteral(" nvarchar(max) '$[")
            + QString::number(i) + QStringLiteral("]'");
    return QStringLiteral("OPENJSON(CAST(? AS nvarchar(max))) WITH (") + with + QStringLiteral(") AS v");
}

int SqlServerDialect::chunkRecords(int keyColumns) const
{
    // One parameter carries the whole chunk, so its size follows the
    // server's cost per statement instead of the parameter limit. Staged
    // pairs lock nothing: each statement's own cost (round trips, a
    // transaction) took a third of the staging of 2,000 pairs.
    if (m_chunkForm == ChunkForm::Json)
        return keyColumns == 0 ? 8000 : 2000;
    return SqlDialect::chunkRecords(keyColumns);
}

int SqlServerDialect::namedRowsAtOnce(int keyColumns) const
{
    return m_chunkForm == ChunkForm::Json ? 16000 : SqlDialect::chunkRecords(keyColumns);
}

QList<QVariant> SqlServerDialect::chunkParameters(QList<QVariant> values, int columns, int capacity) const
{
    if (m_chunkForm == ChunkForm::ValuesList)
        return SqlDialect::chunkParameters(std::move(values), columns, capacity);
    // An array of rows, each an array of its values; no padding.
    QByteArray json = "[";
    json.reserve(values.size() * 24);
    for (qsizetype from = 0; from < values.size(); from += columns) {
        if (from > 0)
            json += ',';
        JsonText::appendArray(json, values.mid(from, columns));
    }
    json += ']';
    return { QString::fromUtf8(json) };
}

QList<ChunkPart> SqlServerDialect::chunkParts(QList<QVariant> values, int columns, int capacity) const
{
    return parts(std::move(values), columns, capacity, false);
}

QList<ChunkPart> SqlServerDialect::stagingParts(QList<QVariant> values, int columns, int capacity) const
{
    if (m_chunkForm == ChunkForm::Json && m_stagesRuns && columns == StagedValues)
        return stagedRuns(std::move(values), capacity);
    return parts(std::move(values), columns, capacity, m_picksJsonValues);
}

QList<ChunkPart> SqlServerDialect::stagedRuns(QList<QVariant> values, int capacity) const
{
    constexpr int Number = 0, Old = 1, New = 2, Rows = 3, Records = 4, Mode = 5;
    const qsizetype pairs = values.size() / StagedValues;
    const auto value
        = [&](qsizetype pair, int column) -> const QVariant & { return values[pair * StagedValues + column]; };
    const auto goesInRun = [&](qsizetype pair) {
        if (!value(pair, Number).isValid())
            return false;
        for (const int column : { Old, New }) {
            const QVariant &text = value(pair, column);
            if (text.isNull() || text.toString().size() > LongestRunValue
                || (!m_runEscapesDecoded && needsJsonEscape(text.toString())))
                return false;
        }
        return true;
    };
    const QLatin1String one("1");
    QList<ChunkPart> runs;
    QList<QVariant> rest;
    for (qsizetype pair = 0; pair < pairs;) {
        if (!goesInRun(pair)) {
            rest << values.mid(pair * StagedValues, StagedValues);
            ++pair;
            continue;
        }
        const qsizetype first = pair;
        const qint64 firstNumber = value(first, Number).toLongLong();
        bool counted = false;
        for (; pair < pairs && goesInRun(pair) && value(pair, Number).toLongLong() == firstNumber + (pair - first)
             && value(pair, Mode) == value(first, Mode);
             ++pair)
            counted = counted || value(pair, Rows).toString() != one || value(pair, Records).toString() != one;
        if (pair - first < shortestRun(capacity)) {
            rest << values.mid(first * StagedValues, (pair - first) * StagedValues);
            continue;
        }
        QList<QVariant> parameters { value(first, Number), value(first, Mode) };
        for (const int column : counted ? QList<int> { Old, New, Rows, Records } : QList<int> { Old, New }) {
            QList<QVariant> texts;
            texts.reserve(pair - first);
            for (qsizetype member = first; member < pair; ++member)
                texts << value(member, column);
            QByteArray json;
            JsonText::appendArray(json, texts);
            parameters << QString::fromUtf8(json);
        }
        runs << ChunkPart { ChunkShape(capacity, counted ? ChunkCarrier::JsonCountedRun : ChunkCarrier::JsonRun),
            std::move(parameters) };
    }
    if (!rest.isEmpty())
        runs << parts(std::move(rest), StagedValues, capacity, m_picksJsonValues);
    return runs;
}

QList<ChunkPart> SqlServerDialect::parts(QList<QVariant> values, int columns, int capacity, bool picking) const
{
    if (m_chunkForm == ChunkForm::ValuesList)
        return SqlDialect::chunkParts(std::move(values), columns, capacity);
    QList<QVariant> picked; // rows of short texts alone, whose values JSON_VALUE picks
    QList<QVariant> plain; // rows whose values OPENJSON carries as they are
    // Rows that go as VALUES lists: those of an escape the server does not
    // decode, or all where it was not asked of named columns.
    QList<QVariant> listed;
    if (!m_columnsNamedAsked) {
        listed = std::move(values);
    } else if (m_jsonEscapesDecoded && !picking) {
        plain = std::move(values);
    } else {
        const auto pickable
            = [](const QVariant &value) { return !value.isNull() && value.toString().size() <= LongestPickedValue; };
        // Where every form decodes escapes, no row need be looked at for them.
        const bool escapesMatter = !m_jsonEscapesDecoded || !m_pickedEscapesDecoded;
        for (qsizetype from = 0; from < values.size(); from += columns) {
            const QList<QVariant> row = values.mid(from, columns);
            const bool escapes = escapesMatter && std::any_of(row.begin(), row.end(), [](const QVariant &value) {
                return needsJsonEscape(value.toString());
            });
            if (picking && (m_pickedEscapesDecoded || !escapes) && std::all_of(row.begin(), row.end(), pickable))
                picked << row;
            else
                (escapes && !m_jsonEscapesDecoded ? listed : plain) << row;
        }
    }
    QList<ChunkPart> parts;
    if (!picked.isEmpty())
        parts << ChunkPart { ChunkShape(capacity, ChunkCarrier::JsonValues),
            chunkParameters(std::move(picked), columns, capacity) };
    if (!plain.isEmpty())
        parts << ChunkPart { ChunkShape(capacity, ChunkCarrier::Json),
            chunkParameters(std::move(plain), columns, capacity) };
    const int perList = SqlDialect::chunkRecords(columns - 2);
    for (qsizetype from = 0; from < listed.size(); from += qsizetype(perList) * columns)
        parts << ChunkPart { ChunkShape(perList),
            SqlDialect::chunkParameters(listed.mid(from, qsizetype(perList) * columns), columns, perList) };
    return parts;
}

QString SqlServerDialect::joinChunkByKey(const TableName &table, const QList<KeyColumn> &key, ChunkShape shape) const
{
    QStringList names;
    QString conditions;
    for (int i = 0; i < key.size(); ++i) {
        const QString name = QStringLiteral("k%1").arg(i + 1);
        names << name;
        if (i > 0)
            conditions += QStringLiteral(" AND ");
        conditions += keyCondition(key[i], QStringLiteral("t.") + quoteName(key[i].name), QStringLiteral("v.") + name);
    }
    return QStringLiteral("FROM ") + quoteTable(table) + QStringLiteral(" AS t JOIN ")
        + chunkRows(shape, names << QStringLiteral("o") << QStringLiteral("n")) + QStringLiteral(" ON ") + conditions;
}

QString SqlServerDialect::updateChunkByKey(
    const TableName &table, const QString &field, const QList<KeyColumn> &key, ChunkShape shape) const
{
    return QStringLiteral("UPDATE t SET ") + quoteName(field) + QStringLiteral(" = v.n ")
        + joinChunkByKey(table, key, shape) + QStringLiteral(" WHERE ")
        + exactlyEquals(QStringLiteral("t.") + quoteName(field), QStringLiteral("v.o"));
}

// No index while the pairs go in: on Babelfish keeping one of their numbers
// up took a sixth of each chunk's time. One batch: a statement is a round
// trip, and on Babelfish each takes a while to read the first time.
QStringList SqlServerDialect::createStaging() const
{
    return { dropStaging() + QStringLiteral("; CREATE TABLE #vantrell_pairs (i int NOT NULL, k ") + StagedKeyType
        + Binary + QStringLiteral(" NOT NULL, o nvarchar(max)") + Binary
        + QStringLiteral(" NOT NULL, n nvarchar(max) NOT NULL, r bigint NOT NULL, c bigint NOT NULL, "
                         "m int NOT NULL)") };
}

// Where every old text is whole in its key, the keys are known to be
// unique: some servers then hash the staged pairs at the end rather than
// sort them and the table's texts. Other keys have no index: the joins of
// the end hash every staged pair by its key, and building it took a tenth
// of the end.
QString SqlServerDialect::indexStaging(qsizetype longestOldText) const
{
    if (longestOldText >= StagedKeyLength)
        return {};
    return QStringLiteral("CREATE UNIQUE INDEX vantrell_pairs_k ON #vantrell_pairs (k)");
}

QString SqlServerDialect::indexStagingByNumber() const
{
    return QStringLiteral("CREATE UNIQUE INDEX vantrell_pairs_i ON #vantrell_pairs (i)");
}

std::optional<ChunkPart> SqlServerDialect::emptyStagingPart(int capacity) const
{
    if (m_chunkForm != ChunkForm::Json || !m_stagesRuns)
        return std::nullopt;
    return ChunkPart { ChunkShape(capacity, ChunkCarrier::JsonRun),
        { QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("[]"), QStringLiteral("[]") } };
}

QString SqlServerDialect::stageChunk(ChunkShape pairs) const
{
    // The arrays are joined by place as numbers: OPENJSON gives each place as
    // text, and joining on that text under the database's collation took
    // twice as long as the rest of the statement.
    if (pairs.carrier == ChunkCarrier::JsonRun || pairs.carrier == ChunkCarrier::JsonCountedRun) {
        const bool counted = pairs.carrier == ChunkCarrier::JsonCountedRun;
        return QStringLiteral("INSERT INTO #vantrell_pairs (i, k, o, n, r, c, m) SELECT CAST(? AS int) + "
                              "CAST(o.[key] AS int), ")
            + stagedKeyOf(QStringLiteral("o.value")) + QStringLiteral(", o.value, n.value, ")
            + (counted ? QStringLiteral("CAST(r.value AS bigint), CAST(c.value AS bigint)") : QStringLiteral("1, 1"))
            + QStringLiteral(", CAST(? AS int) FROM OPENJSON(CAST(? AS nvarchar(max))) AS o JOIN OPENJSON(CAST(? AS "
                             "nvarchar(max))) AS n ON CAST(n.[key] AS int) = CAST(o.[key] AS int)")
            + (counted ? QStringLiteral(" JOIN OPENJSON(CAST(? AS nvarchar(max))) AS r ON CAST(r.[key] AS int) = "
                                        "CAST(o.[key] AS int) JOIN OPENJSON(CAST(? AS nvarchar(max))) AS c ON "
                                        "CAST(c.[key] AS int) = CAST(o.[key] AS int)")
                       : QString());
    }
    return QStringLiteral("INSERT INTO #vantrell_pairs (i, k, o, n, r, c, m) SELECT CAST(v.i AS int), ")
        + stagedKeyOf(QStringLiteral("v.o"))
        + QStringLiteral(", v.o, v.n, CAST(v.r AS bigint), CAST(v.c AS bigint), CAST(v.m AS int) FROM ")
        + chunkRows(pairs,
            { QStringLiteral("i"), QStringLiteral("o"), QStringLiteral("n"), QStringLiteral("r"), QStringLiteral("c"),
                QStringLiteral("m") })
        + QStringLiteral(" WHERE v.i IS NOT NULL");
}

// A staged pair is found by its key k, then compared whole; where every
// staged old text is whole in its key, the key alone says it.
QString SqlServerDialect::matchesStaged(const QString &fieldRef, qsizetype longestOldText) const
{
    if (longestOldText < StagedKeyLength)
        return QLatin1Char('(') + withEndMark(asUnicode(fieldRef)) + QLatin1Char(')') + Binary
            + QStringLiteral(" = p.k");
    return stagedKeyOf(asUnicode(fieldRef)) + Binary + QStringLiteral(" = p.k AND ")
        + exactlyEquals(fieldRef, QStringLiteral("p.o"));
}

QString SqlServerDialect::stagedPairsMoved(const TableName &table, const QString &field, qsizetype longestOldText) const
{
    // The rows counted stay locked until the change is committed, so the
    // counts still hold when the rows are changed.
    const QString fieldRef = QStringLiteral("t.") + quoteName(field);
    return QStringLiteral("SELECT s.i, s.o, s.n, s.c FROM #vantrell_pairs AS s LEFT JOIN (SELECT p.i, COUNT_BIG(*) "
                          "AS h FROM ")
        + quoteTable(table) + QStringLiteral(" AS t WITH (UPDLOCK, HOLDLOCK) JOIN #vantrell_pairs AS p ON ")
        + matchesStaged(fieldRef, longestOldText)
        + QStringLiteral(" GROUP BY p.i) AS h ON h.i = s.i WHERE COALESCE(h.h, 0) <> s.r");
}

// Without joining each pair back to its count: a third less work where the
// server hashes every pair. Nor in a derived table: on Babelfish that took
// 0.13 to 0.2 s more to read the first time.
QString SqlServerDialect::stagedPairsMiscounted(
    const TableName &table, const QString &field, qsizetype longestOldText) const
{
    const QString fieldRef = QStringLiteral("t.") + quoteName(field);
    return QStringLiteral("SELECT p.i FROM ") + quoteTable(table)
        + QStringLiteral(" AS t WITH (UPDLOCK, HOLDLOCK) JOIN #vantrell_pairs AS p ON ")
        + matchesStaged(fieldRef, longestOldText) + QStringLiteral(" GROUP BY p.i, p.r HAVING COUNT_BIG(*) <> p.r");
}

SqlQuery SqlServerDialect::sortedRows(const TableName &table, const QString &field, int, const QVariant &) const
{
    // Equal under a binary collation and of the same length: the same text.
    // Each row's count is that of its peers in the order of the result (the
    // rows of its text), not of a partition: some servers sort a partition
    // with Nulls last and T-SQL's order with Nulls first, so the rows were
    // sorted twice.
    const QString quoted = quoteName(field);
    const QString order
        = asUnicode(quoted) + Binary + QStringLiteral(", DATALENGTH(") + asUnicode(quoted) + QLatin1Char(')');
    return { QStringLiteral("SELECT ") + changeColumns(field, {}) + QStringLiteral(", COUNT_BIG(*) OVER (ORDER BY ")
            + order + QStringLiteral(" RANGE BETWEEN CURRENT ROW AND CURRENT ROW) FROM ") + quoteTable(table)
            + QStringLiteral(" ORDER BY ") + order,
        {} };
}

QString SqlServerDialect::stagingTable() const
{
    return QStringLiteral("#vantrell_pairs");
}

QString SqlServerDialect::unstagePair() const
{
    return QStringLiteral("DELETE FROM #vantrell_pairs WHERE i = ?");
}

QString SqlServerDialect::countByValue(const TableName &table, const QString &field) const
{
    const QString fieldRef = QStringLiteral("t.") + quoteName(field);
    return QStringLiteral("SELECT COUNT_BIG(*) FROM ") + quoteTable(table)
        + QStringLiteral(" AS t WITH (UPDLOCK, HOLDLOCK) WHERE ") + exactlyEquals(fieldRef, QStringLiteral("?"));
}

QString SqlServerDialect::applyStaged(
    const TableName &table, const QString &field, bool, qsizetype longestOldText) const
{
    const QString fieldRef = QStringLiteral("t.") + quoteName(field);
    return QStringLiteral("UPDATE t SET ") + quoteName(field) + QStringLiteral(" = p.n FROM ") + quoteTable(table)
        + QStringLiteral(" AS t JOIN #vantrell_pairs AS p ON ") + matchesStaged(fieldRef, longestOldText);
}

QString SqlServerDialect::dropStaging() const
{
    return QStringLiteral("IF OBJECT_ID('tempdb..#vantrell_pairs') IS NOT NULL DROP TABLE #vantrell_pairs");
}

QString SqlServerDialect::unrepresentable(const FieldFacts &facts, ChunkShape records) const
{
    if (facts.codePage == 0)
        return {};
    // The new text in the field's own code page, by the server's conversion,
    // and back: anything lost or replaced on the way shows as a difference.
    const QString inCodePage = QStringLiteral("CAST(v.n")
        + (isCollationName(facts.collation) ? QStringLiteral(" COLLATE ") + facts.collation : QString())
        + QStringLiteral(" AS varchar(max))");
    QString condition = asUnicode(inCodePage) + Binary + QStringLiteral(" <> ") + asUnicode(QStringLiteral("v.n"))
        + QStringLiteral(" OR DATALENGTH(") + asUnicode(inCodePage) + QStringLiteral(") <> DATALENGTH(")
        + asUnicode(QStringLiteral("v.n")) + QLatin1Char(')');
    // A code page of several bytes per character (UTF-8 among them) can make
    // the new text longer in bytes than the old.
    const QString type = facts.type.toLower();
    if ((type == QLatin1String("char") || type == QLatin1String("varchar")) && facts.maxLength > 0)
        condition += QStringLiteral(" OR DATALENGTH(") + inCodePage + QStringLiteral(") > ")
            + QString::number(facts.maxLength);
    return QStringLiteral("SELECT v.i FROM ") + chunkRows(records, { QStringLiteral("i"), QStringLiteral("n") })
        + QStringLiteral(" WHERE v.i IS NOT NULL AND (") + condition + QLatin1Char(')');
}
