#include "base/textutil.h"
#include "fakes.h"
#include "platform/fileio.h"

namespace pelvarn::test {
namespace {

class JobCycleTest : public TRunTest {
  protected:
    void SetUp() override {
        CreateWithModel();
        View.IncludeIndex = 1;
        View.OrderIndex = 2;
    }
};

TEST_F(JobCycleTest, TheJobLabelCountsWholeSecondsHalvesToEven) {
    Form->StartBtnClick();
    const std::pair<int, const char*> expected[] = {
        {1, "Job0 0 seconds"}, {2, "Job0 1 seconds"}, {3, "Job0 2 seconds"},
        {5, "Job0 2 seconds"}, {7, "Job0 4 seconds"},
    };
    int ticks = 0;
    for (const auto& [after, label] : expected) {
        while (ticks < after) {
            Form->DosJobTimerTimer();
            ++ticks;
        }
        EXPECT_EQ(Caption(TControlId::JobLabel), label) << after << " ticks";
    }
    EXPECT_EQ(Buttons(), RunningState);
}

TEST_F(JobCycleTest, TimesOutOnTheTickThatFirstPassesTheLimit) {
    for (bool endedOnLastTick : {false, true}) {
        View = TFakeView{};
        Runner.EndAll();
        CreateWithModel();
        Form->StartBtnClick();
        for (int tick = 1; tick <= 7200; ++tick)
            Form->DosJobTimerTimer();
        ASSERT_TRUE(View.Messages.empty());
        EXPECT_EQ(Caption(TControlId::JobLabel), "Job0 3600 seconds");
        EXPECT_TRUE(View.TimerOn);
        if (endedOnLastTick) EndJob("5.0");
        Form->DosJobTimerTimer();
        ASSERT_EQ(View.Messages.size(), 1u);
        const TShownMessage& m = View.Messages[0];
        EXPECT_EQ(m.Text, "Timed out - took too long");
        EXPECT_EQ(m.Kind, TMsgKind::Warning);
        EXPECT_EQ(m.Buttons, TMsgButtons::OkHelp);
        EXPECT_EQ(m.HelpContext, HcExpectedFile);
        EXPECT_FALSE(m.TimerWasOn);
        EXPECT_EQ(Buttons(), PausedState(false));
        EXPECT_TRUE(View.Log.empty()) << "a timed-out job is never counted";
        EXPECT_EQ(Form->BestTime, 2147483648.0f);
    }
}

TEST_F(JobCycleTest, AFailedJobShowsItsBoxAndPauses) {
    struct TCase {
        const char* Name;
        const char* Log; // nullptr: no run.log
        bool Sl4;
        std::string Text;
        TMsgKind Kind;
        int HelpContext;
        TExitStatus Exit = {};
    } cases[] = {
        {"nothing written", nullptr, false,
         "job did not produce expected file\r\n" + ModelFile("run.log"), TMsgKind::Error,
         HcExpectedFile},
        {"no solution file", "Total CPU is 1.0 seconds\r\n", false,
         "job did not produce expected file\r\n" + ModelFile("pelvrn.sl4"), TMsgKind::Warning,
         HcExpectedFile},
        {"no time in the log", "the job failed\r\n", true,
         "problem getting run time\r\nCannot find \"Total CPU is\" in file " + ModelFile("run.log"),
         TMsgKind::Error, HcRunTime},
        {"ended by a signal",
         nullptr,
         false,
         "job did not produce expected file\r\n" + ModelFile("run.log") +
             "\r\nthe job was ended by signal 11",
         TMsgKind::Error,
         HcExpectedFile,
         {true, true, 11}},
        {"crashed after its log",
         "Total CPU is 1.0 seconds\r\n",
         false,
         "job did not produce expected file\r\n" + ModelFile("pelvrn.sl4") +
             "\r\nthe job was ended by exception 0xC0000005 (access violation)",
         TMsgKind::Warning,
         HcExpectedFile,
         {true, false, 0xC0000005u}},
        {"failed with an exit code",
         nullptr,
         false,
         "job did not produce expected file\r\n" + ModelFile("run.log"),
         TMsgKind::Error,
         HcExpectedFile,
         {true, false, 2}},
    };
    for (const TCase& c : cases) {
        View = TFakeView{};
        Runner.EndAll();
        std::filesystem::remove(ModelFile("run.log"));
        CreateWithModel();
        StartRun();
        FinishJob("5.0"); // job 1 running
        std::filesystem::remove(ModelFile("run.log"));
        if (c.Log) WriteFile("run.log", c.Log);
        if (c.Sl4) WriteFile("pelvrn.sl4", "x");
        Runner.EndStatus = c.Exit;
        Runner.EndAll();
        Form->DosJobTimerTimer();
        Runner.EndStatus = {};
        ASSERT_EQ(View.Messages.size(), 1u) << c.Name;
        const TShownMessage& m = View.Messages[0];
        EXPECT_EQ(m.Text, c.Text) << c.Name;
        EXPECT_EQ(m.Kind, c.Kind) << c.Name;
        EXPECT_EQ(m.Buttons, TMsgButtons::OkHelp) << c.Name;
        EXPECT_EQ(m.HelpContext, c.HelpContext) << c.Name;
        EXPECT_FALSE(m.TimerWasOn) << c.Name;
        EXPECT_EQ(Buttons(), PausedState(true)) << c.Name;
        EXPECT_EQ(View.Log.size(), 1u) << c.Name;
        EXPECT_EQ(Form->JobCount, 1) << c.Name;
    }
}

TEST_F(JobCycleTest, ARunLogLeftByAnEarlierJobIsNeverTakenForTheNextJobs) {
    StartRun();
    FinishJob("5.0"); // job 1 running: the log of job 0 is gone
    EXPECT_FALSE(Exists("run.log"));
    WriteFile("pelvrn.sl4", "x");
    Runner.EndAll();
    Form->DosJobTimerTimer();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].Text,
              "job did not produce expected file\r\n" + ModelFile("run.log"));
    EXPECT_EQ(View.Log.size(), 1u);
}

TEST_F(JobCycleTest, ALogThatCannotBeDeletedStopsTheLaunch) {
    std::filesystem::create_directories(ModelFile("run.log") + "/inside");
    EXPECT_THROW(Form->StartBtnClick(), TFileError);
    EXPECT_TRUE(Runner.Starts.empty());
    EXPECT_FALSE(View.TimerOn);
}

TEST_F(JobCycleTest, BestWorstAndInitialTimesAndTheirMarks) {
    View.IncludeIndex = 0;
    StartRun();
    const char* times[] = {"10.0", "9.0", "12.0", "8.0", "8.0", "12.0", "13.25"};
    for (const char* t : times)
        FinishJob(t);
    const std::string saved = "Improved condensation saved as file " + ModelFile("optimal.sti");
    const std::vector<std::string> expected = {
        "Job0 10.0 secs original initial.sti ********* best yet",
        "Job1 9.0 secs original initial.sti ********* best yet",
        "Job2 12.0 secs Complete shuffle !!!!!!!!! worst yet",
        "Job3 8.0 secs Complete shuffle ********* best yet",
        saved,
        "Job4 8.0 secs Complete shuffle",
        "Job5 12.0 secs Complete shuffle",
        "Job6 13.2 secs Complete shuffle !!!!!!!!! worst yet",
    };
    EXPECT_EQ(View.Log, expected);
    EXPECT_EQ(Caption(TControlId::BestJobLabel), "Best job is Job3 8.0 secs");
    EXPECT_EQ(Caption(TControlId::WorstJobLabel), "Worst job is Job6 13.2 secs");
    EXPECT_EQ(Caption(TControlId::InitialTimeLabel), "INITIAL.STI time = 9.0 secs");
    EXPECT_EQ(Form->BestTime, 8.0f);
    EXPECT_EQ(Form->WorstTime, 13.25f);
    // optimal.sti holds job 3's candidate, which is now the best.
    EXPECT_EQ(ReadBytes(ModelFile("optimal.sti")), ReadBytes(ModelFile("Job3")));
    EXPECT_EQ(ReadBytes(ModelFile("optimal.cnd")), ReadBytes(ModelFile("Job3.cnd")));
}

TEST_F(JobCycleTest, JobsZeroAndOneNeverWriteOptimal) {
    StartRun();
    FinishJob("10.0");
    FinishJob("9.0");
    EXPECT_FALSE(Exists("optimal.sti"));
    EXPECT_FALSE(Exists("optimal.cnd"));
    FinishJob("9.0"); // as fast as the best: no mark, no file
    EXPECT_FALSE(Exists("optimal.sti"));
    EXPECT_EQ(View.Log.back().find("best yet"), std::string::npos);
    FinishJob("8.5");
    EXPECT_TRUE(Exists("optimal.sti"));
}

TEST_F(JobCycleTest, ASecondStartKeepsTheBestAndWorstOfEarlierRuns) {
    StartRun();
    FinishJob("10.0");
    FinishJob("20.0");
    Form->PauseBtnClick();
    Form->DosJobTimerTimer();
    Runner.EndAll();
    Form->StartBtnClick();
    EXPECT_EQ(Form->JobCount, 0);
    EXPECT_TRUE(View.Log.empty());
    EXPECT_EQ(Caption(TControlId::BestJobLabel), "Best job is Job0 10.0 secs");
    EXPECT_EQ(Caption(TControlId::WorstJobLabel), "Worst job is Job1 20.0 secs");
    FinishJob("15.0");
    EXPECT_EQ(View.Log, std::vector<std::string>{"Job0 15.0 secs original initial.sti"});
    EXPECT_EQ(Caption(TControlId::InitialTimeLabel), "INITIAL.STI time = 15.0 secs");
    FinishJob("9.5");
    EXPECT_EQ(View.Log.back(), "Job1 9.5 secs original initial.sti ********* best yet");
    EXPECT_FALSE(Exists("optimal.sti"));
}

TEST_F(JobCycleTest, EachTimedJobIsReportedToTheListener) {
    std::vector<TJobResult> results;
    Form->OnJobTimed = [&](const TJobResult& r) { results.push_back(r); };
    StartRun();
    FinishJob("10.0");
    FinishJob("12.5");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].JobName, "Job0");
    EXPECT_EQ(results[0].Mark, " ********* best yet");
    EXPECT_EQ(results[1].JobCount, 1);
    EXPECT_EQ(results[1].Seconds, 12.5f);
    EXPECT_EQ(results[1].TimeText, "12.5");
    EXPECT_EQ(results[1].ChangeText, "original initial.sti");
    EXPECT_EQ(results[1].Mark, " !!!!!!!!! worst yet");
    EXPECT_EQ(results[1].BestTime, 10.0f);
}

TEST_F(JobCycleTest, AFailedWriteOfTheNextJobStallsTheRun) {
    StartRun();
    FinishJob("10.0");
    std::filesystem::create_directories(ModelFile("Job2"));
    EndJob("11.0");
    EXPECT_THROW(Form->DosJobTimerTimer(), TFileError);
    EXPECT_EQ(Buttons(), StalledState);
    EXPECT_EQ(View.Log.size(), 2u) << "job 1 was recorded";
    EXPECT_EQ(Form->JobCount, 2);
    EXPECT_EQ(Runner.Starts.size(), 2u);
}

TEST_F(JobCycleTest, AFailedWriteOfOptimalStallsWithTheBestRecorded) {
    View.IncludeIndex = 0;
    StartRun();
    FinishJob("10.0");
    FinishJob("10.0");
    // optimal.sti cannot be replaced (a folder holds its name): the earlier optimal.cnd stays.
    std::filesystem::create_directories(ModelFile("optimal.sti"));
    WriteFile("optimal.cnd", "earlier");
    EndJob("7.0");
    try {
        Form->DosJobTimerTimer();
        ADD_FAILURE() << "no error";
    } catch (const TFileError& e) {
        EXPECT_TRUE(Contains(e.what(), "The new best was not saved; optimal.sti and optimal.cnd "
                                       "are left as they were."))
            << e.what();
    }
    EXPECT_EQ(ReadBytes(ModelFile("optimal.cnd")), "earlier");
    EXPECT_EQ(Buttons(), StalledState);
    EXPECT_EQ(Form->BestTime, 7.0f);
    EXPECT_EQ(View.Log.back(), "Job2 7.0 secs Complete shuffle ********* best yet");
    EXPECT_EQ(Form->BestOrder, Form->CurrentOrder);
}

TEST_F(JobCycleTest, StartRemovesTheTemporariesOfAKilledSave) {
    const char* leftovers[] = {"optimal.sti.~4242-3.tmp", "optimal.cnd.~4242-2.tmp", "Job0.~tmp"};
    const char* kept[] = {"notes.tmp", "optimal.sti.~x-1.tmp", "a.~tmp.txt"};
    for (const char* name : leftovers)
        WriteFile(name, "x");
    for (const char* name : kept)
        WriteFile(name, "x");
    Form->StartBtnClick();
    for (const char* name : leftovers)
        EXPECT_FALSE(Exists(name)) << name;
    for (const char* name : kept)
        EXPECT_TRUE(Exists(name)) << name;
}

TEST_F(JobCycleTest, ASecondSearchOnTheSameFolderIsRefusedUntilTheFirstLetsGo) {
    Form->StartBtnClick();
    TFakeView otherView;
    TFakeRunner otherRunner;
    TForm1 other(otherView, otherRunner, TJobCommand{"interp", "/c pelvrn.bat ", "pelvrn.bat"},
                 Dir.Path());
    other.FormCreate(1);
    ASSERT_EQ(other.JobFolder, Model);
    for (auto click : {&TForm1::StartBtnClick, &TForm1::RESTARTBtnClick}) {
        otherView.Messages.clear();
        (other.*click)();
        ASSERT_EQ(otherView.Messages.size(), 1u);
        EXPECT_EQ(otherView.Messages[0].Text,
                  "Another search is running in the job folder\r\n" + Model +
                      "\r\nOnly one search at a time can use a job folder.");
        EXPECT_EQ(otherView.Messages[0].Kind, TMsgKind::Error);
        EXPECT_TRUE(otherRunner.Starts.empty());
    }
    // The first window turns to another folder: the lock goes with it.
    Runner.EndAll();
    Form->SetJobFolder(Dir.Path());
    otherView.Messages.clear();
    other.StartBtnClick();
    EXPECT_TRUE(otherView.Messages.empty());
    EXPECT_EQ(otherRunner.Starts.size(), 1u);
}

TEST_F(JobCycleTest, StayOnTopBringsTheWindowForward) {
    View.StayOnTop = true;
    Form->StartBtnClick();
    EXPECT_EQ(View.FrontCount, 1) << "after the launch";
    Form->DosJobTimerTimer();
    EXPECT_EQ(View.FrontCount, 2) << "at a tick of a running job";
    EndJob("5.0");
    Form->DosJobTimerTimer();
    // tick, end seen, after the log line, next launch
    EXPECT_EQ(View.FrontCount, 6);
    View.StayOnTop = false;
    Form->DosJobTimerTimer();
    EXPECT_EQ(View.FrontCount, 6);
}

TEST_F(JobCycleTest, TheShowModeIsReadAtEachLaunch) {
    StartRun();
    View.RunMinimized = true;
    FinishJob("5.0");
    View.RunMinimized = false;
    FinishJob("5.0");
    ASSERT_EQ(Runner.Starts.size(), 3u);
    EXPECT_EQ(Runner.Starts[0].ShowCmd, SW_ShowNormal);
    EXPECT_EQ(Runner.Starts[1].ShowCmd, SW_ShowMinNoActive);
    EXPECT_EQ(Runner.Starts[2].ShowCmd, SW_ShowNormal);
    EXPECT_EQ(Runner.Starts[2].Params, "/c pelvrn.bat Job2");
}

} // namespace
} // namespace pelvarn::test
