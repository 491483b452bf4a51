// pelvarn-cli cputime LOG: reads the CPU time of a job log as the search does.
#include "base/textutil.h"
#include "cli/cli.h"
#include "platform/fileio.h"
#include "sti/cputime.h"

namespace pelvarn::cli {

namespace {

int RunCpuTime(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("cputime");
    if (args.size() != 1)
        return UsageError(self, args.empty() ? "missing LOG" : "too many arguments");
    if (!args[0].empty() && args[0][0] == '-') return UsageError(self, "unknown option " + args[0]);
    float seconds = 0.0f;
    std::string msg;
    bool ok = false;
    try {
        ok = GetCPUTime(args[0], seconds, msg);
    } catch (const TFileError& e) { // a read error after the log was opened
        msg = e.what();
    }
    if (!ok) {
        Err(PlainMessage(msg) + "\n");
        return 1;
    }
    Out(FormatFixed(seconds, 1) + "\n");
    return ExitOk;
}

const TCliRegistration registration{{
    "cputime",
    "read the CPU time from a job log",
    "Usage: pelvarn-cli cputime LOG\n\n"
    "Reads the first line of LOG holding \"Total CPU is\" and prints the seconds it\n"
    "reports, with one decimal, as the run log shows them.\n\n"
    "LOG must be a regular file; a folder, named pipe or device is refused.\n\n"
    "Exit status: 0 a time was read; 1 no time could be read: LOG missing, unreadable\n"
    "or not a regular file, no \"Total CPU is\" line, or a time that is no number, is\n"
    "below zero or out of range (the reason on standard error); 64 wrong arguments;\n"
    "70 an internal error.\n",
    RunCpuTime,
}};

} // namespace
} // namespace pelvarn::cli
