#include "platform/BusyPointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace BusyPointer {

namespace {
bool showing = false;
} // namespace

void show()
{
    if (showing)
        return;
    showing = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void reset()
{
    if (!showing)
        return;
    showing = false;
    QGuiApplication::restoreOverrideCursor();
}

bool isShowing()
{
    return showing;
}

} // namespace BusyPointer
