#include "app/HomePageVisit.h"
#include "app/MainHelpers.h"
#include "app/Settings.h"
#include "app/WindowFlow.h"
#include "browser/Form2.h"
#include "connection/Form1.h"
#include "platform/BusyPointer.h"
#include "platform/ProgressBar.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

QStringList rows(const QTreeWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

// Clicks the row with the text, as a user would.
bool clickRow(QTreeWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
    return true;
}

void type(QLineEdit *box, const QString &text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClicks(box, text);
}

} // namespace

// The whole program driven through its windows: log in, choose, change, restart.
class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loginChooseChangeAndRestart();

private:
    TestEnvironment *env = nullptr;
    RecordingMessageBoxes *boxes = nullptr;
    RecordingShell *shell = nullptr;
};

void EndToEndTest::init()
{
    env = new TestEnvironment;
    boxes = new RecordingMessageBoxes;
    shell = new RecordingShell;
    HomePageVisit::setRandomSource([] { return 0.5; });
}

void EndToEndTest::cleanup()
{
    HomePageVisit::setRandomSource({});
    delete shell;
    delete boxes;
    delete env;
}

void EndToEndTest::loginChooseChangeAndRestart()
{
    TestDatabase db;
    db.exec("CREATE TABLE Cities (Id INTEGER PRIMARY KEY, Name TEXT)");
    db.exec("INSERT INTO Cities (Name) VALUES ('dublin'), ('NEW YORK')");
    db.exec("CREATE TABLE Customers (Id INTEGER PRIMARY KEY, Name TEXT, City TEXT)");
    db.exec("INSERT INTO Customers (Name, City) VALUES ('ann SMITH', 'dublin'), ('JOHN o''brien', 'NEW YORK'), "
            "(NULL, 'paris'), ('bob', '')");
    db.exec("CREATE VIEW CustomerNames AS SELECT Name FROM Customers");
    db.exec("CREATE TABLE SysNotes (Note TEXT)");

    {
        WindowFlow flow;
        flow.start();
        Form1 *login = flow.loginWindow();
        QVERIFY(login->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(login));

        type(login->Text1, "localhost");
        type(login->Text2, "tester");
        type(login->Text3, "pw");
        type(login->Text4, db.path());
        QTest::mouseClick(login->PushButton5, Qt::LeftButton);
        QCOMPARE(boxes->texts(), QStringList { "Connection successful." });

        QTest::mouseClick(login->PushButton3, Qt::LeftButton);
        Form2 *work = flow.changeOptionsWindow();
        QVERIFY(work && work->isVisible());
        QVERIFY(!login->isVisible());
        QCOMPARE(rows(work->ListView1), QStringList({ "Cities", "Customers" }));
        QCOMPARE(rows(work->ListView2), QStringList({ "Id", "Name" }));
        QCOMPARE(work->Combo1->currentText(), QStringLiteral("UPPER CASE"));

        QVERIFY(clickRow(work->ListView1, "Customers"));
        QTRY_COMPARE(rows(work->ListView2), QStringList({ "Id", "Name", "City" }));
        QVERIFY(clickRow(work->ListView2, "Name"));
        QTRY_COMPARE(rows(work->ListView3), QStringList({ "ann SMITH", "JOHN o'brien", "", "bob" }));

        // Two steps down the mode box: "Proper Case".
        work->Combo1->setFocus();
        QTest::keyClick(work->Combo1, Qt::Key_Down);
        QTest::keyClick(work->Combo1, Qt::Key_Down);
        QCOMPARE(work->Combo1->currentText(), QStringLiteral("Proper Case"));
        QCOMPARE(Settings::read(Settings::Combo1), QStringLiteral("2"));

        QTest::mouseClick(work->PushButton1, Qt::LeftButton);
        QCOMPARE(boxes->texts().last(), QStringLiteral("Done."));
        QCOMPARE(boxes->shown.size(), 2); // no error report on the way
        QCOMPARE(boxes->shown.last().title, Main::appTitle());
        QCOMPARE(db.column("Customers", "Name"), QVariantList({ "Ann Smith", "John O'brien", QVariant(), "Bob" }));
        QCOMPARE(db.column("Customers", "City"), QVariantList({ "dublin", "NEW YORK", "paris", "" }));
        QCOMPARE(db.column("Cities", "Name"), QVariantList({ "dublin", "NEW YORK" }));
        QCOMPARE(rows(work->ListView3), QStringList({ "Ann Smith", "John O'brien", "", "Bob" }));
        QVERIFY(!BusyPointer::isShowing());
        QCOMPARE(work->ProgressBar1->value(), 0.0);
    }

    // A new run with the same settings: the fields and the mode were remembered,
    // and the stored fields connect, so the working window opens by itself.
    boxes->shown.clear();
    WindowFlow again;
    again.start();
    Form1 *login = again.loginWindow();
    QCOMPARE(login->Text1->text(), QStringLiteral("localhost"));
    QCOMPARE(login->Text2->text(), QStringLiteral("tester"));
    QCOMPARE(login->Text3->text(), QStringLiteral("pw"));
    QCOMPARE(login->Text4->text(), db.path());
    QCOMPARE(login->Text9->text(), QStringLiteral("1433"));
    QVERIFY(!login->Check6->isChecked());
    QVERIFY(!login->isVisible());
    Form2 *work = again.changeOptionsWindow();
    QVERIFY(work && work->isVisible());
    QCOMPARE(work->Combo1->currentText(), QStringLiteral("Proper Case"));
    QCOMPARE(rows(work->ListView1), QStringList({ "Cities", "Customers" }));
    QCOMPARE(boxes->shown.size(), 0);
    QVERIFY(shell->opened.isEmpty());
}

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
