#include "casing/BatchChange.h"
#include "journal/JournalCatalogue.h"
#include "journal/JournalReader.h"
#include "journal/JournalUndo.h"
#include "journal/JournalWriter.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"
#include "support/UsersAlone.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

JournalHeader header(const QString &table = "t")
{
    JournalHeader h;
    h.table = table;
    h.field = "v";
    h.server = "localhost";
    h.database = "sales";
    h.mode = "UPPER CASE";
    return h;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The records a read journal gives back, read once more from its file.
QList<PlannedChange> recordsOf(JournalReader &reader)
{
    QList<PlannedChange> records;
    PlannedChange record;
    if (reader.openRecords())
        while (reader.nextRecord(record))
            records << record;
    return records;
}

QString write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

#ifndef Q_OS_WIN
int permissions(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}
#endif

// A journalled UPPER CASE run of the field v of the table t, changing three
// records; the journal's path, empty when the run changed another number.
QString runJournalled(TestDatabase &db, const QString &folder)
{
    JournalWriter writer(header(), folder);
    BatchChange::Callbacks callbacks;
    callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
    writer.attach(callbacks);
    return BatchChange(db.fields(), TableName { {}, "t" }, "v", callbacks).run().recordsChanged == 3 ? writer.path()
                                                                                                     : QString();
}

} // namespace

// The journal's file: what it keeps, what the reader refuses, where and how it lies.
class JournalTest : public QObject {
    Q_OBJECT

private slots:
    // Every character goes to the file; the reader gives back each record a
    // run can write, and refuses texts that no engine stores as they are.
    void keepsEveryCharacter_data()
    {
        QTest::addColumn<QVariantList>("key");
        QTest::addColumn<QString>("oldText");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<QByteArray>("written"); // as the file holds the old text
        QTest::addColumn<bool>("kept");
        QTest::newRow("plain") << QVariantList { "17" } << "new york"
                               << "NEW YORK" << QByteArray("\"new york") << true;
        QTest::newRow("empty and Null keys") << QVariantList { "", QVariant() } << " a"
                                             << " A" << QByteArray("\" a") << true;
        QTest::newRow("line breaks and tabs") << QVariantList { "1" } << "a\r\nb\n\tc"
                                              << "A\r\nB\n\tC" << QByteArray("\"a\\r\\nb\\n\\tc") << true;
        QTest::newRow("other controls") << QVariantList { "1" }
                                        << QString::fromUtf8("a\x01\x1f\x7f"
                                                             "b",
                                               5)
                                        << QString::fromUtf8("A\x01\x1f\x7f"
                                                             "B",
                                               5)
                                        << QByteArray("\"a\\u0001\\u001f\x7f") << true;
        QTest::newRow("quotes and backslashes") << QVariantList { "o'k\"\\" } << "o'neil \"q\" \\n"
                                                << "O'NEIL \"Q\" \\N" << QByteArray("\"o'neil \\\"q\\\"") << true;
        QTest::newRow("beyond the BMP") << QVariantList { "𝒜" } << "𝒜bc straße 😀"
                                        << "𝒜BC STRAßE 😀" << QString("\"𝒜bc straße 😀").toUtf8() << true;
        QTest::newRow("NUL") << QVariantList { "1" } << QString::fromUtf8("a\0b", 3) << QString::fromUtf8("A\0B", 3)
                             << QByteArray("\"a\\u0000b") << false;
        QTest::newRow("lone surrogates") << QVariantList {} << QString(QChar(0xd800)) + "a" + QChar(0xdc00)
                                         << QString(QChar(0xd800)) + "A" + QChar(0xdc00)
                                         << QByteArray("\"\\ud800a\\udc00") << false;
    }

    void keepsEveryCharacter()
    {
        QFETCH(QVariantList, key);
        QFETCH(QString, oldText);
        QFETCH(QString, newText);
        QFETCH(QByteArray, written);
        QFETCH(bool, kept);
        QTemporaryDir folder;
        JournalWriter writer(header("ta\tble \"x\" 𝒜"), folder.path());
        // A last key column numbers the records, so each names a row of its own.
        QStringList keyColumns;
        for (qsizetype i = 0; i <= key.size(); ++i)
            keyColumns << QStringLiteral("k%1").arg(i);
        if (key.isEmpty())
            keyColumns.clear();
        QVERIFY(writer.open(keyColumns));
        // Runs of alike records among others, over more than one block of the file.
        QList<PlannedChange> records;
        for (int i = 0; i < 4000; ++i) {
            const QVariantList rowKey = key.isEmpty() ? key : key + QVariantList { QString::number(i) };
            records << (i % 4 == 3
                    ? PlannedChange { rowKey, oldText + QString::number(i), newText + QString::number(i) }
                    : PlannedChange { rowKey, i % 4 == 2 ? QString() : oldText, i % 4 == 2 ? QString() : newText });
        }
        QVERIFY(writer.append(records));
        QVERIFY(writer.recordOutcome({}));
        QVERIFY(QFileInfo(writer.path()).size() > 64 * 1024);
        // One line per object, whatever the texts hold, and one of what the server wrote.
        const QByteArray file = contents(writer.path());
        QCOMPARE(file.count('\n'), 4002);
        QVERIFY2(file.contains(written), file.left(400).constData());

        JournalReader reader;
        QVERIFY2(reader.read(writer.path()), qPrintable(reader.error()));
        QCOMPARE(reader.header().table, QStringLiteral("ta\tble \"x\" 𝒜"));
        QCOMPARE(reader.header().schema, QString());
        QCOMPARE(reader.header().keyColumns, keyColumns);
        QCOMPARE(reader.header().programVersion, QStringLiteral("1.0"));
        QCOMPARE(reader.header().server, QStringLiteral("localhost"));
        QCOMPARE(reader.header().database, QStringLiteral("sales"));
        QVERIFY(!reader.cutShort());
        if (!kept) {
            // The empty texts alone come back.
            QCOMPARE(recordsOf(reader).size(), 1000);
            QCOMPARE(reader.refusedRecords(), 3000);
            return;
        }
        const QList<PlannedChange> read = recordsOf(reader);
        QCOMPARE(read.size(), 4000);
        QCOMPARE(reader.keptRecords(), 4000);
        QCOMPARE(reader.refusedRecords(), 0);
        const PlannedChange &record = read.first();
        QCOMPARE(record.keyValues.size(), keyColumns.size());
        for (qsizetype i = 0; i < key.size(); ++i) {
            QCOMPARE(record.keyValues[i].isValid(), key[i].isValid());
            QCOMPARE(record.keyValues[i].toString(), key[i].toString());
        }
        for (qsizetype i = 0; i < records.size(); ++i) {
            QCOMPARE(read[i].oldText, records[i].oldText);
            QCOMPARE(read[i].newText, records[i].newText);
        }
    }

    void refusesWhatIsNotAWholeJournal_data()
    {
        const QByteArray head
            = "{\"format\":\"Vantrell journal\",\"formatVersion\":1,\"table\":\"t\",\"schema\":\"\","
              "\"field\":\"v\",\"server\":\"s\",\"database\":\"d\",\"mode\":\"UPPER CASE\","
              "\"time\":\"2026-01-31T12:00:00.000Z\",\"programVersion\":\"1.0\",\"keyColumns\":[\"id\"]}\n";
        const QByteArray record = "{\"key\":[\"1\"],\"old\":\"a\",\"new\":\"A\"}\n";
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("whole") << head + record << "";
        QTest::newRow("empty") << QByteArray() << "the file is empty";
        // The records of a line cut short were never sent; the whole lines before it are read.
        QTest::newRow("cut in the last record") << head + record + record.left(20) << "";
        QTest::newRow("cut in the header") << head.left(40) << "its first line is cut short";
        QTest::newRow("a line before the last cut")
            << head + record.left(20) + "\n" + record << "line 2 is not a journal record";
        QTest::newRow("a header member twice")
            << QByteArray(head).replace("\"table\":\"t\"", "\"table\":\"t\",\"table\":\"u\"") + record
            << "its first line is not a journal header";
        QTest::newRow("other JSON") << QByteArray("{\"name\":\"x\"}\n") << "its first line is not a journal header";
        QTest::newRow("another format version") << QByteArray(head).replace("\"formatVersion\":1",
            "\"formatVersion\":2") << "its first line is not a journal header";
        QTest::newRow("binary") << QByteArray("\x89PNG\0\r\n\x1a\n", 9) << "its first line is not a journal header";
        QTest::newRow("record without its key") << head + "{\"key\":[],\"old\":\"a\",\"new\":\"A\"}\n"
                                                << "line 2 is not a journal record";
        QTest::newRow("record with a number") << head + "{\"key\":[\"1\"],\"old\":1,\"new\":\"A\"}\n"
                                              << "line 2 is not a journal record";
        QTest::newRow("blank line") << head + "\n" + record << "line 2 is not a journal record";
    }

    void refusesWhatIsNotAWholeJournal()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        JournalReader reader;
        QCOMPARE(reader.read(write(folder.filePath("j.jsonl"), bytes)), reason.isEmpty());
        QVERIFY2(reader.error().contains(reason), qPrintable(reader.error()));
        if (!reason.isEmpty())
            QVERIFY(recordsOf(reader).isEmpty());
        else
            QCOMPARE(recordsOf(reader).size(), 1);
        QCOMPARE(reader.cutShort(), QByteArray(QTest::currentDataTag()).startsWith("cut in the last"));
    }

    // Records a run never writes are refused one by one; the others are read.
    void refusesRecordsNoRunWrites_data()
    {
        QTest::addColumn<QByteArray>("records");
        QTest::addColumn<int>("kept");
        const QByteArray good = "{\"key\":[\"1\"],\"old\":\"a\",\"new\":\"A\"}\n";
        QTest::newRow("not a change of case") << good + "{\"key\":[\"2\"],\"old\":\"a\",\"new\":\"b\"}\n" << 1;
        // Signs that lie a letter's case apart in ASCII are no letters.
        QTest::newRow("signs a case apart") << good + "{\"key\":[\"2\"],\"old\":\"@[^\",\"new\":\"`{~\"}\n" << 1;
        QTest::newRow("another length") << good + "{\"key\":[\"2\"],\"old\":\"a\",\"new\":\"AA\"}\n" << 1;
        QTest::newRow("a NUL") << good + "{\"key\":[\"2\"],\"old\":\"a\\u0000\",\"new\":\"A\\u0000\"}\n" << 1;
        QTest::newRow("a lone surrogate") << good + "{\"key\":[\"2\"],\"old\":\"\\ud800\",\"new\":\"\\ud800\"}\n" << 1;
        QTest::newRow("a member twice") << good + "{\"key\":[\"2\"],\"old\":\"x\",\"old\":\"a\",\"new\":\"A\"}\n" << 1;
        // Two records of one row: neither can be trusted.
        QTest::newRow("a key twice") << good + good + "{\"key\":[\"3\"],\"old\":\"b\",\"new\":\"B\"}\n" << 1;
        // Records laid out otherwise than a run writes them are read all the same.
        QTest::newRow("laid out otherwise")
            << QByteArray("{ \"key\": [\"1\"], \"new\": \"ABC\", \"old\": \"abc\" }\n") << 1;
        QTest::newRow("escaped letters") << QByteArray(
            "{\"key\":[\"1\"],\"old\":\"\\u00e9t\\u00E9\",\"new\":\"\u00c9T\u00c9\"}\n")
                                         << 1;
        QTest::newRow("turkish and long s")
            << QByteArray("{\"key\":[\"1\"],\"old\":\"\u0131\u017f\u212a\",\"new\":\"ISK\"}\n") << 1;
    }

    void refusesRecordsNoRunWrites()
    {
        QFETCH(QByteArray, records);
        QFETCH(int, kept);
        const QByteArray head
            = "{\"format\":\"Vantrell journal\",\"formatVersion\":1,\"table\":\"t\",\"schema\":\"\","
              "\"field\":\"v\",\"server\":\"s\",\"database\":\"d\",\"mode\":\"UPPER CASE\","
              "\"time\":\"2026-01-31T12:00:00.000Z\",\"programVersion\":\"1.0\",\"keyColumns\":[\"id\"]}\n";
        QTemporaryDir folder;
        JournalReader reader;
        QVERIFY2(reader.read(write(folder.filePath("j.jsonl"), head + records)), qPrintable(reader.error()));
        QCOMPARE(recordsOf(reader).size(), kept);
        QCOMPARE(reader.refusedRecords(), records.count('\n') - kept);
    }

    // A write that fails (here the file may grow no further) leaves the file
    // ending at its last whole line, and says why in the system's words.
    void failedWriteKeepsWholeLines()
    {
#ifdef Q_OS_WIN
        QSKIP("POSIX file size limit");
#else
        QTemporaryDir folder;
        JournalWriter writer(header(), folder.path());
        QVERIFY(writer.open({ "id" }));
        QVERIFY(writer.append({ { { "1" }, "one", "ONE" } }));
        const qint64 whole = QFileInfo(writer.path()).size();
        QList<PlannedChange> many;
        for (int i = 0; i < 20000; ++i)
            many << PlannedChange { { QString::number(i + 2) }, "some text", "SOME TEXT" };
        struct rlimit before = {};
        ::getrlimit(RLIMIT_FSIZE, &before);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = before;
        limited.rlim_cur = 200 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limited);
        const bool appended = writer.append(many);
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!appended);
        QVERIFY2(writer.error().contains(qt_error_string(EFBIG)), qPrintable(writer.error()));
        QVERIFY(writer.error().contains("The run stopped before changing the records it could not record."));
        QCOMPARE(QFileInfo(writer.path()).size(), whole);
        JournalReader reader;
        QVERIFY(reader.read(writer.path()));
        QVERIFY(!reader.cutShort());
        QCOMPARE(recordsOf(reader).size(), 1);
#endif
    }

    // A journal that stops taking writes after its header stops the run
    // before any record goes out that it does not hold.
    void journalThatStopsTakingWritesStopsTheRun()
    {
#ifdef Q_OS_WIN
        QSKIP("POSIX file size limit");
#else
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "one", "two", "three" });
        QTemporaryDir folder;
        JournalWriter writer(header(), folder.path());
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        writer.attach(callbacks);
        struct rlimit before = {};
        ::getrlimit(RLIMIT_FSIZE, &before);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        // Once the header is written, no file of the process grows any more.
        const auto open = callbacks.started;
        callbacks.started = [&](const QStringList &keyColumns) {
            const bool opened = open(keyColumns);
            struct rlimit limited = before;
            limited.rlim_cur = rlim_t(QFileInfo(writer.path()).size());
            ::setrlimit(RLIMIT_FSIZE, &limited);
            return opened;
        };
        const BatchChange::Result result = BatchChange(db.fields(), TableName { {}, "t" }, "v", callbacks).run();
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(result.outcome, BatchChange::Outcome::Declined);
        QCOMPARE(result.recordsChanged, 0);
        QVERIFY2(writer.error().contains("The run stopped before changing the records it could not record."),
            qPrintable(writer.error()));
        QCOMPARE(db.column("t", "v"), (QVariantList { "one", "two", "three" }));
#endif
    }

    // The folder and the file are the user's alone, whatever stood there before.
    void privateFromAnUnsafeStart_data()
    {
        QTest::addColumn<QString>("unsafe");
        QTest::addColumn<bool>("written");
        QTest::newRow("no folder yet, open umask") << "umask" << true;
        QTest::newRow("folder open to all") << "open folder" << true;
        QTest::newRow("link planted at the file's name") << "link at the name" << true;
        QTest::newRow("folder is a link") << "linked folder" << false;
        QTest::newRow("a link above the folder") << "linked parent" << false;
        QTest::newRow("folder closed to writing") << "read-only folder" << false;
    }

    void privateFromAnUnsafeStart()
    {
#ifdef Q_OS_WIN
        // Windows: the folder's access list is the user's alone, and the
        // journal made in it takes that list.
        QFETCH(QString, unsafe);
        if (unsafe != "umask" && unsafe != "open folder")
            QSKIP("symbolic links and read-only folders are POSIX cases");
        QTemporaryDir base;
        const QString folder = base.filePath("data/journals");
        if (unsafe == "open folder")
            QDir().mkpath(folder);
        JournalWriter writer(header(), folder);
        QVERIFY2(writer.open({}), qPrintable(writer.error()));
        if (TestEnvironment::underWine())
            QSKIP("Wine keeps no access lists: it takes them and hands back its own");
        QVERIFY(isUsersAlone(folder));
        QVERIFY(isUsersAlone(writer.path()));
#else
        QFETCH(QString, unsafe);
        QFETCH(bool, written);
        QTemporaryDir base;
        const QString folder = base.filePath("data/journals");
        const QString elsewhere = base.filePath("elsewhere");
        QDir().mkpath(elsewhere);
        JournalHeader h = header();
        h.time = QDateTime(QDate(2026, 1, 31), QTime(12, 0), Qt::UTC);
        const mode_t previousMask = ::umask(unsafe == "umask" ? 0 : 022);
        if (unsafe == "open folder") {
            QDir().mkpath(folder);
            ::chmod(QFile::encodeName(folder).constData(), 0777);
        } else if (unsafe == "linked folder") {
            QDir().mkpath(base.filePath("data"));
            QFile::link(elsewhere, folder);
        } else if (unsafe == "linked parent") {
            QFile::link(elsewhere, base.filePath("data"));
        } else if (unsafe == "read-only folder") {
            QDir().mkpath(folder);
            ::chmod(QFile::encodeName(folder).constData(), 0500);
        } else if (unsafe == "link at the name") {
            QDir().mkpath(folder);
            const QString name = h.time.toLocalTime().toString("yyyy-MM-dd_HH-mm-ss") + "_sales_t_v.jsonl";
            QFile::link(elsewhere + "/target", folder + "/" + name);
        }
        JournalWriter writer(h, folder);
        const bool opened = writer.open({});
        ::umask(previousMask);
        QCOMPARE(opened, written);
        QVERIFY(QDir(elsewhere).isEmpty());
        if (!written) {
            QVERIFY2(writer.error().endsWith("Nothing was changed."), qPrintable(writer.error()));
            if (unsafe == "read-only folder")
                QCOMPARE(permissions(folder), 0500);
            return;
        }
        QCOMPARE(permissions(folder), 0700);
        QCOMPARE(permissions(writer.path()), 0600);
        QVERIFY(!QFileInfo(writer.path()).isSymLink());
#endif
    }

    // Only a regular file is read: a pipe would wait for ever, a device never end.
    void readsRegularFilesOnly()
    {
#ifdef Q_OS_WIN
        QSKIP("POSIX pipes and devices");
#else
        QTemporaryDir folder;
        const QString pipe = folder.filePath("pipe.jsonl");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        for (const QString &path : { pipe, QStringLiteral("/dev/zero"), folder.path() }) {
            JournalReader reader;
            QVERIFY(!reader.read(path));
            QVERIFY2(reader.error().contains("not a regular file"), qPrintable(reader.error()));
        }
#endif
    }

    // The undo's mark says how much went back, and follows the journal's own
    // rules: never written through a link or into a pipe, private, and not
    // written at all when nothing went back.
    void undoMarkSaysWhatWentBack()
    {
        QTemporaryDir folder;
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "one", "two", "three" });
        const QString journalled = runJournalled(db, folder.path());
        QVERIFY(!journalled.isEmpty());
        const QString mark = journalled + ".undone";
        const auto listed = [&] { return JournalCatalogue::list(folder.path()).value(0); };

        QVERIFY(!JournalCatalogue::markUndone(journalled, QDateTime::currentDateTimeUtc(), 0, 3));
        QVERIFY(!QFileInfo::exists(mark));
        QVERIFY(listed().undoneText("now").isEmpty());
        QVERIFY(JournalCatalogue::markUndone(journalled, QDateTime::currentDateTimeUtc(), 2, 3));
        QCOMPARE(listed().undoneText("now"), QStringLiteral("partly, 2 of 3, now"));
#ifndef Q_OS_WIN
        QCOMPARE(permissions(mark), 0600);
#endif
        QVERIFY(JournalCatalogue::markUndone(journalled, QDateTime::currentDateTimeUtc(), 3, 3));
        QCOMPARE(listed().undoneText("now"), QStringLiteral("yes, now"));
        // A mark of the first kind names only its time.
        write(mark, "{\"undoneAt\":\"2026-01-31T12:00:00.000Z\"}");
        QCOMPARE(listed().undoneText("then"), QStringLiteral("yes, then"));
#ifndef Q_OS_WIN
        QVERIFY(QFile::remove(mark));
        const QString other = write(folder.filePath("other.txt"), "a line of someone's own\n");
        QVERIFY(QFile::link(other, mark));
        QVERIFY(!JournalCatalogue::markUndone(journalled, QDateTime::currentDateTimeUtc(), 3, 3));
        QCOMPARE(contents(other), QByteArray("a line of someone's own\n"));
        QVERIFY(listed().undoneText("now").isEmpty());
        QVERIFY(QFile::remove(mark));
        QCOMPARE(::mkfifo(QFile::encodeName(mark).constData(), 0600), 0);
        QVERIFY(!JournalCatalogue::markUndone(journalled, QDateTime::currentDateTimeUtc(), 3, 3));
        QVERIFY(listed().undoneText("now").isEmpty());
#endif
    }

    // The catalogue trusts the order files were written in, not a date they
    // hold, and the newest run to undo is one that sent records.
    void newestRunIsTheLastWrittenThatSentRecords()
    {
        QTemporaryDir folder;
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "one", "two", "three" });
        const QString real = runJournalled(db, folder.path());
        QVERIFY(!real.isEmpty());
        // A file from the future, written before the real run's.
        QByteArray future = contents(real);
        future.replace(future.indexOf("\"time\":\"") + 8, 4, "9999");
        const QString dated = write(folder.filePath("0000-future.jsonl"), future);
        QFile datedFile(dated);
        QVERIFY(datedFile.open(QIODevice::Append)
            && datedFile.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        datedFile.close();
        // A later run that found nothing to change sent nothing.
        db.exec("UPDATE t SET v = upper(v)");
        JournalWriter empty(header(), folder.path());
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        empty.attach(callbacks);
        QCOMPARE(BatchChange(db.fields(), TableName { {}, "t" }, "v", callbacks).run().recordsChanged, 0);
        QVERIFY(!empty.path().isEmpty());

        const QList<JournalCatalogue::Entry> entries = JournalCatalogue::list(folder.path());
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.last().path, dated);
        const auto newest
            = JournalCatalogue::newestFor(folder.path(), "localhost", "sales", TableName { {}, "t" }, "main", "v");
        QVERIFY(newest);
        QCOMPARE(newest->path, real);
        // The default schema named or not names one table.
        QVERIFY(
            JournalCatalogue::newestFor(folder.path(), "localhost", "sales", TableName { "main", "t" }, "main", "v"));
        QVERIFY(
            !JournalCatalogue::newestFor(folder.path(), "localhost", "sales", TableName { "other", "t" }, "main", "v"));
    }

    // Without a key, a new text that came from several old texts cannot go
    // back to any of them; one that no row holds any more is gone, not left
    // alone.
    void keylessUndoPutsNothingOnTheWrongRows()
    {
        TestDatabase db;
        db.table("t", "v TEXT", "v", { "abc", "Abc", "xyz" });
        QTemporaryDir folder;
        const QString journalled = runJournalled(db, folder.path());
        QVERIFY(!journalled.isEmpty());
        QCOMPARE(db.column("t", "v"), (QVariantList { "ABC", "ABC", "XYZ" }));
        db.exec("DELETE FROM t WHERE v = 'XYZ'");

        JournalReader journal;
        QVERIFY2(journal.read(journalled), qPrintable(journal.error()));
        JournalUndo undo(journal, db.fields());
        const BatchChange::Result result = undo.run({});
        QCOMPARE(result.recordsChanged, 0);
        QCOMPARE(db.column("t", "v"), (QVariantList { "ABC", "ABC" }));
        QCOMPARE(undo.leftAlone(), 2);
        const QString said = undo.describe(result);
        QVERIFY2(said.contains("; 1 whose new text no row holds any more; 2 left alone: 2 whose new text"),
            qPrintable(said));
    }

    // Without a key, rows that get a run's new text while its undo runs keep
    // it: the undo changes no more rows than the run changed.
    void undoChangesNoRowsAddedMeanwhile()
    {
        TestDatabase db;
        db.table("t", "v TEXT", "v", { "one", "one", "two" });
        QTemporaryDir folder;
        const QString journalled = runJournalled(db, folder.path());
        QVERIFY(!journalled.isEmpty());

        JournalReader journal;
        QVERIFY2(journal.read(journalled), qPrintable(journal.error()));
        JournalUndo undo(journal, db.fields());
        BatchChange::Callbacks undoing;
        undo.attach(undoing);
        bool added = false;
        undoing.yield = [&] {
            if (!std::exchange(added, true))
                db.exec("INSERT INTO t (v) VALUES ('ONE')");
        };
        const BatchChange::Result result = BatchChange(db.fields(), TableName { {}, "t" }, "v", undoing).run();
        QCOMPARE(result.recordsChanged, 1);
        QCOMPARE(result.changedSinceRead, 2);
        QCOMPARE(db.column("t", "v"), (QVariantList { "ONE", "ONE", "two", "ONE" }));
    }

    // A record the server refused is in the journal, but the run never wrote
    // it: the undo leaves its row alone, even where another row now holds its
    // new text (without a key rows are told apart only by their text).
    void undoTouchesOnlyWhatTheRunWrote_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::newRow("by key") << "id INTEGER PRIMARY KEY, v TEXT, locked INTEGER";
        QTest::newRow("by value") << "v TEXT, locked INTEGER";
    }

    void undoTouchesOnlyWhatTheRunWrote()
    {
        QFETCH(QString, columns);
        TestDatabase db;
        db.exec("CREATE TABLE t (" + columns + ")");
        db.exec("INSERT INTO t (v, locked) VALUES ('abc', 1), ('ABC', 0), ('xyz', 0)");
        db.exec("CREATE TRIGGER refuse BEFORE UPDATE ON t WHEN old.locked = 1 BEGIN SELECT RAISE(ABORT, 'locked'); "
                "END");
        QTemporaryDir folder;
        JournalWriter writer(header(), folder.path());
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        writer.attach(callbacks);
        const BatchChange::Result run = BatchChange(db.fields(), TableName { {}, "t" }, "v", callbacks).run();
        QCOMPARE(run.recordsChanged, 1);
        QCOMPARE(run.rejected, 1);
        QCOMPARE(db.column("t", "v"), (QVariantList { "abc", "ABC", "XYZ" }));

        JournalReader journal;
        QVERIFY2(journal.read(writer.path()), qPrintable(journal.error()));
        QCOMPARE(recordsOf(journal).size(), 1);
        QCOMPARE(journal.notWrittenRecords(), 1);
        JournalUndo undo(journal, db.fields());
        const BatchChange::Result result = undo.run({});
        QCOMPARE(result.recordsChanged, 1);
        QCOMPARE(db.column("t", "v"), (QVariantList { "abc", "ABC", "xyz" }));
        QCOMPARE(undo.leftAlone(), 1);
        QVERIFY2(undo.describe(result).startsWith("Undo: 1 of 2 records of the journal put back; 1 left alone: 1 that "
                                                  "the run did not write"),
            qPrintable(undo.describe(result)));
    }

    // A journal of the first format does not say which records were written:
    // each is taken as written, and the undo says so.
    void journalOfTheFirstFormatIsUndoneAsWritten()
    {
        TestDatabase db;
        db.table("t", "v TEXT", "v", { "ABC", "xyz" });
        QTemporaryDir folder;
        const QString path = write(folder.filePath("old.jsonl"),
            "{\"format\":\"Vantrell journal\",\"formatVersion\":1,\"table\":\"t\",\"schema\":\"\",\"field\":"
            "\"v\",\"server\":\"localhost\",\"database\":\"sales\",\"mode\":\"UPPER CASE\",\"time\":"
            "\"2026-01-31T12:00:00.000Z\",\"programVersion\":\"1.0\",\"keyColumns\":[]}\n"
            "{\"key\":[],\"old\":\"abc\",\"new\":\"ABC\"}\n");
        JournalReader journal;
        QVERIFY2(journal.read(path), qPrintable(journal.error()));
        QVERIFY(!journal.tellsWritten());
        QVERIFY(!journal.header().port && !journal.header().localConnection);
        // Nothing tells this journal's way of connecting from the login's.
        QCOMPARE(JournalUndo::elsewhere(journal.header(),
                     [&] {
                         LoginFields fields = db.fields();
                         fields.database = "sales";
                         fields.port = "1434";
                         return fields;
                     }()),
            QString());
        JournalUndo undo(journal, db.fields());
        const BatchChange::Result result = undo.run({});
        QCOMPARE(db.column("t", "v"), (QVariantList { "abc", "xyz" }));
        QVERIFY2(undo.describe(result).contains("does not say which records the run wrote"),
            qPrintable(undo.describe(result)));
    }

    // A line longer than a journal's lines may be is refused at once, and a
    // long last line cut short is found without holding it whole.
    void longLinesAreBoundedWithoutBeingRead()
    {
        QTemporaryDir folder;
        JournalReader reader;
        const QByteArray huge(3 * 1024 * 1024, 'x');
        QVERIFY(!reader.read(write(folder.filePath("a.jsonl"), huge)));
        QVERIFY2(reader.error().contains("its first line is longer than a journal header"), qPrintable(reader.error()));
        QVERIFY(!reader.readSummary(folder.filePath("a.jsonl")));

        JournalWriter writer(header(), folder.path());
        QVERIFY(writer.open({}));
        QVERIFY(writer.append({ { {}, "abc", "ABC" } }));
        QVERIFY(writer.recordOutcome({}));
        QFile file(writer.path());
        QVERIFY(file.open(QIODevice::Append));
        file.write("{\"key\":[],\"old\":\"" + huge);
        file.close();
        QVERIFY2(reader.read(writer.path()), qPrintable(reader.error()));
        QVERIFY(reader.cutShort());
        QCOMPARE(recordsOf(reader).size(), 1);
        QVERIFY(reader.readSummary(writer.path()));
        QCOMPARE(reader.recordLines(), 1);
    }

    // A run over a field that is (part of) a key names its rows another way,
    // and its journal puts every row back.
    void runOverItsOwnKeyIsUndone_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::newRow("the field is the key") << "CREATE TABLE t (v TEXT NOT NULL PRIMARY KEY)";
        QTest::newRow("the field in a two-column key")
            << "CREATE TABLE t (n INTEGER NOT NULL, v TEXT NOT NULL, PRIMARY KEY (v, n))";
    }

    void runOverItsOwnKeyIsUndone()
    {
        QFETCH(QString, schema);
        TestDatabase db;
        db.exec(schema);
        const QVariantList original = { "ann", "bob", "cy" };
        for (int row = 0; row < original.size(); ++row)
            db.exec(QStringLiteral("INSERT INTO t (%1) VALUES (%2)")
                        .arg(schema.contains("(v, n)") ? "v, n" : "v",
                            schema.contains("(v, n)") ? QStringLiteral("?, %1").arg(row) : "?"),
                { original[row] });
        QTemporaryDir folder;
        const QString journalled = runJournalled(db, folder.path());
        QVERIFY(!journalled.isEmpty());
        QCOMPARE(db.column("t", "v"), (QVariantList { "ANN", "BOB", "CY" }));

        JournalReader journal;
        QVERIFY2(journal.read(journalled), qPrintable(journal.error()));
        JournalUndo undo(journal, db.fields());
        BatchChange::Callbacks undoing;
        undo.attach(undoing);
        QCOMPARE(BatchChange(db.fields(), TableName { {}, "t" }, "v", undoing).run().recordsChanged, 3);
        QCOMPARE(db.column("t", "v"), original);
        QCOMPARE(undo.leftAlone(), 0);
    }

    // A run stopped part way has journalled exactly what it sent; undoing it
    // puts those rows back and touches no other.
    void stoppedRunUndoesExactlyWhatWasWritten_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QVariantList>("afterStop");
        QTest::addColumn<int>("journalled");
        // Stopped before the third record. Without a key the rows are visited
        // in the order of their texts ("four", then "one"), and the statement
        // of "one" changed both its rows.
        QTest::newRow("by key") << "id INTEGER PRIMARY KEY, v TEXT"
                                << QVariantList { "ONE", "TWO", "one", "three", "four" } << 2;
        QTest::newRow("by value") << "v TEXT" << QVariantList { "ONE", "two", "ONE", "three", "FOUR" } << 3;
    }

    void stoppedRunUndoesExactlyWhatWasWritten()
    {
        QFETCH(QString, columns);
        const QVariantList original = { "one", "two", "one", "three", "four" };
        TestDatabase db;
        db.table("t", columns, "v", original);
        QTemporaryDir folder;

        JournalWriter writer(header(), folder.path());
        BatchChange::Callbacks callbacks;
        int position = 0;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        callbacks.yield = [&] { ++position; };
        callbacks.stop = [&] { return position == 3; };
        writer.attach(callbacks);
        QCOMPARE(BatchChange(db.fields(), TableName { {}, "t" }, "v", callbacks).run().outcome,
            BatchChange::Outcome::Stopped);
        QTEST(db.column("t", "v"), "afterStop");

        JournalReader journal;
        QVERIFY2(journal.read(writer.path()), qPrintable(journal.error()));
        QTEST(int(recordsOf(journal).size()), "journalled");
        // Someone writes a value of their own in the meantime.
        db.exec("UPDATE t SET v = 'three, edited' WHERE v = 'three'");
        for (int pass = 1; pass <= 2; ++pass) {
            JournalUndo undo(journal, db.fields());
            BatchChange::Callbacks undoing;
            undo.attach(undoing);
            const BatchChange::Result result = BatchChange(db.fields(), TableName { {}, "t" }, "v", undoing).run();
            QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
            QCOMPARE(result.recordsChanged, pass == 1 ? recordsOf(journal).size() : 0);
            QCOMPARE(db.column("t", "v"), (QVariantList { "one", "two", "one", "three, edited", "four" }));
        }
    }
};

QTEST_GUILESS_MAIN(JournalTest)
#include "JournalTest.moc"
