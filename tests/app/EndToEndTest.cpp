#include "app/WindowFlow.h"
#include "changeoptions/ChangeOptionsWindow.h"
#include "common/AppTitle.h"
#include "common/Settings.h"
#include "login/LoginWindow.h"
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
            LoginWindow *login = flow.loginWindow();
            QVERIFY(QTest::qWaitForWindowActive(login));

            type(login->serverBox, "localhost");
            type(login->userBox, "tester");
            type(login->passwordBox, "pw");
            type(login->databaseBox, db.path());
            QTest::mouseClick(login->testConnectionButton, Qt::LeftButton);
            QCOMPARE(boxes.texts(), QStringList { "Connection successful." });

            QTest::mouseClick(login->nextButton, Qt::LeftButton);
            ChangeOptionsWindow *work = flow.changeOptionsWindow();
            QVERIFY(work && work->isVisible());
            QVERIFY(!login->isVisible());
            QCOMPARE(rowTexts(work->tableList), QStringList({ "Cities", "Customers" }));
            QCOMPARE(rowTexts(work->fieldList), QStringList({ "Id", "Name" }));
            QCOMPARE(work->modeBox->currentText(), QStringLiteral("UPPER CASE"));

            QVERIFY(clickRow(work->tableList, "Customers"));
            QTRY_COMPARE(rowTexts(work->fieldList), QStringList({ "Id", "Name", "City" }));
            QVERIFY(clickRow(work->fieldList, "Name"));
            QTRY_COMPARE(rowTexts(work->previewList), QStringList({ "ann SMITH", "JOHN o'brien", "", "bob" }));

            // Two steps down the mode box: "Proper Case".
            work->modeBox->setFocus();
            QTest::keyClick(work->modeBox, Qt::Key_Down);
            QTest::keyClick(work->modeBox, Qt::Key_Down);
            QCOMPARE(work->modeBox->currentText(), QStringLiteral("Proper Case"));
            QCOMPARE(Settings::read(Settings::ModeKey), QStringLiteral("2"));

            QTest::mouseClick(work->startChangingButton, Qt::LeftButton);
            QCOMPARE(boxes.texts(), QStringList({ "Connection successful.", "Done." })); // no error report on the way
            QCOMPARE(boxes.shown.last().title, AppTitle::text());
            QCOMPARE(db.column("Customers", "Name"), QVariantList({ "Ann Smith", "John O'brien", QVariant(), "Bob" }));
            QCOMPARE(db.column("Customers", "City"), QVariantList({ "dublin", "NEW YORK", "paris", "" }));
            QCOMPARE(db.column("Cities", "Name"), QVariantList({ "dublin", "NEW YORK" }));
            QCOMPARE(rowTexts(work->previewList), QStringList({ "Ann Smith", "John O'brien", "", "Bob" }));
            QVERIFY(!BusyPointer::isShowing());
            QCOMPARE(work->progressBar->value(), 0.0);
        }

        // A new run with the same settings: the fields and the mode were remembered,
        // and the stored fields connect, so the working window opens by itself.
        boxes.shown.clear();
        WindowFlow again;
        again.start();
        LoginWindow *login = again.loginWindow();
        QCOMPARE(QStringList({ login->serverBox->text(), login->userBox->text(), login->passwordBox->text(),
                     login->databaseBox->text(), login->portBox->text() }),
            QStringList({ "localhost", "tester", "pw", db.path(), "1433" }));
        QVERIFY(!login->localConnectionBox->isChecked());
        QVERIFY(!login->isVisible());
        ChangeOptionsWindow *work = again.changeOptionsWindow();
        QVERIFY(work && work->isVisible());
        QCOMPARE(work->modeBox->currentText(), QStringLiteral("Proper Case"));
        QCOMPARE(rowTexts(work->tableList), QStringList({ "Cities", "Customers" }));
        QCOMPARE(boxes.shown.size(), 0);
        QVERIFY(sandbox->shell.opened.isEmpty());
    }

private:
    std::optional<WindowSandbox> sandbox;
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
