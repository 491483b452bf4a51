// The overnight window's logic with a recording fake view and an evaluator whose jobs end at
// once (or are held until ended): options, button states, the journal question, Stop twice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <thread>

#include "app/overnightform.h"
#include "base/paths.h"
#include "fakes.h"
#include "help/helpcontexts.h"
#include "platform/fileio.h"
#include "platform/filelock.h"
#include "support/tempdir.h"

namespace pelvarn::test {
namespace {

using namespace pelvarn::search;
using C = TOvernightControl;

class TFakeOvernightView final : public TOvernightView {
  public:
    void SetText(C id, const std::string& text) override { Texts[id] = text; }
    std::string GetText(C id) override { return Texts[id]; }
    void SetIndex(C id, int index) override { Indexes[id] = index; }
    int GetIndex(C id) override { return Indexes[id]; }
    void SetChecked(C id, bool checked) override { Checks[id] = checked; }
    bool IsChecked(C id) override { return Checks[id]; }
    void SetEnabled(C id, bool enabled) override { Enabled[id] = enabled; }
    bool IsEnabled(C id) override { return Enabled[id]; }
    void SetProgress(int permille) override { Progress = permille; }
    void ClearJobs() override { Rows.clear(); }
    void AddJob(const std::vector<std::string>& cells) override { Rows.push_back(cells); }
    void ShowPlot(const std::vector<TJournalEntry>& entries) override { Plotted = entries.size(); }
    void ShowMessage(const std::string& text, TMsgKind, int helpContext) override {
        Messages.push_back(text);
        Contexts.push_back(helpContext);
    }
    TAnswer Ask(const std::string& text, bool) override {
        Questions.push_back(text);
        return Answer;
    }
    void OpenDocument(const std::string& path) override { Opened.push_back(path); }
    void ShowHelp(int context) override { Contexts.push_back(context); }
    void CloseWindow() override { Closed = true; }
    std::string ReadSetting(const std::string& name) override { return Settings[name]; }
    void WriteSetting(const std::string& name, const std::string& value) override {
        Settings[name] = value;
    }
    void Wake() override { ++Wakes; }

    std::map<C, std::string> Texts;
    std::map<C, int> Indexes;
    std::map<C, bool> Checks, Enabled;
    int Progress = 0;
    std::vector<std::vector<std::string>> Rows;
    std::size_t Plotted = 0;
    std::vector<std::string> Messages, Questions, Opened;
    std::vector<int> Contexts;
    TAnswer Answer = TAnswer::Cancel;
    bool Closed = false;
    std::map<std::string, std::string> Settings;
    std::atomic<int> Wakes{0};
};

// Jobs that end at once, each a little faster than the one before, unless held; a held job
// ends only when the run ends it.
struct TFakeJobs {
    std::atomic<bool> Hold{false};
    std::atomic<int> Started{0};
    std::atomic<bool> ShowJobWindows{true};
};

class TFakeEvaluator final : public TEvaluator {
  public:
    TFakeEvaluator(std::int32_t workers, TFakeJobs& jobs)
        : Jobs(jobs), Busy(static_cast<std::size_t>(workers), false),
          Ended(static_cast<std::size_t>(workers), false) {}
    std::int32_t Workers() const override { return static_cast<std::int32_t>(Busy.size()); }
    bool Start(std::int32_t w, const std::string&, const TCandidate&, std::string&) override {
        Busy[static_cast<std::size_t>(w)] = true;
        Ended[static_cast<std::size_t>(w)] = false;
        ++Jobs.Started;
        return true;
    }
    std::int32_t Wait(int timeoutMs, TJobOutcome& o) override {
        for (std::size_t w = 0; w < Busy.size(); ++w) {
            if (!Busy[w] || (Jobs.Hold && !Ended[w])) continue;
            Busy[w] = false;
            o = TJobOutcome{};
            o.Wall = 0.5;
            if (Ended[w]) {
                o.Status = TJobStatus::Failed;
            } else {
                // Each job 10 % faster than the last: beyond any noise the search assumes.
                o.Seconds = 10.0 * std::pow(0.9, Finished++);
            }
            return static_cast<std::int32_t>(w);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 5)));
        return -1;
    }
    double RunningFor(std::int32_t w) const override {
        return Busy[static_cast<std::size_t>(w)] ? 0 : -1;
    }
    void End(std::int32_t w, TJobStatus, const std::string&) override {
        Ended[static_cast<std::size_t>(w)] = true;
    }

  private:
    TFakeJobs& Jobs;
    std::vector<bool> Busy, Ended;
    int Finished = 0;
};

class OvernightFormTest : public testing::Test {
  protected:
    OvernightFormTest() {
        Dir.Write("job.bat", "rem\r\n");
        Dir.Write("initial.sti", FourRecordSti);
        Form = std::make_unique<TOvernightForm>(
            View, TSearchCommand{"sh", {"job.bat"}, "job.bat"},
            [this](const TEvaluatorRequest& r) {
                Jobs.ShowJobWindows = r.ShowJobWindows;
                return std::make_unique<TFakeEvaluator>(
                    static_cast<std::int32_t>(r.WorkerFolders.size()), Jobs);
            },
            4);
        Form->FormCreate();
    }
    ~OvernightFormTest() override {
        Form.reset();
        std::error_code ec;
        for (int w = 0; w < 4; ++w)
            std::filesystem::remove_all(WorkerFolder(Dir.Path(), w), ec);
    }
    // Delivers the engine's reports until the search has ended.
    void RunToEnd() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Form->Running() && std::chrono::steady_clock::now() < until) {
            Form->Deliver();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_FALSE(Form->Running()) << "the search did not end";
    }
    // The highest job number in the list.
    std::string LastJob() const {
        long most = -1;
        for (const auto& row : View.Rows)
            most = std::max(most, std::stol(row[0].substr(3)));
        return "Job" + std::to_string(most);
    }
    std::string Journal() const { return ReadBytes(Dir.File("search.jsonl")); }
    // The journal's job lines.
    static std::size_t JobLines(const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find("\"job\":", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }

    TTempDir Dir;
    TFakeOvernightView View;
    TFakeJobs Jobs;
    std::unique_ptr<TOvernightForm> Form;
};

TEST(OvernightOptions, FieldsAreReadOrRefusedByName) {
    struct TCase {
        TOvernightOptions In;
        const char* Refusal; // "" when accepted; else the start of the message
    };
    auto with = [](auto set) {
        TOvernightOptions o;
        o.JobsAtOnce = "2";
        set(o);
        return o;
    };
    const TCase cases[] = {
        {with([](TOvernightOptions&) {}), ""},
        {with([](TOvernightOptions& o) {
             o.StopHours = " 7.5 ";
             o.Cap = "3";
         }),
         ""},
        {with([](TOvernightOptions& o) { o.JobsAtOnce = ""; }), "Jobs at once:"},
        {with([](TOvernightOptions& o) { o.JobsAtOnce = "2.5"; }), "Jobs at once:"},
        {with([](TOvernightOptions& o) { o.JobsAtOnce = "0"; }), "Jobs at once:"},
        {with([](TOvernightOptions& o) { o.StopHours = "0"; }), "Stop after hours:"},
        {with([](TOvernightOptions& o) { o.StopHours = "soon"; }), "Stop after hours:"},
        {with([](TOvernightOptions& o) { o.StopJobs = "-4"; }), "Stop after jobs:"},
        {with([](TOvernightOptions& o) { o.Cap = "0.5"; }), "End a job slower than (x best):"},
        {with([](TOvernightOptions& o) { o.Verify = "101"; }), "Time the best again (times):"},
        {with([](TOvernightOptions& o) { o.Launcher = "srun -n1"; }), "Launcher:"},
        {with([](TOvernightOptions& o) { o.Launcher = "srun '{cmd}"; }), "Launcher:"},
        {with([](TOvernightOptions& o) { o.StrategyIndex = 9; }), "Strategy:"},
    };
    for (const TCase& c : cases) {
        TSearchOptions out;
        std::int32_t jobs = 0;
        std::vector<std::string> launcher;
        std::string message;
        const bool ok = ReadOvernightOptions(c.In, out, jobs, launcher, message);
        EXPECT_EQ(ok, *c.Refusal == 0) << c.Refusal << " / " << message;
        if (!ok) {
            EXPECT_EQ(message.rfind(c.Refusal, 0), 0u) << message;
        }
    }
    TSearchOptions out;
    std::int32_t jobs = 0;
    std::vector<std::string> launcher;
    std::string message;
    TOvernightOptions o;
    o.JobsAtOnce = "3";
    o.StopHours = "7.5";
    o.StopJobs = "40";
    o.SkipFailed = false;
    ASSERT_TRUE(ReadOvernightOptions(o, out, jobs, launcher, message));
    EXPECT_EQ(jobs, 3);
    EXPECT_DOUBLE_EQ(out.MaxHours, 7.5);
    EXPECT_EQ(out.MaxJobs, 40);
    EXPECT_TRUE(out.PauseOnFailure);
    EXPECT_EQ(out.Cap, 0);

    const std::pair<unsigned, std::int32_t> defaults[] = {{1, 1},  {2, 2},  {3, 2}, {4, 2},
                                                          {12, 6}, {16, 8}, {64, 8}};
    for (auto [cpus, want] : defaults)
        EXPECT_EQ(DefaultJobsAtOnce(cpus), want) << cpus;
}

TEST(OvernightOptions, StatusLineAndProgress) {
    TSearchProgress p;
    p.Done = 30;
    p.Running = 2;
    p.BestJob = 17;
    p.BestSeconds = 7.5;
    p.InitialSeconds = 10;
    p.ElapsedHours = 0.5;
    p.DoneThisRun = 30;
    TSearchOptions o;
    EXPECT_EQ(OvernightStatusText(p, o),
              "30 done, 2 running, best Job17 7.50 s (25.0 % faster), 60 jobs/h");
    EXPECT_EQ(OvernightProgressPermille(p, o), -1);
    o.MaxJobs = 120; // 90 jobs at 60 an hour, and no hour limit
    EXPECT_EQ(OvernightStatusText(p, o).substr(OvernightStatusText(p, o).rfind(", ")),
              ", 1 h 30 min left");
    EXPECT_EQ(OvernightProgressPermille(p, o), 250);
    o.MaxHours = 1; // the nearer limit fills the bar
    EXPECT_EQ(OvernightProgressPermille(p, o), 500);
    EXPECT_NE(OvernightStatusText(p, o).find(", 0 h 30 min left"), std::string::npos);
}

TEST_F(OvernightFormTest, WithoutAFolderNothingStarts) {
    Form->FormShow("");
    EXPECT_NE(View.Texts[C::FolderLabel].find("Change in the main window"), std::string::npos);
    EXPECT_FALSE(View.Enabled[C::StartBtn]);
    EXPECT_FALSE(View.Enabled[C::ResumeBtn]);
    EXPECT_EQ(View.Texts[C::JobsAtOnce], "2"); // 4 logical processors
    EXPECT_TRUE(View.Checks[C::SkipFailed]);
}

TEST_F(OvernightFormTest, RunsStopsAtItsLimitAndResumesWhereItEnded) {
    Form->FormShow(Dir.Path());
    EXPECT_TRUE(View.Enabled[C::StartBtn]);
    EXPECT_FALSE(View.Enabled[C::ResumeBtn]);
    EXPECT_FALSE(View.Enabled[C::ReportBtn]);

    // A refused field starts nothing.
    View.Texts[C::StopJobs] = "many";
    Form->StartBtnClick();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].rfind("Stop after jobs:", 0), 0u);
    EXPECT_FALSE(Form->Running());
    EXPECT_FALSE(FileExists(Dir.File("search.jsonl")));

    View.Texts[C::StopJobs] = "6";
    Form->StartBtnClick();
    EXPECT_TRUE(Form->Running());
    EXPECT_FALSE(View.Enabled[C::StartBtn]);
    EXPECT_FALSE(View.Enabled[C::JobsAtOnce]);
    EXPECT_TRUE(View.Enabled[C::StopBtn]);
    RunToEnd();
    EXPECT_EQ(View.Rows.size(), 6u);
    EXPECT_EQ(View.Plotted, 6u);
    EXPECT_EQ(View.Progress, 1000);
    EXPECT_EQ(LastJob(), "Job5");
    EXPECT_EQ(JobLines(Journal()), 6u);
    EXPECT_TRUE(FileExists(Dir.File("optimal.sti")));
    EXPECT_FALSE(Jobs.ShowJobWindows); // hidden unless asked
    EXPECT_NE(View.Texts[C::StatusLabel].find("6 done, 0 running, best Job"), std::string::npos);
    EXPECT_TRUE(View.Enabled[C::StartBtn]);
    EXPECT_TRUE(View.Enabled[C::ResumeBtn]);
    EXPECT_FALSE(View.Enabled[C::StopBtn]);
    EXPECT_TRUE(View.Enabled[C::ReportBtn]); // the search left its report
    EXPECT_EQ(View.Settings["StopJobs"], "6");

    // Start again: Cancel leaves the journal alone; Yes resumes it with its job numbers.
    View.Answer = TAnswer::Cancel;
    Form->StartBtnClick();
    EXPECT_FALSE(Form->Running());
    EXPECT_EQ(View.Questions.size(), 1u);
    View.Answer = TAnswer::Yes;
    View.Texts[C::StopJobs] = "9";
    Form->StartBtnClick();
    RunToEnd();
    // (The small model may run out of untimed candidates before the limit.)
    EXPECT_GT(View.Rows.size(), 6u);
    EXPECT_LE(View.Rows.size(), 9u);
    EXPECT_EQ(LastJob(), "Job" + std::to_string(View.Rows.size() - 1));
    const std::string before = Journal();

    // No keeps the journal under a dated name and starts afresh at Job0.
    View.Answer = TAnswer::No;
    View.Texts[C::StopJobs] = "2";
    Form->StartBtnClick();
    RunToEnd();
    EXPECT_EQ(View.Rows.size(), 2u);
    EXPECT_EQ(LastJob(), "Job1");
    EXPECT_EQ(JobLines(Journal()), 2u);
    int kept = 0;
    for (const auto& f : std::filesystem::directory_iterator(Dir.Path()))
        if (f.path().filename().string().rfind("search-", 0) == 0 &&
            f.path().extension() == ".jsonl") {
            ++kept;
            EXPECT_EQ(ReadBytes(f.path().string()), before);
        }
    EXPECT_EQ(kept, 1);

    // A window made again shows the options as last used.
    View.Texts.clear();
    Form->FormCreate();
    EXPECT_EQ(View.Texts[C::StopJobs], "2");
    EXPECT_EQ(View.Texts[C::JobsAtOnce], "2");
}

TEST_F(OvernightFormTest, SecondStopEndsTheRunningJobsAndClosingWaitsForThem) {
    Form->FormShow(Dir.Path());
    View.Texts[C::JobsAtOnce] = "2";
    Jobs.Hold = true;
    Form->StartBtnClick();
    for (int i = 0; i < 2000 && Jobs.Started < 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(Jobs.Started, 1);

    View.Answer = TAnswer::No; // go on searching
    EXPECT_FALSE(Form->CloseQuery());
    EXPECT_TRUE(Form->Running());
    Form->StopBtnClick();
    EXPECT_TRUE(View.Enabled[C::StopBtn]);
    EXPECT_NE(View.Texts[C::StatusLabel].find("Stop again"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(Form->Running()); // the held jobs still run
    const int started = Jobs.Started;

    View.Answer = TAnswer::Yes; // stop, then close
    EXPECT_FALSE(Form->CloseQuery());
    EXPECT_FALSE(View.Closed);
    Form->StopBtnClick();
    EXPECT_FALSE(View.Enabled[C::StopBtn]);
    RunToEnd();
    EXPECT_TRUE(View.Closed);
    // The ended jobs have no result: the journal holds none, and Resume times them.
    EXPECT_EQ(JobLines(Journal()), 0u);
    EXPECT_EQ(Jobs.Started, started); // none started after the first Stop
    EXPECT_TRUE(View.Enabled[C::ResumeBtn]);
}

TEST_F(OvernightFormTest, AJournalThatCannotBeWrittenStopsTheSearchWithTheSystemsMessage) {
    std::filesystem::create_directory(Dir.File("search.jsonl"));
    Form->FormShow(Dir.Path());
    Form->StartBtnClick();
    RunToEnd();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].rfind("The search stopped:\r\n", 0), 0u);
    EXPECT_GT(View.Messages[0].size(), std::string("The search stopped:\r\n").size());
    EXPECT_EQ(Jobs.Started, 0);
    EXPECT_TRUE(View.Enabled[C::StartBtn]);
    EXPECT_FALSE(FileExists(Dir.File("optimal.sti")));
}

TEST_F(OvernightFormTest, AFolderInUseIsRefusedWithHelp) {
    TFileLock other;
    std::string why;
    ASSERT_EQ(other.TryLock(Dir.File("pelvarn.lock"), why), TFileLock::TResult::Locked);
    Form->FormShow(Dir.Path());
    Form->StartBtnClick();
    EXPECT_FALSE(Form->Running());
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_NE(View.Messages[0].find("Another search is running"), std::string::npos);
    EXPECT_EQ(View.Contexts.back(), HcOvernight);
}

} // namespace
} // namespace pelvarn::test
