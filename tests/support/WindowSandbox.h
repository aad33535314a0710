#pragma once

#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "support/TestEnvironment.h"

// What a window test keeps away from the desktop while it lives: private
// settings and program folder, message boxes and shell requests recorded, no
// visit to the home page, and the pointer put back at its end.
struct WindowSandbox {
    WindowSandbox();
    ~WindowSandbox();

    TestEnvironment env;
    RecordingMessageBoxes boxes;
    RecordingShell shell;
};
