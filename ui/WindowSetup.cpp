#include "ui/WindowSetup.h"

#include "ui/WindowDesign.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>

namespace WindowSetup {

namespace {

class EnterClicks final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (auto *button = qobject_cast<QAbstractButton *>(watched);
                button && (key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
                button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void makeFixedWindow(QWidget *window, int width, int height)
{
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    window->setFixedSize(width, height);
    window->setFont(WindowDesign::textFont());
}

void clickOnEnter(QAbstractButton *button)
{
    button->installEventFilter(new EnterClicks(button));
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

} // namespace WindowSetup
