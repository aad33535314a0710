#pragma once

#include <QFont>
#include <QRect>
#include <QString>

// The windows are designed in twips, 15 to a pixel, with their text in Arial bold.
namespace WindowDesign {

constexpr int pixels(int twips)
{
    return (twips + 7) / 15;
}

inline QRect twips(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

inline QFont arialBold(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

// Boxes, labels, lists and frames; push buttons.
inline QFont textFont()
{
    return arialBold(9);
}
inline QFont buttonFont()
{
    return arialBold(11.25);
}

} // namespace WindowDesign
