#include "connection/SqlDialect.h"

#include <QTest>

// The SQL Server text is checked on its own: no SQL Server runs in these tests.
class SqlDialectTest : public QObject {
    Q_OBJECT

private slots:
    void quoting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sqlServer");
        QTest::addColumn<QString>("embedded");
        QTest::newRow("plain") << "City" << "[City]" << "\"City\"";
        QTest::newRow("blanks") << "Post Code" << "[Post Code]" << "\"Post Code\"";
        QTest::newRow("bracket") << "a]b" << "[a]]b]" << "\"a]b\"";
        QTest::newRow("injection") << "x]; DROP TABLE t; --" << "[x]]; DROP TABLE t; --]" << "\"x]; DROP TABLE t; --\"";
        QTest::newRow("double quote") << "say \"hi\"" << "[say \"hi\"]" << "\"say \"\"hi\"\"\"";
    }

    void quoting()
    {
        QFETCH(QString, name);
        QTEST(SqlServerDialect().quoteName(name), "sqlServer");
        QTEST(EmbeddedDialect().quoteName(name), "embedded");
    }

    void sqlServerStatements()
    {
        SqlServerDialect dialect;
        QCOMPARE(dialect.selectField("Customers", "City"), QStringLiteral("SELECT [City] FROM [Customers]"));
        QCOMPARE(dialect.selectNoRows("My]Table"), QStringLiteral("SELECT TOP (0) * FROM [My]]Table]"));
        QCOMPARE(dialect.sessionSetup(), QStringList{"SET TEXTSIZE 2147483647"});
    }
};


QTEST_APPLESS_MAIN(SqlDialectTest)
#include "SqlDialectTest.moc"
