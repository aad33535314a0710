#include "connection/MSSQL.h"
#include "platform/odbc/OdbcError.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QTest>
#include <QTreeWidget>

namespace {

QStringList rows(const QTreeWidget &list)
{
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(0);
    return texts;
}

// Counts the passes of the event loop: each pass delivers the one event posted
// in the pass before, and the handler posts the next.
class YieldCounter : public QObject {
public:
    YieldCounter() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++passes;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }
    int passes = -1; // the first delivery is the one posted at construction
};

} // namespace

// The table catalogue against the embedded engine through the real ODBC path.
class ListTablesTest : public QObject {
    Q_OBJECT

private slots:
    void listsUserTablesInCatalogueOrder();
    void engineBookkeepingTablesAreLeftOut();
    void onlyViewsGiveEmptyList();
    void secondCallReplacesRows();
    void failedOpenKeepsRowsAndReachesCaller();
    void yieldsOncePerTableRow();
};

void ListTablesTest::listsUserTablesInCatalogueOrder()
{
    TestDatabase db;
    for (const char *name : {"Customers", "MySystem", "Genesys", "SYSLOG", "customer_sys", "Syntax", "sysdiagrams",
                             "Orders", "Systems", "my table]", "a\"quote", "Zebra"})
        db.exec(QStringLiteral("CREATE TABLE \"%1\" (v TEXT)").arg(QString::fromUtf8(name).replace("\"", "\"\"")));
    db.exec("CREATE VIEW CustomerView AS SELECT v FROM Customers");

    QTreeWidget list;
    MSSQL::ListTables(&list, db.fields());
    // Creation order, not sorted; views and every name with SYS in any case left out.
    QCOMPARE(rows(list), QStringList({"Customers", "Syntax", "Orders", "my table]", "a\"quote", "Zebra"}));
    QCOMPARE(list.currentItem(), list.topLevelItem(0));
}

void ListTablesTest::engineBookkeepingTablesAreLeftOut()
{
    // The embedded engine's driver reports sqlite_sequence and sqlite_stat1 with
    // the type "TABLE"; like system tables on the server they must not be listed.
    TestDatabase db;
    db.exec("CREATE TABLE counted (id INTEGER PRIMARY KEY AUTOINCREMENT, v TEXT)");
    db.exec("INSERT INTO counted (v) VALUES ('x')");
    db.exec("CREATE INDEX counted_v ON counted (v)");
    db.exec("ANALYZE");
    auto catalogue = db.query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    QStringList engineTables;
    for (; !catalogue.eof(); catalogue.moveNext())
        engineTables << catalogue.value(0).toString();
    QVERIFY2(engineTables.contains("sqlite_sequence") && engineTables.contains("sqlite_stat1"),
             qPrintable(engineTables.join(',')));

    QTreeWidget list;
    MSSQL::ListTables(&list, db.fields());
    QCOMPARE(rows(list), QStringList({"counted"}));
}

void ListTablesTest::onlyViewsGiveEmptyList()
{
    TestDatabase db;
    db.exec("CREATE VIEW v1 AS SELECT 1 AS one");
    db.exec("CREATE VIEW v2 AS SELECT 2 AS two");
    QTreeWidget list;
    new QTreeWidgetItem(&list, {"from before"});
    MSSQL::ListTables(&list, db.fields());
    QCOMPARE(list.topLevelItemCount(), 0);
}

void ListTablesTest::secondCallReplacesRows()
{
    TestDatabase db;
    db.exec("CREATE TABLE a (v TEXT)");
    db.exec("CREATE TABLE b (v TEXT)");
    QTreeWidget list;
    MSSQL::ListTables(&list, db.fields());
    MSSQL::ListTables(&list, db.fields());
    QCOMPARE(rows(list), QStringList({"a", "b"}));
}

void ListTablesTest::failedOpenKeepsRowsAndReachesCaller()
{
    QTreeWidget list;
    new QTreeWidgetItem(&list, {"kept"});
    QVERIFY_THROWS_EXCEPTION(odbc::Error, MSSQL::ListTables(&list, TestDatabase::unreachable()));
    QCOMPARE(rows(list), QStringList({"kept"}));
}

void ListTablesTest::yieldsOncePerTableRow()
{
    TestDatabase db;
    db.exec("CREATE TABLE one (v TEXT)");
    db.exec("CREATE TABLE MySYStem (v TEXT)"); // a "TABLE" row: yields, then is skipped
    db.exec("CREATE VIEW two AS SELECT v FROM one");
    db.exec("CREATE TABLE three (v TEXT)");
    QTreeWidget list;
    QCoreApplication::processEvents();
    YieldCounter counter;
    QCoreApplication::processEvents(); // delivers the first event
    MSSQL::ListTables(&list, db.fields());
    QCOMPARE(counter.passes, 3);
}

QTEST_MAIN(ListTablesTest)
#include "ListTablesTest.moc"
