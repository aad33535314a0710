#include "support/LayoutCheck.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <algorithm>

namespace {

QString nameOf(const QWidget *widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The controls directly inside a window or frame, as the user sees them.
QList<const QWidget *> controlsOf(const QWidget *holder)
{
    QList<const QWidget *> controls;
    for (const QObject *child : holder->children())
        if (const auto *widget = qobject_cast<const QWidget *>(child); widget && !widget->isWindow()
            && !widget->isHidden() && widget->metaObject()->className() != QByteArray("QFocusFrame"))
            controls << widget;
    return controls;
}

// The room a control's own text needs.
int textWidth(const QWidget *control)
{
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->wordWrap() ? 0 : label->sizeHint().width();
    if (const auto *box = qobject_cast<const QCheckBox *>(control))
        return box->sizeHint().width();
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->fontMetrics().horizontalAdvance(button->text()) + 8;
    if (const auto *frame = qobject_cast<const QGroupBox *>(control))
        return frame->fontMetrics().horizontalAdvance(frame->title()) + 16;
    return 0;
}

// Where a control shows something: a label only where its text stands.
QRect shownArea(const QWidget *control)
{
    if (const auto *label = qobject_cast<const QLabel *>(control);
        label && !label->wordWrap() && (label->alignment() & Qt::AlignLeft))
        return QRect(
            label->geometry().topLeft(), QSize(std::min(label->width(), label->sizeHint().width()), label->height()));
    return control->geometry();
}

void check(const QWidget *holder, QStringList &problems)
{
    const QList<const QWidget *> controls = controlsOf(holder);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QWidget *control = controls[i];
        if (!holder->rect().contains(control->geometry()))
            problems << QStringLiteral("%1 reaches out of %2").arg(nameOf(control), nameOf(holder));
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (shownArea(control).intersects(shownArea(controls[j])))
                problems << QStringLiteral("%1 overlaps %2").arg(nameOf(control), nameOf(controls[j]));
        if (textWidth(control) > control->width())
            problems << QStringLiteral("%1 is cut: it needs %2 pixels and has %3")
                            .arg(nameOf(control))
                            .arg(textWidth(control))
                            .arg(control->width());
        if (qobject_cast<const QGroupBox *>(control))
            check(control, problems);
    }
}

} // namespace

QStringList layoutProblems(const QWidget *window)
{
    QStringList problems;
    check(window, problems);
    return problems;
}
