// Small operating-system services shared by the windows and the headless front end:
// environment, error and file texts, and the snapshot of the environment taken once at start.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelvarn {

// Takes the environment snapshot and makes the process-wide settings, once (later calls do
// nothing). The GUI calls it before its main window exists; the CLI at its start.
void InitXwUtil();

// The snapshot (filled by InitXwUtil; read-only afterwards).
const std::string& ComSpec();       // COMSPEC, trimmed; empty when absent
std::int32_t ProcessorCount();
const std::string& WineVersion();   // empty when not running under Wine

// Wine's version text from ntdll's wine_get_version; empty when not under Wine (and on POSIX).
std::string WineVersionText();

// An environment variable; Default when it is absent, empty or too long (over 8096).
std::string GetEnvText(const std::string& Name, const std::string& Default);

// The system's message for an error code ("errcode=0" for 0) and for the last error.
std::string SysErrorText(std::int32_t Code);
std::string LastErrorText();

// "not found", or the file's modification time in the locale's short date and long time.
std::string FileDateText(const std::string& FileName);
// Size of the first file matching FileName; -1 when none does.
std::int32_t FileSizeOf(const std::string& FileName);
// A byte count in words: "512 bytes", "1.5KB", "10MB", "1GB".
std::string SizeText(std::int64_t Bytes);

// Opens a document or address with the shell ("open"); failures are ignored.
void ShellOpen(void* Wnd, const std::string& Target);

// The text of a window: a control's contents or a window's caption ("" on POSIX).
std::string WindowText(void* Wnd);

// A file name lower-cased as the system compares file names (locale-aware on Windows).
std::string LowerFileName(std::string_view name);

// Drives and the suite's folders. A path that starts with a drive ("X:") is only tested
// once that drive answers, so that an empty removable drive never brings up the system's
// "insert a disk" box. POSIX has no drives: there the tests are plain existence tests.

// Letters a-z and A-Z stand for drives 1-26 (anything else is false). True when the drive
// tells its size; the system's critical-error boxes are off while it is asked.
bool DriveReady(char Letter);
// False at once when Path names a drive that is not ready; otherwise the file (or folder)
// must exist. SafeDirExists("") is false.
bool SafeFileExists(const std::string& Path);
bool SafeDirExists(const std::string& Path);

// The suite's installation folder: KVDIR exactly as set (a trailing backslash stays) when it
// names an existing folder, else C:\KV when that exists (always drive C), else empty. On
// POSIX only KVDIR counts.
std::string SuiteFolder();
// Name in the KVDIR folder when it is there, else in C:\KV when it is there (POSIX: KVDIR
// only); empty when neither holds it.
std::string SuiteFile(const std::string& Name);
// The system's temporary folder without its trailing separator (a drive root keeps it, "E:\");
// empty when there is none.
std::string TempFolder();
// The folder a file dialog opens in: InitialDir, or the current folder when it is blank.
std::string DialogInitialFolder(const std::string& InitialDir);

// The first existing file among Name itself (absolute, or relative to the current folder)
// and Name in each folder of the search path ("path"; entries separated by ";", on POSIX
// by ":"), empty entries skipped; empty when there is none.
std::string FindOnPath(const std::string& Name);

} // namespace pelvarn
