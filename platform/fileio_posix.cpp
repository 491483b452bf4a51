#include "platform/fileio.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelvarn {

namespace {

int Fd(void* handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1; }
void* BoxFd(int fd) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1); }

[[noreturn]] void Throw(const std::string& what, const std::string& path, int err) {
    throw TFileError(what + " " + path + ": " + std::strerror(err));
}

} // namespace

std::string LastFileErrorText() { return std::strerror(errno); }

TInFile::~TInFile() { Close(); }

bool TInFile::Open(const std::string& fileName, std::string& sysMessage) {
    Close();
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        sysMessage = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        sysMessage = std::strerror(EISDIR);
        return false;
    }
    Handle = BoxFd(fd);
    Name = fileName;
    return true;
}

std::size_t TInFile::Read(char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(Fd(Handle), buffer, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) Throw("Cannot read file", Name, errno);
    }
}

bool TInFile::Close() {
    if (!Handle) return true;
    int rc = ::close(Fd(Handle));
    Handle = nullptr;
    return rc == 0;
}

void ReplaceFileContents(const std::string& path, std::string_view data) {
    std::string temp = path + ".~tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) Throw("Cannot create file", path, errno);
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temp.c_str());
            Throw("Cannot write file", path, err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        Throw("Cannot write file", path, err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        Throw("Cannot replace file", path, err);
    }
}

void AppendToFileSynced(const std::string& path, std::string_view data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) Throw("Cannot create file", path, errno);
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            Throw("Cannot write file", path, err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        int err = errno;
        ::close(fd);
        Throw("Cannot write file", path, err);
    }
    if (::close(fd) != 0) Throw("Cannot write file", path, errno);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void DeleteFileQuietly(const std::string& path) { ::unlink(path.c_str()); }

} // namespace pelvarn
