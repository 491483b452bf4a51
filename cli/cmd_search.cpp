// pelvarn-cli search FOLDER: the overnight search. Parallel workers in folders of their own,
// jobs started directly or through a scheduler's launcher, a journal to resume from, and a
// convergence plot. The engine is search/; this file reads the options and reports.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "base/mystrucs.h"
#include "base/paths.h"
#include "base/textutil.h"
#include "cli/cli.h"
#include "platform/console.h"
#include "platform/fileio.h"
#include "platform/filelock.h"
#include "platform/xwutil.h"
#include "search/evaluator.h"
#include "search/journal.h"
#include "search/plot.h"
#include "search/report.h"
#include "search/run.h"
#include "search/structure.h"
#include "sti/stiUtils.h"

namespace pelvarn::cli {

namespace {

using namespace pelvarn::search;

constexpr int ExitRefused = 1;
constexpr int ExitJobFailed = 2;
constexpr int ExitWriteFailed = 3;

struct TSearchCliOptions {
    std::string Folder = ".";
    TSearchOptions Search;
    std::int32_t Parallel = 1;
    std::string Launcher;
    bool HaveLauncher = false;
    std::string Journal;
    bool Resume = false;
    std::string CsvFile;
    std::string PlotFile;
    bool Quiet = false;
    std::optional<std::uint32_t> Seed;
};

bool ParseNumber(const std::string& text, double low, double high, double& value) {
    float f = 0;
    std::int32_t code = 1;
    StrToSingle(text, f, code);
    if (code != 0 || !(f >= low) || !(f <= high)) return false;
    value = f;
    return true;
}

std::string ParseOptions(const std::vector<std::string>& args, TSearchCliOptions& o) {
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
        double d = 0;
        if (a == "--quiet") {
            o.Quiet = true;
        } else if (a == "--resume") {
            o.Resume = true;
        } else if (a == "--repeats") {
            o.Search.NoRepeats = false;
        } else if (a == "--strategy") {
            if (!value(v) || !ParseStrategy(v, o.Search.Strategy))
                return "--strategy must be alter-pair, alter-shuffle, alter, pair, shuffle or "
                       "sweep";
        } else if (a == "--parallel") {
            if (!value(v) || !ParseWhole(v, 1, 256, n))
                return "--parallel needs a whole number 1 to 256";
            o.Parallel = static_cast<std::int32_t>(n);
        } else if (a == "--launcher") {
            if (!value(v)) return "--launcher needs a template such as \"srun -N1 -n1 {cmd}\"";
            o.Launcher = v;
            o.HaveLauncher = true;
        } else if (a == "--cap") {
            if (!value(v) || !ParseNumber(v, 1.0, 1e6, d))
                return "--cap needs a factor of 1 or more";
            o.Search.Cap = d;
        } else if (a == "--on-failure") {
            if (!value(v) || (v != "pause" && v != "skip"))
                return "--on-failure must be pause or skip";
            o.Search.PauseOnFailure = v == "pause";
        } else if (a == "--journal") {
            if (!value(v) || v.empty()) return "--journal needs a file name";
            o.Journal = v;
        } else if (a == "--verify") {
            if (!value(v) || !ParseWhole(v, 1, 100, n))
                return "--verify needs a whole number 1 to 100";
            o.Search.Verify = static_cast<std::int32_t>(n);
        } else if (a == "--max-jobs") {
            if (!value(v) || !ParseWhole(v, 1, 2000000000, n))
                return "--max-jobs needs a whole number of 1 or more";
            o.Search.MaxJobs = n;
        } else if (a == "--max-hours") {
            if (!value(v) || !ParseNumber(v, 1e-6, 1e6, d) || d <= 0)
                return "--max-hours needs a number of hours above 0";
            o.Search.MaxHours = d;
        } else if (a == "--seed") {
            if (!value(v) || !ParseWhole(v, 0, 4294967295LL, n))
                return "--seed needs a whole number 0 to 4294967295";
            o.Seed = static_cast<std::uint32_t>(n);
        } else if (a == "--time-limit") {
            if (!value(v) || !ParseNumber(v, 1e-6, 1e9, d) || d <= 0)
                return "--time-limit needs a number of seconds above 0";
            o.Search.TimeLimit = d;
        } else if (a == "--csv") {
            if (!value(v) || v.empty()) return "--csv needs a file name";
            o.CsvFile = v;
        } else if (a == "--plot") {
            if (!value(v) || v.empty()) return "--plot needs a file name";
            o.PlotFile = v;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return "unknown option " + a;
        } else if (folderSeen) {
            return "only one FOLDER may be given";
        } else {
            o.Folder = a;
            folderSeen = true;
        }
    }
    if (o.HaveLauncher) {
        std::vector<std::string> words;
        if (!SplitShellWords(o.Launcher, words)) return "--launcher has an unclosed quote";
        if (std::find(words.begin(), words.end(), "{cmd}") == words.end())
            return "--launcher needs the word {cmd}, where the job's command goes";
    }
    return "";
}

std::uint32_t ClockSeed() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms % 4294967296LL);
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string Duration(double hours) {
    const long long minutes = static_cast<long long>(hours * 60 + 0.5);
    return std::to_string(minutes / 60) + "h" + (minutes % 60 < 10 ? "0" : "") +
           std::to_string(minutes % 60);
}

std::string ProgressText(const TSearchProgress& p, const TSearchOptions& o) {
    std::string s = std::to_string(p.Done) + " done, " + std::to_string(p.Running) + " running";
    if (p.BestJob >= 0)
        s += ", best Job" + std::to_string(p.BestJob) + " " + FormatFixed(p.BestSeconds, 2) + " s";
    const double perHour = p.ElapsedHours > 0 ? p.DoneThisRun / p.ElapsedHours : 0;
    if (p.DoneThisRun > 0) s += ", " + FormatFixed(perHour, 0) + " jobs/h";
    double left = -1;
    if (o.MaxJobs > 0 && perHour > 0) left = static_cast<double>(o.MaxJobs - p.Done) / perHour;
    if (o.MaxHours > 0) {
        const double h = std::max(0.0, o.MaxHours - p.ElapsedHours);
        left = left < 0 ? h : std::min(left, h);
    }
    if (left >= 0) s += ", " + Duration(left) + " left";
    return s;
}

int RunSearch(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("search");
    TSearchCliOptions o;
    std::string problem = ParseOptions(args, o);
    if (!problem.empty()) return UsageError(self, problem);
    auto say = [](const std::string& text) { Err("pelvarn-cli search: " + text + "\n"); };

    InitXwUtil();
    TSearchCommand command;
    if constexpr (PathDelim == '\\')
        command = {ComSpec(), {"/c", "pelvrn.bat"}, "pelvrn.bat"};
    else
        command = {"/bin/sh", {"pelvrn.sh"}, "pelvrn.sh"};

    const std::string folder = AbsoluteFolder(o.Folder);
    const std::string initial = JoinPath(folder, "initial.sti");
    if (!FileExists(JoinPath(folder, command.BatchFileName)) || !FileExists(initial)) {
        say("the folder " + o.Folder + " does not hold both " + command.BatchFileName +
            " and initial.sti");
        return ExitRefused;
    }
    auto records = std::make_unique<TSubInfo>();
    std::int32_t count = 0;
    std::string reason;
    if (!ReadSTIFile(initial, *records, count, reason)) {
        say("initial.sti refused: " + reason);
        return ExitRefused;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        if (!CheckSubRecord((*records)[static_cast<std::size_t>(i)], reason)) {
            say("initial.sti refused: bad substitution: " + reason);
            return ExitRefused;
        }
    }

    // One search per job folder, the window's and pelvarn-cli run's included: they take the
    // same lock, which the system drops however this program ends.
    TFileLock folderLock;
    const std::string lockFile = JoinPath(folder, "pelvarn.lock");
    switch (folderLock.TryLock(lockFile, reason)) {
    case TFileLock::TResult::Locked:
        break;
    case TFileLock::TResult::HeldElsewhere:
        say("another search is running in the job folder " + folder +
            ": only one search at a time can use a job folder");
        return ExitRefused;
    case TFileLock::TResult::Failed:
        say("cannot lock file " + lockFile + ": " + reason);
        return ExitWriteFailed;
    }

    const std::string journal = o.Journal.empty() ? JoinPath(folder, "search.jsonl") : o.Journal;
    TJournalContents contents;
    bool resuming = false;
    std::string text;
    if (FileExists(journal) && ReadWholeFile(journal, text, reason) && !text.empty()) {
        if (!o.Resume) {
            say(journal +
                " exists: --resume continues that search; move it away to start a new one");
            return ExitRefused;
        }
        if (!ParseJournal(text, contents, reason)) {
            say("cannot resume from " + journal + ": " + reason);
            return ExitRefused;
        }
        if (!contents.Warning.empty()) say("warning: " + contents.Warning);
        // The torn bytes go, so that the next line starts a line of its own.
        if (contents.ValidBytes < text.size())
            ReplaceFileContents(journal, text.substr(0, contents.ValidBytes));
        resuming = true;
    } else if (o.Resume) {
        say("no journal " + journal + " to resume: starting a new search");
    }
    o.Search.Seed = resuming ? contents.Header.Seed : (o.Seed ? *o.Seed : ClockSeed());
    if (resuming) {
        TStrategy s;
        if (ParseStrategy(contents.Header.Strategy, s)) o.Search.Strategy = s;
    }

    std::vector<std::string> launcher;
    if (o.HaveLauncher) SplitShellWords(o.Launcher, launcher);
    std::vector<std::string> workers;
    const std::vector<std::string> skip{FileNamePart(journal), FileNamePart(o.CsvFile),
                                        FileNamePart(o.PlotFile), "pelvarn.lock",
                                        "search-report.html"};
    for (std::int32_t w = 0; w < o.Parallel; ++w) {
        workers.push_back(WorkerFolder(folder, w));
        if (!MakeWorkerFolder(folder, workers.back(), skip, reason)) {
            say(reason);
            return ExitWriteFailed;
        }
    }

    std::FILE* csv = nullptr;
    if (!o.CsvFile.empty()) {
        csv = std::fopen(o.CsvFile.c_str(), resuming ? "ab" : "wb");
        if (!csv) {
            say("cannot write " + o.CsvFile + ": " + LastFileErrorText());
            return ExitWriteFailed;
        }
        if (!resuming) std::fputs("job,worker,status,seconds,wall,best,change\r\n", csv);
        std::fflush(csv);
    }

    TProcessEvaluator evaluator(folder, workers, *records, command, launcher);
    TSearchRun run(o.Search, *records, count, folder, journal, evaluator);
    if (o.Search.NoRepeats) {
        auto structure = std::make_shared<TModelStructure>();
        if (ReadModelStructure(folder, initial, *records, count, *structure, reason))
            run.SetModelStructure(structure);
        else
            say("warning: " + reason +
                ": an exchange is judged by the condensation as written, not by what it does");
    }
    if (resuming && !run.Resume(contents, reason)) {
        if (csv) std::fclose(csv);
        say("cannot resume from " + journal + ": " + reason);
        return ExitRefused;
    }

    // The plot is written once now, so that a path it cannot be written to is found before
    // a night of jobs rather than after it; on a resumed search it shows the journal's jobs.
    // Its title names the job folder by its own name: the path above it (often a temporary
    // or a scheduler's folder) says nothing about the model.
    auto writePlot = [&]() {
        try {
            ReplaceFileContents(
                o.PlotFile,
                ConvergencePlotSvg(run.Entries(), "Search of " + JobFolderName(folder)));
            return true;
        } catch (const TFileError& e) {
            say(e.what());
            return false;
        }
    };
    if (!o.PlotFile.empty() && !writePlot()) {
        if (csv) std::fclose(csv);
        return ExitWriteFailed;
    }

    const bool terminal = StderrIsTerminal();
    bool progressShown = false;
    auto clearProgress = [&]() {
        if (progressShown) Err("\r\x1b[K");
        progressShown = false;
    };
    auto showProgress = [&](const TSearchProgress& p) {
        if (!terminal) return;
        Err("\r\x1b[K" + ProgressText(p, o.Search));
        progressShown = true;
    };
    InstallInterruptHandler();
    run.Interrupts = [] { return InterruptCount(); };
    run.OnNote = [&](const std::string& line) {
        clearProgress();
        say(line);
    };
    run.OnTick = showProgress;
    run.OnJob = [&](const TJournalEntry& e, const TSearchProgress& p) {
        clearProgress();
        std::string line = "Job" + std::to_string(e.Job) + " ";
        if (e.Status == TJobStatus::Ok || e.Status == TJobStatus::Verify)
            line += FormatFixed(e.Seconds, 2) + " secs";
        else
            line += JobStatusName(e.Status) + ": " + e.Reason;
        line += " [w" + std::to_string(e.Worker + 1) + " " + FormatFixed(e.Wall, 1) + " s] " +
                e.Candidate.Change;
        if (e.Status == TJobStatus::Ok && p.BestJob == e.Job) line += " ********* best yet";
        if (!o.Quiet) Out(line + "\n");
        if (!terminal && !o.Quiet && e.Status != TJobStatus::Verify)
            Out("  " + ProgressText(p, o.Search) + "\n");
        if (csv) {
            std::string row = std::to_string(e.Job) + "," + std::to_string(e.Worker + 1) + "," +
                              JobStatusName(e.Status) + "," + FormatFixed(e.Seconds, 3) + "," +
                              FormatFixed(e.Wall, 3) + "," + FormatFixed(p.BestSeconds, 3) + "," +
                              CsvField(e.Candidate.Change) + "\r\n";
            std::fputs(row.c_str(), csv);
            std::fflush(csv);
        }
        showProgress(p);
    };

    int status = ExitOk;
    TSearchEnd end = TSearchEnd::Finished;
    try {
        end = run.Run();
    } catch (const TFileError& e) {
        clearProgress();
        say(e.what());
        status = ExitWriteFailed;
    }
    clearProgress();
    if (csv) std::fclose(csv);
    if (!o.PlotFile.empty() && !writePlot()) status = ExitWriteFailed;
    // Every search leaves its report beside its journal, whether it ended or was stopped.
    const std::string journalFolder = FileFolder(journal);
    const std::string reportFile = journalFolder.empty()
                                       ? std::string("search-report.html")
                                       : JoinPath(journalFolder, "search-report.html");
    try {
        std::string why;
        if (!WriteSearchReport(folder, journal, reportFile, why)) say("no report written: " + why);
    } catch (const TFileError& e) {
        say(e.what());
        status = ExitWriteFailed;
    }
    if (end == TSearchEnd::Paused) {
        say("stopped: a job failed: " + run.FailureReason);
        if (status == ExitOk) status = ExitJobFailed;
    } else if (end == TSearchEnd::Interrupted) {
        say("interrupted; --resume continues from " + journal);
    } else if (end == TSearchEnd::Exhausted) {
        say(run.Policy().NeighbourhoodCovered
                ? "every candidate near the best has been timed: the search is complete"
                : "no untimed candidate near the best was found in " +
                      std::to_string(TPolicy::MaxNeighbours) +
                      " tries: the search ends (--resume tries again)");
    }
    if (!run.BestEvidence().empty()) say(run.BestEvidence());
    for (const TJournalEntry& e : run.Entries())
        if (e.Job == run.BestJob() && e.VerifyOf < 0 && e.Status == TJobStatus::Ok) {
            Out("Best job is Job" + std::to_string(e.Job) + " " + FormatFixed(e.Seconds, 2) +
                " secs\n");
            break;
        }
    for (const TJournalEntry& e : run.Entries())
        if (e.Job == 0 && e.Status == TJobStatus::Ok) {
            Out("INITIAL.STI time = " + FormatFixed(e.Seconds, 2) + " secs\n");
            break;
        }
    if (run.Verified >= 0)
        Out("Verified: Job" + std::to_string(run.Verified) + " has the best median, " +
            FormatFixed(run.VerifiedMedian, 2) + " secs; saved as optimal.sti\n");
    return status;
}

const TCliRegistration registration{{
    "search",
    "the overnight search: parallel workers, a scheduler, resume",
    "Usage: pelvarn-cli search FOLDER [OPTIONS]\n\n"
    "Searches for a faster condensation of the job folder FOLDER (initial.sti and the batch\n"
    "job, as for \"run\"), without repeating a condensation already timed; two that make the\n"
    "same eliminations (read from the model file that initial.sti names) count as one. Each\n"
    "job runs in a worker folder beside FOLDER (FOLDER.w1, FOLDER.w2, ...: copies of FOLDER\n"
    "made at the start); JobN, JobN.cnd and optimal.sti/optimal.cnd are written to FOLDER,\n"
    "and every finished job is recorded in the journal.\n\n"
    "Options:\n"
    "  --strategy NAME      alter-pair (default: a round of toggles, then toggles and pair\n"
    "                       exchanges, more often the kind that improved lately; with a\n"
    "                       readable model file, the neighbours in the order of their\n"
    "                       estimated times, learned from the jobs, one in five at random),\n"
    "                       alter-shuffle, alter, pair, shuffle, or sweep (toggle every\n"
    "                       record once, again while that gains, then mostly pair exchanges)\n"
    "  --parallel N         N jobs at once, each in its own worker folder (default 1)\n"
    "  --launcher TEMPLATE  start each job through a scheduler: {cmd} is the job's command,\n"
    "                       {dir} the worker folder, e.g. \"srun -N1 -n1 --chdir={dir} {cmd}\"\n"
    "  --cap F              end a job that runs longer than F times the best job's wall time\n"
    "  --on-failure pause|skip\n"
    "                       a failed job stops the search, or is recorded and skipped\n"
    "                       (default skip)\n"
    "  --journal FILE       the journal (default FOLDER/search.jsonl)\n"
    "  --resume             continue the search of the journal\n"
    "  --verify K           at the end, time the best 3 K more times each; the best median\n"
    "                       is saved as optimal.sti\n"
    "  --max-jobs N         stop after N jobs in all (those of a resumed journal included)\n"
    "  --max-hours H        start no job after H hours\n"
    "  --seed S             seed of the generator (default: the clock)\n"
    "  --time-limit SECONDS longest a job may run (default 3600); it is then ended, failed\n"
    "  --csv FILE           one row per finished job\n"
    "  --plot FILE.svg      a convergence plot, written at the start (so that a bad path\n"
    "                       is found at once) and at the end\n"
    "  --repeats            time a condensation again when it is drawn again, an exchange\n"
    "                       that makes the same eliminations, and an exchange of records\n"
    "                       that lately changed nothing when exchanged\n"
    "  --quiet              no job lines, only the final lines and messages\n\n"
    "Ctrl+C stops starting jobs and waits for the running ones; a second Ctrl+C ends them.\n"
    "The journal is left for --resume. At the end, and when stopped, the search writes its\n"
    "report, search-report.html, beside the journal (see \"pelvarn-cli report\").\n\n"
    "Exit status: 0 finished, stopped by a limit or by Ctrl+C, failed jobs skipped; 1 input\n"
    "refused (no job files, initial.sti refused, a journal that does not fit, another\n"
    "search running in FOLDER); 2 a job\n"
    "failed with --on-failure pause, or could not be started, or the initial condensation\n"
    "failed; 3 a file could not be written; 64 wrong arguments.\n",
    RunSearch,
}};

} // namespace
} // namespace pelvarn::cli
