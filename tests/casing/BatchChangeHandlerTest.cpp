#include "casing/BatchChangeHandler.h"
#include "app/MainHelpers.h"
#include "app/ProgramEnd.h"
#include "casing/Case.h"
#include "platform/BusyPointer.h"
#include "platform/ProgressBar.h"
#include "support/ListRows.h"
#include "support/TestDatabase.h"
#include "support/WindowSandbox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <optional>

namespace {

const QVariantList Before = { "ann smith", QVariant(), "o'neil", "a" };
const QStringList PreviewBefore = { "ann smith", "", "o'neil", "a" };

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
        modes->addItems(Case::ModeTexts);
        bar->setText("Progress Bar");
    }

    BatchChangeControls controls()
    {
        return { &window, [this] { return login; }, tables, fields, preview, modes, bar, [this] { ++refills; } };
    }
};

} // namespace

// "Start Changing" over bare widgets and the embedded engine.
class BatchChangeHandlerTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_sandbox.emplace();
        m_boxes = &m_sandbox->boxes;
        m_db = std::make_unique<TestDatabase>();
        m_db->exec("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT, age INTEGER)");
        m_db->exec("INSERT INTO people (name, age) VALUES ('ann smith', 1), (NULL, 2), ('o''neil', 3), ('a', 4)");
        m_form = std::make_unique<Window>();
        m_form->login = m_db->fields();
        fillRows(m_form->tables, { "people" });
        fillRows(m_form->fields, { "name", "id", "age" });
        fillRows(m_form->preview, PreviewBefore);
        // A report or message always opens over the busy pointer or after its reset, as the step says.
        m_boxes->onShow = [](const RecordingMessageBoxes::Shown &shown) {
            if (shown.icon == MessageBoxes::Icon::Warning)
                QVERIFY(BusyPointer::isShowing());
            else
                QVERIFY(!BusyPointer::isShowing());
        };
    }

    void cleanup()
    {
        m_form.reset();
        m_db.reset();
        m_sandbox.reset();
    }

    void emptyFieldList()
    {
        m_form->fields->clear();
        StartChanging(m_form->controls());
        QCOMPARE(m_boxes->texts(), QStringList { "Please select a field." });
        QCOMPARE(m_boxes->shown.first().title, Main::appTitle());
        QCOMPARE(m_db->column("people", "name"), Before);
    }

    void cleanRunConvertsDatabaseAndPreview()
    {
        m_form->modes->setCurrentText("Proper Case");
        StartChanging(m_form->controls());

        QCOMPARE(m_boxes->texts(), QStringList { "Done." });
        QCOMPARE(m_db->column("people", "name"), (QVariantList { "Ann Smith", QVariant(), "O'neil", "A" }));
        QCOMPARE(rowTexts(m_form->preview), (QStringList { "Ann Smith", "", "O'neil", "A" }));
        QCOMPARE(m_form->bar->value(), 0.0);
        QCOMPARE(m_form->bar->text(), QStringLiteral("Progress Bar"));
        QVERIFY(!BusyPointer::isShowing());
        QCOMPARE(m_form->refills, 0);
        // The run's journal, kept silently: a header and the three changed records.
        const QDir journals(m_sandbox->env.dataFolder() + "/Marrowfen/Vantrell/journals");
        const QStringList files = journals.entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first().endsWith("_people_name.jsonl"), qPrintable(files.first()));
        QFile journal(journals.filePath(files.first()));
        QVERIFY(journal.open(QIODevice::ReadOnly));
        QCOMPARE(journal.readAll().count('\n'), 4);
    }

    void journalFailureSaysSoOnceAndChangesNothing()
    {
        // Where the journals' folder should be stands a file.
        QDir().mkpath(m_sandbox->env.dataFolder() + "/Marrowfen/Vantrell");
        QFile blocker(m_sandbox->env.dataFolder() + "/Marrowfen/Vantrell/journals");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_form->modes->setCurrentText("UPPER CASE");
        StartChanging(m_form->controls());
        QCOMPARE(m_boxes->shown.size(), 1);
        QCOMPARE(m_boxes->shown.first().icon, MessageBoxes::Icon::None);
        QVERIFY2(
            m_boxes->texts().first().contains("journal could not be written"), qPrintable(m_boxes->texts().first()));
        QVERIFY(m_boxes->texts().first().endsWith("Nothing was changed."));
        QCOMPARE(m_db->column("people", "name"), Before);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

    void noModeSaysMessUpThenDone()
    {
        m_form->modes->setEditable(true);
        m_form->modes->setEditText("Title Case");
        StartChanging(m_form->controls());
        QCOMPARE(m_boxes->texts(), (QStringList { "mess up", "Done." }));
        QCOMPARE(m_db->column("people", "name"), Before);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

    void failedConnectionEndsAfterOneReport()
    {
        m_form->login = TestDatabase::unreachable();
        m_form->bar->setValue(40);
        StartChanging(m_form->controls());
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
        m_db->exec("CREATE TRIGGER refuse BEFORE UPDATE ON people BEGIN SELECT RAISE(ABORT, 'no'); END");
        m_form->modes->setCurrentText("UPPER CASE");
        StartChanging(m_form->controls());
        QCOMPARE(m_boxes->shown.size(), 2);
        QVERIFY(m_boxes->shown[0].text.contains("at line 150"));
        QCOMPARE(
            m_boxes->shown[1].text, QStringLiteral("3 of 4 records could not be changed: 3 refused by the server."));
        QCOMPARE(m_form->refills, 1);
        QCOMPARE(rowTexts(m_form->preview), PreviewBefore);
    }

    void notTextFieldSaysWhy()
    {
        m_form->fields->setCurrentItem(m_form->fields->topLevelItem(2));
        StartChanging(m_form->controls());
        QCOMPARE(m_boxes->shown.size(), 1);
        QCOMPARE(m_boxes->shown.first().icon, MessageBoxes::Icon::None);
        QVERIFY(m_boxes->shown.first().text.contains("\"age\""));
        QCOMPARE(m_db->column("people", "age"), (QVariantList { "1", "2", "3", "4" }));
    }

    void secondPressDuringARunDoesNothing()
    {
        m_db->exec("CREATE TABLE changes (n INTEGER)");
        m_db->exec("CREATE TRIGGER counted AFTER UPDATE ON people BEGIN INSERT INTO changes VALUES (1); END");
        m_form->modes->setCurrentText("UPPER CASE");
        bool wasRunning = false;
        // Fires in the run's first yield: the user presses again and picks another field.
        QTimer::singleShot(0, this, [&] {
            wasRunning = isChangingCase();
            m_form->fields->setCurrentItem(m_form->fields->topLevelItem(1));
            StartChanging(m_form->controls());
        });
        StartChanging(m_form->controls());
        QVERIFY(wasRunning);
        QVERIFY(!isChangingCase());
        QCOMPARE(m_boxes->texts(), QStringList { "Done." });
        QCOMPARE(m_db->column("people", "name"), (QVariantList { "ANN SMITH", QVariant(), "O'NEIL", "A" }));
        QCOMPARE(m_db->query("SELECT count(*) FROM changes").value(0).toInt(), 3);
    }

    void closingTheProgramStopsTheRun()
    {
        m_form->modes->setCurrentText("UPPER CASE");
        // The user closes a window during the run's first yield.
        QTimer::singleShot(0, this, [] { ProgramEnd::request(); });
        StartChanging(m_form->controls());
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

QTEST_MAIN(BatchChangeHandlerTest)
#include "BatchChangeHandlerTest.moc"
