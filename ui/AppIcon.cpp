#include "ui/AppIcon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace AppIcon {

namespace {

const QColor TileTop(0x2b, 0x8c, 0x96);
const QColor TileBottom(0x12, 0x4a, 0x52);
const QColor Drum(0xf5, 0xf2, 0xe9);
const QColor DrumShade(0xd6, 0xd0, 0xc0);
const QColor DrumBand(0x1b, 0x62, 0x6a);
const QColor Badge(0xf2, 0xa3, 0x2c);
const QColor BadgeEdge(0xb8, 0x6e, 0x0c);
const QColor Ink(0x22, 0x22, 0x22);

void drawTile(QPainter &p, qreal s)
{
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, TileTop);
    fill.setColorAt(1, TileBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    const qreal inset = s * 0.03;
    p.drawRoundedRect(QRectF(inset, inset, s - 2 * inset, s - 2 * inset), s * 0.18, s * 0.18);
}

// A drum of three stacked discs, seen slightly from above.
void drawDrum(QPainter &p, qreal s)
{
    const qreal left = s * 0.17, width = s * 0.52;
    const qreal top = s * 0.14, bottom = s * 0.80;
    const qreal lid = s * 0.15; // height of the elliptic top

    QLinearGradient body(left, 0, left + width, 0);
    body.setColorAt(0, DrumShade);
    body.setColorAt(0.35, Drum);
    body.setColorAt(1, DrumShade);

    QPainterPath outline;
    outline.moveTo(left, top + lid / 2);
    outline.lineTo(left, bottom - lid / 2);
    outline.arcTo(QRectF(left, bottom - lid, width, lid), 180, 180);
    outline.lineTo(left + width, top + lid / 2);
    outline.arcTo(QRectF(left, top, width, lid), 0, 180);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawPath(outline);

    QPen band(DrumBand, qMax<qreal>(1.0, s * 0.035));
    band.setCapStyle(Qt::FlatCap);
    p.setBrush(Qt::NoBrush);
    p.setPen(band);
    const qreal step = (bottom - top - lid) / 3;
    for (int i = 1; i <= 2; ++i)
        p.drawArc(QRectF(left, top + i * step, width, lid), 180 * 16, 180 * 16);

    p.setPen(Qt::NoPen);
    p.setBrush(Drum);
    p.drawEllipse(QRectF(left, top, width, lid));
    p.setPen(QPen(DrumShade, qMax<qreal>(1.0, s * 0.02)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(left, top, width, lid));
}

// The round badge with "Aa"; too small to read below 32 pixels, so it stays a plain disc there.
void drawBadge(QPainter &p, qreal s)
{
    const QRectF disc(s * 0.46, s * 0.46, s * 0.48, s * 0.48);
    p.setPen(QPen(BadgeEdge, qMax<qreal>(1.0, s * 0.03)));
    p.setBrush(Badge);
    p.drawEllipse(disc);
    if (s < 32)
        return;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(qMax(6, int(s * 0.25)));
    p.setFont(font);
    p.setPen(Ink);
    p.drawText(disc, Qt::AlignCenter, QStringLiteral("Aa"));
}

} // namespace

QPixmap picture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawTile(p, size);
    drawDrum(p, size);
    drawBadge(p, size);
    return pixmap;
}

QIcon icon()
{
    QIcon icon;
    for (int size : { 16, 24, 32, 48, 64, 128, 256 })
        icon.addPixmap(picture(size));
    return icon;
}

} // namespace AppIcon
