// File access that the core needs from the operating system: opening a file for reading,
// replacing a file whole, testing and deleting files. Failures of the platform's file input
// and output are thrown as TFileError carrying the operating system's own message.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelvarn {

class TFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file opened for reading in binary; the text layer above it splits the lines.
class TInFile {
  public:
    TInFile() = default;
    ~TInFile();
    TInFile(const TInFile&) = delete;
    TInFile& operator=(const TInFile&) = delete;

    // False with the system's message when the file cannot be opened.
    bool Open(const std::string& fileName, std::string& sysMessage);
    // Bytes read, 0 at the end; throws TFileError when the system reports a read error.
    std::size_t Read(char* buffer, std::size_t size);
    // False when the system reports an error on closing; the file is closed either way.
    bool Close();
    bool IsOpen() const { return Handle != nullptr; }

  private:
    void* Handle = nullptr; // a HANDLE on Windows, a boxed descriptor on POSIX
    std::string Name;
};

// Writes `data` to a temporary file in the same folder and renames it over `path`, so a
// failure while writing (disk full, file locked) leaves the previous file whole.
void ReplaceFileContents(const std::string& path, std::string_view data);

// Appends `data` to the end of `path` (created when missing) and flushes it to the disk
// before returning, so that a crash just after it keeps the bytes.
void AppendToFileSynced(const std::string& path, std::string_view data);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Deletes a file; a missing file or a refused deletion is ignored.
void DeleteFileQuietly(const std::string& path);

// The operating system's message for its last file error (errno / GetLastError).
std::string LastFileErrorText();

} // namespace pelvarn
