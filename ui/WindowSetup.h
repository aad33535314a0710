#pragma once

class QAbstractButton;
class QWidget;

// What every window of the program sets up the same way.
namespace WindowSetup {

// A window of a fixed size in pixels: close and minimise, no maximise, the
// program's text font, centred on the primary screen once its controls are built.
void makeFixedWindow(QWidget *window, int width, int height);

// Enter and Return click the button while it has the focus, as on Windows.
void clickOnEnter(QAbstractButton *button);

// Places a window in the middle of the primary screen.
void centreOnScreen(QWidget *window);

// Places a window in the middle of another, wholly inside the screen that
// shows the other.
void centreOver(QWidget *window, const QWidget *over);

// Shows a window of the program's over another, centred on it the first time
// it shows, raised and active.
void present(QWidget *window, const QWidget *over);

// Escape closes the window.
void closeOnEscape(QWidget *window);

} // namespace WindowSetup
