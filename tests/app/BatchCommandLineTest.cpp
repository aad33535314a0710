#include "connection/OpeningProfile.h"
#include "platform/odbc/Connection.h"
#include "support/Login.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString Keyed = QStringLiteral("id INTEGER PRIMARY KEY, v TEXT");

struct Ran {
    int exitCode = -1; // -1: it crashed or hung
    QString output;
    QString errors;
    QString journal; // the path after "Journal: "
};

// Runs the program with the environment's settings and data folders.
// The program's environment: private settings and data folders, the test drivers.
QProcessEnvironment programEnvironment(const TestEnvironment &environment, const QString &dataHome = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", environment.settingsFolder());
    env.insert("XDG_DATA_HOME", dataHome.isEmpty() ? environment.dataFolder() : dataHome);
    env.insert("ODBCSYSINI", TEST_ODBC_DIR);
    env.remove("VANTRELL_PASSWORD");
    return env;
}

// Writes a journal of the test's own making into the data folder; its path.
QString writeJournal(const TestEnvironment &environment, const QString &name, const QByteArray &bytes)
{
    const QString path = environment.dataFolder() + QLatin1Char('/') + name;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

Ran launch(const TestEnvironment &environment, const QStringList &arguments, const QString &dataHome = {},
    const QString &outputTo = {})
{
    QProcess program;
    program.setProcessEnvironment(programEnvironment(environment, dataHome));
    if (!outputTo.isEmpty())
        program.setStandardOutputFile(outputTo);
    program.start(VANTRELL_PROGRAM, arguments);
    Ran ran;
    const bool finished = program.waitForFinished(60000);
    // Lines end as the system ends them in text output: "\r\n" on Windows.
    ran.output = QString::fromUtf8(program.readAllStandardOutput()).replace("\r\n", "\n");
    ran.errors = QString::fromUtf8(program.readAllStandardError()).replace("\r\n", "\n");
    if (finished && program.exitStatus() == QProcess::NormalExit)
        ran.exitCode = program.exitCode();
    ran.journal
        = QRegularExpression("^Journal: (.+)$", QRegularExpression::MultilineOption).match(ran.output).captured(1);
    return ran;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The built program run as `vantrell --batch ...`, with the login fields
// remembered in a private settings folder.
class BatchCommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void exitStatusAndOutputTellTheOutcome_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("extraSql");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        QTest::addColumn<QVariantList>("after");
        QTest::addColumn<bool>("journalBlocked");
        QTest::addColumn<QString>("outputTo"); // empty: read by the test

        const QVariantList untouched = { "hello world", QVariant(), "o'neil", "HELLO WORLD" };
        QTest::newRow("list text")
            << QStringList { "--mode", "Proper Case" } << "" << 0
            << "4 records read, 3 rows changed, 1 already in the target case or Null, 0 left unchanged"
            << "" << QVariantList { "Hello World", QVariant(), "O'neil", "Hello World" } << false << "";
        QTest::newRow("word in any letter case")
            << QStringList { "--mode", "uPPer" } << "" << 0 << "2 rows changed"
            << "" << QVariantList { "HELLO WORLD", QVariant(), "O'NEIL", "HELLO WORLD" } << false << "";
        QTest::newRow("summary lost on a full output")
            << QStringList { "--mode", "sentence CASE" } << "" << 3 << ""
            << "could not be written" << QVariantList { "Hello world", QVariant(), "O'neil", "Hello world" } << false
            << "/dev/full";
        QTest::newRow("refused by the server")
            << QStringList { "--mode", "lower" }
            << "CREATE TRIGGER refuse BEFORE UPDATE ON t BEGIN SELECT RAISE(ABORT, 'no'); END" << 1
            << "1 left unchanged (0 changed by someone else since they were read, 0 not representable in the "
               "field's code page, 1 refused by the server, 0 not read exactly, 0 not reached)"
            << "vantrell: [SQLite]no" << untouched << false << "";
        QTest::newRow("password on the command line")
            << QStringList { "--mode", "upper", "--password", "x" } << "" << 2 << ""
            << "VANTRELL_PASSWORD" << untouched << false << "";
        QTest::newRow("mode word inside another word")
            << QStringList { "--mode", "supper" } << "" << 2 << ""
            << "unknown mode \"supper\"; use \"UPPER CASE\", \"lower case\", \"Proper Case\", \"Sentence case\" or "
               "upper, lower, proper, sentence."
            << untouched << false << "";
        QTest::newRow("unknown option") << QStringList { "--mode", "upper", "--colour" } << "" << 2 << ""
                                        << "colour" << untouched << false << "";
        QTest::newRow("unreachable") << QStringList { "--mode", "upper", "--database",
            "/nonexistent-vantrell/x.sqlite" }
                                     << "" << 2 << ""
                                     << "could not connect" << untouched << false << "";
        QTest::newRow("authorities that cannot be read")
            << QStringList { "--mode", "upper", "--encrypt", "--trusted-authorities", "/nonexistent-vantrell/ca.pem" }
            << "" << 2 << ""
            << "trusted authorities file \"/nonexistent-vantrell/ca.pem\" cannot be" << untouched << false << "";
        QTest::newRow("authorities without --encrypt")
            << QStringList { "--mode", "upper", "--trusted-authorities", "/etc/ssl/ca.pem" } << "" << 2 << ""
            << "--trusted-authorities goes with --encrypt." << untouched << false << "";
        QTest::newRow("authorities with a trusted certificate")
            << QStringList { "--mode", "upper", "--trust-server-certificate", "--trusted-authorities", "/etc/ca.pem" }
            << "" << 2 << ""
            << "no certificate is checked" << untouched << false << "";
        QTest::newRow("encrypt and no-encrypt")
            << QStringList { "--mode", "upper", "--encrypt", "--no-encrypt" } << "" << 2 << ""
            << "--encrypt and --no-encrypt cannot both be given." << untouched << false << "";
        QTest::newRow("schema") << QStringList { "--mode", "upper", "--schema", "main" } << "" << 0 << "2 rows changed"
                                << "" << QVariantList { "HELLO WORLD", QVariant(), "O'NEIL", "HELLO WORLD" } << false
                                << "";
        QTest::newRow("no such schema") << QStringList { "--mode", "upper", "--schema", "nowhere" } << "" << 2 << ""
                                        << "nowhere" << untouched << false << "";
        QTest::newRow("not a text field") << QStringList { "--mode", "upper", "--field", "id" } << "" << 2 << ""
                                          << "not text" << untouched << false << "";
        QTest::newRow("no journal") << QStringList { "--mode", "upper", "--no-journal" } << "" << 0 << "2 rows changed"
                                    << "" << QVariantList { "HELLO WORLD", QVariant(), "O'NEIL", "HELLO WORLD" }
                                    << false << "";
        QTest::newRow("journal cannot be written") << QStringList { "--mode", "upper" } << "" << 2 << ""
                                                   << "journal could not be written" << untouched << true << "";
    }

    void exitStatusAndOutputTellTheOutcome()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, extraSql);
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "hello world", QVariant(), "o'neil", "HELLO WORLD" });
        if (!extraSql.isEmpty())
            db.exec(extraSql);
        // The remembered login fields name the test database.
        rememberLogin(db.fields());

        QFETCH(bool, journalBlocked);
#ifdef Q_OS_WIN
        if (journalBlocked)
            QSKIP("a Windows program's data folder cannot be moved to block it");
#endif
        // A file stands where the journals' folder should be made.
        const QString blocked = environment.dataFolder() + "/blocked";
        if (journalBlocked)
            QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));

        QStringList all = { "--batch", "--table", "t" };
        if (!arguments.contains("--field"))
            all << "--field"
                << "v";
        QFETCH(QString, outputTo);
        const Ran ran = launch(environment, all + arguments, journalBlocked ? blocked : QString(), outputTo);
        QVERIFY2(ran.exitCode >= 0, qPrintable(ran.errors));
        QTEST(ran.exitCode, "exitCode");
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        QVERIFY2(ran.output.contains(stdoutHas), qPrintable(ran.output));
        QVERIFY2(ran.errors.contains(stderrHas), qPrintable(ran.errors));
        if (ran.exitCode == 2)
            QVERIFY2(!ran.errors.isEmpty() && !ran.output.contains("records read"), qPrintable(ran.output));
        else if (outputTo.isEmpty())
            QCOMPARE(ran.output.count("records read"), 1);
        QTEST(db.column("t", "v"), "after");
        // A journal is named on the summary's next line by every run that got to its records.
        const bool journalled = ran.exitCode != 2 && !arguments.contains("--no-journal");
        QCOMPARE(!ran.journal.isEmpty(), journalled && outputTo.isEmpty());
        if (!ran.journal.isEmpty())
            QVERIFY(ran.output.endsWith("\nJournal: " + ran.journal + "\n"));
        QCOMPARE(QDir(environment.dataFolder() + "/Marrowfen/Vantrell/journals").entryList(QDir::Files).size(),
            journalled ? 1 : 0);
    }

    // A run and its undo give the table back; the undo leaves alone, and
    // counts, what it cannot put back without touching rows the run did not
    // change; a second undo changes nothing.
    void undoPutsBackWhatTheRunChanged_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QVariantList>("before");
        QTest::addColumn<QString>("editAfterRun");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("undoSays");
        QTest::addColumn<QVariantList>("afterUndo");

        const QVariantList texts
            = { QVariant(), "", "  ", "a\r\nb", "say \"hi\", o'neil", "𝒜bc straße 😀", "x\ty", "hello world " };
        QTest::newRow("every kind of text, by key")
            << Keyed << texts << "" << 0 << "Undo: 5 of 5 records of the journal put back." << texts;
        const QVariantList repeated = { "hello", "hello", QVariant(), "", "abc", "a\r\nb", "abc", "abc" };
        QTest::newRow("repeated values, no key")
            << "v TEXT" << repeated << "" << 0 << "Undo: 6 of 6 records of the journal put back." << repeated;
        QTest::newRow("row changed after the run")
            << Keyed << QVariantList { "one", "two", "three" } << "UPDATE t SET v = 'two, edited' WHERE v = 'TWO'" << 1
            << "Undo: 2 of 3 records of the journal put back; 1 left alone: 1 changed since the run."
            << QVariantList { "one", "two, edited", "three" };
        // The undo reads the rows its journal names a block at a time: the
        // rows of each block are told apart from those of the others.
        QVariantList names;
        for (int i = 1; i <= 4500; ++i)
            names << QStringLiteral("name %1").arg(i);
        QVariantList namesAfterUndo = names;
        namesAfterUndo[4399] = "changed";
        namesAfterUndo.removeAt(1);
        QTest::newRow("rows deleted and changed after the run")
            << Keyed << names << "DELETE FROM t WHERE id = 2;UPDATE t SET v = 'changed' WHERE id = 4400" << 1
            << "Undo: 4498 of 4500 records of the journal put back; 2 left alone: 1 changed since the run; 1 no "
               "longer there or Null."
            << namesAfterUndo;
        // A journal that names a few rows of its table has them read by key.
        QTest::newRow("a few rows of the table, one deleted after the run")
            << Keyed << QVariantList { "one", "TWO", "THREE", "FOUR", "FIVE", "six" } << "DELETE FROM t WHERE v = 'SIX'"
            << 1 << "Undo: 1 of 2 records of the journal put back; 1 left alone: 1 no longer there or Null."
            << QVariantList { "one", "TWO", "THREE", "FOUR", "FIVE" };
        QTest::newRow("no key, new text held before the run")
            << "v TEXT" << QVariantList { "hello", "HELLO", "abc" } << "" << 1
            << "Undo: 1 of 2 records of the journal put back; 1 left alone: 1 whose new text other rows held"
            << QVariantList { "HELLO", "HELLO", "abc" };
        QTest::newRow("two rows of one text, by key")
            << Keyed << QVariantList { "same", "same", "other" } << "" << 0
            << "Undo: 3 of 3 records of the journal put back." << QVariantList { "same", "same", "other" };
        // Which row held which old text cannot be told from the new text.
        QTest::newRow("no key, a new text from several old texts")
            << "v TEXT" << QVariantList { "abc", "ABC", "Abc" } << "" << 1
            << "Undo: 0 of 2 records of the journal put back; 2 left alone: 2 whose new text"
            << QVariantList { "ABC", "ABC", "ABC" };
        QTest::newRow("the key changed since the run")
            << Keyed << QVariantList { "one", "two" }
            << "ALTER TABLE t RENAME TO before_key;CREATE TABLE t (n INTEGER NOT NULL PRIMARY KEY, v TEXT);"
               "INSERT INTO t SELECT id, v FROM before_key"
            << 2 << "" << QVariantList { "ONE", "TWO" };
    }

    void undoPutsBackWhatTheRunChanged()
    {
        QFETCH(QString, columns);
        QFETCH(QVariantList, before);
        QFETCH(QString, editAfterRun);
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", columns, "v", before);
        rememberLogin(db.fields());

        const Ran run = launch(environment, { "--batch", "--table", "t", "--field", "v", "--mode", "upper" });
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!run.journal.isEmpty(), qPrintable(run.output));
        for (const QString &statement : editAfterRun.split(';', Qt::SkipEmptyParts))
            db.exec(statement);
        const QVariantList afterRun = db.column("t", "v");

        // A dry run of the undo says what would go back, and changes nothing.
        const Ran look = launch(environment, { "--undo", run.journal, "--dry-run" });
        QFETCH(QString, undoSays);
        if (look.exitCode == 0) {
            QVERIFY2(look.output.contains("Dry run: nothing was changed. The undo would report:\n"),
                qPrintable(look.output));
            QVERIFY2(look.output.contains(undoSays), qPrintable(look.output));
        }
        QCOMPARE(db.column("t", "v"), afterRun);
        QVERIFY(!QFileInfo::exists(run.journal + ".undone"));

        const Ran undo = launch(environment, { "--undo", run.journal });
        QTEST(undo.exitCode, "exitCode");
        // The undo is remembered beside the journal when anything went back.
        QCOMPARE(QFileInfo::exists(run.journal + ".undone"), undo.output.contains(QRegularExpression("Undo: [1-9]")));
        QVERIFY2(undo.output.contains(undoSays), qPrintable(undo.output));
        QVERIFY2(undo.journal.isEmpty(), qPrintable(undo.output));
        QTEST(db.column("t", "v"), "afterUndo");
        if (undo.exitCode == 2) {
            QVERIFY2(undo.errors.contains("by the key (id), which the table no longer has. Nothing was changed."),
                qPrintable(undo.errors));
            return;
        }

        const Ran again = launch(environment, { "--undo", run.journal });
        QVERIFY2(again.output.contains(" 0 rows changed"), qPrintable(again.output));
        QTEST(db.column("t", "v"), "afterUndo");
    }

    void undoRefusesAndSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("says");
        // A journal names the database and the server it was written for.
        QTest::newRow("another database") << QByteArray("\"database\":\"") << QByteArray("\"database\":\"/elsewhere")
                                          << "the journal is of the database";
        QTest::newRow("another server") << QByteArray("\"server\":\"localhost\"") << QByteArray("\"server\":\"db2\"")
                                        << "the journal is of the server \"db2\"";
        // And how the server was reached: its port, or "Local Connection".
        QTest::newRow("another port") << QByteArray("\"port\":\"1433\"") << QByteArray("\"port\":\"1434\"")
                                      << "the journal is of port 1434, not 1433.";
        QTest::newRow("a local connection")
            << QByteArray("\"port\":\"1433\",\"localConnection\":false")
            << QByteArray("\"port\":null,\"localConnection\":true") << "made over \"Local Connection\"";
        QTest::newRow("not a journal") << QByteArray("\"format\":\"Vantrell journal\"") << QByteArray("\"x\":1")
                                       << "its first line is not a journal header";
        QTest::newRow("a schema not there")
            << QByteArray("\"schema\":\"\"") << QByteArray("\"schema\":\"sales\"") << "sales";
        QTest::newRow("no such table") << QByteArray("\"table\":\"t\"") << QByteArray("\"table\":\"gone\"")
                                       << "The table \"gone\" has no field \"v\".";
        QTest::newRow("no such field") << QByteArray("\"field\":\"v\"") << QByteArray("\"field\":\"w\"")
                                       << "The table \"t\" has no field \"w\".";
    }

    void undoRefusesAndSendsNothing()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", Keyed, "v", { "one", "two" });
        rememberLogin(db.fields());
        const Ran run = launch(environment, { "--batch", "--table", "t", "--field", "v", "--mode", "upper" });
        QCOMPARE(run.exitCode, 0);
        db.exec("CREATE TABLE changes (n INTEGER)");
        db.exec("CREATE TRIGGER counted AFTER UPDATE ON t BEGIN INSERT INTO changes VALUES (1); END");

        // The journal, edited: the last occurrence of the text replaced.
        QByteArray journal = contents(run.journal);
        QVERIFY(journal.contains(from));
        journal.replace(journal.lastIndexOf(from), from.size(), to);
        const QString edited = writeJournal(environment, "edited.jsonl", journal);
        QVERIFY(!edited.isEmpty());

        const Ran undo = launch(environment, { "--undo", edited });
        QCOMPARE(undo.exitCode, 2);
        QFETCH(QString, says);
        QVERIFY2(undo.errors.contains(says), qPrintable(undo.errors));
        QVERIFY2(undo.errors.contains("othing was changed."), qPrintable(undo.errors));
        QVERIFY2(!undo.output.contains("records read"), qPrintable(undo.output));
        QCOMPARE(db.query("SELECT count(*) FROM changes").value(0).toInt(), 0);
        QCOMPARE(db.column("t", "v"), (QVariantList { "ONE", "TWO" }));
    }

    // Every whole line of a journal whose last line is cut short is undone.
    void cutJournalUndoesItsWholeLines()
    {
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", Keyed, "v", { "one", "two", "three" });
        rememberLogin(db.fields());
        const Ran run = launch(environment, { "--batch", "--table", "t", "--field", "v", "--mode", "upper" });
        QCOMPARE(run.exitCode, 0);
        // The last record cut short, and the line of what the server wrote after it gone.
        QByteArray journal = contents(run.journal);
        journal.truncate(journal.lastIndexOf("{\"written\""));
        journal.chop(5);
        const QString cut = writeJournal(environment, "cut.jsonl", journal);
        QVERIFY(!cut.isEmpty());

        const Ran undo = launch(environment, { "--undo=" + cut });
        QCOMPARE(undo.exitCode, 0);
        QVERIFY2(undo.output.contains("2 of 2 records of the journal put back; the journal's last line was cut short"),
            qPrintable(undo.output));
        QCOMPARE(db.column("t", "v"), (QVariantList { "one", "two", "THREE" }));
    }

    // Arguments the command line cannot take as they stand are refused, and
    // neither the window nor the database is touched.
    void argumentsThatAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        const QStringList change { "--table", "t", "--field", "v", "--mode", "upper" };
        QTest::newRow("one dash") << QStringList { "-batch" } + change + QStringList { "-dry-run" }
                                  << "options take two dashes: --batch.";
        QTest::newRow("one dash for the password") << QStringList { "-password=x" } << "VANTRELL_PASSWORD";
        QTest::newRow("without --batch") << change << "--batch (or --undo) is required";
        QTest::newRow("a table twice") << QStringList { "--batch", "--table", "u" } + change
                                       << "--table is given more than once.";
        QTest::newRow("a mode twice") << QStringList { "--batch" } + change + QStringList { "--mode=lower" }
                                      << "--mode is given more than once.";
        QTest::newRow("no display") << QStringList {} << "no display";
        QTest::newRow("a schema with --undo") << QStringList { "--undo", "j.jsonl", "--schema", "main" }
                                              << "--schema cannot be given with --undo: the journal names it.";
        // Anything the window system does not take is the command line's to refuse.
        QTest::newRow("an unknown option") << QStringList { "--bogus" } << "Unknown option 'bogus'.";
        QTest::newRow("a bare word") << QStringList { "bogus" } << "unexpected argument \"bogus\".";
        QTest::newRow("three dashes") << QStringList { "---batch" } << "-batch";
    }

    void argumentsThatAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
#ifdef Q_OS_WIN
        if (says == "no display")
            QSKIP("a Windows desktop is always there");
#endif
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", Keyed, "v", { "one" });
        rememberLogin(db.fields());
        QProcess program;
        QProcessEnvironment env = programEnvironment(environment);
        if (arguments.isEmpty())
            for (const char *variable : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
                env.remove(variable);
        program.setProcessEnvironment(env);
        program.start(VANTRELL_PROGRAM, arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 2);
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(errors.contains(says), qPrintable(errors));
        QCOMPARE(db.column("t", "v"), (QVariantList { "one" }));
    }

    // --word-rules and --words: names come out as they are written, the
    // journal says the rules were on, and a word file that is no list of
    // words is refused before anything is sent.
    void wordRulesForOneRun()
    {
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", Keyed, "v", { "RONALD MCDONALD", "MARIA DE LA CRUZ", "ACLU OF TEXAS" });
        rememberLogin(db.fields());
        const QStringList change { "--batch", "--table", "t", "--field", "v", "--mode", "proper" };
        const QString words = environment.dataFolder() + "/words.txt";
        const auto writeWords = [&](const QByteArray &bytes) {
            QFile file(words);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        };
        for (const QByteArray &refused : { QByteArray("Stra\xdf"
                                                      "e\n"),
                 QByteArray(201, 'a') }) {
            writeWords(refused);
            const Ran run = launch(environment, change + QStringList { "--words", words });
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.errors.contains("Nothing was changed."), qPrintable(run.errors));
        }
        QCOMPARE(launch(environment, change + QStringList { "--words", environment.dataFolder() }).exitCode, 2);
        QCOMPARE(db.column("t", "v"), (QVariantList { "RONALD MCDONALD", "MARIA DE LA CRUZ", "ACLU OF TEXAS" }));

        writeWords("ACLU\n");
        const Ran run = launch(environment, change + QStringList { "--words", words });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(db.column("t", "v"), (QVariantList { "Ronald McDonald", "Maria de la Cruz", "ACLU of Texas" }));
        QVERIFY(contents(run.journal).contains("\"mode\":\"Proper Case, word rules\""));
        // Without them, the plain rule.
        db.exec("UPDATE t SET v = upper(v)");
        QCOMPARE(launch(environment, change).exitCode, 0);
        QCOMPARE(db.column("t", "v"), (QVariantList { "Ronald Mcdonald", "Maria De La Cruz", "Aclu Of Texas" }));
        const Ran help = launch(environment, { "--help" });
        QVERIFY(help.output.contains("--word-rules") && help.output.contains("--words FILE"));
    }

    // Output that fails only at its last flush is lost output too.
    void outputLostAtTheLastFlushExitsThree()
    {
#ifdef Q_OS_WIN
        QSKIP("POSIX /dev/full");
#else
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        for (const char *option : { "--help", "--version" })
            QCOMPARE(launch(environment, { option }, {}, "/dev/full").exitCode, 3);
#endif
    }

    // Records of a journal that no run writes are never put back, are counted
    // as left alone, and the exit status says not everything went back.
    void recordsNoRunWritesAreLeftAlone()
    {
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", Keyed, "v", { "one", "two" });
        rememberLogin(db.fields());
        const Ran run = launch(environment, { "--batch", "--table", "t", "--field", "v", "--mode", "upper" });
        QCOMPARE(run.exitCode, 0);
        QByteArray journal = contents(run.journal);
        // The second record made to change more than letter case.
        journal.replace("\"new\":\"TWO\"", "\"new\":\"TWO!\"");
        db.exec("UPDATE t SET v = 'TWO!' WHERE v = 'TWO'");
        const QString edited = writeJournal(environment, "edited.jsonl", journal);
        QVERIFY(!edited.isEmpty());
        const Ran undo = launch(environment, { "--undo", edited });
        QVERIFY2(undo.exitCode == 1, qPrintable(QStringLiteral("exit %1: %2").arg(undo.exitCode).arg(undo.errors)));
        QVERIFY2(
            undo.output.contains("Undo: 1 of 2 records of the journal put back; 1 left alone: 1 that no run writes"),
            qPrintable(undo.output));
        QCOMPARE(db.column("t", "v"), (QVariantList { "one", "TWO!" }));
    }

    // A reader that quits the pipe ends the output, not the run.
    void runOutlivesAReaderThatQuits()
    {
#ifdef Q_OS_WIN
        QSKIP("POSIX pipes");
#else
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        QVariantList values;
        for (int i = 0; i < 20000; ++i)
            values << QStringLiteral("row %1").arg(i);
        db.table("t", Keyed, "v", values);
        rememberLogin(db.fields());
        QProcess shell;
        shell.setProcessEnvironment(programEnvironment(environment));
        // The reader closes its end at once; the program's status goes to the error output.
        shell.start("/bin/bash",
            { "-c", "{ \"$0\" \"$@\"; echo \"status $?\" >&2; } | (exec 0<&-; sleep 1)", VANTRELL_PROGRAM, "--batch",
                "--table", "t", "--field", "v", "--mode", "upper" });
        QVERIFY(shell.waitForFinished(60000));
        const QString errors = QString::fromUtf8(shell.readAllStandardError());
        QVERIFY2(errors.contains("status 3"), qPrintable(errors));
        QCOMPARE(db.query("SELECT count(*) FROM t WHERE v = upper(v)").value(0).toInt(), 20000);
#endif
    }

    void dryRunChangesNothing()
    {
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        QVariantList values = { "a\tb", "x\r\ny", "ALREADY", QVariant() };
        for (int n = 1; n <= 23; ++n)
            values << QStringLiteral("n%1").arg(n);
        db.table("t", Keyed, "v", values);
        rememberLogin(db.fields());
        const QByteArray file = contents(db.path());

        const Ran ran
            = launch(environment, { "--batch", "--table", "t", "--field", "v", "--mode", "upper", "--dry-run" });
        QCOMPARE(ran.exitCode, 0);
        QCOMPARE(contents(db.path()), file);
        QVERIFY2(ran.output.contains("Dry run: nothing was changed. A real run would report:\n27 records read, 25 rows "
                                     "changed, 2 already in the target case or Null, 0 left unchanged"),
            qPrintable(ran.output));
        QVERIFY(ran.output.contains("\nThe first 20 changes:\na\u2409b \u2192 A\u2409B\nx\u240d\u240ay \u2192 "
                                    "X\u240d\u240aY\nn1 \u2192 N1\n"));
        QCOMPARE(ran.output.count("\u2192"), 20);
        QVERIFY(ran.journal.isEmpty());
        QVERIFY(!QDir(environment.dataFolder() + "/Marrowfen").exists());
    }

    // Progress lines reach a pipe as they happen: here the run waits on a lock
    // another connection holds, after its records were visited, and its lines
    // are already out.
    void progressReachesAPipeAsItHappens()
    {
        TestEnvironment environment(TestEnvironment::Reach::ChildProcesses);
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "one", "two" });
        rememberLogin(db.fields());
        auto holder = openConnection(OpeningProfile::CanConnect, db.fields());
        holder->setAutoCommit(false);
        holder->execute("UPDATE t SET v = v WHERE id = 1");

        QProcess program;
        program.setProcessEnvironment(programEnvironment(environment));
        program.start(VANTRELL_PROGRAM, { "--batch", "--table", "t", "--field", "v", "--mode", "upper" });
        QByteArray seen;
        while (!seen.contains("Progress: 100%") && program.waitForReadyRead(30000))
            seen += program.readAllStandardOutput();
        seen.replace("\r\n", "\n");
        QVERIFY2(seen.contains("Progress: 50%\nProgress: 100%\n"), seen.constData());
        QVERIFY(!seen.contains("records read"));
        QCOMPARE(program.state(), QProcess::Running);

        holder->rollback();
        holder.reset();
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(db.column("t", "v"), (QVariantList { "ONE", "TWO" }));
    }

    void helpExplains()
    {
        QProcess program;
        program.start(VANTRELL_PROGRAM, { "--help" });
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        const QString output = QString::fromUtf8(program.readAllStandardOutput());
        // No line runs past 79 columns.
        for (const QString &line : QString(output).replace("\r\n", "\n").split('\n'))
            QVERIFY2(line.size() <= 79, qPrintable(line));
        for (const char *word : { "--batch", "--table", "--schema", "default schema", "--field", "--mode",
                 "VANTRELL_PASSWORD", "Exit status", "--undo", "--dry-run", "--no-journal", "--encrypt",
                 "--trust-server-certificate", "does not protect", "--trusted-authorities", "--no-encrypt" })
            QVERIFY2(output.contains(word), word);
    }
};

QTEST_GUILESS_MAIN(BatchCommandLineTest)
#include "BatchCommandLineTest.moc"
