#include "connection/SqlDialect.h"
#include "connection/ConnectionCheck.h"
#include "connection/EmbeddedDialect.h"
#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "connection/SqlServerDialect.h"
#include "platform/odbc/Connection.h"
#include "support/TestDatabase.h"

#include <QTest>

// How each dialect names tables and fields. The SQL Server text is checked on
// its own (no SQL Server runs in these tests); the embedded engine's naming of
// a schema is run, with an attached database as the schema.
class SqlDialectTest : public QObject {
    Q_OBJECT

private slots:
    void namesAreQuotedAsEachEngineReadsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sqlServer");
        QTest::addColumn<QString>("embedded");
        QTest::newRow("plain") << "City"
                               << "[City]"
                               << "\"City\"";
        QTest::newRow("blanks") << "Post Code"
                                << "[Post Code]"
                                << "\"Post Code\"";
        QTest::newRow("bracket") << "a]b"
                                 << "[a]]b]"
                                 << "\"a]b\"";
        QTest::newRow("injection") << "x]; DROP TABLE t; --"
                                   << "[x]]; DROP TABLE t; --]"
                                   << "\"x]; DROP TABLE t; --\"";
        QTest::newRow("double quote") << "say \"hi\""
                                      << "[say \"hi\"]"
                                      << "\"say \"\"hi\"\"\"";
    }

    void namesAreQuotedAsEachEngineReadsThem()
    {
        QFETCH(QString, name);
        QTEST(SqlServerDialect().quoteName(name), "sqlServer");
        QTEST(EmbeddedDialect().quoteName(name), "embedded");
    }

    void tablesWithAndWithoutSchema_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sqlServer");
        QTest::addColumn<QString>("embedded");
        QTest::newRow("no schema: the name alone") << ""
                                                   << "Orders"
                                                   << "[Orders]"
                                                   << "\"Orders\"";
        QTest::newRow("schema") << "sales"
                                << "Orders"
                                << "[sales].[Orders]"
                                << "\"sales\".\"Orders\"";
        QTest::newRow("dots stay inside") << "a.b"
                                          << "c.d"
                                          << "[a.b].[c.d]"
                                          << "\"a.b\".\"c.d\"";
        QTest::newRow("brackets doubled in each part") << "s]x"
                                                       << "t]y"
                                                       << "[s]]x].[t]]y]"
                                                       << "\"s]x\".\"t]y\"";
    }

    void tablesWithAndWithoutSchema()
    {
        QFETCH(QString, schema);
        QFETCH(QString, name);
        QFETCH(QString, sqlServer);
        const TableName table { schema, name };
        QTEST(EmbeddedDialect().quoteTable(table), "embedded");
        SqlServerDialect dialect;
        QCOMPARE(dialect.quoteTable(table), sqlServer);
        // Every statement and look-up names the table the same way; OBJECT_ID gets the same text.
        QVERIFY(dialect.selectField(table, "City").endsWith(" FROM " + sqlServer));
        QVERIFY(dialect.selectNoRows(table).endsWith(" FROM " + sqlServer));
        QVERIFY(dialect.selectForChange(table, "City", {}).endsWith(" FROM " + sqlServer));
        QVERIFY(dialect.updateByValue(table, "City").startsWith("UPDATE " + sqlServer + " SET "));
        QVERIFY(dialect.updateByKey(table, "City", { { "Id", "int", 4, 10, 0, {} } })
                    .startsWith("UPDATE " + sqlServer + " SET "));
        QCOMPARE(dialect.fieldLookups(table, "City").value(0).parameters, (QList<QVariant> { sqlServer, "City" }));
        for (const SqlQuery &lookup : dialect.keyLookups(table) + dialect.fieldLookups(table, "City").mid(1)) {
            QCOMPARE(lookup.parameters, QList<QVariant> { sqlServer });
            QVERIFY(lookup.text.contains("OBJECT_ID(?)"));
        }
    }

    // A failure that will come back for every statement ends a run; any other
    // is one record's own.
    void failuresThatRepeat_data()
    {
        QTest::addColumn<QString>("sqlState");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("sqlServer");
        QTest::addColumn<bool>("embedded");
        QTest::newRow("link lost") << "08S01"
                                   << "Communication link failure" << true << true;
        QTest::newRow("connection gone") << "08003"
                                         << "" << true << true;
        QTest::newRow("timeout") << "HYT00"
                                 << "Timeout expired" << true << true;
        QTest::newRow("connection timeout") << "HYT01"
                                            << "" << true << true;
        QTest::newRow("cancelled") << "HY008"
                                   << "Operation canceled" << true << true;
        QTest::newRow("refused by a trigger") << "42000"
                                              << "no def" << false << false;
        QTest::newRow("a key twice") << "23000"
                                     << "Violation of UNIQUE KEY constraint" << false << false;
        // The embedded engine names a lock in its message alone.
        QTest::newRow("embedded lock") << "HY000"
                                       << "[SQLite]database is locked (5)" << false << true;
        QTest::newRow("embedded table lock") << "HY000"
                                             << "database table is locked" << false << true;
    }

    void failuresThatRepeat()
    {
        QFETCH(QString, sqlState);
        QFETCH(QString, message);
        QTEST(SqlServerDialect().failureRepeats(sqlState, message), "sqlServer");
        QTEST(EmbeddedDialect().failureRepeats(sqlState, message), "embedded");
    }

    void sqlServerSession()
    {
        SqlServerDialect dialect;
        QCOMPARE(dialect.sessionSetup(), QStringList { "SET TEXTSIZE 2147483647" });
        QVERIFY(dialect.defaultSchemaQuery().contains("SCHEMA_NAME()"));
        // The embedded engine names its own database "main".
        QCOMPARE(EmbeddedDialect().defaultSchemaQuery(), QStringLiteral("SELECT 'main'"));
    }

    // The connection that checked the server answers becomes a batch
    // session: its statements wait as long as a batch's, and it works.
    void checkedConnectionBecomesABatchSession()
    {
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "one" });
        std::unique_ptr<odbc::Connection> opened;
        QVERIFY(!ConnectionCheck::connectionProblem(db.fields(), nullptr, &opened));
        QVERIFY(opened);
        QCOMPARE(opened->commandTimeout(), 30);
        const Session session = sessionOn(std::move(opened), OpeningProfile::Batch);
        QCOMPARE(session.connection->commandTimeout(), 5000);
        QCOMPARE(session.connection->connectionTimeout(), 5000);
        QVERIFY(dynamic_cast<const EmbeddedDialect *>(session.dialect.get()));
        QCOMPARE(session.connection->query("SELECT v FROM t").value(0).toString(), QStringLiteral("one"));
    }

    void embeddedSchemaIsAnAttachedDatabase()
    {
        // Two tables named t: one in the database itself, one in the database attached as "sales".
        TestDatabase db;
        TestDatabase other;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "main one" });
        other.exec("CREATE TABLE t (k TEXT NOT NULL UNIQUE, w REAL, v TEXT)");
        other.exec("INSERT INTO t VALUES ('a', 1.5, 'sales one'), ('b', 2.5, 'sales two')");
        auto connection = openConnection(OpeningProfile::CanConnect, db.fields());
        connection->execute("ATTACH DATABASE ? AS sales", { other.path() });

        EmbeddedDialect dialect;
        const TableName own { {}, "t" };
        const TableName sales { "sales", "t" };
        QCOMPARE(connection->query(dialect.selectNoRows(sales)).fieldNames(), QStringList({ "k", "w", "v" }));
        QCOMPARE(connection->query(dialect.selectField(sales, "v")).value(0).toString(), QStringLiteral("sales one"));
        QCOMPARE(connection->query(dialect.selectField(own, "v")).value(0).toString(), QStringLiteral("main one"));

        QCOMPARE(dialect.lookUpField(*connection, sales, "w").value_or(FieldFacts {}).type, QStringLiteral("REAL"));
        QVERIFY(!dialect.lookUpField(*connection, own, "w"));
        QCOMPARE(dialect.lookUpKeys(*connection, sales).value(0).column.name, QStringLiteral("k"));
        QCOMPARE(dialect.lookUpKeys(*connection, own).value(0).column.name, QStringLiteral("id"));

        const QList<KeyColumn> key { { "k", "TEXT", 0, 0, 0, {} } };
        QCOMPARE(connection->execute(
                     dialect.updateByKey(sales, "v", key), dialect.updateParameters("SALES TWO", { "b" }, "sales two")),
            1);
        QCOMPARE(
            connection->execute(dialect.updateByValue(own, "v"), dialect.updateParameters("MAIN", {}, "main one")), 1);
        QCOMPARE(other.column("t", "v"), (QVariantList { "sales one", "SALES TWO" }));
        QCOMPARE(db.column("t", "v"), QVariantList { "MAIN" });
    }
};

QTEST_GUILESS_MAIN(SqlDialectTest)
#include "SqlDialectTest.moc"
