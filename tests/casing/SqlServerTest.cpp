#include "casing/BatchChange.h"
#include "casing/SnapshotReader.h"
#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "connection/SqlServerDialect.h"
#include "journal/JournalReader.h"
#include "journal/JournalUndo.h"
#include "journal/JournalWriter.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"
#include "support/ServerLine.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

// The batch change against a real TDS server (SQL Server, or an engine that
// speaks its dialect), when VANTRELL_TEST_SQLSERVER names one:
//   server=HOST;port=PORT;user=NAME;database=NAME   (or local=1 instead of port)
// with the password in VANTRELL_PASSWORD. Here the driver named "SQL Server"
// is FreeTDS. Every table is the test's own and is dropped at its end.
class SqlServerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString named = qEnvironmentVariable("VANTRELL_TEST_SQLSERVER");
        if (named.isEmpty())
            QSKIP("VANTRELL_TEST_SQLSERVER is not set: the tests against a TDS server are skipped.");
        m_fields = loginFieldsFromLine(named);
        m_table = QStringLiteral("vt_test_%1").arg(QCoreApplication::applicationPid());
    }

    void cleanup()
    {
        if (!m_fields.server.isEmpty()) {
            exec(QStringLiteral("IF OBJECT_ID('%1_view') IS NOT NULL DROP VIEW [%1_view]").arg(m_table));
            for (const QString &name : { m_table, QStringLiteral("%1_log").arg(m_table) })
                exec(QStringLiteral("IF OBJECT_ID('%1') IS NOT NULL DROP TABLE [%1]").arg(name));
            exec(QStringLiteral("IF TYPE_ID('%1_code') IS NOT NULL DROP TYPE [%1_code]").arg(m_table));
        }
    }

    // Every mode, with a key and without, Unicode beyond the BMP included.
    void everyModeIsWrittenOnTheServer_data()
    {
        QTest::addColumn<bool>("keyed");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QVariantList>("after");
        const QVariantList upper { "ANN SMITH", QVariant(), "O'NEIL", "STRAßE 😀", "ANN SMITH" };
        const QVariantList proper { "Ann Smith", QVariant(), "O'neil", "Straße 😀", "Ann Smith" };
        for (const bool keyed : { true, false }) {
            const char *shape = keyed ? "keyed" : "no key";
            QTest::addRow("%s, upper", shape) << keyed << "UPPER CASE" << upper;
            QTest::addRow("%s, lower", shape)
                << keyed << "lower case" << QVariantList { "ann smith", QVariant(), "o'neil", "straße 😀", "ann smith" };
            QTest::addRow("%s, proper", shape) << keyed << "Proper Case" << proper;
            QTest::addRow("%s, sentence", shape)
                << keyed << "Sentence case"
                << QVariantList { "Ann smith", QVariant(), "O'neil", "Straße 😀", "Ann smith" };
        }
    }

    void everyModeIsWrittenOnTheServer()
    {
        QFETCH(bool, keyed);
        QFETCH(QString, mode);
        makeTable(keyed, "nvarchar(100)", { "ann SMITH", QVariant(), "o'NEIL", "STRAße 😀", "ann SMITH" });
        const BatchChange::Result result = run(mode);
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QCOMPARE(result.byKey, keyed);
        QCOMPARE(result.unchanged(), 0);
        QTEST(values(), "after");
    }

    // The chunk form follows what the server runs: OPENJSON where it answers,
    // VALUES lists where it does not or where the form is turned off; a run of
    // staged pairs alone learns it from the question of runs.
    void chunkFormFromServer_data()
    {
        QTest::addColumn<bool>("stagedPairsOnly");
        QTest::newRow("chunks by key") << false;
        QTest::newRow("staged pairs alone") << true;
    }

    void chunkFormFromServer()
    {
        QFETCH(bool, stagedPairsOnly);
        Session session = openSession(OpeningProfile::Batch, m_fields);
        bool runsOpenJson = true;
        try {
            session.connection->query(QStringLiteral("SELECT COUNT(*) FROM OPENJSON(N'[1]')"));
        } catch (const odbc::Error &) {
            runsOpenJson = false;
        }
        auto *dialect = dynamic_cast<SqlServerDialect *>(session.dialect.get());
        QVERIFY(dialect);
        dialect->learnWriting(*session.connection, stagedPairsOnly);
        const bool json = runsOpenJson && !qEnvironmentVariableIsSet("VANTRELL_NO_OPENJSON");
        QCOMPARE(
            dialect->chunkForm(), json ? SqlServerDialect::ChunkForm::Json : SqlServerDialect::ChunkForm::ValuesList);
        qInfo("chunks go as %s", json ? "one OPENJSON parameter" : "VALUES lists");
    }

    // More rows than one chunk and one block of rows read hold, with texts
    // that need escaping in a JSON parameter or break a VALUES list (without
    // a key texts in one row and in two, in more pairs than a chunk holds):
    // every row is changed exactly.
    void severalChunksOfAwkwardTexts_data()
    {
        QTest::addColumn<bool>("keyed");
        QTest::newRow("keyed") << true;
        QTest::newRow("no key") << false;
    }
    void severalChunksOfAwkwardTexts()
    {
        QFETCH(bool, keyed);
        const QStringList awkward { "quote \" and back\\slash", "line\nbreak\ttab", "a \x01 control", "{\"json\": [1]}",
            "it's ]] bracket", "ünïcödé 😀 日本", "a back\\slash alone" };
        QVariantList texts;
        QVariantList expected;
        const int rows = SnapshotReader::BlockRows + 500;
        for (int i = 0; i < rows; ++i) {
            const int n = keyed || i < rows / 2 ? i : i - i % 2;
            const QString text = awkward[n % awkward.size()] + QStringLiteral(" row %1").arg(n);
            texts << text;
            expected << text.toUpper();
        }
        makeTable(keyed, "nvarchar(200)", texts);
        const BatchChange::Result result = run("UPPER CASE");
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QVERIFY2(result.unchanged() == 0, qPrintable(describeCounts(result)));
        QCOMPARE(result.recordsChanged, rows);
        QCOMPARE(values(), expected);
    }

    // A varchar field keeps a row whose new text its code page cannot hold.
    void codePageFieldKeepsATextItCannotHold()
    {
        // MICRO SIGN (in code page 1252) raises to GREEK CAPITAL LETTER MU (not in it).
        makeTable(true, "varchar(20) COLLATE Latin1_General_CI_AS", { "\u00b5m", "plain" });
        const BatchChange::Result result = run("UPPER CASE");
        // The server says whether its varchar holds the capital (SQL Server's does not; an engine
        // that keeps varchar as UTF-8 does).
        auto connection = openConnection(OpeningProfile::CanConnect, m_fields);
        const bool held
            = connection
                  ->query(QStringLiteral(
                      "SELECT CASE WHEN CAST(CAST(NCHAR(924) COLLATE Latin1_General_CI_AS AS varchar(10)) AS "
                      "nvarchar(10)) = NCHAR(924) THEN 1 ELSE 0 END"))
                  .value(0)
                  .toInt()
            == 1;
        QCOMPARE(values(), (QVariantList { held ? "\u039cM" : "\u00b5m", "PLAIN" }));
        QCOMPARE(result.recordsChanged, held ? 2 : 1);
        QCOMPARE(result.notRepresentable, held ? 0 : 1);
    }

    // A row changed since it was read, and one the server refuses inside a
    // chunk (without a key, inside the join of the end).
    void changedAndRefused_data()
    {
        QTest::addColumn<bool>("keyed");
        QTest::addColumn<bool>("refusing");
        QTest::newRow("keyed") << true << true;
        QTest::newRow("no key") << false << true;
        QTest::newRow("no key, nothing refused") << false << false;
    }
    void changedAndRefused()
    {
        QFETCH(bool, keyed);
        QFETCH(bool, refusing);
        makeTable(keyed, "nvarchar(100)", { "one", "two", "three", "four" });
        // A check the new text fails: the chunk's statement is refused and done again record by record.
        if (refusing)
            exec(QStringLiteral("ALTER TABLE [%1] ADD CONSTRAINT [%1_no] CHECK (CAST(v AS varbinary(200)) <> "
                                "CAST(N'FOUR' AS varbinary(200)))")
                     .arg(m_table));
        int position = 0;
        const BatchChange::Result result = run("UPPER CASE", [&] {
            if (position++ == 1)
                exec(QStringLiteral("UPDATE [%1] SET v = N'three, edited' WHERE id = 3").arg(m_table));
        });
        QCOMPARE(values(), (QVariantList { "ONE", "TWO", "three, edited", refusing ? "four" : "FOUR" }));
        QCOMPARE(result.recordsChanged, refusing ? 2 : 3);
        QCOMPARE(result.changedSinceRead, 1);
        QCOMPARE(result.rejected, refusing ? 1 : 0);
    }

    // Without a key, a row changed from one staged text to another during the
    // run: both texts are left alone, though as many rows hold the staged
    // texts as were read, since one of them would change a row the journal
    // does not cover.
    void textsThatTradeRowsAreLeftAlone()
    {
        makeTable(false, "nvarchar(100)", { "one", "two", "two", "x" });
        int position = 0;
        const BatchChange::Result result = run("UPPER CASE", [&] {
            if (position++ == 1)
                exec(QStringLiteral("UPDATE [%1] SET v = N'one' WHERE id = 3").arg(m_table));
        });
        QCOMPARE(values(), (QVariantList { "one", "two", "one", "X" }));
        QCOMPARE(result.recordsChanged, 1);
        QCOMPARE(result.changedSinceRead, 3);
    }

    // Without a key, texts alike but for a trailing blank or a last character,
    // short and longer than the prefix the staged texts are found by: each
    // text's rows are counted apart, so a row edited during the run from one
    // to another leaves just those two alone.
    void textsAlikeButForTheirEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("short") << "ann";
        QTest::newRow("longer than the prefix") << QString(400, QLatin1Char('a'));
    }
    void textsAlikeButForTheirEnds()
    {
        QFETCH(QString, text);
        makeTable(false, "nvarchar(max)", { text, text + " ", text, text + "!" });
        int position = 0;
        const BatchChange::Result result = run("UPPER CASE", [&] {
            if (position++ == 1)
                exec(QStringLiteral("UPDATE [%1] SET v = N'%2 ' WHERE id = 4").arg(m_table, text));
        });
        QCOMPARE(values(), (QVariantList { text.toUpper(), text + " ", text.toUpper(), text + " " }));
        QCOMPARE(result.recordsChanged, 2);
        QCOMPARE(result.changedSinceRead, 2);
    }

    // A table whose update trigger changes rows of another table: the rows a
    // statement changed are its own, not the trigger's.
    void triggerCountsAreNotTheStatements_data()
    {
        QTest::addColumn<bool>("keyed");
        QTest::newRow("keyed") << true;
        QTest::newRow("no key") << false;
    }
    void triggerCountsAreNotTheStatements()
    {
        QFETCH(bool, keyed);
        makeTable(keyed, "nvarchar(100)", { "one", "two", "three" });
        exec(QStringLiteral("CREATE TABLE [%1_log] (n int)").arg(m_table));
        exec(QStringLiteral("INSERT INTO [%1_log] VALUES (1), (2)").arg(m_table));
        exec(
            QStringLiteral("CREATE TRIGGER [%1_t] ON [%1] AFTER UPDATE AS UPDATE [%1_log] SET n = n + 1").arg(m_table));
        int position = 0;
        const BatchChange::Result result = run("UPPER CASE", [&] {
            if (position++ == 1)
                exec(QStringLiteral("UPDATE [%1] SET v = N'three, edited' WHERE id = 3").arg(m_table));
        });
        QCOMPARE(values(), (QVariantList { "ONE", "TWO", "three, edited" }));
        QCOMPARE(result.recordsChanged, 2);
        QCOMPARE(result.changedSinceRead, 1);
    }

    // A view is never changed, even one that takes updates.
    void viewIsRefused()
    {
        makeTable(true, "nvarchar(100)", { "one", "two" });
        exec(QStringLiteral("CREATE VIEW [%1_view] AS SELECT id, v FROM [%1]").arg(m_table));
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        const BatchChange::Result result
            = BatchChange(m_fields, { {}, m_table + QStringLiteral("_view") }, "v", callbacks).run();
        QCOMPARE(result.outcome, BatchChange::Outcome::Refused);
        QVERIFY2(result.refusal.contains("view"), qPrintable(result.refusal));
        QCOMPARE(values(), (QVariantList { "one", "two" }));
    }

    // The field as the catalogue holds it: an alias type by its base type,
    // a code page only for a single-byte text type, a computed column, and
    // triggers by the events they fire on; a field the table does not have
    // is none.
    void fieldAsTheCatalogueHoldsIt_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("triggerEvents");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<uint>("codePage");
        QTest::addColumn<bool>("computed");
        QTest::addColumn<bool>("updateTriggers");
        QTest::newRow("nvarchar, no trigger") << "v nvarchar(100)"
                                              << ""
                                              << "nvarchar" << 200 << 0u << false << false;
        QTest::newRow("alias of varchar, update trigger") << "v [%1_code] COLLATE Latin1_General_CI_AS"
                                                          << "UPDATE"
                                                          << "varchar" << 12 << 1252u << false << true;
        QTest::newRow("varchar, insert trigger") << "v varchar(30) COLLATE Greek_CI_AS"
                                                 << "INSERT"
                                                 << "varchar" << 30 << 1253u << false << false;
        QTest::newRow("computed, insert and update trigger") << "w nvarchar(10), v AS CAST(UPPER(w) AS nvarchar(10))"
                                                             << "INSERT, UPDATE"
                                                             << "nvarchar" << 20 << 0u << true << true;
    }
    void fieldAsTheCatalogueHoldsIt()
    {
        QFETCH(QString, columns);
        QFETCH(QString, triggerEvents);
        exec(QStringLiteral("CREATE TYPE [%1_code] FROM varchar(12) NULL").arg(m_table));
        exec(QStringLiteral("CREATE TABLE [%1] (id int NOT NULL, %2)")
                 .arg(m_table, QString(columns).replace("%1", m_table)));
        if (!triggerEvents.isEmpty())
            exec(
                QStringLiteral("CREATE TRIGGER [%1_t] ON [%1] AFTER %2 AS SET NOCOUNT ON").arg(m_table, triggerEvents));

        Session session = openSession(OpeningProfile::Batch, m_fields);
        const std::optional<FieldFacts> facts = session.dialect->lookUpField(*session.connection, { {}, m_table }, "v");
        QVERIFY(facts);
        QTEST(facts->type, "type");
        QTEST(facts->maxLength, "maxLength");
        QTEST(facts->codePage, "codePage");
        QTEST(facts->computed, "computed");
        QTEST(facts->updateTriggers, "updateTriggers");
        QVERIFY(facts->userTable);
        QVERIFY(!session.dialect->lookUpField(*session.connection, { {}, m_table }, "gone"));
    }

    // The keys as the catalogue holds them: the primary key first, its
    // columns in key order, an alias type by its base type; the columns a
    // unique index includes are no part of it. A run uses the primary key,
    // and the unique index once the field is part of the primary key.
    void keysAsTheCatalogueHoldsThem_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("field outside the keys") << "v" << true;
        QTest::newRow("field in the primary key") << "c" << true;
    }
    void keysAsTheCatalogueHoldsThem()
    {
        QFETCH(QString, field);
        exec(QStringLiteral("CREATE TYPE [%1_code] FROM varchar(12) NOT NULL").arg(m_table));
        exec(QStringLiteral("CREATE TABLE [%1] (id int NOT NULL, c [%1_code] NOT NULL, v nvarchar(100), "
                            "d decimal(9, 2) NOT NULL, CONSTRAINT [%1_pk] PRIMARY KEY (c, id))")
                 .arg(m_table));
        exec(QStringLiteral("CREATE UNIQUE INDEX [%1_d] ON [%1] (d) INCLUDE (v)").arg(m_table));
        exec(QStringLiteral("INSERT INTO [%1] (id, c, v, d) VALUES (1, 'ab', N'one', 1.5), (2, 'ab', N'two', 2.5)")
                 .arg(m_table));

        Session session = openSession(OpeningProfile::Batch, m_fields);
        const QList<KeyCandidate> keys = session.dialect->lookUpKeys(*session.connection, { {}, m_table });
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys[0].column.name, QStringLiteral("c"));
        QCOMPARE(keys[0].column.type, QStringLiteral("varchar"));
        QCOMPARE(keys[0].column.maxLength, 12);
        QCOMPARE(keys[1].column.name, QStringLiteral("id"));
        QCOMPARE(keys[1].column.type, QStringLiteral("int"));
        QCOMPARE(keys[1].group, keys[0].group);
        QCOMPARE(keys[2].column.name, QStringLiteral("d"));
        QCOMPARE(keys[2].column.type, QStringLiteral("decimal"));
        QCOMPARE(keys[2].column.precision, 9);
        QCOMPARE(keys[2].column.scale, 2);
        QVERIFY(keys[2].group != keys[0].group);
        for (const KeyCandidate &key : keys)
            QVERIFY(!key.nullable);

        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        const BatchChange::Result result = BatchChange(m_fields, { {}, m_table }, field, callbacks).run();
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QTEST(result.byKey, "byKey");
        QCOMPARE(result.recordsChanged, 2);
    }

    // A schema-qualified table, a journal and its undo, and a dry run.
    void schemaJournalUndoDryRun()
    {
        makeTable(false, "nvarchar(100)", { "alpha", "beta", "alpha" });
        QTemporaryDir folder;
        BatchChange::Callbacks dry;
        dry.modeText = [] { return QStringLiteral("UPPER CASE"); };
        BatchChange dryRun(m_fields, { schema(), m_table }, "v", dry);
        dryRun.setDryRun(true);
        QCOMPARE(dryRun.run().recordsChanged, 3);
        QCOMPARE(values(), (QVariantList { "alpha", "beta", "alpha" }));

        JournalWriter writer(JournalHeader::forRun(m_fields, { schema(), m_table }, "v", "UPPER CASE"), folder.path());
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        writer.attach(callbacks);
        QCOMPARE(BatchChange(m_fields, { schema(), m_table }, "v", callbacks).run().recordsChanged, 3);
        QCOMPARE(values(), (QVariantList { "ALPHA", "BETA", "ALPHA" }));

        JournalReader journal;
        QVERIFY2(journal.read(writer.path()), qPrintable(journal.error()));
        // The journal says the server wrote every record.
        QCOMPARE(journal.keptRecords(), 3);
        QCOMPARE(journal.notWrittenRecords() + journal.endUnknownRecords(), 0);
        JournalUndo undo(journal, m_fields);
        BatchChange::Callbacks undoing;
        undo.attach(undoing);
        QCOMPARE(BatchChange(m_fields, { schema(), m_table }, "v", undoing).run().recordsChanged, 3);
        QCOMPARE(values(), (QVariantList { "alpha", "beta", "alpha" }));
    }

private:
    void exec(const QString &sql)
    {
        auto connection = openConnection(OpeningProfile::CanConnect, m_fields);
        connection->execute(sql);
    }

    QString schema()
    {
        auto connection = openConnection(OpeningProfile::CanConnect, m_fields);
        return connection->query(QStringLiteral("SELECT SCHEMA_NAME()")).value(0).toString();
    }

    void makeTable(bool keyed, const QString &type, const QVariantList &texts)
    {
        exec(QStringLiteral("CREATE TABLE [%1] (id int NOT NULL%2, v %3)")
                 .arg(m_table, keyed ? QStringLiteral(" PRIMARY KEY") : QString(), type));
        auto connection = openConnection(OpeningProfile::CanConnect, m_fields);
        connection->setAutoCommit(false);
        for (int i = 0; i < texts.size(); ++i)
            connection->execute(QStringLiteral("INSERT INTO [%1] (id, v) VALUES (?, ?)").arg(m_table),
                { QString::number(i + 1), texts[i] });
        connection->commit();
    }

    QVariantList values()
    {
        auto connection = openConnection(OpeningProfile::CanConnect, m_fields);
        QVariantList all;
        for (odbc::RecordSet rows
             = connection->query(QStringLiteral("SELECT CAST(v AS nvarchar(max)) FROM [%1] ORDER BY id").arg(m_table));
             !rows.eof(); rows.moveNext())
            all << rows.value(0);
        return all;
    }

    BatchChange::Result run(const QString &mode, std::function<void()> yield = {})
    {
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [mode] { return mode; };
        callbacks.yield = std::move(yield);
        return BatchChange(m_fields, { {}, m_table }, "v", callbacks).run();
    }

    LoginFields m_fields;
    QString m_table;
};

QTEST_GUILESS_MAIN(SqlServerTest)
#include "SqlServerTest.moc"
