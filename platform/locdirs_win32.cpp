// locdirs on Windows: the system's folders, the shell's per-user folders and the probe file.
#include "platform/locdirs.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include "base/paths.h"
#include "platform/locdirs_os.h"

namespace pelvarn::locdirs_detail {

namespace {

std::string ShellFolder(int csidl) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return "";
    char path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListA(list, path) != 0;
    CoTaskMemFree(list);
    return ok ? std::string(path) : std::string();
}

} // namespace

std::string WindowsFolder() {
    char buf[260];
    const UINT n = GetWindowsDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return "";
    return std::string(buf, n);
}

bool KindExists(int) {
    return true;
}

std::string SystemFolder(int kind) {
    switch (kind) {
    case fkWindows:
        return WindowsFolder();
    case fkCurrent: {
        char buf[MAX_PATH + 1];
        const DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
        return n == 0 || n >= sizeof buf ? std::string() : std::string(buf, n);
    }
    case fkApplication: {
        char buf[MAX_PATH + 1];
        const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
        if (n == 0 || n >= sizeof buf) return "";
        const std::string file(buf, n);
        return file.substr(0, file.find_last_of("\\:") + 1); // with its trailing backslash
    }
    case fkUser:
        return ShellFolder(CSIDL_PERSONAL);
    case fkAppData:
        return ShellFolder(CSIDL_APPDATA);
    default:
        return "";
    }
}

std::string EnvValue(const std::string& name) {
    constexpr DWORD size = 2048;
    char buf[size];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), buf, size);
    if (n == 0 || n > size) return "";
    return std::string(buf, n);
}

std::string FullPath(const std::string& folder) {
    char buf[MAX_PATH + 1];
    const DWORD n = GetFullPathNameA(folder.c_str(), sizeof buf, buf, nullptr);
    if (n == 0 || n >= sizeof buf) return folder;
    return std::string(buf, n);
}

bool ProbeWrite(const std::string& file) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool closed = CloseHandle(h) != 0;
    const bool deleted = DeleteFileA(file.c_str()) != 0;
    return closed && deleted;
}

char Delim() {
    return '\\';
}

} // namespace pelvarn::locdirs_detail
