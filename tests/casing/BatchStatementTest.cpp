#include "connection/EmbeddedDialect.h"
#include "connection/SqlDialect.h"
#include "connection/SqlServerDialect.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

// The SQL Server form of the batch change's statements, checked on their text
// (no SQL Server runs in these tests).
class BatchStatementTest : public QObject {
    Q_OBJECT

private slots:
    void onlyExactTypesKeyARow_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("collation");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("condition");
        QTest::newRow("int") << "int" << 4 << "" << true << "[K] = CAST(? AS int)";
        QTest::newRow("bigint") << "bigint" << 8 << "" << true << "[K] = CAST(? AS bigint)";
        QTest::newRow("decimal") << "decimal" << 9 << "" << true << "[K] = CAST(? AS decimal(12, 2))";
        QTest::newRow("guid") << "uniqueidentifier" << 16 << "" << true << "[K] = CAST(? AS uniqueidentifier)";
        QTest::newRow("varchar") << "varchar" << 20 << "SQL_Latin1_General_CP1_CI_AS" << true
                                 << "[K] = CAST(? COLLATE SQL_Latin1_General_CP1_CI_AS AS varchar(20))";
        QTest::newRow("nvarchar") << "nvarchar" << 40 << "Latin1_General_CI_AS" << true
                                  << "[K] = CAST(? AS nvarchar(20))";
        QTest::newRow("nchar") << "nchar" << 10 << "Latin1_General_CI_AS" << true << "[K] = CAST(? AS nchar(5))";
        QTest::newRow("odd collation text") << "char" << 3 << "x'; --" << true << "[K] = CAST(? AS char(3))";
        QTest::newRow("float") << "float" << 8 << "" << false << "";
        QTest::newRow("real") << "real" << 4 << "" << false << "";
        QTest::newRow("datetime") << "datetime" << 8 << "" << false << "";
        QTest::newRow("money") << "money" << 8 << "" << false << "";
        QTest::newRow("binary") << "varbinary" << 16 << "" << false << "";
        QTest::newRow("hierarchyid") << "hierarchyid" << 892 << "" << false << "";
        QTest::newRow("geography") << "geography" << -1 << "" << false << "";
        QTest::newRow("user CLR type") << "Point" << 25 << "" << false << "";
        QTest::newRow("no type found") << "" << 0 << "" << false << "";
    }

    // Key conditions are tested through the update they stand in.
    void onlyExactTypesKeyARow()
    {
        QFETCH(QString, type);
        QFETCH(int, maxLength);
        QFETCH(QString, collation);
        QFETCH(bool, accepted);
        QFETCH(QString, condition);
        const KeyColumn column { "K", type, maxLength, 12, 2, collation };
        SqlServerDialect dialect;
        QCOMPARE(dialect.isKeyType(column), accepted);
        if (accepted)
            QVERIFY2(dialect.updateByKey({ {}, "T" }, "F", { column }).contains(" WHERE " + condition + " AND "),
                qPrintable(dialect.updateByKey({ {}, "T" }, "F", { column })));
    }

    // What matters in the statements of the batch change: the table named with
    // its schema, the field compared character for character and by length,
    // and no clause that a joined update cannot carry. The length is what the
    // server stores: UTF-16 code units, or UTF-8 bytes on some compatible engines.
    void statementsNameTheTableAndCompareExactly()
    {
        SqlServerDialect dialect;
        const QList<KeyColumn> key
            = { { "Id", "int", 4, 10, 0, "" }, { "Region", "nvarchar", 20, 0, 0, "Latin1_General_CI_AS" } };
        const TableName table { "sa]les", "My Table" };
        for (const QString &statement : { dialect.updateByKey(table, "Ci]ty", key),
                 dialect.updateChunkByKey(table, "Ci]ty", key, 3), dialect.updateByValue(table, "Ci]ty") }) {
            QVERIFY2(statement.contains("[sa]]les].[My Table]"), qPrintable(statement));
            QVERIFY2(statement.contains("[Ci]]ty] AS nvarchar(max)) COLLATE Latin1_General_100_BIN2 = CAST("),
                qPrintable(statement));
            QVERIFY2(statement.contains("DATALENGTH(CAST("), qPrintable(statement));
            QVERIFY2(!statement.contains("OUTPUT"), qPrintable(statement));
        }
        QCOMPARE(dialect.storedLength(u"ab\u00e9"), 6);
        // A server that counts the UTF-8 bytes it stores, as some SQL Server-compatible engines do.
        SqlServerDialect utf8;
        utf8.setLengthCounting(SqlServerDialect::LengthCounting::Utf8Bytes);
        QCOMPARE(utf8.storedLength(u"ab\u00e9\u65e5"), 7);
        QCOMPARE(utf8.storedLength(QString::fromUcs4(U"\U0001F600")), 4);
    }

    // With OPENJSON a chunk is one parameter, whatever its size; a server that
    // hands back escapes gets the rows that need them as VALUES lists, within
    // the parameter limit, and every row goes exactly once.
    void jsonChunkParts()
    {
        SqlServerDialect dialect;
        dialect.setChunkForm(SqlServerDialect::ChunkForm::Json);
        const QList<KeyColumn> key { { "Id", "int", 4, 10, 0, "" } };
        QCOMPARE(dialect.updateChunkByKey({ {}, "T" }, "F", key, ChunkShape(2000, ChunkCarrier::Json)).count('?'), 1);
        QList<QVariant> values;
        for (int i = 0; i < 2000; ++i)
            values << QString::number(i) << QStringLiteral("old %1").arg(i)
                   << (i % 3 == 0 ? QStringLiteral("say \"%1\"").arg(i) : QStringLiteral("new %1").arg(i));
        QCOMPARE(dialect.chunkParts(values, 3, 2000).size(), 1);
        dialect.setJsonEscapesDecoded(false);
        const QList<ChunkPart> parts = dialect.chunkParts(values, 3, 2000);
        QSet<QString> carried;
        qsizetype rows = 0;
        for (const ChunkPart &part : parts) {
            if (part.shape.carrier == ChunkCarrier::Json) {
                QCOMPARE(part.parameters.size(), 1);
                const QJsonArray array = QJsonDocument::fromJson(part.parameters[0].toString().toUtf8()).array();
                for (const QJsonValue &row : array) {
                    QVERIFY(!row[2].toString().contains('"'));
                    carried << row[0].toString();
                    ++rows;
                }
            } else {
                QVERIFY(part.parameters.size() <= 2100);
                QCOMPARE(part.parameters.size(), 3 * part.shape.records);
                for (qsizetype i = 0; i < part.parameters.size(); i += 3)
                    if (part.parameters[i].isValid()) {
                        QVERIFY(part.parameters[i + 2].toString().contains('"'));
                        carried << part.parameters[i].toString();
                        ++rows;
                    }
            }
        }
        QCOMPARE(rows, 2000);
        QCOMPARE(carried.size(), 2000);
    }

    // Where JSON_VALUE picks values right, staged rows of short texts alone go
    // that way; a Null or a long text goes with its columns named, and an
    // escape that the picking would hand back as it stands goes as a VALUES
    // list. Chunks joined to the table always name their columns.
    void pickedJsonChunkParts()
    {
        SqlServerDialect dialect;
        dialect.setChunkForm(SqlServerDialect::ChunkForm::Json);
        dialect.setJsonEscapesDecoded(false);
        dialect.setPicksJsonValues(true, false);
        const QString longest(SqlServerDialect::LongestPickedValue, QChar(0x65e5));
        const QList<QList<QVariant>> rows { { "1", "plain", "PLAIN" }, { "2", longest, longest },
            { "3", longest + "x", longest + "X" }, { "4", QVariant(), "NEW" }, { "5", "say \"a\"", "SAY \"A\"" } };
        QList<QVariant> values;
        for (const QList<QVariant> &row : rows)
            values << row;
        for (const ChunkPart &part : dialect.chunkParts(values, 3, 2000))
            QVERIFY(part.shape.carrier != ChunkCarrier::JsonValues);
        QHash<QString, ChunkCarrier> carriers;
        for (const ChunkPart &part : dialect.stagingParts(values, 3, 2000)) {
            const int step = part.shape.carrier == ChunkCarrier::Parameters ? 3 : 1;
            for (qsizetype i = 0; i < part.parameters.size(); i += step) {
                if (step == 3) {
                    if (part.parameters[i].isValid())
                        carriers.insert(part.parameters[i].toString(), part.shape.carrier);
                    continue;
                }
                for (const QJsonValue row : QJsonDocument::fromJson(part.parameters[i].toString().toUtf8()).array())
                    carriers.insert(row[0].toString(), part.shape.carrier);
            }
        }
        const QHash<QString, ChunkCarrier> expected { { "1", ChunkCarrier::JsonValues },
            { "2", ChunkCarrier::JsonValues }, { "3", ChunkCarrier::Json }, { "4", ChunkCarrier::Json },
            { "5", ChunkCarrier::Parameters } };
        QCOMPARE(carriers, expected);
        // Picked, every value is read from its row.
        const QString stage = dialect.stageChunk(ChunkShape(2000, ChunkCarrier::JsonValues));
        QVERIFY2(stage.contains("JSON_VALUE(r.value, '$[5]') AS m FROM OPENJSON(CAST(? AS nvarchar(max))) AS r"),
            qPrintable(stage));
    }

    // Where OPENJSON hands over an array's texts by their place, staged pairs
    // numbered one after another in one mode go as runs of a JSON array a
    // column, unless the run is short; a text that would need an escape the
    // server does not decode, or is too long, goes otherwise. Every pair
    // still goes exactly once, with all that is known of it.
    void stagedRunsCarryEveryPairOnce()
    {
        SqlServerDialect dialect;
        dialect.setChunkForm(SqlServerDialect::ChunkForm::Json);
        dialect.setJsonEscapesDecoded(false);
        dialect.setStagesRuns(true, false);
        const int capacity = 2000;
        QList<QStringList> pairs; // number, old, new, rows, records, mode
        QSet<QString> expectedInRuns;
        int number = 10;
        const auto add = [&](int count, const QString &mode, bool run, const QString &old = {}, int rows = 1) {
            for (int i = 0; i < count; ++i, ++number) {
                pairs.append({ QString::number(number), old.isEmpty() ? QStringLiteral("old %1").arg(number) : old,
                    QStringLiteral("NEW %1").arg(number), QString::number(rows), QString::number(rows > 1 ? 2 : 1),
                    mode });
                if (run)
                    expectedInRuns << QString::number(number);
            }
        };
        add(300, "0", true);
        add(100, "2", true);
        add(1, "2", true, {}, 3); // of three rows and two records: the run says so
        add(99, "2", true);
        add(SqlServerDialect::shortestRun(capacity) - 1, "1", false); // too short a run to go alone
        number += 5; // not numbered on from the pairs before
        add(150, "1", true);
        add(1, "1", false, "say \"a\""); // an escape the server would not decode
        add(149, "1", true);
        add(1, "1", false, QString(SqlServerDialect::LongestRunValue + 1, 'x'));
        QList<QVariant> values;
        for (const QStringList &pair : std::as_const(pairs))
            for (const QString &value : pair)
                values << value;

        QList<QStringList> carried;
        QSet<QString> inRuns;
        QMap<ChunkCarrier, int> runs;
        QMap<ChunkCarrier, int> others;
        const auto jsonArray
            = [](const QVariant &parameter) { return QJsonDocument::fromJson(parameter.toString().toUtf8()).array(); };
        const auto carry = [&] {
            carried.clear();
            inRuns.clear();
            runs.clear();
            others.clear();
            for (const ChunkPart &part : dialect.stagingParts(values, SqlDialect::StagedValues, capacity)) {
                switch (part.shape.carrier) {
                case ChunkCarrier::JsonRun:
                case ChunkCarrier::JsonCountedRun: {
                    const bool counted = part.shape.carrier == ChunkCarrier::JsonCountedRun;
                    ++runs[part.shape.carrier];
                    QCOMPARE(part.parameters.size(), counted ? 6 : 4);
                    const QJsonArray olds = jsonArray(part.parameters[2]);
                    const QJsonArray news = jsonArray(part.parameters[3]);
                    QCOMPARE(news.size(), olds.size());
                    for (qsizetype place = 0; place < olds.size(); ++place) {
                        const QString pairNumber = QString::number(part.parameters[0].toInt() + place);
                        carried.append({ pairNumber, olds[place].toString(), news[place].toString(),
                            counted ? jsonArray(part.parameters[4])[place].toString() : "1",
                            counted ? jsonArray(part.parameters[5])[place].toString() : "1",
                            part.parameters[1].toString() });
                        inRuns << pairNumber;
                    }
                    break;
                }
                case ChunkCarrier::Json:
                case ChunkCarrier::JsonValues:
                    ++others[part.shape.carrier];
                    for (const QJsonValue row : jsonArray(part.parameters[0])) {
                        QStringList pair;
                        for (int column = 0; column < SqlDialect::StagedValues; ++column)
                            pair << row[column].toString();
                        carried.append(pair);
                    }
                    break;
                case ChunkCarrier::Parameters:
                    ++others[part.shape.carrier];
                    QVERIFY(part.parameters.size() <= 2100);
                    for (qsizetype i = 0; i < part.parameters.size(); i += SqlDialect::StagedValues)
                        if (part.parameters[i].isValid()) {
                            QStringList pair;
                            for (int column = 0; column < SqlDialect::StagedValues; ++column)
                                pair << part.parameters[i + column].toString();
                            carried.append(pair);
                        }
                    break;
                }
            }
            std::sort(carried.begin(), carried.end(),
                [](const QStringList &a, const QStringList &b) { return a[0].toInt() < b[0].toInt(); });
        };
        const QMap<ChunkCarrier, int> expectedRuns { { ChunkCarrier::JsonRun, 3 },
            { ChunkCarrier::JsonCountedRun, 1 } };
        carry();
        QCOMPARE(carried, pairs);
        QCOMPARE(inRuns, expectedInRuns);
        QCOMPARE(runs, expectedRuns);
        QVERIFY(others.value(ChunkCarrier::Json) > 0);
        // A server not asked of OPENJSON's named columns has the pairs
        // outside runs sent as VALUES lists, as many as they fill.
        dialect.setColumnsNamedAsked(false);
        carry();
        QCOMPARE(carried, pairs);
        QCOMPARE(inRuns, expectedInRuns);
        QCOMPARE(runs, expectedRuns);
        QCOMPARE(others.keys(), QList<ChunkCarrier> { ChunkCarrier::Parameters });
        dialect.setColumnsNamedAsked(true);
        // Each run's statement numbers its pairs from the first by their place.
        for (const ChunkCarrier carrier : { ChunkCarrier::JsonRun, ChunkCarrier::JsonCountedRun }) {
            const QString stage = dialect.stageChunk(ChunkShape(capacity, carrier));
            QVERIFY2(stage.contains("SELECT CAST(? AS int) + CAST(o.[key] AS int)"), qPrintable(stage));
            QCOMPARE(stage.count('?'), carrier == ChunkCarrier::JsonRun ? 4 : 6);
        }

        // Where the server was not found to hand texts over so, nothing goes as a run.
        dialect.setStagesRuns(false, false);
        for (const ChunkPart &part : dialect.stagingParts(values, SqlDialect::StagedValues, capacity))
            QVERIFY(part.shape.carrier != ChunkCarrier::JsonRun && part.shape.carrier != ChunkCarrier::JsonCountedRun);
    }

    // Without a key, staged pairs are found by a prefix, then compared whole
    // (where an old text is longer than the prefix), and the rows counted
    // stay locked until the change is made.
    void stagedPairsAreComparedExactlyAndStayLocked()
    {
        SqlServerDialect dialect;
        const TableName table { {}, "T" };
        for (const QString &statement : { dialect.stagedPairsMoved(table, "F", 401),
                 dialect.stagedPairsMiscounted(table, "F", 401), dialect.applyStaged(table, "F", false, 401) }) {
            QVERIFY2(statement.contains("CAST(CAST(t.[F] AS nvarchar(max)) + NCHAR(1) AS nvarchar(400)) COLLATE "
                                        "Latin1_General_100_BIN2 = p.k AND "),
                qPrintable(statement));
            QVERIFY2(statement.contains("DATALENGTH(CAST(t.[F] AS nvarchar(max))) = DATALENGTH(CAST(p.o AS "
                                        "nvarchar(max)))"),
                qPrintable(statement));
        }
        for (const QString &counted :
            { dialect.stagedPairsMoved(table, "F", 400), dialect.stagedPairsMiscounted(table, "F", 400) })
            QVERIFY2(counted.contains("WITH (UPDLOCK, HOLDLOCK)"), qPrintable(counted));
    }

    // A chunk is one statement, and SQL Server takes at most 2,100 parameters
    // in one: whatever the key, a whole chunk fits, checked on the statements'
    // own markers; a chunk of a narrow key still carries hundreds of rows.
    void chunksFitOneStatement_data()
    {
        QTest::addColumn<int>("keyColumns");
        for (int columns : { 0, 1, 2, 5 })
            QTest::addRow("%d key columns", columns) << columns;
    }

    void chunksFitOneStatement()
    {
        QFETCH(int, keyColumns);
        SqlServerDialect dialect;
        const int records = dialect.chunkRecords(keyColumns);
        QList<KeyColumn> key;
        for (int i = 0; i < keyColumns; ++i)
            key << KeyColumn { QStringLiteral("K%1").arg(i), "int", 4, 10, 0, "" };
        const QString chunk
            = keyColumns == 0 ? dialect.stageChunk(records) : dialect.updateChunkByKey({ {}, "T" }, "F", key, records);
        QVERIFY2(chunk.count('?') <= 2100, qPrintable(QString::number(chunk.count('?'))));
        const QString check
            = dialect.unrepresentable({ "varchar", false, 1252, "SQL_Latin1_General_CP1_CI_AS", 20 }, records);
        QVERIFY2(check.count('?') <= 2100, qPrintable(QString::number(check.count('?'))));
        if (keyColumns <= 2)
            QVERIFY(records >= 300);
    }

    // Whether a new text fits a code-page field is the server's own word: the
    // text in the field's collation, and back, must be the same, and its bytes
    // must fit the field.
    void representableTexts_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<unsigned>("codePage");
        QTest::addColumn<QString>("collation");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QStringList>("parts"); // empty: no check is needed
        QTest::newRow("nvarchar") << "nvarchar" << 0u << "Latin1_General_CI_AS" << 40 << QStringList {};
        QTest::newRow("varchar") << "varchar" << 1252u << "Latin1_General_CI_AS" << 20
                                 << QStringList { "CAST(v.n COLLATE Latin1_General_CI_AS AS varchar(max))",
                                        "<> CAST(v.n AS nvarchar(max))",
                                        "DATALENGTH(CAST(v.n COLLATE Latin1_General_CI_AS AS varchar(max))) > 20" };
        QTest::newRow("utf-8 char") << "char" << 65001u << "Latin1_General_100_CI_AS_SC_UTF8" << 10
                                    << QStringList {
                                           "COLLATE Latin1_General_100_CI_AS_SC_UTF8 AS varchar(max))) > 10"
                                       };
        QTest::newRow("varchar(max)") << "varchar" << 1252u << "Latin1_General_CI_AS" << -1
                                      << QStringList { "COLLATE Latin1_General_CI_AS AS varchar(max)" };
        QTest::newRow("odd collation text")
            << "text" << 1252u << "x'; --" << 16 << QStringList { "CAST(v.n AS varchar(max))" };
    }

    void representableTexts()
    {
        QFETCH(QString, type);
        QFETCH(unsigned, codePage);
        QFETCH(QString, collation);
        QFETCH(int, maxLength);
        QFETCH(QStringList, parts);
        const QString check = SqlServerDialect().unrepresentable({ type, false, codePage, collation, maxLength }, 2);
        QCOMPARE(check.isEmpty(), parts.isEmpty());
        for (const QString &part : parts)
            QVERIFY2(check.contains(part), qPrintable(check));
        QVERIFY2(!check.contains("x'"), qPrintable(check));
        if (maxLength <= 0 || type == "text")
            QVERIFY2(!check.contains(") > "), qPrintable(check));
        QVERIFY(EmbeddedDialect().unrepresentable({ type, false, codePage, collation, maxLength }, 2).isEmpty());
    }

    void textTypesAreToldByName()
    {
        SqlServerDialect server;
        for (const char *type : { "char", "varchar", "text", "nchar", "nvarchar", "ntext" })
            QVERIFY2(server.isTextType(type), type);
        for (const char *type : { "int", "datetime", "money", "float", "xml", "sql_variant", "uniqueidentifier" })
            QVERIFY2(!server.isTextType(type), type);
        EmbeddedDialect embedded;
        for (const char *type : { "TEXT", "VARCHAR(20)", "nvarchar", "CLOB", "character varying" })
            QVERIFY2(embedded.isTextType(type), type);
        for (const char *type : { "", "INTEGER", "CHARINT", "REAL", "BLOB", "DATETIME", "NUMERIC" })
            QVERIFY2(!embedded.isTextType(type), type);
    }
};

QTEST_APPLESS_MAIN(BatchStatementTest)
#include "BatchStatementTest.moc"
