#include "connection/ConnectionString.h"
#include "connection/OpeningProfile.h"
#include "platform/odbc/Connection.h"

#include <QTest>

Q_DECLARE_METATYPE(OpeningProfile)
Q_DECLARE_METATYPE(LoginFields)

namespace {
LoginFields fields(const QString &server, const QString &port, const QString &database, const QString &user,
    const QString &password, bool local)
{
    return LoginFields { server, port, user, password, database, local };
}
} // namespace

class ConnectionStringTest : public QObject {
    Q_OBJECT

private slots:
    void connectionStringQuotesAsTheDriverReads_data()
    {
        QTest::addColumn<LoginFields>("login");
        QTest::addColumn<QString>("expected");

        QTest::newRow("with port") << fields("DBHOST", "1433", "Sales", "app", "", false)
                                   << "Driver={SQL Server};Server=DBHOST,1433;Database=Sales;Uid=app;Pwd=;";
        QTest::newRow("local: no port") << fields("DBHOST", "1433", "Sales", "app", "", true)
                                        << "Driver={SQL Server};Server=DBHOST;Database=Sales;Uid=app;Pwd=;";
        QTest::newRow("empty port: bare comma") << fields("DBHOST", "", "Sales", "app", "pw", false)
                                                << "Driver={SQL Server};Server=DBHOST,;Database=Sales;Uid=app;Pwd=pw;";
        QTest::newRow("empty user and password")
            << fields("h", "1", "d", "", "", false) << "Driver={SQL Server};Server=h,1;Database=d;Uid=;Pwd=;";
        QTest::newRow("blanks kept") << fields(" h ", "1433", " d", "u ", " p ", false)
                                     << "Driver={SQL Server};Server= h ,1433;Database= d;Uid=u ;Pwd= p ;";
        QTest::newRow("instance name") << fields("localhost\\SQLEXPRESS", "1433", "d", "u", "p",
            false) << "Driver={SQL Server};Server=localhost\\SQLEXPRESS,1433;Database=d;Uid=u;Pwd=p;";
        QTest::newRow("semicolon braced") << fields("h", "1", "d", "u", "pa;ss", false)
                                          << "Driver={SQL Server};Server=h,1;Database=d;Uid=u;Pwd={pa;ss};";
        QTest::newRow("closing brace doubled") << fields("h", "1", "d", "u", "a}b", false)
                                               << "Driver={SQL Server};Server=h,1;Database=d;Uid=u;Pwd={a}}b};";
        QTest::newRow("leading brace") << fields("h", "1", "d", "u", "{x", false)
                                       << "Driver={SQL Server};Server=h,1;Database=d;Uid=u;Pwd={{x};";
        QTest::newRow("equals and inner brace unchanged") << fields(
            "h", "1", "d", "u=1", "a{b=", false) << "Driver={SQL Server};Server=h,1;Database=d;Uid=u=1;Pwd=a{b=;";
    }

    void connectionStringQuotesAsTheDriverReads()
    {
        QFETCH(LoginFields, login);
        QTEST(buildConnectionString(login), "expected");
    }

    void eachUseOpensWithItsOwnTimeouts_data()
    {
        QTest::addColumn<OpeningProfile>("profile");
        QTest::addColumn<QList<int>>("settings"); // mode, cursor location, command and connection timeouts
        // A profile that sets no timeout waits 15 seconds for the server to
        // answer the login and 30 for a statement, never without end.
        const int cmd = 30;
        const int conn = 15;
        QTest::newRow("test connection") << OpeningProfile::TestConnection << QList { 0, 2, cmd, conn };
        QTest::newRow("can connect") << OpeningProfile::CanConnect << QList { 0, 2, cmd, conn };
        QTest::newRow("list tables") << OpeningProfile::ListTables << QList { 0, 2, cmd, conn };
        QTest::newRow("field list") << OpeningProfile::FieldList << QList { 3, 2, cmd, conn };
        QTest::newRow("preview") << OpeningProfile::Preview << QList { 3, 2, cmd, conn };
        QTest::newRow("batch") << OpeningProfile::Batch << QList { 0, 3, 5000, 5000 };
    }

    void eachUseOpensWithItsOwnTimeouts()
    {
        QFETCH(OpeningProfile, profile);
        odbc::Connection c;
        applyProfile(c, profile);
        QTEST((QList { c.mode(), c.cursorLocation(), c.commandTimeout(), c.connectionTimeout() }), "settings");
    }
};

QTEST_APPLESS_MAIN(ConnectionStringTest)
#include "ConnectionStringTest.moc"
