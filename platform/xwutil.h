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

// A file name lower-cased as the system compares file names (locale-aware on Windows).
std::string LowerFileName(std::string_view name);

} // namespace pelvarn
