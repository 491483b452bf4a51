// The probe on POSIX systems: the facts that exist there; the Windows-only ones are left out.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <fstream>

#include "base/paths.h"
#include "base/textutil.h"
#include "diag/cpuinfo.h"
#include "diag/diagprobe_common.h"

extern char** environ;

namespace pelvarn {

namespace {

TLocalTime ToLocal(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    TLocalTime t;
    t.Year = tm.tm_year + 1900;
    t.Month = tm.tm_mon + 1;
    t.Day = tm.tm_mday;
    t.DayOfWeek = tm.tm_wday;
    t.Hour = tm.tm_hour;
    t.Minute = tm.tm_min;
    return t;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TPosixProbe final : public diag_detail::TCommonProbe {
  public:
    bool HasWindowsFacts() override { return false; }
    TLocalTime Now() override { return ToLocal(std::time(nullptr)); }

    bool ListFolder(const std::string& folder, std::vector<TFolderEntry>& entries) override {
        entries.clear();
        DIR* dir = opendir(folder.c_str());
        if (!dir) return false;
        while (dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name.size() > 1 && name[0] == '.' && name != "..") continue; // hidden
            struct stat st {};
            if (stat(JoinPath(folder, name).c_str(), &st) != 0) continue;
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;
            entries.push_back({name, static_cast<std::int64_t>(st.st_size), ToLocal(st.st_mtime)});
        }
        closedir(dir);
        return true;
    }

    void Sleep(int ms) override { usleep(static_cast<useconds_t>(ms) * 1000); }

    bool RunningProcesses(std::vector<std::string>& names) override {
        names.clear();
        DIR* dir = opendir("/proc");
        if (!dir) return false;
        while (dirent* e = readdir(dir)) {
            if (!std::isdigit(static_cast<unsigned char>(e->d_name[0]))) continue;
            std::string comm = Trim(ReadWhole(std::string("/proc/") + e->d_name + "/comm"));
            if (!comm.empty()) names.push_back(comm);
        }
        closedir(dir);
        return !names.empty();
    }

    std::string ProgramFile() override {
        char buffer[4096];
        ssize_t got = readlink("/proc/self/exe", buffer, sizeof buffer);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }
    std::string HelpFile() override { return ChangeFileExt(ProgramFile(), ".chm"); }
    std::string CommandLine() override {
        std::string line = ReadWhole("/proc/self/cmdline");
        while (!line.empty() && line.back() == '\0')
            line.pop_back();
        for (char& c : line)
            if (c == '\0') c = ' ';
        return line;
    }
    std::vector<std::string> Environment() override {
        std::vector<std::string> entries;
        for (char** e = environ; e && *e; ++e)
            entries.emplace_back(*e);
        return entries;
    }

    bool IsNT() override { return false; }
    std::string OsVersionText() override {
        utsname u{};
        if (uname(&u) != 0) return "Unknown system";
        return std::string(u.sysname) + " " + u.release + " " + u.version + " (" + u.machine + ")";
    }
    std::string Wow64Text() override { return {}; }
    TMemoryFigures Memory() override { return {}; }
    bool DriveSpace(char, std::int64_t&, std::int64_t&) override { return false; }
    std::string CpuText() override {
        try {
            return pelvarn::CpuText();
        } catch (const TOsError& e) {
            return e.what();
        }
    }
    std::string CpuFeaturesText() override { return pelvarn::CpuFeaturesText(); }
    std::string UserName() override {
        if (passwd* pw = getpwuid(getuid())) return pw->pw_name;
        return EnvVar("USER");
    }
    bool UserIsAdmin() override { return getuid() == 0; }

    int ScreenDpi() override { return 0; }
    int ScreenWidth() override { return 0; }
    int ScreenHeight() override { return 0; }
    std::string LocaleText(int) override { return "Unknown"; }
    int AnsiCodePage() override { return 0; }
    int OemCodePage() override { return 0; }
    TMenuFontInfo MenuFont() override { return {}; }
    std::string ProportionalFontName() override { return {}; }
    std::string FixedFontName() override { return {}; }
    std::string StockFixedFontName() override { return {}; }
    bool ExtensionsHidden() override { return false; }
    std::vector<TMonitorInfo> Monitors() override { return {}; }
    std::string OpenCommandFor(const std::string&) override { return {}; }
    bool CanWriteRegistry(TRegRoot) override { return false; }
    TRegRead ReadRegString(TRegRoot, const std::string&, const std::string&) override { return {}; }
    TRegRead ReadRegInteger(TRegRoot, const std::string&, const std::string&) override {
        return {};
    }
};

} // namespace

std::unique_ptr<TDiagProbe> MakeSystemDiagProbe() {
    return std::make_unique<TPosixProbe>();
}

} // namespace pelvarn
