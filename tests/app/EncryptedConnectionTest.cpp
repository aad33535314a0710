#include "connection/OpeningProfile.h"
#include "connection/ServerEncryptionOffer.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"
#include "platform/odbc/RecordSet.h"
#include "support/ServerLine.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

Q_DECLARE_METATYPE(ServerEncryptionOffer::Offer)

namespace {

// A TDS listener that answers the first message of a connection (PRELOGIN)
// with the encryption byte it is given, and writes down the type of every
// packet that reaches it: 0x12 PRELOGIN, 0x10 the login with the password.
class PreloginListener {
public:
    explicit PreloginListener(int encryption)
        : m_encryption(encryption)
    {
        std::promise<quint16> listening;
        auto port = listening.get_future();
        m_thread = std::thread([this, &listening] { serve(listening); });
        m_port = port.get();
    }
    ~PreloginListener()
    {
        m_stop = true;
        m_thread.join();
    }
    quint16 port() const { return m_port; }
    QList<int> packetTypes() const
    {
        const std::lock_guard lock(m_mutex);
        return m_types;
    }

private:
    void serve(std::promise<quint16> &listening)
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        listening.set_value(server.serverPort());
        while (!m_stop) {
            if (!server.waitForNewConnection(50))
                continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            answer(*socket);
        }
    }

    void answer(QTcpSocket &socket)
    {
        QByteArray buffer;
        for (int waits = 0; waits < 40 && socket.state() == QAbstractSocket::ConnectedState;) {
            if (!socket.waitForReadyRead(50)) {
                ++waits;
                continue;
            }
            buffer += socket.readAll();
            while (buffer.size() >= 8) {
                const int length = (uchar(buffer[2]) << 8) | uchar(buffer[3]);
                if (buffer.size() < length)
                    break;
                const int type = uchar(buffer[0]);
                buffer.remove(0, length);
                {
                    const std::lock_guard lock(m_mutex);
                    m_types << type;
                }
                if (type != 0x12)
                    return; // anything after PRELOGIN is not this listener's to answer
                // VERSION and ENCRYPTION, then the terminator; a reply packet.
                QByteArray reply("\x04\x01\x00\x1a\x00\x00\x01\x00"
                                 "\x00\x00\x0b\x00\x06\x01\x00\x11\x00\x01\xff"
                                 "\x0f\x00\x07\xd0\x00\x00",
                    8 + 11 + 6);
                reply.append(char(m_encryption));
                socket.write(reply);
                socket.waitForBytesWritten(1000);
            }
        }
    }

    int m_encryption;
    quint16 m_port = 0;
    std::atomic<bool> m_stop { false };
    mutable std::mutex m_mutex;
    QList<int> m_types;
    std::thread m_thread;
};

constexpr int LoginPacket = 0x10;

} // namespace

// Skips the test without a TDS server and a way to switch its TLS; ends it when
// TLS could not be turned on.
#define REQUIRE_TLS_SERVER()                                                                                           \
    do {                                                                                                               \
        if (!tlsServerNamed())                                                                                         \
            QSKIP("VANTRELL_TEST_SQLSERVER and VANTRELL_TEST_TLS_SWITCH are not both set: the TDS server's TLS is "    \
                  "not tested.");                                                                                      \
        turnTlsOnOnce();                                                                                               \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

// Encrypted connections through FreeTDS (the driver named "SQL Server" here).
// Against a listener of the test's own, always: a server that offers no
// encryption never receives the login. Against a TDS server, when
// VANTRELL_TEST_SQLSERVER names one and VANTRELL_TEST_TLS_SWITCH names the
// command that turns TLS on in it ("on CERTIFICATE KEY") and off ("off"),
// restarting it where it reads its certificate only at start: the built
// program with each choice. The command is the tester's: it depends on how
// the server was installed, and the project keeps none of the server's own.
class EncryptedConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // FreeTDS takes a port from TDSPORT before the one the connection names;
        // the program started against the TDS server still gets it.
        m_tdsPort = qgetenv("TDSPORT");
        qunsetenv("TDSPORT");
    }

    void offerIsTheServersPreloginAnswer_data()
    {
        QTest::addColumn<int>("encryption");
        QTest::addColumn<ServerEncryptionOffer::Offer>("offer");
        QTest::newRow("login only") << 0 << ServerEncryptionOffer::Offer::Offered;
        QTest::newRow("whole session") << 1 << ServerEncryptionOffer::Offer::Offered;
        QTest::newRow("no certificate") << 2 << ServerEncryptionOffer::Offer::NotOffered;
        QTest::newRow("required by the server") << 3 << ServerEncryptionOffer::Offer::Offered;
    }

    void offerIsTheServersPreloginAnswer()
    {
        QFETCH(int, encryption);
        PreloginListener listener(encryption);
        QTEST(ServerEncryptionOffer::ask("127.0.0.1", listener.port()), "offer");
        QCOMPARE(listener.packetTypes(), QList<int> { 0x12 });
    }

    void noAnswerIsUnknown()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        QCOMPARE(ServerEncryptionOffer::ask("127.0.0.1", port, 2000), ServerEncryptionOffer::Offer::Unknown);
    }

    // Without a choice the driver logs in to a server without encryption, as
    // it always did; with either choice it stops after PRELOGIN, and the user
    // is told why.
    void serverWithoutEncryptionNeverGetsTheLogin_data()
    {
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<bool>("trust");
        QTest::addColumn<bool>("loginSent");
        QTest::newRow("no choice") << false << false << true;
        QTest::newRow("trust server certificate") << false << true << false;
        QTest::newRow("encrypt connection") << true << false << false;
    }

    void serverWithoutEncryptionNeverGetsTheLogin()
    {
        QFETCH(bool, encrypt);
        QFETCH(bool, trust);
        QFETCH(bool, loginSent);
        PreloginListener listener(2);
        LoginFields fields;
        fields.server = "127.0.0.1";
        fields.port = QString::number(listener.port());
        fields.user = "app";
        fields.password = "secret";
        fields.database = "Sales";
        fields.security = ConnectionSecurity { encrypt, trust, QString() };
        odbc::Connection connection;
        connection.setConnectionTimeout(3);
        QString message;
        try {
            openWithProfile(connection, OpeningProfile::TestConnection, fields);
            QFAIL("the listener never lets a login through");
        } catch (const odbc::Error &e) {
            message = e.description();
        }
        QCOMPARE(listener.packetTypes().contains(LoginPacket), loginSent);
        QCOMPARE(message.startsWith("The server does not offer encryption"), !loginSent);
    }

    // Against a TDS server with TLS turned on, then off.
    void encryptWithTheAuthorityChangesRows()
    {
        REQUIRE_TLS_SERVER();
        makeTable();
        const Ran ran = runProgram({ "--encrypt", "--trusted-authorities", m_certificate });
        QVERIFY2(ran.exitCode == 0, qPrintable(ran.errors));
        QCOMPARE(values(), (QStringList { "ANN SMITH", "O'NEIL" }));
    }

    void encryptWithoutTheAuthorityIsRefused()
    {
        REQUIRE_TLS_SERVER();
        makeTable();
        const Ran ran = runProgram({ "--encrypt" });
        QCOMPARE(ran.exitCode, 2);
        QVERIFY2(ran.errors.contains("The server's certificate is not trusted"), qPrintable(ran.errors));
        QCOMPARE(values(), (QStringList { "ann smith", "o'neil" }));
    }

    void trustServerCertificateConnects()
    {
        REQUIRE_TLS_SERVER();
        makeTable();
        const Ran ran = runProgram({ "--trust-server-certificate", "--mode", "proper" });
        QVERIFY2(ran.exitCode == 0, qPrintable(ran.errors));
        QCOMPARE(values(), (QStringList { "Ann Smith", "O'neil" }));
    }

    void encryptAgainstTheServerWithoutTlsFails()
    {
        REQUIRE_TLS_SERVER();
        makeTable();
        switchTls(false);
        const Ran ran = runProgram({ "--encrypt", "--trusted-authorities", m_certificate });
        QCOMPARE(ran.exitCode, 2);
        QVERIFY2(ran.errors.contains("The server does not offer encryption"), qPrintable(ran.errors));
        QCOMPARE(values(), (QStringList { "ann smith", "o'neil" }));
    }

    void cleanup()
    {
        if (!m_fields.server.isEmpty())
            plainConnection()->execute(QStringLiteral("IF OBJECT_ID('%1') IS NOT NULL DROP TABLE [%1]").arg(m_table));
    }

    void cleanupTestCase()
    {
        if (m_tlsOn)
            switchTls(false);
    }

private:
    struct Ran {
        int exitCode = -1;
        QString errors;
    };

    static bool tlsServerNamed()
    {
        return !qEnvironmentVariableIsEmpty("VANTRELL_TEST_SQLSERVER")
            && !qEnvironmentVariableIsEmpty("VANTRELL_TEST_TLS_SWITCH");
    }

    void turnTlsOnOnce()
    {
        if (!m_fields.server.isEmpty())
            return;
        m_fields = loginFieldsFromLine(qEnvironmentVariable("VANTRELL_TEST_SQLSERVER"));
        m_table = QStringLiteral("vt_tls_%1").arg(QCoreApplication::applicationPid());
        // A self-signed certificate for the names the test reaches the server by.
        m_certificate = m_folder.filePath("server.crt");
        const QString key = m_folder.filePath("server.key");
        QProcess openssl;
        openssl.start("openssl",
            { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
                "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", key, "-out", m_certificate });
        QVERIFY(openssl.waitForFinished(60000));
        QCOMPARE(openssl.exitCode(), 0);
        switchTls(true);
    }

    void switchTls(bool on)
    {
        QProcess command;
        command.setProcessChannelMode(QProcess::ForwardedChannels);
        QStringList words = QProcess::splitCommand(qEnvironmentVariable("VANTRELL_TEST_TLS_SWITCH"));
        const QString program = words.takeFirst();
        words << (on ? QStringList { "on", m_certificate, m_folder.filePath("server.key") } : QStringList { "off" });
        command.start(program, words);
        QVERIFY(command.waitForFinished(120000));
        QCOMPARE(command.exitCode(), 0);
        m_tlsOn = on;
    }

    std::unique_ptr<odbc::Connection> plainConnection() const
    {
        if (!m_tdsPort.isEmpty())
            qputenv("TDSPORT", m_tdsPort);
        auto connection = openConnection(OpeningProfile::Batch, m_fields);
        qunsetenv("TDSPORT");
        return connection;
    }

    void makeTable()
    {
        auto connection = plainConnection();
        connection->execute(QStringLiteral("IF OBJECT_ID('%1') IS NOT NULL DROP TABLE [%1]").arg(m_table));
        connection->execute(QStringLiteral("CREATE TABLE [%1] (id int PRIMARY KEY, v nvarchar(50))").arg(m_table));
        connection->execute(QStringLiteral("INSERT INTO [%1] VALUES (1, N'ann smith'), (2, N'o''neil')").arg(m_table));
    }

    QStringList values() const
    {
        QStringList texts;
        odbc::RecordSet rows = plainConnection()->query(QStringLiteral("SELECT v FROM [%1] ORDER BY id").arg(m_table));
        while (!rows.eof()) {
            texts << rows.value(0).toString();
            rows.moveNext();
        }
        return texts;
    }

    Ran runProgram(const QStringList &choices)
    {
        QStringList arguments { "--batch", "--table", m_table, "--field", "v", "--mode", "upper", "--server",
            m_fields.server, "--user", m_fields.user, "--database", m_fields.database, "--no-journal" };
        arguments << (m_fields.localConnection ? QStringList { "--local" } : QStringList { "--port", m_fields.port });
        if (choices.contains("--mode"))
            arguments.remove(arguments.indexOf("--mode"), 2);
        arguments << choices;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_environment.settingsFolder());
        env.insert("XDG_DATA_HOME", m_environment.dataFolder());
        env.insert("VANTRELL_PASSWORD", m_fields.password);
        if (!m_tdsPort.isEmpty())
            env.insert("TDSPORT", QString::fromLocal8Bit(m_tdsPort));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(VANTRELL_PROGRAM, arguments);
        Ran ran;
        if (program.waitForFinished(120000) && program.exitStatus() == QProcess::NormalExit)
            ran.exitCode = program.exitCode();
        ran.errors = QString::fromUtf8(program.readAllStandardError());
        return ran;
    }

    QByteArray m_tdsPort;
    LoginFields m_fields;
    QString m_table;
    QTemporaryDir m_folder;
    QString m_certificate;
    bool m_tlsOn = false;
    TestEnvironment m_environment { TestEnvironment::Reach::ChildProcesses };
};

QTEST_GUILESS_MAIN(EncryptedConnectionTest)
#include "EncryptedConnectionTest.moc"
