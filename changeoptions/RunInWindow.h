#pragma once

#include "connection/LoginFields.h"
#include "journal/JournalCatalogue.h"

#include <QString>

#include <functional>
#include <optional>

class QComboBox;
class QTreeWidget;
class QWidget;
class ProgressBar;

// The runs the change options window starts: "Start Changing", the undo
// of a journal and the preview of a change.
namespace RunInWindow {

// What "Start Changing" works on: the change options window's controls.
struct Controls {
    QWidget *window = nullptr;
    LoginFieldsSource loginFields;
    QTreeWidget *tableList = nullptr; // the selected item names the table and keeps its schema
    QTreeWidget *fieldList = nullptr; // the selected item names the field
    QTreeWidget *previewList = nullptr; // converted in place after a clean run
    QComboBox *modeBox = nullptr; // its shown text names the mode, read for every record
    ProgressBar *progressBar = nullptr;
    std::function<void()> refillPreview; // the preview read again from the database
};

// The handler of "Start Changing": the batch change of the selected field with
// the window's progress bar, busy pointer, error reports and messages. A press
// while a run is under way (the run yields to the window system) does nothing.
void startChanging(const Controls &controls);

// Puts back the old texts of a run from its journal, as "Start Changing"
// runs a change: busy pointer, progress bar, a yield per record, each failure
// reported once, then a message of what went back and what was left alone. A
// journal of another database than the login fields reach is refused.
// Returns true when the undo ran to its end.
bool undoChange(const Controls &controls, const QString &journalPath);

// Asks whether to undo the journal's run, naming it and what the undo can
// promise; true for Yes.
bool confirmUndo(QWidget *window, const JournalCatalogue::Entry &run);

// Reads and converts the selected field in the mode shown, as a run would,
// and changes nothing: the counts a run would report and its first changes,
// `old → new` a line. Empty when it did not run (a message said why).
std::optional<QString> previewChange(const Controls &controls, qsizetype shownChanges = 100);

// True while a run is under way.
bool isRunning();

} // namespace RunInWindow
