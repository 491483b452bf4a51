// The portable part of twtask: the record, the command line, quoting and the wait loop.
#include "platform/twtask.h"

#include <limits>
#include <stdexcept>

#include "platform/msgbox.h"
#include "platform/process.h"

namespace pelvarn::twtask {

namespace {

constexpr std::uint32_t TickMs = 250;

TSleepFn& Sleeper() {
    static TSleepFn fn = detail::SystemSleep;
    return fn;
}

} // namespace

TSleepFn SetSleepFn(TSleepFn Fn) {
    TSleepFn previous = Sleeper();
    Sleeper() = Fn ? Fn : detail::SystemSleep;
    return previous;
}

void ClearCmdRec(TCmdRec& Rec) {
    Rec = TCmdRec{};
}

// The same quoting as the job launcher's: both build command lines for one interpreter.
std::string QuoteIfNeeded(std::string_view S) {
    return pelvarn::QuoteIfNeeded(S);
}

std::string CmdLine(const TCmdRec& Rec) {
    return QuoteIfNeeded(Rec.Command) + " " + Rec.Parameters;
}

bool WaitCmd(TCmdRec& Rec) {
    if (Rec.LimitSecs > std::numeric_limits<std::int32_t>::max() / 4 ||
        Rec.LimitSecs < std::numeric_limits<std::int32_t>::min() / 4)
        throw std::overflow_error("time limit of " + std::to_string(Rec.LimitSecs) +
                                  " seconds is out of range");
    const std::int32_t budget = Rec.LimitSecs * 4;
    std::int32_t ticks = 0;
    if (!LaunchCmd(Rec)) return false;
    for (;;) {
        ++ticks;
        if (budget > 0 && ticks > budget) {
            Rec.TimedOut = true;
            detail::TerminateCmd(Rec);
            ErrorBox("Time limit exceeded for:\r\nCommand: " + Rec.Command +
                     "\r\nParameters: " + Rec.Parameters + "\r\nWorkDir: " + Rec.WorkDir +
                     "\r\nLimit: " + std::to_string(Rec.LimitSecs) + " seconds");
            Sleeper()(TickMs);
            detail::ReleaseCmd(Rec);
            Rec.ExitCode = 0;
            return false;
        }
        Sleeper()(TickMs);
        if (CmdFinished(Rec)) return true;
    }
}

bool RunCmdTimed(const std::string& Command, const std::string& Parameters,
                 const std::string& WorkDir, int ShowCmd, int LimitSecs, std::uint32_t& ExitCode) {
    ExitCode = 0;
    TCmdRec rec;
    ClearCmdRec(rec);
    rec.AppName = Command;
    rec.Command = Command;
    rec.Parameters = Parameters;
    rec.WorkDir = WorkDir;
    rec.ShowCmd = ShowCmd;
    rec.LimitSecs = LimitSecs;
    bool ok = false;
    try {
        ok = WaitCmd(rec);
    } catch (...) {
        detail::ReleaseCmd(rec);
        throw;
    }
    ExitCode = ok ? rec.ExitCode : 0;
    ClearCmdRec(rec);
    return ok;
}

} // namespace pelvarn::twtask
