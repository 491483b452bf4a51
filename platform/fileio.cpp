// The parts of file access that are the same on every system: the names of temporaries.
#include "platform/fileio.h"

#include <atomic>

namespace pelvarn {

namespace {

std::atomic<unsigned> WriteCount{0};

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

std::string WriterTempNameFor(const std::string& path, unsigned long processId) {
    return path + ".~" + std::to_string(processId) + "-" + std::to_string(++WriteCount) + ".tmp";
}

bool IsWriterTempName(std::string_view name) {
    constexpr std::string_view oldSuffix = ".~tmp";
    if (name.size() > oldSuffix.size() && name.substr(name.size() - oldSuffix.size()) == oldSuffix)
        return true;
    constexpr std::string_view suffix = ".tmp";
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
        return false;
    name.remove_suffix(suffix.size());
    const std::size_t mark = name.rfind(".~");
    if (mark == std::string_view::npos || mark == 0) return false;
    std::string_view numbers = name.substr(mark + 2);
    const std::size_t dash = numbers.find('-');
    return dash != std::string_view::npos && AllDigits(numbers.substr(0, dash)) &&
           AllDigits(numbers.substr(dash + 1));
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& reason) {
    TInFile in;
    if (!in.Open(path, reason)) return false;
    char buffer[65536];
    text.clear();
    for (std::size_t n; (n = in.Read(buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    in.Close();
    return true;
}

} // namespace pelvarn
