#include <windows.h>

#include <commdlg.h>
#include <intrin.h>

#include <cstring>
#include <vector>

#include "platform/sysprobe.h"
#include "platform/xwutil.h"

namespace pelvarn {

namespace {

HKEY RootKey(TRegRoot root) {
    switch (root) {
    case TRegRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case TRegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    default:
        return HKEY_CURRENT_USER;
    }
}

// Registry paths are written with a leading backslash, as relative to the root.
std::string RelativeKey(const std::string& key) {
    std::size_t at = key.find_first_not_of('\\');
    return at == std::string::npos ? std::string() : key.substr(at);
}

class TKey {
  public:
    TKey() = default;
    ~TKey() { Close(); }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    HKEY* Out() { return &Handle; }
    HKEY Get() const { return Handle; }
    LONG Close() {
        LONG rc = ERROR_SUCCESS;
        if (Handle) rc = RegCloseKey(Handle);
        Handle = nullptr;
        return rc;
    }

  private:
    HKEY Handle = nullptr;
};

class THandle {
  public:
    ~THandle() {
        if (Handle) CloseHandle(Handle);
    }
    HANDLE Handle = nullptr;
};

bool IsNtPlatform() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The value Name of an open key as a string: a missing value is an empty text; a value of
// another type fails with the registry's own wording.
bool QueryString(HKEY key, const std::string& name, std::string& value, std::string& errorText) {
    value.clear();
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) {
        errorText = SysErrorText(rc);
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        errorText = "Invalid data type for '" + name + "'";
        return false;
    }
    std::vector<char> buf(size + 1, '\0');
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                          &size);
    if (rc != ERROR_SUCCESS) {
        errorText = SysErrorText(rc);
        return false;
    }
    value.assign(buf.data(), strnlen(buf.data(), size));
    return true;
}

bool OpenForRead(TRegRoot root, const std::string& key, TKey& k) {
    return RegCreateKeyExA(RootKey(root), RelativeKey(key).c_str(), 0, nullptr,
                           REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, k.Out(),
                           nullptr) == ERROR_SUCCESS;
}

std::string DefaultValueOf(const std::string& key) {
    TKey k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, k.Out()) != ERROR_SUCCESS)
        return {};
    std::string value, error;
    return QueryString(k.Get(), "", value, error) ? value : std::string();
}

double MeasureClock() {
    LARGE_INTEGER freq, now;
    if (!QueryPerformanceFrequency(&freq) || !QueryPerformanceCounter(&now))
        throw TOsError(LastErrorText());
    const LONGLONG f = freq.QuadPart;
    const LONGLONG start = now.QuadPart;
    do {
        QueryPerformanceCounter(&now);
    } while (now.QuadPart - start < f / 2);
    LARGE_INTEGER c0, c1;
    QueryPerformanceCounter(&c0);
    const unsigned long long t0 = __rdtsc();
    do {
        QueryPerformanceCounter(&c1);
    } while (c1.QuadPart < c0.QuadPart + f / 4);
    const unsigned long long t1 = __rdtsc();
    return static_cast<double>(t1 - t0) * static_cast<double>(f) /
           static_cast<double>(c1.QuadPart - c0.QuadPart);
}

} // namespace

double CpuSpeedMHz() {
    static const double rate = MeasureClock();
    return rate;
}

std::string OsVersionText() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info; // the 148-byte ANSI record
    if (!GetVersionExA(&info)) throw TOsError(LastErrorText());
    std::string text;
    const DWORD major = info.dwMajorVersion, minor = info.dwMinorVersion;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        struct {
            DWORD Major, Minor;
            const char* Name;
        } static const names[] = {{3, 51, "Windows NT 3.51"},    {4, 0, "Windows NT 4.0"},
                                  {5, 0, "Windows 2000"},        {5, 1, "Windows XP"},
                                  {5, 2, "Windows Server 2003"}, {6, 0, "Windows Vista"},
                                  {6, 1, "Windows 7"},           {6, 2, "Windows 8"}};
        for (const auto& n : names)
            if (n.Major == major && n.Minor == minor) text = n.Name;
        text += " (NT.";
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (major == 4 && minor == 0) text = "Windows 95";
        if (major == 4 && minor == 10) text = "Windows 98";
        if (major == 4 && minor == 90) text = "Windows Me";
        text += " (9x.";
    }
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%d.%d.%d", static_cast<int>(major),
                  static_cast<int>(minor), static_cast<int>(info.dwBuildNumber));
    info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
    return text + numbers + ") " + info.szCSDVersion;
}

std::string Wow64Text(bool& IsWow64) {
    IsWow64 = false;
    using TIsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto fn = reinterpret_cast<TIsWow64>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    if (!fn) return "IsWow64Process not present in kernel32.dll";
    BOOL wow = FALSE;
    if (!fn(GetCurrentProcess(), &wow)) return "IsWow64 call failed";
    IsWow64 = wow != FALSE;
    return IsWow64 ? "Process is running on Wow64" : "Process is NOT running on Wow64";
}

bool UserIsAdmin() {
    if (!IsNtPlatform()) return false;
    THandle token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token.Handle)) {
        if (GetLastError() != ERROR_NO_TOKEN) return false;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.Handle)) return false;
    }
    DWORD size = 0;
    if (GetTokenInformation(token.Handle, TokenGroups, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::vector<unsigned char> buf(size);
    if (!GetTokenInformation(token.Handle, TokenGroups, buf.data(), size, &size)) return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &admins))
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buf.data());
    bool found = false;
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i)
        found = EqualSid(groups->Groups[i].Sid, admins) != 0;
    FreeSid(admins);
    return found;
}

bool CanWriteRegistry(TRegRoot Root) {
    TKey k;
    if (RegCreateKeyExA(RootKey(Root), "SoftWare\\TestRegAccess", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, k.Out(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    static const char value[] = "TestString";
    bool ok = RegSetValueExA(k.Get(), "Test", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             sizeof value) == ERROR_SUCCESS;
    return k.Close() == ERROR_SUCCESS && ok;
}

bool ExtensionsHidden() {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    char title[260] = {};
    if (GetFileTitleA(path, title, sizeof title) != 0) return false;
    return std::strchr(title, '.') == nullptr;
}

std::string LocaleText(std::uint32_t Item) {
    char buf[256] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, Item, buf, sizeof buf) <= 0 || buf[0] == '\0')
        return "Unknown";
    return buf;
}

bool ReadRegString(TRegRoot Root, const std::string& Key, const std::string& Name,
                   std::string& Value, std::string& ErrorText) {
    Value.clear();
    ErrorText.clear();
    TKey k;
    if (!OpenForRead(Root, Key, k)) return false;
    return QueryString(k.Get(), Name, Value, ErrorText);
}

bool ReadRegInteger(TRegRoot Root, const std::string& Key, const std::string& Name,
                    std::int32_t& Value, std::string& ErrorText) {
    Value = 0;
    ErrorText.clear();
    TKey k;
    if (!OpenForRead(Root, Key, k)) return false;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = RegQueryValueExA(k.Get(), Name.c_str(), nullptr, &type, nullptr, nullptr);
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc == ERROR_SUCCESS && type != REG_DWORD) {
        ErrorText = "Invalid data type for '" + Name + "'";
        return false;
    }
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExA(k.Get(), Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                              &size);
    if (rc != ERROR_SUCCESS) {
        ErrorText = SysErrorText(rc);
        return false;
    }
    Value = static_cast<std::int32_t>(data);
    return true;
}

bool UserEnvVar(const std::string& Name, std::string& Value, std::string& ErrorText) {
    return ReadRegString(TRegRoot::CurrentUser, "\\Environment", Name, Value, ErrorText);
}

bool SystemEnvVar(const std::string& Name, std::string& Value, std::string& ErrorText) {
    return ReadRegString(TRegRoot::LocalMachine,
                         "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", Name,
                         Value, ErrorText);
}

std::string OpenCommandFor(const std::string& Extension) {
    const std::string fileType = DefaultValueOf(Extension);
    if (fileType.empty()) return {};
    TKey typeKey;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, fileType.c_str(), 0, KEY_READ, typeKey.Out()) !=
        ERROR_SUCCESS)
        return {};
    return DefaultValueOf(fileType + "\\shell\\open\\command");
}

} // namespace pelvarn
