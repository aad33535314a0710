#include "platform/ProgressBar.h"

#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

ProgressBar::ProgressBar(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_nextFrame.setSingleShot(true);
    connect(&m_nextFrame, &QTimer::timeout, this, qOverload<>(&QWidget::update));
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
    const int pixels = filledPixels(clamped);
    m_value = clamped;
    if (pixels != m_pixels) {
        m_pixels = pixels;
        repaintSoon();
    }
}

void ProgressBar::repaintSoon()
{
    if (m_nextFrame.isActive())
        return;
    const qint64 since = m_sincePainted.isValid() ? m_sincePainted.elapsed() : FrameMilliseconds;
    if (since >= FrameMilliseconds)
        update();
    else
        m_nextFrame.start(int(FrameMilliseconds - since));
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

void ProgressBar::resizeEvent(QResizeEvent *)
{
    m_pixels = filledPixels(m_value);
}

const QPixmap &ProgressBar::emptyBar()
{
    const qreal scale = devicePixelRatioF();
    const QSize pixels = size() * scale;
    if (m_empty.size() != pixels || m_empty.devicePixelRatio() != scale || m_emptyPalette != palette().cacheKey()) {
        m_empty = QPixmap(pixels);
        m_empty.setDevicePixelRatio(scale);
        m_empty.fill(Qt::transparent);
        QPainter painter(&m_empty);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(palette().color(QPalette::Mid));
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(frameOf(rect()), 3, 3);
        m_emptyPalette = palette().cacheKey();
    }
    return m_empty;
}

void ProgressBar::paintEvent(QPaintEvent *)
{
    m_sincePainted.start();
    const QPixmap &empty = emptyBar();
    QPainter painter(this);
    painter.drawPixmap(0, 0, empty);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = frameOf(rect());
    const QPalette pal = palette();

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
