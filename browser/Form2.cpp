#include "browser/Form2.h"

#include "app/AppIcon.h"
#include "app/BuildConfig.h"
#include "app/ErrorReport.h"
#include "app/FailureTrap.h"
#include "app/MainHelpers.h"
#include "app/ProgramEnd.h"
#include "app/Settings.h"
#include "app/Skin.h"
#include "app/WindowDesign.h"
#include "browser/ChangePreviewWindow.h"
#include "browser/HistoryWindow.h"
#include "browser/ReportList.h"
#include "casing/BatchChangeHandler.h"
#include "connection/MSSQL.h"
#include "connection/OpeningProfile.h"
#include "connection/Session.h"
#include "connection/SqlDialect.h"
#include "journal/JournalCatalogue.h"
#include "journal/JournalWriter.h"
#include "platform/BusyPointer.h"
#include "platform/Failure.h"
#include "platform/HandCursor.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgressBar.h"
#include "platform/odbc/Connection.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLocale>
#include <QPushButton>

namespace {

using WindowDesign::pixels;

const QString ListToolTip = QStringLiteral("Move | line to right and out of window to reveal full names.");
const QString HandCursorFile = QStringLiteral("HAND-M.CUR");

QString selected(const ReportList *list, const QString &whenNone)
{
    const auto text = list->selectedText();
    if (!text)
        throw Failure(whenNone);
    return *text;
}

// The table of the table list's selected row, with the schema the row keeps.
TableName selectedTable(const ReportList *tables)
{
    if (!tables->currentItem())
        throw Failure(QStringLiteral("No table is selected."));
    return MSSQL::TableOfRow(tables->currentItem());
}

// The stored mode as the mode box's index: -1 (no mode) to 3. Anything else
// throws, and the caller leaves the box without a selection.
int storedModeIndex(const QString &stored, int itemCount)
{
    bool isNumber = false;
    const short index = stored.trimmed().toShort(&isNumber);
    if (!isNumber)
        throw Failure(QStringLiteral("Type mismatch: the remembered mode \"%1\" is not a number.").arg(stored));
    if (index < -1 || index >= itemCount)
        throw Failure(QStringLiteral("Invalid property value: the remembered mode %1 is not one of -1 to %2.")
                          .arg(index)
                          .arg(itemCount - 1));
    return index;
}

} // namespace

Form2::Form2(LoginFieldsSource loginFields, QWidget *parent)
    : QWidget(parent)
    , m_loginFields(std::move(loginFields))
    , m_endProgram([] { ProgramEnd::request(); })
{
    buildControls();
    addShortcuts();
    Main::centreOnScreen(this);
}

void Form2::addShortcuts()
{
    m_journalsFolder = JournalWriter::defaultFolder();
    const auto action
        = [this](QWidget *owner, const QString &text, const QKeySequence &keys, void (Form2::*handler)()) {
              auto *made = new QAction(text, owner);
              made->setShortcut(keys);
              made->setShortcutContext(Qt::WindowShortcut);
              connect(made, &QAction::triggered, this, handler);
              owner->addAction(made);
              return made;
          };
    action(this, QStringLiteral("Undo Last Change"), QKeySequence(Qt::CTRL | Qt::Key_Z), &Form2::undoLastChange);
    action(this, QStringLiteral("Change History\u2026"), QKeySequence(Qt::CTRL | Qt::Key_H), &Form2::showHistory);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    action(
        m_preview, QStringLiteral("Preview Change\u2026"), QKeySequence(Qt::CTRL | Qt::Key_D), &Form2::previewChange);
    m_preview->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void Form2::buildControls()
{
    // A fixed-size window: close and minimise, no maximise.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(pixels(7680), pixels(8100));
    setFont(WindowDesign::textFont());

    // Created in tab order.
    const auto makeList = [this](const char *name, int left, int top, int width, int height) {
        auto *list = new ReportList(this);
        list->setObjectName(QLatin1String(name));
        list->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
        list->setFont(WindowDesign::textFont());
        list->setToolTip(ListToolTip);
        return list;
    };
    m_tables = makeList("ListView1", 120, 120, 7440, 2670);
    m_fields = makeList("ListView2", 120, 2880, 3570, 2670);
    m_preview = makeList("ListView3", 3840, 2880, 3720, 2670);
    ListView1 = m_tables;
    ListView2 = m_fields;
    ListView3 = m_preview;

    Frame1 = new QGroupBox(QStringLiteral("Change Options"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(pixels(120), pixels(5640), pixels(7440), pixels(800));

    Combo1 = new QComboBox(Frame1);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setGeometry(
        pixels(240), pixels(300), pixels(6975), std::min(Combo1->sizeHint().height(), pixels(800) - pixels(300) - 4));

    const auto makeButton = [this](const char *name, const QString &caption, int top) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(pixels(120), pixels(top), pixels(7440), pixels(405));
        button->setFont(WindowDesign::buttonFont());
        button->setAutoDefault(false);
        Main::clickOnEnter(button);
        return button;
    };
    PushButton1 = makeButton("PushButton1", QStringLiteral("Start Changing"), 6555);
    PushButton5 = makeButton("PushButton5", QStringLiteral("Switch SQL Server Database"), 7080);

    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(pixels(120), pixels(7620), pixels(7440), pixels(405));

    connect(m_tables, &ReportList::chosen, this, &Form2::ListView1_Click);
    connect(m_fields, &ReportList::chosen, this, &Form2::ListView2_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] {
        if (m_loading)
            return;
        try {
            Combo1_Click();
        } catch (const std::exception &e) {
            // The reason names the settings file and what is wrong with it.
            Main::showMessage(this, describeFailure(e));
        }
    });
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
}

void Form2::Form_Load()
{
    m_loading = true;
    FailureTrap trap(ErrorReport::Form2_Form_Load, this);
    trap.step(102, [&] { Main::SetFaceColours(this); });
    trap.step(104, [&] { setWindowIcon(AppIcon::icon()); });
    const QString cursorPath = Main::besideProgram(HandCursorFile);
    if (trap.test(106, [&] { return Main::FileExists(cursorPath); }))
        trap.step(108, [&] {
            m_handCursor = HandCursor::load(cursorPath);
            PushButton1->setCursor(*m_handCursor);
            PushButton5->setCursor(*m_handCursor);
        });
    trap.step(110, [&] { setWindowTitle(QString::fromUtf8(BuildConfig::ProductTitle)); });
    trap.step(112, [&] { Combo1->addItem(QStringLiteral("UPPER CASE")); });
    trap.step(114, [&] { Combo1->addItem(QStringLiteral("lower case")); });
    trap.step(116, [&] { Combo1->addItem(QStringLiteral("Proper Case")); });
    trap.step(118, [&] { Combo1->addItem(QStringLiteral("Sentence case")); });
    trap.step(120, [&] { restoreMode(); });
    trap.step(122, [&] { m_tables->setColumn(QStringLiteral("Table(s)")); });
    trap.step(124, [&] { m_tables->setColumnWidth(pixels(6000)); });
    trap.step(126, [&] { m_fields->setColumn(QStringLiteral("Field(s)")); });
    trap.step(128, [&] { m_fields->setColumnWidth(pixels(3000)); });
    trap.step(130, [&] { m_preview->setColumn(QStringLiteral("First 100 Entries (Preview)")); });
    trap.step(132, [&] { m_preview->setColumnWidth(pixels(3000)); });
    m_loading = false;
}

void Form2::restoreMode()
{
    // The box selects its first item by itself when it gets one; a stored value
    // that cannot be used leaves it with no selection at all.
    Combo1->setCurrentIndex(-1);
    Combo1->setCurrentIndex(storedModeIndex(Settings::read(Settings::Combo1, Settings::DefaultMode), Combo1->count()));
}

void Form2::Combo1_Click()
{
    Settings::write(Settings::Combo1, QString::number(Combo1->currentIndex()));
}

void Form2::ListView1_Click()
{
    const int fill = ++m_fieldFill;
    ++m_previewFill; // the preview of the former table is replaced too
    int line = 100;
    try {
        BusyPointer::Scope busy;
        auto connection = openConnection(OpeningProfile::FieldList, m_loginFields());
        line = 102;
        const TableName table = selectedTable(m_tables);
        line = 104;
        // The names come from the result's columns alone, so no row of the table is fetched.
        const auto dialect = SqlDialect::forConnection(*connection);
        const QStringList fields = connection->query(dialect->selectNoRows(table)).fieldNames();
        connection.reset();
        line = 106;
        m_fields->clear();
        m_preview->clear();
        m_fieldsOf = table;
        for (const QString &field : fields) {
            QCoreApplication::processEvents();
            if (fill != m_fieldFill || ProgramEnd::requested())
                return;
            m_fields->addRow(field);
        }
    } catch (const std::exception &e) {
        // The fields and values of another table chosen before are not this table's.
        if (fill == m_fieldFill && MSSQL::TableOfRow(m_tables->currentItem()) != m_fieldsOf) {
            m_fields->clear();
            m_preview->clear();
        }
        ErrorReport::show(describeFailure(e), ErrorReport::Form2_ListView1_Click, line, this);
        return;
    }
    if (m_fields->topLevelItemCount() > 0 && !ProgramEnd::requested())
        ListView2_Click();
}

void Form2::ListView2_Click()
{
    if (m_fields->topLevelItemCount() == 0)
        return;
    const int fill = ++m_previewFill;
    int line = 100;
    try {
        BusyPointer::Scope busy;
        Session session = openSession(OpeningProfile::Preview, m_loginFields());
        auto &connection = session.connection;
        const auto &dialect = session.dialect;
        line = 102;
        const QString field = selected(m_fields, QStringLiteral("No field is selected."));
        const TableName table = selectedTable(m_tables);
        line = 104;
        // The snapshot stops reading after the rows the preview shows and closes the cursor.
        auto values = connection->query(dialect->selectField(table, field), {}, PreviewRows);
        connection.reset();
        line = 106;
        m_preview->clear();
        QCoreApplication::processEvents();
        if (fill != m_previewFill || ProgramEnd::requested())
            return;
        for (; !values.eof(); values.moveNext()) {
            QCoreApplication::processEvents();
            if (fill != m_previewFill || ProgramEnd::requested())
                return;
            m_preview->addRow(Main::NullToDefault(values.value(0), QString()).toString());
        }
        values.close();
    } catch (const std::exception &e) {
        ErrorReport::show(describeFailure(e), ErrorReport::Form2_ListView2_Click, line, this);
    }
}

BatchChangeControls Form2::changeControls()
{
    return { this, m_loginFields, ListView1, ListView2, ListView3, Combo1, ProgressBar1,
        [this] { ListView2_Click(); } };
}

template <typename Step>
void Form2::withListsHeld(Step &&step)
{
    // A run yields while it works; a table or field chosen meanwhile would
    // leave the preview it converts at its end showing another field.
    const QList<QWidget *> lists { ListView1, ListView2, ListView3 };
    for (QWidget *list : lists)
        list->setEnabled(false);
    try {
        step();
    } catch (const std::exception &e) {
        ErrorReport::show(describeFailure(e), ErrorReport::Form2_PushButton1_Click, 100, this);
    }
    for (QWidget *list : lists)
        list->setEnabled(true);
}

void Form2::PushButton1_Click()
{
    if (isChangingCase())
        return; // a press while a change runs does nothing
    withListsHeld([this] { StartChanging(changeControls()); });
    if (m_history && m_history->isVisible())
        m_history->refresh();
}

void Form2::undoLastChange()
{
    if (isChangingCase()) {
        Main::showMessage(this, QStringLiteral("Please wait until the case change is done."));
        return;
    }
    if (m_fields->topLevelItemCount() == 0 || !m_fields->currentItem()) {
        Main::showMessage(this, QStringLiteral("Please select a field."));
        return;
    }
    const LoginFields login = m_loginFields ? m_loginFields() : LoginFields();
    const TableName table = MSSQL::TableOfRow(m_tables->currentItem());
    const QString field = m_fields->currentItem()->text(0);
    const std::optional<JournalCatalogue::Entry> newest
        = JournalCatalogue::newestFor(m_journalsFolder, login.server, login.database, table.schema, table.name, field);
    if (!newest) {
        Main::showMessage(this,
            QStringLiteral("No change of the field \"%1\" of \"%2\" in this database was made "
                           "on this computer, so there is none to undo.")
                .arg(field, table.shownText()));
        return;
    }
    const JournalHeader &h = newest->header;
    QString question = QStringLiteral("Undo the change of %1: the field \"%2\" of \"%3\" to %4, %5 records?\r\r"
                                      "Each row gets its old text back only while it still holds the text the change "
                                      "wrote.")
                           .arg(QLocale::system().toString(h.time.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               h.field, table.shownText(), h.mode)
                           .arg(newest->records);
    if (newest->undoneAt)
        question += QStringLiteral(" It was undone once already; undoing it again changes only rows that hold its "
                                   "new text again.");
    if (!MessageBoxes::instance().ask(this, question, Main::appTitle()))
        return;
    withListsHeld([&] { UndoChange(changeControls(), newest->path); });
    if (m_history)
        m_history->refresh();
}

void Form2::showHistory()
{
    if (!m_history)
        m_history = new HistoryWindow(
            m_journalsFolder, m_loginFields,
            [this](const QString &path) {
                bool whole = false;
                if (!isChangingCase())
                    withListsHeld([&] { whole = UndoChange(changeControls(), path); });
                return whole;
            },
            this);
    else
        m_history->refresh();
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void Form2::previewChange()
{
    if (isChangingCase()) {
        Main::showMessage(this, QStringLiteral("Please wait until the case change is done."));
        return;
    }
    std::optional<QString> text;
    withListsHeld([&] { text = PreviewChange(changeControls()); });
    if (!text)
        return;
    if (!m_changePreview)
        m_changePreview = new ChangePreviewWindow(this);
    m_changePreview->showText(*text);
}

void Form2::PushButton5_Click()
{
    // "Next >" would refill the lists under a running change, whose end converts
    // the preview of its own field.
    if (isChangingCase()) {
        Main::showMessage(this, QStringLiteral("Please wait until the case change is done."));
        return;
    }
    FailureTrap trap(ErrorReport::Form2_PushButton5_Click, this);
    trap.step(100, [&] {
        if (!m_showLoginWindow)
            throw Failure(QStringLiteral("The login window is not available."));
        m_showLoginWindow();
    });
    trap.step(102, [&] { hide(); });
}

void Form2::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_endProgram)
        m_endProgram();
}
