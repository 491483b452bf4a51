#include "fuzz/fuzzfile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace pelvarn::fuzz {

std::string ScratchPath(const std::string& tag) {
    namespace fs = std::filesystem;
    static const std::string folder = [] {
        std::error_code ec;
        if (const char* env = std::getenv("PELVARN_FUZZ_SCRATCH"); env && *env) return std::string(env);
        if (fs::is_directory("/dev/shm", ec)) return std::string("/dev/shm");
        return fs::temp_directory_path(ec).string();
    }();
    return folder + "/pelvarn-fuzz-" + std::to_string(getpid()) + "-" + tag;
}

void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

std::vector<std::string> SplitLines(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false; // characters seen since the last line end
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == 26) break;
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
            continue;
        }
        line += c;
        open = true;
    }
    if (open) lines.push_back(line);
    return lines;
}

void Expect(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

} // namespace pelvarn::fuzz
