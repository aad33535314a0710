#include "support/Login.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QTest>

// The built program run as `vantrell --batch ...`, with the login fields
// remembered in a private settings folder.
class BatchCommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void run_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("extraSql");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        QTest::addColumn<QVariantList>("after");
        QTest::addColumn<QString>("outputTo"); // empty: read by the test

        const QVariantList untouched = { "hello world", QVariant(), "o'neil", "HELLO WORLD" };
        QTest::newRow("list text")
            << QStringList { "--mode", "Proper Case" } << "" << 0
            << "4 records read, 3 rows changed, 1 already in the target case or Null, 0 left unchanged"
            << "" << QVariantList { "Hello World", QVariant(), "O'neil", "Hello World" } << "";
        QTest::newRow("word in any letter case")
            << QStringList { "--mode", "uPPer" } << "" << 0 << "2 rows changed"
            << "" << QVariantList { "HELLO WORLD", QVariant(), "O'NEIL", "HELLO WORLD" } << "";
        QTest::newRow("summary lost on a full output")
            << QStringList { "--mode", "sentence CASE" } << "" << 3 << ""
            << "could not be written" << QVariantList { "Hello world", QVariant(), "O'neil", "Hello world" }
            << "/dev/full";
        QTest::newRow("refused by the server")
            << QStringList { "--mode", "lower" }
            << "CREATE TRIGGER refuse BEFORE UPDATE ON t BEGIN SELECT RAISE(ABORT, 'no'); END" << 1
            << "1 left unchanged (0 changed by someone else since they were read, 0 not representable in the "
               "field's code page, 1 refused by the server)"
            << "vantrell: [SQLite]no" << untouched << "";
        QTest::newRow("password on the command line")
            << QStringList { "--mode", "upper", "--password", "x" } << "" << 2 << ""
            << "VANTRELL_PASSWORD" << untouched << "";
        QTest::newRow("mode word inside another word")
            << QStringList { "--mode", "supper" } << "" << 2 << ""
            << "unknown mode \"supper\"; use \"UPPER CASE\", \"lower case\", \"Proper Case\", \"Sentence case\" or "
               "upper, lower, proper, sentence."
            << untouched << "";
        QTest::newRow("unknown option") << QStringList { "--mode", "upper", "--colour" } << "" << 2 << ""
                                        << "colour" << untouched << "";
        QTest::newRow("unreachable") << QStringList { "--mode", "upper", "--database",
            "/nonexistent-vantrell/x.sqlite" }
                                     << "" << 2 << ""
                                     << "could not connect" << untouched << "";
        QTest::newRow("not a text field") << QStringList { "--mode", "upper", "--field", "id" } << "" << 2 << ""
                                          << "not text" << untouched << "";
    }

    void run()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, extraSql);
        TestEnvironment environment;
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "hello world", QVariant(), "o'neil", "HELLO WORLD" });
        if (!extraSql.isEmpty())
            db.exec(extraSql);
        // The remembered login fields name the test database.
        rememberLogin(db.fields());

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", environment.settingsFolder());
        env.insert("ODBCSYSINI", TEST_ODBC_DIR);
        env.remove("VANTRELL_PASSWORD");
        program.setProcessEnvironment(env);
        QStringList all = { "--batch", "--table", "t" };
        if (!arguments.contains("--field"))
            all << "--field"
                << "v";
        QFETCH(QString, outputTo);
        if (!outputTo.isEmpty())
            program.setStandardOutputFile(outputTo);
        program.start(VANTRELL_PROGRAM, all + arguments);
        QVERIFY(program.waitForFinished(60000));
        const QString output = QString::fromUtf8(program.readAllStandardOutput());
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(program.exitStatus() == QProcess::NormalExit, qPrintable(errors));
        QTEST(program.exitCode(), "exitCode");
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        QVERIFY2(output.contains(stdoutHas), qPrintable(output));
        QVERIFY2(errors.contains(stderrHas), qPrintable(errors));
        if (program.exitCode() == 2)
            QVERIFY2(!errors.isEmpty() && !output.contains("records read"), qPrintable(output));
        else if (outputTo.isEmpty())
            QCOMPARE(output.count("records read"), 1);
        QTEST(db.column("t", "v"), "after");
    }

    void helpExplains()
    {
        QProcess program;
        program.start(VANTRELL_PROGRAM, { "--help" });
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        const QString output = QString::fromUtf8(program.readAllStandardOutput());
        for (const char *word : { "--batch", "--table", "--field", "--mode", "VANTRELL_PASSWORD", "Exit status" })
            QVERIFY2(output.contains(word), word);
    }
};

QTEST_GUILESS_MAIN(BatchCommandLineTest)
#include "BatchCommandLineTest.moc"
