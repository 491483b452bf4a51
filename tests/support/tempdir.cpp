#include "support/tempdir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/paths.h"

namespace fs = std::filesystem;

namespace pelvarn::test {

TTempDir::TTempDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path p = fs::temp_directory_path() /
                 ("pelvarn-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(p);
    Root = p.string();
    while (Root.size() > 1 && (Root.back() == '/' || Root.back() == '\\')) Root.pop_back();
}

TTempDir::~TTempDir() {
    std::error_code ec;
    fs::remove_all(Root, ec);
}

std::string TTempDir::File(std::string_view name) const { return JoinPath(Root, name); }

std::string TTempDir::Write(std::string_view name, std::string_view bytes) const {
    std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace pelvarn::test
