#pragma once

#include <functional>

// The rare visit to the maker's home page at start-up: about one start in a
// hundred opens it in the web browser.
namespace HomePageVisit {

// Gives a uniform number in [0, 1).
using RandomSource = std::function<double()>;

// Tests force the draw; an empty source restores the generator seeded from the time of day.
void setRandomSource(RandomSource source);

// A whole number from 1 to 100.
int draw();

// The number that opens the home page.
inline constexpr int Winner = 7;

// Makes the draw and, on the winning number, asks the desktop to open the home
// page (nothing when the build left the address empty). Throws Failure when the
// desktop cannot even be asked.
void run();

} // namespace HomePageVisit
