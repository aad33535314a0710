#include "connection/ConnectionString.h"
#include "connection/OpeningProfile.h"
#include "connection/SqlDialect.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"
#include "support/TestDatabase.h"

#include <QTest>

// The data-access layer against a real engine through the driver manager.
class OdbcTest : public QObject {
    Q_OBJECT

private slots:
    void valuesComeBackAsWritten()
    {
        TestDatabase db;
        auto connection = openConnection(OpeningProfile::Batch, db.fields());
        QVERIFY(connection->isOpen());
        QCOMPARE(SqlDialect::forConnection(*connection)->quoteName("x"), QStringLiteral("\"x\""));

        connection->execute("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT)");
        QCOMPARE(
            connection->execute("INSERT INTO people (id, name) VALUES (1, NULL), (2, ''), (3, ?)", { "o'neil" }), 3);

        auto records = connection->query("SELECT id, name FROM people ORDER BY id");
        // The snapshot holds everything: the connection is free for other statements.
        QCOMPARE(connection->execute("UPDATE people SET name = 'changed' WHERE id = 3"), 1);

        QCOMPARE(records.recordCount(), 3);
        QCOMPARE(records.fieldCount(), 2);
        QCOMPARE(records.fieldNames(), QStringList({ "id", "name" }));
        QVERIFY(!records.value(1).isValid()); // Null
        records.moveNext();
        QVERIFY(records.value("name").isValid());
        QCOMPARE(records.value("name").toString(), QString()); // empty, not Null
        records.moveNext();
        QCOMPARE(records.value(1).toString(), QStringLiteral("o'neil"));
        QCOMPARE(records.value(0).toString(), QStringLiteral("3"));
        records.moveNext();
        QVERIFY(records.eof());
        QVERIFY_THROWS_EXCEPTION(Failure, records.value(0));

        QCOMPARE(connection->execute("UPDATE people SET name = ? WHERE id = ?", { QVariant(), "2" }), 1);
        auto after = connection->query("SELECT name FROM people WHERE id = 2");
        QVERIFY(!after.value(0).isValid());
    }

    void unicodeAndLongText()
    {
        TestDatabase db;
        auto connection = openConnection(OpeningProfile::CanConnect, db.fields());
        connection->execute("CREATE TABLE t (v TEXT)");
        const QString unicode = QString::fromUcs4(U"Ελλάδα Москва 東京 \U0001F600 \U00010428 ß");
        const QString longText = QStringLiteral("0123456789").repeated(1000) + unicode;
        connection->execute("INSERT INTO t (v) VALUES (?), (?)", { unicode, longText });
        auto records = connection->query("SELECT v FROM t ORDER BY rowid");
        QCOMPARE(records.value(0).toString(), unicode);
        records.moveNext();
        QCOMPARE(records.value(0).toString(), longText);
    }

    void connectionStringOfAnyLengthArrivesWhole_data()
    {
        QTest::addColumn<int>("length"); // of the whole string, reached with a long password at its end
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("opens");
        QTest::newRow("short") << 200 << "localhost" << true;
        QTest::newRow("longer than a 16-bit signed count") << 40000 << "localhost" << true;
        // A 16-bit count would wrap to 20 and cut the string before the database.
        QTest::newRow("longer than a 16-bit count") << 65536 + 20 << "localhost" << true;
        QTest::newRow("a null character inside") << 200 << "local" + QString(1, QChar(0)) + "host" << false;
    }

    void connectionStringOfAnyLengthArrivesWhole()
    {
        QFETCH(int, length);
        QFETCH(QString, server);
        QFETCH(bool, opens);
        TestDatabase db;
        db.table("t", "v TEXT", "v", { "reached" });
        LoginFields fields = db.fields();
        fields.server = server;
        fields.localConnection = true;
        fields.password = QString(length - buildConnectionString(fields).size(), QLatin1Char('p'));
        QCOMPARE(buildConnectionString(fields).size(), length);
        odbc::Connection connection;
        if (!opens) {
            try {
                openWithProfile(connection, OpeningProfile::CanConnect, fields);
                QFAIL("the open should be refused");
            } catch (const Failure &e) {
                QVERIFY2(e.description().contains("null character"), qPrintable(e.description()));
            }
            QVERIFY(!connection.isOpen());
            return;
        }
        openWithProfile(connection, OpeningProfile::CanConnect, fields);
        QCOMPARE(connection.query("SELECT v FROM t").value(0).toString(), QStringLiteral("reached"));
    }

    void failedOpenCarriesDriverMessage()
    {
        odbc::Connection connection;
        try {
            openWithProfile(connection, OpeningProfile::TestConnection, TestDatabase::unreachable());
            QFAIL("the open should fail");
        } catch (const odbc::Error &e) {
            QVERIFY(!e.description().isEmpty());
            QVERIFY2(!e.description().contains("return code"), qPrintable(e.description()));
        }
        QVERIFY(!connection.isOpen());

        odbc::Connection other;
        // A driver that is not installed fails like any other open, with the driver manager's text.
        QVERIFY_THROWS_EXCEPTION(odbc::Error, other.open("Driver={No Such Driver};Database=x;"));
    }

    void failedStatementCarriesDriverMessage()
    {
        TestDatabase db;
        auto connection = openConnection(OpeningProfile::CanConnect, db.fields());
        try {
            connection->execute("SELECT * FROM no_such_table");
            QFAIL("the statement should fail");
        } catch (const odbc::Error &e) {
            QVERIFY2(e.description().contains("no_such_table"), qPrintable(e.description()));
        }
    }
};

QTEST_GUILESS_MAIN(OdbcTest)
#include "OdbcTest.moc"
