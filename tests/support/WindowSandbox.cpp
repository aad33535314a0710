#include "support/WindowSandbox.h"

#include "login/HomePageVisit.h"
#include "platform/BusyPointer.h"

#include <QFont>
#include <QFontDatabase>

WindowSandbox::WindowSandbox()
{
    // The windows are laid out for Arial. Where it is missing (Wine's offscreen
    // windows read the host's fonts), Liberation Sans, which keeps its metrics,
    // stands in for it.
    if (!QFontDatabase::families().contains(QStringLiteral("Arial")))
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    HomePageVisit::setRandomSource([] { return 0.5; });
}

WindowSandbox::~WindowSandbox()
{
    HomePageVisit::setRandomSource({});
    BusyPointer::reset();
}
