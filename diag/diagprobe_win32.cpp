// The probe on Windows: the system's own answers for every line of the report.
#include <windows.h>

#include <tlhelp32.h>

#include <cstring>
#include <vector>

#include "base/paths.h"
#include "diag/cpuinfo.h"
#include "diag/diagprobe_common.h"
#include "platform/KVRegKey.h"
#include "platform/formfont.h"
#include "platform/memstat.h"

namespace pelvarn {

namespace {

TLocalTime FromSystemTime(const SYSTEMTIME& s) {
    TLocalTime t;
    t.Year = s.wYear;
    t.Month = s.wMonth;
    t.Day = s.wDay;
    t.DayOfWeek = s.wDayOfWeek;
    t.Hour = s.wHour;
    t.Minute = s.wMinute;
    return t;
}

// Critical-error boxes off for as long as it lives.
class TQuietErrors {
  public:
    TQuietErrors() : Old(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~TQuietErrors() { SetErrorMode(Old); }

  private:
    UINT Old;
};

class TWin32Probe final : public diag_detail::TCommonProbe {
  public:
    bool HasWindowsFacts() override { return true; }
    TLocalTime Now() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return FromSystemTime(now);
    }

    bool ListFolder(const std::string& folder, std::vector<TFolderEntry>& entries) override {
        entries.clear();
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(JoinPath(folder, "*.*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return false;
        do {
            if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
            TFolderEntry e;
            e.Name = data.cFileName;
            e.Size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            FILETIME local;
            SYSTEMTIME when{};
            if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) &&
                FileTimeToSystemTime(&local, &when))
                e.Modified = FromSystemTime(when);
            entries.push_back(e);
        } while (FindNextFileA(find, &data));
        FindClose(find);
        return true;
    }

    void Sleep(int ms) override { ::Sleep(static_cast<DWORD>(ms)); }

    bool RunningProcesses(std::vector<std::string>& names) override {
        names.clear();
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snap == INVALID_HANDLE_VALUE) return false;
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        bool ok = Process32First(snap, &entry);
        while (ok) {
            names.push_back(FileNamePart(entry.szExeFile, '\\'));
            ok = Process32Next(snap, &entry);
        }
        CloseHandle(snap);
        return !names.empty();
    }

    std::string ProgramFile() override {
        std::vector<char> buffer(MAX_PATH);
        for (;;) {
            DWORD got =
                GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (got == 0) return {};
            if (got < buffer.size()) return std::string(buffer.data(), got);
            buffer.resize(buffer.size() * 2);
        }
    }
    std::string HelpFile() override { return ChangeFileExt(ProgramFile(), ".chm"); }
    std::string CommandLine() override { return GetCommandLineA(); }
    std::vector<std::string> Environment() override {
        std::vector<std::string> entries;
        char* block = GetEnvironmentStringsA();
        if (!block) return entries;
        for (const char* p = block; *p; p += std::strlen(p) + 1)
            entries.emplace_back(p);
        FreeEnvironmentStringsA(block);
        return entries;
    }

    bool IsNT() override { return true; }
    // A system that cannot tell its version gets a line saying so; the report goes on.
    std::string OsVersionText() override {
        try {
            return pelvarn::OsVersionText();
        } catch (const TOsError& e) {
            return std::string("Cannot read the Windows version: ") + e.what();
        }
    }
    std::string Wow64Text() override {
        bool wow64 = false;
        return pelvarn::Wow64Text(wow64);
    }
    TMemoryFigures Memory() override {
        TMemStatus status;
        GetMemoryStatus(status);
        TMemoryFigures m;
        m.TotalPhysKB = status.TotalPhys;
        m.AvailPhysKB = status.AvailPhys;
        m.TotalVirtualKB = status.TotalVirtual;
        m.AvailVirtualKB = status.AvailVirtual;
        m.WorkingSetKB = WorkingSetKB();
        // The C run-time's allocations come from the process heap: its busy blocks are the
        // bytes handed out, its uncommitted ranges the reserve not yet handed out.
        HANDLE heap = GetProcessHeap();
        if (heap && HeapLock(heap)) {
            PROCESS_HEAP_ENTRY entry{};
            while (HeapWalk(heap, &entry)) {
                if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                    m.HeapUsed += entry.cbData;
                else if (entry.wFlags & PROCESS_HEAP_UNCOMMITTED_RANGE)
                    m.HeapUnused += entry.cbData;
            }
            HeapUnlock(heap);
        }
        return m;
    }
    bool DriveSpace(char letter, std::int64_t& size, std::int64_t& free) override {
        TQuietErrors quiet;
        const std::string root = std::string(1, letter) + ":\\";
        ULARGE_INTEGER available, total, totalFree;
        if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &totalFree)) return false;
        size = static_cast<std::int64_t>(total.QuadPart);
        free = static_cast<std::int64_t>(totalFree.QuadPart);
        return true;
    }
    std::string CpuText() override {
        try {
            return pelvarn::CpuText();
        } catch (const TOsError& e) {
            return std::string("Cannot measure the processor clock: ") + e.what();
        }
    }
    std::string CpuFeaturesText() override { return pelvarn::CpuFeaturesText(); }
    std::string UserName() override {
        char buffer[150] = {};
        DWORD size = sizeof buffer;
        return GetUserNameA(buffer, &size) ? std::string(buffer) : std::string();
    }
    bool UserIsAdmin() override { return pelvarn::UserIsAdmin(); }

    int ScreenDpi() override {
        HDC screen = GetDC(nullptr);
        int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        return dpi;
    }
    int ScreenWidth() override { return GetSystemMetrics(SM_CXSCREEN); }
    int ScreenHeight() override { return GetSystemMetrics(SM_CYSCREEN); }
    std::string LocaleText(int item) override {
        return pelvarn::LocaleText(static_cast<std::uint32_t>(item));
    }
    int AnsiCodePage() override { return static_cast<int>(GetACP()); }
    int OemCodePage() override { return static_cast<int>(GetOEMCP()); }
    TMenuFontInfo MenuFont() override {
        TMenuFontInfo info;
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof metrics;
        if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            return info;
        info.Name = metrics.lfMenuFont.lfFaceName;
        HDC screen = GetDC(nullptr);
        if (!screen) return info;
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        const LONG height = metrics.lfMenuFont.lfHeight;
        info.PointSize = dpi > 0 ? MulDiv(height < 0 ? -height : height, 72, dpi) : 0;
        HFONT font = CreateFontIndirectA(&metrics.lfMenuFont);
        HGDIOBJ old = font ? SelectObject(screen, font) : nullptr;
        SIZE i{}, m{};
        GetTextExtentPoint32A(screen, "i", 1, &i);
        GetTextExtentPoint32A(screen, "m", 1, &m);
        info.FixedWidth = i.cx == m.cx;
        if (font) {
            SelectObject(screen, old);
            DeleteObject(font);
        }
        ReleaseDC(nullptr, screen);
        return info;
    }
    std::string ProportionalFontName() override { return pelvarn::ProportionalFontName(); }
    std::string FixedFontName() override { return pelvarn::FixedFontName(); }
    std::string StockFixedFontName() override { return pelvarn::StockFixedFontName(); }
    bool ExtensionsHidden() override { return pelvarn::ExtensionsHidden(); }
    std::vector<TMonitorInfo> Monitors() override {
        std::vector<TMonitorInfo> list;
        struct TVisit {
            static BOOL CALLBACK Monitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
                MONITORINFO mi{};
                mi.cbSize = sizeof mi;
                if (GetMonitorInfoA(monitor, &mi)) {
                    TMonitorInfo m;
                    m.Left = mi.rcMonitor.left;
                    m.Top = mi.rcMonitor.top;
                    m.Width = mi.rcMonitor.right - mi.rcMonitor.left;
                    m.Height = mi.rcMonitor.bottom - mi.rcMonitor.top;
                    m.Primary = (mi.dwFlags & MONITORINFOF_PRIMARY) != 0;
                    reinterpret_cast<std::vector<TMonitorInfo>*>(data)->push_back(m);
                }
                return TRUE;
            }
        };
        EnumDisplayMonitors(nullptr, nullptr, TVisit::Monitor, reinterpret_cast<LPARAM>(&list));
        return list;
    }
    std::string OpenCommandFor(const std::string& ext) override {
        return pelvarn::OpenCommandFor(ext);
    }
    std::string KVRegKeyText(const std::string& name) override { return DescribeKVRegKey(name); }
    bool CanWriteRegistry(TRegRoot root) override { return pelvarn::CanWriteRegistry(root); }
    TRegRead ReadRegString(TRegRoot root, const std::string& key,
                           const std::string& name) override {
        TRegRead r;
        r.Ok = pelvarn::ReadRegString(root, key, name, r.Text, r.ErrorText);
        return r;
    }
    TRegRead ReadRegInteger(TRegRoot root, const std::string& key,
                            const std::string& name) override {
        TRegRead r;
        r.Ok = pelvarn::ReadRegInteger(root, key, name, r.Number, r.ErrorText);
        return r;
    }
};

} // namespace

std::unique_ptr<TDiagProbe> MakeSystemDiagProbe() {
    return std::make_unique<TWin32Probe>();
}

} // namespace pelvarn
