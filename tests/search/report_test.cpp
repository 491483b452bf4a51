#include <gtest/gtest.h>

#include "search/report.h"
#include "search/report_html.h"
#include "support/tempdir.h"

namespace pelvarn::test {
namespace {

using namespace pelvarn::search;

TJournalEntry Job(std::int64_t job, TJobStatus status, double seconds, const std::string& stat,
                  std::vector<std::int32_t> order, const std::string& reason = "",
                  std::int64_t verifyOf = -1) {
    TJournalEntry e;
    e.Job = job;
    e.Status = status;
    e.Seconds = seconds;
    ParseStatText(stat, e.Candidate.Stat);
    e.Candidate.Order = std::move(order);
    e.Candidate.Change = "change of Job" + std::to_string(job);
    e.Reason = reason;
    e.VerifyOf = verifyOf;
    e.Wall = 6;
    e.At = "2026-12-09T2" + std::to_string(job % 10) + ":00:00Z";
    return e;
}

std::vector<TSubRecord> FourRecords() {
    std::vector<TSubRecord> records(4);
    const char* names[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i) {
        records[i].VarName = names[i];
        records[i].EqName = std::string("E_") + names[i];
    }
    records[2].SubStat = backsub;
    return records;
}

// Jobs as two workers finish them: Job2 was made from Job0 and ends after Job1 displaced it.
TJournalContents HandMadeJournal() {
    using S = TJobStatus;
    TJournalContents j;
    j.Header.Folder = "/jobs/trade";
    j.Header.Records = {"a/E_a", "b/E_b", "c/E_c", "d/E_d"};
    j.Header.Strategy = "alter-pair";
    j.Entries = {
        Job(0, S::Ok, 100, "ssbs", {1, 2, 3, 4}),
        Job(1, S::Ok, 90, "nsbs", {1, 2, 3, 4}), // toggle a: -10 %
        Job(2, S::Ok, 95, "ssns", {1, 2, 3, 4}), // toggle c from Job0: -5 %
        Job(3, S::Ok, 90, "nsbs", {2, 1, 3, 4}), // exchange a, b: the same eliminations
        Job(4, S::Ok, 99, "nsbs", {1, 3, 2, 4}), // exchange b, c: +10 %
        Job(5, S::Failed, 0, "nsbn", {1, 2, 3, 4}, "timed out after 3600.0 s"),
        Job(6, S::Capped, 0, "nsss", {1, 2, 3, 4}, "capped after 12.5 s, 2.00 x the best's 6.2 s"),
        Job(7, S::Capped, 0, "nsbs", {4, 2, 3, 1}, "capped after 13.1 s, 2.00 x the best's 6.2 s"),
        Job(8, S::Ok, 81, "nnbs", {1, 2, 3, 4}), // toggle b: -10 %
        Job(9, S::Verify, 80, "nnbs", {1, 2, 3, 4}, "", 8),
        Job(10, S::Verify, 82, "nnbs", {1, 2, 3, 4}, "", 8),
    };
    j.Verdicts = {{8, 81}};
    j.Ended = "job limit";
    return j;
}

TEST(SearchReport, AnalysisMeasuresEffectsChangesAndFailures) {
    TSearchAnalysis a;
    std::string reason;
    ASSERT_TRUE(
        AnalyseSearch(HandMadeJournal(), "/jobs/trade", FourRecords(), "trade.ksx", a, reason))
        << reason;
    EXPECT_EQ(a.FolderName, "trade");
    EXPECT_EQ(a.Jobs, 9);
    EXPECT_EQ(a.Timed, 6);
    EXPECT_EQ(a.Failed, 1);
    EXPECT_EQ(a.Capped, 2);
    EXPECT_EQ(a.VerifyJobs, 2);
    EXPECT_EQ(a.BestJob, 8);
    EXPECT_DOUBLE_EQ(a.PercentFaster, 19);
    EXPECT_EQ(a.FirstAt, "2026-12-09T20:00:00Z");
    EXPECT_DOUBLE_EQ(a.SpanHours, 9);

    // Toggles by size of effect, each against the best it was made from; d never measured.
    struct TExpect {
        std::int32_t Record, From, To;
        double Seconds, Percent;
        std::size_t Jobs;
    } toggles[] = {
        {1, sub, notsub, -10, -10, 1},
        {2, sub, notsub, -9, -10, 1},
        {3, backsub, notsub, -5, -5, 1},
        {4, sub, notsub, 0, 0, 0},
    };
    ASSERT_EQ(a.Toggles.size(), std::size(toggles));
    for (std::size_t i = 0; i < std::size(toggles); ++i) {
        const TToggleEffect& t = a.Toggles[i];
        EXPECT_EQ(t.Record, toggles[i].Record) << i;
        EXPECT_EQ(t.From, toggles[i].From) << i;
        EXPECT_EQ(t.To, toggles[i].To) << i;
        EXPECT_NEAR(t.Seconds, toggles[i].Seconds, 1e-9) << i;
        EXPECT_NEAR(t.Percent, toggles[i].Percent, 1e-9) << i;
        EXPECT_EQ(t.Jobs.size(), toggles[i].Jobs) << i;
    }
    EXPECT_EQ(a.ExchangeJobs, 2);
    EXPECT_EQ(a.ExchangesSlower, 1);
    ASSERT_EQ(a.Exchanges.size(), 1u); // the exchange that changed nothing is counted, not listed
    EXPECT_EQ(a.Exchanges[0].A, 2);
    EXPECT_EQ(a.Exchanges[0].B, 3);
    EXPECT_EQ(a.OneMoveJobs, 5);
    EXPECT_EQ(a.SameAsBest, 1);

    // The verified condensation is the one kept; Job1 and Job3 make the same eliminations.
    EXPECT_EQ(a.KeptJob, 8);
    ASSERT_EQ(a.StatusChanges.size(), 2u);
    EXPECT_EQ(a.StatusChanges[1].Record, 2);
    EXPECT_TRUE(a.PlaceChanges.empty());
    ASSERT_EQ(a.KeptStatements.size(), 4u);
    EXPECT_EQ(a.KeptStatements[0], "!Substitute a using E_a;!");
    EXPECT_EQ(a.KeptStatements[2], "Backsolve c using E_c;");
    ASSERT_EQ(a.Verified.size(), 1u);
    EXPECT_DOUBLE_EQ(a.Verified[0].Median, 81);
    EXPECT_DOUBLE_EQ(a.Verified[0].Spread, 2);
    EXPECT_TRUE(a.Verified[0].Chosen);
    ASSERT_GE(a.Fastest.size(), 2u);
    EXPECT_EQ(a.Fastest[0].Jobs, std::vector<std::int64_t>{8});
    EXPECT_EQ(a.Fastest[1].Jobs, (std::vector<std::int64_t>{1, 3}));

    // Failures of one kind group whatever their figures.
    ASSERT_EQ(a.Failures.size(), 2u);
    EXPECT_EQ(a.Failures[1].Status, TJobStatus::Capped);
    EXPECT_EQ(a.Failures[1].Jobs, (std::vector<std::int64_t>{6, 7}));
    EXPECT_EQ(a.FailedJobs.size(), 3u);
}

// Without --verify, the condensation kept is the best as the search judged it by the mean of
// its timings (its journal lines say which), not the job that happened to time fastest.
TEST(SearchReport, TheJudgedBestIsKeptAndItsNoiseShown) {
    TJournalContents j = HandMadeJournal();
    j.Verdicts.clear();
    j.Entries.resize(9); // Job8 (81 s) is the fastest
    // Job1 timed again before the near tie with Job8 was judged: a retime, not --verify.
    j.Entries.push_back(Job(9, TJobStatus::Verify, 84, "nsbs", {1, 2, 3, 4}, "", 1));
    j.Entries.back().Candidate.Change = "time again Job1";
    for (auto& e : j.Entries) {
        e.Best = e.Job < 1 ? 0 : 1;
        e.Noise = e.Job < 9 ? -1 : 0.025;
    }
    TJournalContents read;
    std::string reason;
    std::string text = HeaderLine(j.Header);
    for (const auto& e : j.Entries)
        text += EntryLine(e);
    ASSERT_TRUE(ParseJournal(text, read, reason)) << reason;
    TSearchAnalysis a;
    ASSERT_TRUE(AnalyseSearch(read, "/jobs/trade", FourRecords(), "trade.ksx", a, reason))
        << reason;
    EXPECT_EQ(a.BestJob, 8);
    EXPECT_EQ(a.KeptJob, 1);
    EXPECT_DOUBLE_EQ(a.Noise, 0.025);
    EXPECT_EQ(a.Jobs, 10);
    EXPECT_EQ(a.Retimed, 1);
    EXPECT_EQ(a.VerifyJobs, 0);
    EXPECT_TRUE(a.Verified.empty()) << "a retime was shown as --verify";
    EXPECT_EQ(a.KeptTimings, 2);
    EXPECT_DOUBLE_EQ(a.KeptSeconds, 87);
    EXPECT_DOUBLE_EQ(a.PercentFaster, 13) << "faster by the fastest single timing, not the kept";
}

TEST(SearchReport, JournalsThatDoNotFitAreRefused) {
    auto otherRecords = FourRecords();
    otherRecords[3].EqName = "E_x";
    auto fewerRecords = FourRecords();
    fewerRecords.pop_back();
    struct TCase {
        std::string Folder;
        std::vector<TSubRecord> Records;
        std::string Reason;
    } cases[] = {
        {"/jobs/other", FourRecords(), "belongs to the job folder /jobs/trade"},
        {"/jobs/trade", otherRecords, "not those the journal was started with"},
        {"/jobs/trade", fewerRecords, "not those"},
    };
    for (const TCase& c : cases) {
        TSearchAnalysis a;
        std::string reason;
        EXPECT_FALSE(AnalyseSearch(HandMadeJournal(), c.Folder, c.Records, "", a, reason));
        EXPECT_NE(reason.find(c.Reason), std::string::npos) << reason;
    }
}

TEST(SearchReport, PageFromFilesEscapesTheirTextAndPassesOverATornLine) {
    TTempDir dir;
    dir.Write("initial.sti", "trade.ksx ! model\r\n!pelvarnbegin\r\ns\r\na<1>\r\nE_a\r\n"
                             "s\r\nb&c\r\nE_b\r\n!pelvarnend\r\n");
    TJournalHeader h;
    h.Folder = dir.Path();
    h.Records = {"a<1>/E_a", "b&c/E_b"};
    h.Strategy = "alter";
    TJournalEntry first = Job(0, TJobStatus::Ok, 10, "ss", {1, 2});
    TJournalEntry failed = Job(1, TJobStatus::Failed, 0, "ns", {1, 2}, "log says <error> & more");
    const std::string torn = EntryLine(Job(2, TJobStatus::Ok, 9, "sn", {1, 2}));
    dir.Write("search.jsonl", HeaderLine(h) + EntryLine(first) + EntryLine(failed) +
                                  EndLine("complete") + torn.substr(0, 40));
    std::string reason, warning;
    const std::string out = dir.File("report.html");
    ASSERT_TRUE(WriteSearchReport(dir.Path(), dir.File("search.jsonl"), out, reason, &warning))
        << reason;
    EXPECT_NE(warning.find("incomplete"), std::string::npos);
    const std::string html = ReadBytes(out);
    for (const char* expected :
         {"a&lt;1&gt;/E_a", "b&amp;c/E_b", "log says &lt;error&gt; &amp; more",
          "complete: every candidate", "<svg", "Search of "})
        EXPECT_NE(html.find(expected), std::string::npos) << expected;
    for (const char* raw : {"<1>", "<error>", "b&c"})
        EXPECT_EQ(html.find(raw), std::string::npos) << raw;

    EXPECT_FALSE(WriteSearchReport(dir.Path(), dir.File("none.jsonl"), out, reason));
    EXPECT_NE(reason.find("no journal"), std::string::npos) << reason;
}

} // namespace
} // namespace pelvarn::test
