#pragma once

// Ending the program from a window's close box. The event loop stops, and work
// that yields to the window system (a fill, a batch change) stops at its next
// yield instead of running on behind closed windows.
namespace ProgramEnd {

void request(int exitCode = 0);
bool requested();
// Forgets an earlier request (a new event loop, as in tests).
void reset();

} // namespace ProgramEnd
