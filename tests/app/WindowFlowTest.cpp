#include "app/WindowFlow.h"
#include "app/Startup.h"
#include "changeoptions/ChangeOptionsWindow.h"
#include "common/BuildConfig.h"
#include "common/ProgramEnd.h"
#include "common/Settings.h"
#include "login/HomePageVisit.h"
#include "login/LoginWindow.h"
#include "platform/BusyPointer.h"
#include "support/ListRows.h"
#include "support/Login.h"
#include "support/TestDatabase.h"
#include "support/WindowSandbox.h"

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

#include <optional>

namespace {

// The windows shown and hidden, in order.
class ShowsAndHides : public QObject {
public:
    QStringList seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            seen << watched->metaObject()->className() + QString(event->type() == QEvent::Show ? " shown" : " hidden");
        return false;
    }
};

void fillSample(TestDatabase &db, const QString &table, const QVariantList &names)
{
    db.table(table, "Id INTEGER PRIMARY KEY, Name TEXT, City TEXT", "Name", names);
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
    void init() { sandbox.emplace(); }
    void cleanup() { sandbox.reset(); }

    void firstStartWithEmptyStore()
    {
        WindowFlow flow;
        flow.start();
        LoginWindow *login = flow.loginWindow();
        QVERIFY(login->isVisible());
        QCOMPARE(login->windowTitle(), QStringLiteral("Vantrell"));
        QCOMPARE(QStringList({ login->serverBox->text(), login->userBox->text(), login->passwordBox->text(),
                     login->databaseBox->text(), login->portBox->text() }),
            QStringList({ "", "", "", "", "1433" }));
        QVERIFY(!login->localConnectionBox->isChecked());
        QVERIFY(!flow.changeOptionsWindow());
        QCOMPARE(shown().size(), 0);
        QVERIFY(sandbox->shell.opened.isEmpty());
        // Restoring the fields is no change by the user: the store stays empty.
        QCOMPARE(Settings::read(Settings::MSPort, "missing"), QStringLiteral("missing"));
    }

    void localConnectionRestored_data()
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

    void localConnectionRestored()
    {
        QFETCH(bool, stored);
        QFETCH(QString, value);
        QFETCH(bool, ticked);
        if (stored)
            Settings::write(Settings::LocalConnection, value);
        WindowFlow flow;
        flow.start();
        QCOMPARE(flow.loginWindow()->localConnectionBox->isChecked(), ticked);
        QCOMPARE(flow.loginWindow()->loginFields().localConnection, ticked);
    }

    void storedFieldsThatConnectAdvance()
    {
        TestDatabase db;
        fillSample(db, "Customers", { "ann SMITH", "bob" });
        fillSample(db, "Products", { "Tea" });
        rememberLogin(db.fields("anything"));
        // An empty port without "Local Connection" is still tried: the embedded
        // engine ignores "Server=localhost,".
        Settings::write(Settings::MSPort, QString());
        Settings::write(Settings::LocalConnection, "0");

        WindowFlow flow;
        flow.start();
        ChangeOptionsWindow *work = flow.changeOptionsWindow();
        QVERIFY(work && work->isVisible());
        QVERIFY(!flow.loginWindow()->isVisible());
        QCOMPARE(rowTexts(work->tableList), QStringList({ "Customers", "Products" }));
        QCOMPARE(rowTexts(work->fieldList), QStringList({ "Id", "Name", "City" }));
        QCOMPARE(rowTexts(work->previewList), QStringList({ "1", "2" }));
        QCOMPARE(shown().size(), 0);
        QVERIFY(!BusyPointer::isShowing());
        // The login window still holds the fields every connection reads; the stored empty port stays empty.
        QCOMPARE(flow.loginWindow()->passwordBox->text(), QStringLiteral("anything"));
        QCOMPARE(flow.loginWindow()->portBox->text(), QString());
    }

    void emptyPasswordDoesNotAdvance()
    {
        TestDatabase db;
        fillSample(db, "Customers", { "ann" });
        rememberLogin(db.fields());
        WindowFlow flow;
        flow.start();
        QVERIFY(!flow.changeOptionsWindow());
        QVERIFY(flow.loginWindow()->isVisible());

        // "Next >" by hand looks only at the server box.
        QTest::mouseClick(flow.loginWindow()->nextButton, Qt::LeftButton);
        QVERIFY(flow.changeOptionsWindow() && flow.changeOptionsWindow()->isVisible());
        QVERIFY(!flow.loginWindow()->isVisible());
        QCOMPARE(rowTexts(flow.changeOptionsWindow()->tableList), QStringList { "Customers" });
    }

    void fieldsThatDoNotConnectShowLoginWindow()
    {
        LoginFields fields = TestDatabase::unreachable();
        fields.password = "wrong";
        rememberLogin(fields);
        WindowFlow flow;
        flow.start();
        QVERIFY(flow.loginWindow()->isVisible());
        QVERIFY(!flow.changeOptionsWindow());
        QCOMPARE(flow.loginWindow()->databaseBox->text(), fields.database);

        // "Next >" does nothing visible either.
        QTest::mouseClick(flow.loginWindow()->nextButton, Qt::LeftButton);
        QVERIFY(flow.loginWindow()->isVisible());
        QVERIFY(!flow.changeOptionsWindow());
        QCOMPARE(shown().size(), 0);
        QVERIFY(!BusyPointer::isShowing());
    }

    void switchDatabaseAndBack()
    {
        TestDatabase first;
        fillSample(first, "Customers", { "ann" });
        TestDatabase second;
        fillSample(second, "Invoices", { "x" });
        fillSample(second, "Suppliers", { "y" });
        rememberLogin(first.fields("pw"));

        WindowFlow flow;
        flow.start();
        ChangeOptionsWindow *work = flow.changeOptionsWindow();
        QVERIFY(work && work->isVisible());
        work->modeBox->setCurrentIndex(3);

        QTest::mouseClick(work->switchDatabaseButton, Qt::LeftButton);
        LoginWindow *login = flow.loginWindow();
        QVERIFY(login->isVisible());
        QVERIFY(!work->isVisible());
        QCOMPARE(login->databaseBox->text(), first.path());

        login->databaseBox->setText(second.path());
        // "Next >" shows the change options window first, then hides the login window.
        ShowsAndHides order;
        login->installEventFilter(&order);
        work->installEventFilter(&order);
        QTest::mouseClick(login->nextButton, Qt::LeftButton);
        QCOMPARE(order.seen, QStringList({ "ChangeOptionsWindow shown", "LoginWindow hidden" }));
        login->removeEventFilter(&order);
        work->removeEventFilter(&order);
        QCOMPARE(flow.changeOptionsWindow(), work); // the same window, not a new one
        QVERIFY(work->isVisible());
        QVERIFY(!login->isVisible());
        QCOMPARE(rowTexts(work->tableList), QStringList({ "Invoices", "Suppliers" }));
        QCOMPARE(rowTexts(work->fieldList), QStringList({ "Id", "Name", "City" }));
        QCOMPARE(work->modeBox->currentText(), QStringLiteral("Sentence case"));
        QCOMPARE(Settings::read(Settings::MSDatabase), second.path());

        // A database without tables offers none of the fields or values shown before.
        TestDatabase empty;
        QTest::mouseClick(work->switchDatabaseButton, Qt::LeftButton);
        login->databaseBox->setText(empty.path());
        QTest::mouseClick(login->nextButton, Qt::LeftButton);
        QVERIFY(work->isVisible());
        for (QTreeWidget *list : { work->tableList, work->fieldList, work->previewList })
            QCOMPARE(list->topLevelItemCount(), 0);
    }

    void nextByHandToDatabaseWithoutTables()
    {
        TestDatabase db;
        db.exec("CREATE VIEW JustAView AS SELECT 1 AS One");
        WindowFlow flow;
        flow.start();
        const QIcon icon = flow.loginWindow()->windowIcon();
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
        QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
        enterLogin(flow.loginWindow(), db.fields());
        flow.loginWindow()->next();
        ChangeOptionsWindow *work = flow.changeOptionsWindow();
        QVERIFY(work->isVisible());
        QCOMPARE(work->tableList->topLevelItemCount(), 0);
        QCOMPARE(work->fieldList->topLevelItemCount(), 0);
        QCOMPARE(shown().size(), 0);
        // Both windows carry the program's icon.
        QCOMPARE(work->windowIcon().pixmap(32).toImage(), icon.pixmap(32).toImage());
    }

    void nextWhileListingIsIgnoredOrStopsOnClose_data()
    {
        QTest::addColumn<bool>("close"); // else a second "Next >"
        QTest::newRow("second Next > is ignored") << false;
        QTest::newRow("closing the window stops it and shows nothing") << true;
    }

    void nextWhileListingIsIgnoredOrStopsOnClose()
    {
        QFETCH(bool, close);
        TestDatabase db;
        for (const char *table : { "Alpha", "Beta", "Gamma", "Delta" })
            fillSample(db, table, { "x" });
        WindowFlow flow;
        flow.start();
        LoginWindow *login = flow.loginWindow();
        enterLogin(login, db.fields());
        // Runs at the listing's first yield.
        QTimer::singleShot(0, login, [login, close] { close ? void(login->close()) : login->next(); });
        login->next();
        ChangeOptionsWindow *work = flow.changeOptionsWindow();
        QCOMPARE(ProgramEnd::requested(), close);
        QCOMPARE(work->isVisible(), !close);
        QCOMPARE(rowTexts(work->tableList), close ? QStringList() : QStringList({ "Alpha", "Beta", "Gamma", "Delta" }));
        QCOMPARE(rowTexts(work->fieldList), close ? QStringList() : QStringList({ "Id", "Name", "City" }));
        QVERIFY(!login->isVisible());
        QCOMPARE(shown().size(), 0);
    }

    void homePageVisitIsDrawnOnceInAHundredStarts_data()
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

    void homePageVisitIsDrawnOnceInAHundredStarts()
    {
        QFETCH(double, uniform);
        QFETCH(int, number);
        HomePageVisit::setRandomSource([uniform] { return uniform; });
        QCOMPARE(HomePageVisit::draw(), number);
        WindowFlow flow;
        flow.start();
        const QString homePage = QString::fromUtf8(BuildConfig::HomePage);
        const QStringList expected = (number == 7 && !homePage.isEmpty()) ? QStringList { homePage } : QStringList {};
        QCOMPARE(sandbox->shell.opened, expected);
        QVERIFY(flow.loginWindow()->isVisible());
    }

    void homePageDrawStaysInRange()
    {
        HomePageVisit::setRandomSource({});
        for (int i = 0; i < 200; ++i) {
            const int n = HomePageVisit::draw();
            QVERIFY2(n >= 1 && n <= 100, qPrintable(QString::number(n)));
        }
    }

    void loginButtonsTakeTheHandCursorBesideTheProgram()
    {
        {
            WindowFlow flow;
            flow.start();
            QCOMPARE(flow.loginWindow()->nextButton->cursor().shape(), Qt::ArrowCursor);
        }
        const QByteArray cursor = cursorFile(3, 1);
        QVERIFY(!cursor.isEmpty());
        sandbox->env.putBesideProgram("HAND-M.CUR", cursor);
        WindowFlow flow;
        flow.start();
        QCOMPARE(shown().size(), 0);
        LoginWindow *login = flow.loginWindow();
        for (QPushButton *b : { login->nextButton, login->helpButton, login->testConnectionButton }) {
            QCOMPARE(b->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(b->cursor().hotSpot(), QPoint(3, 1));
        }
        // The text boxes keep their own pointer.
        QCOMPARE(login->serverBox->cursor().shape(), Qt::IBeamCursor);
    }

    void brokenFileIsReportedAndStartGoesOn_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        QTest::newRow("hand cursor") << "HAND-M.CUR" << 126;
        QTest::newRow("skin") << "x/o.cjs" << 100;
    }

    void brokenFileIsReportedAndStartGoesOn()
    {
        QFETCH(QString, file);
        QFETCH(int, line);
        sandbox->env.putBesideProgram(file, "not what the name says");
        Settings::write(Settings::MSUser, "someone");
        WindowFlow flow;
        flow.start();
        QCOMPARE(shown().size(), 1);
        QCOMPARE(shown()[0].title, QStringLiteral("Application Error"));
        QVERIFY(shown()[0].text.contains(
            QStringLiteral("\r\nin Quorvel2021/08/31.Form1.Form_Load at line %1\r\r").arg(line)));
        QVERIFY(flow.loginWindow()->isVisible());
        QCOMPARE(flow.loginWindow()->windowTitle(), QStringLiteral("Vantrell"));
        QCOMPARE(flow.loginWindow()->userBox->text(), QStringLiteral("someone"));
    }

    void closingEitherWindowEndsProgram_data()
    {
        QTest::addColumn<bool>("changeOptionsWindow");
        QTest::newRow("login window") << false;
        QTest::newRow("change options window, login window hidden") << true;
    }

    void closingEitherWindowEndsProgram()
    {
        QFETCH(bool, changeOptionsWindow);
        TestDatabase db;
        fillSample(db, "Customers", { "ann" });
        if (changeOptionsWindow)
            rememberLogin(db.fields("pw"));
        WindowFlow flow;
        flow.start();
        QWidget *shown = changeOptionsWindow ? static_cast<QWidget *>(flow.changeOptionsWindow()) : flow.loginWindow();
        QVERIFY(shown && shown->isVisible());
        bool closed = false;
        QTimer::singleShot(0, shown, [shown, &closed] { closed = shown->close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(closed);
        QVERIFY(!flow.loginWindow()->isVisible());
        QVERIFY(!flow.changeOptionsWindow() || !flow.changeOptionsWindow()->isVisible());
        QVERIFY(sandbox->boxes.shown.isEmpty());
    }

    void startupRunsUntilLoginWindowCloses()
    {
        QTimer::singleShot(0, qApp, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<LoginWindow *>(w) && w->isVisible())
                    w->close();
        });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(Startup::run(*qApp), 0);
    }

private:
    std::optional<WindowSandbox> sandbox;
    QList<RecordingMessageBoxes::Shown> &shown() { return sandbox->boxes.shown; }
};

QTEST_MAIN(WindowFlowTest)
#include "WindowFlowTest.moc"
