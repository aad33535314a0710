#include "ui/Skin.h"

#include "common/ProgramFiles.h"
#include "platform/SkinEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace Skin {

namespace {

bool isPlainControl(const QWidget *control)
{
    return qobject_cast<const QRadioButton *>(control) || qobject_cast<const QCheckBox *>(control)
        || qobject_cast<const QGroupBox *>(control) || qobject_cast<const QLabel *>(control);
}

void giveBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(widget->backgroundRole(), colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

QColor buttonFaceColour()
{
    return QApplication::palette().color(QPalette::Button);
}

void setFaceColours(QWidget *window)
{
    const QColor face = buttonFaceColour();
    giveBackground(window, face);
    const auto controls = window->findChildren<QWidget *>();
    for (QWidget *control : controls)
        if (isPlainControl(control))
            giveBackground(control, face);
}

QString skinFilePath()
{
    return ProgramFiles::besideProgram(QStringLiteral("x/o.cjs"));
}

bool isOrdinaryFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

void applySkin(QWidget *loginWindow, SkinEngine &engine)
{
    const QString path = skinFilePath();
    if (!isOrdinaryFile(path))
        return;
    setFaceColours(loginWindow);
    engine.load(path, QString());
    engine.setOptions(engine.options() | SkinEngine::SkinWholeProgram);
    engine.setUseSkinPalette(true);
    engine.setUseCommonStyle(true);
    engine.apply(loginWindow);
    // The skin's palette brings its own button face: the login window takes
    // that one, as the change options window does when it loads.
    setFaceColours(loginWindow);
}

} // namespace Skin
