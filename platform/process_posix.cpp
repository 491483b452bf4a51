// Process start and end tests on POSIX: posix_spawn of the split command line. A missing
// program or folder is reported by StartProcess itself rather than as a child that exits 127.
#include "platform/process.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

#include "base/textutil.h"
#include "platform/cmdsplit.h"
#include "platform/xwutil.h"

extern char** environ;

namespace pelvarn {

namespace {

// Closes a descriptor on every path out of a scope.
struct TFd {
    int Fd = -1;
    TFd() = default;
    explicit TFd(int fd) : Fd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    TFd(TFd&& other) noexcept : Fd(other.Fd) { other.Fd = -1; }
    ~TFd() { Reset(); }
    void Reset() {
        if (Fd >= 0) close(Fd);
        Fd = -1;
    }
};

void CheckShowCmd(int showCmd) {
    if (showCmd < 0 || showCmd > 65535)
        throw std::out_of_range("ShowCmd " + std::to_string(showCmd) + " does not fit in 16 bits");
}

// Reaps the child, retrying when a signal interrupts the wait.
void ReapBlocking(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// True when the child has ended (or is no child of ours), leaving it waitable.
bool EndedNoReap(pid_t pid) {
    siginfo_t info{};
    for (;;) {
        info.si_pid = 0;
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0)
            return info.si_pid == pid;
        if (errno != EINTR) return true; // ECHILD: nothing left to wait for
    }
}

#if defined(__linux__) && defined(SYS_pidfd_open)
// A descriptor that becomes readable when the process ends; -1 when the kernel has none.
int OpenPidFd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}
#else
int OpenPidFd(pid_t) {
    errno = ENOSYS;
    return -1;
}
#endif

} // namespace

namespace {

bool Spawn(const std::string& Program, const std::string& Params, const std::string& WorkDir,
           int ShowCmd, bool ownGroup, ProcInfo& Info, std::string& ErrorText) {
    ErrorText.clear();
    CheckShowCmd(ShowCmd);
    std::vector<std::string> args = SplitCommandLine(QuoteIfNeeded(Program) + " " + Params);
    if (args.empty() || args.front().empty()) {
        ErrorText = SysErrorText(ENOENT);
        return false;
    }
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const bool changeDir = !Trim(WorkDir).empty();

    // posix_spawn (a vfork-like clone in glibc) costs far less than fork of the whole
    // process, and it reports a failed exec or change of folder as its own result.
    posix_spawn_file_actions_t actions;
    if (int err = posix_spawn_file_actions_init(&actions); err != 0) {
        ErrorText = SysErrorText(err);
        return false;
    }
    posix_spawnattr_t attr;
    if (int err = posix_spawnattr_init(&attr); err != 0) {
        posix_spawn_file_actions_destroy(&actions);
        ErrorText = SysErrorText(err);
        return false;
    }
    int err = 0;
    if (changeDir) err = posix_spawn_file_actions_addchdir_np(&actions, WorkDir.c_str());
    if (err == 0 && ownGroup) {
        // A group of its own, numbered by the child's pid: the whole tree is then one kill.
        err = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        if (err == 0) err = posix_spawnattr_setpgroup(&attr, 0);
    }
    pid_t pid = 0;
    if (err == 0) err = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        ErrorText = SysErrorText(err);
        return false;
    }
    Info = ProcInfo{};
    Info.ProcessId = static_cast<std::uint32_t>(pid);
    if (ownGroup) Info.GroupId = static_cast<std::uint32_t>(pid);
    return true;
}

} // namespace

bool StartProcess(const std::string& Title, const std::string& Program, const std::string& Params,
                  const std::string& WorkDir, int ShowCmd, ProcInfo& Info, std::string& ErrorText) {
    return Spawn(Program, Params, WorkDir, ShowCmd, false, Info, ErrorText);
}

bool StartProcessTree(const std::string& Title, const std::string& Program,
                      const std::string& Params, const std::string& WorkDir, int ShowCmd,
                      ProcInfo& Info, std::string& ErrorText) {
    return Spawn(Program, Params, WorkDir, ShowCmd, true, Info, ErrorText);
}

// The terminal sends Ctrl+C to its foreground process group only, which the tree has left.
bool StartProcessTreeDeafToCtrlC(const std::string& Title, const std::string& Program,
                                 const std::string& Params, const std::string& WorkDir, int ShowCmd,
                                 ProcInfo& Info, std::string& ErrorText) {
    return StartProcessTree(Title, Program, Params, WorkDir, ShowCmd, Info, ErrorText);
}

bool StartProcessMsg(const std::string& Title, const std::string& Program,
                     const std::string& Params, const std::string& WorkDir, int ShowCmd,
                     ProcInfo& Info) {
    std::string errorText;
    if (StartProcess(Title, Program, Params, WorkDir, ShowCmd, Info, errorText)) return true;
    std::fprintf(stderr, "%s\n", errorText.c_str());
    std::fflush(stderr);
    return false;
}

void ReleaseProcess(ProcInfo& Info) {
    Info = ProcInfo{};
}

bool ProcessEnded(ProcInfo& Info) {
    TExitStatus exit;
    return ProcessEnded(Info, exit);
}

bool ProcessEnded(ProcInfo& Info, TExitStatus& Exit) {
    Exit = TExitStatus{};
    if (Info.ProcessId == 0) {
        Info = ProcInfo{};
        return true;
    }
    const pid_t pid = static_cast<pid_t>(Info.ProcessId);
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return false;
    if (r == pid) {
        Exit.Known = WIFEXITED(status) || WIFSIGNALED(status);
        Exit.BySignal = WIFSIGNALED(status);
        Exit.Code =
            static_cast<std::uint32_t>(Exit.BySignal ? WTERMSIG(status) : WEXITSTATUS(status));
    }
    // Reaped now, or no child of ours any more: either way nothing is left to wait for.
    Info = ProcInfo{};
    return true;
}

bool WaitForProcessEnd(const ProcInfo& Info, int timeoutMs) {
    return WaitForAnyProcessEnd({&Info}, timeoutMs);
}

bool WaitForAnyProcessEnd(const std::vector<const ProcInfo*>& Infos, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const bool forever = timeoutMs < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    auto remainingMs = [&]() -> int {
        if (forever) return -1;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return left.count() > 0 ? static_cast<int>(left.count()) : 0;
    };
    auto anyEnded = [&] {
        for (const ProcInfo* info : Infos)
            if (info->ProcessId == 0 || EndedNoReap(static_cast<pid_t>(info->ProcessId)))
                return true;
        return false;
    };

    if (anyEnded()) return true;
    // A descriptor per process that becomes readable when it ends; where the system has
    // none, a short sleep between looks.
    std::vector<TFd> pidFds;
    std::vector<pollfd> polled;
    for (const ProcInfo* info : Infos) {
        pidFds.emplace_back(OpenPidFd(static_cast<pid_t>(info->ProcessId)));
        if (pidFds.back().Fd < 0) {
            if (errno == ESRCH) return true;
            polled.clear();
            break;
        }
        polled.push_back(pollfd{pidFds.back().Fd, POLLIN, 0});
    }
    if (!polled.empty()) {
        for (;;) {
            int r = poll(polled.data(), polled.size(), remainingMs());
            if (r > 0) return true;
            if (r == 0) return anyEnded();
            if (errno != EINTR) break; // fall back to the loop below
        }
    }
    for (;;) {
        if (anyEnded()) return true;
        if (!forever && remainingMs() == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void KillProcess(ProcInfo& Info) {
    if (Info.ProcessId != 0) {
        const pid_t pid = static_cast<pid_t>(Info.ProcessId);
        // The group outlives its head while any member runs, and its number is not given to
        // a new process meanwhile, so it is ended whether or not the head still runs.
        if (Info.GroupId != 0) kill(-static_cast<pid_t>(Info.GroupId), SIGKILL);
        if (!EndedNoReap(pid)) kill(pid, SIGKILL);
        ReapBlocking(pid);
    }
    Info = ProcInfo{};
}

} // namespace pelvarn
