// twtask on POSIX, for the headless front end: posix_spawnp of the command line split at
// blanks outside double quotes, polled with non-blocking waits. A child ended by a signal
// counts with exit code 128 + the signal's number, as a shell reports it.
#include "platform/twtask.h"

#include <cerrno>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "platform/cmdsplit.h"
#include "platform/msgbox.h"

extern char** environ;

namespace pelvarn::twtask {

namespace {

thread_local int LastError = 0;

bool Fail(TCmdRec& Rec, const std::string& line, int err) {
    LastError = err;
    ErrorBox("LaunchCmd error:\r\n" + SysErrorText(err) + "\r\nSent: " + line +
             "\r\nWorkDir: " + Rec.WorkDir);
    return false;
}

} // namespace

namespace detail {

void TerminateCmd(TCmdRec& Rec) {
    if (Rec.ProcInfo.ProcessId) kill(static_cast<pid_t>(Rec.ProcInfo.ProcessId), SIGKILL);
}

void ReleaseCmd(TCmdRec& Rec) {
    if (Rec.ProcInfo.ProcessId) {
        int status = 0;
        while (waitpid(static_cast<pid_t>(Rec.ProcInfo.ProcessId), &status, 0) < 0 &&
               errno == EINTR) {
        }
    }
    Rec.ProcInfo = TCmdProcInfo{};
}

void SystemSleep(std::uint32_t Ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

} // namespace detail

bool LaunchCmd(TCmdRec& Rec) {
    if (Rec.ShowCmd < 0 || Rec.ShowCmd > 65535)
        throw std::out_of_range("show state " + std::to_string(Rec.ShowCmd) +
                                " does not fit in 16 bits");
    const std::string line = CmdLine(Rec);
    std::vector<std::string> args = SplitCommandLine(line);
    if (args.empty() || args.front().empty()) return Fail(Rec, line, ENOENT);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (int err = posix_spawn_file_actions_init(&actions); err != 0) return Fail(Rec, line, err);
    if (!Rec.WorkDir.empty()) {
        if (int err = posix_spawn_file_actions_addchdir_np(&actions, Rec.WorkDir.c_str());
            err != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return Fail(Rec, line, err);
        }
    }
    pid_t pid = 0;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) return Fail(Rec, line, err);
    Rec.ProcInfo.ProcessId = static_cast<std::uint32_t>(pid);
    return true;
}

bool CmdFinished(TCmdRec& Rec) {
    if (Rec.ProcInfo.ProcessId) {
        int status = 0;
        pid_t r;
        do {
            r = waitpid(static_cast<pid_t>(Rec.ProcInfo.ProcessId), &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == 0) return false;
        if (r > 0) {
            if (WIFEXITED(status))
                Rec.ExitCode = static_cast<std::uint32_t>(WEXITSTATUS(status));
            else if (WIFSIGNALED(status))
                Rec.ExitCode = 128u + static_cast<std::uint32_t>(WTERMSIG(status));
        }
    }
    Rec.ProcInfo = TCmdProcInfo{};
    return true;
}

std::string SysErrorText(std::int32_t Code) {
    if (Code == 0) return "errcod=0";
    return std::strerror(Code);
}

std::string LastErrorText() {
    return SysErrorText(LastError ? LastError : errno);
}

} // namespace pelvarn::twtask
