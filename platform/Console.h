#pragma once

// The command line's console. On Windows the program is a window program, which
// gets no console of its own: the command line writes to the console of the
// prompt it was started from, unless its output goes to a file or a pipe.
namespace Console {

// Connects standard input, output and error to the caller's console where
// they lead nowhere. Does nothing elsewhere than on Windows.
void attachToCaller();

} // namespace Console
