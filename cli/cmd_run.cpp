// pelvarn-cli run [FOLDER]: the optimisation run of the main window, headless. The run logic
// is the window's own (TForm1); this file gives it a console view and drives its timer: a
// tick every 500 ms, and at once when the job's process ends.
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>

#include "app/form1.h"
#include "base/mystrucs.h"
#include "base/paths.h"
#include "base/textutil.h"
#include "cli/cli.h"
#include "platform/console.h"
#include "platform/fileio.h"
#include "platform/process.h"
#include "platform/xwutil.h"

namespace pelvarn::cli {

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitJobFailed = 2;
constexpr int ExitWriteFailed = 3;

struct TRunOptions {
    std::string Folder = ".";
    int Include = 0; // "Leave unchanged", as the window starts
    int Order = 2;   // "Complete shuffle"
    long long MaxJobs = 0;
    std::optional<std::uint32_t> Seed;
    float TimeLimit = 3600.0f;
    std::string CsvFile;
    bool Quiet = false;
};

// A message box's text as one line.
std::string OneLine(const std::string& text) {
    std::string s;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            s += ' ';
            ++i;
        } else if (text[i] == '\r' || text[i] == '\n') {
            s += ' ';
        } else {
            s += text[i];
        }
    }
    return s;
}

// The main window as a console: log lines go to standard output, message boxes to standard
// error, where they also decide the exit status.
class TConsoleView final : public TForm1View {
  public:
    TConsoleView(const TRunOptions& options) : Options(options) {}

    void SetCaption(TControlId id, const std::string& text) override { Captions[id] = text; }
    std::string GetCaption(TControlId id) override { return Captions[id]; }
    void SetEnabled(TControlId id, bool enabled) override { Enabled[id] = enabled; }
    bool IsEnabled(TControlId id) override { return Enabled[id]; }
    int GetRadioIndex(TControlId group) override {
        return group == TControlId::IncludeRadioGroup ? Options.Include : Options.Order;
    }
    bool IsChecked(TControlId) override { return false; }
    void ClearLog() override {}
    void AppendLog(const std::string& line) override {
        if (!Options.Quiet) Out(line + "\n");
    }
    void CopyLogToClipboard() override {}
    void SetTimerEnabled(bool enabled) override { TimerOn = enabled; }
    bool IsTimerEnabled() override { return TimerOn; }
    void ShowMessage(const std::string& text, TMsgKind kind, TMsgButtons,
                     int helpContext) override {
        if (kind == TMsgKind::Information && SilentInformation) return;
        const char* what = kind == TMsgKind::Error     ? "error: "
                           : kind == TMsgKind::Warning ? "warning: "
                                                       : "";
        Err("pelvarn-cli run: " + std::string(what) + OneLine(PlainMessage(text)) + "\n");
        int status = 0;
        switch (helpContext) {
        case HcLaunchFailed:
        case HcExpectedFile: // also the time-out
        case HcRunTime:
            status = ExitJobFailed;
            break;
        case HcNothingAltered:
        case HcBadSubstitution:
        case HcStiRefused:
        case HcChooseBatch:
            status = ExitRefused;
            break;
        case HcJobRunning: // as an error: another search holds the job folder
            if (kind == TMsgKind::Error) status = ExitRefused;
            break;
        default:
            break;
        }
        if (status != 0 && ExitStatus == 0) ExitStatus = status;
        if (Contains(text, "Timed out")) TimedOut = true;
    }
    bool ChooseFile(const std::string&, const std::string&, std::string&) override { return false; }
    void BringToFront() override {}
    void SetClientSize(int, int) override {}
    void ShowAbout() override {}
    void ShowHelpContents() override {}
    void Close() override {}

    int ExitStatus = 0;
    bool TimedOut = false;
    bool SilentInformation = false;

  private:
    const TRunOptions& Options;
    std::map<TControlId, std::string> Captions;
    std::map<TControlId, bool> Enabled;
    bool TimerOn = false;
};

// The system's runner, with the front end's duties: each job heads a process tree of its own,
// so that ending it (a time-out, a failed write, a second Ctrl+C) ends everything it started;
// it is started shielded from the console's Ctrl+C, which belongs to this program; a failed
// start is told on standard error, not in a message box.
class TCliRunner final : public TProcessRunner {
  public:
    bool Start(const std::string& title, const std::string& program, const std::string& params,
               const std::string& workDir, int showCmd, ProcInfo& info) override {
        std::string error;
        const bool started =
            StartProcessTreeDeafToCtrlC(title, program, params, workDir, showCmd, info, error);
        if (!started) Err("pelvarn-cli run: " + program + ": " + error + "\n");
        return started;
    }
    bool Ended(ProcInfo& info) override { return ProcessEnded(info); }
    bool EndedWithStatus(ProcInfo& info, TExitStatus& exit) override {
        return ProcessEnded(info, exit);
    }
};

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Appends rows to the CSV file, flushed after each, so that an interrupted run keeps them.
class TCsvWriter {
  public:
    ~TCsvWriter() {
        if (File) std::fclose(File);
    }
    bool Open(const std::string& path) {
        File = std::fopen(path.c_str(), "wb");
        Path = path;
        return File && Write("job,seconds,change,mark,best\r\n");
    }
    bool IsOpen() const { return File != nullptr; }
    bool Write(const std::string& row) {
        return std::fwrite(row.data(), 1, row.size(), File) == row.size() && std::fflush(File) == 0;
    }
    std::string Path;

  private:
    std::FILE* File = nullptr;
};

std::uint32_t ClockSeed() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms % (24LL * 60 * 60 * 1000));
}

// Returns an empty text or the usage problem.
std::string ParseOptions(const std::vector<std::string>& args, TRunOptions& o) {
    bool folderSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        std::string v;
        long long n = 0;
        if (a == "--quiet") {
            o.Quiet = true;
        } else if (a == "--include") {
            if (!value(v)) return "--include needs leave or alter";
            if (v == "leave")
                o.Include = 0;
            else if (v == "alter")
                o.Include = 1;
            else
                return "--include must be leave or alter, not " + v;
        } else if (a == "--order") {
            if (!value(v)) return "--order needs unchanged, pair or shuffle";
            if (v == "unchanged")
                o.Order = 0;
            else if (v == "pair")
                o.Order = 1;
            else if (v == "shuffle")
                o.Order = 2;
            else
                return "--order must be unchanged, pair or shuffle, not " + v;
        } else if (a == "--max-jobs") {
            if (!value(v) || !ParseWhole(v, 1, 2000000000, n))
                return "--max-jobs needs a whole number of 1 or more";
            o.MaxJobs = n;
        } else if (a == "--seed") {
            if (!value(v) || !ParseWhole(v, 0, 4294967295LL, n))
                return "--seed needs a whole number 0 to 4294967295";
            o.Seed = static_cast<std::uint32_t>(n);
        } else if (a == "--time-limit") {
            float f = 0;
            std::int32_t code = 1;
            if (value(v)) StrToSingle(v, f, code);
            if (code != 0 || !(f > 0) || f > 1e9f)
                return "--time-limit needs a number of seconds above 0";
            o.TimeLimit = f;
        } else if (a == "--csv") {
            if (!value(v) || v.empty()) return "--csv needs a file name";
            o.CsvFile = v;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return "unknown option " + a;
        } else if (folderSeen) {
            return "only one FOLDER may be given";
        } else {
            o.Folder = a;
            folderSeen = true;
        }
    }
    std::string folder = NoTrailingBackslash(o.Folder);
    if (PathDelim == '\\') folder = NoTrailingBackslash(folder, '/');
    // A drive root keeps its backslash ("E:\\"): "E:" alone names that drive's current folder.
    const bool driveRoot = PathDelim == '\\' && o.Folder.size() == 3 && o.Folder[1] == ':';
    if (!folder.empty() && !driveRoot) o.Folder = folder;
    return "";
}

std::string MarkWord(const std::string& mark) {
    if (Contains(mark, "best")) return "best";
    if (Contains(mark, "worst")) return "worst";
    return "";
}

int RunRun(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("run");
    TRunOptions options;
    std::string problem = ParseOptions(args, options);
    if (!problem.empty()) return UsageError(self, problem);

    InitXwUtil();
    TConsoleView view(options);
    TCliRunner runner;
    TJobCommand command = DefaultJobCommand();
    TForm1 form(view, runner, command, "");
    form.TimeLimitSeconds = options.TimeLimit;
    form.FormCreate(options.Seed ? *options.Seed : ClockSeed());
    form.SetJobFolder(options.Folder);
    if (form.JobFolder.empty()) {
        Err("pelvarn-cli run: the folder " + options.Folder + " does not hold both " +
            command.BatchFileName + " and initial.sti\n");
        return ExitRefused;
    }

    // Before anything is written: a second search on this folder is refused here.
    if (!form.LockJobFolder()) return ExitRefused;

    TCsvWriter csv;
    if (!options.CsvFile.empty() && !csv.Open(options.CsvFile)) {
        Err("pelvarn-cli run: cannot write " + options.CsvFile + ": " + LastFileErrorText() + "\n");
        return ExitWriteFailed;
    }
    bool csvFailed = false;
    long long finished = 0;
    form.OnJobTimed = [&](const TJobResult& r) {
        ++finished;
        if (csv.IsOpen() && !csvFailed &&
            !csv.Write(std::to_string(r.JobCount) + "," + FormatFixed(r.Seconds, 3) + "," +
                       CsvField(r.ChangeText) + "," + MarkWord(r.Mark) + "," +
                       FormatFixed(r.BestTime, 3) + "\r\n"))
            csvFailed = true;
    };
    // Stop cleanly after the last job: its improvement is saved, no further candidate is
    // written or launched.
    form.StopBeforeNextCandidate = [&]() {
        return csvFailed || (options.MaxJobs > 0 && finished >= options.MaxJobs);
    };

    InstallInterruptHandler();
    int handledPresses = 0;
    bool pausedByUser = false;
    using Clock = std::chrono::steady_clock;
    auto handleInterrupts = [&]() {
        // Two presses may be counted between two looks: each one is taken in turn.
        for (const int presses = InterruptCount(); handledPresses < presses; ++handledPresses) {
            if (!pausedByUser) {
                pausedByUser = true;
                Err("pelvarn-cli run: pausing; the running job may finish, its result is not "
                    "read (Ctrl+C again ends it)\n");
                view.SilentInformation = true;
                form.PauseBtnClick();
                view.SilentInformation = false;
            } else if (!form.JobProcess.IsZero()) {
                Err("pelvarn-cli run: ending the running job\n");
                KillProcess(form.JobProcess);
            }
        }
    };

    bool started = false;
    try {
        form.StartBtnClick();
        started = true;
        while (view.IsTimerEnabled()) {
            // One tick per interval, or at once when the job's process ends.
            const auto due = Clock::now() + std::chrono::milliseconds(form.TimerIntervalMs);
            for (;;) {
                handleInterrupts();
                if (form.PauseRequested) break;
                auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now())
                        .count();
                if (left <= 0) break;
                if (WaitForProcessEnd(form.JobProcess,
                                      static_cast<int>(std::min<long long>(left, 100))))
                    break;
            }
            form.DosJobTimerTimer();
        }
    } catch (const TFileError& e) {
        Err("pelvarn-cli run: " + std::string(e.what()) + "\n");
        // A file that cannot be opened or read is initial.sti at START, a job's log later;
        // every other file error is one of writing (a candidate, the best, the lock).
        const std::string what = e.what();
        const bool readError =
            StartsWith(what, "Cannot open file ") || StartsWith(what, "Cannot read file ");
        view.ExitStatus = !readError ? ExitWriteFailed : started ? ExitJobFailed : ExitRefused;
    }

    // A job may still run: after a pause it may finish (a second Ctrl+C ends it); after a
    // time-out or a failed write it is ended, since nothing will read its result.
    if (!form.Runner.Ended(form.JobProcess)) {
        if (pausedByUser && view.ExitStatus == 0) {
            Err("pelvarn-cli run: waiting for " + form.JobName + " to finish\n");
            while (!WaitForProcessEnd(form.JobProcess, 100)) {
                handleInterrupts();
                if (form.JobProcess.IsZero()) break;
            }
        }
        KillProcess(form.JobProcess);
    }

    for (TControlId id :
         {TControlId::BestJobLabel, TControlId::WorstJobLabel, TControlId::InitialTimeLabel}) {
        std::string text = view.GetCaption(id);
        if (!text.empty()) Out(text + "\n");
    }
    if (csvFailed) {
        Err("pelvarn-cli run: cannot write " + csv.Path + ": " + LastFileErrorText() + "\n");
        return ExitWriteFailed;
    }
    return view.ExitStatus;
}

const TCliRegistration registration{{
    "run",
    "run the search on a job folder, as the main window does",
    "Usage: pelvarn-cli run [FOLDER] [OPTIONS]\n\n"
    "Runs the search of the main window on the job folder FOLDER (default: the current\n"
    "folder), which holds initial.sti and the batch job (POSIX: pelvrn.sh, run as\n"
    "\"/bin/sh pelvrn.sh JobN\"; Windows: pelvrn.bat, run as \"%COMSPEC% /c pelvrn.bat JobN\").\n"
    "Each finished job prints the log line that the window's log shows; at the end the\n"
    "best, worst and initial time lines are printed. Improvements are saved as optimal.sti.\n\n"
    "Options:\n"
    "  --include leave|alter   include strategy (default leave: \"Leave unchanged\")\n"
    "  --order unchanged|pair|shuffle\n"
    "                          order strategy (default shuffle: \"Complete shuffle\")\n"
    "  --max-jobs N            stop after N finished jobs (default: run until stopped)\n"
    "  --seed S                seed of the generator (default: the clock); the same seed\n"
    "                          gives the same candidates on every OS\n"
    "  --time-limit SECONDS    longest a job may run (default 3600); a job that runs\n"
    "                          longer is ended and the run stops\n"
    "  --csv FILE              one row per finished job: job,seconds,change,mark,best\n"
    "  --quiet                 no log lines, only the final lines and messages\n\n"
    "Ctrl+C pauses: the running job may finish, its result is not read, and the program\n"
    "ends. A second Ctrl+C ends the job too.\n\n"
    "Exit status: 0 finished (the job limit reached) or paused by Ctrl+C; 1 input refused\n"
    "(no job files in FOLDER, initial.sti refused or not a regular file, nothing being\n"
    "altered, another search running in FOLDER); 2 a job failed (could not be started,\n"
    "left no run.log or pelvrn.sl4, was ended by a signal or crash, reported no usable\n"
    "CPU time) or timed out; 3 a file could not be written, deleted or locked (a failed\n"
    "save of the best leaves optimal.sti and optimal.cnd as they were); 64 wrong\n"
    "arguments; 70 an internal error.\n",
    RunRun,
}};

} // namespace
} // namespace pelvarn::cli
