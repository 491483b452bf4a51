// Starts one external program and waits on the caller's thread, in 250 ms sleeps that
// dispatch no window messages, until it ends or a time limit runs out. The unit carries its
// own quoting and error texts; failures are shown through the program's error box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelvarn::twtask {

// What identifies the started process: handles and ids on Windows, the pid on POSIX.
struct TCmdProcInfo {
    void* hProcess = nullptr;
    void* hThread = nullptr;
    std::uint32_t ProcessId = 0;
    std::uint32_t ThreadId = 0;
};

// One call's record; it lives on the stack of RunCmdTimed.
struct TCmdRec {
    std::string AppName;      // the command again, for reference; never handed to the system
    std::string Command;      // program to start (path or bare name)
    std::string Parameters;   // text after the program on the command line
    std::string WorkDir;      // folder the process starts in
    std::int32_t ShowCmd = 0; // window show state (must fit in 16 bits)
    TCmdProcInfo ProcInfo;
    std::uint32_t ExitCode = 0; // the process's own exit code once it has ended by itself
    std::int32_t LimitSecs = 0; // whole seconds; 0 or less means no limit
    bool TimedOut = false;
};

// Empties the strings and zeroes everything else.
void ClearCmdRec(TCmdRec& Rec);

// Runs Command with Parameters in WorkDir. True when the process started and ended by itself
// (ExitCode is then its exit code); false when it could not be started or was ended at the
// limit (ExitCode 0), after the error box. Throws std::out_of_range for a ShowCmd outside
// 0..65535 and std::overflow_error when LimitSecs*4 does not fit in 32 bits, before
// anything starts.
bool RunCmdTimed(const std::string& Command, const std::string& Parameters,
                 const std::string& WorkDir, int ShowCmd, int LimitSecs, std::uint32_t& ExitCode);

// The start-and-poll loop: one tick per 250 ms; over the limit the process is ended (exit
// code 3, only that process) and the "Time limit exceeded for:" box shown.
bool WaitCmd(TCmdRec& Rec);
// Starts the process; shows the "LaunchCmd error:" box and gives false when it cannot.
bool LaunchCmd(TCmdRec& Rec);
// Non-blocking: true when the process has ended (exit code stored, handles released).
bool CmdFinished(TCmdRec& Rec);

// The command line LaunchCmd sends: QuoteIfNeeded(Command), one blank (always), Parameters.
std::string CmdLine(const TCmdRec& Rec);
// Wraps one item in double quotes when it holds a blank or one of & ( ) < > @ ^ and is not
// already quoted; the item is trimmed first.
std::string QuoteIfNeeded(std::string_view S);

// The system's message for an error code ("errcod=0" for 0; "format message error" when
// the system has none), and for the calling thread's last error.
std::string SysErrorText(std::int32_t Code);
std::string LastErrorText();

// The wait's sleep, replaceable so that tests can count the polls; returns the previous one.
using TSleepFn = void (*)(std::uint32_t Ms);
TSleepFn SetSleepFn(TSleepFn Fn);

namespace detail {
// Ends the started process with exit code 3 (does not release it).
void TerminateCmd(TCmdRec& Rec);
// Releases what identifies the process and zeroes it.
void ReleaseCmd(TCmdRec& Rec);
void SystemSleep(std::uint32_t Ms);
} // namespace detail

} // namespace pelvarn::twtask
