#include "changeoptions/ChangeOptionsWindow.h"
#include "casing/SavedWordRules.h"
#include "changeoptions/ChangePreviewWindow.h"
#include "changeoptions/HistoryWindow.h"
#include "changeoptions/RunInWindow.h"
#include "changeoptions/TableListRows.h"
#include "changeoptions/WordRulesWindow.h"
#include "common/Settings.h"
#include "platform/BusyPointer.h"
#include "platform/ProgressBar.h"
#include "platform/odbc/Counters.h"
#include "support/LayoutCheck.h"
#include "support/ListRows.h"
#include "support/TestDatabase.h"
#include "support/WindowSandbox.h"
#include "support/YieldCounter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <optional>

// The change options window, offscreen, against the embedded engine.
class ChangeOptionsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        sandbox.emplace();
        boxes = &sandbox->boxes;
        db = std::make_unique<TestDatabase>();
        login = db->fields();
    }

    void cleanup()
    {
        form.reset();
        db.reset();
        QVERIFY(!BusyPointer::isShowing());
        sandbox.reset();
    }

    void layoutAsDesigned()
    {
        makeForm();
        QVERIFY(boxes->shown.isEmpty());
        // Designed in twips at 15 to the pixel.
        QCOMPARE(form->size(), QSize(512, 540));
        // Nothing reaches out of its frame, overlaps another control or is cut.
        const QStringList problems = layoutProblems(form.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QCOMPARE(form->modeBox->parentWidget(), form->optionsFrame);
        QVERIFY(!form->modeBox->isEditable());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(form->windowTitle(), QStringLiteral("Vantrell"));
        QCOMPARE(QStringList({ form->optionsFrame->title(), form->startChangingButton->text(),
                     form->switchDatabaseButton->text() }),
            QStringList({ "Change Options", "Start Changing", "Switch SQL Server Database" }));
        QStringList headers;
        for (QTreeWidget *list : { form->tableList, form->fieldList, form->previewList }) {
            headers << list->headerItem()->text(0);
            QCOMPARE(list->columnCount(), 1);
            QCOMPARE(list->toolTip(), QStringLiteral("Move | line to right and out of window to reveal full names."));
            QVERIFY(!list->rootIsDecorated());
            QVERIFY(!list->isSortingEnabled());
        }
        QCOMPARE(headers, QStringList({ "Table(s)", "Field(s)", "First 100 Entries (Preview)" }));
        QCOMPARE(form->tableList->columnWidth(0), 400);
        QStringList modes;
        for (int i = 0; i < form->modeBox->count(); ++i)
            modes << form->modeBox->itemText(i);
        QCOMPARE(modes, QStringList({ "UPPER CASE", "lower case", "Proper Case", "Sentence case" }));
        QCOMPARE(form->font().family(), QStringLiteral("Arial"));
        QCOMPARE(form->font().pointSizeF(), 9.0);
        QVERIFY(form->font().bold());
        QCOMPARE(form->startChangingButton->font().pointSizeF(), 11.25);
        // The window's background is the button face.
        QCOMPARE(form->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));

        // Tab order: the lists, the mode box, the buttons.
        const QList<QWidget *> controls { form->tableList, form->fieldList, form->previewList, form->modeBox,
            form->startChangingButton, form->switchDatabaseButton };
        QList<QWidget *> chain;
        QWidget *w = form->tableList;
        do {
            if (controls.contains(w) && !chain.contains(w))
                chain << w;
            w = w->nextInFocusChain();
        } while (w != form->tableList);
        QCOMPARE(chain, controls);
    }

    void rememberedMode_data()
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

    void rememberedMode()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, reported);
        if (stored.isValid())
            Settings::write(Settings::ModeKey, stored.toString());
        makeForm();
        QTEST(form->modeBox->currentIndex(), "index");
        if (reported) {
            QCOMPARE(boxes->shown.size(), 1);
            QVERIFY2(boxes->shown[0].text.contains("in Quorvel2021/08/31.Form2.Form_Load at line 120\r\r"),
                qPrintable(boxes->shown[0].text));
        } else {
            QCOMPARE(boxes->shown.size(), 0);
        }
        // The load goes on after line 120 and writes nothing back.
        QCOMPARE(form->previewList->headerItem()->text(0), QStringLiteral("First 100 Entries (Preview)"));
        QCOMPARE(Settings::read(Settings::ModeKey, "unset"), stored.isValid() ? stored.toString() : QString("unset"));
    }

    void buttonsTakeTheHandCursorOfAGoodFile_data()
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

    void buttonsTakeTheHandCursorOfAGoodFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, hand);
        QFETCH(int, reportedLine);
        if (!file.isEmpty())
            sandbox->env.putBesideProgram("HAND-M.CUR", file);
        makeForm();
        if (reportedLine) {
            QCOMPARE(boxes->shown.size(), 1);
            QVERIFY(boxes->shown[0].text.contains("in Quorvel2021/08/31.Form2.Form_Load at line 108\r\r"));
            QCOMPARE(form->windowTitle(), QStringLiteral("Vantrell")); // the load went on
        } else {
            QCOMPARE(boxes->shown.size(), 0);
        }
        QCOMPARE(form->handCursor().has_value(), hand);
        for (QPushButton *button : { form->startChangingButton, form->switchDatabaseButton }) {
            if (hand) {
                QCOMPARE(button->cursor().shape(), Qt::BitmapCursor);
                QCOMPARE(button->cursor().hotSpot(), QPoint(8, 0));
                QCOMPARE(button->cursor().pixmap().size(), QSize(32, 32));
            } else {
                QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
            }
        }
        // The window, the frame and the lists keep the default pointer.
        for (QWidget *w : { static_cast<QWidget *>(form.get()), static_cast<QWidget *>(form->optionsFrame),
                 static_cast<QWidget *>(form->tableList->viewport()) })
            QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    }

    void previewShowsAtMost101Rows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("shown");
        QTest::newRow("no rows") << 0 << 0;
        QTest::newRow("3 rows") << 3 << 3;
        QTest::newRow("101 rows") << 101 << 101;
        QTest::newRow("250 rows") << 250 << 101;
    }

    void previewShowsAtMost101Rows()
    {
        QFETCH(int, count);
        QFETCH(int, shown);
        db->exec("CREATE TABLE numbers (a TEXT, \"second field\" TEXT, c INTEGER)");
        db->insert("numbers", "a", TestDatabase::numbers(count));
        makeFormWithTables();
        QCOMPARE(rowTexts(form->tableList), QStringList({ "numbers" }));
        form->tableChosen();
        QVERIFY2(boxes->shown.isEmpty(), qPrintable(boxes->texts().join('\n')));
        QCOMPARE(rowTexts(form->fieldList), QStringList({ "a", "second field", "c" }));
        QCOMPARE(currentRowText(form->fieldList), QStringLiteral("a"));
        QStringList expected;
        for (int i = 1; i <= shown; ++i)
            expected << QString::number(i);
        QCOMPARE(rowTexts(form->previewList), expected);
        if (shown)
            QCOMPARE(form->previewList->currentItem(), form->previewList->topLevelItem(0));
    }

    void nullValuesShowEmpty()
    {
        QVariantList values(120);
        values[1] = QString(""); // empty text is not Null, and shows alike
        db->table("n", "a TEXT", "a", values);
        makeFormWithTables();
        form->tableChosen();
        QCOMPARE(rowTexts(form->previewList), QStringList(101, QString()));
    }

    void oddNamesWork()
    {
        db->exec("CREATE TABLE \"odd] table [x]\" (\"select\" TEXT, \"a]] b\" TEXT, \"quote\"\"d\" TEXT)");
        db->exec("INSERT INTO \"odd] table [x]\" VALUES ('r1', 'v1', 'q1'), ('r2', 'v2', 'q2')");
        makeFormWithTables();
        form->tableChosen();
        QVERIFY2(boxes->shown.isEmpty(), qPrintable(boxes->texts().join('\n')));
        QCOMPARE(rowTexts(form->fieldList), QStringList({ "select", "a]] b", "quote\"d" }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "r1", "r2" }));
        QVERIFY(selectRow(form->fieldList, "a]] b"));
        form->fieldChosen();
        QCOMPARE(rowTexts(form->previewList), QStringList({ "v1", "v2" }));
        QVERIFY(selectRow(form->fieldList, "quote\"d"));
        form->fieldChosen();
        QCOMPARE(rowTexts(form->previewList), QStringList({ "q1", "q2" }));
        QVERIFY(boxes->shown.isEmpty());
    }

    void tableRowsNameTheirSchema_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<bool>("found");
        QTest::newRow("the database's own schema") << "main" << true;
        QTest::newRow("a schema that is not there") << "nowhere" << false;
    }

    void tableRowsNameTheirSchema()
    {
        // The row shows "schema.t": its text names no table, the schema kept beside it does.
        QFETCH(QString, schema);
        QFETCH(bool, found);
        db->table("t", "a TEXT, b TEXT", "a", { "one", "two" });
        makeForm();
        TableListRows::addRow(form->tableList, { schema, "t" }, QString());
        QCOMPARE(rowTexts(form->tableList), QStringList { schema + ".t" });
        form->tableChosen();
        if (!found) {
            QCOMPARE(boxes->shown.size(), 1);
            QVERIFY2(boxes->shown[0].text.contains("nowhere") && boxes->shown[0].text.contains("at line 104"),
                qPrintable(boxes->shown[0].text));
            return;
        }
        QVERIFY2(boxes->shown.isEmpty(), qPrintable(boxes->texts().join('\n')));
        QCOMPARE(rowTexts(form->fieldList), QStringList({ "a", "b" }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "one", "two" }));
        form->startChanging(); // the remembered mode: UPPER CASE
        QCOMPARE(boxes->texts(), QStringList { "Done." });
        QCOMPARE(db->column("t", "a"), (QVariantList { "ONE", "TWO" }));
    }

    void emptyFieldListOpensNothing()
    {
        makeForm();
        new QTreeWidgetItem(form->previewList, { "kept" });
        login = TestDatabase::unreachable(); // any open would fail and report
        form->fieldChosen();
        QVERIFY(boxes->shown.isEmpty());
        QCOMPARE(rowTexts(form->previewList), QStringList({ "kept" }));
    }

    void fillYieldsOncePerRowUnderBusyPointer()
    {
        db->table("t", "a TEXT, b TEXT, c TEXT", "a", TestDatabase::numbers(4));
        makeFormWithTables();
        QList<bool> busyAtYield;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            busyAtYield << (BusyPointer::isShowing() && QGuiApplication::overrideCursor()
                && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
        });
        YieldCounter counter;
        probe.start(0);
        form->tableChosen();
        probe.stop();
        // Three fields, then the preview: once before its rows and once per row.
        QCOMPARE(counter.passes, 3 + 1 + 4);
        QVERIFY(!busyAtYield.isEmpty());
        QVERIFY(!busyAtYield.contains(false));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void failedQueryLeavesListsAndPointer_data()
    {
        QTest::addColumn<bool>("fieldList"); // else the preview
        QTest::addColumn<bool>("cannotOpen"); // else the statement fails
        QTest::addColumn<QString>("location");
        QTest::addColumn<int>("line");
        QTest::newRow("field list, open fails") << true << true << "in Quorvel2021/08/31.Form2.ListView1_Click " << 100;
        QTest::newRow("field list, table gone")
            << true << false << "in Quorvel2021/08/31.Form2.ListView1_Click " << 104;
        QTest::newRow("preview, open fails") << false << true << "in Quorvel2021/08/31.Form2.ListView2_Click " << 100;
        QTest::newRow("preview, table gone") << false << false << "in Quorvel2021/08/31.Form2.ListView2_Click " << 104;
    }

    void failedQueryLeavesListsAndPointer()
    {
        QFETCH(bool, fieldList);
        QFETCH(bool, cannotOpen);
        QFETCH(QString, location);
        QFETCH(int, line);
        db->exec("CREATE TABLE t (a TEXT, b TEXT)");
        db->exec("INSERT INTO t VALUES ('one', 'two')");
        makeFormWithTables();
        form->tableChosen();
        const QStringList fieldsBefore = rowTexts(form->fieldList);
        const QStringList previewBefore = rowTexts(form->previewList);
        QCOMPARE(previewBefore, QStringList({ "one" }));

        if (cannotOpen)
            login = TestDatabase::unreachable();
        else
            db->exec("DROP TABLE t");
        if (fieldList)
            form->tableChosen();
        else
            form->fieldChosen();

        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(boxes->shown[0].title, QStringLiteral("Application Error"));
        QVERIFY2(boxes->shown[0].text.contains("\r\n" + location + "at line " + QString::number(line) + "\r\r"),
            qPrintable(boxes->shown[0].text));
        QCOMPARE(rowTexts(form->tableList), QStringList({ "t" }));
        QCOMPARE(rowTexts(form->fieldList), fieldsBefore);
        QCOMPARE(rowTexts(form->previewList), previewBefore);
        QVERIFY(!BusyPointer::isShowing());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void failedFieldListOfAnotherTableEmptiesLists()
    {
        // The fields of the table chosen before are never offered for another one.
        db->exec("CREATE TABLE t (a TEXT)");
        db->exec("INSERT INTO t VALUES ('one')");
        db->exec("CREATE TABLE u (a TEXT)");
        makeFormWithTables();
        form->tableChosen();
        QCOMPARE(rowTexts(form->fieldList), QStringList({ "a" }));
        db->exec("DROP TABLE u");
        QVERIFY(selectRow(form->tableList, "u"));
        form->tableChosen();
        QCOMPARE(boxes->shown.size(), 1);
        QCOMPARE(form->fieldList->topLevelItemCount(), 0);
        QCOMPARE(form->previewList->topLevelItemCount(), 0);
    }

    void newChoiceDuringFillWins()
    {
        // A table chosen while the fill of another still yields: the lists end up
        // with the later table alone, never a mix of both.
        db->exec("CREATE TABLE wide (a1 TEXT, a2 TEXT, a3 TEXT, a4 TEXT, a5 TEXT, a6 TEXT)");
        db->exec("CREATE TABLE narrow (z TEXT)");
        db->exec("INSERT INTO narrow VALUES ('zz')");
        makeFormWithTables();
        bool chosen = false;
        QTimer::singleShot(0, this, [&] {
            chosen = true;
            QVERIFY(selectRow(form->tableList, "narrow"));
            form->tableChosen();
        });
        QVERIFY(selectRow(form->tableList, "wide"));
        form->tableChosen();
        QVERIFY(chosen);
        QCOMPARE(rowTexts(form->fieldList), QStringList({ "z" }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "zz" }));
        QVERIFY(!BusyPointer::isShowing());

        // Chosen while the preview of the other fills: the preview holds the
        // later table's values alone.
        for (int i = 0; i < 50; ++i)
            db->exec(QStringLiteral("INSERT INTO wide (a1) VALUES ('w%1')").arg(i));
        QVERIFY(selectRow(form->tableList, "narrow"));
        form->tableChosen();
        chosen = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (!chosen && form->previewList->topLevelItemCount() > 0
                && form->previewList->topLevelItem(0)->text(0) == "w0") {
                chosen = true;
                QVERIFY(selectRow(form->tableList, "narrow"));
                form->tableChosen();
            }
        });
        probe.start(0);
        QVERIFY(selectRow(form->tableList, "wide"));
        form->tableChosen();
        probe.stop();
        QVERIFY(chosen);
        QCOMPARE(rowTexts(form->fieldList), QStringList({ "z" }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "zz" }));
    }

    void clickAndKeyboardRunFills()
    {
        db->exec("CREATE TABLE first (a TEXT)");
        db->exec("CREATE TABLE second (b TEXT, c TEXT)");
        db->exec("INSERT INTO second VALUES ('b1', 'c1')");
        makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        TableListRows::fill(form->tableList, login);
        QCOMPARE(form->fieldList->topLevelItemCount(), 0); // filling the table list chooses nothing

        QVERIFY(clickRow(form->tableList, "second"));
        QCOMPARE(rowTexts(form->fieldList), QStringList({ "b", "c" }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "b1" }));
        // A click that moves the selection fills each list once: it sends what
        // one choice of the table sends.
        const auto statementsOf = [](const std::function<void()> &step) {
            const std::uint64_t before = odbc::counters().statements;
            step();
            return odbc::counters().statements - before;
        };
        QVERIFY(selectRow(form->tableList, "first"));
        const std::uint64_t chosenOnce = statementsOf([&] {
            QVERIFY(selectRow(form->tableList, "second"));
            form->tableChosen();
        });
        QVERIFY(chosenOnce > 0);
        QVERIFY(clickRow(form->tableList, "first"));
        QCOMPARE(statementsOf([&] { QVERIFY(clickRow(form->tableList, "second")); }), chosenOnce);

        // Another field replaces the preview only.
        QTreeWidget *fields = form->fieldList;
        fields->setFocus();
        QTest::keyClick(fields, Qt::Key_Down);
        QCOMPARE(currentRowText(fields), QStringLiteral("c"));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "c1" }));
        QCOMPARE(rowTexts(fields), QStringList({ "b", "c" }));
        QCOMPARE(currentRowText(form->tableList), QStringLiteral("second"));

        // Another table replaces both lists and starts again at its first field.
        form->tableList->setFocus();
        QTest::keyClick(form->tableList, Qt::Key_Up);
        QCOMPARE(rowTexts(form->tableList), QStringList({ "first", "second" }));
        QCOMPARE(rowTexts(fields), QStringList({ "a" }));
        QCOMPARE(currentRowText(fields), QStringLiteral("a"));
        QCOMPARE(rowTexts(form->previewList), QStringList());

        // A press on one row dragged to another, and a right click, move the
        // selection too: the lists below follow the row the selection ends on.
        const QPoint onFirst = form->tableList->visualItemRect(form->tableList->topLevelItem(0)).center();
        const QPoint onSecond = form->tableList->visualItemRect(form->tableList->topLevelItem(1)).center();
        QWidget *tablesArea = form->tableList->viewport();
        QTest::mousePress(tablesArea, Qt::LeftButton, {}, onFirst);
        QMouseEvent drag(QEvent::MouseMove, onSecond, tablesArea->mapToGlobal(onSecond), Qt::NoButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(tablesArea, &drag);
        QTest::mouseRelease(tablesArea, Qt::LeftButton, {}, onSecond);
        QCOMPARE(currentRowText(form->tableList), QStringLiteral("second"));
        QCOMPARE(rowTexts(fields), QStringList({ "b", "c" }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "b1" }));
        QTest::mouseClick(
            fields->viewport(), Qt::RightButton, {}, fields->visualItemRect(fields->topLevelItem(1)).center());
        QCOMPARE(currentRowText(fields), QStringLiteral("c"));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "c1" }));
        QTest::mouseClick(tablesArea, Qt::RightButton, {}, onFirst);
        QCOMPARE(rowTexts(fields), QStringList({ "a" }));
        QVERIFY(boxes->shown.isEmpty());
    }

    // The journal in the window: Ctrl+Z undoes the newest run of the selected
    // field after a question, Ctrl+H lists the runs, Ctrl+D looks before a change.
    void undoHistoryAndPreviewFromTheKeyboard()
    {
        showPeopleNames("('ada lovelace'), ('alan turing'), (NULL)");
        QVERIFY(!QTest::currentTestFailed());
        form->modeBox->setCurrentIndex(2);
        // Keys go where the focus is, here the table list.
        form->tableList->setFocus();
        const auto keys = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier); };

        // Nothing to undo yet.
        keys(Qt::Key_Z);
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY2(boxes->shown[0].text.startsWith("No change of the field \"name\" of \"people\""),
            qPrintable(boxes->shown[0].text));

        // A look before the change changes nothing, and lists what would change.
        // The same steps wait in every context menu of the window, and
        // "Start Changing" names their keys.
        for (QWidget *owner : QList<QWidget *> { form.get(), form->tableList, form->fieldList, form->previewList }) {
            QCOMPARE(owner->contextMenuPolicy(), Qt::ActionsContextMenu);
            QStringList menu;
            for (const QAction *action : owner->actions())
                menu << action->text() + " " + action->shortcut().toString();
            QCOMPARE(menu,
                QStringList({ "Undo Last Change Ctrl+Z", "Change History\u2026 Ctrl+H", "Preview Change\u2026 Ctrl+D",
                    "Word Rules\u2026 Ctrl+R" }));
        }
        for (const char *key : { "Ctrl+D", "Ctrl+Z", "Ctrl+H", "Ctrl+R" })
            QVERIFY(form->startChangingButton->toolTip().contains(key));
        keys(Qt::Key_D);
        QVERIFY(form->changePreviewWindow() && form->changePreviewWindow()->isVisible());
        const QString preview = form->changePreviewWindow()->Text->toPlainText();
        QVERIFY2(preview.contains("In Proper Case, a run would report:\n3 records read, 2 rows changed"),
            qPrintable(preview));
        QVERIFY2(preview.contains("ada lovelace \u2192 Ada Lovelace\nalan turing \u2192 Alan Turing\n"),
            qPrintable(preview));
        QCOMPARE(db->column("people", "name"), (QVariantList { "ada lovelace", "alan turing", QVariant() }));
        form->changePreviewWindow()->close();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->tableList->setFocus();

        QTest::mouseClick(form->startChangingButton, Qt::LeftButton);
        QCOMPARE(boxes->texts().last(), QStringLiteral("Done."));
        QCOMPARE(db->column("people", "name"), (QVariantList { "Ada Lovelace", "Alan Turing", QVariant() }));

        // The question names the run; No leaves it be, Yes puts it back.
        boxes->shown.clear();
        boxes->answers = { false };
        keys(Qt::Key_Z);
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY(boxes->shown[0].question);
        QVERIFY2(boxes->shown[0].text.contains("the field \"name\" of \"people\" to Proper Case, 2 records?"),
            qPrintable(boxes->shown[0].text));
        QCOMPARE(db->column("people", "name"), (QVariantList { "Ada Lovelace", "Alan Turing", QVariant() }));
        boxes->answers = { true };
        keys(Qt::Key_Z);
        QCOMPARE(boxes->shown.size(), 3);
        QCOMPARE(boxes->shown[2].text, QStringLiteral("Undo: 2 of 2 records of the journal put back."));
        QCOMPARE(db->column("people", "name"), (QVariantList { "ada lovelace", "alan turing", QVariant() }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "ada lovelace", "alan turing", "" }));

        // The history shows the run as undone; its journal can be deleted.
        keys(Qt::Key_H);
        HistoryWindow *history = form->historyWindow();
        QVERIFY(history && history->isVisible());
        // Over the window, wholly on the screen, with the journals' folder named.
        QVERIFY2(history->screen()->availableGeometry().contains(history->frameGeometry()),
            qPrintable(QStringLiteral("%1,%2 %3x%4 on %5x%6")
                           .arg(history->frameGeometry().x())
                           .arg(history->frameGeometry().y())
                           .arg(history->frameGeometry().width())
                           .arg(history->frameGeometry().height())
                           .arg(history->screen()->availableGeometry().width())
                           .arg(history->screen()->availableGeometry().height())));
        QVERIFY(history->frameGeometry().contains(form->frameGeometry().center()));
        QVERIFY2(history->FolderPath->text().contains(QDir::toNativeSeparators("Marrowfen/Vantrell/journals")),
            qPrintable(history->FolderPath->text()));
        QCOMPARE(history->List->topLevelItemCount(), 1);
        const QTreeWidgetItem *run = history->List->topLevelItem(0);
        QCOMPARE(run->text(3), QStringLiteral("people"));
        QCOMPARE(run->text(4), QStringLiteral("name"));
        QCOMPARE(run->text(5), QStringLiteral("Proper Case"));
        QCOMPARE(run->text(6), QStringLiteral("2"));
        QVERIFY(run->text(7).startsWith("yes, "));
        QVERIFY(history->UndoButton->isEnabled());
        QVERIFY(history->DiskUsage->text().startsWith("The journals take "));
        QTest::mouseClick(history->OpenFolderButton, Qt::LeftButton);
        QCOMPARE(sandbox->shell.opened.size(), 1);
        QVERIFY(sandbox->shell.opened[0].endsWith("Marrowfen/Vantrell/journals"));
        // Logged in to another database, the run is not undone from here.
        const LoginFields ours = login;
        login.database = "/elsewhere/other.sqlite";
        history->refresh();
        QVERIFY(!history->UndoButton->isEnabled());
        // Nor by Ctrl+Z.
        form->undoLastChange();
        QVERIFY2(boxes->texts().last().startsWith("No change of the field \"name\" of \"people\" in this database"),
            qPrintable(boxes->texts().last()));
        login = ours;
        history->refresh();
        // A second run, newest first, undone by the window's button.
        form->modeBox->setCurrentIndex(0);
        QTest::mouseClick(form->startChangingButton, Qt::LeftButton);
        QCOMPARE(db->column("people", "name"), (QVariantList { "ADA LOVELACE", "ALAN TURING", QVariant() }));
        history->refresh();
        QCOMPARE(history->List->topLevelItemCount(), 2);
        QCOMPARE(history->List->topLevelItem(0)->text(5), QStringLiteral("UPPER CASE"));
        QVERIFY(history->List->topLevelItem(0)->text(7).isEmpty());
        // The history's Undo asks as Ctrl+Z does: No changes nothing.
        boxes->answers = { false };
        QTest::mouseClick(history->UndoButton, Qt::LeftButton);
        QVERIFY(boxes->shown.last().question);
        QCOMPARE(db->column("people", "name"), (QVariantList { "ADA LOVELACE", "ALAN TURING", QVariant() }));
        boxes->answers = { true };
        QTest::mouseClick(history->UndoButton, Qt::LeftButton);
        QCOMPARE(boxes->texts().last(), QStringLiteral("Undo: 2 of 2 records of the journal put back."));
        QCOMPARE(db->column("people", "name"), (QVariantList { "ada lovelace", "alan turing", QVariant() }));
        QVERIFY(history->List->topLevelItem(0)->text(7).startsWith("yes, "));
        boxes->answers = { true, true };
        QTest::mouseClick(history->DeleteButton, Qt::LeftButton);
        QTest::mouseClick(history->DeleteButton, Qt::LeftButton);
        QVERIFY(boxes->shown.last().question);
        QCOMPARE(history->List->topLevelItemCount(), 0);
        QVERIFY(QDir(sandbox->shell.opened[0]).entryList(QDir::Files).isEmpty());
        // Escape closes the history.
        history->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(history));
        QTest::keyClick(history, Qt::Key_Escape);
        QVERIFY(!history->isVisible());
    }

    // The history and the preview belong to the database the window shows:
    // switching database closes them, and an undo asked of a hidden window
    // does not run.
    void switchingDatabaseClosesHistoryAndPreview()
    {
        db->exec("CREATE TABLE people (name TEXT)");
        db->exec("INSERT INTO people VALUES ('ada')");
        makeFormWithTables();
        form->setShowLoginWindow([] {});
        form->show();
        form->tableChosen();
        form->modeBox->setCurrentIndex(0);
        form->startChanging();
        QCOMPARE(boxes->texts().last(), QStringLiteral("Done."));
        form->showHistory();
        form->previewChange();
        QVERIFY(form->historyWindow()->isVisible() && form->changePreviewWindow()->isVisible());
        form->switchDatabase();
        QVERIFY(!form->isVisible());
        QVERIFY(!form->historyWindow()->isVisible());
        QVERIFY(!form->changePreviewWindow()->isVisible());
        boxes->answers = { true };
        const qsizetype shown = boxes->shown.size();
        form->historyWindow()->UndoButton->click();
        QCOMPARE(boxes->shown.size(), shown);
        QCOMPARE(db->column("people", "name"), (QVariantList { "ADA" }));
    }

    void startChangingHoldsListsStill()
    {
        db->exec("CREATE TABLE people (name TEXT)");
        db->exec("INSERT INTO people VALUES ('ada lovelace'), ('alan turing'), (NULL)");
        makeFormWithTables();
        form->tableChosen();
        form->modeBox->setCurrentIndex(0);
        int loginShown = 0;
        form->setShowLoginWindow([&] { ++loginShown; });
        form->show();
        QList<bool> listsEnabledAtYield;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (!RunInWindow::isRunning())
                return;
            listsEnabledAtYield << form->tableList->isEnabled();
            // "Switch SQL Server Database" in the middle of the run is refused.
            if (listsEnabledAtYield.size() == 1)
                form->switchDatabaseButton->click();
        });
        probe.start(0);
        QTest::mouseClick(form->startChangingButton, Qt::LeftButton);
        probe.stop();
        QCOMPARE(boxes->texts(), QStringList({ "Please wait until the case change is done.", "Done." }));
        QCOMPARE(loginShown, 0);
        QVERIFY(form->isVisible());
        QCOMPARE(db->column("people", "name"), QVariantList({ "ADA LOVELACE", "ALAN TURING", QVariant() }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "ADA LOVELACE", "ALAN TURING", "" }));
        QVERIFY(!listsEnabledAtYield.isEmpty());
        QVERIFY(!listsEnabledAtYield.contains(true));
        QVERIFY(form->tableList->isEnabled() && form->fieldList->isEnabled() && form->previewList->isEnabled());
    }

    // While an undo runs, the lists are held still, and the window's keys
    // still answer: Ctrl+D says to wait, as Ctrl+Z does.
    void keysDuringAnUndoSayToWait()
    {
        changePeopleToUpperCase({ "ada lovelace", "alan turing" });
        QVERIFY(!QTest::currentTestFailed());
        boxes->shown.clear();
        boxes->answers = { true };
        QTimer probe;
        bool pressed = false;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (RunInWindow::isRunning() && !std::exchange(pressed, true)) {
                QTest::keyClick(form.get(), Qt::Key_D, Qt::ControlModifier);
                QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
            }
        });
        probe.start(0);
        QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
        probe.stop();
        QVERIFY(pressed);
        QCOMPARE(boxes->texts().mid(1),
            QStringList({ "Please wait until the case change is done.", "Please wait until the case change is done.",
                "Undo: 2 of 2 records of the journal put back." }));
        QVERIFY2(boxes->texts().first().contains("the field \"name\" of \"people\" to UPPER CASE, 2 records?"),
            qPrintable(boxes->texts().first()));
        QCOMPARE(db->column("people", "name"), (QVariantList { "ada lovelace", "alan turing" }));
    }

    // A long journal is read under the busy pointer, with the bar saying so and
    // the window painted, before the first row goes back.
    void undoReadsItsJournalUnderTheBusyPointer()
    {
        QVariantList names;
        for (int i = 0; i < 6000; ++i)
            names << QStringLiteral("person %1").arg(i);
        changePeopleToUpperCase(names);
        QVERIFY(!QTest::currentTestFailed());
        boxes->answers = { true };
        QTimer probe;
        int readingSeen = 0;
        int readingWithoutPointer = 0;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (RunInWindow::isRunning() && form->progressBar->text() == QStringLiteral("Reading the journal")) {
                ++readingSeen;
                if (!BusyPointer::isShowing())
                    ++readingWithoutPointer;
            }
        });
        probe.start(0);
        QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
        probe.stop();
        QVERIFY(readingSeen > 0);
        QCOMPARE(readingWithoutPointer, 0);
        QCOMPARE(db->column("people", "name"), names);
        QCOMPARE(form->progressBar->text(), QStringLiteral("Progress Bar"));
    }

    // A long table name is cut in its column, whole on the row's tooltip, and
    // counts have their thousands separated.
    void historyKeepsEveryColumnInView()
    {
        QTemporaryDir folder;
        const QString table(150, QLatin1Char('t'));
        QByteArray journal = "{\"format\":\"Vantrell journal\",\"formatVersion\":2,\"table\":\"" + table.toUtf8()
            + "\",\"schema\":\"\",\"field\":\"v\",\"server\":\"db1\",\"port\":\"1433\",\"localConnection\":false,"
              "\"database\":\"sales\",\"mode\":\"UPPER CASE\",\"time\":\"2026-01-31T12:00:00.000Z\","
              "\"programVersion\":\"1.0\",\"keyColumns\":[]}\n";
        for (int i = 0; i < 2000; ++i)
            journal += "{\"key\":[],\"old\":\"a\",\"new\":\"A\"}\n";
        QFile file(folder.filePath("long.jsonl"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(journal) == journal.size());
        file.close();
        HistoryWindow history(folder.path(), {}, {});
        history.show();
        QVERIFY(QTest::qWaitForWindowExposed(&history));
        const QTreeWidgetItem *run = history.List->topLevelItem(0);
        QCOMPARE(run->text(6), QStringLiteral("2,000"));
        QCOMPARE(run->toolTip(3), table);
        int widths = 0;
        for (int column = 0; column < history.List->columnCount(); ++column)
            widths += history.List->header()->sectionSize(column);
        QVERIFY2(history.List->header()->sectionSize(3) <= history.List->viewport()->width() / 2,
            qPrintable(QString::number(history.List->header()->sectionSize(3))));
        QVERIFY(widths < 3 * history.List->viewport()->width());
    }

    // "Word Rules" (Ctrl+R) saves its switch and the user's words at once,
    // shows a sample as it is typed, and "Start Changing", the preview list
    // and the history follow it.
    void wordRulesWindowAndTheRunsThatFollowIt()
    {
        showPeopleNames("('RONALD MCDONALD'), ('ACLU OF TEXAS')");
        QVERIFY(!QTest::currentTestFailed());
        QTest::keyClick(form.get(), Qt::Key_R, Qt::ControlModifier);
        WordRulesWindow *rules = form->wordRulesWindow();
        QVERIFY(rules && rules->isVisible());
        QVERIFY(!rules->onBox->isChecked());
        QVERIFY(rules->shippedWordList->count() > 0);
        QCOMPARE(rules->shippedWordList->selectionMode(), QAbstractItemView::NoSelection);

        QTest::keyClicks(rules->sampleBox, "MARIA DE LA CRUZ");
        QVERIFY2(rules->sampleResult->text().startsWith("Proper Case: Maria De La Cruz\n"),
            qPrintable(rules->sampleResult->text()));
        rules->onBox->setChecked(true);
        QCOMPARE(Settings::read(Settings::WordRulesOn), QStringLiteral("1"));
        QVERIFY2(rules->sampleResult->text().startsWith("Proper Case: Maria de la Cruz\n"),
            qPrintable(rules->sampleResult->text()));

        rules->wordBox->setText("ACLU");
        QTest::mouseClick(rules->addButton, Qt::LeftButton);
        rules->wordBox->setText("two words");
        QTest::mouseClick(rules->addButton, Qt::LeftButton);
        QVERIFY(boxes->texts().last().startsWith("The word was not added"));
        QTemporaryDir folder;
        QFile file(folder.filePath("words.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("IBM\niPhone\n") > 0);
        file.close();
        QVERIFY(rules->importWords(file.fileName()));
        QCOMPARE(Settings::read(Settings::UserWords).split('\n'), QStringList({ "ACLU", "IBM", "iPhone" }));
        rules->userWordList->findItems("IBM", Qt::MatchExactly).first()->setSelected(true);
        QTest::mouseClick(rules->removeButton, Qt::LeftButton);
        QCOMPARE(Settings::read(Settings::UserWords).split('\n'), QStringList({ "ACLU", "iPhone" }));
        rules->close();

        form->modeBox->setCurrentIndex(2);
        form->startChanging();
        QCOMPARE(boxes->texts().last(), QStringLiteral("Done."));
        QCOMPARE(db->column("people", "name"), (QVariantList { "Ronald McDonald", "ACLU of Texas" }));
        QCOMPARE(rowTexts(form->previewList), QStringList({ "Ronald McDonald", "ACLU of Texas" }));
        form->showHistory();
        QCOMPARE(form->historyWindow()->List->topLevelItem(0)->text(5), QStringLiteral("Proper Case, word rules"));
        form->historyWindow()->close();

        // Switched off, Proper Case is the plain rule again.
        SavedWordRules::setOn(false);
        db->exec("UPDATE people SET name = upper(name)");
        form->fieldChosen();
        form->startChanging();
        QCOMPARE(db->column("people", "name"), (QVariantList { "Ronald Mcdonald", "Aclu Of Texas" }));
    }

    void switchWithoutLoginWindowReports()
    {
        makeForm();
        form->switchDatabase();
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY(boxes->shown[0].text.contains("in Quorvel2021/08/31.Form2.PushButton5_Click at line 100\r\r"));
    }

private:
    std::optional<WindowSandbox> sandbox;
    RecordingMessageBoxes *boxes = nullptr;
    std::unique_ptr<TestDatabase> db;
    LoginFields login;
    std::unique_ptr<ChangeOptionsWindow> form;

    void makeForm()
    {
        form = std::make_unique<ChangeOptionsWindow>([this] { return login; });
        form->setEndProgram([] {});
        form->load();
    }

    // The window on a table "people" whose field "name" holds the rows given
    // (an SQL VALUES list), the field chosen.
    void showPeopleNames(const QString &rows)
    {
        db->exec("CREATE TABLE people (id INTEGER PRIMARY KEY, name TEXT)");
        db->exec("INSERT INTO people (name) VALUES " + rows);
        makeFormWithTables();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->tableChosen();
        QVERIFY(selectRow(form->fieldList, "name"));
        form->fieldChosen();
    }

    // A table "people" of one text field, changed to UPPER CASE from the
    // window, which stays shown: what an undo starts from.
    void changePeopleToUpperCase(const QVariantList &names)
    {
        db->exec("CREATE TABLE people (name TEXT)");
        db->insert("people", "name", names);
        makeFormWithTables();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->tableChosen();
        form->modeBox->setCurrentIndex(0);
        form->startChanging();
        QCOMPARE(boxes->texts().last(), QStringLiteral("Done."));
    }

    void makeFormWithTables()
    {
        makeForm();
        TableListRows::fill(form->tableList, login);
    }
};

QTEST_MAIN(ChangeOptionsWindowTest)
#include "ChangeOptionsWindowTest.moc"
