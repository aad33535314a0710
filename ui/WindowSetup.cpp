#include "ui/WindowSetup.h"

#include "ui/WindowDesign.h"

#include <QAbstractButton>
#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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

void centreOver(QWidget *window, const QWidget *over)
{
    const QScreen *screen = over->screen() ? over->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame the window system adds is not known before it is shown: the
    // title bar is allowed for.
    const QSize margins = (window->frameGeometry().size() - window->size()).expandedTo(QSize(16, 40));
    // A window larger than the screen is made to fit it.
    if (window->minimumSize().boundedTo(available.size() - margins) == window->minimumSize())
        window->resize(window->size().boundedTo(available.size() - margins));
    QRect frame(QPoint(), window->size() + margins);
    frame.moveCenter(over->frameGeometry().center());
    frame.moveLeft(std::clamp(frame.left(), available.left(), available.right() - frame.width() + 1));
    frame.moveTop(std::clamp(frame.top(), available.top(), available.bottom() - frame.height() + 1));
    window->move(frame.topLeft());
}

void present(QWidget *window, const QWidget *over)
{
    if (!window->isVisible())
        centreOver(window, over);
    window->show();
    window->raise();
    window->activateWindow();
}

void closeOnEscape(QWidget *window)
{
    auto *close = new QAction(window);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
    window->addAction(close);
}

} // namespace WindowSetup
