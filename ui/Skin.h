#pragma once

#include <QColor>
#include <QString>

class QWidget;
class SkinEngine;

// The program's look: the button-face colour on windows and their plain
// controls, and the optional skin beside the program.
namespace Skin {

// The desktop's button-face colour (the application palette's Button colour).
QColor buttonFaceColour();

// Gives the window and its option buttons, check boxes, frames and labels the
// button-face colour as background, in the window's control order. Other
// controls keep their own colours.
void setFaceColours(QWidget *window);

// The skin file beside the program, "x/o.cjs".
QString skinFilePath();
// True for a file that is neither a folder nor hidden; such a file counts as present.
bool isOrdinaryFile(const QString &path);

// When the skin file is present: the face colours on the login window, then the
// skin engine loads the file, skins the whole program with the skin's palette on
// the common style, and is applied to the login window, which then takes the
// skin's button face. A missing file does nothing; a skin that fails to load
// throws Failure after the desktop's face colours are set.
void applySkin(QWidget *loginWindow, SkinEngine &engine);

} // namespace Skin
