#pragma once

#include <memory>

class ChangeOptionsHandOver;
class ChangeOptionsSide;
class LoginWindow;
class ChangeOptionsWindow;

// The program's two windows and how they hand over to each other. The login
// window exists from the start; the change options window is created and
// loaded at its first use by "Next >". Both are only hidden and shown
// afterwards, and closing either ends the program.
class WindowFlow {
public:
    WindowFlow();
    ~WindowFlow();
    WindowFlow(const WindowFlow &) = delete;
    WindowFlow &operator=(const WindowFlow &) = delete;

    // Runs the login window's load sequence and then shows the login window,
    // unless the load already moved on to the change options window: only one
    // of the two is ever on screen.
    void start();

    LoginWindow *loginWindow() const { return m_loginWindow.get(); }
    // nullptr until "Next >" first needs it.
    ChangeOptionsWindow *changeOptionsWindow() const { return m_changeOptionsWindow.get(); }

private:
    ChangeOptionsSide *useChangeOptionsWindow();

    std::unique_ptr<LoginWindow> m_loginWindow;
    std::unique_ptr<ChangeOptionsWindow> m_changeOptionsWindow; // goes first: it reads the login window's fields
    std::unique_ptr<ChangeOptionsHandOver> m_handOver; // "Next >" into m_changeOptionsWindow
};
