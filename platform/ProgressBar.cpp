#include "platform/ProgressBar.h"

#include <QPainter>
#include <QStyleOption>

#include <algorithm>

ProgressBar::ProgressBar(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ProgressBar::setValue(double value)
{
    const double clamped = std::clamp(value, 0.0, 100.0);
    if (clamped == m_value)
        return;
    m_value = clamped;
    update();
}

void ProgressBar::setText(const QString &text)
{
    m_text = text;
    update();
}

QSize ProgressBar::sizeHint() const
{
    return { 200, fontMetrics().height() + 10 };
}

void ProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPalette pal = palette();

    painter.setPen(pal.color(QPalette::Mid));
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawRoundedRect(frame, 3, 3);

    if (m_value > 0) {
        QRectF filled = frame.adjusted(2, 2, -2, -2);
        filled.setWidth(filled.width() * m_value / 100.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(pal.color(QPalette::Highlight));
        painter.drawRoundedRect(filled, 2, 2);
    }

    if (!m_text.isEmpty()) {
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter, m_text);
    }
}
