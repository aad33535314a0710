#pragma once

// The busy pointer (hourglass) over the whole program while a handler works
// with the database. It overrides every widget's own pointer, so no hand or
// default pointer replaces it until it is reset.
namespace BusyPointer {

void show(); // shows the busy pointer (once, however often it is called)
void reset(); // back to the widgets' own pointers
bool isShowing();

// Shows the busy pointer while it lives.
class Scope {
public:
    Scope()
        : m_wasShowing(isShowing())
    {
        show();
    }
    ~Scope()
    {
        if (!m_wasShowing)
            reset();
    }
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    bool m_wasShowing;
};

// Takes the busy pointer away while it lives, for a box that waits for the
// user, and brings it back afterwards if it was showing.
class Pause {
public:
    Pause()
        : m_wasShowing(isShowing())
    {
        reset();
    }
    ~Pause()
    {
        if (m_wasShowing)
            show();
    }
    Pause(const Pause &) = delete;
    Pause &operator=(const Pause &) = delete;

private:
    bool m_wasShowing;
};

} // namespace BusyPointer
