#include "platform/EventYield.h"

#include <QCoreApplication>

void EventYield::operator()()
{
    if (!m_sinceAsked.isValid() || m_sinceAsked.nsecsElapsed() >= AskEveryNanoseconds) {
        QCoreApplication::processEvents();
        m_sinceAsked.start();
        return;
    }
    QCoreApplication::sendPostedEvents();
}
