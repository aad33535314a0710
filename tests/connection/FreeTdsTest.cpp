#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"

#include <QTcpServer>
#include <QTest>

// The program's connection string names the server as "host,port". FreeTDS
// must read that as a port, not as part of the host name: a listener on a
// loopback port sees the driver arrive there.
class FreeTdsTest : public QObject {
    Q_OBJECT

private slots:
    // FreeTDS takes a port from the environment before the one the program names.
    void initTestCase() { qunsetenv("TDSPORT"); }

    void serverCommaPortReachesThatPort()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        const QString connectionString = QStringLiteral("Driver={FreeTDS under test};Server=127.0.0.1,%1;"
                                                        "Database=Sales;Uid=app;Pwd=pa;")
                                             .arg(listener.serverPort());
        odbc::Connection connection;
        connection.setConnectionTimeout(2);
        // Nothing answers the login, so the open fails: with the driver's own message.
        try {
            connection.open(connectionString);
            QFAIL("a listener that never answers cannot log in");
        } catch (const odbc::Error &e) {
            QVERIFY(!e.description().isEmpty());
        }
        QVERIFY(listener.waitForNewConnection(2000) || listener.hasPendingConnections());
    }
};

QTEST_GUILESS_MAIN(FreeTdsTest)
#include "FreeTdsTest.moc"
