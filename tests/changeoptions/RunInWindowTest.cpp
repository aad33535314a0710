#include "changeoptions/RunInWindow.h"
#include "common/ProgramEnd.h"
#include "connection/EmbeddedDialect.h"
#include "connection/SqlDialect.h"
#include "platform/BusyPointer.h"
#include "platform/EventYield.h"
#include "platform/ProgressBar.h"
#include "support/ListRows.h"
#include "support/TestDatabase.h"
#include "support/WindowSandbox.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>

namespace {

const QVariantList Before = { "ann smith", QVariant(), "o'neil", "a", "one\ntwo" };
const QStringList PreviewBefore = { "ann smith", "", "o'neil", "a", "one\ntwo" };

// The controls of the change options window, on a bare widget.
struct Window {
    QWidget window;
    QTreeWidget *tables = new QTreeWidget(&window);
    QTreeWidget *fields = new QTreeWidget(&window);
    QTreeWidget *preview = new QTreeWidget(&window);
    QComboBox *modes = new QComboBox(&window);
    ProgressBar *bar = new ProgressBar(&window);
    int refills = 0;
    LoginFields login;

    Window()
    {
        modes->addItems({ "UPPER CASE", "lower case", "Proper Case", "Sentence case" });
        bar->setText("Progress Bar");
    }

    RunInWindow::Controls controls()
    {
        return { &window, [this] { return login; }, tables, fields, preview, modes, bar, [this] { ++refills; } };
    }
};

} // namespace

// "Start Changing" over bare widgets and the embedded engine.
class RunInWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_sandbox.emplace();
        m_boxes = &m_sandbox->boxes;
        m_db = std::make_unique<TestDatabase>();
        m_db->exec("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT, age INTEGER)");
        m_db->exec("INSERT INTO people (name, age) VALUES ('ann smith', 1), (NULL, 2), ('o''neil', 3), ('a', 4), "
                   "('one' || char(10) || 'two', 5)");
        m_form = std::make_unique<Window>();
        m_form->login = m_db->fields();
        fillRows(m_form->tables, { "people" });
        fillRows(m_form->fields, { "name", "id", "age" });
        fillRows(m_form->preview, PreviewBefore);
        // A box waits for the user under the normal pointer, also in the middle of a run.
        m_boxes->onShow = [](const RecordingMessageBoxes::Shown &) {
            QVERIFY(!BusyPointer::isShowing());
            QVERIFY(!QGuiApplication::overrideCursor());
        };
    }

    void cleanup()
    {
        m_form.reset();
        m_db.reset();
        m_sandbox.reset();
    }

    void cleanRunConvertsDatabaseAndPreview()
    {
        m_form->modes->setCurrentText("Proper Case");
        RunInWindow::startChanging(m_form->controls());

        QCOMPARE(m_boxes->texts(), QStringList { "Done." });
        // A line feed starts a word in the database, and so in the preview that shows it.
        QCOMPARE(m_db->column("people", "name"), (QVariantList { "Ann Smith", QVariant(), "O'neil", "A", "One\nTwo" }));
        QCOMPARE(rowTexts(m_form->preview), (QStringList { "Ann Smith", "", "O'neil", "A", "One\nTwo" }));
        QCOMPARE(m_form->bar->value(), 0.0);
        QCOMPARE(m_form->bar->text(), QStringLiteral("Progress Bar"));
        QVERIFY(!BusyPointer::isShowing());
        QCOMPARE(m_form->refills, 0);
        // The run's journal, kept silently: a header, the four changed records
        // and the line that says the server wrote them.
        const QDir journals(m_sandbox->env.dataFolder() + "/Marrowfen/Vantrell/journals");
        const QStringList files = journals.entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first().endsWith("_people_name.jsonl"), qPrintable(files.first()));
        QFile journal(journals.filePath(files.first()));
        QVERIFY(journal.open(QIODevice::ReadOnly));
        const QByteArray lines = journal.readAll();
        QCOMPARE(lines.count('\n'), 6);
        QVERIFY(lines.endsWith("\n{\"written\":\"texts\"}\n") || lines.endsWith("\n{\"written\":\"chunk\"}\n"));
    }

    void journalFailureSaysSoOnceAndChangesNothing()
    {
        // Where the journals' folder should be stands a file.
        QDir().mkpath(m_sandbox->env.dataFolder() + "/Marrowfen/Vantrell");
        QFile blocker(m_sandbox->env.dataFolder() + "/Marrowfen/Vantrell/journals");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_form->modes->setCurrentText("UPPER CASE");
        RunInWindow::startChanging(m_form->controls());
        QCOMPARE(m_boxes->shown.size(), 1);
        QCOMPARE(m_boxes->shown.first().icon, MessageBoxes::Icon::None);
        QVERIFY2(
            m_boxes->texts().first().contains("journal could not be written"), qPrintable(m_boxes->texts().first()));
        QVERIFY(m_boxes->texts().first().endsWith("Nothing was changed."));
        QCOMPARE(m_db->column("people", "name"), Before);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

    void nothingStartsWithoutFieldOrMode_data()
    {
        QTest::addColumn<bool>("fields");
        QTest::addColumn<QString>("modeText"); // empty: no item chosen
        QTest::addColumn<QString>("message");
        QTest::newRow("no field") << false << "UPPER CASE"
                                  << "Please select a field.";
        QTest::newRow("no mode chosen") << true << ""
                                        << "Please select a change option.";
        QTest::newRow("text without a mode word") << true << "Title Case"
                                                  << "Please select a change option.";
    }

    void nothingStartsWithoutFieldOrMode()
    {
        QFETCH(bool, fields);
        QFETCH(QString, modeText);
        QFETCH(QString, message);
        if (!fields)
            m_form->fields->clear();
        m_form->modes->setCurrentIndex(-1);
        if (!modeText.isEmpty()) {
            m_form->modes->setEditable(true);
            m_form->modes->setEditText(modeText);
        }
        m_form->bar->setValue(40);
        RunInWindow::startChanging(m_form->controls());
        QCOMPARE(m_boxes->texts(), QStringList { message });
        QCOMPARE(m_boxes->shown.first().title, QStringLiteral("Vantrell"));
        QCOMPARE(m_boxes->shown.first().icon, MessageBoxes::Icon::None);
        QCOMPARE(m_form->bar->value(), 40.0);
        QCOMPARE(m_db->column("people", "name"), Before);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

    void modeChangedDuringRunRereadsPreview()
    {
        m_form->modes->setCurrentText("UPPER CASE");
        // From the second record on the user has chosen lower case: a call
        // posted again at every yield until the first record is visited.
        std::function<void()> probe = [&] {
            if (m_form->bar->value() > 0)
                m_form->modes->setCurrentText("lower case");
            else
                QMetaObject::invokeMethod(this, probe, Qt::QueuedConnection);
        };
        QMetaObject::invokeMethod(this, probe, Qt::QueuedConnection);
        RunInWindow::startChanging(m_form->controls());
        QCOMPARE(m_boxes->texts(), QStringList { "Done." });
        QCOMPARE(m_db->column("people", "name"), (QVariantList { "ANN SMITH", QVariant(), "o'neil", "a", "one\ntwo" }));
        // Neither mode's conversion would show that: the preview is read again.
        QCOMPARE(m_form->refills, 1);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

    void failedConnectionEndsAfterOneReport()
    {
        m_form->login = TestDatabase::unreachable();
        m_form->bar->setValue(40);
        RunInWindow::startChanging(m_form->controls());
        QCOMPARE(m_boxes->shown.size(), 1);
        QCOMPARE(m_boxes->shown.first().title, QStringLiteral("Application Error"));
        QVERIFY(
            m_boxes->shown.first().text.contains("\r\nin Quorvel2021/08/31.Form2.PushButton1_Click at line 118\r\r"));
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
        QCOMPARE(m_form->bar->value(), 0.0);
        QVERIFY(!BusyPointer::isShowing());
    }

    void rejectedStatementsEndWithTheCountAndARefill()
    {
        // Two rows refused, each for a reason of its own: both reasons are reported.
        m_db->exec("CREATE TRIGGER refuseAnn BEFORE UPDATE ON people WHEN old.id = 1 "
                   "BEGIN SELECT RAISE(ABORT, 'ann is locked'); END");
        m_db->exec("CREATE TRIGGER refuseNeil BEFORE UPDATE ON people WHEN old.id = 3 "
                   "BEGIN SELECT RAISE(ABORT, 'neil is archived'); END");
        // More rows than two chunks: the first chunk is settled, and its reports
        // shown, while the records after the second are visited.
        const int more = 2 * EmbeddedDialect().chunkRecords(1) + 100;
        m_db->exec(
            QStringLiteral("INSERT INTO people (name, age) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                           "FROM n WHERE i < %1) SELECT 'more', 6 FROM n")
                .arg(more));
        m_form->modes->setCurrentText("UPPER CASE");
        // The busy pointer is back once a report is closed, while the run goes on.
        QList<bool> busyAtYieldAfterReport;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (!m_boxes->shown.isEmpty() && m_form->bar->value() > 0)
                busyAtYieldAfterReport << BusyPointer::isShowing();
        });
        probe.start(0);
        RunInWindow::startChanging(m_form->controls());
        QCOMPARE(m_boxes->shown.size(), 3);
        QVERIFY(m_boxes->shown[0].text.startsWith("[SQLite]ann is locked"));
        QVERIFY(m_boxes->shown[1].text.startsWith("[SQLite]neil is archived"));
        for (int i : { 0, 1 })
            QVERIFY(m_boxes->shown[i].text.contains("PushButton1_Click at line 150\r\r"));
        QCOMPARE(m_boxes->shown[2].text,
            QStringLiteral("2 of %1 records could not be changed: 2 refused by the server.").arg(more + 5));
        QVERIFY(!busyAtYieldAfterReport.isEmpty());
        QVERIFY(!busyAtYieldAfterReport.contains(false));
        QCOMPARE(m_db->column("people", "name").first(5),
            (QVariantList { "ann smith", QVariant(), "o'neil", "A", "ONE\nTWO" }));
        QCOMPARE(m_db->column("people", "name").last(), QVariant("MORE"));
        QCOMPARE(m_form->refills, 1);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

    // The bar gets a value for every record, but repaints only when what it
    // draws changes, and at most once a frame: never once per record.
    void barRepaintsOnlyAsItGrows()
    {
        QVariantList many;
        for (int i = 0; i < 5000; ++i)
            many << QStringLiteral("row %1").arg(i);
        m_db->insert("people", "name", many);
        m_form->bar->setGeometry(0, 0, 200, 20);
        m_form->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_form->window));
        struct PaintCounter : QObject {
            int paints = 0;
            double lastPainted = -1; // the bar's value at its last paint
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() == QEvent::Paint) {
                    ++paints;
                    lastPainted = static_cast<ProgressBar *>(watched)->value();
                }
                return false;
            }
        } counter;
        m_form->bar->installEventFilter(&counter);
        // (A timer may end up to 5% early.)
        const auto mostPaints
            = [](qint64 milliseconds) { return milliseconds * 20 / 19 / ProgressBar::FrameMilliseconds + 2; };
        QElapsedTimer timer;
        timer.start();
        RunInWindow::startChanging(m_form->controls());
        qint64 milliseconds = timer.elapsed();
        QCOMPARE(m_boxes->texts(), QStringList { "Done." });
        QVERIFY2(counter.paints <= std::min<qint64>(200 + 2, mostPaints(milliseconds)),
            qPrintable(QStringLiteral("%1 in %2 ms").arg(counter.paints).arg(milliseconds)));

        // A value per record for a slower run of 3,000 records: it goes on
        // repainting as it grows, and shows where it ended. The end of the
        // run's reset to 0 is painted first, however long that takes.
        QTRY_COMPARE_WITH_TIMEOUT(counter.lastPainted, 0.0, 30000);
        counter.paints = 0;
        timer.restart();
        for (int record = 1; record <= 2900; ++record) {
            m_form->bar->setValue(record / 30.0);
            QCoreApplication::processEvents();
            if (record % 10 == 0)
                QThread::usleep(1000);
        }
        // The last value, several pixels on, comes with the trailing repaint
        // whenever the machine gets to it. (A value that draws the same
        // pixels as the one painted needs no repaint.)
        m_form->bar->setValue(100.0);
        QTRY_COMPARE_WITH_TIMEOUT(counter.lastPainted, 100.0, 30000);
        milliseconds = timer.elapsed();
        QVERIFY2(counter.paints >= 5 && counter.paints <= mostPaints(milliseconds),
            qPrintable(QStringLiteral("%1 in %2 ms").arg(counter.paints).arg(milliseconds)));
    }

    void notTextFieldSaysWhy()
    {
        m_form->fields->setCurrentItem(m_form->fields->topLevelItem(2));
        RunInWindow::startChanging(m_form->controls());
        QCOMPARE(m_boxes->shown.size(), 1);
        QCOMPARE(m_boxes->shown.first().icon, MessageBoxes::Icon::None);
        QVERIFY(m_boxes->shown.first().text.contains("\"age\""));
        QCOMPARE(m_db->column("people", "age"), (QVariantList { "1", "2", "3", "4", "5" }));
    }

    void secondPressDuringARunDoesNothing()
    {
        m_db->exec("CREATE TABLE changes (n INTEGER)");
        m_db->exec("CREATE TRIGGER counted AFTER UPDATE ON people BEGIN INSERT INTO changes VALUES (1); END");
        m_form->modes->setCurrentText("UPPER CASE");
        bool wasRunning = false;
        // Fires in the run's first yield: the user presses again and picks another field.
        QTimer::singleShot(0, this, [&] {
            wasRunning = RunInWindow::isRunning();
            m_form->fields->setCurrentItem(m_form->fields->topLevelItem(1));
            RunInWindow::startChanging(m_form->controls());
        });
        RunInWindow::startChanging(m_form->controls());
        QVERIFY(wasRunning);
        QVERIFY(!RunInWindow::isRunning());
        QCOMPARE(m_boxes->texts(), QStringList { "Done." });
        QCOMPARE(m_db->column("people", "name"), (QVariantList { "ANN SMITH", QVariant(), "O'NEIL", "A", "ONE\nTWO" }));
        QCOMPARE(m_db->query("SELECT count(*) FROM changes").value(0).toInt(), 4);
    }

    // A run's yield runs what the program posted at once, and the window
    // system's events and the timers soon after, however fast the records go.
    void yieldRunsPostedEventsAtOnceAndTheRestSoon()
    {
        EventYield yield;
        int queued = 0;
        int timed = 0;
        QTimer::singleShot(0, this, [&] { ++timed; });
        yield();
        QCOMPARE(timed, 1);
        QTimer::singleShot(0, this, [&] { ++timed; });
        QMetaObject::invokeMethod(
            this, [&] { ++queued; }, Qt::QueuedConnection);
        yield();
        QCOMPARE(queued, 1);
        for (QDeadlineTimer deadline(10000); timed < 2 && !deadline.hasExpired();)
            yield();
        QCOMPARE(timed, 2);
    }

    void closingTheProgramStopsTheRun()
    {
        m_form->modes->setCurrentText("UPPER CASE");
        // The user closes a window during the run's first yield.
        QTimer::singleShot(0, this, [] { ProgramEnd::request(); });
        RunInWindow::startChanging(m_form->controls());
        ProgramEnd::reset();
        QVERIFY(m_boxes->shown.isEmpty());
        QVERIFY(!BusyPointer::isShowing());
        QCOMPARE(m_db->column("people", "name"), Before);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

private:
    std::optional<WindowSandbox> m_sandbox;
    RecordingMessageBoxes *m_boxes = nullptr;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<Window> m_form;
};

QTEST_MAIN(RunInWindowTest)
#include "RunInWindowTest.moc"
