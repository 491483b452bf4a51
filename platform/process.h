// Starting programs without waiting for them, and testing later whether they have ended.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelvarn {

// What identifies a started program: handles and ids on Windows; on POSIX the pid is kept
// in ProcessId and the handles stay null. A zeroed record means that no process is recorded.
struct ProcInfo {
    void* hProcess = nullptr;
    void* hThread = nullptr;
    std::uint32_t ProcessId = 0;
    std::uint32_t ThreadId = 0;

    bool IsZero() const { return !hProcess && !hThread && ProcessId == 0 && ThreadId == 0; }
};

// Show states for the new process's window (the Windows values; ignored on POSIX).
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

// Non-blocking: true when the recorded process has ended (its handles are then released and
// the record zeroed) or when no process is recorded; false while it runs.
bool ProcessEnded(ProcInfo& Info);

// Blocks until the recorded process ends or timeoutMs passes; true when it has ended. The
// record is left as it is: ProcessEnded still releases it. True at once for a zeroed record.
bool WaitForProcessEnd(const ProcInfo& Info, int timeoutMs);

// Ends the recorded process (not the processes it started) and releases the record.
void KillProcess(ProcInfo& Info);

} // namespace pelvarn
