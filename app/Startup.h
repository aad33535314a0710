#pragma once

class QApplication;

// Start-up: creates the login window, runs its load sequence, shows it, and
// runs the program until either window is closed.
namespace Startup {

int run(QApplication &app);

} // namespace Startup
