#include <functional>

#include "base/prng.h"
#include "fakes.h"
#include "platform/fileio.h"

namespace pelvarn::test {
namespace {

class Form1Test : public TRunTest {};

TEST_F(Form1Test, CreationTakesTheModelFolderOnlyWhenItHoldsBothFiles) {
    struct TCase {
        bool Bat, Sti;
    } cases[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    for (const TCase& c : cases) {
        std::filesystem::remove_all(Model);
        std::filesystem::create_directories(Model);
        if (c.Bat) WriteFile("pelvrn.bat", "rem");
        if (c.Sti) WriteFile("initial.sti", FourRecordSti);
        View = TFakeView{};
        Create();
        bool ok = c.Bat && c.Sti;
        EXPECT_EQ(Caption(TControlId::BatchLabel),
                  ok ? "Batch file: " + ModelFile("pelvrn.bat") : "Batch file: NOT SPECIFIED");
        EXPECT_EQ(Form->JobFolder, ok ? Model : "");
        const TButtons ready{false, true, false, false, true};
        EXPECT_EQ(Buttons(), ok ? ready : NoFolderState);
    }
}

TEST_F(Form1Test, CreationClearsTheWindowSizesItAndSeedsTheGenerator) {
    WriteModel();
    View.Log = {"old"};
    View.Captions[TControlId::InfoLabel] = "old";
    Create(4711);
    EXPECT_EQ(ProgramRandom().GetSeed(), 4711u);
    EXPECT_TRUE(View.Log.empty());
    for (TControlId id : {TControlId::JobLabel, TControlId::BestJobLabel, TControlId::WorstJobLabel,
                          TControlId::InitialTimeLabel, TControlId::InfoLabel})
        EXPECT_EQ(Caption(id), "");
    EXPECT_EQ(View.ClientWidth, 550);
    EXPECT_EQ(View.ClientHeight, 336);
    EXPECT_EQ(Form->BestTime, 2147483648.0f);
    EXPECT_EQ(Form->WorstTime, -1.0f);
}

TEST_F(Form1Test, ChangeChecksTheChosenFileAndItsFolder) {
    TTempDir other;
    other.Write("pelvrn.bat", "rem");
    other.Write("initial.sti", FourRecordSti);
    other.Write("other.bat", "rem");
    TTempDir noSti;
    noSti.Write("pelvrn.bat", "rem");
    struct TCase {
        std::string Path;
        std::string Message; // "" when accepted
        std::string Folder;  // the job folder afterwards
    } cases[] = {
        {other.File("pelvrn.bat"), "", other.Path()},
        // The name is compared lower-cased (pelvrn.bat itself exists in the folder).
        {other.File("PELVRN.BAT"), "", other.Path()},
        {other.File("other.bat"), "You must select a file named pelvrn.bat", Model},
        {noSti.File("pelvrn.bat"), "You must select a folder containing a file named initial.sti",
         Model},
    };
    for (const TCase& c : cases) {
        CreateWithModel();
        View.Messages.clear();
        View.ChooseAnswer = true;
        View.ChoosePath = c.Path;
        Form->BatchBtnClick();
        EXPECT_EQ(View.AskedFileName, "pelvrn.bat");
        EXPECT_EQ(View.AskedFilter, "pelvrn.bat|pelvrn.bat");
        EXPECT_EQ(Form->JobFolder, c.Folder) << c.Path;
        if (c.Message.empty()) {
            EXPECT_TRUE(View.Messages.empty()) << c.Path;
            EXPECT_EQ(Caption(TControlId::BatchLabel),
                      "Batch file: " + JoinPath(c.Folder, "pelvrn.bat"));
        } else {
            ASSERT_EQ(View.Messages.size(), 1u) << c.Path;
            EXPECT_EQ(View.Messages[0].Text, c.Message);
            EXPECT_EQ(View.Messages[0].Kind, TMsgKind::Error);
            EXPECT_EQ(View.Messages[0].Buttons, TMsgButtons::OkHelp);
            EXPECT_EQ(View.Messages[0].HelpContext, HcChooseBatch);
        }
    }
}

TEST_F(Form1Test, ChangeCancelledChangesNothing) {
    CreateWithModel();
    View.ChooseAnswer = false;
    Form->BatchBtnClick();
    EXPECT_EQ(Form->JobFolder, Model);
    EXPECT_TRUE(View.Messages.empty());
}

TEST_F(Form1Test, ChangeWhilePausedKeepsTheRun) {
    CreateWithModel();
    StartRun();
    FinishJob("5.0");
    Form->PauseBtnClick();
    Form->DosJobTimerTimer();
    TTempDir other;
    other.Write("pelvrn.bat", "rem");
    other.Write("initial.sti", FourRecordSti);
    View.ChooseAnswer = true;
    View.ChoosePath = other.File("pelvrn.bat");
    Form->BatchBtnClick();
    EXPECT_EQ(Form->JobFolder, other.Path());
    EXPECT_EQ(Form->JobCount, 1);
    EXPECT_EQ(Form->BestTime, 5.0f);
    EXPECT_EQ(Buttons(), PausedState(true));
}

TEST_F(Form1Test, StartRefusalsShowTheirBoxesAndLaunchNothing) {
    struct TCase {
        const char* Name;
        std::function<void(Form1Test&)> Arrange;
        std::string Text; // followed by the path of initial.sti when WithPath
        bool WithPath;
        TMsgKind Kind;
        int HelpContext;
    } cases[] = {
        {"job running",
         [](Form1Test& t) {
             t.Form->StartBtnClick(); // job 0 is now running
             t.View.Messages.clear();
         },
         "DOS job is still running.\r\nWait for it to finish,\r\nor close it manually.", false,
         TMsgKind::Information, HcJobRunning},
        {"bad initial.sti", [](Form1Test& t) { t.WriteFile("initial.sti", "no marker\r\n"); },
         "Error:\r\nCould not find \"!pelvarnbegin\" line in STI file:\r\n", true, TMsgKind::Error,
         HcStiRefused},
        {"nothing altered",
         [](Form1Test& t) {
             t.View.IncludeIndex = 0;
             t.View.OrderIndex = 0;
         },
         "Nothing is being altered", false, TMsgKind::Warning, HcNothingAltered},
    };
    for (auto& c : cases) {
        Runner.EndAll();
        View = TFakeView{};
        CreateWithModel();
        c.Arrange(*this);
        std::size_t startsBefore = Runner.Starts.size();
        Form->StartBtnClick();
        ASSERT_EQ(View.Messages.size(), 1u) << c.Name;
        std::string expected = c.Text + (c.WithPath ? ModelFile("initial.sti") : "");
        EXPECT_EQ(View.Messages[0].Text, expected) << c.Name;
        EXPECT_EQ(View.Messages[0].Kind, c.Kind) << c.Name;
        EXPECT_EQ(View.Messages[0].Buttons, TMsgButtons::OkHelp) << c.Name;
        EXPECT_EQ(View.Messages[0].HelpContext, c.HelpContext) << c.Name;
        EXPECT_EQ(Runner.Starts.size(), startsBefore) << c.Name;
    }
}

TEST_F(Form1Test, StartOnAFolderThatIsGoneKeepsThePausedRun) {
    CreateWithModel();
    StartRun();
    FinishJob("5.0");
    Form->PauseBtnClick();
    Form->DosJobTimerTimer();
    Runner.EndAll();
    const std::string moved = Model + "-away";
    std::filesystem::rename(Model, moved); // as when its drive is taken out
    View.Messages.clear();
    const std::size_t starts = Runner.Starts.size();
    Form->StartBtnClick();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].Text,
              "Error:\r\nCannot reach the job folder\r\n" + Model + "\r\nIs its drive ready?");
    EXPECT_EQ(View.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(Runner.Starts.size(), starts);
    EXPECT_EQ(Form->JobCount, 1);
    EXPECT_EQ(Buttons(), PausedState(true));
    std::filesystem::rename(moved, Model);
}

TEST_F(Form1Test, NothingAlteredAtStartHasReadTheRecordsAlready) {
    CreateWithModel();
    View.OrderIndex = 0;
    Form->StartBtnClick();
    EXPECT_EQ(Form->RecordCount, 4);
    EXPECT_EQ(Form->Best[3].VarName, "x3");
    EXPECT_EQ(Form->Current[3].VarName, "x3");
    EXPECT_EQ(Form->ChangeText, "original initial.sti");
}

TEST_F(Form1Test, StartLaunchesJobZeroWithTheJobCommand) {
    for (bool minimized : {false, true}) {
        CreateWithModel();
        View.RunMinimized = minimized;
        View.Log = {"old line"};
        Form->StartBtnClick();
        ASSERT_EQ(Runner.Starts.size(), 1u);
        const TStartCall& call = Runner.Starts[0];
        EXPECT_EQ(call.Title, "Pelvarn");
        EXPECT_EQ(call.Program, "interp");
        EXPECT_EQ(call.Params, "/c pelvrn.bat Job0");
        EXPECT_EQ(call.WorkDir, Model);
        EXPECT_EQ(call.ShowCmd, minimized ? SW_ShowMinNoActive : SW_ShowNormal);
        EXPECT_TRUE(View.Log.empty());
        EXPECT_TRUE(View.TimerOn);
        EXPECT_EQ(Caption(TControlId::JobLabel), "Job0");
        EXPECT_TRUE(Exists("Job0"));
        EXPECT_TRUE(Exists("Job0.cnd"));
        EXPECT_GE(Form->AlterPos, 0);
        EXPECT_LT(Form->AlterPos, 4);
        Runner.EndAll();
        Runner.Starts.clear();
    }
}

TEST_F(Form1Test, AStaleSolutionFileIsDeletedBeforeTheLaunch) {
    CreateWithModel();
    WriteFile("pelvrn.sl4", "old");
    Form->StartBtnClick();
    EXPECT_FALSE(Exists("pelvrn.sl4"));
    EXPECT_EQ(Form->ExpectedFile, ModelFile("pelvrn.sl4"));
    EXPECT_EQ(Form->RunLogFile, ModelFile("run.log"));
}

TEST_F(Form1Test, AFailedLaunchPausesTheRun) {
    CreateWithModel();
    Runner.FailStart = true;
    Form->StartBtnClick();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].Text,
              "Could not launch Job !\r\ninterp\r\n/c pelvrn.bat Job0\r\n" + Model);
    EXPECT_EQ(View.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(View.Messages[0].Buttons, TMsgButtons::OkHelp);
    EXPECT_EQ(View.Messages[0].HelpContext, HcLaunchFailed);
    EXPECT_FALSE(View.Messages[0].TimerWasOn);
    EXPECT_EQ(Buttons(), PausedState(false));
    EXPECT_EQ(Caption(TControlId::InfoLabel), "Paused");
}

TEST_F(Form1Test, AFailedWriteAtStartLeavesTheStateAsBefore) {
    CreateWithModel();
    std::filesystem::create_directories(ModelFile("Job0")); // cannot be replaced by a file
    TButtons before = Buttons();
    EXPECT_THROW(Form->StartBtnClick(), TFileError);
    EXPECT_EQ(Buttons(), before);
    EXPECT_TRUE(Runner.Starts.empty());
}

TEST_F(Form1Test, AFailedReadAtStartEndsTheEarlierRun) {
    CreateWithModel();
    StartRun();
    FinishJob("5.0");
    FinishJob("6.0");
    Form->PauseBtnClick();
    Form->DosJobTimerTimer();
    ASSERT_EQ(Buttons(), PausedState(true));
    // The refused file has taken the kept parts of the old one with it: no RESUME.
    WriteFile("initial.sti", "no marker\r\n");
    Runner.EndAll();
    Form->StartBtnClick();
    EXPECT_EQ(Form->JobCount, 0);
    EXPECT_EQ(Buttons(), PausedState(false));
    // initial.sti gone: the file error propagates, RESUME is off as well.
    CreateWithModel();
    StartRun();
    FinishJob("5.0");
    Form->PauseBtnClick();
    Form->DosJobTimerTimer();
    std::filesystem::remove(ModelFile("initial.sti"));
    Runner.EndAll();
    EXPECT_THROW(Form->StartBtnClick(), TFileError);
    EXPECT_EQ(Buttons(), PausedState(false));
}

TEST_F(Form1Test, ResumeRefusalsComeInTheirOrder) {
    CreateWithModel();
    StartRun();
    FinishJob("5.0"); // job 1 running
    Form->PauseBtnClick();
    View.Messages.clear();
    // Both strategies off: this comes first, even though the job still runs.
    View.OrderIndex = 0;
    Form->RESTARTBtnClick();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].Text, "Nothing is being altered");
    EXPECT_EQ(View.Messages[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(View.Messages[0].HelpContext, HcNothingAltered);
    View.OrderIndex = 2;
    Form->RESTARTBtnClick();
    ASSERT_EQ(View.Messages.size(), 2u);
    EXPECT_EQ(View.Messages[1].Text,
              "DOS job is still running.\r\nWait for it to finish,\r\nor close it manually.");
    EXPECT_EQ(View.Messages[1].Kind, TMsgKind::Information);
    EXPECT_EQ(View.Messages[1].HelpContext, HcJobRunning);
    EXPECT_EQ(Runner.Starts.size(), 2u);
}

TEST_F(Form1Test, PauseShowsItsBoxAndTheNextTickPauses) {
    CreateWithModel();
    StartRun();
    FinishJob("5.0"); // job 1 running
    Form->PauseBtnClick();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].Text,
              "If DOS job is running,\r\nwait for it to finish,\r\nor close it manually.");
    EXPECT_EQ(View.Messages[0].Kind, TMsgKind::Information);
    EXPECT_EQ(View.Messages[0].Buttons, TMsgButtons::OkHelp);
    EXPECT_EQ(View.Messages[0].HelpContext, HcJobRunning);
    EXPECT_EQ(Buttons(), PauseAskedState(true));
    // The job ends before the tick: its result is never read.
    EndJob("1.0");
    int front = View.FrontCount;
    Form->DosJobTimerTimer();
    EXPECT_EQ(Buttons(), PausedState(true));
    EXPECT_EQ(View.Log.size(), 1u);
    EXPECT_EQ(Caption(TControlId::InfoLabel), "Paused");
    EXPECT_EQ(View.FrontCount, front + 1);
    EXPECT_FALSE(Form->PauseRequested);
}

// Every row of the run's state table, each reached as a user would reach it.
TEST_F(Form1Test, StateTable) {
    struct TCase {
        const char* State;
        std::function<void(Form1Test&)> Reach;
        TButtons Expected;
    } cases[] = {
        {"No folder", [](Form1Test& t) { t.Create(); }, NoFolderState},
        {"Ready", [](Form1Test& t) { t.CreateWithModel(); }, {false, true, false, false, true}},
        {"Running",
         [](Form1Test& t) {
             t.CreateWithModel();
             t.StartRun();
         },
         RunningState},
        {"Pause asked during job 0",
         [](Form1Test& t) {
             t.CreateWithModel();
             t.StartRun();
             t.Form->PauseBtnClick();
         },
         PauseAskedState(false)},
        {"Pause asked later",
         [](Form1Test& t) {
             t.CreateWithModel();
             t.StartRun();
             t.FinishJob("5.0");
             t.Form->PauseBtnClick();
         },
         PauseAskedState(true)},
        {"Paused during job 0",
         [](Form1Test& t) {
             t.CreateWithModel();
             t.StartRun();
             t.Form->PauseBtnClick();
             t.Form->DosJobTimerTimer();
         },
         PausedState(false)},
        {"Paused later",
         [](Form1Test& t) {
             t.CreateWithModel();
             t.StartRun();
             t.FinishJob("5.0");
             t.Form->PauseBtnClick();
             t.Form->DosJobTimerTimer();
         },
         PausedState(true)},
        {"Stalled",
         [](Form1Test& t) {
             t.CreateWithModel();
             t.StartRun();
             std::filesystem::create_directories(t.ModelFile("Job1"));
             t.EndJob("5.0");
             EXPECT_THROW(t.Form->DosJobTimerTimer(), TFileError);
         },
         StalledState},
        {"Stalled, then PAUSE",
         [](Form1Test& t) {
             t.CreateWithModel();
             t.StartRun();
             std::filesystem::create_directories(t.ModelFile("Job1"));
             t.EndJob("5.0");
             EXPECT_THROW(t.Form->DosJobTimerTimer(), TFileError);
             t.Form->PauseBtnClick();
         },
         PausedState(true)},
    };
    for (auto& c : cases) {
        Runner.EndAll();
        Form.reset(); // it holds the folder's lock file open
        std::filesystem::remove_all(Model);
        std::filesystem::create_directories(Model);
        View = TFakeView{};
        c.Reach(*this);
        EXPECT_EQ(Buttons(), c.Expected) << c.State;
    }
}

TEST_F(Form1Test, StalledThenPauseKeepsThePauseRequestUntilTheNextStart) {
    CreateWithModel();
    StartRun();
    std::filesystem::create_directories(ModelFile("Job1"));
    EndJob("5.0");
    EXPECT_THROW(Form->DosJobTimerTimer(), TFileError);
    Form->PauseBtnClick();
    EXPECT_TRUE(Form->PauseRequested);
    std::filesystem::remove_all(ModelFile("Job1"));
    Form->StartBtnClick();
    EXPECT_FALSE(Form->PauseRequested);
    EXPECT_TRUE(View.TimerOn);
    EXPECT_EQ(Form->JobName, "Job0");
}

TEST_F(Form1Test, PauseAskedThenStartOrResumeOnceTheJobHasEnded) {
    for (bool resume : {false, true}) {
        Runner.EndAll();
        CreateWithModel();
        StartRun();
        FinishJob("5.0"); // job 1 running
        Form->PauseBtnClick();
        View.Messages.clear();
        resume ? Form->RESTARTBtnClick() : Form->StartBtnClick();
        ASSERT_EQ(View.Messages.size(), 1u) << "refused while the job runs";
        Runner.EndAll();
        resume ? Form->RESTARTBtnClick() : Form->StartBtnClick();
        EXPECT_EQ(View.Messages.size(), 1u);
        EXPECT_EQ(Form->JobName, resume ? "Job2" : "Job0");
        EXPECT_TRUE(View.TimerOn);
        Form->DosJobTimerTimer();
        EXPECT_EQ(Buttons(), RunningState);
        // The ended job 1 was never timed.
        EXPECT_EQ(View.Log.size(), resume ? 1u : 0u);
    }
}

TEST_F(Form1Test, PausedThenResumeLaunchesTheNextJob) {
    CreateWithModel();
    StartRun();
    FinishJob("5.0");
    FinishJob("5.0"); // job 2 running
    Form->PauseBtnClick();
    Form->DosJobTimerTimer();
    Runner.EndAll();
    Form->RESTARTBtnClick();
    EXPECT_EQ(Form->JobCount, 3);
    EXPECT_EQ(Runner.Starts.back().Params, "/c pelvrn.bat Job3");
    EXPECT_FALSE(Form->PauseRequested);
    Form->DosJobTimerTimer();
    EXPECT_EQ(Buttons(), RunningState);
}

} // namespace
} // namespace pelvarn::test
