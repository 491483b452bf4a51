// xwUtil on POSIX: the same services over the C library; there is no Wine, no registry and
// no shell to open documents with.
#include "platform/xwutil.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <glob.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "platform/xwutil_os.h"

namespace pelvarn {

namespace xwutil_detail {

void TakeSnapshot(TSnapshot& snapshot) {
    snapshot.WineVersion = WineVersionText();
    unsigned n = std::thread::hardware_concurrency();
    if (n == 0) {
        long online = sysconf(_SC_NPROCESSORS_ONLN);
        n = online > 0 ? static_cast<unsigned>(online) : 1;
    }
    snapshot.ProcessorCount = static_cast<std::int32_t>(n);
    snapshot.ComSpec = Trim(GetEnvText("COMSPEC", ""));
}

} // namespace xwutil_detail

std::string WineVersionText() {
    return "";
}

std::string GetEnvText(const std::string& Name, const std::string& Default) {
    const char* value = std::getenv(Name.c_str());
    // The same limit as on Windows: a value needs room for its terminating zero in 8096.
    if (!value || !*value || std::strlen(value) >= 8096) return Default;
    return value;
}

std::string SysErrorText(std::int32_t Code) {
    if (Code == 0) return "errcode=0";
    return std::strerror(Code);
}

std::string LastErrorText() {
    return SysErrorText(errno);
}

std::string FileDateText(const std::string& FileName) {
    struct stat st {};
    if (stat(FileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return "not found";
    std::tm local{};
    localtime_r(&st.st_mtime, &local);
    char buf[128];
    std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return std::string(buf, n);
}

std::int32_t FileSizeOf(const std::string& FileName) {
    auto sizeOf = [](const char* path) -> std::int64_t {
        struct stat st {};
        if (stat(path, &st) != 0) return -1;
        return st.st_size;
    };
    std::int64_t size = sizeOf(FileName.c_str());
    if (size < 0 && FileName.find_first_of("*?") != std::string::npos) {
        glob_t matches{};
        if (glob(FileName.c_str(), 0, nullptr, &matches) == 0 && matches.gl_pathc > 0)
            size = sizeOf(matches.gl_pathv[0]);
        globfree(&matches);
    }
    if (size > INT32_MAX) return INT32_MAX;
    return static_cast<std::int32_t>(size);
}

void ShellOpen(void*, const std::string&) {
    // The headless front end has nothing to open documents with; failures are ignored anyway.
}

std::string WindowText(void*) {
    return {};
}

std::string LowerFileName(std::string_view name) {
    return AsciiLower(name);
}

// POSIX has no drives: a leading "X:" is part of a name like any other.
bool DriveReady(char) {
    return false;
}

bool SafeFileExists(const std::string& Path) {
    return !Path.empty() && FileExists(Path);
}

bool SafeDirExists(const std::string& Path) {
    return !Path.empty() && FolderExists(Path);
}

std::string SuiteFolder() {
    const std::string kvdir = GetEnvText("KVDIR", "");
    return SafeDirExists(kvdir) ? kvdir : "";
}

std::string SuiteFile(const std::string& Name) {
    const std::string kvdir = GetEnvText("KVDIR", "");
    if (kvdir.empty()) return "";
    const std::string file = JoinPath(kvdir, Name, '/');
    return SafeFileExists(file) ? file : "";
}

std::string TempFolder() {
    std::error_code ec;
    std::string folder = std::filesystem::temp_directory_path(ec).string();
    if (ec) return "";
    if (folder.size() > 1) folder = NoTrailingBackslash(folder, '/');
    return Trim(folder);
}

std::string FindOnPath(const std::string& Name) {
    if (Name.empty()) return "";
    if (SafeFileExists(Name)) return Name;
    const std::string path = GetEnvText("PATH", "");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(start, end - start);
        if (!folder.empty()) {
            const std::string file = folder + (folder.back() == '/' ? "" : "/") + Name;
            if (SafeFileExists(file)) return file;
        }
        start = end + 1;
    }
    return "";
}

std::string DialogInitialFolder(const std::string& InitialDir) {
    if (!Trim(InitialDir).empty()) return InitialDir;
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    return ec ? std::string() : cwd;
}

} // namespace pelvarn
