#include "connection/ConnectionString.h"
#include "connection/EncryptedOpening.h"
#include "connection/FreeTdsServerEntry.h"
#include "connection/OpeningProfile.h"
#include "platform/Failure.h"
#include "platform/odbc/Connection.h"

#include <QTest>

Q_DECLARE_METATYPE(OpeningProfile)
Q_DECLARE_METATYPE(LoginFields)
Q_DECLARE_METATYPE(ConnectionSecurity)
Q_DECLARE_METATYPE(OdbcDriver)

namespace {
LoginFields fields(const QString &server, const QString &port, const QString &database, const QString &user,
    const QString &password, bool local)
{
    LoginFields login;
    login.server = server;
    login.port = port;
    login.user = user;
    login.password = password;
    login.database = database;
    login.localConnection = local;
    return login;
}

ConnectionSecurity security(bool encrypt, bool trust, const QString &authorities = QString())
{
    return ConnectionSecurity { encrypt, trust, authorities };
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

    // Without a choice the string is the one above on both drivers; each choice
    // adds its driver's keywords, and a FreeTDS connection that checks the
    // certificate names the program's own server entry instead of the server.
    void encryptionChoicesAddTheDriversKeywords_data()
    {
        QTest::addColumn<LoginFields>("login");
        QTest::addColumn<OdbcDriver>("driver");
        QTest::addColumn<QString>("expected");

        const LoginFields plain = fields("db.example.com", "1433", "Sales", "app", "p;w", false);
        const QString tail = QStringLiteral(";Database=Sales;Uid=app;Pwd={p;w};");
        const QString server = QStringLiteral("Driver={SQL Server};Server=db.example.com,1433") + tail;
        LoginFields login = plain;
        for (const OdbcDriver driver : { OdbcDriver::FreeTds, OdbcDriver::Windows })
            QTest::addRow("no choice, %s", driver == OdbcDriver::FreeTds ? "FreeTDS" : "Windows")
                << plain << driver << server;

        login.security = security(false, true);
        QTest::newRow("trust, FreeTDS") << login << OdbcDriver::FreeTds << server + "Encryption=require;";
        QTest::newRow("trust, Windows") << login << OdbcDriver::Windows
                                        << server + "Encrypt=yes;TrustServerCertificate=yes;";
        login.security = security(true, true);
        QTest::newRow("both ticked: trust, FreeTDS") << login << OdbcDriver::FreeTds << server + "Encryption=require;";
        QTest::newRow("both ticked: trust, Windows")
            << login << OdbcDriver::Windows << server + "Encrypt=yes;TrustServerCertificate=yes;";
        login.security = security(true, false);
        QTest::newRow("encrypt, Windows") << login << OdbcDriver::Windows << server + "Encrypt=yes;";
        QTest::newRow("encrypt, FreeTDS")
            << login << OdbcDriver::FreeTds
            << "Driver={SQL Server};Servername=" + FreeTdsServerEntry::name(login) + tail + "Encryption=require;";
        login.security = security(true, false, "C:/certs/ca;1.pem");
        QTest::newRow("authorities file is not in the string")
            << login << OdbcDriver::Windows << server + "Encrypt=yes;";
    }

    void encryptionChoicesAddTheDriversKeywords()
    {
        QFETCH(LoginFields, login);
        QFETCH(OdbcDriver, driver);
        QTEST(buildConnectionString(login, driver), "expected");
    }

    // The server entry FreeTDS checks the certificate by: one per server, port
    // and authorities file, with the host, port or instance split as the
    // driver splits the server box.
    void freeTdsEntryNamesHostPortAndAuthorities_data()
    {
        QTest::addColumn<LoginFields>("login");
        QTest::addColumn<QString>("lines"); // the entry without its section line

        const QString checks
            = QStringLiteral("\tencryption = require\n\tca file = /run/v/ca.pem\n\tcheck certificate hostname = yes\n");
        QTest::newRow("host and port") << fields("db.example.com", "1533", "d", "u", "p", false)
                                       << "\thost = db.example.com\n\tport = 1533\n" + checks;
        QTest::newRow("local: the driver's port")
            << fields("localhost", "1533", "d", "u", "p", true) << "\thost = localhost\n" + checks;
        QTest::newRow("local with a port in the server box")
            << fields("10.0.0.5,2000", "1533", "d", "u", "p", true) << "\thost = 10.0.0.5\n\tport = 2000\n" + checks;
        QTest::newRow("named instance, local")
            << fields("srv\\SQLEXPRESS", "", "d", "u", "p", true) << "\thost = srv\n\tinstance = SQLEXPRESS\n" + checks;
        QTest::newRow("named instance with a port: the port")
            << fields("srv\\SQLEXPRESS", "1433", "d", "u", "p", false) << "\thost = srv\n\tport = 1433\n" + checks;
    }

    void freeTdsEntryNamesHostPortAndAuthorities()
    {
        QFETCH(LoginFields, login);
        QFETCH(QString, lines);
        login.security = security(true, false);
        QCOMPARE(
            FreeTdsServerEntry::text(login, "/run/v/ca.pem"), "[" + FreeTdsServerEntry::name(login) + "]\n" + lines);
    }

    void freeTdsEntryNameTellsServersApart()
    {
        LoginFields a = fields("h", "1433", "d", "u", "p", false);
        LoginFields b = a;
        QCOMPARE(FreeTdsServerEntry::name(a), FreeTdsServerEntry::name(b));
        b.user = "other";
        b.password = "other";
        QCOMPARE(FreeTdsServerEntry::name(a), FreeTdsServerEntry::name(b)); // the login is not the entry's
        b.port = "1434";
        QVERIFY(FreeTdsServerEntry::name(a) != FreeTdsServerEntry::name(b));
        b = a;
        b.security.authoritiesFile = "/etc/ca.pem";
        QVERIFY(FreeTdsServerEntry::name(a) != FreeTdsServerEntry::name(b));
        b = a;
        b.localConnection = true;
        QVERIFY(FreeTdsServerEntry::name(a) != FreeTdsServerEntry::name(b));
    }

    // What the configuration file would read as a comment or another line is
    // refused, never written.
    void freeTdsEntryRefusesWhatItCannotCarry_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("authorities");
        QTest::newRow("comment mark in the server") << "db#1"
                                                    << "system";
        QTest::newRow("semicolon in the server") << "db;x"
                                                 << "system";
        QTest::newRow("line end in the server") << "db\n\tca file = /tmp/evil"
                                                << "system";
        QTest::newRow("blank in the server") << "db x"
                                             << "system";
        QTest::newRow("empty server") << ""
                                      << "system";
        QTest::newRow("comment mark in the authorities path") << "db"
                                                              << "/tmp/a#b/ca.pem";
        QTest::newRow("path longer than a line") << "db"
                                                 << "/" + QString(300, 'a');
    }

    void freeTdsEntryRefusesWhatItCannotCarry()
    {
        QFETCH(QString, server);
        QFETCH(QString, authorities);
        LoginFields login = fields(server, "1433", "d", "u", "p", false);
        login.security = security(true, false);
        QVERIFY_THROWS_EXCEPTION(Failure, FreeTdsServerEntry::text(login, authorities));
    }

    // Windows checks certificates against its own store: a file of authorities
    // is refused there while the certificate is to be checked, and not looked
    // at otherwise.
    void windowsRefusesAnAuthoritiesFileItWouldUse()
    {
        LoginFields login = fields("h", "1433", "d", "u", "p", false);
        login.security = security(true, false, "/etc/ssl/ca.pem");
        try {
            EncryptedOpening::prepare(login, OdbcDriver::Windows);
            QFAIL("a file of authorities cannot be used on Windows");
        } catch (const Failure &e) {
            QVERIFY2(
                e.description().contains("\"/etc/ssl/ca.pem\" cannot be used on Windows"), qPrintable(e.description()));
        }
        login.security = security(true, true, "/etc/ssl/ca.pem");
        EncryptedOpening::prepare(login, OdbcDriver::Windows);
        login.security = security(true, false);
        EncryptedOpening::prepare(login, OdbcDriver::Windows);
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
