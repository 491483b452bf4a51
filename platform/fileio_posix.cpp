#include "platform/fileio.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelvarn {

namespace {

int Fd(void* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}
void* BoxFd(int fd) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
}

[[noreturn]] void Throw(const std::string& what, const std::string& path, int err) {
    throw TFileError(what + " " + path + ": " + std::strerror(err));
}

} // namespace

std::string LastFileErrorText() {
    return std::strerror(errno);
}

TInFile::~TInFile() {
    Close();
}

bool TInFile::Open(const std::string& fileName, std::string& sysMessage) {
    Close();
    // Opened without blocking, so that a named pipe cannot hold the program up before it is
    // seen to be one; only a regular file is read.
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        sysMessage = std::strerror(errno);
        return false;
    }
    struct stat st {};
    const bool statOk = ::fstat(fd, &st) == 0;
    if (!statOk || !S_ISREG(st.st_mode)) {
        const int err = errno;
        ::close(fd);
        sysMessage = !statOk               ? std::strerror(err)
                     : S_ISDIR(st.st_mode) ? std::strerror(EISDIR)
                                           : NotARegularFileText;
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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

std::string WriterTempName(const std::string& path) {
    return WriterTempNameFor(path, static_cast<unsigned long>(::getpid()));
}

namespace {

// Writes the data to a new file `temp`; on failure the temporary is removed and the error
// thrown under the name of `path`.
void WriteTemp(const std::string& temp, const std::string& path, std::string_view data,
               bool flushToDisk) {
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) Throw("Cannot create file", path, errno);
    const char* p = data.data();
    std::size_t left = data.size();
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        Throw("Cannot write file", path, err);
    };
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : ENOSPC);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (flushToDisk && ::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        Throw("Cannot write file", path, err);
    }
}

std::string FolderOf(const std::string& path) {
    auto cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

} // namespace

void ReplaceFileContents(const std::string& path, std::string_view data) {
    ReplaceFilesTogether({{path, data}}, false);
}

void ReplaceFilesTogether(const std::vector<TFileContents>& files, bool flushToDisk) {
    std::vector<std::string> temps;
    auto removeTemps = [&](std::size_t from) {
        for (std::size_t i = from; i < temps.size(); ++i)
            ::unlink(temps[i].c_str());
    };
    for (const TFileContents& f : files) {
        std::string temp = WriterTempName(f.Path);
        try {
            WriteTemp(temp, f.Path, f.Data, flushToDisk);
        } catch (...) {
            removeTemps(0);
            throw;
        }
        temps.push_back(std::move(temp));
    }
    // Each file but the last keeps its old contents under a second name (a hard link) until
    // all are renamed, so that a failed rename can put back the ones renamed before it.
    std::vector<std::string> backups(files.size());
    std::vector<bool> existed(files.size());
    auto dropBackups = [&]() {
        for (const std::string& b : backups)
            if (!b.empty()) ::unlink(b.c_str());
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& path = files[i].Path;
        struct stat st {};
        existed[i] = ::lstat(path.c_str(), &st) == 0;
        if (i + 1 < files.size() && existed[i]) {
            std::string backup = WriterTempName(path);
            if (::link(path.c_str(), backup.c_str()) == 0) backups[i] = std::move(backup);
        }
        if (::rename(temps[i].c_str(), path.c_str()) != 0) {
            int err = errno;
            removeTemps(i);
            for (std::size_t j = i; j-- > 0;) {
                if (!backups[j].empty() && ::rename(backups[j].c_str(), files[j].Path.c_str()) == 0)
                    backups[j].clear();
                else if (!existed[j])
                    ::unlink(files[j].Path.c_str());
            }
            dropBackups();
            Throw("Cannot replace file", path, err);
        }
    }
    dropBackups();
    if (flushToDisk && !files.empty()) {
        // The renames themselves reach the disk with the folder.
        int dir = ::open(FolderOf(files.front().Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
}

int RemoveLeftoverTempFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir))
        if (IsWriterTempName(e->d_name)) names.push_back(e->d_name);
    ::closedir(dir);
    int removed = 0;
    for (const std::string& name : names) {
        const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
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

void DeleteFileQuietly(const std::string& path) {
    ::unlink(path.c_str());
}

bool DeleteFileIfPresent(const std::string& path, std::string& sysMessage) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    sysMessage = std::strerror(errno);
    return false;
}

} // namespace pelvarn
