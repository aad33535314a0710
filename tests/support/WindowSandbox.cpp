#include "support/WindowSandbox.h"

#include "app/HomePageVisit.h"
#include "platform/BusyPointer.h"

WindowSandbox::WindowSandbox()
{
    HomePageVisit::setRandomSource([] { return 0.5; });
}

WindowSandbox::~WindowSandbox()
{
    HomePageVisit::setRandomSource({});
    BusyPointer::reset();
}
