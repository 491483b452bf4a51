#include "app/overnightform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "base/mystrucs.h"
#include "base/paths.h"
#include "base/textutil.h"
#include "help/helpcontexts.h"
#include "platform/fileio.h"
#include "search/report.h"
#include "search/structure.h"
#include "sti/stiUtils.h"

namespace pelvarn {

using namespace pelvarn::search;

namespace {

const char* const JournalName = "search.jsonl";
const char* const ReportName = "search-report.html";
const char* const LockName = "pelvarn.lock";

bool ParseWholeNumber(const std::string& t, long long low, long long high, long long& value) {
    if (t.empty() || t.size() > 12) return false;
    long long n = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n < low || n > high) return false;
    value = n;
    return true;
}

// An empty field is "no value"; otherwise a number from low to high (whole when asked).
bool ReadField(const std::string& text, double low, double high, bool whole, double& value,
               bool& given) {
    const std::string t = Trim(text);
    given = !t.empty();
    if (!given) return true;
    if (whole) {
        long long n = 0;
        if (!ParseWholeNumber(t, static_cast<long long>(low), static_cast<long long>(high), n))
            return false;
        value = static_cast<double>(n);
        return true;
    }
    float f = 0;
    std::int32_t code = 1;
    StrToSingle(t, f, code);
    if (code != 0 || !(f >= low) || !(f <= high)) return false;
    value = f;
    return true;
}

std::string Duration(double hours) {
    const long long minutes = static_cast<long long>(hours * 60 + 0.5);
    return std::to_string(minutes / 60) + " h " + (minutes % 60 < 10 ? "0" : "") +
           std::to_string(minutes % 60) + " min";
}

// A name for a journal kept aside: search-YYYYMMDD-HHMMSS.jsonl, made unique in the folder.
std::string DatedJournalName(const std::string& folder) {
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "undated";
    if (const std::tm* local = std::localtime(&now))
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", local);
    std::string name = std::string("search-") + stamp + ".jsonl";
    for (int k = 2; FileExists(JoinPath(folder, name)); ++k)
        name = std::string("search-") + stamp + "-" + std::to_string(k) + ".jsonl";
    return name;
}

std::uint32_t ClockSeed() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms % 4294967296LL);
}

struct TSetting {
    TOvernightControl Control;
    const char* Name;
};
const TSetting TextSettings[] = {
    {TOvernightControl::JobsAtOnce, "JobsAtOnce"}, {TOvernightControl::StopHours, "StopHours"},
    {TOvernightControl::StopJobs, "StopJobs"},     {TOvernightControl::Cap, "Cap"},
    {TOvernightControl::Verify, "Verify"},         {TOvernightControl::Launcher, "Launcher"},
};
const TSetting CheckSettings[] = {
    {TOvernightControl::SkipFailed, "SkipFailed"},
    {TOvernightControl::ShowJobWindows, "ShowJobWindows"},
};

} // namespace

TEvaluatorFactory ProcessEvaluatorFactory(TSearchCommand command) {
    return [command](const TEvaluatorRequest& r) -> std::unique_ptr<TEvaluator> {
        auto e = std::make_unique<TProcessEvaluator>(r.JobFolder, r.WorkerFolders, *r.Records,
                                                     command, r.Launcher);
        e->ShowCmd = r.ShowJobWindows ? SW_ShowMinNoActive : SW_Hide;
        return e;
    };
}

const std::vector<TStrategy>& OvernightStrategies() {
    static const std::vector<TStrategy> list{TStrategy::AlterPair, TStrategy::AlterShuffle,
                                             TStrategy::Alter,     TStrategy::Pair,
                                             TStrategy::Shuffle,   TStrategy::Sweep};
    return list;
}

std::int32_t DefaultJobsAtOnce(unsigned logicalProcessors) {
    const std::int32_t half = static_cast<std::int32_t>(logicalProcessors / 2);
    if (logicalProcessors <= 1) return 1;
    return std::clamp(half, 2, 8);
}

bool ReadOvernightOptions(const TOvernightOptions& in, TSearchOptions& out,
                          std::int32_t& jobsAtOnce, std::vector<std::string>& launcher,
                          std::string& message) {
    const auto& strategies = OvernightStrategies();
    if (in.StrategyIndex < 0 || in.StrategyIndex >= static_cast<int>(strategies.size())) {
        message = "Strategy: choose one of the list";
        return false;
    }
    out = TSearchOptions{};
    out.Strategy = strategies[static_cast<std::size_t>(in.StrategyIndex)];
    out.PauseOnFailure = !in.SkipFailed;
    double v = 0;
    bool given = false;
    if (!ReadField(in.JobsAtOnce, 1, 256, true, v, given) || !given) {
        message = "Jobs at once: a whole number from 1 to 256, please";
        return false;
    }
    jobsAtOnce = static_cast<std::int32_t>(v);
    if (!ReadField(in.StopHours, 1e-6, 1e6, false, v, given) || (given && v <= 0)) {
        message = "Stop after hours: a number of hours above 0, or empty for no limit";
        return false;
    }
    out.MaxHours = given ? v : 0;
    if (!ReadField(in.StopJobs, 1, 2000000000, true, v, given)) {
        message = "Stop after jobs: a whole number of 1 or more, or empty for no limit";
        return false;
    }
    out.MaxJobs = given ? static_cast<std::int64_t>(v) : 0;
    if (!ReadField(in.Cap, 1, 1e6, false, v, given)) {
        message = "End a job slower than (x best): a factor of 1 or more, or empty for none";
        return false;
    }
    out.Cap = given ? v : 0;
    if (!ReadField(in.Verify, 1, 100, true, v, given)) {
        message = "Time the best again (times): a whole number from 1 to 100, or empty for none";
        return false;
    }
    out.Verify = given ? static_cast<std::int32_t>(v) : 0;
    launcher.clear();
    const std::string l = Trim(in.Launcher);
    if (!l.empty()) {
        if (!SplitShellWords(l, launcher)) {
            message = "Launcher: the template has an unclosed quote";
            return false;
        }
        if (std::find(launcher.begin(), launcher.end(), "{cmd}") == launcher.end()) {
            message = "Launcher: the template needs the word {cmd}, where the job's command goes";
            return false;
        }
    }
    return true;
}

std::string OvernightStatusText(const TSearchProgress& p, const TSearchOptions& o) {
    std::string s = std::to_string(p.Done) + " done, " + std::to_string(p.Running) + " running";
    if (p.BestJob >= 0) {
        s += ", best Job" + std::to_string(p.BestJob) + " " + FormatFixed(p.BestSeconds, 2) + " s";
        if (p.InitialSeconds > 0)
            s += " (" +
                 FormatFixed(100.0 * (p.InitialSeconds - p.BestSeconds) / p.InitialSeconds, 1) +
                 " % faster)";
    }
    const double perHour = p.ElapsedHours > 0 ? p.DoneThisRun / p.ElapsedHours : 0;
    if (p.DoneThisRun > 0) s += ", " + FormatFixed(perHour, 0) + " jobs/h";
    double left = -1;
    if (o.MaxJobs > 0 && perHour > 0)
        left = static_cast<double>(std::max<std::int64_t>(0, o.MaxJobs - p.Done)) / perHour;
    if (o.MaxHours > 0) {
        const double h = std::max(0.0, o.MaxHours - p.ElapsedHours);
        left = left < 0 ? h : std::min(left, h);
    }
    if (left >= 0) s += ", " + Duration(left) + " left";
    return s;
}

int OvernightProgressPermille(const TSearchProgress& p, const TSearchOptions& o) {
    if (o.MaxJobs <= 0 && o.MaxHours <= 0) return -1;
    double f = 0;
    if (o.MaxJobs > 0)
        f = std::max(f, static_cast<double>(p.Done) / static_cast<double>(o.MaxJobs));
    if (o.MaxHours > 0) f = std::max(f, p.ElapsedHours / o.MaxHours);
    return static_cast<int>(std::lround(std::clamp(f, 0.0, 1.0) * 1000));
}

std::vector<std::string> JobListCells(const TJournalEntry& e) {
    const bool timed = e.Status == TJobStatus::Ok || e.Status == TJobStatus::Verify;
    std::string change = e.Candidate.Change;
    if (!e.Reason.empty()) change += (change.empty() ? "" : ": ") + e.Reason;
    return {"Job" + std::to_string(e.Job), std::to_string(e.Worker + 1),
            JobStatusName(e.Status),       timed ? FormatFixed(e.Seconds, 2) : "",
            FormatFixed(e.Wall, 1),        change};
}

// ---- the form

// What the engine's thread needs, prepared on the window's thread.
struct TOvernightForm::TLaunch {
    std::string Folder, Journal, Initial;
    std::unique_ptr<TSubInfo> Records = std::make_unique<TSubInfo>();
    std::int32_t Count = 0;
    TSearchOptions Options;
    std::int32_t Jobs = 1;
    std::vector<std::string> Launcher;
    bool ShowJobWindows = false;
    bool Resume = false;
    TJournalContents Contents;
};

TOvernightForm::TOvernightForm(TOvernightView& view, TSearchCommand command,
                               TEvaluatorFactory factory, unsigned logicalProcessors)
    : View(view), Command(std::move(command)), Factory(std::move(factory)),
      Processors(logicalProcessors) {}

TOvernightForm::~TOvernightForm() {
    // A window that goes while the search runs leaves no job behind.
    if (Worker.joinable()) {
        Stops = 2;
        Worker.join();
    }
}

std::string TOvernightForm::JournalPath() const {
    return Folder.empty() ? "" : JoinPath(Folder, JournalName);
}

std::string TOvernightForm::ReportPath() const {
    return Folder.empty() ? "" : JoinPath(Folder, ReportName);
}

bool TOvernightForm::HasJournal() const {
    std::error_code ec;
    return !Folder.empty() && std::filesystem::file_size(JournalPath(), ec) > 0 && !ec;
}

void TOvernightForm::LoadSettings() {
    View.SetIndex(TOvernightControl::Strategy, 0);
    View.SetText(TOvernightControl::JobsAtOnce, std::to_string(DefaultJobsAtOnce(Processors)));
    View.SetChecked(TOvernightControl::SkipFailed, true);
    View.SetChecked(TOvernightControl::ShowJobWindows, false);
    const std::string strategy = View.ReadSetting("Strategy");
    TStrategy s;
    if (ParseStrategy(strategy, s)) {
        const auto& list = OvernightStrategies();
        View.SetIndex(TOvernightControl::Strategy,
                      static_cast<int>(std::find(list.begin(), list.end(), s) - list.begin()));
    }
    for (const TSetting& t : TextSettings) {
        const std::string v = View.ReadSetting(t.Name);
        if (!v.empty()) View.SetText(t.Control, v == "-" ? "" : v);
    }
    for (const TSetting& c : CheckSettings) {
        const std::string v = View.ReadSetting(c.Name);
        if (v == "0" || v == "1") View.SetChecked(c.Control, v == "1");
    }
}

void TOvernightForm::SaveSettings() {
    const int index = View.GetIndex(TOvernightControl::Strategy);
    const auto& list = OvernightStrategies();
    if (index >= 0 && index < static_cast<int>(list.size()))
        View.WriteSetting("Strategy", StrategyName(list[static_cast<std::size_t>(index)]));
    // "-" keeps an emptied field empty rather than back at its default.
    for (const TSetting& t : TextSettings) {
        const std::string v = Trim(View.GetText(t.Control));
        View.WriteSetting(t.Name, v.empty() ? "-" : v);
    }
    for (const TSetting& c : CheckSettings)
        View.WriteSetting(c.Name, View.IsChecked(c.Control) ? "1" : "0");
}

TOvernightOptions TOvernightForm::ReadControls() {
    TOvernightOptions o;
    o.StrategyIndex = View.GetIndex(TOvernightControl::Strategy);
    o.JobsAtOnce = View.GetText(TOvernightControl::JobsAtOnce);
    o.StopHours = View.GetText(TOvernightControl::StopHours);
    o.StopJobs = View.GetText(TOvernightControl::StopJobs);
    o.Cap = View.GetText(TOvernightControl::Cap);
    o.Verify = View.GetText(TOvernightControl::Verify);
    o.Launcher = View.GetText(TOvernightControl::Launcher);
    o.SkipFailed = View.IsChecked(TOvernightControl::SkipFailed);
    o.ShowJobWindows = View.IsChecked(TOvernightControl::ShowJobWindows);
    return o;
}

void TOvernightForm::UpdateButtons() {
    const bool running = Running();
    const bool haveFolder = !Folder.empty();
    View.SetEnabled(TOvernightControl::StartBtn, !running && haveFolder);
    View.SetEnabled(TOvernightControl::ResumeBtn, !running && HasJournal());
    View.SetEnabled(TOvernightControl::StopBtn, running && Stops.load() < 2);
    View.SetEnabled(TOvernightControl::ReportBtn, haveFolder && FileExists(ReportPath()));
    View.SetEnabled(TOvernightControl::FolderBtn, haveFolder);
    for (TOvernightControl c :
         {TOvernightControl::Strategy, TOvernightControl::JobsAtOnce, TOvernightControl::StopHours,
          TOvernightControl::StopJobs, TOvernightControl::Cap, TOvernightControl::Verify,
          TOvernightControl::SkipFailed, TOvernightControl::ShowJobWindows,
          TOvernightControl::Launcher})
        View.SetEnabled(c, !running);
}

void TOvernightForm::FormCreate() {
    LoadSettings();
}

void TOvernightForm::FormShow(const std::string& jobFolder) {
    if (!Running()) {
        Folder = jobFolder;
        if (Folder.empty()) {
            View.SetText(TOvernightControl::FolderLabel,
                         "Job folder: none. Choose one with Change in the main window.");
            View.SetText(TOvernightControl::StatusLabel, "");
        } else {
            View.SetText(TOvernightControl::FolderLabel, "Job folder: " + Folder);
            View.SetText(TOvernightControl::StatusLabel,
                         HasJournal() ? "This folder holds a search: Resume continues it."
                                      : "Ready.");
        }
        Shown.clear();
        View.ClearJobs();
        View.ShowPlot(Shown);
        View.SetProgress(0);
    }
    UpdateButtons();
}

void TOvernightForm::StartBtnClick() {
    Begin(false);
}

void TOvernightForm::ResumeBtnClick() {
    Begin(true);
}

void TOvernightForm::Begin(bool resume) {
    if (Running() || Folder.empty()) return;
    auto launch = std::make_shared<TLaunch>();
    std::string message;
    if (!ReadOvernightOptions(ReadControls(), launch->Options, launch->Jobs, launch->Launcher,
                              message)) {
        View.ShowMessage(message, TMsgKind::Error, HcOvernight);
        return;
    }
    launch->ShowJobWindows = View.IsChecked(TOvernightControl::ShowJobWindows);
    SaveSettings();

    launch->Folder = Folder;
    launch->Initial = JoinPath(Folder, "initial.sti");
    launch->Journal = JournalPath();
    if (!FileExists(JoinPath(Folder, Command.BatchFileName)) || !FileExists(launch->Initial)) {
        View.ShowMessage("The job folder\r\n" + Folder + "\r\ndoes not hold both " +
                             Command.BatchFileName + " and initial.sti.",
                         TMsgKind::Error, HcChooseBatch);
        return;
    }
    std::string reason;
    if (!ReadSTIFile(launch->Initial, *launch->Records, launch->Count, reason)) {
        View.ShowMessage("initial.sti is refused:\r\n" + reason, TMsgKind::Error, HcStiRefused);
        return;
    }
    for (std::int32_t i = 1; i <= launch->Count; ++i)
        if (!CheckSubRecord((*launch->Records)[static_cast<std::size_t>(i)], reason)) {
            View.ShowMessage("initial.sti has a bad substitution:\r\n" + reason, TMsgKind::Error,
                             HcBadSubstitution);
            return;
        }

    // One search per job folder: the main window's, pelvarn-cli's and this one take the same
    // lock, which the system drops however the program ends.
    const std::string lockFile = JoinPath(Folder, LockName);
    switch (FolderLock.TryLock(lockFile, reason)) {
    case TFileLock::TResult::Locked:
        break;
    case TFileLock::TResult::HeldElsewhere:
        View.ShowMessage("Another search is running in the job folder\r\n" + Folder +
                             "\r\n(in the main window, in another Pelvarn or in pelvarn-cli).\r\n"
                             "Only one search at a time can use a job folder: stop that one "
                             "first, or wait until it has ended.",
                         TMsgKind::Error, HcOvernight);
        return;
    case TFileLock::TResult::Failed:
        View.ShowMessage("Cannot lock file " + lockFile + ":\r\n" + reason, TMsgKind::Error,
                         HcOvernight);
        return;
    }
    struct TUnlockUnlessStarted {
        TFileLock& Lock;
        bool Started = false;
        ~TUnlockUnlessStarted() {
            if (!Started) Lock.Unlock();
        }
    } unlock{FolderLock};

    if (!resume && HasJournal()) {
        const TAnswer a =
            View.Ask("The job folder already holds a search (" + std::string(JournalName) +
                         ").\r\n\r\nYes: resume that search.\r\nNo: keep it under a "
                         "dated name and start a new search.\r\nCancel: do nothing.",
                     true);
        if (a == TAnswer::Cancel) return;
        if (a == TAnswer::Yes) {
            resume = true;
        } else {
            const std::string kept = JoinPath(Folder, DatedJournalName(Folder));
            std::error_code ec;
            std::filesystem::rename(launch->Journal, kept, ec);
            if (ec) {
                View.ShowMessage("Cannot rename " + launch->Journal + " to " + kept + ":\r\n" +
                                     ec.message(),
                                 TMsgKind::Error, HcOvernight);
                return;
            }
        }
    }
    if (resume) {
        std::string text;
        if (!HasJournal() || !ReadWholeFile(launch->Journal, text, reason)) {
            View.ShowMessage("There is no search to resume in\r\n" + Folder, TMsgKind::Error,
                             HcOvernight);
            return;
        }
        if (!ParseJournal(text, launch->Contents, reason)) {
            View.ShowMessage("Cannot resume from " + launch->Journal + ":\r\n" + reason,
                             TMsgKind::Error, HcOvernight);
            return;
        }
        // The torn bytes of a crash go, so that the next line starts a line of its own.
        if (launch->Contents.ValidBytes < text.size())
            ReplaceFileContents(launch->Journal, text.substr(0, launch->Contents.ValidBytes));
        launch->Options.Seed = launch->Contents.Header.Seed;
        TStrategy s;
        if (ParseStrategy(launch->Contents.Header.Strategy, s)) {
            launch->Options.Strategy = s;
            const auto& list = OvernightStrategies();
            View.SetIndex(TOvernightControl::Strategy,
                          static_cast<int>(std::find(list.begin(), list.end(), s) - list.begin()));
        }
        launch->Resume = true;
    } else {
        launch->Options.Seed = ClockSeed();
    }

    Options = launch->Options;
    Shown = launch->Resume ? launch->Contents.Entries : std::vector<TJournalEntry>{};
    View.ClearJobs();
    for (const TJournalEntry& e : Shown)
        View.AddJob(JobListCells(e));
    View.ShowPlot(Shown);
    View.SetProgress(OvernightProgressPermille(TSearchProgress{}, Options));
    View.SetText(TOvernightControl::StatusLabel,
                 launch->Resume ? "Resuming the search..." : "Starting the search...");
    Stops = 0;
    CloseWhenStopped = false;
    HaveProgress = false;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Events.clear();
    }
    Worker = std::thread([this, launch] { Run(launch); });
    unlock.Started = true;
    UpdateButtons();
}

void TOvernightForm::Post(TEvent event) {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        // Ticks only refresh the status line: the newest one is enough.
        if (event.Kind == TEvent::TKind::Tick && !Events.empty() &&
            Events.back().Kind == TEvent::TKind::Tick)
            Events.back() = std::move(event);
        else
            Events.push_back(std::move(event));
    }
    View.Wake();
}

// The engine's thread: the worker folders, the evaluator and the run. Everything it learns
// goes to the window through Post.
void TOvernightForm::Run(std::shared_ptr<TLaunch> launch) {
    TEvent end;
    end.Kind = TEvent::TKind::Ended;
    try {
        std::vector<std::string> workers;
        const std::vector<std::string> skip{JournalName, ReportName, LockName};
        std::string reason;
        for (std::int32_t w = 0; w < launch->Jobs && Stops.load() == 0; ++w) {
            workers.push_back(WorkerFolder(launch->Folder, w));
            if (!MakeWorkerFolder(launch->Folder, workers.back(), skip, reason))
                throw TFileError(reason);
        }
        if (Stops.load() > 0) {
            end.End = TSearchEnd::Interrupted;
            Post(std::move(end));
            return;
        }
        TEvaluatorRequest request{launch->Folder, workers, launch->Records.get(), launch->Launcher,
                                  launch->ShowJobWindows};
        std::unique_ptr<TEvaluator> evaluator = Factory(request);
        TSearchRun run(launch->Options, *launch->Records, launch->Count, launch->Folder,
                       launch->Journal, *evaluator);
        auto structure = std::make_shared<TModelStructure>();
        if (ReadModelStructure(launch->Folder, launch->Initial, *launch->Records, launch->Count,
                               *structure, reason))
            run.SetModelStructure(structure);
        if (launch->Resume && !run.Resume(launch->Contents, reason)) {
            end.End = TSearchEnd::Refused;
            end.Error = true;
            end.Message = "Cannot resume from " + launch->Journal + ":\r\n" + reason;
            Post(std::move(end));
            return;
        }
        run.Interrupts = [this] { return Stops.load(); };
        run.OnJob = [this](const TJournalEntry& e, const TSearchProgress& p) {
            TEvent ev;
            ev.Kind = TEvent::TKind::Job;
            ev.Entry = e;
            ev.Progress = p;
            Post(std::move(ev));
        };
        run.OnTick = [this](const TSearchProgress& p) {
            TEvent ev;
            ev.Kind = TEvent::TKind::Tick;
            ev.Progress = p;
            Post(std::move(ev));
        };
        end.End = run.Run();
        if (end.End == TSearchEnd::Paused) {
            end.Error = true;
            end.Message = "The search stopped: a job failed:\r\n" + run.FailureReason;
        } else if (end.End == TSearchEnd::Exhausted) {
            end.Message = run.Policy().NeighbourhoodCovered
                              ? "Every candidate near the best has been timed: the search is "
                                "complete."
                              : "No untimed candidate near the best was found: the search ends "
                                "(Resume tries again).";
        }
    } catch (const std::exception& e) {
        // A file that cannot be written: the journal and optimal.sti are written whole or not
        // at all, so they stay as they were.
        end.End = TSearchEnd::Refused;
        end.Error = true;
        end.Message = std::string("The search stopped:\r\n") + e.what();
    }
    // Every search leaves its report beside its journal, whether it ended or was stopped.
    try {
        std::string why;
        WriteSearchReport(launch->Folder, launch->Journal, JoinPath(launch->Folder, ReportName),
                          why);
    } catch (const std::exception& e) {
        if (!end.Error) {
            end.Error = true;
            end.Message = std::string("The search report cannot be written:\r\n") + e.what();
        }
    }
    Post(std::move(end));
}

void TOvernightForm::Deliver() {
    std::deque<TEvent> events;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        events.swap(Events);
    }
    bool plotChanged = false;
    for (const TEvent& e : events) {
        switch (e.Kind) {
        case TEvent::TKind::Job:
            Shown.push_back(e.Entry);
            View.AddJob(JobListCells(e.Entry));
            plotChanged = true;
            [[fallthrough]];
        case TEvent::TKind::Tick:
            Last = e.Progress;
            HaveProgress = true;
            View.SetText(TOvernightControl::StatusLabel, OvernightStatusText(e.Progress, Options) +
                                                             (Stops.load() == 1   ? " - stopping"
                                                              : Stops.load() >= 2 ? " - ending"
                                                                                  : ""));
            View.SetProgress(OvernightProgressPermille(e.Progress, Options));
            break;
        case TEvent::TKind::Ended:
            if (plotChanged) View.ShowPlot(Shown);
            plotChanged = false;
            Finish(e);
            break;
        }
    }
    if (plotChanged) View.ShowPlot(Shown);
}

void TOvernightForm::Finish(const TEvent& e) {
    if (Worker.joinable()) Worker.join();
    FolderLock.Unlock();
    // The figures of the last report, without a time left.
    TSearchOptions noLimit = Options;
    noLimit.MaxJobs = 0;
    noLimit.MaxHours = 0;
    Last.Running = 0;
    std::string status = HaveProgress ? OvernightStatusText(Last, noLimit) : "";
    switch (e.End) {
    case TSearchEnd::Interrupted:
        status += status.empty() ? "Stopped: Resume continues the search."
                                 : " - stopped: Resume continues the search.";
        break;
    case TSearchEnd::Finished:
        status += status.empty() ? "Finished." : " - finished.";
        break;
    default:
        status += status.empty() ? "Ended." : " - ended.";
        break;
    }
    View.SetText(TOvernightControl::StatusLabel, status);
    if (Options.MaxJobs <= 0 && Options.MaxHours <= 0) View.SetProgress(0);
    UpdateButtons();
    if (CloseWhenStopped) {
        View.CloseWindow();
        return;
    }
    if (!e.Message.empty())
        View.ShowMessage(e.Message, e.Error ? TMsgKind::Error : TMsgKind::Information, HcOvernight);
}

void TOvernightForm::StopBtnClick() {
    if (!Running()) return;
    // The first Stop starts no more jobs; the second ends the running ones.
    const int n = std::min(Stops.load() + 1, 2);
    Stops = n;
    View.SetText(TOvernightControl::StatusLabel,
                 n == 1 ? "Stopping: no further job is started; the running ones finish "
                          "(Stop again ends them)."
                        : "Ending the running jobs...");
    UpdateButtons();
}

bool TOvernightForm::CloseQuery() {
    if (!Running()) {
        SaveSettings();
        return true;
    }
    if (CloseWhenStopped) return false;
    const TAnswer a = View.Ask("The search is running.\r\n\r\nStop it? The running jobs finish "
                               "and the window then closes; Resume continues the search later."
                               "\r\n\r\nYes: stop the search.\r\nNo: go on searching.",
                               false);
    if (a != TAnswer::Yes) return false;
    SaveSettings();
    CloseWhenStopped = true;
    if (Stops.load() == 0) StopBtnClick();
    return false;
}

void TOvernightForm::ReportBtnClick() {
    if (!Folder.empty() && FileExists(ReportPath())) View.OpenDocument(ReportPath());
    UpdateButtons();
}

void TOvernightForm::FolderBtnClick() {
    if (!Folder.empty()) View.OpenDocument(Folder);
}

void TOvernightForm::HelpBtnClick() {
    View.ShowHelp(HcOvernight);
}

void TOvernightForm::CloseBtnClick() {
    if (CloseQuery()) View.CloseWindow();
}

} // namespace pelvarn
