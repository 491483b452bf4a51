// An operating-system lock on a file (flock on POSIX, LockFileEx on Windows), held while the
// object lives or until Unlock. The system drops it when the program ends in any way, so a
// crash never leaves a stale lock behind; the file itself stays.
#pragma once

#include <string>

namespace pelvarn {

class TFileLock {
  public:
    enum class TResult { Locked, HeldElsewhere, Failed };

    TFileLock() = default;
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // Opens the file (creating it when missing) and locks it without waiting. HeldElsewhere:
    // another holder has it (another process, or another TFileLock of this one). Failed: the
    // file cannot be opened or locked, with the system's message. A lock held before is
    // released first.
    TResult TryLock(const std::string& path, std::string& sysMessage);
    void Unlock();
    bool IsLocked() const { return Handle != nullptr; }
    const std::string& Path() const { return LockedPath; }

  private:
    void* Handle = nullptr; // a HANDLE on Windows, a boxed descriptor on POSIX
    std::string LockedPath;
};

} // namespace pelvarn
