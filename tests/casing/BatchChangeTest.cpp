#include "casing/BatchChange.h"
#include "casing/SnapshotReader.h"
#include "connection/EmbeddedDialect.h"
#include "connection/SqlDialect.h"
#include "platform/odbc/Counters.h"
#include "support/TestDatabase.h"

#include <QTest>
#include <QThread>

namespace {

struct Failed {
    int line;
    QString description;
};

// A run with a mode text, recording what the callbacks see.
struct Recorder {
    explicit Recorder(const QString &mode)
        : modeText(mode)
    {
    }
    QString modeText;
    QList<Failed> failures;
    QList<double> progress;
    std::function<void(int)> onYield; // gets the record position
    int stopAt = -1; // the record position before which the run is told to stop
    QList<qsizetype> chunks; // the records of each chunk, as it is about to be sent

    BatchChange::Result run(const LoginFields &fields, const TableName &table = { {}, "t" }, const QString &field = "v")
    {
        return BatchChange(fields, table, field, callbacks()).run();
    }

    int position = 0;
    BatchChange::Callbacks callbacks()
    {
        position = 0;
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [this] { return modeText; };
        callbacks.progress = [this](double value) { progress << value; };
        callbacks.yield = [this] {
            if (onYield)
                onYield(position);
            ++position;
        };
        callbacks.stop = [this] { return position - 1 == stopAt; };
        callbacks.failure = [this](int line, const QString &description) { failures << Failed { line, description }; };
        callbacks.beforeSend = [this](const QList<PlannedChange> &records) {
            chunks << records.size();
            return true;
        };
        return callbacks;
    }
};

const QString Keyed = QStringLiteral("id INTEGER PRIMARY KEY, v TEXT");

// The table's columns, by key and without one, as a test's only data.
void byKeyAndByValue()
{
    QTest::addColumn<QString>("columns");
    QTest::newRow("by key") << Keyed;
    QTest::newRow("by value") << "v TEXT";
}

const QVariantList MixedValues = {
    QVariant(),
    QString(),
    QStringLiteral("o'neil"),
    QStringLiteral("hello world"),
    QStringLiteral("mcDONALD"),
    QStringLiteral("hello world"),
    QStringLiteral("first\nsecond\rthird"),
    QStringLiteral("straße αβγ"),
    QStringLiteral("trailing blank "),
    QStringLiteral("ALREADY UPPER"),
};

} // namespace

// The batch change against the embedded engine through the real ODBC path.
class BatchChangeTest : public QObject {
    Q_OBJECT

private slots:
    void everyModeChangesEachRowToItsOwnNewText_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QVariantList>("expected");
        QTest::addColumn<int>("changed");
        const QVariantList upper = { QVariant(), QString(), "O'NEIL", "HELLO WORLD", "MCDONALD", "HELLO WORLD",
            "FIRST\nSECOND\rTHIRD", "STRAßE ΑΒΓ", "TRAILING BLANK ", "ALREADY UPPER" };
        const QVariantList lower = { QVariant(), QString(), "o'neil", "hello world", "mcdonald", "hello world",
            "first\nsecond\rthird", "straße αβγ", "trailing blank ", "already upper" };
        const QVariantList proper = { QVariant(), QString(), "O'neil", "Hello World", "Mcdonald", "Hello World",
            "First\nSecond\rThird", "Straße Αβγ", "Trailing Blank ", "Already Upper" };
        const QVariantList sentence = { QVariant(), QString(), "O'neil", "Hello world", "Mcdonald", "Hello world",
            "First\nsecond\rthird", "Straße αβγ", "Trailing blank ", "Already upper" };
        for (const char *shape : { "by key", "by value" }) {
            const QString columns = QString(shape) == "by key" ? "id INTEGER PRIMARY KEY, v VARCHAR(50)"
                                                               : "v NVARCHAR(50), other INTEGER";
            QTest::addRow("UPPER CASE %s", shape) << "UPPER CASE" << columns << upper << 7;
            QTest::addRow("lower case %s", shape) << "lower case" << columns << lower << 2;
            QTest::addRow("Proper Case %s", shape) << "Proper Case" << columns << proper << 8;
            QTest::addRow("Sentence case %s", shape) << "Sentence case" << columns << sentence << 8;
        }
    }

    void everyModeChangesEachRowToItsOwnNewText()
    {
        QFETCH(QString, mode);
        QFETCH(QString, columns);
        QFETCH(QVariantList, expected);
        QFETCH(int, changed);
        TestDatabase db;
        db.table("t", columns, "v", MixedValues);

        Recorder recorder { mode };
        const BatchChange::Result result = recorder.run(db.fields());

        QVERIFY(recorder.failures.isEmpty());
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QCOMPARE(result.byKey, columns.contains("PRIMARY KEY"));
        QCOMPARE(db.column("t", "v"), expected);
        QCOMPARE(result.recordsRead, 10);
        QCOMPARE(result.recordsChanged, changed);
        QCOMPARE(result.rowsChanged, changed);
        QCOMPARE(result.alreadyInCase, 10 - changed);
        QCOMPARE(result.unchanged(), 0);
        QCOMPARE(recorder.progress.size(), 10);
        QCOMPARE(recorder.progress.first(), 10.0);
        QCOMPARE(recorder.progress.last(), 100.0);
    }

    // More records than one chunk holds, and than one block of rows read
    // (and, without a key, more distinct texts), with Null, values already in case and repeated values on both
    // sides of a chunk's end.
    void chunkBoundaries_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("keys"); // run once the rows are in
        QTest::newRow("by key") << Keyed << QString();
        // Key texts that JSON must escape, and one beyond ASCII.
        QTest::newRow("by a text key") << "k TEXT NOT NULL PRIMARY KEY DEFAULT (random()), v TEXT"
                                       << "UPDATE t SET k = 'key \"' || rowid || '\\ \u00e9'";
        QTest::newRow("by value") << "v TEXT" << QString();
    }

    void chunkBoundaries()
    {
        QFETCH(QString, columns);
        QFETCH(QString, keys);
        // A text longer than 4,000 characters goes as long text, beside short
        // keys; a long text of characters of two and four bytes, after a byte
        // order mark, is read in parts and stays whole.
        const QString mark(QChar(0xFEFF));
        const QString smile = QString::fromUcs4(U"\U0001F600");
        QVariantList values { QVariant(), "ALREADY", QString(5000, 'x'), mark + QString(3000, QChar(0xE9)) + smile };
        QVariantList expected { QVariant(), "ALREADY", QString(5000, 'X'), mark + QString(3000, QChar(0xC9)) + smile };
        const int chunk = EmbeddedDialect().chunkRecords(1);
        const int items = SnapshotReader::BlockRows + 300;
        for (int i = 0; i < items; ++i) {
            values << QStringLiteral("item %1").arg(i % (chunk + 50));
            expected << QStringLiteral("ITEM %1").arg(i % (chunk + 50));
        }
        TestDatabase db;
        db.table("t", columns, "v", values);
        if (!keys.isEmpty())
            db.exec(keys);

        // (Without a key a chunk lists each row of its texts, and a text joins
        // its chunk once its rows, one after another, were visited.)
        const int rowsPerText = (items + chunk + 49) / (chunk + 50);
        const bool byValue = columns.startsWith("v ");
        Recorder recorder { "UPPER CASE" };
        // A record that takes long ends its chunk a quarter of a second after the chunk's first record.
        recorder.onYield = [&](int position) {
            if (position == (byValue ? rowsPerText * 5 : 10))
                QThread::msleep(300);
        };
        const std::uint64_t statementsBefore = odbc::counters().statements;
        const BatchChange::Result result = recorder.run(db.fields());
        QVERIFY(recorder.failures.isEmpty());
        QCOMPARE(result.byKey, !byValue);
        QVERIFY2(!recorder.chunks.isEmpty() && recorder.chunks.first() <= rowsPerText * 11,
            qPrintable(QString::number(recorder.chunks.value(0))));
        // No chunk holds more records than one statement carries.
        if (result.byKey)
            for (const qsizetype records : std::as_const(recorder.chunks))
                QVERIFY(records <= chunk);
        // Every chunk went whole: a chunk done again record by record would
        // send hundreds of statements.
        QVERIFY(odbc::counters().statements - statementsBefore < 50);
        QCOMPARE(db.column("t", "v"), expected);
        QCOMPARE(result.recordsChanged, items + 2);
        QCOMPARE(result.rowsChanged, items + 2);
        QCOMPARE(result.alreadyInCase, 2);
        QCOMPARE(result.unchanged(), 0);
    }

    // Long texts end a chunk before it holds as many records as a statement
    // carries: what a chunk holds in memory stays bounded.
    void longTextsMakeSmallerChunks_data() { byKeyAndByValue(); }

    void longTextsMakeSmallerChunks()
    {
        QFETCH(QString, columns);
        constexpr int Length = 20000;
        constexpr int Rows = 700;
        QVariantList values;
        QVariantList expected;
        for (int i = 0; i < Rows; ++i) {
            const QString number = QString::number(i);
            values << number + QString(Length - number.size(), 'x');
            expected << number + QString(Length - number.size(), 'X');
        }
        TestDatabase db;
        db.table("t", columns, "v", values);
        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(db.fields());
        QVERIFY(recorder.failures.isEmpty());
        // Old and new texts of 20,000 units each: 8 MB of them in 105 records.
        QVERIFY(recorder.chunks.size() >= Rows / 105);
        for (const qsizetype records : std::as_const(recorder.chunks))
            QVERIFY2(records <= 105, qPrintable(QString::number(records)));
        QCOMPARE(db.column("t", "v"), expected);
        QCOMPARE(result.recordsChanged, Rows);
    }

    void rowKeyIsAUniqueNonNullIndexOrNone_data()
    {
        QTest::addColumn<QString>("schema"); // statements separated by ';'
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("nullKeys"); // the rows are written with Null in every column but v
        QTest::newRow("integer primary key") << "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)" << true << false;
        // The row id: a Null written to it becomes the next number.
        QTest::newRow("integer primary key, Null written")
            << "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)" << true << true;
        // Not the row id: it keeps Null, which names no row.
        QTest::newRow("integer primary key desc, Null written")
            << "CREATE TABLE t (id INTEGER PRIMARY KEY DESC, v TEXT)" << false << true;
        QTest::newRow("text primary key, not null")
            << "CREATE TABLE t (code VARCHAR(5) NOT NULL PRIMARY KEY, v TEXT)" << true << false;
        QTest::newRow("text primary key, nullable")
            << "CREATE TABLE t (code VARCHAR(5) PRIMARY KEY, v TEXT)" << false << false;
        QTest::newRow("two-column key")
            << "CREATE TABLE t (a INT NOT NULL, b TEXT NOT NULL, v TEXT, PRIMARY KEY (a, b))" << true << false;
        QTest::newRow("real primary key") << "CREATE TABLE t (id REAL NOT NULL PRIMARY KEY, v TEXT)" << false << false;
        const QString notNull = QStringLiteral("CREATE TABLE t (n INT NOT NULL, v TEXT);");
        QTest::newRow("unique not null") << notNull + "CREATE UNIQUE INDEX t_n ON t (n)" << true << false;
        QTest::newRow("unique nullable") << "CREATE TABLE t (n INT, v TEXT);CREATE UNIQUE INDEX t_n ON t (n)" << false
                                         << false;
        QTest::newRow("unique partial") << notNull + "CREATE UNIQUE INDEX t_n ON t (n) WHERE n > 0" << false << false;
        QTest::newRow("unique on an expression")
            << notNull + "CREATE UNIQUE INDEX t_n ON t (n, abs(n))" << false << false;
        QTest::newRow("unique with a column of no key type")
            << "CREATE TABLE t (n INT NOT NULL, r REAL NOT NULL, v TEXT);CREATE UNIQUE INDEX t_nr ON t (n, r)" << false
            << false;
        QTest::newRow("plain index") << notNull + "CREATE INDEX t_n ON t (n)" << false << false;
        // A key over the field names a row by a value the run changes.
        QTest::newRow("the field is the primary key")
            << "CREATE TABLE t (v TEXT NOT NULL PRIMARY KEY)" << false << false;
        QTest::newRow("the field in the primary key, a later unique index without it")
            << "CREATE TABLE t (n INT NOT NULL, v TEXT NOT NULL, PRIMARY KEY (v, n));CREATE UNIQUE INDEX t_n ON t (n)"
            << true << false;
    }

    void rowKeyIsAUniqueNonNullIndexOrNone()
    {
        QFETCH(QString, schema);
        QFETCH(bool, byKey);
        QFETCH(bool, nullKeys);
        TestDatabase db;
        for (const QString &statement : schema.split(';'))
            db.exec(statement);
        const QStringList columns = db.query("SELECT * FROM t LIMIT 0").fieldNames();
        for (int row = 1; row <= 3; ++row) {
            QStringList values;
            for (const QString &column : columns)
                values << (column == "v" ? QStringLiteral("'a b %1'").arg(row)
                        : nullKeys       ? QStringLiteral("NULL")
                                         : QString::number(row));
            db.exec(QStringLiteral("INSERT INTO t (%1) VALUES (%2)").arg(columns.join(','), values.join(',')));
        }

        Recorder recorder { "Proper Case" };
        const BatchChange::Result result = recorder.run(db.fields());
        QVERIFY(recorder.failures.isEmpty());
        QCOMPARE(result.byKey, byKey);
        QCOMPARE(result.recordsChanged, 3);
        QCOMPARE(db.column("t", "v"), (QVariantList { "A B 1", "A B 2", "A B 3" }));
    }

    void fieldsThatAreNotText_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("reason");
        QTest::newRow("integer") << "id INTEGER PRIMARY KEY, v INTEGER"
                                 << "type INTEGER";
        QTest::newRow("real") << "id INTEGER PRIMARY KEY, v REAL"
                              << "type REAL";
        QTest::newRow("no type") << "id INTEGER PRIMARY KEY, v"
                                 << "type (none)";
        QTest::newRow("generated") << "id INTEGER PRIMARY KEY, w TEXT, v TEXT AS (lower(w))"
                                   << "computed";
        // The window lists only tables; a view, even one that takes updates, is refused.
        QTest::newRow("view") << "view"
                              << "is not a table but a view";
    }

    void fieldsThatAreNotText()
    {
        QFETCH(QString, columns);
        QFETCH(QString, reason);
        TestDatabase db;
        db.exec("CREATE TABLE changes (n INTEGER)");
        if (columns == "view") {
            db.table("base", "v TEXT", "v", { "abc" });
            db.exec("CREATE VIEW t AS SELECT v FROM base");
            db.exec("CREATE TRIGGER counted INSTEAD OF UPDATE ON t BEGIN INSERT INTO changes VALUES (1); "
                    "UPDATE base SET v = new.v; END");
        } else {
            db.table("t", columns, columns.contains("w TEXT") ? "w" : "v", { "abc" });
            db.exec("CREATE TRIGGER counted AFTER UPDATE ON t BEGIN INSERT INTO changes VALUES (1); END");
        }

        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::Refused);
        QVERIFY2(result.refusal.contains(reason), qPrintable(result.refusal));
        QVERIFY(result.refusal.contains("Nothing was changed."));
        QVERIFY(recorder.failures.isEmpty());
        QVERIFY(recorder.progress.isEmpty());
        QCOMPARE(db.query("SELECT count(*) FROM changes").value(0).toInt(), 0);
    }

    void hostileNamesAreQuotedNeverRun()
    {
        TestDatabase db;
        const QString table = QStringLiteral("order details] \"x\"; DROP TABLE keep; --");
        db.exec("CREATE TABLE keep (n INTEGER)");
        db.table(table, "\"group\" INTEGER PRIMARY KEY, \"select\" TEXT", "select", { "new york", "o'neil" });

        Recorder recorder { "Proper Case" };
        const BatchChange::Result result = recorder.run(db.fields(), { {}, table }, "select");
        QVERIFY(recorder.failures.isEmpty());
        QVERIFY(result.byKey);
        QCOMPARE(result.recordsChanged, 2);
        QCOMPARE(db.column(table, "select"), (QVariantList { "New York", "O'neil" }));
        QCOMPARE(db.query("SELECT count(*) FROM keep").recordCount(), 1);
    }

    void failuresBeforeTheFirstRecord_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<bool>("local");
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("line");
        QTest::newRow("cannot open") << false << false << QString() << "t" << 118;
        QTest::newRow("cannot open, local") << false << true << QString() << "t" << 116;
        QTest::newRow("no such table") << true << false << QString() << "missing" << 120;
        QTest::newRow("no such schema") << true << false << "nowhere"
                                        << "t" << 120;
    }

    void failuresBeforeTheFirstRecord()
    {
        QFETCH(bool, reachable);
        QFETCH(bool, local);
        QFETCH(QString, schema);
        QFETCH(QString, table);
        TestDatabase db;
        db.table("t", Keyed, "v", { "abc" });
        LoginFields fields = reachable ? db.fields() : TestDatabase::unreachable();
        fields.localConnection = local;

        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(fields, { schema, table });
        QCOMPARE(result.outcome, BatchChange::Outcome::NotStarted);
        QCOMPARE(recorder.failures.size(), 1);
        QTEST(recorder.failures.first().line, "line");
        QVERIFY(!recorder.failures.first().description.isEmpty());
        QVERIFY(recorder.progress.isEmpty());
        QCOMPARE(db.column("t", "v"), QVariantList { "abc" });
    }

    // The engine refuses two rows of a chunk, each for its own reason: each
    // reason is reported once and the rest of the chunk is changed.
    void refusedRowsInsideAChunk_data() { byKeyAndByValue(); }

    void refusedRowsInsideAChunk()
    {
        QFETCH(QString, columns);
        TestDatabase db;
        // One refused row in the first chunk, and two in a later one: each
        // chunk that falls short is done again record by record.
        const int chunk = EmbeddedDialect().chunkRecords(1);
        QVariantList values { "abc", "def", "ghi" };
        QVariantList after { "ABC", "def", "GHI" };
        for (int i = 0; i < chunk; ++i) {
            values << QStringLiteral("f%1").arg(i);
            after << QStringLiteral("F%1").arg(i);
        }
        values << "jkl"
               << "def";
        after << "jkl"
              << "def";
        db.table("t", columns, "v", values);
        db.exec("CREATE TRIGGER no_def BEFORE UPDATE ON t WHEN old.v = 'def' BEGIN SELECT RAISE(ABORT, 'no def'); END");
        db.exec("CREATE TRIGGER no_jkl BEFORE UPDATE ON t WHEN old.v = 'jkl' BEGIN SELECT RAISE(ABORT, 'no jkl'); END");

        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QCOMPARE(db.column("t", "v"), after);
        QCOMPARE(result.recordsChanged, chunk + 2);
        QCOMPARE(result.rejected, 3);
        QCOMPARE(recorder.failures.size(), 2);
        QStringList descriptions;
        for (const Failed &failed : recorder.failures) {
            QCOMPARE(failed.line, 150);
            descriptions << failed.description;
        }
        QVERIFY2(descriptions.filter("no def").size() == 1 && descriptions.filter("no jkl").size() == 1,
            qPrintable(descriptions.join(" | ")));
        QVERIFY(describeUnchanged(result).startsWith(
            QStringLiteral("3 of %1 records could not be changed: 3 refused by the server").arg(chunk + 5)));
    }

    // A failure that comes back for every statement (here the engine's own
    // word for a lock another connection holds, raised at the first row) ends
    // the run after one report, instead of every record waiting in turn.
    void repeatingFailureEndsTheRun()
    {
        TestDatabase db;
        db.table("t", Keyed, "v", { "one", "two", "three", "four", "five" });
        db.exec("CREATE TRIGGER held BEFORE UPDATE ON t BEGIN SELECT RAISE(ABORT, 'database is locked'); END");

        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::EndedByFailure);
        QCOMPARE(recorder.failures.size(), 1);
        QCOMPARE(result.notReached, 5);
        QCOMPARE(result.recordsChanged + result.rejected, 0);
        QCOMPARE(db.column("t", "v"), (QVariantList { "one", "two", "three", "four", "five" }));
        QVERIFY(describeUnchanged(result).contains("5 not reached"));

        // Records changed and refused before the failure that ends the run are
        // counted as such; only the rest were not reached.
        db.exec("DROP TRIGGER held");
        db.exec("CREATE TRIGGER held BEFORE UPDATE ON t WHEN old.id >= 4 BEGIN SELECT RAISE(ABORT, 'database is "
                "locked'); END");
        db.exec("CREATE TRIGGER no_two BEFORE UPDATE ON t WHEN old.id = 2 BEGIN SELECT RAISE(ABORT, 'no two'); END");
        Recorder again { "UPPER CASE" };
        const BatchChange::Result ended = again.run(db.fields());
        QCOMPARE(ended.outcome, BatchChange::Outcome::EndedByFailure);
        QCOMPARE(ended.recordsChanged, 2);
        QCOMPARE(ended.rejected, 1);
        QCOMPARE(ended.notReached, 2);
        QCOMPARE(again.failures.size(), 2);
        QCOMPARE(db.column("t", "v"), (QVariantList { "ONE", "two", "THREE", "four", "five" }));
    }

    // A NUL inside a value, or bytes that are not UTF-8, cannot be read back
    // as they are stored: such rows are left alone under a reason of their own.
    void valuesThatCannotBeReadExactly()
    {
        TestDatabase db;
        db.table("t", Keyed);
        db.exec("INSERT INTO t (v) VALUES ('ab' || char(0) || 'cd'), (CAST(X'61FF62' AS TEXT)), ('plain')");
        const QString before = db.query("SELECT group_concat(hex(v), ',') FROM t").value(0).toString();

        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.unreadable, 2);
        QCOMPARE(result.recordsChanged, 1);
        QCOMPARE(result.alreadyInCase, 0);
        QCOMPARE(db.query("SELECT group_concat(hex(v), ',') FROM t").value(0).toString(),
            before.section(',', 0, 1) + ",504C41494E");
        QVERIFY(describeUnchanged(result).contains("2 that could not be read exactly"));
    }

    // A row that no longer holds what was read is left alone and counted, and
    // no row is changed that the snapshot did not hold with its text.
    void valueChangedSinceReadIsLeftAlone_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("setup"); // one statement
        QTest::addColumn<QString>("edit"); // by someone else, after the snapshot was read
        QTest::addColumn<QVariantList>("after");
        QTest::addColumn<int>("changedSinceRead");
        const QString editThree = QStringLiteral("UPDATE t SET v = 'three, edited' WHERE v = 'three'");
        const QVariantList editedThree { "ONE", "TWO", "three, edited" };
        QTest::newRow("by key") << Keyed << "" << editThree << editedThree << 1;
        QTest::newRow("by value") << "v TEXT"
                                  << "" << editThree << editedThree << 1;
        // A collation that ignores case or trailing blanks does not hide a change.
        QTest::newRow("by key, case ignored")
            << "id INTEGER PRIMARY KEY, v TEXT COLLATE NOCASE"
            << ""
            << "UPDATE t SET v = 'Three' WHERE id = 3" << QVariantList { "ONE", "TWO", "Three" } << 1;
        QTest::newRow("by value, trailing blanks ignored")
            << "v TEXT COLLATE RTRIM"
            << ""
            << "UPDATE t SET v = 'three  ' WHERE v = 'three'" << QVariantList { "ONE", "TWO", "three  " } << 1;
        QTest::newRow("by value, rows of a text added")
            << "v TEXT"
            << ""
            << "INSERT INTO t (v) VALUES ('one'), ('one')" << QVariantList { "one", "TWO", "THREE", "one", "one" } << 1;
        // Text by text (an update trigger), a text changes only while exactly
        // as many rows hold it as were read.
        QTest::newRow("by value, text by text, rows of a text added")
            << "v TEXT"
            << "CREATE TRIGGER noted AFTER UPDATE ON t BEGIN SELECT 1; END"
            << "INSERT INTO t (v) VALUES ('one')" << QVariantList { "one", "TWO", "THREE", "one" } << 1;
        // The engine counts the rows of each text exactly, whatever the
        // field's collation: "one" and "One" are two texts.
        QTest::newRow("by value, texts alike but for case")
            << "v TEXT COLLATE NOCASE"
            << "INSERT INTO t (v) VALUES ('One'), ('one')"
            << "" << QVariantList { "ONE", "TWO", "THREE", "ONE", "ONE" } << 0;
        // As many rows as were read, but not those of each text.
        QTest::newRow("by value, a text's row gone, another's added")
            << "v TEXT"
            << ""
            << "DELETE FROM t WHERE v = 'two';INSERT INTO t (v) VALUES ('one')"
            << QVariantList { "one", "THREE", "one" } << 2;
        // A trigger rewrites another row while a row is changed: that row's new
        // value is not overwritten.
        QTest::newRow("by key, a trigger changes another row")
            << Keyed
            << "CREATE TRIGGER other AFTER UPDATE ON t WHEN new.id = 1 BEGIN "
               "UPDATE t SET v = 'by trigger' WHERE id = 3; END"
            << "" << QVariantList { "ONE", "TWO", "by trigger" } << 1;
        QTest::newRow("by value, a trigger changes another row")
            << "v TEXT"
            << "CREATE TRIGGER other AFTER UPDATE ON t WHEN new.v = 'ONE' BEGIN "
               "UPDATE t SET v = 'by trigger' WHERE v = 'three'; END"
            << "" << QVariantList { "ONE", "TWO", "by trigger" } << 1;
    }

    void valueChangedSinceReadIsLeftAlone()
    {
        QFETCH(QString, columns);
        QFETCH(QString, setup);
        QFETCH(QString, edit);
        QFETCH(int, changedSinceRead);
        TestDatabase db;
        db.table("t", columns, "v", { "one", "two", "three" });
        if (!setup.isEmpty())
            db.exec(setup);
        const int rows = db.query("SELECT count(*) FROM t").value(0).toInt();

        Recorder recorder { "UPPER CASE" };
        recorder.onYield = [&](int position) {
            if (position == 1)
                for (const QString &statement : edit.split(';', Qt::SkipEmptyParts))
                    db.exec(statement);
        };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.changedSinceRead, changedSinceRead);
        QCOMPARE(result.recordsChanged, rows - changedSinceRead);
        QVERIFY(recorder.failures.isEmpty());
        QTEST(db.column("t", "v"), "after");
    }

    // A chunk that fell short is done again record by record; the chunks
    // after it are one statement again, and as atomic: one that falls short
    // too is rolled back whole before its records are done one by one.
    void chunksAfterARedoAreAtomicAgain()
    {
        QVariantList values;
        for (int i = 0; i < 5000; ++i)
            values << QStringLiteral("row %1").arg(i);
        TestDatabase db;
        db.table("t", Keyed, "v", values);
        Recorder recorder { "UPPER CASE" };
        // A row in the first chunk and one in the third change after they were read.
        recorder.onYield = [&](int position) {
            if (position == 1)
                db.exec("UPDATE t SET v = 'edited' WHERE id IN (2, 4500)");
        };
        const BatchChange::Result result = recorder.run(db.fields());
        QVERIFY(recorder.failures.isEmpty());
        QCOMPARE(recorder.chunks.size(), 3);
        QCOMPARE(result.changedSinceRead, 2);
        QCOMPARE(result.recordsChanged, 4998);
        QCOMPARE(db.query("SELECT count(*) FROM t WHERE v = 'edited'").value(0).toInt(), 2);
    }

    // Without a key the rows are read in the order of their texts as they
    // were at the start, each with the number of rows of its text: a row
    // that someone else gives a new text meanwhile keeps it, and the rows of
    // its old text no longer lie in as many rows and are left alone.
    void rowChangedMeanwhileIsLeftAlone()
    {
        const int rows = SnapshotReader::BlockRows + 10;
        const int lastText = (rows - 1) % 7;
        QVariantList values;
        QVariantList expected;
        for (int i = 0; i < rows; ++i) {
            values << QStringLiteral("item %1").arg(i % 7);
            expected << QString(i % 7 == lastText ? "item %1" : "ITEM %1").arg(i % 7);
        }
        expected.last() = "someone else's";
        TestDatabase db;
        db.table("t", "v TEXT", "v", values);
        Recorder recorder { "UPPER CASE" };
        // The last row lies in the second block, not read yet.
        recorder.onYield = [&](int position) {
            if (position == 1)
                db.exec("UPDATE t SET v = 'someone else''s' WHERE rowid = (SELECT max(rowid) FROM t)");
        };
        const BatchChange::Result result = recorder.run(db.fields());
        QVERIFY(recorder.failures.isEmpty());
        QCOMPARE(result.recordsRead, rows);
        QCOMPARE(result.changedSinceRead, (rows + 6) / 7);
        QCOMPARE(db.column("t", "v"), expected);
    }

    void noModeSendsNothing()
    {
        TestDatabase db;
        db.table("t", Keyed, "v", { "abc", "Def" });
        Recorder recorder { "Title Case" };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QCOMPARE(result.withoutMode, 2);
        QCOMPARE(result.unchanged(), 0);
        QCOMPARE(recorder.progress, (QList<double> { 50.0, 100.0 }));
        QCOMPARE(db.column("t", "v"), (QVariantList { "abc", "Def" }));
    }

    void emptyTableChangesNothing()
    {
        TestDatabase db;
        db.table("t", "v TEXT");
        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QCOMPARE(result.recordsRead, 0);
        QVERIFY(recorder.progress.isEmpty());
    }

    // started() and beforeSend() can end the run: nothing of what they were
    // asked about is sent, and the run says it was declined.
    void declinedRunSendsNothingMore_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<int>("declineAt"); // 0: started(), n: the n-th beforeSend()
        QTest::addColumn<QVariantList>("after");
        QTest::addColumn<int>("plannedRecords"); // in the beforeSend() calls
        QTest::newRow("at the start") << Keyed << 0 << QVariantList { "a", "a", "B", QVariant(), "c" } << 0;
        // A chunk is handed over whole; without a key, one record per row of each value.
        QTest::newRow("at the first send, by key")
            << Keyed << 1 << QVariantList { "a", "a", "B", QVariant(), "c" } << 3;
        QTest::newRow("at the first send, by value")
            << "v TEXT" << 1 << QVariantList { "a", "a", "B", QVariant(), "c" } << 3;
    }

    void declinedRunSendsNothingMore()
    {
        QFETCH(QString, columns);
        QFETCH(int, declineAt);
        TestDatabase db;
        db.table("t", columns, "v", { "a", "a", "B", QVariant(), "c" });
        int calls = 0;
        QStringList keyColumns;
        QList<PlannedChange> planned;
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        callbacks.started = [&](const QStringList &names) {
            keyColumns = names;
            return declineAt != 0;
        };
        callbacks.beforeSend = [&](const QList<PlannedChange> &records) {
            planned += records;
            return ++calls != declineAt;
        };
        const BatchChange::Result result = BatchChange(db.fields(), TableName { {}, "t" }, "v", callbacks).run();
        QCOMPARE(result.outcome, BatchChange::Outcome::Declined);
        QTEST(db.column("t", "v"), "after");
        QCOMPARE(keyColumns, columns == Keyed ? QStringList { "id" } : QStringList {});
        QTEST(int(planned.size()), "plannedRecords");
        if (!planned.isEmpty()) {
            QCOMPARE(planned.first().keyValues, columns == Keyed ? QVariantList { "1" } : QVariantList {});
            QCOMPARE(planned.first().oldText, QStringLiteral("a"));
            QCOMPARE(planned.first().newText, QStringLiteral("A"));
        }
    }

    // A dry run counts what a real run changes and sends nothing; rewrite()
    // replaces the case rule, and a record it leaves out is counted apart.
    void dryRunAndRewrite_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<bool>("rewrite"); // "c" left out, "a" to "a!"
        QTest::addColumn<QVariantList>("after");
        QTest::addColumn<int>("changed");
        QTest::addColumn<int>("leftOut");
        const QVariantList before = { "a", "a", "B", QVariant(), "c" };
        for (const QString &columns : { Keyed, QStringLiteral("v TEXT") }) {
            const QByteArray shape = columns == Keyed ? "by key" : "by value";
            QTest::newRow("dry run, " + shape) << columns << true << false << before << 3 << 0;
            QTest::newRow("real run, " + shape)
                << columns << false << false << QVariantList { "A", "A", "B", QVariant(), "C" } << 3 << 0;
            QTest::newRow("rewritten, " + shape)
                << columns << false << true << QVariantList { "a!", "a!", "B!", QVariant(), "c" } << 3 << 1;
        }
    }

    void dryRunAndRewrite()
    {
        QFETCH(QString, columns);
        QFETCH(bool, dryRun);
        QFETCH(bool, rewrite);
        TestDatabase db;
        db.table("t", columns, "v", { "a", "a", "B", QVariant(), "c" });
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
        if (rewrite)
            callbacks.rewrite
                = [](const QString &oldText, const QList<QVariant> &, qsizetype) -> std::optional<QString> {
                if (oldText == "c")
                    return std::nullopt;
                return oldText + "!";
            };
        BatchChange change(db.fields(), TableName { {}, "t" }, "v", callbacks);
        change.setDryRun(dryRun);
        const BatchChange::Result result = change.run();
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QTEST(db.column("t", "v"), "after");
        QTEST(int(result.recordsChanged), "changed");
        QTEST(int(result.rowsChanged), "changed");
        QTEST(int(result.leftOut), "leftOut");
        QCOMPARE(result.unchanged(), 0);
    }

    void stopsBeforeTheNextRecord()
    {
        TestDatabase db;
        db.table("t", Keyed, "v", { "one", "two", "three" });
        Recorder recorder { "UPPER CASE" };
        recorder.stopAt = 2;
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::Stopped);
        QCOMPARE(db.column("t", "v"), (QVariantList { "ONE", "TWO", "three" }));
    }
};

QTEST_GUILESS_MAIN(BatchChangeTest)
#include "BatchChangeTest.moc"
