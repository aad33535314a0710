#include "app/WindowFlow.h"
#include "app/BuildConfig.h"
#include "app/ErrorReport.h"
#include "app/HomePageVisit.h"
#include "app/MainHelpers.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "browser/Form2.h"
#include "connection/Form1.h"
#include "platform/BusyPointer.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QImageWriter>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

QStringList rows(const QTreeWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

void storeFields(const LoginFields &fields)
{
    Settings::write(Settings::MSServer, fields.server);
    Settings::write(Settings::MSUser, fields.user);
    Settings::write(Settings::MSPassword, fields.password);
    Settings::write(Settings::MSDatabase, fields.database);
}

void fillSample(TestDatabase &db, const QString &table, const QStringList &names)
{
    db.exec(QStringLiteral("CREATE TABLE \"%1\" (Id INTEGER PRIMARY KEY, Name TEXT, City TEXT)").arg(table));
    for (const QString &name : names)
        db.exec(QStringLiteral("INSERT INTO \"%1\" (Name, City) VALUES (?, 'paris')").arg(table), { name });
}

// A small but real Windows cursor file: the picture as an icon file whose type
// says "cursor" and whose directory entry carries the hotspot.
QByteArray cursorFile(int hotX, int hotY)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int i = 0; i < 32; ++i)
        image.setPixelColor(i / 2, i, Qt::black);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    if (!writer.write(image))
        return {};
    QByteArray bytes = buffer.data();
    bytes[2] = 2; // cursor
    bytes[6 + 4] = char(hotX);
    bytes[6 + 6] = char(hotY);
    return bytes;
}

} // namespace

class WindowFlowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartWithEmptyStore();
    void localConnectionRestored_data();
    void localConnectionRestored();
    void storedEmptyPortStaysEmpty();
    void storedFieldsThatConnectAdvance();
    void emptyPasswordDoesNotAdvance();
    void fieldsThatDoNotConnectShowLoginWindow();
    void emptyPortWithoutLocalConnectionStillTried();
    void switchDatabaseAndBack();
    void databaseWithoutTables();
    void secondNextDuringListingIsIgnored();

    void homePageDraw_data();
    void homePageDraw();
    void homePageDrawStaysInRange();
    void handCursor();
    void brokenHandCursorIsReportedAndStartGoesOn();
    void brokenSkinIsReportedOnceAndWindowShown();
    void bothWindowsCarryTheProgramIcon();

    void closingEitherWindowEndsProgram_data();
    void closingEitherWindowEndsProgram();
    void startupRunsUntilLoginWindowCloses();

private:
    TestEnvironment *env = nullptr;
    RecordingMessageBoxes *boxes = nullptr;
    RecordingShell *shell = nullptr;
};

void WindowFlowTest::init()
{
    env = new TestEnvironment;
    boxes = new RecordingMessageBoxes;
    shell = new RecordingShell;
    // No home page unless a test asks for it.
    HomePageVisit::setRandomSource([] { return 0.5; });
}

void WindowFlowTest::cleanup()
{
    HomePageVisit::setRandomSource({});
    delete shell;
    delete boxes;
    delete env;
    BusyPointer::reset();
}

void WindowFlowTest::firstStartWithEmptyStore()
{
    WindowFlow flow;
    flow.start();
    Form1 *login = flow.loginWindow();
    QVERIFY(login->isVisible());
    QCOMPARE(login->windowTitle(), QStringLiteral("Vantrell"));
    QCOMPARE(login->Text1->text(), QString());
    QCOMPARE(login->Text2->text(), QString());
    QCOMPARE(login->Text3->text(), QString());
    QCOMPARE(login->Text4->text(), QString());
    QCOMPARE(login->Text9->text(), QStringLiteral("1433"));
    QVERIFY(!login->Check6->isChecked());
    QVERIFY(!flow.changeOptionsWindow());
    QCOMPARE(boxes->shown.size(), 0);
    QVERIFY(shell->opened.isEmpty());
    // Restoring the fields is no change by the user: the store stays empty.
    QCOMPARE(Settings::read(Settings::MSPort, "missing"), QStringLiteral("missing"));
    QCOMPARE(Main::appTitle(), QStringLiteral("Vantrell"));
}

void WindowFlowTest::localConnectionRestored_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("missing") << false << QString() << false;
    QTest::newRow("\"0\"") << true << "0" << false;
    QTest::newRow("\"1\"") << true << "1" << true;
    QTest::newRow("empty text") << true << "" << true;
    QTest::newRow("\" 0\"") << true << " 0" << true;
    QTest::newRow("\"true\"") << true << "true" << true;
}

void WindowFlowTest::localConnectionRestored()
{
    QFETCH(bool, stored);
    QFETCH(QString, value);
    QFETCH(bool, ticked);
    if (stored)
        Settings::write(Settings::LocalConnection, value);
    WindowFlow flow;
    flow.start();
    QCOMPARE(flow.loginWindow()->Check6->isChecked(), ticked);
    QCOMPARE(flow.loginWindow()->loginFields().localConnection, ticked);
}

void WindowFlowTest::storedEmptyPortStaysEmpty()
{
    Settings::write(Settings::MSPort, QString());
    Settings::write(Settings::MSServer, "db.example");
    WindowFlow flow;
    flow.start();
    QCOMPARE(flow.loginWindow()->Text9->text(), QString());
    QCOMPARE(flow.loginWindow()->Text1->text(), QStringLiteral("db.example"));
}

void WindowFlowTest::storedFieldsThatConnectAdvance()
{
    TestDatabase db;
    fillSample(db, "Customers", { "ann SMITH", "bob" });
    fillSample(db, "Products", { "Tea" });
    LoginFields fields = db.fields();
    fields.password = "anything"; // the embedded engine ignores it
    storeFields(fields);

    WindowFlow flow;
    flow.start();
    Form2 *work = flow.changeOptionsWindow();
    QVERIFY(work);
    QVERIFY(work->isVisible());
    QVERIFY(!flow.loginWindow()->isVisible());
    QCOMPARE(rows(work->ListView1), QStringList({ "Customers", "Products" }));
    QCOMPARE(rows(work->ListView2), QStringList({ "Id", "Name", "City" }));
    QCOMPARE(rows(work->ListView3), QStringList({ "1", "2" }));
    QCOMPARE(boxes->shown.size(), 0);
    QVERIFY(!BusyPointer::isShowing());
    // The login window still holds the fields every connection reads.
    QCOMPARE(flow.loginWindow()->Text3->text(), QStringLiteral("anything"));
}

void WindowFlowTest::emptyPasswordDoesNotAdvance()
{
    TestDatabase db;
    fillSample(db, "Customers", { "ann" });
    storeFields(db.fields()); // no password
    WindowFlow flow;
    flow.start();
    QVERIFY(!flow.changeOptionsWindow());
    QVERIFY(flow.loginWindow()->isVisible());

    // "Next >" by hand looks only at the server box.
    QTest::mouseClick(flow.loginWindow()->PushButton3, Qt::LeftButton);
    QVERIFY(flow.changeOptionsWindow());
    QVERIFY(flow.changeOptionsWindow()->isVisible());
    QVERIFY(!flow.loginWindow()->isVisible());
    QCOMPARE(rows(flow.changeOptionsWindow()->ListView1), QStringList { "Customers" });
}

void WindowFlowTest::fieldsThatDoNotConnectShowLoginWindow()
{
    LoginFields fields = TestDatabase::unreachable();
    fields.password = "wrong";
    storeFields(fields);
    WindowFlow flow;
    flow.start();
    QVERIFY(flow.loginWindow()->isVisible());
    QVERIFY(!flow.changeOptionsWindow());
    QCOMPARE(flow.loginWindow()->Text4->text(), fields.database);
    QCOMPARE(boxes->shown.size(), 0);

    // "Next >" does nothing visible either.
    QTest::mouseClick(flow.loginWindow()->PushButton3, Qt::LeftButton);
    QVERIFY(flow.loginWindow()->isVisible());
    QVERIFY(!flow.changeOptionsWindow());
    QCOMPARE(boxes->shown.size(), 0);
}

void WindowFlowTest::emptyPortWithoutLocalConnectionStillTried()
{
    // The port is not looked at before trying; the embedded engine ignores "Server=localhost,".
    TestDatabase db;
    fillSample(db, "Cities", { "rome" });
    LoginFields fields = db.fields();
    fields.password = "pw";
    storeFields(fields);
    Settings::write(Settings::MSPort, QString());
    Settings::write(Settings::LocalConnection, "0");
    WindowFlow flow;
    flow.start();
    QVERIFY(flow.changeOptionsWindow());
    QVERIFY(flow.changeOptionsWindow()->isVisible());
}

void WindowFlowTest::switchDatabaseAndBack()
{
    TestDatabase first;
    fillSample(first, "Customers", { "ann" });
    TestDatabase second;
    fillSample(second, "Invoices", { "x" });
    fillSample(second, "Suppliers", { "y" });
    LoginFields fields = first.fields();
    fields.password = "pw";
    storeFields(fields);

    WindowFlow flow;
    flow.start();
    Form2 *work = flow.changeOptionsWindow();
    QVERIFY(work && work->isVisible());
    work->Combo1->setCurrentIndex(3);

    QTest::mouseClick(work->PushButton5, Qt::LeftButton);
    Form1 *login = flow.loginWindow();
    QVERIFY(login->isVisible());
    QVERIFY(!work->isVisible());
    QCOMPARE(login->Text4->text(), first.path());

    login->Text4->setText(second.path());
    QTest::mouseClick(login->PushButton3, Qt::LeftButton);
    QCOMPARE(flow.changeOptionsWindow(), work); // the same window, not a new one
    QVERIFY(work->isVisible());
    QVERIFY(!login->isVisible());
    QCOMPARE(rows(work->ListView1), QStringList({ "Invoices", "Suppliers" }));
    QCOMPARE(rows(work->ListView2), QStringList({ "Id", "Name", "City" }));
    QCOMPARE(work->Combo1->currentText(), QStringLiteral("Sentence case"));
    QCOMPARE(Settings::read(Settings::MSDatabase), second.path());
}

void WindowFlowTest::databaseWithoutTables()
{
    TestDatabase db;
    db.exec("CREATE VIEW JustAView AS SELECT 1 AS One");
    WindowFlow flow;
    flow.start();
    Form1 *login = flow.loginWindow();
    login->Text1->setText("localhost");
    login->Text4->setText(db.path());
    login->PushButton3_Click();
    QVERIFY(flow.changeOptionsWindow()->isVisible());
    QCOMPARE(flow.changeOptionsWindow()->ListView1->topLevelItemCount(), 0);
    QCOMPARE(flow.changeOptionsWindow()->ListView2->topLevelItemCount(), 0);
    QCOMPARE(boxes->shown.size(), 0);
}

void WindowFlowTest::secondNextDuringListingIsIgnored()
{
    TestDatabase db;
    for (const char *table : {"Alpha", "Beta", "Gamma", "Delta"})
        fillSample(db, table, {"x"});
    WindowFlow flow;
    flow.start();
    Form1 *login = flow.loginWindow();
    login->Text1->setText("localhost");
    login->Text4->setText(db.path());
    // Runs at the listing's first yield.
    QTimer::singleShot(0, login, [login] { login->PushButton3_Click(); });
    login->PushButton3_Click();
    QCOMPARE(rows(flow.changeOptionsWindow()->ListView1), QStringList({"Alpha", "Beta", "Gamma", "Delta"}));
    QVERIFY(!login->isVisible());
    QCOMPARE(boxes->shown.size(), 0);
}

void WindowFlowTest::homePageDraw_data()
{
    QTest::addColumn<double>("uniform");
    QTest::addColumn<int>("number");
    QTest::newRow("lowest") << 0.0 << 1;
    QTest::newRow("just below 7") << 0.0599 << 6;
    QTest::newRow("7 from its low end") << 0.06 << 7;
    QTest::newRow("7 from its high end") << 0.0699 << 7;
    QTest::newRow("8") << 0.07 << 8;
    QTest::newRow("highest") << 0.99999 << 100;
}

void WindowFlowTest::homePageDraw()
{
    QFETCH(double, uniform);
    QFETCH(int, number);
    HomePageVisit::setRandomSource([uniform] { return uniform; });
    QCOMPARE(HomePageVisit::draw(), number);
    WindowFlow flow;
    flow.start();
    const QString homePage = QString::fromUtf8(BuildConfig::HomePage);
    const QStringList expected = (number == 7 && !homePage.isEmpty()) ? QStringList { homePage } : QStringList {};
    QCOMPARE(shell->opened, expected);
    QVERIFY(flow.loginWindow()->isVisible());
}

void WindowFlowTest::homePageDrawStaysInRange()
{
    HomePageVisit::setRandomSource({});
    for (int i = 0; i < 200; ++i) {
        const int n = HomePageVisit::draw();
        QVERIFY2(n >= 1 && n <= 100, qPrintable(QString::number(n)));
    }
}

void WindowFlowTest::handCursor()
{
    {
        WindowFlow flow;
        flow.start();
        QCOMPARE(flow.loginWindow()->PushButton3->cursor().shape(), Qt::ArrowCursor);
    }
    const QByteArray cursor = cursorFile(3, 1);
    QVERIFY(!cursor.isEmpty());
    env->putBesideProgram("HAND-M.CUR", cursor);
    WindowFlow flow;
    flow.start();
    QCOMPARE(boxes->shown.size(), 0);
    for (QPushButton *b :
        { flow.loginWindow()->PushButton3, flow.loginWindow()->PushButton4, flow.loginWindow()->PushButton5 }) {
        QCOMPARE(b->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(b->cursor().hotSpot(), QPoint(3, 1));
    }
    // The text boxes keep their own pointer.
    QCOMPARE(flow.loginWindow()->Text1->cursor().shape(), Qt::IBeamCursor);
}

void WindowFlowTest::brokenHandCursorIsReportedAndStartGoesOn()
{
    env->putBesideProgram("HAND-M.CUR", "not a cursor");
    Settings::write(Settings::MSServer, "db.example");
    WindowFlow flow;
    flow.start();
    QCOMPARE(boxes->shown.size(), 1);
    QVERIFY(boxes->shown[0].text.contains(ErrorReport::Form1_Form_Load + "at line 126\r\r"));
    QCOMPARE(flow.loginWindow()->Text1->text(), QStringLiteral("db.example"));
    QVERIFY(flow.loginWindow()->isVisible());
}

void WindowFlowTest::brokenSkinIsReportedOnceAndWindowShown()
{
    env->putBesideProgram("x/o.cjs", "this is no skin");
    Settings::write(Settings::MSUser, "someone");
    WindowFlow flow;
    flow.start();
    QCOMPARE(boxes->shown.size(), 1);
    QCOMPARE(boxes->shown[0].title, ErrorReport::Title);
    QVERIFY(boxes->shown[0].text.contains(ErrorReport::Form1_Form_Load + "at line 100\r\r"));
    QVERIFY(flow.loginWindow()->isVisible());
    QCOMPARE(flow.loginWindow()->windowTitle(), QStringLiteral("Vantrell"));
    QCOMPARE(flow.loginWindow()->Text2->text(), QStringLiteral("someone"));
}

void WindowFlowTest::bothWindowsCarryTheProgramIcon()
{
    TestDatabase db;
    fillSample(db, "Customers", { "ann" });
    WindowFlow flow;
    flow.start();
    const QIcon login = flow.loginWindow()->windowIcon();
    QVERIFY(!login.isNull());
    QVERIFY(login.availableSizes().contains(QSize(16, 16)));
    QVERIFY(login.availableSizes().contains(QSize(256, 256)));
    flow.loginWindow()->Text1->setText("localhost");
    flow.loginWindow()->Text4->setText(db.path());
    flow.loginWindow()->PushButton3_Click();
    QCOMPARE(flow.changeOptionsWindow()->windowIcon().pixmap(32).toImage(), login.pixmap(32).toImage());
}

void WindowFlowTest::closingEitherWindowEndsProgram_data()
{
    QTest::addColumn<bool>("changeOptionsWindow");
    QTest::newRow("login window") << false;
    QTest::newRow("change options window, login window hidden") << true;
}

void WindowFlowTest::closingEitherWindowEndsProgram()
{
    QFETCH(bool, changeOptionsWindow);
    TestDatabase db;
    fillSample(db, "Customers", { "ann" });
    LoginFields fields = db.fields();
    fields.password = "pw";
    if (changeOptionsWindow)
        storeFields(fields);
    WindowFlow flow;
    flow.start();
    QWidget *shown = changeOptionsWindow ? static_cast<QWidget *>(flow.changeOptionsWindow()) : flow.loginWindow();
    QVERIFY(shown && shown->isVisible());
    QTimer::singleShot(0, shown, [shown] { shown->close(); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

void WindowFlowTest::startupRunsUntilLoginWindowCloses()
{
    QTimer::singleShot(0, qApp, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<Form1 *>(w) && w->isVisible())
                w->close();
    });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(Startup::run(*qApp), 0);
}

QTEST_MAIN(WindowFlowTest)
#include "WindowFlowTest.moc"
