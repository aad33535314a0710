#include "changeoptions/RunInWindow.h"
#include "platform/BusyPointer.h"
#include "platform/ProgressBar.h"
#include "support/ListRows.h"
#include "support/WindowSandbox.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>
#include <QTreeWidget>

// "Start Changing" against a server that takes the connection and never
// answers. Here the driver named "SQL Server" is FreeTDS, which speaks to
// the listener on a loopback port.
class SilentServerTest : public QObject {
    Q_OBJECT

private slots:
    // FreeTDS takes a port from the environment before the one the program names.
    void initTestCase() { qunsetenv("TDSPORT"); }

    void toldWithinTheOrdinaryTimeout()
    {
        WindowSandbox sandbox;
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        QWidget window;
        auto *tables = new QTreeWidget(&window);
        auto *fields = new QTreeWidget(&window);
        auto *preview = new QTreeWidget(&window);
        auto *modes = new QComboBox(&window);
        auto *bar = new ProgressBar(&window);
        modes->addItems({ "UPPER CASE", "lower case" });
        fillRows(tables, { "people" });
        fillRows(fields, { "name" });
        fillRows(preview, { "ann" });
        LoginFields login;
        login.server = QStringLiteral("127.0.0.1");
        login.port = QString::number(listener.serverPort());
        login.user = QStringLiteral("tester");
        login.password = QStringLiteral("pw");
        login.database = QStringLiteral("Sales");

        QElapsedTimer waited;
        waited.start();
        RunInWindow::startChanging({ &window, [&] { return login; }, tables, fields, preview, modes, bar, [] {} });
        // The run's own 5,000-second timeouts are never waited out.
        QVERIFY(waited.elapsed() < 120 * 1000);
        QCOMPARE(
            sandbox.boxes.texts(), QStringList { "The server did not answer within 15 seconds. Nothing was changed." });
        QCOMPARE(rowTexts(preview), QStringList { "ann" });
        QVERIFY(!BusyPointer::isShowing());
    }
};

QTEST_MAIN(SilentServerTest)
#include "SilentServerTest.moc"
