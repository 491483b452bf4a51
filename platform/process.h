// Starting programs without waiting for them, and testing later whether they have ended.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelvarn {

// What identifies a started program: handles and ids on Windows; on POSIX the pid is kept
// in ProcessId and the handles stay null. A zeroed record means that no process is recorded.
// A process started as the head of a tree (StartProcessTree) also records what holds the tree:
// the job object on Windows (hJob), the process group on POSIX (GroupId).
struct ProcInfo {
    void* hProcess = nullptr;
    void* hThread = nullptr;
    std::uint32_t ProcessId = 0;
    std::uint32_t ThreadId = 0;
    void* hJob = nullptr;
    std::uint32_t GroupId = 0;

    bool IsZero() const {
        return !hProcess && !hThread && ProcessId == 0 && ThreadId == 0 && !hJob && GroupId == 0;
    }
};

// How an ended process ended, as ProcessEnded saw it.
struct TExitStatus {
    bool Known = false;     // false: not seen (no process recorded, or not a child of ours)
    bool BySignal = false;  // POSIX: ended by the signal numbered Code
    std::uint32_t Code = 0; // the exit code (Windows: the whole 32-bit value), or the signal
};

// "" for a process that exited by itself with an ordinary code; otherwise one clause that
// names how it ended, for a message about the job: "the job was ended by signal 11",
// "the job was ended by exception 0xC0000005 (access violation)" (Windows codes of the
// error and warning classes).
std::string AbnormalEndText(const TExitStatus& status);

// Show states for the new process's window (the Windows values; ignored on POSIX).
inline constexpr int SW_Hide = 0;
inline constexpr int SW_ShowNormal = 1;
inline constexpr int SW_ShowMinimized = 2;
inline constexpr int SW_ShowMinNoActive = 7;

// Puts double quotes round one command-line item that holds a blank or one of & ( ) < > @ ^
// and is not already quoted; the item is trimmed first.
std::string QuoteIfNeeded(std::string_view s);

// Starts Program with Params in WorkDir without waiting. The command line is
// QuoteIfNeeded(Program) + " " + Params (on POSIX it is split into arguments at blanks
// outside double quotes). False with the system's error text when it cannot be started.
bool StartProcess(const std::string& Title, const std::string& Program, const std::string& Params,
                  const std::string& WorkDir, int ShowCmd, ProcInfo& Info, std::string& ErrorText);

// StartProcess that shows its failure itself (an error box with OK; on POSIX, standard error).
bool StartProcessMsg(const std::string& Title, const std::string& Program,
                     const std::string& Params, const std::string& WorkDir, int ShowCmd,
                     ProcInfo& Info);

// StartProcess with the new process at the head of a tree of its own, so that KillProcess ends
// every process started within it: a new process group on POSIX (it then no longer receives
// the terminal's Ctrl+C), a job object on Windows. Where the system refuses the job object
// (an enclosing job that forbids nesting) the process runs on its own, as StartProcess starts it.
bool StartProcessTree(const std::string& Title, const std::string& Program,
                      const std::string& Params, const std::string& WorkDir, int ShowCmd,
                      ProcInfo& Info, std::string& ErrorText);

// StartProcessTree for a caller that counts the console's Ctrl+C presses itself: the tree never
// receives them, and the caller's own handler misses none while the tree starts. On POSIX the
// tree's process group already keeps the terminal's Ctrl+C away; on Windows the tree is also
// a console process group of its own, which starts with Ctrl+C ignored (Ctrl+Break, which a
// job's console window offers, still reaches it).
bool StartProcessTreeDeafToCtrlC(const std::string& Title, const std::string& Program,
                                 const std::string& Params, const std::string& WorkDir, int ShowCmd,
                                 ProcInfo& Info, std::string& ErrorText);

// Non-blocking: true when the recorded process has ended (its handles are then released and
// the record zeroed) or when no process is recorded; false while it runs. The second form
// also tells how it ended (Known stays false when no process was recorded).
bool ProcessEnded(ProcInfo& Info);
bool ProcessEnded(ProcInfo& Info, TExitStatus& Exit);

// Forgets a process that is left running: its handles are released (on POSIX the pid is
// simply forgotten) and the record zeroed; the process itself is not touched.
void ReleaseProcess(ProcInfo& Info);

// Blocks until the recorded process ends or timeoutMs passes; true when it has ended. The
// record is left as it is: ProcessEnded still releases it. True at once for a zeroed record.
bool WaitForProcessEnd(const ProcInfo& Info, int timeoutMs);
// The same for several processes: returns when any of them has ended (true) or timeoutMs
// passes (false). True at once when a record is zeroed.
bool WaitForAnyProcessEnd(const std::vector<const ProcInfo*>& Infos, int timeoutMs);

// Ends the recorded process and releases the record. For a process started with
// StartProcessTree every process of its tree that still runs is ended as well, also when the
// head itself has already ended but the record is not yet released; otherwise only the process
// itself is ended.
void KillProcess(ProcInfo& Info);

} // namespace pelvarn
