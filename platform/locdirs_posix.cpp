// locdirs on POSIX: no Windows folder, drives or shell folders; the user's folder is HOME.
#include "platform/locdirs.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "base/paths.h"
#include "platform/locdirs_os.h"

namespace pelvarn::locdirs_detail {

std::string WindowsFolder() {
    return "";
}

bool KindExists(int kind) {
    switch (kind) {
    case fkNamed:
    case fkTmp:
    case fkTemp:
    case fkKvTemp:
    case fkKvKeep:
    case fkKvDir:
    case fkCurrent:
    case fkApplication:
    case fkUser:
        return true;
    default:
        return false;
    }
}

std::string SystemFolder(int kind) {
    std::error_code ec;
    switch (kind) {
    case fkCurrent: {
        std::string cwd = std::filesystem::current_path(ec).string();
        return ec ? std::string() : cwd;
    }
    case fkApplication: {
        std::string exe = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        return ec ? std::string() : exe.substr(0, exe.rfind('/') + 1);
    }
    case fkUser:
        return EnvValue("HOME");
    default:
        return "";
    }
}

std::string EnvValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value || std::strlen(value) >= 2048) return "";
    return value;
}

std::string FullPath(const std::string& folder) {
    std::error_code ec;
    std::string full = std::filesystem::absolute(folder, ec).lexically_normal().string();
    if (ec || full.empty()) return folder;
    if (full.size() > 1) full = NoTrailingBackslash(full, '/');
    return full;
}

bool ProbeWrite(const std::string& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool closed = ::close(fd) == 0;
    const bool deleted = ::unlink(file.c_str()) == 0;
    return closed && deleted;
}

char Delim() {
    return '/';
}

} // namespace pelvarn::locdirs_detail
