#pragma once

#include "platform/Failure.h"

#include <QString>

#include <exception>
#include <utility>

class QWidget;

// The failure trap of a reporting handler. Each numbered step runs through it:
// a failure shows the error report with the step's number and the handler goes
// on with its next step. A condition that fails counts as true, so the block it
// guards runs, as the report's "carry on" rule says.
//
//     FailureTrap trap(ErrorReport::ChangeOptionsLoad, this);
//     trap.step(102, [&] { setFaceColours(this); });
//     if (trap.test(106, [&] { return ProgramFiles::fileExists(path); }))
//         trap.step(108, [&] { loadCursor(path); });
class FailureTrap {
public:
    explicit FailureTrap(QString location, QWidget *parent = nullptr)
        : m_location(std::move(location))
        , m_parent(parent)
    {
    }

    template <typename Step>
    void step(int line, Step &&run)
    {
        m_line = line;
        try {
            std::forward<Step>(run)();
        } catch (const std::exception &e) {
            report(describeFailure(e));
        }
    }

    template <typename Condition>
    bool test(int line, Condition &&condition)
    {
        m_line = line;
        try {
            return bool(std::forward<Condition>(condition)());
        } catch (const std::exception &e) {
            report(describeFailure(e));
            return true;
        }
    }

    // Reports a failure found without an exception, at the current line.
    void report(const QString &description);

    int line() const { return m_line; }
    int failures() const { return m_failures; }

private:
    QString m_location;
    QWidget *m_parent;
    int m_line = 0;
    int m_failures = 0;
};
