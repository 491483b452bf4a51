#include "base/paths.h"

#include <filesystem>

namespace pelvarn {

namespace {

// On Windows a forward slash and the drive colon also end a folder part.
bool IsFolderEnd(char c, char delim) {
    if (delim == '\\') return c == '\\' || c == '/' || c == ':';
    return c == delim;
}

std::size_t NamePartStart(std::string_view fileName, char delim) {
    std::size_t i = fileName.size();
    while (i > 0 && !IsFolderEnd(fileName[i - 1], delim)) --i;
    return i;
}

} // namespace

std::string NoTrailingBackslash(std::string_view s, char delim) {
    if (!s.empty() && s.back() == delim) s.remove_suffix(1);
    return std::string(s);
}

std::string FileFolder(std::string_view fileName, char delim) {
    std::size_t start = NamePartStart(fileName, delim);
    std::string_view folder = fileName.substr(0, start);
    // Keep the separator of a root ("C:\" or "/"), drop any other trailing one.
    bool isRoot = (delim == '\\' && folder.size() == 3 && folder[1] == ':') ||
                  (folder.size() == 1 && folder[0] == delim);
    if (!isRoot && !folder.empty() && (folder.back() == delim || folder.back() == '/'))
        folder.remove_suffix(1);
    return std::string(folder);
}

std::string FileNamePart(std::string_view fileName, char delim) {
    return std::string(fileName.substr(NamePartStart(fileName, delim)));
}

std::string JoinPath(std::string_view folder, std::string_view name, char delim) {
    while (!name.empty() && name.front() == delim) name.remove_prefix(1);
    // A drive root ("E:\") keeps its separator: "E:" alone would name the drive's current
    // folder, not its root. A bare drive passed as such is joined with nothing between.
    if (delim == '\\' && folder.size() == 3 && folder[1] == ':' &&
        (folder[2] == '\\' || folder[2] == '/'))
        return std::string(folder) + std::string(name);
    std::string left = NoTrailingBackslash(folder, delim);
    if (delim == '\\' && left.size() == 2 && left[1] == ':') return left + std::string(name);
    return left + delim + std::string(name);
}

std::string ChangeFileExt(std::string_view fileName, std::string_view ext, char delim) {
    std::size_t start = NamePartStart(fileName, delim);
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot < start) return std::string(fileName) + std::string(ext);
    return std::string(fileName.substr(0, dot)) + std::string(ext);
}

std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(folder, ec);
    if (ec) return folder;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && (s.back() == '/' || s.back() == '\\') && !(s.size() == 3 && s[1] == ':'))
        s.pop_back();
    return s;
}

} // namespace pelvarn
