#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon, drawn in code: a database drum with a badge that shows a
// capital and a small letter, for "changes the letter case of a field".
namespace AppIcon {

// The icon at every size the desktop asks for (16 to 256 pixels).
QIcon icon();

// The picture at one size, in pixels.
QPixmap picture(int size);

} // namespace AppIcon
