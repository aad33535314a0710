#include "platform/ProgressBar.h"

#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

ProgressBar::ProgressBar(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

namespace {

// The frame, and the filled part's place inside it.
QRectF frameOf(const QRect &rect)
{
    return QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
}

QRectF insideOf(const QRectF &frame)
{
    return frame.adjusted(2, 2, -2, -2);
}

} // namespace

int ProgressBar::filledPixels(double value) const
{
    return int(std::lround(insideOf(frameOf(rect())).width() * devicePixelRatioF() * value / 100.0));
}

void ProgressBar::setValue(double value)
{
    const double clamped = std::clamp(value, 0.0, 100.0);
    if (clamped == m_value)
        return;
    const bool redraw = filledPixels(clamped) != filledPixels(m_value);
    m_value = clamped;
    if (redraw)
        update();
}

void ProgressBar::setText(const QString &text)
{
    if (text == m_text)
        return;
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
    const QRectF frame = frameOf(rect());
    const QPalette pal = palette();

    painter.setPen(pal.color(QPalette::Mid));
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawRoundedRect(frame, 3, 3);

    if (const int pixels = filledPixels(m_value); pixels > 0) {
        QRectF filled = insideOf(frame);
        filled.setWidth(pixels / devicePixelRatioF());
        painter.setPen(Qt::NoPen);
        painter.setBrush(pal.color(QPalette::Highlight));
        painter.drawRoundedRect(filled, 2, 2);
    }

    if (!m_text.isEmpty()) {
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter, m_text);
    }
}
