#include "app/MainHelpers.h"
#include "app/Settings.h"
#include "app/WindowFlow.h"
#include "browser/Form2.h"
#include "connection/Form1.h"
#include "platform/BusyPointer.h"
#include "platform/ProgressBar.h"
#include "support/ListRows.h"
#include "support/TestDatabase.h"
#include "support/WindowSandbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <optional>

namespace {

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
    void init() { sandbox.emplace(); }
    void cleanup() { sandbox.reset(); }
    void loginChooseChangeAndRestart()
    {
        RecordingMessageBoxes &boxes = sandbox->boxes;
        TestDatabase db;
        db.table("Cities", "Id INTEGER PRIMARY KEY, Name TEXT", "Name", { "dublin", "NEW YORK" });
        db.table("Customers", "Id INTEGER PRIMARY KEY, Name TEXT, City TEXT");
        db.exec("INSERT INTO Customers (Name, City) VALUES ('ann SMITH', 'dublin'), ('JOHN o''brien', 'NEW YORK'), "
                "(NULL, 'paris'), ('bob', '')");
        db.exec("CREATE VIEW CustomerNames AS SELECT Name FROM Customers");
        db.exec("CREATE TABLE SysNotes (Note TEXT)");

        {
            WindowFlow flow;
            flow.start();
            Form1 *login = flow.loginWindow();
            QVERIFY(QTest::qWaitForWindowActive(login));

            type(login->Text1, "localhost");
            type(login->Text2, "tester");
            type(login->Text3, "pw");
            type(login->Text4, db.path());
            QTest::mouseClick(login->PushButton5, Qt::LeftButton);
            QCOMPARE(boxes.texts(), QStringList { "Connection successful." });

            QTest::mouseClick(login->PushButton3, Qt::LeftButton);
            Form2 *work = flow.changeOptionsWindow();
            QVERIFY(work && work->isVisible());
            QVERIFY(!login->isVisible());
            QCOMPARE(rowTexts(work->ListView1), QStringList({ "Cities", "Customers" }));
            QCOMPARE(rowTexts(work->ListView2), QStringList({ "Id", "Name" }));
            QCOMPARE(work->Combo1->currentText(), QStringLiteral("UPPER CASE"));

            QVERIFY(clickRow(work->ListView1, "Customers"));
            QTRY_COMPARE(rowTexts(work->ListView2), QStringList({ "Id", "Name", "City" }));
            QVERIFY(clickRow(work->ListView2, "Name"));
            QTRY_COMPARE(rowTexts(work->ListView3), QStringList({ "ann SMITH", "JOHN o'brien", "", "bob" }));

            // Two steps down the mode box: "Proper Case".
            work->Combo1->setFocus();
            QTest::keyClick(work->Combo1, Qt::Key_Down);
            QTest::keyClick(work->Combo1, Qt::Key_Down);
            QCOMPARE(work->Combo1->currentText(), QStringLiteral("Proper Case"));
            QCOMPARE(Settings::read(Settings::Combo1), QStringLiteral("2"));

            QTest::mouseClick(work->PushButton1, Qt::LeftButton);
            QCOMPARE(boxes.texts(), QStringList({ "Connection successful.", "Done." })); // no error report on the way
            QCOMPARE(boxes.shown.last().title, Main::appTitle());
            QCOMPARE(db.column("Customers", "Name"), QVariantList({ "Ann Smith", "John O'brien", QVariant(), "Bob" }));
            QCOMPARE(db.column("Customers", "City"), QVariantList({ "dublin", "NEW YORK", "paris", "" }));
            QCOMPARE(db.column("Cities", "Name"), QVariantList({ "dublin", "NEW YORK" }));
            QCOMPARE(rowTexts(work->ListView3), QStringList({ "Ann Smith", "John O'brien", "", "Bob" }));
            QVERIFY(!BusyPointer::isShowing());
            QCOMPARE(work->ProgressBar1->value(), 0.0);
        }

        // A new run with the same settings: the fields and the mode were remembered,
        // and the stored fields connect, so the working window opens by itself.
        boxes.shown.clear();
        WindowFlow again;
        again.start();
        Form1 *login = again.loginWindow();
        QCOMPARE(QStringList({ login->Text1->text(), login->Text2->text(), login->Text3->text(), login->Text4->text(),
                     login->Text9->text() }),
            QStringList({ "localhost", "tester", "pw", db.path(), "1433" }));
        QVERIFY(!login->Check6->isChecked());
        QVERIFY(!login->isVisible());
        Form2 *work = again.changeOptionsWindow();
        QVERIFY(work && work->isVisible());
        QCOMPARE(work->Combo1->currentText(), QStringLiteral("Proper Case"));
        QCOMPARE(rowTexts(work->ListView1), QStringList({ "Cities", "Customers" }));
        QCOMPARE(boxes.shown.size(), 0);
        QVERIFY(sandbox->shell.opened.isEmpty());
    }

private:
    std::optional<WindowSandbox> sandbox;
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
