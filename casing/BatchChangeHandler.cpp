#include "casing/BatchChangeHandler.h"

#include "app/ErrorReport.h"
#include "app/FailureTrap.h"
#include "app/MainHelpers.h"
#include "app/ProgramEnd.h"
#include "casing/BatchChange.h"
#include "casing/JournalWriter.h"
#include "casing/PreviewListConversion.h"
#include "connection/MSSQL.h"
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

} // namespace

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
    if (bool noAnswer = false; MSSQL::ConnectionProblem(fields, &noAnswer) && noAnswer) {
        BusyPointer::reset();
        Main::showMessage(window,
            QStringLiteral("The server did not answer within %1 seconds. Nothing was changed.")
                .arg(odbc::Connection::DefaultConnectionTimeout));
        return;
    }
    BatchChange::Callbacks callbacks;
    // Every mode text the records were written in, once each.
    QStringList modeTextsUsed;
    callbacks.modeText = [box = controls.modeBox, &modeTextsUsed] {
        const QString text = box->currentText();
        if (!modeTextsUsed.contains(text))
            modeTextsUsed.append(text);
        return text;
    };
    callbacks.progress = [bar = controls.progressBar](double value) { bar->setValue(value); };
    callbacks.yield = [] { QCoreApplication::processEvents(); };
    callbacks.stop = [] { return ProgramEnd::requested(); };
    callbacks.failure = [window](int line, const QString &description) {
        ErrorReport::show(description, ErrorReport::Form2_PushButton1_Click, line, window);
    };
    // Every run keeps its journal, silently.
    const TableName table = MSSQL::TableOfRow(controls.tableList->currentItem());
    JournalHeader header;
    header.table = table.name;
    header.schema = table.schema;
    header.field = selectedText(controls.fieldList);
    header.server = fields.server;
    header.database = fields.database;
    header.mode = controls.modeBox->currentText();
    JournalWriter journal(header);
    journal.attach(callbacks);
    BatchChange change(fields, table, header.field, callbacks);
    const BatchChange::Result result = change.run();

    BusyPointer::reset();
    controls.progressBar->setValue(0);
    controls.progressBar->setText(QStringLiteral("Progress Bar"));

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
