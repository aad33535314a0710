#include "connection/SqlDialect.h"
#include "platform/CodePage.h"

#include <QRegularExpression>
#include <QTest>

// The SQL Server form of the batch change's statements, checked on their text
// (no SQL Server runs in these tests), and the code page check behind varchar fields.
class BatchStatementTest : public QObject {
    Q_OBJECT

private slots:
    void lookupsFindEveryColumnWhateverItsType()
    {
        // A column's own type is found by its user type id, which every column
        // has (CLR types included); the base type of an alias type by its system
        // type id, which a CLR type's (240) matches no type for, so it may be missing.
        SqlServerDialect dialect;
        for (const SqlQuery &lookup : { dialect.fieldLookup({ {}, "T" }, "F"), dialect.keyLookup({ {}, "T" }) }) {
            QVERIFY2(lookup.text.contains("JOIN sys.types AS u ON u.user_type_id = c.user_type_id "),
                qPrintable(lookup.text));
            QVERIFY2(lookup.text.contains("LEFT JOIN sys.types AS b ON b.user_type_id = c.system_type_id "),
                qPrintable(lookup.text));
            QVERIFY2(lookup.text.contains("COALESCE(b.name, u.name)"), qPrintable(lookup.text));
            QVERIFY2(!lookup.text.contains(QRegularExpression("(?<!LEFT )JOIN sys.types AS \\w+ ON \\w+.user_type_id = "
                                                              "c.system_type_id")),
                qPrintable(lookup.text));
        }
    }

    void keyConditions_data()
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
        QTest::newRow("datetime") << "datetime" << 8 << "" << false << "";
        QTest::newRow("money") << "money" << 8 << "" << false << "";
        QTest::newRow("binary") << "varbinary" << 16 << "" << false << "";
        QTest::newRow("hierarchyid") << "hierarchyid" << 892 << "" << false << "";
        QTest::newRow("geography") << "geography" << -1 << "" << false << "";
        QTest::newRow("user CLR type") << "Point" << 25 << "" << false << "";
        QTest::newRow("no type found") << "" << 0 << "" << false << "";
    }

    // Key conditions are tested through the update they stand in.
    void keyConditions()
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

    void updates()
    {
        SqlServerDialect dialect;
        const QString exact
            = QStringLiteral("CAST([Ci]]ty] AS nvarchar(max)) COLLATE Latin1_General_100_BIN2 "
                             "= CAST(? AS nvarchar(max)) "
                             "AND DATALENGTH(CAST([Ci]]ty] AS nvarchar(max))) = DATALENGTH(CAST(? AS nvarchar(max)))");
        const QList<KeyColumn> key
            = { { "Id", "int", 4, 10, 0, "" }, { "Region", "nvarchar", 20, 0, 0, "Latin1_General_CI_AS" } };
        const TableName table { "sales", "My Table" };
        QCOMPARE(dialect.updateByKey(table, "Ci]ty", key),
            "UPDATE [sales].[My Table] SET [Ci]]ty] = ? WHERE [Id] = CAST(? AS int) AND [Region] = CAST(? AS "
            "nvarchar(10)) "
            "AND "
                + exact);
        QCOMPARE(dialect.updateByValue(table, "Ci]ty"), "UPDATE [sales].[My Table] SET [Ci]]ty] = ? WHERE " + exact);
        QCOMPARE(dialect.selectForChange(table, "Ci]ty", key),
            QStringLiteral("SELECT [Ci]]ty], [Id], [Region] FROM [sales].[My Table]"));
        QCOMPARE(dialect.updateParameters("New York", { "7", "North" }, "new york"),
            (QList<QVariant> { "New York", "7", "North", "new york", "new york" }));
        QCOMPARE(dialect.updateParameters("A", {}, "a"), (QList<QVariant> { "A", "a", "a" }));
        QCOMPARE(EmbeddedDialect().updateByValue({ {}, "t" }, "v"),
            QStringLiteral("UPDATE \"t\" SET \"v\" = ? WHERE \"v\" = ? COLLATE BINARY"));
    }

    void textTypes()
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

    void codePages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<unsigned>("codePage");
        QTest::addColumn<bool>("survives");
        QTest::newRow("ascii in any") << "Hello 'World'" << 1251u << true;
        QTest::newRow("ascii in unknown") << "Hello" << 12345u << true;
        QTest::newRow("latin in 1252") << "ÉCOLE À STRAßE" << 1252u << true;
        QTest::newRow("greek capital mu in 1252") << "\u039C" << 1252u << false; // upper-cased micro sign
        QTest::newRow("micro sign in 1252") << "µ" << 1252u << true;
        QTest::newRow("cyrillic in 1251") << "ЖУК" << 1251u << true;
        QTest::newRow("cyrillic in 1252") << "ЖУК" << 1252u << false;
        QTest::newRow("no best fit") << "Ā" << 1252u << false; // A with macron would come back as plain A
        QTest::newRow("japanese in 932") << "日本" << 932u << true;
        QTest::newRow("anything in utf-8") << "ЖУК 日本 Ā" << 65001u << true;
        QTest::newRow("anything in unicode") << "ЖУК 日本 Ā" << 0u << true;
        QTest::newRow("non-ascii in unknown") << "é" << 12345u << false;
    }

    void codePages()
    {
        QFETCH(QString, text);
        QFETCH(unsigned, codePage);
        QTEST(CodePage::survives(text, codePage), "survives");
    }
};

QTEST_APPLESS_MAIN(BatchStatementTest)
#include "BatchStatementTest.moc"
