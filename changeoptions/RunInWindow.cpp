#include "changeoptions/RunInWindow.h"

#include "casing/BatchChange.h"
#include "casing/DryRunSample.h"
#include "casing/SavedWordRules.h"
#include "changeoptions/PreviewListConversion.h"
#include "changeoptions/TableListRows.h"
#include "common/AppTitle.h"
#include "common/ErrorReport.h"
#include "common/FailureTrap.h"
#include "common/Messages.h"
#include "common/ProgramEnd.h"
#include "connection/ConnectionCheck.h"
#include "journal/JournalCatalogue.h"
#include "journal/JournalReader.h"
#include "journal/JournalUndo.h"
#include "journal/JournalWriter.h"
#include "platform/BusyPointer.h"
#include "platform/EventYield.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgressBar.h"
#include "platform/odbc/Connection.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLocale>
#include <QTreeWidget>

namespace RunInWindow {

namespace {

bool running = false;

class RunningGuard {
public:
    RunningGuard() { running = true; }
    ~RunningGuard() { running = false; }
    RunningGuard(const RunningGuard &) = delete;
    RunningGuard &operator=(const RunningGuard &) = delete;
};

QString selectedText(QTreeWidget *list)
{
    const QTreeWidgetItem *item = list->currentItem();
    return item ? item->text(0) : QString();
}

// Lines of the end of a run.
constexpr int LinePreviewRefill = 188;
constexpr int LineMessUp = 204;
constexpr int LineDone = 210;
int previewConversionLine(Case::Mode mode)
{
    return 190 + 4 * int(mode);
}

// The callbacks every run from the window shares: the progress bar, a yield
// per record, the end of the program, failures in the error report.
void attachWindow(BatchChange::Callbacks &callbacks, const Controls &controls)
{
    QWidget *window = controls.window;
    callbacks.progress = [bar = controls.progressBar](double value) { bar->setValue(value); };
    callbacks.yield = [yield = EventYield()]() mutable { yield(); };
    callbacks.stop = [] { return ProgramEnd::requested(); };
    callbacks.failure = [window](int line, const QString &description) {
        ErrorReport::show(description, ErrorReport::ChangeOptionsStartChanging, line, window);
    };
}

void resetWindow(const Controls &controls)
{
    BusyPointer::reset();
    controls.progressBar->setValue(0);
    controls.progressBar->setText(QStringLiteral("Progress Bar"));
}

// A server that does not answer at all is told by the ordinary timeout,
// before a run's long ones; true when it was (and the pointer is reset).
bool toldNoAnswer(QWidget *window, const LoginFields &fields)
{
    if (bool noAnswer = false; ConnectionCheck::connectionProblem(fields, &noAnswer) && noAnswer) {
        BusyPointer::reset();
        Messages::show(window,
            QStringLiteral("The server did not answer within %1 seconds. Nothing was changed.")
                .arg(odbc::Connection::DefaultConnectionTimeout));
        return true;
    }
    return false;
}

// True when a field and a mode are chosen; otherwise a message says which is missing.
bool selectionMade(const Controls &controls)
{
    if (controls.fieldList->topLevelItemCount() == 0) {
        Messages::show(controls.window, QStringLiteral("Please select a field."));
        return false;
    }
    // A run without a mode would read every record and change none of them.
    if (!Case::modeOf(controls.modeBox->currentText())) {
        Messages::show(controls.window, QStringLiteral("Please select a change option."));
        return false;
    }
    return true;
}

// What the window shows at the end of a "Start Changing" run: the preview
// converted in place, or read again, and "Done."; or why not every record was
// changed. `modeTextsUsed` holds every mode text the records were written in.
void showEndOfChange(const Controls &controls, const BatchChange::Result &result, const QString &journalError,
    const QStringList &modeTextsUsed, const WordRules *wordRules)
{
    QWidget *window = controls.window;
    // A run that never reached its first record has said why; the preview
    // still shows what the database holds.
    // A run stopped because the program is ending says nothing more.
    if (result.outcome == BatchChange::Outcome::NotStarted || result.outcome == BatchChange::Outcome::Stopped)
        return;
    if (result.outcome == BatchChange::Outcome::Refused) {
        Messages::show(window, result.refusal);
        return;
    }
    if (result.outcome == BatchChange::Outcome::Declined) {
        if (result.recordsChanged > 0 && controls.refillPreview)
            FailureTrap(ErrorReport::ChangeOptionsStartChanging, window)
                .step(LinePreviewRefill, controls.refillPreview);
        Messages::show(window, journalError);
        return;
    }
    QCoreApplication::processEvents();

    FailureTrap trap(ErrorReport::ChangeOptionsStartChanging, window);
    if (result.unchanged() > 0) {
        // Some rows kept their old text: only the database knows what the preview should show.
        if (controls.refillPreview)
            trap.step(LinePreviewRefill, controls.refillPreview);
        Messages::show(window, describeUnchanged(result));
        return;
    }
    const std::optional<Case::Mode> mode = Case::modeOf(controls.modeBox->currentText());
    // Converting the preview in place shows what was written only when every
    // record was written in the mode the box shows now; after a change of mode
    // part way the preview is read again instead.
    bool oneMode = true;
    for (const QString &used : std::as_const(modeTextsUsed))
        oneMode = oneMode && Case::modeOf(used) == mode;
    if (mode && !oneMode && controls.refillPreview)
        trap.step(LinePreviewRefill, controls.refillPreview);
    else if (mode)
        trap.step(previewConversionLine(*mode),
            [&] { PreviewListConversion::convert(controls.previewList, *mode, wordRules); });
    else
        trap.step(LineMessUp, [&] { Messages::show(window, QStringLiteral("mess up")); });
    trap.step(LineDone, [&] { Messages::show(window, QStringLiteral("Done.")); });
}

} // namespace

bool undoChange(const Controls &controls, const QString &journalPath)
{
    if (running)
        return false;
    RunningGuard guard;
    QWidget *window = controls.window;
    const LoginFields fields = controls.loginFields ? controls.loginFields() : LoginFields();
    // A long journal takes a while to read: the pointer and the bar say so at
    // once, and the window (a box just closed over it too) is painted meanwhile.
    BusyPointer::show();
    controls.progressBar->setText(QStringLiteral("Reading the journal"));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    JournalReader journal;
    const bool read = journal.read(journalPath, [bar = controls.progressBar](double share) {
        bar->setValue(100 * share);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    resetWindow(controls);
    if (!read) {
        Messages::show(window, journal.error() + QStringLiteral(" Nothing was changed."));
        return false;
    }
    if (const QString elsewhere = JournalUndo::elsewhere(journal.header(), fields); !elsewhere.isEmpty()) {
        Messages::show(window,
            QStringLiteral("This run cannot be undone here: %1 Log in to its database to undo it.").arg(elsewhere));
        return false;
    }
    BusyPointer::show();
    if (toldNoAnswer(window, fields))
        return false;
    BatchChange::Callbacks callbacks;
    attachWindow(callbacks, controls);
    JournalUndo undo(journal, fields);
    const BatchChange::Result result = undo.run(callbacks);
    resetWindow(controls);

    switch (result.outcome) {
    case BatchChange::Outcome::NotStarted:
    case BatchChange::Outcome::Stopped:
        return false;
    case BatchChange::Outcome::Refused:
        Messages::show(window, result.refusal);
        return false;
    case BatchChange::Outcome::Declined:
        Messages::show(window, undo.refusal());
        return false;
    case BatchChange::Outcome::Finished:
    case BatchChange::Outcome::EndedByFailure:
        break;
    }
    if (controls.refillPreview)
        FailureTrap(ErrorReport::ChangeOptionsStartChanging, window).step(LinePreviewRefill, controls.refillPreview);
    const bool whole = result.outcome == BatchChange::Outcome::Finished;
    undo.markJournal(journalPath, result);
    QString text = undo.describe(result);
    if (result.unchanged() > 0)
        text += QLatin1Char(' ') + describeUnchanged(result);
    Messages::show(window, text);
    return whole;
}

std::optional<QString> previewChange(const Controls &controls, qsizetype shownChanges)
{
    if (running)
        return std::nullopt;
    RunningGuard guard;
    QWidget *window = controls.window;
    if (!selectionMade(controls))
        return std::nullopt;
    const QString modeText = controls.modeBox->currentText();
    const LoginFields fields = controls.loginFields ? controls.loginFields() : LoginFields();
    BusyPointer::show();
    if (toldNoAnswer(window, fields))
        return std::nullopt;
    BatchChange::Callbacks callbacks;
    attachWindow(callbacks, controls);
    // The mode shown when the look began, for every record.
    callbacks.modeText = [modeText] { return modeText; };
    DryRunSample sample(shownChanges);
    sample.attach(callbacks);
    BatchChange change(fields, TableListRows::tableOfRow(controls.tableList->currentItem()),
        selectedText(controls.fieldList), callbacks);
    const bool rulesOn = SavedWordRules::isOn();
    change.setWordRules(SavedWordRules::rules(rulesOn));
    change.setDryRun(true);
    const BatchChange::Result result = change.run();
    resetWindow(controls);
    if (result.outcome == BatchChange::Outcome::Refused)
        Messages::show(window, result.refusal);
    if (result.outcome != BatchChange::Outcome::Finished)
        return std::nullopt;
    QString text = QStringLiteral("Nothing was changed. In %1, a run would report:\n")
                       .arg(SavedWordRules::modeText(modeText, rulesOn))
        + describeCounts(result);
    if (!sample.isEmpty())
        text += QStringLiteral("\n\n") + sample.heading() + QLatin1Char('\n') + sample.lines();
    return text;
}

bool confirmUndo(QWidget *window, const JournalCatalogue::Entry &run)
{
    const JournalHeader &h = run.header;
    QString question = QStringLiteral("Undo the change of %1: the field \"%2\" of \"%3\" to %4, %5?\r\r"
                                      "Each row gets its old text back only while it still holds the text the change "
                                      "wrote.")
                           .arg(QLocale::system().toString(h.time.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                               h.field, TableName { h.schema, h.table }.shownText(), h.mode,
                               Messages::counted(run.records, QStringLiteral("record"), QStringLiteral("records")));
    if (h.keyColumns.isEmpty())
        question += QStringLiteral(" The table has no key, so its rows are told apart only by their text: a text "
                                   "goes back only where as many rows hold it as the change wrote, all from one old "
                                   "text, and a row that got the same text from someone else since cannot be told "
                                   "from one the change wrote.");
    if (run.undoneAt)
        question += QStringLiteral(" It was undone once already; undoing it again changes only rows that hold its "
                                   "new text again.");
    return MessageBoxes::instance().ask(window, question, AppTitle::text());
}

bool isRunning()
{
    return running;
}

void startChanging(const Controls &controls)
{
    if (running)
        return;
    RunningGuard guard;
    QWidget *window = controls.window;

    if (!selectionMade(controls))
        return;
    BusyPointer::show();

    // The names are taken once: every statement of the run names the table
    // and field of its own query, whatever the lists show later.
    const LoginFields fields = controls.loginFields ? controls.loginFields() : LoginFields();
    // The run's own connection waits as long as a big change may take; a
    // server that does not answer at all is told by the ordinary timeout first.
    // Any other failure is the run's opening to report.
    if (toldNoAnswer(window, fields))
        return;
    BatchChange::Callbacks callbacks;
    // Every mode text the records were written in, once each.
    QStringList modeTextsUsed;
    callbacks.modeText = [box = controls.modeBox, &modeTextsUsed] {
        const QString text = box->currentText();
        if (!modeTextsUsed.contains(text))
            modeTextsUsed.append(text);
        return text;
    };
    attachWindow(callbacks, controls);
    // The word rules as saved when the run starts, for every record.
    const std::shared_ptr<const WordRules> wordRules = SavedWordRules::rules(SavedWordRules::isOn());
    // Every run keeps its journal, silently.
    const TableName table = TableListRows::tableOfRow(controls.tableList->currentItem());
    const JournalHeader header = JournalHeader::forRun(fields, table, selectedText(controls.fieldList),
        SavedWordRules::modeText(controls.modeBox->currentText(), wordRules != nullptr));
    JournalWriter journal(header);
    journal.attach(callbacks);
    BatchChange change(fields, table, header.field, callbacks);
    change.setWordRules(wordRules);
    const BatchChange::Result result = change.run();

    resetWindow(controls);
    showEndOfChange(controls, result, journal.error(), modeTextsUsed, wordRules.get());
}

} // namespace RunInWindow
