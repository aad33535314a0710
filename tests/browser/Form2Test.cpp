#include "app/ErrorReport.h"
#include "app/Settings.h"
#include "browser/Form2.h"
#include "connection/MSSQL.h"
#include "platform/BusyPointer.h"
#include "platform/ProgressBar.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

namespace {

QStringList rows(const QTreeWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

QString selectedText(const QTreeWidget *list)
{
    return list->currentItem() ? list->currentItem()->text(0) : QStringLiteral("<none>");
}

void selectRow(QTreeWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->setCurrentItem(found.first());
}

// Fills a table with the numbers 1..count as text.
void fillNumbers(TestDatabase &db, const QString &table, int count)
{
    if (count > 0)
        db.exec(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
                               "INSERT INTO \"%2\" (a) SELECT x FROM c")
                    .arg(count)
                    .arg(table));
}

// Counts the passes of the event loop: each pass delivers the one event posted
// in the pass before, and the handler posts the next.
class YieldCounter : public QObject {
public:
    YieldCounter()
    {
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        passes = 0;
    }
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++passes;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }
    int passes = 0;
};

} // namespace

// The change options window, offscreen, against the embedded engine.
class Form2Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsAsDesigned();
    void loadAddsColumnsAndModes();
    void rememberedMode_data();
    void rememberedMode();
    void choosingModeIsRemembered();
    void handCursor_data();
    void handCursor();
    void failingStepsReportTheirLines();

    void fills_data();
    void fills();
    void nullValuesShowEmpty();
    void oddNamesWork();
    void choosingFieldReplacesOnlyPreview();
    void emptyFieldListOpensNothing();
    void busyPointerWhileFilling();
    void yieldsOncePerRow();
    void failedQueryLeavesListsAndPointer_data();
    void failedQueryLeavesListsAndPointer();
    void newChoiceDuringFillWins();
    void clickAndKeyboardRunFills();

    void startChanging();
    void switchDatabase();
    void switchWithoutLoginWindowReports();
    void closingEndsProgram();

private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<RecordingMessageBoxes> boxes;
    std::unique_ptr<TestDatabase> db;
    LoginFields login;
    std::unique_ptr<Form2> form;

    void makeForm();
    void loadTables();
};

void Form2Test::init()
{
    env = std::make_unique<TestEnvironment>();
    boxes = std::make_unique<RecordingMessageBoxes>();
    db = std::make_unique<TestDatabase>();
    login = db->fields();
}

void Form2Test::cleanup()
{
    form.reset();
    db.reset();
    boxes.reset();
    env.reset();
    QVERIFY(!BusyPointer::isShowing());
}

void Form2Test::makeForm()
{
    form = std::make_unique<Form2>([this] { return login; });
    form->setEndProgram([] {});
    form->Form_Load();
}

void Form2Test::loadTables()
{
    MSSQL::ListTables(form->ListView1, login);
}

void Form2Test::controlsAsDesigned()
{
    Form2 window([] { return LoginFields(); });
    QCOMPARE(window.size(), QSize(512, 540));
    const struct {
        const char *name;
        QRect geometry;
    } expected[] = {
        {"ListView1", {8, 8, 496, 178}},    {"ListView2", {8, 192, 238, 178}},  {"ListView3", {256, 192, 248, 178}},
        {"Frame1", {8, 376, 496, 53}},      {"PushButton1", {8, 437, 496, 27}}, {"PushButton5", {8, 472, 496, 27}},
        {"ProgressBar1", {8, 508, 496, 27}},
    };
    for (const auto &control : expected) {
        auto *widget = window.findChild<QWidget *>(control.name);
        QVERIFY2(widget, control.name);
        QCOMPARE(widget->geometry(), control.geometry);
    }
    QCOMPARE(window.Combo1->parentWidget(), window.Frame1);
    QCOMPARE(window.Combo1->geometry().topLeft(), QPoint(16, 20));
    QCOMPARE(window.Combo1->width(), 465);
    QVERIFY(window.Combo1->geometry().bottom() < window.Frame1->height());
    QVERIFY(!window.Combo1->isEditable());
    QCOMPARE(window.Frame1->title(), QStringLiteral("Change Options"));
    QCOMPARE(window.PushButton1->text(), QStringLiteral("Start Changing"));
    QCOMPARE(window.PushButton5->text(), QStringLiteral("Switch SQL Server Database"));

    QCOMPARE(window.font().family(), QStringLiteral("Arial"));
    QCOMPARE(window.font().pointSizeF(), 9.0);
    QVERIFY(window.font().bold());
    for (QTreeWidget *list : {window.ListView1, window.ListView2, window.ListView3}) {
        QCOMPARE(list->toolTip(), QStringLiteral("Move | line to right and out of window to reveal full names."));
        QCOMPARE(list->font().family(), QStringLiteral("Arial"));
        QVERIFY(list->font().bold());
        QVERIFY(!list->rootIsDecorated());
        QVERIFY(!list->isSortingEnabled());
        QVERIFY(!list->isHeaderHidden());
    }
    for (QPushButton *button : {window.PushButton1, window.PushButton5}) {
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
    }
    // Tab order: the lists, the mode box, the buttons.
    const QList<QWidget *> controls{window.ListView1, window.ListView2, window.ListView3,
                                    window.Combo1,    window.PushButton1, window.PushButton5};
    QList<QWidget *> chain;
    QWidget *w = window.ListView1;
    do {
        if (controls.contains(w) && !chain.contains(w))
            chain << w;
        w = w->nextInFocusChain();
    } while (w != window.ListView1);
    QCOMPARE(chain, controls);
}

void Form2Test::loadAddsColumnsAndModes()
{
    makeForm();
    QVERIFY(boxes->shown.isEmpty());
    QCOMPARE(form->windowTitle(), QStringLiteral("Vantrell"));
    QVERIFY(!form->windowIcon().isNull());
    const struct {
        QTreeWidget *list;
        QString header;
        int width;
    } columns[] = {
        {form->ListView1, "Table(s)", 400},
        {form->ListView2, "Field(s)", 200},
        {form->ListView3, "First 100 Entries (Preview)", 200},
    };
    for (const auto &c : columns) {
        QCOMPARE(c.list->columnCount(), 1);
        QCOMPARE(c.list->headerItem()->text(0), c.header);
        QCOMPARE(c.list->columnWidth(0), c.width);
    }
    QStringList items;
    for (int i = 0; i < form->Combo1->count(); ++i)
        items << form->Combo1->itemText(i);
    QCOMPARE(items, QStringList({"UPPER CASE", "lower case", "Proper Case", "Sentence case"}));
    // The window's background is the button face.
    QCOMPARE(form->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QCOMPARE(form->Frame1->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QVERIFY(form->Frame1->autoFillBackground());
}

void Form2Test::rememberedMode_data()
{
    QTest::addColumn<QVariant>("stored"); // an invalid QVariant: never written
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("reported");
    QTest::newRow("first start") << QVariant() << 0 << false;
    QTest::newRow("sentence case") << QVariant("3") << 3 << false;
    QTest::newRow("lower case") << QVariant("1") << 1 << false;
    QTest::newRow("no mode") << QVariant("-1") << -1 << false;
    QTest::newRow("not a number") << QVariant("x") << -1 << true;
    QTest::newRow("empty") << QVariant("") << -1 << true;
    QTest::newRow("past the last") << QVariant("4") << -1 << true;
    QTest::newRow("below no mode") << QVariant("-2") << -1 << true;
    QTest::newRow("beyond 16 bits") << QVariant("65536") << -1 << true;
    QTest::newRow("fraction") << QVariant("1.5") << -1 << true;
}

void Form2Test::rememberedMode()
{
    QFETCH(QVariant, stored);
    QFETCH(int, index);
    QFETCH(bool, reported);
    if (stored.isValid())
        Settings::write(Settings::Combo1, stored.toString());
    makeForm();
    QCOMPARE(form->Combo1->currentIndex(), index);
    if (reported) {
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY2(boxes->shown[0].text.contains(ErrorReport::Form2_Form_Load + "at line 120\r\r"),
                 qPrintable(boxes->shown[0].text));
    } else {
        QCOMPARE(boxes->shown.size(), 0);
    }
    // The load goes on after line 120 and writes nothing back.
    QCOMPARE(form->ListView3->headerItem()->text(0), QStringLiteral("First 100 Entries (Preview)"));
    QCOMPARE(Settings::read(Settings::Combo1, "unset"), stored.isValid() ? stored.toString() : QString("unset"));
}

void Form2Test::choosingModeIsRemembered()
{
    makeForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->Combo1->setFocus();
    QTest::keyClick(form->Combo1, Qt::Key_Down);
    QCOMPARE(form->Combo1->currentIndex(), 1);
    QCOMPARE(Settings::read(Settings::Combo1), QStringLiteral("1"));
    form->Combo1->setCurrentIndex(3);
    QCOMPARE(Settings::read(Settings::Combo1), QStringLiteral("3"));

    // The next start shows the same mode.
    form.reset();
    makeForm();
    QCOMPARE(form->Combo1->currentText(), QStringLiteral("Sentence case"));
}

void Form2Test::handCursor_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file
    QTest::addColumn<bool>("hand");
    QTest::addColumn<int>("reportedLine");
    QFile shipped(QStringLiteral(VANTRELL_RESOURCES "/HAND-M.CUR"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QTest::newRow("shipped cursor") << shipped.readAll() << true << 0;
    QTest::newRow("missing") << QByteArray() << false << 0;
    QTest::newRow("not a cursor") << QByteArray("not a cursor at all, just text") << false << 108;
}

void Form2Test::handCursor()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, hand);
    QFETCH(int, reportedLine);
    if (!file.isEmpty())
        env->putBesideProgram("HAND-M.CUR", file);
    makeForm();
    if (reportedLine) {
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY(boxes->shown[0].text.contains(ErrorReport::Form2_Form_Load + "at line 108\r\r"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrell")); // the load went on
    } else {
        QCOMPARE(boxes->shown.size(), 0);
    }
    QCOMPARE(form->handCursor().has_value(), hand);
    for (QPushButton *button : {form->PushButton1, form->PushButton5}) {
        if (hand) {
            QCOMPARE(button->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(button->cursor().hotSpot(), QPoint(8, 0));
            QCOMPARE(button->cursor().pixmap().size(), QSize(32, 32));
        } else {
            QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
        }
    }
    // The window, the frame and the lists keep the default pointer.
    for (QWidget *w : {static_cast<QWidget *>(form.get()), static_cast<QWidget *>(form->Frame1),
                       static_cast<QWidget *>(form->ListView1->viewport())})
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
}

void Form2Test::failingStepsReportTheirLines()
{
    env->putBesideProgram("HAND-M.CUR", QByteArray(64, 'x'));
    Settings::write(Settings::Combo1, "9");
    makeForm();
    QCOMPARE(boxes->shown.size(), 2);
    QVERIFY(boxes->shown[0].text.contains(ErrorReport::Form2_Form_Load + "at line 108\r\r"));
    QVERIFY(boxes->shown[1].text.contains(ErrorReport::Form2_Form_Load + "at line 120\r\r"));
    QCOMPARE(boxes->shown[1].title, QStringLiteral("Application Error"));
    QCOMPARE(form->ListView1->headerItem()->text(0), QStringLiteral("Table(s)"));
}

void Form2Test::fills_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("shown");
    QTest::newRow("no rows") << 0 << 0;
    QTest::newRow("3 rows") << 3 << 3;
    QTest::newRow("101 rows") << 101 << 101;
    QTest::newRow("250 rows") << 250 << 101;
}

void Form2Test::fills()
{
    QFETCH(int, count);
    QFETCH(int, shown);
    db->exec("CREATE TABLE numbers (a TEXT, \"second field\" TEXT, c INTEGER)");
    fillNumbers(*db, "numbers", count);
    makeForm();
    loadTables();
    QCOMPARE(rows(form->ListView1), QStringList({"numbers"}));
    form->ListView1_Click();
    QVERIFY2(boxes->shown.isEmpty(), qPrintable(boxes->texts().join('\n')));
    QCOMPARE(rows(form->ListView2), QStringList({"a", "second field", "c"}));
    QCOMPARE(selectedText(form->ListView2), QStringLiteral("a"));
    QStringList expected;
    for (int i = 1; i <= shown; ++i)
        expected << QString::number(i);
    QCOMPARE(rows(form->ListView3), expected);
    if (shown)
        QCOMPARE(form->ListView3->currentItem(), form->ListView3->topLevelItem(0));
    QVERIFY(!BusyPointer::isShowing());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void Form2Test::nullValuesShowEmpty()
{
    db->exec("CREATE TABLE n (a TEXT)");
    db->exec("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 120) "
             "INSERT INTO n (a) SELECT NULL FROM c");
    db->exec("UPDATE n SET a = '' WHERE rowid = 2"); // empty text is not Null, and shows alike
    makeForm();
    loadTables();
    form->ListView1_Click();
    QCOMPARE(rows(form->ListView3), QStringList(101, QString()));
}

void Form2Test::oddNamesWork()
{
    db->exec("CREATE TABLE \"odd] table [x]\" (\"select\" TEXT, \"a]] b\" TEXT, \"quote\"\"d\" TEXT)");
    db->exec("INSERT INTO \"odd] table [x]\" VALUES ('r1', 'v1', 'q1'), ('r2', 'v2', 'q2')");
    makeForm();
    loadTables();
    form->ListView1_Click();
    QVERIFY2(boxes->shown.isEmpty(), qPrintable(boxes->texts().join('\n')));
    QCOMPARE(rows(form->ListView2), QStringList({"select", "a]] b", "quote\"d"}));
    QCOMPARE(rows(form->ListView3), QStringList({"r1", "r2"}));
    selectRow(form->ListView2, "a]] b");
    form->ListView2_Click();
    QCOMPARE(rows(form->ListView3), QStringList({"v1", "v2"}));
    selectRow(form->ListView2, "quote\"d");
    form->ListView2_Click();
    QCOMPARE(rows(form->ListView3), QStringList({"q1", "q2"}));
    QVERIFY(boxes->shown.isEmpty());
}

void Form2Test::choosingFieldReplacesOnlyPreview()
{
    db->exec("CREATE TABLE first (a TEXT, b TEXT)");
    db->exec("CREATE TABLE second (z TEXT)");
    db->exec("INSERT INTO first VALUES ('a1', 'b1'), ('a2', 'b2')");
    makeForm();
    loadTables();
    form->ListView1_Click();
    selectRow(form->ListView2, "b");
    form->ListView2_Click();
    QCOMPARE(rows(form->ListView1), QStringList({"first", "second"}));
    QCOMPARE(selectedText(form->ListView1), QStringLiteral("first"));
    QCOMPARE(rows(form->ListView2), QStringList({"a", "b"}));
    QCOMPARE(selectedText(form->ListView2), QStringLiteral("b"));
    QCOMPARE(rows(form->ListView3), QStringList({"b1", "b2"}));

    // Another table replaces both lists and starts again at its first field.
    selectRow(form->ListView1, "second");
    form->ListView1_Click();
    QCOMPARE(rows(form->ListView2), QStringList({"z"}));
    QCOMPARE(rows(form->ListView3), QStringList());
}

void Form2Test::emptyFieldListOpensNothing()
{
    makeForm();
    new QTreeWidgetItem(form->ListView3, {"kept"});
    login = TestDatabase::unreachable(); // any open would fail and report
    form->ListView2_Click();
    QVERIFY(boxes->shown.isEmpty());
    QCOMPARE(rows(form->ListView3), QStringList({"kept"}));
}

void Form2Test::busyPointerWhileFilling()
{
    db->exec("CREATE TABLE t (a TEXT, b TEXT)");
    fillNumbers(*db, "t", 5);
    makeForm();
    loadTables();
    QList<bool> busyAtYield;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        busyAtYield << (BusyPointer::isShowing() && QGuiApplication::overrideCursor()
                        && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
    });
    probe.start(0);
    form->ListView1_Click();
    probe.stop();
    QVERIFY(!busyAtYield.isEmpty());
    QVERIFY(!busyAtYield.contains(false));
    QVERIFY(!QGuiApplication::overrideCursor());
}

void Form2Test::yieldsOncePerRow()
{
    db->exec("CREATE TABLE t (a TEXT, b TEXT, c TEXT)");
    fillNumbers(*db, "t", 4);
    makeForm();
    loadTables();
    YieldCounter counter;
    form->ListView1_Click();
    // Three fields, then the preview: once before its rows and once per row.
    QCOMPARE(counter.passes, 3 + 1 + 4);
}

void Form2Test::failedQueryLeavesListsAndPointer_data()
{
    QTest::addColumn<bool>("fieldList"); // else the preview
    QTest::addColumn<bool>("cannotOpen"); // else the statement fails
    QTest::addColumn<QString>("location");
    QTest::addColumn<int>("line");
    QTest::newRow("field list, open fails") << true << true << ErrorReport::Form2_ListView1_Click << 100;
    QTest::newRow("field list, table gone") << true << false << ErrorReport::Form2_ListView1_Click << 104;
    QTest::newRow("preview, open fails") << false << true << ErrorReport::Form2_ListView2_Click << 100;
    QTest::newRow("preview, table gone") << false << false << ErrorReport::Form2_ListView2_Click << 104;
}

void Form2Test::failedQueryLeavesListsAndPointer()
{
    QFETCH(bool, fieldList);
    QFETCH(bool, cannotOpen);
    QFETCH(QString, location);
    QFETCH(int, line);
    db->exec("CREATE TABLE t (a TEXT, b TEXT)");
    db->exec("INSERT INTO t VALUES ('one', 'two')");
    makeForm();
    loadTables();
    form->ListView1_Click();
    const QStringList fieldsBefore = rows(form->ListView2);
    const QStringList previewBefore = rows(form->ListView3);
    QCOMPARE(previewBefore, QStringList({"one"}));

    if (cannotOpen)
        login = TestDatabase::unreachable();
    else
        db->exec("DROP TABLE t");
    if (fieldList)
        form->ListView1_Click();
    else
        form->ListView2_Click();

    QCOMPARE(boxes->shown.size(), 1);
    QCOMPARE(boxes->shown[0].title, QStringLiteral("Application Error"));
    QVERIFY2(boxes->shown[0].text.contains("\r\n" + location + "at line " + QString::number(line) + "\r\r"),
             qPrintable(boxes->shown[0].text));
    QCOMPARE(rows(form->ListView1), QStringList({"t"}));
    QCOMPARE(rows(form->ListView2), fieldsBefore);
    QCOMPARE(rows(form->ListView3), previewBefore);
    QVERIFY(!BusyPointer::isShowing());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void Form2Test::newChoiceDuringFillWins()
{
    // A table chosen while the fill of another still yields: the lists end up
    // with the later table alone, never a mix of both.
    db->exec("CREATE TABLE wide (a1 TEXT, a2 TEXT, a3 TEXT, a4 TEXT, a5 TEXT, a6 TEXT)");
    db->exec("CREATE TABLE narrow (z TEXT)");
    db->exec("INSERT INTO narrow VALUES ('zz')");
    makeForm();
    loadTables();
    bool chosen = false;
    QTimer::singleShot(0, this, [&] {
        chosen = true;
        selectRow(form->ListView1, "narrow");
        form->ListView1_Click();
    });
    selectRow(form->ListView1, "wide");
    form->ListView1_Click();
    QVERIFY(chosen);
    QCOMPARE(rows(form->ListView2), QStringList({"z"}));
    QCOMPARE(rows(form->ListView3), QStringList({"zz"}));
    QVERIFY(!BusyPointer::isShowing());
}

void Form2Test::clickAndKeyboardRunFills()
{
    db->exec("CREATE TABLE first (a TEXT)");
    db->exec("CREATE TABLE second (b TEXT, c TEXT)");
    db->exec("INSERT INTO second VALUES ('b1', 'c1')");
    makeForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    loadTables();
    QVERIFY(form->ListView2->topLevelItemCount() == 0); // filling the table list chooses nothing

    QTreeWidget *tables = form->ListView1;
    const QRect second = tables->visualItemRect(tables->topLevelItem(1));
    QTest::mouseClick(tables->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(rows(form->ListView2), QStringList({"b", "c"}));
    QCOMPARE(rows(form->ListView3), QStringList({"b1"}));

    QTreeWidget *fields = form->ListView2;
    fields->setFocus();
    QTest::keyClick(fields, Qt::Key_Down);
    QCOMPARE(selectedText(fields), QStringLiteral("c"));
    QCOMPARE(rows(form->ListView3), QStringList({"c1"}));

    tables->setFocus();
    QTest::keyClick(tables, Qt::Key_Up);
    QCOMPARE(rows(form->ListView2), QStringList({"a"}));
    QVERIFY(boxes->shown.isEmpty());
}

void Form2Test::startChanging()
{
    makeForm();
    form->PushButton1_Click();
    QCOMPARE(boxes->texts(), QStringList({"Please select a field."}));
    boxes->shown.clear();

    db->exec("CREATE TABLE people (name TEXT)");
    db->exec("INSERT INTO people VALUES ('ada lovelace'), ('alan turing'), (NULL)");
    loadTables();
    form->ListView1_Click();
    form->Combo1->setCurrentIndex(0);
    QList<bool> listsEnabledAtYield;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] { listsEnabledAtYield << form->ListView1->isEnabled(); });
    probe.start(0);
    QTest::mouseClick(form->PushButton1, Qt::LeftButton);
    probe.stop();
    QCOMPARE(boxes->texts().last(), QStringLiteral("Done."));
    QCOMPARE(db->column("people", "name"), QVariantList({"ADA LOVELACE", "ALAN TURING", QVariant()}));
    QCOMPARE(rows(form->ListView3), QStringList({"ADA LOVELACE", "ALAN TURING", ""}));
    QVERIFY(!listsEnabledAtYield.isEmpty());
    QVERIFY(!listsEnabledAtYield.contains(true));
    QVERIFY(form->ListView1->isEnabled() && form->ListView2->isEnabled() && form->ListView3->isEnabled());
}

void Form2Test::switchDatabase()
{
    makeForm();
    form->show();
    int shown = 0;
    form->setShowLoginWindow([&] { ++shown; });
    new QTreeWidgetItem(form->ListView3, {"kept"});
    QTest::mouseClick(form->PushButton5, Qt::LeftButton);
    QCOMPARE(shown, 1);
    QVERIFY(form->isHidden());
    QCOMPARE(rows(form->ListView3), QStringList({"kept"}));
    QVERIFY(boxes->shown.isEmpty());
}

void Form2Test::switchWithoutLoginWindowReports()
{
    makeForm();
    form->PushButton5_Click();
    QCOMPARE(boxes->shown.size(), 1);
    QVERIFY(boxes->shown[0].text.contains(ErrorReport::Form2_PushButton5_Click + "at line 100\r\r"));
}

void Form2Test::closingEndsProgram()
{
    makeForm();
    int ended = 0;
    form->setEndProgram([&] { ++ended; });
    form->show();
    QVERIFY(form->close());
    QCOMPARE(ended, 1);
    QVERIFY(boxes->shown.isEmpty());
}

QTEST_MAIN(Form2Test)
#include "Form2Test.moc"
