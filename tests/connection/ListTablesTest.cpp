#include "changeoptions/TableListRows.h"
#include "connection/TableCatalogue.h"
#include "platform/odbc/OdbcError.h"
#include "support/ListRows.h"
#include "support/TestDatabase.h"
#include "support/YieldCounter.h"

#include <QTest>
#include <QTreeWidget>

// The table catalogue against the embedded engine through the real ODBC path.
class ListTablesTest : public QObject {
    Q_OBJECT

private slots:
    // Only plain tables are listed: a catalogue row of another type whose
    // name holds "TABLE" is not one, nor a table whose name holds "SYS".
    void onlyPlainTablesAreListed_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("listed");
        QTest::newRow("a table") << "TABLE"
                                 << "Customers" << true;
        QTest::newRow("a system table") << "SYSTEM TABLE"
                                        << "Customers" << false;
        QTest::newRow("a global temporary table") << "GLOBAL TEMPORARY"
                                                  << "Customers" << false;
        QTest::newRow("a local temporary table") << "LOCAL TEMPORARY TABLE"
                                                 << "Customers" << false;
        QTest::newRow("a view") << "VIEW"
                                << "Customers" << false;
        QTest::newRow("another case") << "table"
                                      << "Customers" << false;
        QTest::newRow("SYS in the name") << "TABLE"
                                         << "ChangeSysLog" << false;
    }

    void onlyPlainTablesAreListed()
    {
        QFETCH(QString, type);
        QFETCH(QString, name);
        QTEST(TableCatalogue::isUserTable(type, name), "listed");
    }

    void listsUserTablesInCatalogueOrder()
    {
        TestDatabase db;
        for (const char *name : { "Customers", "MySystem", "Genesys", "SYSLOG", "customer_sys", "Syntax", "sysdiagrams",
                 "Orders", "Systems", "my table]", "a\"quote", "Zebra" })
            db.table(name, "v TEXT");
        db.exec("CREATE VIEW CustomerView AS SELECT v FROM Customers");

        QTreeWidget list;
        TableListRows::fill(&list, db.fields());
        // Creation order, not sorted; views and every name with SYS in any case left out.
        QCOMPARE(rowTexts(&list), QStringList({ "Customers", "Syntax", "Orders", "my table]", "a\"quote", "Zebra" }));
        QCOMPARE(list.currentItem(), list.topLevelItem(0));
        // The engine's catalogue names no schemas: each row names its table alone.
        QCOMPARE(TableListRows::tableOfRow(list.topLevelItem(3)), (TableName { {}, "my table]" }));
    }

    void rowsShowTheirSchemaAndKeepIt_data()
    {
        QTest::addColumn<QString>("defaultSchema");
        QTest::addColumn<QStringList>("schemas"); // one table named Orders in each
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("default and other schema")
            << "dbo" << QStringList { "dbo", "sales" } << QStringList { "Orders", "sales.Orders" };
        QTest::newRow("neither the default")
            << "me" << QStringList { "sales", "dbo" } << QStringList { "sales.Orders", "dbo.Orders" };
        QTest::newRow("schema names differ in case")
            << "dbo" << QStringList { "Dbo", "dbo" } << QStringList { "Dbo.Orders", "Orders" };
        QTest::newRow("no default schema known")
            << "" << QStringList { "", "sales" } << QStringList { "Orders", "sales.Orders" };
    }

    void rowsShowTheirSchemaAndKeepIt()
    {
        QFETCH(QString, defaultSchema);
        QFETCH(QStringList, schemas);
        QTreeWidget list;
        for (const QString &schema : schemas)
            TableListRows::addRow(&list, { schema, "Orders" }, defaultSchema);
        QTEST(rowTexts(&list), "shown");
        QCOMPARE(list.currentItem(), list.topLevelItem(0));
        for (int i = 0; i < schemas.size(); ++i)
            QCOMPARE(TableListRows::tableOfRow(list.topLevelItem(i)), (TableName { schemas[i], "Orders" }));
    }

    void rowWithoutSchemaNamesItsText()
    {
        QTreeWidget list;
        fillRows(&list, { "sales.Orders" });
        QCOMPARE(TableListRows::tableOfRow(list.topLevelItem(0)), (TableName { {}, "sales.Orders" }));
        QCOMPARE(TableListRows::tableOfRow(nullptr), TableName {});
    }

    void engineBookkeepingTablesAreLeftOut()
    {
        // The embedded engine's driver reports sqlite_sequence and sqlite_stat1 with
        // the type "TABLE"; like system tables on the server they must not be listed.
        TestDatabase db;
        db.table("counted", "id INTEGER PRIMARY KEY AUTOINCREMENT, v TEXT", "v", { "x" });
        db.exec("CREATE INDEX counted_v ON counted (v)");
        db.exec("ANALYZE");
        auto catalogue = db.query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
        QStringList engineTables;
        for (; !catalogue.eof(); catalogue.moveNext())
            engineTables << catalogue.value(0).toString();
        QVERIFY2(engineTables.contains("sqlite_sequence") && engineTables.contains("sqlite_stat1"),
            qPrintable(engineTables.join(',')));

        QTreeWidget list;
        TableListRows::fill(&list, db.fields());
        QCOMPARE(rowTexts(&list), QStringList({ "counted" }));
    }

    void eachCallReplacesRows()
    {
        TestDatabase db;
        db.exec("CREATE VIEW v1 AS SELECT 1 AS one");
        QTreeWidget list;
        fillRows(&list, { "from before" });
        TableListRows::fill(&list, db.fields()); // only a view: no rows
        QCOMPARE(list.topLevelItemCount(), 0);
        db.table("a", "v TEXT");
        db.table("b", "v TEXT");
        TableListRows::fill(&list, db.fields());
        TableListRows::fill(&list, db.fields());
        QCOMPARE(rowTexts(&list), QStringList({ "a", "b" }));
    }

    void failedOpenKeepsRowsAndReachesCaller()
    {
        QTreeWidget list;
        fillRows(&list, { "kept" });
        QVERIFY_THROWS_EXCEPTION(odbc::Error, TableListRows::fill(&list, TestDatabase::unreachable()));
        QCOMPARE(rowTexts(&list), QStringList({ "kept" }));
    }

    void yieldsOncePerTableRow()
    {
        TestDatabase db;
        db.table("one", "v TEXT");
        db.table("MySYStem", "v TEXT"); // a "TABLE" row: yields, then is skipped
        db.exec("CREATE VIEW two AS SELECT v FROM one");
        db.table("three", "v TEXT");
        QTreeWidget list;
        YieldCounter counter;
        TableListRows::fill(&list, db.fields());
        QCOMPARE(counter.passes, 3);
    }
};

QTEST_MAIN(ListTablesTest)
#include "ListTablesTest.moc"
