// Process start and end tests on Windows: CreateProcessA with one command line, handles kept
// in the caller's record until ProcessEnded or KillProcess releases them.
#include "platform/process.h"

#include <stdexcept>
#include <vector>
#include <windows.h>

#include "base/textutil.h"
#include "platform/xwutil.h"

namespace pelvarn {

namespace {

// The file-name part of a program path, without the quotes it may be wrapped in.
std::string ProgramFileName(const std::string& program) {
    std::string p = Trim(program);
    if (p.size() >= 2 && p.front() == '"' && p.back() == '"') p = p.substr(1, p.size() - 2);
    auto cut = p.find_last_of("\\/:");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

void CloseRecord(ProcInfo& info) {
    if (info.hProcess) CloseHandle(static_cast<HANDLE>(info.hProcess));
    if (info.hThread) CloseHandle(static_cast<HANDLE>(info.hThread));
    if (info.hJob) CloseHandle(static_cast<HANDLE>(info.hJob));
    info = ProcInfo{};
}

enum class TStart { Single, Tree, TreeDeafToCtrlC };

bool Create(const std::string& Title, const std::string& Program, const std::string& Params,
            const std::string& WorkDir, int ShowCmd, TStart kind, ProcInfo& Info,
            std::string& ErrorText) {
    ErrorText.clear();
    if (ShowCmd < 0 || ShowCmd > 65535)
        throw std::out_of_range("ShowCmd " + std::to_string(ShowCmd) + " does not fit in 16 bits");

    STARTUPINFOA si{};
    si.cb = sizeof(STARTUPINFOA);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(ShowCmd);
    std::string title;
    if (!Title.empty()) {
        title = Title + ": " + ProgramFileName(Program);
        si.lpTitle = title.data();
    }

    std::string line = QuoteIfNeeded(Program) + " " + Params;
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0'); // CreateProcessA may write into its command line

    // A tree's head starts suspended, so that it is inside its job object before it can
    // start anything; the processes it starts then belong to the job as well. The job is not
    // ended when its handle closes: only KillProcess ends it.
    HANDLE job = kind != TStart::Single ? CreateJobObjectA(nullptr, nullptr) : nullptr;
    // A new console process group starts with Ctrl+C ignored, and its members inherit that.
    // Ignoring it here instead, while the child starts, would drop the caller's own presses.
    DWORD flags = job ? CREATE_SUSPENDED : 0;
    if (kind == TStart::TreeDeafToCtrlC) flags |= CREATE_NEW_PROCESS_GROUP;
    const char* currentDir = Trim(WorkDir).empty() ? nullptr : WorkDir.c_str();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        currentDir, &si, &pi)) {
        ErrorText = LastErrorText();
        if (job) CloseHandle(job);
        return false;
    }
    if (job) {
        if (!AssignProcessToJobObject(job, pi.hProcess)) {
            CloseHandle(job); // an enclosing job that allows no nesting: it runs on its own
            job = nullptr;
        }
        ResumeThread(pi.hThread);
    }
    Info = ProcInfo{};
    Info.hProcess = pi.hProcess;
    Info.hThread = pi.hThread;
    Info.ProcessId = pi.dwProcessId;
    Info.ThreadId = pi.dwThreadId;
    Info.hJob = job;
    return true;
}

} // namespace

bool StartProcess(const std::string& Title, const std::string& Program, const std::string& Params,
                  const std::string& WorkDir, int ShowCmd, ProcInfo& Info, std::string& ErrorText) {
    return Create(Title, Program, Params, WorkDir, ShowCmd, TStart::Single, Info, ErrorText);
}

bool StartProcessTree(const std::string& Title, const std::string& Program,
                      const std::string& Params, const std::string& WorkDir, int ShowCmd,
                      ProcInfo& Info, std::string& ErrorText) {
    return Create(Title, Program, Params, WorkDir, ShowCmd, TStart::Tree, Info, ErrorText);
}

bool StartProcessTreeDeafToCtrlC(const std::string& Title, const std::string& Program,
                                 const std::string& Params, const std::string& WorkDir, int ShowCmd,
                                 ProcInfo& Info, std::string& ErrorText) {
    return Create(Title, Program, Params, WorkDir, ShowCmd, TStart::TreeDeafToCtrlC, Info,
                  ErrorText);
}

bool StartProcessMsg(const std::string& Title, const std::string& Program,
                     const std::string& Params, const std::string& WorkDir, int ShowCmd,
                     ProcInfo& Info) {
    std::string errorText;
    if (StartProcess(Title, Program, Params, WorkDir, ShowCmd, Info, errorText)) return true;
    MessageBoxA(nullptr, errorText.c_str(), "Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return false;
}

void ReleaseProcess(ProcInfo& Info) {
    CloseRecord(Info);
}

bool ProcessEnded(ProcInfo& Info) {
    TExitStatus exit;
    return ProcessEnded(Info, exit);
}

bool ProcessEnded(ProcInfo& Info, TExitStatus& Exit) {
    Exit = TExitStatus{};
    if (!Info.hProcess) {
        CloseRecord(Info);
        return true;
    }
    // Any answer but a time-out (ended, or a handle that can no longer be waited on) means
    // that there is nothing left to watch.
    HANDLE h = static_cast<HANDLE>(Info.hProcess);
    if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) return false;
    DWORD code = 0;
    if (GetExitCodeProcess(h, &code) && code != STILL_ACTIVE) {
        Exit.Known = true;
        Exit.Code = code;
    }
    CloseRecord(Info);
    return true;
}

bool WaitForProcessEnd(const ProcInfo& Info, int timeoutMs) {
    return WaitForAnyProcessEnd({&Info}, timeoutMs);
}

bool WaitForAnyProcessEnd(const std::vector<const ProcInfo*>& Infos, int timeoutMs) {
    std::vector<HANDLE> handles;
    for (const ProcInfo* info : Infos) {
        if (!info->hProcess) return true;
        handles.push_back(static_cast<HANDLE>(info->hProcess));
    }
    if (handles.empty()) return true;
    // One wait takes at most MAXIMUM_WAIT_OBJECTS handles: beyond that, the first ones are
    // waited on for a short while and all are looked at in turn.
    if (handles.size() > MAXIMUM_WAIT_OBJECTS) {
        const DWORD start = GetTickCount();
        for (;;) {
            for (HANDLE h : handles)
                if (WaitForSingleObject(h, 0) != WAIT_TIMEOUT) return true;
            if (timeoutMs >= 0 && GetTickCount() - start >= static_cast<DWORD>(timeoutMs))
                return false;
            WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, handles.data(), FALSE, 10);
        }
    }
    DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                  wait) != WAIT_TIMEOUT;
}

void KillProcess(ProcInfo& Info) {
    if (Info.hJob) TerminateJobObject(static_cast<HANDLE>(Info.hJob), 3);
    if (Info.hProcess) {
        HANDLE h = static_cast<HANDLE>(Info.hProcess);
        if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) {
            TerminateProcess(h, 3);
            // Termination completes asynchronously; wait for it so the caller may reuse
            // the process's files at once.
            WaitForSingleObject(h, 5000);
        }
    }
    CloseRecord(Info);
}

} // namespace pelvarn
