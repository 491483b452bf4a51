// Console services for the headless front end.
#pragma once

namespace pelvarn {

// Standard output and error pass bytes through unchanged (no LF to CR LF translation),
// so the command-line front end prints the same bytes on every OS.
void UseBinaryStdio();

// True when standard error is a terminal (a console on Windows), where a progress line may
// be rewritten in place.
bool StderrIsTerminal();

// From now on Ctrl+C (SIGINT on POSIX, the console's Ctrl+C and Ctrl+Break on Windows) no
// longer ends the program: each press is counted instead.
void InstallInterruptHandler();
// Presses counted since InstallInterruptHandler.
int InterruptCount();

} // namespace pelvarn
