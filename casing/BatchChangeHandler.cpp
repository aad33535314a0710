#include "casing/BatchChangeHandler.h"

#include "app/ErrorReport.h"
#include "app/FailureTrap.h"
#include "app/MainHelpers.h"
#include "app/ProgramEnd.h"
#include "casing/BatchChange.h"
#include "casing/PreviewListConversion.h"
#include "connection/MSSQL.h"
#include "journal/JournalCatalogue.h"
#include "journal/JournalReader.h"
#include "journal/JournalUndo.h"
#include "journal/JournalWriter.h"
#include "platform/BusyPointer.h"
#include "platform/ProgressBar.h"
#include "platform/odbc/Connection.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QTreeWidget>

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
void attachWindow(BatchChange::Callbacks &callbacks, const BatchChangeControls &controls)
{
    QWidget *window = controls.window;
    callbacks.progress = [bar = controls.progressBar](double value) { bar->setValue(value); };
    callbacks.yield = [] { QCoreApplication::processEvents(); };
    callbacks.stop = [] { return ProgramEnd::requested(); };
    callbacks.failure = [window](int line, const QString &description) {
        ErrorReport::show(description, ErrorReport::Form2_PushButton1_Click, line, window);
    };
}

void resetWindow(const BatchChangeControls &controls)
{
    BusyPointer::reset();
    controls.progressBar->setValue(0);
    controls.progressBar->setText(QStringLiteral("Progress Bar"));
}

// A server that does not answer at all is told by the ordinary timeout,
// before a run's long ones; true when it was (and the pointer is reset).
bool toldNoAnswer(QWidget *window, const LoginFields &fields)
{
    if (bool noAnswer = false; MSSQL::ConnectionProblem(fields, &noAnswer) && noAnswer) {
        BusyPointer::reset();
        Main::showMessage(window,
            QStringLiteral("The server did not answer within %1 seconds. Nothing was changed.")
                .arg(odbc::Connection::DefaultConnectionTimeout));
        return true;
    }
    return false;
}

} // namespace

bool UndoChange(const BatchChangeControls &controls, const QString &journalPath)
{
    if (running)
        return false;
    RunningGuard guard;
    QWidget *window = controls.window;
    const LoginFields fields = controls.loginFields ? controls.loginFields() : LoginFields();
    JournalReader journal;
    if (!journal.read(journalPath)) {
        Main::showMessage(window, journal.error() + QStringLiteral(" Nothing was changed."));
        return false;
    }
    if (const QString elsewhere = JournalUndo::elsewhere(journal.header(), fields); !elsewhere.isEmpty()) {
        Main::showMessage(window,
            QStringLiteral("This run cannot be undone here: %1 Log in to its database to undo it.").arg(elsewhere));
        return false;
    }
    BusyPointer::show();
    if (toldNoAnswer(window, fields))
        return false;
    BatchChange::Callbacks callbacks;
    attachWindow(callbacks, controls);
    JournalUndo undo(journal, fields);
    undo.attach(callbacks);
    BatchChange change(fields, { journal.header().schema, journal.header().table }, journal.header().field, callbacks);
    const BatchChange::Result result = change.run();
    resetWindow(controls);

    switch (result.outcome) {
    case BatchChange::Outcome::NotStarted:
    case BatchChange::Outcome::Stopped:
        return false;
    case BatchChange::Outcome::Refused:
        Main::showMessage(window, result.refusal);
        return false;
    case BatchChange::Outcome::Declined:
        Main::showMessage(window, undo.refusal());
        return false;
    case BatchChange::Outcome::Finished:
    case BatchChange::Outcome::EndedByFailure:
        break;
    }
    if (controls.refillPreview)
        FailureTrap(ErrorReport::Form2_PushButton1_Click, window).step(LinePreviewRefill, controls.refillPreview);
    const bool whole = result.outcome == BatchChange::Outcome::Finished;
    if (whole)
        JournalCatalogue::markUndone(journalPath, QDateTime::currentDateTimeUtc());
    QString text = undo.describe(result);
    if (result.unchanged() > 0)
        text += QLatin1Char(' ') + describeUnchanged(result);
    Main::showMessage(window, text);
    return whole;
}

std::optional<QString> PreviewChange(const BatchChangeControls &controls, qsizetype shownChanges)
{
    if (running)
        return std::nullopt;
    RunningGuard guard;
    QWidget *window = controls.window;
    if (controls.fieldList->topLevelItemCount() == 0) {
        Main::showMessage(window, QStringLiteral("Please select a field."));
        return std::nullopt;
    }
    const QString modeText = controls.modeBox->currentText();
    if (!Case::ModeOf(modeText)) {
        Main::showMessage(window, QStringLiteral("Please select a change option."));
        return std::nullopt;
    }
    const LoginFields fields = controls.loginFields ? controls.loginFields() : LoginFields();
    BusyPointer::show();
    if (toldNoAnswer(window, fields))
        return std::nullopt;
    BatchChange::Callbacks callbacks;
    attachWindow(callbacks, controls);
    // The mode shown when the look began, for every record.
    callbacks.modeText = [modeText] { return modeText; };
    QList<PlannedChange> firstChanges;
    callbacks.beforeSend = [&](const QList<PlannedChange> &records) {
        firstChanges += records.first(std::min<qsizetype>(records.size(), shownChanges - firstChanges.size()));
        return true;
    };
    BatchChange change(
        fields, MSSQL::TableOfRow(controls.tableList->currentItem()), selectedText(controls.fieldList), callbacks);
    change.setDryRun(true);
    const BatchChange::Result result = change.run();
    resetWindow(controls);
    if (result.outcome == BatchChange::Outcome::Refused)
        Main::showMessage(window, result.refusal);
    if (result.outcome != BatchChange::Outcome::Finished)
        return std::nullopt;
    QString text
        = QStringLiteral("Nothing was changed. In %1, a run would report:\n").arg(modeText) + describeCounts(result);
    if (!firstChanges.isEmpty())
        text += firstChanges.size() < shownChanges ? QStringLiteral("\n\nThe changes:\n")
                                                   : QStringLiteral("\n\nThe first %1 changes:\n").arg(shownChanges);
    for (const PlannedChange &planned : std::as_const(firstChanges))
        text += Main::visibleText(planned.oldText) + QStringLiteral(" \u2192 ") + Main::visibleText(planned.newText)
            + QLatin1Char('\n');
    return text;
}

bool isChangingCase()
{
    return running;
}

void StartChanging(const BatchChangeControls &controls)
{
    if (running)
        return;
    RunningGuard guard;
    QWidget *window = controls.window;

    if (controls.fieldList->topLevelItemCount() == 0) {
        Main::showMessage(window, QStringLiteral("Please select a field."));
        return;
    }
    // A run without a mode would read every record and change none of them.
    if (!Case::ModeOf(controls.modeBox->currentText())) {
        Main::showMessage(window, QStringLiteral("Please select a change option."));
        return;
    }
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
    // Every run keeps its journal, silently.
    const TableName table = MSSQL::TableOfRow(controls.tableList->currentItem());
    const JournalHeader header
        = JournalHeader::forRun(fields, table, selectedText(controls.fieldList), controls.modeBox->currentText());
    JournalWriter journal(header);
    journal.attach(callbacks);
    BatchChange change(fields, table, header.field, callbacks);
    const BatchChange::Result result = change.run();

    resetWindow(controls);

    // A run that never reached its first record has said why; the preview
    // still shows what the database holds.
    // A run stopped because the program is ending says nothing more.
    if (result.outcome == BatchChange::Outcome::NotStarted || result.outcome == BatchChange::Outcome::Stopped)
        return;
    if (result.outcome == BatchChange::Outcome::Refused) {
        Main::showMessage(window, result.refusal);
        return;
    }
    if (result.outcome == BatchChange::Outcome::Declined) {
        if (result.recordsChanged > 0 && controls.refillPreview)
            FailureTrap(ErrorReport::Form2_PushButton1_Click, window).step(LinePreviewRefill, controls.refillPreview);
        Main::showMessage(window, journal.error());
        return;
    }
    QCoreApplication::processEvents();

    FailureTrap trap(ErrorReport::Form2_PushButton1_Click, window);
    if (result.unchanged() > 0) {
        // Some rows kept their old text: only the database knows what the preview should show.
        if (controls.refillPreview)
            trap.step(LinePreviewRefill, controls.refillPreview);
        Main::showMessage(window, describeUnchanged(result));
        return;
    }
    const std::optional<Case::Mode> mode = Case::ModeOf(controls.modeBox->currentText());
    // Converting the preview in place shows what was written only when every
    // record was written in the mode the box shows now; after a change of mode
    // part way the preview is read again instead.
    bool oneMode = true;
    for (const QString &used : std::as_const(modeTextsUsed))
        oneMode = oneMode && Case::ModeOf(used) == mode;
    if (mode && !oneMode && controls.refillPreview)
        trap.step(LinePreviewRefill, controls.refillPreview);
    else if (mode)
        trap.step(previewConversionLine(*mode), [&] { ConvertPreviewList(controls.previewList, *mode); });
    else
        trap.step(LineMessUp, [&] { Main::showMessage(window, QStringLiteral("mess up")); });
    trap.step(LineDone, [&] { Main::showMessage(window, QStringLiteral("Done.")); });
}
