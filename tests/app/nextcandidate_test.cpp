#include <algorithm>

#include "fakes.h"

namespace pelvarn::test {
namespace {

// NextCandidate as the run sees it: the change texts in the log lines of successive jobs, all
// of which time the same, so every candidate is made from the best of job 0.
class CandidateRun : public TRunTest {
  protected:
    std::vector<std::string> RunJobs(int count, const std::string& cpu = "5.0") {
        StartRun();
        for (int k = 0; k < count; ++k)
            FinishJob(cpu);
        return View.Log;
    }
    static std::string ChangeOf(const std::string& line) {
        std::size_t p = line.find(" secs ");
        std::string rest = line.substr(p + 6);
        std::size_t mark = rest.find(" *");
        return mark == std::string::npos ? rest : rest.substr(0, mark);
    }
};

TEST_F(CandidateRun, JobsZeroAndOneTimeTheUnchangedCondensation) {
    CreateWithModel();
    View.IncludeIndex = 1;
    View.OrderIndex = 2;
    RunJobs(3);
    ASSERT_GE(View.Log.size(), 3u);
    EXPECT_EQ(ChangeOf(View.Log[0]), "original initial.sti");
    EXPECT_EQ(ChangeOf(View.Log[1]), "original initial.sti");
    EXPECT_NE(ChangeOf(View.Log[2]), "original initial.sti");
    EXPECT_EQ(ReadBytes(ModelFile("Job0")), ReadBytes(ModelFile("Job1")));
    EXPECT_NE(ReadBytes(ModelFile("Job0")), "");
}

TEST_F(CandidateRun, BothStrategiesAlternateIncludeAndOrderChanges) {
    CreateWithModel();
    View.IncludeIndex = 1;
    View.OrderIndex = 1;
    RunJobs(6);
    for (int job = 2; job < 6; ++job) {
        std::string change = ChangeOf(View.Log[job]);
        if (job % 2 == 0)
            EXPECT_EQ(change.rfind("Change x", 0), 0u) << job << ": " << change;
        else
            EXPECT_EQ(change, "Exchange random pair") << job;
    }
}

TEST_F(CandidateRun, IncludeWalkSkipsMustSubAndWrapsAround) {
    CreateWithModel();
    View.IncludeIndex = 1;
    View.OrderIndex = 0;
    RunJobs(9);
    // From the best, x1 (sub) and x2 (backsub) are left out, x4 (left out) is substituted;
    // x3 carries MUSTSUB and is never named.
    const std::vector<std::string> cycle = {"Change x1 to notsub", "Change x2 to notsub",
                                            "Change x4 to sub"};
    auto first = std::find(cycle.begin(), cycle.end(), ChangeOf(View.Log[2]));
    ASSERT_NE(first, cycle.end()) << View.Log[2];
    std::size_t at = first - cycle.begin();
    for (int job = 2; job < 9; ++job, ++at)
        EXPECT_EQ(ChangeOf(View.Log[job]), cycle[at % 3]) << "job " << job;
}

TEST_F(CandidateRun, OrderChangesNameTheStrategy) {
    for (int order : {1, 2}) {
        CreateWithModel();
        View.IncludeIndex = 0;
        View.OrderIndex = order;
        RunJobs(3);
        const std::string text = order == 1 ? "Exchange random pair" : "Complete shuffle";
        EXPECT_EQ(ChangeOf(View.Log[2]), text);
        EXPECT_EQ(Caption(TControlId::InfoLabel), text); // job 3's change, shown at its launch
    }
}

TEST_F(CandidateRun, StrategiesSetToNothingKeepTheLastChangeText) {
    CreateWithModel();
    View.IncludeIndex = 0;
    View.OrderIndex = 2;
    RunJobs(3);
    View.OrderIndex = 0; // changed during the run
    FinishJob("5.0");
    FinishJob("5.0");
    EXPECT_EQ(ChangeOf(View.Log[4]), "Complete shuffle");
    EXPECT_EQ(ReadBytes(ModelFile("Job4")), ReadBytes(ModelFile("Job0")));
}

const char* const AllMustSubSti = "!pelvarnbegin\r\n"
                                  "s ! mustsub\r\nx1\r\neq1\r\n"
                                  "b ! MUSTSUB\r\nx2\r\neq2\r\n"
                                  "!pelvarnend\r\n";

TEST_F(CandidateRun, IncludeOnlyWithNothingAlterableStopsWithAMessage) {
    CreateWithModel(AllMustSubSti);
    View.IncludeIndex = 1;
    View.OrderIndex = 0;
    RunJobs(2);
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(View.Messages[0].Buttons, TMsgButtons::OkHelp);
    EXPECT_EQ(View.Messages[0].HelpContext, HcNothingAltered);
    EXPECT_FALSE(View.Messages[0].TimerWasOn);
    EXPECT_EQ(View.Messages[0].Text.rfind("Nothing can be altered one at a time:\r\n", 0), 0u);
    EXPECT_EQ(Runner.Starts.size(), 2u);
    EXPECT_EQ(Form->JobCount, 2);
    EXPECT_EQ(Buttons(), PausedState(true));
    EXPECT_EQ(Caption(TControlId::InfoLabel), "Paused");
}

TEST_F(CandidateRun, BothStrategiesWithNothingAlterableChangeTheOrderAndSaySoOnce) {
    const struct {
        const char* Sti;
        const char* Note;
    } cases[] = {
        {AllMustSubSti, "Alter one at a time: no substitution may be altered (all are MUSTSUB), "
                        "so only the order is changed"},
        {"!pelvarnbegin\r\n!pelvarnend\r\n",
         "Alter one at a time: there are no substitutions to alter, so only the order is changed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Note);
        View = TFakeView{};
        Runner.EndAll();
        const std::size_t startsBefore = Runner.Starts.size();
        CreateWithModel(c.Sti);
        View.IncludeIndex = 1;
        View.OrderIndex = 1;
        RunJobs(6);
        EXPECT_TRUE(View.Messages.empty());
        std::vector<std::string> jobLines, notes;
        for (const std::string& line : View.Log)
            (line.rfind("Job", 0) == 0 ? jobLines : notes).push_back(line);
        EXPECT_EQ(notes, std::vector<std::string>{c.Note});
        for (std::size_t job = 2; job < jobLines.size(); ++job)
            EXPECT_EQ(ChangeOf(jobLines[job]), "Exchange random pair");
        EXPECT_EQ(Runner.Starts.size() - startsBefore, 7u);
    }
}

TEST_F(CandidateRun, UnknownIncludeStrategyWarnsAndLaunchesUnchanged) {
    CreateWithModel();
    View.IncludeIndex = 2;
    View.OrderIndex = 0;
    RunJobs(2);
    ASSERT_EQ(View.Messages.size(), 1u);
    const TShownMessage& m = View.Messages[0];
    EXPECT_EQ(m.Text, "Cannot get here");
    EXPECT_EQ(m.Kind, TMsgKind::Warning);
    EXPECT_EQ(m.Buttons, TMsgButtons::Ok);
    EXPECT_EQ(m.HelpContext, 0);
    EXPECT_EQ(Runner.Starts.size(), 3u);
    EXPECT_EQ(ReadBytes(ModelFile("Job2")), ReadBytes(ModelFile("Job0")));
}

TEST_F(CandidateRun, ABadBestStallsTheRunBeforeTheNextJob) {
    CreateWithModel();
    StartRun();
    FinishJob("5.0");
    Form->Best[1].MustSee = true; // x1 is substituted: no longer allowed
    FinishJob("6.0");
    ASSERT_EQ(View.Messages.size(), 1u);
    const TShownMessage& m = View.Messages[0];
    EXPECT_EQ(m.Text, "After reset to optimal\r\nBad substitution:\r\n"
                      "MustSee and SubStat=Sub\r\nfor variable x1");
    EXPECT_EQ(m.Kind, TMsgKind::Error);
    EXPECT_EQ(m.Buttons, TMsgButtons::OkHelp);
    EXPECT_EQ(m.HelpContext, HcBadSubstitution);
    EXPECT_FALSE(m.TimerWasOn);
    EXPECT_EQ(Form->JobCount, 2);
    EXPECT_EQ(Runner.Starts.size(), 2u);
    EXPECT_EQ(Buttons(), StalledState);
}

TEST_F(CandidateRun, ABadCandidateIsNeitherWrittenNorLaunched) {
    CreateWithModel();
    Form->RecordCount = 1;
    Form->Current[1] = Rec("y", false, false, backsub);
    Form->JobCount = 3;
    Form->LaunchJob();
    ASSERT_EQ(View.Messages.size(), 1u);
    EXPECT_EQ(View.Messages[0].Text, "Start of LaunchJob\r\nBad substitution:\r\n"
                                     "(not MustSee) and (SubStat = backsub)\r\nfor variable y");
    EXPECT_EQ(View.Messages[0].HelpContext, HcBadSubstitution);
    EXPECT_FALSE(Exists("Job3"));
    EXPECT_TRUE(Runner.Starts.empty());
    EXPECT_FALSE(View.TimerOn);
}

} // namespace
} // namespace pelvarn::test
