#pragma once

#include <QCoreApplication>
#include <QEvent>

// Counts the passes of the event loop from its construction on: each pass
// delivers the one event posted in the pass before, and the handler posts the next.
class YieldCounter : public QObject {
public:
    YieldCounter()
    {
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        passes = 0;
    }

    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++passes;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }

    int passes = 0;
};
