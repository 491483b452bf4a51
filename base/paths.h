// Folder-name helpers. Folder names are passed without a trailing separator, except the
// root of a drive. The separator is the platform's own; the Windows forms (backslash,
// drive letters) can be asked for explicitly, so that they are testable on every OS.
#pragma once

#include <string>
#include <string_view>

namespace pelvarn {

#ifdef _WIN32
inline constexpr char PathDelim = '\\';
#else
inline constexpr char PathDelim = '/';
#endif

// S without one trailing separator, if it has one.
std::string NoTrailingBackslash(std::string_view s, char delim = PathDelim);

// The folder part of a path, without its trailing separator ("" for a bare file name).
std::string FileFolder(std::string_view fileName, char delim = PathDelim);

// The name part of a path (what follows the last separator).
std::string FileNamePart(std::string_view fileName, char delim = PathDelim);

// Folder loses one trailing separator and Name all its leading ones; a drive root ("C:\")
// keeps its separator ("C:\a.txt"), a bare drive ("C:") is joined with nothing between
// ("C:a.txt"), everything else with one separator.
std::string JoinPath(std::string_view folder, std::string_view name, char delim = PathDelim);

// The path with the extension of its file-name part replaced by `ext` (which includes the
// point); `ext` is appended when the file-name part has no point.
// The folder as an absolute, normalised path without a trailing separator (a drive root keeps
// its own); the folder as given when the system cannot tell the current folder.
std::string AbsoluteFolder(const std::string& folder);

std::string ChangeFileExt(std::string_view fileName, std::string_view ext, char delim = PathDelim);

} // namespace pelvarn
