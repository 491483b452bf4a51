// A small program that the process tests start: it sleeps, exits with a chosen code, or
// writes what it sees (a text, its current folder, its arguments) to a file.
//   pelvarn_test_helper sleep MS
//   pelvarn_test_helper exit K
//   pelvarn_test_helper write FILE TEXT...
//   pelvarn_test_helper cwd FILE
//   pelvarn_test_helper args FILE ARG...
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 3) return 100;
    const std::string mode = argv[1];
    if (mode == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return 0;
    }
    if (mode == "exit") return std::atoi(argv[2]);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    if (!out) return 101;
    if (mode == "write") {
        for (int i = 3; i < argc; ++i)
            out << (i > 3 ? " " : "") << argv[i];
    } else if (mode == "cwd") {
        out << std::filesystem::current_path().string();
    } else if (mode == "args") {
        for (int i = 3; i < argc; ++i)
            out << argv[i] << "\n";
    } else {
        return 102;
    }
    return out.good() ? 0 : 103;
}
