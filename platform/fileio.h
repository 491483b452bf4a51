// File access that the core needs from the operating system: opening a file for reading,
// replacing a file whole, testing and deleting files. Failures of the platform's file input
// and output are thrown as TFileError carrying the operating system's own message.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pelvarn {

class TFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* NotARegularFileText =
    "Not a regular file (a named pipe, device or socket)";
inline constexpr const char* IsAFolderText = "Is a folder, not a file";

// A file opened for reading in binary; the text layer above it splits the lines.
class TInFile {
  public:
    TInFile() = default;
    ~TInFile();
    TInFile(const TInFile&) = delete;
    TInFile& operator=(const TInFile&) = delete;

    // False with the system's message when the file cannot be opened. Only a regular file is
    // opened: a folder, a named pipe, a device or a socket is refused at once (never waited on)
    // with IsAFolderText (Windows; POSIX gives its own) or NotARegularFileText.
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

struct TFileContents {
    std::string Path;
    std::string_view Data;
};

// Replaces several files as one: every file is written to its temporary name first (with
// flushToDisk, flushed to the disk as well), and only then are they renamed, in the order
// given. A failure while writing leaves every file as it was and removes the temporaries.
void ReplaceFilesTogether(const std::vector<TFileContents>& files, bool flushToDisk);

// The temporary name under which this program writes `path`: the path, ".~", the process id,
// "-", a count of this process's writes and ".tmp", so that no two writers share one.
std::string WriterTempName(const std::string& path);
// True for a file name (no folder) that WriterTempName gives, or the ".~tmp" of earlier
// versions.
bool IsWriterTempName(std::string_view fileName);
// WriterTempName for a given process id (the systems' implementations and the tests).
std::string WriterTempNameFor(const std::string& path, unsigned long processId);
// Deletes the temporaries that writers killed in the middle of a write left in a folder;
// the number deleted.
int RemoveLeftoverTempFiles(const std::string& folder);

// The whole of a file as bytes; false with the system's reason when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& text, std::string& reason);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Deletes a file; a missing file or a refused deletion is ignored.
void DeleteFileQuietly(const std::string& path);
// Deletes a file. True when it is gone (deleted, or there was none); false with the system's
// message when it stays (a folder of that name, no right to delete, still open elsewhere).
bool DeleteFileIfPresent(const std::string& path, std::string& sysMessage);

// The operating system's message for its last file error (errno / GetLastError).
std::string LastFileErrorText();

} // namespace pelvarn
