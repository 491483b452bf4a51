// fakejob.exe JOBNAME: a stand-in for the user's batch job in the end-to-end tests. Run by
// pelvrn.bat in the job folder (the current folder). It looks JOBNAME up in "jobtimes.txt":
//
//   <job name or *> <seconds> [mode]
//
// "*" is the line for every job not named. Without a mode the job writes run.log with the
// line "Total CPU is <seconds> seconds" and writes pelvrn.sl4. Modes:
//   nosl4    run.log only
//   nolog    pelvrn.sl4 only (a run.log left by an earlier job is deleted first)
//   badtime  run.log whose CPU-time line holds "abc" in place of a number, and pelvrn.sl4
//   hold     as without a mode, but first waits until a file "release" exists (60 s at most)
// Whatever the mode, it appends "JOBNAME sti=yes|no optimal=yes|no" to calls.txt, telling
// whether its stored-input file and optimal.sti existed when it started, and at the very end
// writes JOBNAME.done.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

bool Exists(const std::string& name) {
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Write(const std::string& name, const std::string& text, bool append = false) {
    std::ofstream out(name, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string job = argv[1];
    Write("calls.txt",
          job + " sti=" + (Exists(job) ? "yes" : "no") +
              " optimal=" + (Exists("optimal.sti") ? "yes" : "no") + "\r\n",
          true);

    std::string seconds = "1.0", mode;
    std::ifstream table("jobtimes.txt");
    std::string line;
    bool named = false;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string name, time, how;
        fields >> name >> time >> how;
        if (name == job || (name == "*" && !named)) {
            seconds = time;
            mode = how;
            if (name == job) named = true;
        }
    }

    if (mode == "hold") {
        for (int i = 0; i < 1200 && !Exists("release"); ++i)
            Sleep(50);
    }
    if (mode == "nolog") DeleteFileA("run.log");
    if (mode != "nolog") {
        const std::string number = mode == "badtime" ? "abc" : seconds;
        Write("run.log", "Fake job " + job + "\r\n Total CPU is " + number + " seconds\r\n");
    }
    if (mode != "nosl4") Write("pelvrn.sl4", "solution of " + job + "\r\n");
    Write(job + ".done", "");
    return 0;
}
