// Inside the locdirs unit: what each system's implementation provides to the portable part.
#pragma once

#include <string>

namespace pelvarn::locdirs_detail {

// The Windows folder ("" on POSIX).
std::string WindowsFolder();
// False for kinds that have no meaning on this system.
bool KindExists(int kind);
// The raw value of the kinds that the system itself answers: the Windows folder, the
// current folder, the program's folder and the shell's folders.
std::string SystemFolder(int kind);
// The value of an environment variable, or "" (the 2048-character reader).
std::string EnvValue(const std::string& name);
// Expanded to a full path against the current folder ("" when that fails).
std::string FullPath(const std::string& folder);
// Creates (overwriting), closes and deletes the file; true when all three succeed.
bool ProbeWrite(const std::string& file);
// The separator between folder and file names.
char Delim();

} // namespace pelvarn::locdirs_detail
