// xwUtil on Windows.
#include "platform/xwutil.h"

#include <vector>

#include <windows.h>

#include <shellapi.h>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/KVRegKey.h"
#include "platform/fileio.h"
#include "platform/formfont.h"
#include "platform/xwutil_os.h"

namespace pelvarn {

namespace {

struct TOsVersion {
    DWORD Platform = 0, Major = 0, Minor = 0;
};

TOsVersion OsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return {};
#pragma GCC diagnostic pop
    return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

bool HasForegroundLockSetting(const TOsVersion& v) {
    if (v.Platform == VER_PLATFORM_WIN32_NT) return v.Major > 4;
    if (v.Platform == VER_PLATFORM_WIN32_WINDOWS)
        return v.Major > 4 || (v.Major == 4 && v.Minor > 0);
    return false;
}

bool StartsWithDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':';
}

// The suite's fixed folder, always on drive C whatever drive holds Windows.
constexpr const char* FixedSuiteFolder = "C:\\KV";

} // namespace

namespace xwutil_detail {

void TakeSnapshot(TSnapshot& snapshot) {
    snapshot.WineVersion = WineVersionText();

    const TOsVersion version = OsVersion();
    // With the lock time at 0, bringing a window of ours to the front activates it instead
    // of flashing its task-bar button. Not written to the user's profile.
    if (HasForegroundLockSetting(version) && !FlashTaskBar())
        SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<PVOID>(0), 0);

    DefaultFontFace(); // recorded now, before any window exists

    if (version.Platform == VER_PLATFORM_WIN32_NT && version.Major > 4)
        SystemParametersInfoA(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<PVOID>(TRUE), 0);

    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    snapshot.ProcessorCount = static_cast<std::int32_t>(system.dwNumberOfProcessors);

    snapshot.ComSpec = Trim(GetEnvText("COMSPEC", ""));
}

} // namespace xwutil_detail

std::string WineVersionText() {
    HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (reinterpret_cast<UINT_PTR>(ntdll) <= 32) return "";
    std::string version;
    using TWineGetVersion = const char*(__cdecl*)();
    auto get = reinterpret_cast<TWineGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (get) {
        if (const char* text = get()) version = text;
    }
    FreeLibrary(ntdll);
    return version;
}

std::string GetEnvText(const std::string& Name, const std::string& Default) {
    constexpr DWORD size = 8096;
    std::vector<char> buf(size);
    DWORD n = GetEnvironmentVariableA(Name.c_str(), buf.data(), size);
    if (n == 0 || n > size) return Default;
    return std::string(buf.data(), n);
}

std::string SysErrorText(std::int32_t Code) {
    if (Code == 0) return "errcode=0";
    char buf[1024];
    // Inserts are left as they stand: without arguments to fill them, a message that holds
    // %1 would otherwise make the call read arguments that do not exist.
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(Code), 0, buf, sizeof buf, nullptr);
    if (n == 0) return "format message error";
    return std::string(buf, n);
}

std::string LastErrorText() {
    return SysErrorText(static_cast<std::int32_t>(GetLastError()));
}

std::string FileDateText(const std::string& FileName) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(FileName.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return "not found";
    FILETIME local{};
    SYSTEMTIME when{};
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &when))
        return "not found";
    char date[128], time[128];
    int dn = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, sizeof date);
    int tn = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &when, nullptr, time, sizeof time);
    std::string text = dn > 0 ? std::string(date) : std::string();
    if (tn > 0) text += (text.empty() ? "" : " ") + std::string(time);
    return text;
}

std::int32_t FileSizeOf(const std::string& FileName) {
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA(FileName.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return -1;
    FindClose(h);
    if (found.nFileSizeHigh != 0 || found.nFileSizeLow > 0x7FFFFFFFu) return 0x7FFFFFFF;
    return static_cast<std::int32_t>(found.nFileSizeLow);
}

void ShellOpen(void* Wnd, const std::string& Target) {
    ShellExecuteA(static_cast<HWND>(Wnd), "open", Target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string WindowText(void* Wnd) {
    HWND wnd = static_cast<HWND>(Wnd);
    const int length = GetWindowTextLengthA(wnd);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(wnd, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::string LowerFileName(std::string_view name) {
    std::string copy(name);
    if (!copy.empty()) CharLowerBuffA(copy.data(), static_cast<DWORD>(copy.size()));
    return copy;
}

bool DriveReady(char Letter) {
    if (!((Letter >= 'a' && Letter <= 'z') || (Letter >= 'A' && Letter <= 'Z'))) return false;
    const char root[] = {Letter, ':', '\\', '\0'};
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    ULARGE_INTEGER total{};
    const bool ready = GetDiskFreeSpaceExA(root, nullptr, &total, nullptr) != 0;
    SetErrorMode(previous);
    return ready;
}

bool SafeFileExists(const std::string& Path) {
    if (StartsWithDrive(Path) && !DriveReady(Path[0])) return false;
    return FileExists(Path);
}

bool SafeDirExists(const std::string& Path) {
    if (Path.empty()) return false;
    if (StartsWithDrive(Path) && !DriveReady(Path[0])) return false;
    return FolderExists(Path);
}

std::string SuiteFolder() {
    const std::string kvdir = GetEnvText("KVDIR", "");
    if (!kvdir.empty() && SafeDirExists(kvdir)) return kvdir;
    if (DriveReady('C') && FolderExists(FixedSuiteFolder)) return FixedSuiteFolder;
    return "";
}

std::string SuiteFile(const std::string& Name) {
    const std::string kvdir = GetEnvText("KVDIR", "");
    if (!kvdir.empty()) {
        const std::string file = JoinPath(kvdir, Name, '\\');
        if (SafeFileExists(file)) return file;
    }
    if (!DriveReady('C')) return "";
    const std::string fixed = std::string(FixedSuiteFolder) + "\\" + Name;
    return FileExists(fixed) ? fixed : "";
}

std::string TempFolder() {
    char buf[261];
    const DWORD n = GetTempPathA(sizeof buf, buf);
    if (n == 0 || n >= sizeof buf) return "";
    const std::string temp = Trim(std::string(buf, n));
    // A drive root keeps its backslash: "C:" alone names the drive's current folder.
    if (temp.size() == 3 && temp[1] == ':') return temp;
    return NoTrailingBackslash(temp, '\\');
}

std::string FindOnPath(const std::string& Name) {
    if (Name.empty()) return "";
    if (SafeFileExists(Name)) return Name;
    const std::string path = GetEnvText("path", "");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(';', start);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(start, end - start);
        if (!folder.empty()) {
            const char last = folder.back();
            const std::string file = folder + (last == ':' || last == '\\' ? "" : "\\") + Name;
            if (SafeFileExists(file)) return file;
        }
        start = end + 1;
    }
    return "";
}

std::string DialogInitialFolder(const std::string& InitialDir) {
    if (!Trim(InitialDir).empty()) return InitialDir;
    char buf[MAX_PATH + 1];
    const DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    return n == 0 || n >= sizeof buf ? std::string() : std::string(buf, n);
}

} // namespace pelvarn
