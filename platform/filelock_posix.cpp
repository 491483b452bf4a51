#include "platform/filelock.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pelvarn {

namespace {

int Fd(void* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}
void* BoxFd(int fd) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
}

} // namespace

TFileLock::~TFileLock() {
    Unlock();
}

TFileLock::TResult TFileLock::TryLock(const std::string& path, std::string& sysMessage) {
    Unlock();
    sysMessage.clear();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        sysMessage = std::strerror(errno);
        return TResult::Failed;
    }
    // flock belongs to the open file, so a second open in this same process conflicts too.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return TResult::HeldElsewhere;
        sysMessage = std::strerror(err);
        return TResult::Failed;
    }
    Handle = BoxFd(fd);
    LockedPath = path;
    return TResult::Locked;
}

void TFileLock::Unlock() {
    if (Handle) ::close(Fd(Handle)); // closing the file releases its lock
    Handle = nullptr;
    LockedPath.clear();
}

} // namespace pelvarn
