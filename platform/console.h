// Console services for the headless front end.
#pragma once

namespace pelvarn {

// Standard output and error pass bytes through unchanged (no LF to CR LF translation),
// so the command-line front end prints the same bytes on every OS.
void UseBinaryStdio();

// From now on Ctrl+C (SIGINT on POSIX, the console's Ctrl+C and Ctrl+Break on Windows) no
// longer ends the program: each press is counted instead.
void InstallInterruptHandler();
// Presses counted since InstallInterruptHandler.
int InterruptCount();

// While one lives, programs started by this process do not receive the console's Ctrl+C
// (POSIX: SIGINT is blocked, and a child inherits the blocked mask; Windows: Ctrl+C is
// ignored, which a child inherits). Presses made meanwhile are counted when it ends.
class TInterruptShield {
  public:
    TInterruptShield();
    ~TInterruptShield();
    TInterruptShield(const TInterruptShield&) = delete;
    TInterruptShield& operator=(const TInterruptShield&) = delete;
};

} // namespace pelvarn
