#include "changeoptions/ChangeOptionsWindow.h"

#include "changeoptions/ChangePreviewWindow.h"
#include "changeoptions/HistoryWindow.h"
#include "changeoptions/ReportList.h"
#include "changeoptions/RunInWindow.h"
#include "changeoptions/TableListRows.h"
#include "changeoptions/WordRulesWindow.h"
#include "common/BuildConfig.h"
#include "common/ErrorReport.h"
#include "common/FailureTrap.h"
#include "common/Messages.h"
#include "common/NullValue.h"
#include "common/ProgramEnd.h"
#include "common/ProgramFiles.h"
#include "common/Settings.h"
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
#include "ui/AppIcon.h"
#include "ui/Skin.h"
#include "ui/WindowDesign.h"
#include "ui/WindowSetup.h"

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
    return TableListRows::tableOfRow(tables->currentItem());
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

ChangeOptionsWindow::ChangeOptionsWindow(LoginFieldsSource loginFields, QWidget *parent)
    : QWidget(parent)
    , m_loginFields(std::move(loginFields))
    , m_endProgram([] { ProgramEnd::request(); })
{
    buildControls();
    addShortcuts();
    WindowSetup::centreOnScreen(this);
}

void ChangeOptionsWindow::addShortcuts()
{
    m_journalsFolder = JournalWriter::defaultFolder();
    // The window holds each action, so its shortcut works while the lists are
    // held still; every context menu of the window offers all three.
    const QList<QWidget *> menus { this, tableList, fieldList, previewList };
    const auto action = [&](const QString &text, const QKeySequence &keys, void (ChangeOptionsWindow::*handler)()) {
        auto *made = new QAction(text, this);
        made->setShortcut(keys);
        made->setShortcutContext(Qt::WindowShortcut);
        connect(made, &QAction::triggered, this, handler);
        for (QWidget *menu : menus)
            menu->addAction(made);
    };
    action(
        QStringLiteral("Undo Last Change"), QKeySequence(Qt::CTRL | Qt::Key_Z), &ChangeOptionsWindow::undoLastChange);
    action(
        QStringLiteral("Change History\u2026"), QKeySequence(Qt::CTRL | Qt::Key_H), &ChangeOptionsWindow::showHistory);
    action(QStringLiteral("Preview Change\u2026"), QKeySequence(Qt::CTRL | Qt::Key_D),
        &ChangeOptionsWindow::previewChange);
    action(QStringLiteral("Word Rules\u2026"), QKeySequence(Qt::CTRL | Qt::Key_R), &ChangeOptionsWindow::showWordRules);
    for (QWidget *menu : menus)
        menu->setContextMenuPolicy(Qt::ActionsContextMenu);
    startChangingButton->setToolTip(QStringLiteral("Ctrl+D previews the change, Ctrl+Z undoes the last change, "
                                                   "Ctrl+H shows every change, Ctrl+R sets the word rules of Proper "
                                                   "Case; right-click for the same."));
}

void ChangeOptionsWindow::buildControls()
{
    WindowSetup::makeFixedWindow(this, pixels(7680), pixels(8100));

    // Created in tab order.
    const auto makeList = [this](const char *name, int left, int top, int width, int height) {
        auto *list = new ReportList(this);
        list->setObjectName(QLatin1String(name));
        list->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
        list->setFont(WindowDesign::textFont());
        list->setToolTip(ListToolTip);
        return list;
    };
    tableList = makeList("tableList", 120, 120, 7440, 2670);
    fieldList = makeList("fieldList", 120, 2880, 3570, 2670);
    previewList = makeList("previewList", 3840, 2880, 3720, 2670);

    optionsFrame = new QGroupBox(QStringLiteral("Change Options"), this);
    optionsFrame->setObjectName(QStringLiteral("optionsFrame"));
    optionsFrame->setGeometry(pixels(120), pixels(5640), pixels(7440), pixels(800));

    modeBox = new QComboBox(optionsFrame);
    modeBox->setObjectName(QStringLiteral("modeBox"));
    modeBox->setEditable(false);
    modeBox->setGeometry(
        pixels(240), pixels(300), pixels(6975), std::min(modeBox->sizeHint().height(), pixels(800) - pixels(300) - 4));

    const auto makeButton = [this](const char *name, const QString &caption, int top) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(pixels(120), pixels(top), pixels(7440), pixels(405));
        button->setFont(WindowDesign::buttonFont());
        button->setAutoDefault(false);
        WindowSetup::clickOnEnter(button);
        return button;
    };
    startChangingButton = makeButton("startChangingButton", QStringLiteral("Start Changing"), 6555);
    switchDatabaseButton = makeButton("switchDatabaseButton", QStringLiteral("Switch SQL Server Database"), 7080);

    progressBar = new ProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setGeometry(pixels(120), pixels(7620), pixels(7440), pixels(405));

    connect(tableList, &ReportList::chosen, this, &ChangeOptionsWindow::tableChosen);
    connect(fieldList, &ReportList::chosen, this, &ChangeOptionsWindow::fieldChosen);
    connect(modeBox, &QComboBox::currentIndexChanged, this, [this] {
        if (m_loading)
            return;
        try {
            modeChosen();
        } catch (const std::exception &e) {
            // The reason names the settings file and what is wrong with it.
            Messages::show(this, describeFailure(e));
        }
    });
    connect(startChangingButton, &QPushButton::clicked, this, &ChangeOptionsWindow::startChanging);
    connect(switchDatabaseButton, &QPushButton::clicked, this, &ChangeOptionsWindow::switchDatabase);
}

void ChangeOptionsWindow::load()
{
    m_loading = true;
    FailureTrap trap(ErrorReport::ChangeOptionsLoad, this);
    trap.step(102, [&] { Skin::setFaceColours(this); });
    trap.step(104, [&] { setWindowIcon(AppIcon::icon()); });
    const QString cursorPath = ProgramFiles::besideProgram(HandCursorFile);
    if (trap.test(106, [&] { return ProgramFiles::fileExists(cursorPath); }))
        trap.step(108, [&] {
            m_handCursor = HandCursor::load(cursorPath);
            startChangingButton->setCursor(*m_handCursor);
            switchDatabaseButton->setCursor(*m_handCursor);
        });
    trap.step(110, [&] { setWindowTitle(QString::fromUtf8(BuildConfig::ProductTitle)); });
    trap.step(112, [&] { modeBox->addItem(QStringLiteral("UPPER CASE")); });
    trap.step(114, [&] { modeBox->addItem(QStringLiteral("lower case")); });
    trap.step(116, [&] { modeBox->addItem(QStringLiteral("Proper Case")); });
    trap.step(118, [&] { modeBox->addItem(QStringLiteral("Sentence case")); });
    trap.step(120, [&] { restoreMode(); });
    trap.step(122, [&] { tableList->setColumn(QStringLiteral("Table(s)")); });
    trap.step(124, [&] { tableList->setColumnWidth(pixels(6000)); });
    trap.step(126, [&] { fieldList->setColumn(QStringLiteral("Field(s)")); });
    trap.step(128, [&] { fieldList->setColumnWidth(pixels(3000)); });
    trap.step(130, [&] { previewList->setColumn(QStringLiteral("First 100 Entries (Preview)")); });
    trap.step(132, [&] { previewList->setColumnWidth(pixels(3000)); });
    m_loading = false;
}

void ChangeOptionsWindow::restoreMode()
{
    // The box selects its first item by itself when it gets one; a stored value
    // that cannot be used leaves it with no selection at all.
    modeBox->setCurrentIndex(-1);
    modeBox->setCurrentIndex(
        storedModeIndex(Settings::read(Settings::ModeKey, Settings::DefaultMode), modeBox->count()));
}

void ChangeOptionsWindow::modeChosen()
{
    Settings::write(Settings::ModeKey, QString::number(modeBox->currentIndex()));
}

void ChangeOptionsWindow::tableChosen()
{
    const int fill = ++m_fieldFill;
    ++m_previewFill; // the preview of the former table is replaced too
    int line = 100;
    try {
        BusyPointer::Scope busy;
        auto connection = openConnection(OpeningProfile::FieldList, m_loginFields());
        line = 102;
        const TableName table = selectedTable(tableList);
        line = 104;
        // The names come from the result's columns alone, so no row of the table is fetched.
        const auto dialect = SqlDialect::forConnection(*connection);
        const QStringList fields = connection->query(dialect->selectNoRows(table)).fieldNames();
        connection.reset();
        line = 106;
        fieldList->clear();
        previewList->clear();
        m_fieldsOf = table;
        for (const QString &field : fields) {
            QCoreApplication::processEvents();
            if (fill != m_fieldFill || ProgramEnd::requested())
                return;
            fieldList->addRow(field);
        }
    } catch (const std::exception &e) {
        // The fields and values of another table chosen before are not this table's.
        if (fill == m_fieldFill && TableListRows::tableOfRow(tableList->currentItem()) != m_fieldsOf) {
            fieldList->clear();
            previewList->clear();
        }
        ErrorReport::show(describeFailure(e), ErrorReport::ChangeOptionsTableChosen, line, this);
        return;
    }
    if (fieldList->topLevelItemCount() > 0 && !ProgramEnd::requested())
        fieldChosen();
}

void ChangeOptionsWindow::fieldChosen()
{
    if (fieldList->topLevelItemCount() == 0)
        return;
    const int fill = ++m_previewFill;
    int line = 100;
    try {
        BusyPointer::Scope busy;
        Session session = openSession(OpeningProfile::Preview, m_loginFields());
        auto &connection = session.connection;
        const auto &dialect = session.dialect;
        line = 102;
        const QString field = selected(fieldList, QStringLiteral("No field is selected."));
        const TableName table = selectedTable(tableList);
        line = 104;
        // The snapshot stops reading after the rows the preview shows and closes the cursor.
        auto values = connection->query(dialect->selectField(table, field), {}, PreviewRows);
        connection.reset();
        line = 106;
        previewList->clear();
        QCoreApplication::processEvents();
        if (fill != m_previewFill || ProgramEnd::requested())
            return;
        for (; !values.eof(); values.moveNext()) {
            QCoreApplication::processEvents();
            if (fill != m_previewFill || ProgramEnd::requested())
                return;
            previewList->addRow(NullValue::toDefault(values.value(0), QString()).toString());
        }
        values.close();
    } catch (const std::exception &e) {
        ErrorReport::show(describeFailure(e), ErrorReport::ChangeOptionsFieldChosen, line, this);
    }
}

RunInWindow::Controls ChangeOptionsWindow::changeControls()
{
    return { this, m_loginFields, tableList, fieldList, previewList, modeBox, progressBar, [this] { fieldChosen(); } };
}

template <typename Step>
void ChangeOptionsWindow::withListsHeld(Step &&step)
{
    // A run yields while it works; a table or field chosen meanwhile would
    // leave the preview it converts at its end showing another field.
    const QList<QWidget *> lists { tableList, fieldList, previewList };
    for (QWidget *list : lists)
        list->setEnabled(false);
    try {
        step();
    } catch (const std::exception &e) {
        ErrorReport::show(describeFailure(e), ErrorReport::ChangeOptionsStartChanging, 100, this);
    }
    for (QWidget *list : lists)
        list->setEnabled(true);
}

void ChangeOptionsWindow::startChanging()
{
    if (RunInWindow::isRunning())
        return; // a press while a change runs does nothing
    withListsHeld([this] { RunInWindow::startChanging(changeControls()); });
    if (m_history && m_history->isVisible())
        m_history->refresh();
}

void ChangeOptionsWindow::undoLastChange()
{
    if (RunInWindow::isRunning()) {
        Messages::show(this, QStringLiteral("Please wait until the case change is done."));
        return;
    }
    if (fieldList->topLevelItemCount() == 0 || !fieldList->currentItem()) {
        Messages::show(this, QStringLiteral("Please select a field."));
        return;
    }
    const LoginFields login = m_loginFields ? m_loginFields() : LoginFields();
    const TableName table = TableListRows::tableOfRow(tableList->currentItem());
    const QString field = fieldList->currentItem()->text(0);
    const std::optional<JournalCatalogue::Entry> newest = JournalCatalogue::newestFor(m_journalsFolder, login.server,
        login.database, table, TableListRows::defaultSchemaOfRow(tableList->currentItem()), field);
    if (!newest) {
        Messages::show(this,
            QStringLiteral("No change of the field \"%1\" of \"%2\" in this database was made "
                           "on this computer, so there is none to undo.")
                .arg(field, table.shownText()));
        return;
    }
    if (!RunInWindow::confirmUndo(this, *newest))
        return;
    withListsHeld([&] { RunInWindow::undoChange(changeControls(), newest->path); });
    if (m_history)
        m_history->refresh();
}

void ChangeOptionsWindow::showHistory()
{
    if (!m_history)
        m_history = new HistoryWindow(
            m_journalsFolder, m_loginFields,
            [this](const JournalCatalogue::Entry &run) {
                // Only while this window shows the database it undoes in, and after the question.
                bool whole = false;
                if (isVisible() && !RunInWindow::isRunning() && RunInWindow::confirmUndo(m_history, run))
                    withListsHeld([&] { whole = RunInWindow::undoChange(changeControls(), run.path); });
                return whole;
            },
            this);
    else
        m_history->refresh();
    WindowSetup::present(m_history, this);
}

void ChangeOptionsWindow::previewChange()
{
    if (RunInWindow::isRunning()) {
        Messages::show(this, QStringLiteral("Please wait until the case change is done."));
        return;
    }
    std::optional<QString> text;
    withListsHeld([&] { text = RunInWindow::previewChange(changeControls()); });
    if (!text)
        return;
    if (!m_changePreview)
        m_changePreview = new ChangePreviewWindow(this);
    m_changePreview->setText(*text);
    WindowSetup::present(m_changePreview, this);
}

void ChangeOptionsWindow::showWordRules()
{
    if (!m_wordRules)
        m_wordRules = new WordRulesWindow(this);
    WindowSetup::present(m_wordRules, this);
}

void ChangeOptionsWindow::switchDatabase()
{
    // "Next >" would refill the lists under a running change, whose end converts
    // the preview of its own field.
    if (RunInWindow::isRunning()) {
        Messages::show(this, QStringLiteral("Please wait until the case change is done."));
        return;
    }
    FailureTrap trap(ErrorReport::ChangeOptionsSwitchDatabase, this);
    trap.step(100, [&] {
        if (!m_showLoginWindow)
            throw Failure(QStringLiteral("The login window is not available."));
        m_showLoginWindow();
    });
    trap.step(102, [&] { hide(); });
    // The history and the preview are of the database the window leaves.
    for (QWidget *other : { static_cast<QWidget *>(m_history), static_cast<QWidget *>(m_changePreview) })
        if (other)
            other->close();
}

void ChangeOptionsWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_endProgram)
        m_endProgram();
}
