#include "platform/filelock.h"

#include <windows.h>

#include "platform/xwutil.h"

namespace pelvarn {

TFileLock::~TFileLock() {
    Unlock();
}

TFileLock::TResult TFileLock::TryLock(const std::string& path, std::string& sysMessage) {
    Unlock();
    sysMessage.clear();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        sysMessage = LastErrorText();
        return TResult::Failed;
    }
    // A byte range lock belongs to the handle: a second handle of this same process conflicts.
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD err = GetLastError();
        CloseHandle(h);
        if (err == ERROR_LOCK_VIOLATION || err == ERROR_IO_PENDING) return TResult::HeldElsewhere;
        sysMessage = SysErrorText(static_cast<int>(err));
        return TResult::Failed;
    }
    Handle = h;
    LockedPath = path;
    return TResult::Locked;
}

void TFileLock::Unlock() {
    if (Handle) CloseHandle(static_cast<HANDLE>(Handle)); // closing the handle releases its lock
    Handle = nullptr;
    LockedPath.clear();
}

} // namespace pelvarn
