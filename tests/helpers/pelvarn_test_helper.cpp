// A small program that the process tests start: it sleeps, exits with a chosen code, or
// writes what it sees (a text, its current folder, its arguments) to a file.
//   pelvarn_test_helper sleep MS
//   pelvarn_test_helper exit K
//   pelvarn_test_helper write FILE TEXT...
//   pelvarn_test_helper cwd FILE
//   pelvarn_test_helper args FILE ARG...
//   pelvarn_test_helper tree FILE MS    starts "late FILE MS" beside itself, writes FILE.started,
//                                       then sleeps a minute
//   pelvarn_test_helper late FILE MS    sleeps MS, then writes FILE
//   pelvarn_test_helper crash X         ends as a crash does (POSIX: SIGSEGV; Windows: an
//                                       access violation's exit code)
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include "platform/process.h"

int main(int argc, char** argv) {
    if (argc < 3) return 100;
    const std::string mode = argv[1];
    if (mode == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return 0;
    }
    if (mode == "exit") return std::atoi(argv[2]);
    if (mode == "crash") {
#ifdef _WIN32
        TerminateProcess(GetCurrentProcess(), 0xC0000005u);
#else
        rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
#endif
        return 104;
    }
    if (mode == "tree" && argc >= 4) {
        pelvarn::ProcInfo child;
        std::string error;
        if (!pelvarn::StartProcess("", argv[0], std::string("late \"") + argv[2] + "\" " + argv[3],
                                   "", pelvarn::SW_ShowMinNoActive, child, error))
            return 105;
        std::ofstream(std::string(argv[2]) + ".started") << "started";
        std::this_thread::sleep_for(std::chrono::seconds(60));
        return 0;
    }
    if (mode == "late" && argc >= 4) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
        std::ofstream(argv[2]) << "late";
        return 0;
    }
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
