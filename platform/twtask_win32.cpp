// twtask on Windows: CreateProcessA with one command line, polled with zero-wait tests.
#include "platform/twtask.h"

#include <stdexcept>
#include <vector>

#include <windows.h>

#include "platform/msgbox.h"

namespace pelvarn::twtask {

namespace detail {

void TerminateCmd(TCmdRec& Rec) {
    if (Rec.ProcInfo.hProcess) TerminateProcess(static_cast<HANDLE>(Rec.ProcInfo.hProcess), 3);
}

void ReleaseCmd(TCmdRec& Rec) {
    if (Rec.ProcInfo.hProcess) CloseHandle(static_cast<HANDLE>(Rec.ProcInfo.hProcess));
    if (Rec.ProcInfo.hThread) CloseHandle(static_cast<HANDLE>(Rec.ProcInfo.hThread));
    Rec.ProcInfo = TCmdProcInfo{};
}

void SystemSleep(std::uint32_t Ms) {
    Sleep(Ms);
}

} // namespace detail

bool LaunchCmd(TCmdRec& Rec) {
    if (Rec.ShowCmd < 0 || Rec.ShowCmd > 65535)
        throw std::out_of_range("show state " + std::to_string(Rec.ShowCmd) +
                                " does not fit in 16 bits");
    const std::string line = CmdLine(Rec);
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0'); // CreateProcessA may write into its command line

    // The block of the build's own size: 68 bytes in the 32-bit program, 104 in the 64-bit.
    STARTUPINFOA si{};
    si.cb = sizeof(STARTUPINFOA);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(Rec.ShowCmd);
    // An empty WorkDir is no folder at all: the process then starts in ours.
    const char* workDir = Rec.WorkDir.empty() ? nullptr : Rec.WorkDir.c_str();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir,
                        &si, &pi)) {
        const std::string error = LastErrorText();
        ErrorBox("LaunchCmd error:\r\n" + error + "\r\nSent: " + line +
                 "\r\nWorkDir: " + Rec.WorkDir);
        return false;
    }
    Rec.ProcInfo.hProcess = pi.hProcess;
    Rec.ProcInfo.hThread = pi.hThread;
    Rec.ProcInfo.ProcessId = pi.dwProcessId;
    Rec.ProcInfo.ThreadId = pi.dwThreadId;
    return true;
}

bool CmdFinished(TCmdRec& Rec) {
    HANDLE h = static_cast<HANDLE>(Rec.ProcInfo.hProcess);
    if (h && WaitForSingleObject(h, 0) == WAIT_TIMEOUT) return false;
    DWORD code = 0;
    if (h && GetExitCodeProcess(h, &code)) Rec.ExitCode = code;
    detail::ReleaseCmd(Rec);
    return true;
}

std::string SysErrorText(std::int32_t Code) {
    if (Code == 0) return "errcod=0";
    char buf[1024];
    // Inserts stay as they stand: with no arguments to fill them, a message holding %1
    // would otherwise make the call read arguments that do not exist.
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(Code), 0, buf, sizeof buf, nullptr);
    if (n == 0) return "format message error";
    return std::string(buf, n);
}

std::string LastErrorText() {
    return SysErrorText(static_cast<std::int32_t>(GetLastError()));
}

} // namespace pelvarn::twtask
