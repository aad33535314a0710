#pragma once

#include "connection/LoginFields.h"

#include <functional>

class QComboBox;
class QTreeWidget;
class QWidget;
class ProgressBar;

// What "Start Changing" works on: the change options window's controls.
struct BatchChangeControls {
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
void StartChanging(const BatchChangeControls &controls);

// True while a run is under way.
bool isChangingCase();
