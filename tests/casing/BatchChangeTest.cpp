#include "casing/BatchChange.h"
#include "support/TestDatabase.h"

#include <QTest>

using Case::Mode;

Q_DECLARE_METATYPE(Case::Mode)

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

    BatchChange::Result run(const LoginFields &fields, const QString &table = "t", const QString &field = "v")
    {
        int position = 0;
        BatchChange::Callbacks callbacks;
        callbacks.modeText = [this] { return modeText; };
        callbacks.progress = [this](double value) { progress << value; };
        callbacks.yield = [&] {
            if (onYield)
                onYield(position);
            ++position;
        };
        callbacks.stop = [&] { return position - 1 == stopAt; };
        callbacks.failure = [this](int line, const QString &description) { failures << Failed { line, description }; };
        return BatchChange(fields, table, field, callbacks).run();
    }
};

const QString Keyed = QStringLiteral("id INTEGER PRIMARY KEY, v TEXT");

const QVariantList MixedValues = {
    QVariant(),
    QString(),
    QStringLiteral("o'neil"),
    QStringLiteral("hello world"),
    QStringLiteral("hello world"),
    QStringLiteral("a"),
    QStringLiteral("banana and a pear"),
    QStringLiteral("straße ǆungla αβγ жук"),
    QStringLiteral("  two  blanks\tand\ttabs"),
    QStringLiteral("trailing blank "),
    QStringLiteral("ALREADY UPPER"),
    QStringLiteral("hello world "),
};

} // namespace

// The batch change against the embedded engine through the real ODBC path.
class BatchChangeTest : public QObject {
    Q_OBJECT

private slots:
    void everyModeChangesEachRowToItsOwnNewText_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("columns");
        for (Mode mode : { Mode::Upper, Mode::Lower, Mode::Proper, Mode::Sentence }) {
            const QByteArray name = Case::ModeTexts[int(mode)].toUtf8();
            QTest::newRow(name + " by key") << mode << "id INTEGER PRIMARY KEY, v VARCHAR(50)";
            QTest::newRow(name + " by value") << mode << "v NVARCHAR(50), other INTEGER";
        }
    }

    void everyModeChangesEachRowToItsOwnNewText()
    {
        QFETCH(Mode, mode);
        QFETCH(QString, columns);
        TestDatabase db;
        db.table("t", columns, "v", MixedValues);

        Recorder recorder { Case::ModeTexts[int(mode)] };
        const BatchChange::Result result = recorder.run(db.fields());

        QVERIFY(recorder.failures.isEmpty());
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        QCOMPARE(result.byKey, columns.contains("PRIMARY KEY"));
        QVariantList expected;
        qsizetype needChange = 0;
        for (const QVariant &value : MixedValues) {
            const QString converted = Case::ConvertForStorage(mode, value.toString());
            needChange += value.isValid() && converted != value.toString();
            expected << (value.isValid() ? QVariant(converted) : QVariant());
        }
        QCOMPARE(db.column("t", "v"), expected);
        QCOMPARE(result.recordsRead, MixedValues.size());
        QCOMPARE(result.recordsChanged, needChange);
        QCOMPARE(result.rowsChanged, needChange);
        QCOMPARE(result.alreadyInCase, MixedValues.size() - needChange);
        QCOMPARE(result.unchanged(), 0);
        QCOMPARE(recorder.progress.size(), MixedValues.size());
        QCOMPARE(recorder.progress.first(), 100.0 / MixedValues.size());
        QCOMPARE(recorder.progress.last(), 100.0);
    }

    void keyChoice_data()
    {
        QTest::addColumn<QString>("schema"); // statements separated by ';'
        QTest::addColumn<bool>("byKey");
        QTest::newRow("integer primary key") << "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)" << true;
        QTest::newRow("text primary key, not null")
            << "CREATE TABLE t (code VARCHAR(5) NOT NULL PRIMARY KEY, v TEXT)" << true;
        QTest::newRow("text primary key, nullable") << "CREATE TABLE t (code VARCHAR(5) PRIMARY KEY, v TEXT)" << false;
        QTest::newRow("two-column key")
            << "CREATE TABLE t (a INT NOT NULL, b TEXT NOT NULL, v TEXT, PRIMARY KEY (a, b))" << true;
        QTest::newRow("real primary key") << "CREATE TABLE t (id REAL NOT NULL PRIMARY KEY, v TEXT)" << false;
        const QString notNull = QStringLiteral("CREATE TABLE t (n INT NOT NULL, v TEXT);");
        QTest::newRow("unique not null") << notNull + "CREATE UNIQUE INDEX t_n ON t (n)" << true;
        QTest::newRow("unique nullable") << "CREATE TABLE t (n INT, v TEXT);CREATE UNIQUE INDEX t_n ON t (n)" << false;
        QTest::newRow("unique partial") << notNull + "CREATE UNIQUE INDEX t_n ON t (n) WHERE n > 0" << false;
        QTest::newRow("unique on an expression") << notNull + "CREATE UNIQUE INDEX t_n ON t (n, abs(n))" << false;
        QTest::newRow("plain index") << notNull + "CREATE INDEX t_n ON t (n)" << false;
    }

    void keyChoice()
    {
        QFETCH(QString, schema);
        QFETCH(bool, byKey);
        TestDatabase db;
        for (const QString &statement : schema.split(';'))
            db.exec(statement);
        const QStringList columns = db.query("SELECT * FROM t LIMIT 0").fieldNames();
        for (int row = 1; row <= 3; ++row) {
            QStringList values;
            for (const QString &column : columns)
                values << (column == "v" ? QStringLiteral("'a b %1'").arg(row) : QString::number(row));
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
    }

    void fieldsThatAreNotText()
    {
        QFETCH(QString, columns);
        QFETCH(QString, reason);
        TestDatabase db;
        db.table("t", columns, columns.contains("w TEXT") ? "w" : "v", { "abc" });
        db.exec("CREATE TABLE changes (n INTEGER)");
        db.exec("CREATE TRIGGER counted AFTER UPDATE ON t BEGIN INSERT INTO changes VALUES (1); END");

        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::Refused);
        QVERIFY2(result.refusal.contains(reason), qPrintable(result.refusal));
        QVERIFY(result.refusal.contains("Nothing was changed."));
        QVERIFY(recorder.failures.isEmpty());
        QVERIFY(recorder.progress.isEmpty());
        QCOMPARE(db.query("SELECT count(*) FROM changes").value(0).toInt(), 0);
    }

    void oddNames()
    {
        TestDatabase db;
        const QString table = QStringLiteral("order details] \"x\"; DROP TABLE keep; --");
        db.exec("CREATE TABLE keep (n INTEGER)");
        db.table(table, "\"group\" INTEGER PRIMARY KEY, \"select\" TEXT", "select", { "new york", "o'neil" });

        Recorder recorder { "Proper Case" };
        const BatchChange::Result result = recorder.run(db.fields(), table, "select");
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
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("line");
        QTest::newRow("cannot open") << false << false << "t" << 118;
        QTest::newRow("cannot open, local") << false << true << "t" << 116;
        QTest::newRow("no such table") << true << false << "missing" << 120;
    }

    void failuresBeforeTheFirstRecord()
    {
        QFETCH(bool, reachable);
        QFETCH(bool, local);
        QFETCH(QString, table);
        TestDatabase db;
        db.table("t", Keyed, "v", { "abc" });
        LoginFields fields = reachable ? db.fields() : TestDatabase::unreachable();
        fields.localConnection = local;

        Recorder recorder { "UPPER CASE" };
        const BatchChange::Result result = recorder.run(fields, table);
        QCOMPARE(result.outcome, BatchChange::Outcome::NotStarted);
        QCOMPARE(recorder.failures.size(), 1);
        QTEST(recorder.failures.first().line, "line");
        QVERIFY(!recorder.failures.first().description.isEmpty());
        QVERIFY(recorder.progress.isEmpty());
        QCOMPARE(db.column("t", "v"), QVariantList { "abc" });
    }

    void rejectedStatementsAreReportedOnce()
    {
        TestDatabase db;
        db.table("t", Keyed, "v", { "abc", "def", "ghi", "jkl" });
        db.exec("CREATE TRIGGER refuse BEFORE UPDATE ON t BEGIN SELECT RAISE(ABORT, 'no'); END");

        Recorder recorder { "lower case" };
        recorder.onYield = [&](int position) {
            if (position == 2)
                recorder.modeText = "UPPER CASE";
        };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.outcome, BatchChange::Outcome::Finished);
        // "abc" and "def" need nothing in lower case; "ghi" and "jkl" are refused in upper case.
        QCOMPARE(result.alreadyInCase, 2);
        QCOMPARE(result.rejected, 2);
        QCOMPARE(result.recordsChanged, 0);
        QCOMPARE(recorder.failures.size(), 1);
        QCOMPARE(recorder.failures.first().line, 150);
        QVERIFY2(
            recorder.failures.first().description.contains("no"), qPrintable(recorder.failures.first().description));
        QCOMPARE(db.column("t", "v"), (QVariantList { "abc", "def", "ghi", "jkl" }));
        QVERIFY(describeUnchanged(result).startsWith("2 of 4 records could not be changed: 2 refused by the server"));
    }

    void valueChangedSinceReadIsLeftAlone_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::newRow("by key") << Keyed;
        QTest::newRow("by value") << "v TEXT";
    }

    void valueChangedSinceReadIsLeftAlone()
    {
        QFETCH(QString, columns);
        TestDatabase db;
        db.table("t", columns, "v", { "one", "two", "three" });

        Recorder recorder { "UPPER CASE" };
        recorder.onYield = [&](int position) {
            if (position == 1)
                db.exec("UPDATE t SET v = 'three, edited' WHERE v = 'three'");
        };
        const BatchChange::Result result = recorder.run(db.fields());
        QCOMPARE(result.recordsChanged, 2);
        QCOMPARE(result.changedSinceRead, 1);
        QVERIFY(recorder.failures.isEmpty());
        QCOMPARE(db.column("t", "v"), (QVariantList { "ONE", "TWO", "three, edited" }));
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

    void emptyTable()
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
        QTest::newRow("at the first send") << Keyed << 1 << QVariantList { "a", "a", "B", QVariant(), "c" } << 1;
        QTest::newRow("at the second send, by key")
            << Keyed << 2 << QVariantList { "A", "a", "B", QVariant(), "c" } << 2;
        // Without a key the first statement changes both "a" rows, and asks about both.
        QTest::newRow("at the second send, by value")
            << "v TEXT" << 2 << QVariantList { "A", "A", "B", QVariant(), "c" } << 3;
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
        const BatchChange::Result result = BatchChange(db.fields(), "t", "v", callbacks).run();
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
            callbacks.rewrite = [](const QString &oldText, const QList<QVariant> &) -> std::optional<QString> {
                if (oldText == "c")
                    return std::nullopt;
                return oldText + "!";
            };
        BatchChange change(db.fields(), "t", "v", callbacks);
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
