#pragma once

#include <QElapsedTimer>

// The yield a run in the window makes for every record it visits. The events
// the program posted itself (a repaint of the progress bar, a queued call)
// run at every yield; the window system's own (the pointer, the keys, what
// is to be painted again) and the timers, at the first yield and then at the
// first yield after half a millisecond since it last asked. Asking the window
// system for its events is a system call, which can take longer than a fast
// engine takes for a record.
class EventYield {
public:
    void operator()();

    static constexpr qint64 AskEveryNanoseconds = 500000;

private:
    QElapsedTimer m_sinceAsked;
};
