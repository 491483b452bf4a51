#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/fileio.h"
#include "sti/cputime.h"
#include "sti/stiUtils.h"
#include "sti/txtfile.h"
#include "support/tempdir.h"

using namespace pelvarn;
using pelvarn::test::ReadBytes;
using pelvarn::test::TTempDir;

namespace {

std::string Lines(std::initializer_list<std::string> lines, const char* eol = "\r\n") {
    std::string s;
    for (const auto& l : lines)
        s += l + eol;
    return s;
}

std::string Repeat(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += line + "\r\n";
    return s;
}

struct TReadResult {
    bool Ok;
    std::int32_t Count;
    std::string Msg;
    std::unique_ptr<TSubInfo> Subs;
};

TReadResult Read(const std::string& path) {
    TReadResult r{false, -1, "", std::make_unique<TSubInfo>()};
    r.Ok = ReadSTIFile(path, *r.Subs, r.Count, r.Msg);
    return r;
}

const std::string Section = "s\r\nx1\r\neq1\r\n";

} // namespace

TEST(SubRecord, CheckRulesInOrder) {
    struct TCase {
        bool MustSee, MustSub;
        std::int32_t Stat;
        const char* Reason;
    } cases[] = {
        {false, false, sub, nullptr},
        {false, false, notsub, nullptr},
        {false, false, backsub, "(not MustSee) and (SubStat = backsub)"},
        {true, false, sub, "MustSee and SubStat=Sub"},
        {true, false, backsub, nullptr},
        {true, true, sub, "MustSee and SubStat=Sub"},
        {false, true, notsub, "MustSub and SubStat=notsub"},
        {true, true, notsub, "MustSub and SubStat=notsub"},
    };
    for (const auto& c : cases) {
        TSubRecord r;
        r.VarName = "pX";
        r.MustSee = c.MustSee;
        r.MustSub = c.MustSub;
        r.SubStat = c.Stat;
        std::string msg = "junk";
        bool ok = CheckSubRecord(r, msg);
        EXPECT_EQ(ok, c.Reason == nullptr);
        EXPECT_EQ(msg, c.Reason ? std::string(c.Reason) + "\r\nfor variable pX" : "");
    }
}

TEST(SubRecord, WrittenFormsByteForByte) {
    TSubRecord r;
    r.VarName = "p_x";
    r.EqName = "E_x";
    std::string out;
    WriteSubTriple(out, r);
    EXPECT_EQ(out, "s                   \r\np_x                 \r\nE_x                 \r\n");

    r.SubStat = notsub;
    r.MustSee = true;
    r.VarComment = "! a comment";
    out.clear();
    WriteSubTriple(out, r);
    EXPECT_EQ(out, "!b                  \r\n!p_x                 ! a comment\r\n"
                   "!E_x                 \r\n");
    out.clear();
    WriteCndLine(out, r);
    EXPECT_EQ(out, "!Backsolve p_x using E_x;!\r\n");

    r.SubStat = backsub;
    r.MustSub = true;
    r.CodeComment = "!mustsub";
    out.clear();
    WriteSubTriple(out, r);
    EXPECT_EQ(out.substr(0, 30), "b                   !mustsub\r\n");
    out.clear();
    WriteCndLine(out, r);
    EXPECT_EQ(out, "Backsolve p_x using E_x; !mustsub!\r\n");

    r = TSubRecord{};
    r.VarName = "a_name_of_twenty_chr";
    r.EqName = "E";
    r.VarComment = "!c";
    r.SubStat = notsub;
    out.clear();
    WriteSubTriple(out, r);
    EXPECT_EQ(out, "!s                  \r\n!a_name_of_twenty_chr!c\r\n!E                   \r\n");
    out.clear();
    WriteCndLine(out, r);
    EXPECT_EQ(out, "!Substitute a_name_of_twenty_chr using E;!\r\n");
}

TEST(SplitSTILine, ValuesCommentsAndTheMustSubMark) {
    std::string value, comment;
    bool commented = false, mark = false;
    SplitSTILine("!  x_1   ! the MustSub one", value, comment, commented, mark);
    EXPECT_EQ(value, "x_1");
    EXPECT_EQ(comment, "! the MustSub one");
    EXPECT_TRUE(commented);
    EXPECT_TRUE(mark);
    SplitSTILine("eq ! plain", value, comment, commented, mark);
    EXPECT_FALSE(commented);
    EXPECT_TRUE(mark) << "the mark is never cleared within a triple";
    SplitSTILine("!", value, comment, commented, mark);
    EXPECT_EQ(value, "");
    EXPECT_TRUE(commented);
    std::string longComment = "!" + std::string(300, 'c');
    SplitSTILine("v " + longComment, value, comment, commented, mark);
    EXPECT_EQ(comment.size(), 255u);
    EXPECT_EQ(comment, longComment.substr(0, 255));
}

TEST(ParseSubTriple, StartStatusFromCodeCommentAndMustSub) {
    struct TCase {
        const char *L1, *L2, *L3;
        bool Ok, MustSee, MustSub;
        std::int32_t Stat;
    } cases[] = {
        {"S", "x", "e", true, false, false, sub},
        {"s ! mustsub", "x", "e", true, false, true, sub},
        {"!s", "!x", "!e", true, false, false, notsub},
        {"!s", "!x", "!e !MUSTSUB", true, false, true, sub},
        {"b", "x", "e", true, true, false, backsub},
        {"B", "x !MustSub", "e", true, true, true, backsub},
        {"!B", "!x", "!e", true, true, false, notsub},
        {"!b !mustsub", "!x", "!e", false, true, true, sub},
    };
    for (const auto& c : cases) {
        TSubRecord r;
        std::string msg;
        EXPECT_EQ(ParseSubTriple(c.L1, c.L2, c.L3, r, msg), c.Ok) << c.L1 << "/" << c.L3;
        EXPECT_EQ(r.MustSee, c.MustSee) << c.L1;
        EXPECT_EQ(r.MustSub, c.MustSub) << c.L1;
        EXPECT_EQ(r.SubStat, c.Stat) << c.L1;
        EXPECT_EQ(r.VarName, "x");
        if (!c.Ok) {
            EXPECT_EQ(msg, "Bad substitution for x: MustSee and SubStat=Sub\r\nfor variable x");
        }
    }
}

TEST(ParseSubTriple, RefusedCodesAndUnevenCommenting) {
    struct TCase {
        const char *L1, *L2, *L3, *Msg;
    } cases[] = {
        {"x", "v", "e", "expected S or B code, line was: x"},
        {"SB", "v", "e", "expected S or B code, line was: SB"},
        {"! ! note", "!v", "!e", "expected S or B code, line was: ! ! note"},
        {"!s", "v", "!e", "uneven commenting, line was: v"},
        {"s", "v", "!e ! c", "uneven commenting, line was: !e ! c"},
        // MUSTSUB turns a commented triple into a condensed one, which needs its names.
        {"!s", "!!mustsub", "!E0", "missing name, line was: !!mustsub"},
        {"!s", "!v", "! ! mustsub", "missing name, line was: ! ! mustsub"},
    };
    for (const auto& c : cases) {
        TSubRecord r;
        std::string msg;
        EXPECT_FALSE(ParseSubTriple(c.L1, c.L2, c.L3, r, msg));
        EXPECT_EQ(msg, c.Msg);
    }
}

TEST(ReadSTIFile, SplitsIntoPartsAndRecords) {
    TTempDir dir;
    std::string path = dir.Write(
        "initial.sti", "model.ksx\r\n\r\n  keep \t tabs\xE9\r\n  junk !PelvarnBegin! more\r\n"
                       "  S \r\n\t\r\n   \r\n x_1 ! first\r\neq_1\r\n!b\r\n!x2\r\n!eq2\r\n"
                       "s !pelvarnbegin\r\nx3\r\ne3\r\n"
                       "text !PELVARNEND! trailing\r\n  after\r\n\r\nlast");
    auto r = Read(path);
    ASSERT_TRUE(r.Ok) << r.Msg;
    EXPECT_EQ(r.Count, 3);
    ASSERT_EQ(FirstCount, 4);
    EXPECT_EQ(FirstPart[2], "");
    EXPECT_EQ(FirstPart[3], "  keep   tabs\xE9");
    EXPECT_EQ(FirstPart[4], "  junk !PelvarnBegin! more");
    ASSERT_EQ(LastCount, 4);
    EXPECT_EQ(LastPart[1], "!pelvarnend");
    EXPECT_EQ(LastPart[2], "  after");
    EXPECT_EQ(LastPart[3], "");
    EXPECT_EQ(LastPart[4], "last");
    const TSubInfo& s = *r.Subs;
    EXPECT_EQ(s[1].VarName, "x_1");
    EXPECT_EQ(s[1].VarComment, "! first");
    EXPECT_EQ(s[1].SubStat, sub);
    EXPECT_EQ(s[2].VarName, "x2");
    EXPECT_EQ(s[2].SubStat, notsub);
    EXPECT_TRUE(s[2].MustSee);
    // A second opening marker inside the section is ordinary text (here a comment).
    EXPECT_EQ(s[3].VarName, "x3");
    EXPECT_EQ(s[3].CodeComment, "!pelvarnbegin");
}

TEST(ReadSTIFile, EveryRecordOfTheLastReadIsReset) {
    // Each field alone makes a record not blank; the reader must reset every such record.
    const std::vector<void (*)(TSubRecord&)> marks = {
        [](TSubRecord& r) { r.VarName = "v"; },     [](TSubRecord& r) { r.EqName = "e"; },
        [](TSubRecord& r) { r.CodeComment = "!"; }, [](TSubRecord& r) { r.VarComment = "!"; },
        [](TSubRecord& r) { r.EqComment = "!"; },   [](TSubRecord& r) { r.MustSee = true; },
        [](TSubRecord& r) { r.MustSub = true; },    [](TSubRecord& r) { r.SubStat = notsub; },
    };
    TTempDir dir;
    const std::string path = dir.Write("one.sti", "!pelvarnbegin\r\n" + Section + "!pelvarnend\r\n");
    auto subs = std::make_unique<TSubInfo>();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        TSubRecord r;
        marks[i](r);
        EXPECT_FALSE(r.IsBlank()) << i;
        (*subs)[2 + i] = r;
    }
    (*subs)[MaxSubs] = (*subs)[2];
    std::int32_t n = 0;
    std::string msg;
    ASSERT_TRUE(ReadSTIFile(path, *subs, n, msg)) << msg;
    ASSERT_EQ(n, 1);
    EXPECT_EQ((*subs)[1].VarName, "x1");
    for (std::size_t k = 0; k < subs->size(); ++k)
        if (k != 1) {
            EXPECT_EQ((*subs)[k], TSubRecord{}) << k;
        }
}

TEST(ReadSTIFile, LineEndsOfEveryKindAndCtrlZ) {
    TTempDir dir;
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        std::string body =
            Lines({"first", "!pelvarnbegin", "s", "v", "e", "!pelvarnend", "tail"}, eol);
        auto r = Read(dir.Write("a.sti", body + "\x1A" + "garbage\r\nmore"));
        ASSERT_TRUE(r.Ok) << r.Msg;
        EXPECT_EQ(r.Count, 1);
        EXPECT_EQ(LastCount, 2);
        EXPECT_EQ(LastPart[2], "tail");
    }
}

TEST(ReadSTIFile, EmptySectionAndNulBytes) {
    TTempDir dir;
    auto r =
        Read(dir.Write("a.sti", std::string("a\0b\r\n!pelvarnbegin\r\n\r\n!pelvarnend\r\n", 35)));
    ASSERT_TRUE(r.Ok) << r.Msg;
    EXPECT_EQ(r.Count, 0);
    EXPECT_EQ(FirstPart[1], "a b");
}

TEST(ReadSTIFile, LineLimitsAtTheirEdges) {
    TTempDir dir;
    struct TCase {
        std::string Body;
        bool Ok;
        std::string Msg; // with PATH for the file's path
    };
    std::string triple = "s\r\nv\r\ne\r\n";
    std::string manyTriples;
    for (int i = 1; i <= 500; ++i)
        manyTriples += "s\r\nv" + std::to_string(i) + "\r\ne\r\n";
    TCase cases[] = {
        {Repeat("x", 799) + "!pelvarnbegin\r\n!pelvarnend\r\n", true, ""},
        {Repeat("x", 800) + "!pelvarnbegin\r\n!pelvarnend\r\n", false,
         "Could not find \"!pelvarnbegin\" line in first 800 lines of STI file:\r\nPATH"},
        {"x\r\n", false, "Could not find \"!pelvarnbegin\" line in STI file:\r\nPATH"},
        {"!pelvarnbegin\r\ns\r\n", false,
         "Could not find \"!pelvarnend\" line in STI file:\r\nPATH"},
        {"!pelvarnbegin\r\n" + Repeat("s", 1998) + "v\r\nw\r\n!pelvarnend\r\n", false, "*"},
        {"!pelvarnbegin\r\n" + Repeat("s", 2001) + "!pelvarnend\r\n", false,
         "Too many lines in middle part of STI file:\r\nPATH\r\n Max is 2000"},
        {"!pelvarnbegin\r\n!pelvarnend\r\n" + Repeat("", 799), true, ""},
        {"!pelvarnbegin\r\n!pelvarnend\r\n" + Repeat("", 800), false,
         "Too many lines in last part of STI file:\r\nPATH\r\n Max is 800"},
        {"!pelvarnbegin\r\ns\r\nv\r\n!pelvarnend\r\n", false,
         "Number of lines in middle part of STI file PATH was not a multiple of 3"},
        {"!pelvarnbegin\r\n" + manyTriples + "!pelvarnend\r\n", true, ""},
        {"!pelvarnbegin\r\n" + manyTriples + "s\r\nv501\r\ne\r\n!pelvarnend\r\n", false,
         "Too many substitutions in middle part of STI file:\r\nPATH\r\n Found 501, max is 500"},
    };
    for (auto& c : cases) {
        std::string path = dir.Write("lim.sti", c.Body);
        auto r = Read(path);
        EXPECT_EQ(r.Ok, c.Ok) << r.Msg;
        if (c.Msg == "*") {
            continue;
        } // 2000 lines pass the limit; later checks decide
        std::string want = c.Msg;
        if (auto p = want.find("PATH"); p != std::string::npos) want.replace(p, 4, path);
        EXPECT_EQ(r.Msg, want);
    }
}

TEST(ReadSTIFile, TripleRefusalsAndDuplicates) {
    TTempDir dir;
    struct TCase {
        std::string Section, Msg;
    } cases[] = {
        {"s\r\nv\r\ne\r\nQ\r\nw\r\nf\r\n", "expected S or B code, line was: Q"},
        {"!s\r\nv\r\ne\r\n", "uneven commenting, line was: v"},
        {"b\r\nv\r\ne\r\n!b ! MUSTSUB\r\n!w\r\n!f\r\n",
         "Bad substitution for w: MustSee and SubStat=Sub\r\nfor variable w"},
        {"s\r\nPrice\r\ne\r\ns\r\nq\r\nf\r\nb\r\nPRICE\r\ng\r\n",
         "Variable Price appears twice in STI file"},
    };
    for (auto& c : cases) {
        auto r = Read(dir.Write("t.sti", "!pelvarnbegin\r\n" + c.Section + "!pelvarnend\r\n"));
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Msg, c.Msg);
    }
}

TEST(ReadSTIFile, MissingFileIsRaised) {
    TTempDir dir;
    auto subs = std::make_unique<TSubInfo>();
    std::int32_t n = 0;
    std::string msg;
    EXPECT_THROW(ReadSTIFile(dir.File("none.sti"), *subs, n, msg), TFileError);
}

TEST(WriteSTIFile, RoundTripInAnotherOrder) {
    TTempDir dir;
    std::string original = "model.ksx\r\ny\r\n!pelvarnbegin\r\n"
                           "s ! code\r\nalpha\r\neq_a\r\n"
                           "b\r\nbeta ! MustSub\r\neq_b\r\n"
                           "B\r\ngamma\r\neq_g ! note\r\n"
                           "!s\r\n!delta\r\n!eq_d\r\n"
                           "!pelvarnend trailing\r\nq\r\n";
    auto first = Read(dir.Write("initial.sti", original));
    ASSERT_TRUE(first.Ok) << first.Msg;
    ASSERT_EQ(first.Count, 4);
    TSubOrder order;
    ResetOrder(order);
    order[1] = 3;
    order[2] = 1;
    order[3] = 4;
    order[4] = 2;
    std::string job = dir.File("Job7");
    WriteSTIFile(job, *first.Subs, first.Count, order);
    EXPECT_EQ(ReadBytes(job),
              "model.ksx\r\ny\r\n!pelvarnbegin\r\n"
              "b                   \r\ngamma               \r\neq_g                ! note\r\n"
              "s                   ! code\r\nalpha               \r\neq_a                \r\n"
              "!s                  \r\n!delta               \r\n!eq_d                \r\n"
              "b                   \r\nbeta                ! MustSub\r\n"
              "eq_b                \r\n"
              "!pelvarnend\r\nq\r\n");
    EXPECT_EQ(ReadBytes(job + ".cnd"), "Backsolve gamma using eq_g;\r\n"
                                       "Substitute alpha using eq_a;\r\n"
                                       "!Substitute delta using eq_d;!\r\n"
                                       "Backsolve beta using eq_b; !mustsub!\r\n");
    auto second = Read(job);
    ASSERT_TRUE(second.Ok) << second.Msg;
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ((*second.Subs)[i], (*first.Subs)[order[i]]) << i;
}

TEST(WriteSTIFile, BytesAbove127AroundTheSectionAreWrittenBackAsRead) {
    TTempDir dir;
    // The model file name and a comment in an 8-bit code page; control characters and DEL
    // still become blanks, and the section itself is still read as plain ASCII.
    auto r = Read(dir.Write("initial.sti", "mod\xE8le.ksx\r\n\xA7 r\xE9sum\xE9\x7F\x01\r\n"
                                           "!pelvarnbegin\r\ns\r\nx\xE9\r\neq\r\n"
                                           "!pelvarnend\r\nfin \xFF\tok\r\n"));
    ASSERT_TRUE(r.Ok) << r.Msg;
    EXPECT_EQ((*r.Subs)[1].VarName, "x");
    TSubOrder order;
    ResetOrder(order);
    WriteSTIFile(dir.File("Job0"), *r.Subs, r.Count, order);
    EXPECT_EQ(ReadBytes(dir.File("Job0")), "mod\xE8le.ksx\r\n\xA7 r\xE9sum\xE9  \r\n"
                                           "!pelvarnbegin\r\n"
                                           "s                   \r\nx                   \r\n"
                                           "eq                  \r\n"
                                           "!pelvarnend\r\nfin \xFF ok\r\n");
}

// Inputs on which a job file written from what was read did not read back the same.
TEST(WriteSTIFile, JobFilesReadBackAsRead) {
    const struct {
        const char* what;
        std::string section;
    } cases[] = {
        {"a commented name that starts with the end marker's word",
         "!s\r\n!  pelvarnend\r\n!E1\r\n"},
        {"the same in capitals, in the equation", "!b\r\n!x2\r\n! PELVARNENDx\r\n"},
        {"a comment cut at its longest where it holds blanks",
         "s ! " + std::string(251, 'c') + "          x\r\nv\r\ne\r\n"},
    };
    for (const auto& c : cases) {
        TTempDir dir;
        auto first = Read(dir.Write("initial.sti", "m\r\n!pelvarnbegin\r\n" + c.section +
                                                       "!pelvarnend\r\nlast\r\n"));
        ASSERT_TRUE(first.Ok) << c.what << ": " << first.Msg;
        TSubOrder order;
        ResetOrder(order);
        WriteSTIFile(dir.File("Job1"), *first.Subs, first.Count, order);
        auto second = Read(dir.File("Job1"));
        ASSERT_TRUE(second.Ok) << c.what << ": " << second.Msg;
        ASSERT_EQ(second.Count, first.Count) << c.what;
        for (int i = 1; i <= first.Count; ++i)
            EXPECT_EQ((*second.Subs)[i], (*first.Subs)[i]) << c.what;
    }
}

TEST(WriteSTIFile, CompanionNameAndEmptySection) {
    TTempDir dir;
    auto r = Read(dir.Write("initial.sti", "!pelvarnbegin\r\n!pelvarnend\r\n"));
    ASSERT_TRUE(r.Ok);
    TSubOrder order;
    ResetOrder(order);
    WriteSTIFile(dir.File("optimal.sti"), *r.Subs, 0, order);
    EXPECT_EQ(ReadBytes(dir.File("optimal.sti")), "!pelvarnbegin\r\n!pelvarnend\r\n");
    EXPECT_TRUE(FileExists(dir.File("optimal.cnd")));
    EXPECT_EQ(ReadBytes(dir.File("optimal.cnd")), "");
    EXPECT_FALSE(FileExists(dir.File("optimal.sti.cnd")));
}

TEST(WriteSTIFile, FailedWriteLeavesTheEarlierFileAndRaises) {
    TTempDir dir;
    auto r = Read(dir.Write("initial.sti", "!pelvarnbegin\r\n" + Section + "!pelvarnend\r\n"));
    ASSERT_TRUE(r.Ok);
    TSubOrder order;
    ResetOrder(order);
    EXPECT_THROW(WriteSTIFile(dir.File("no-such-folder") + "/x.sti", *r.Subs, 1, order),
                 TFileError);
    std::string before = ReadBytes(dir.File("initial.sti"));
    // The target name is taken by a folder: the rename fails, the folder is untouched.
    std::filesystem::create_directory(dir.File("optimal.sti"));
    EXPECT_THROW(WriteSTIFile(dir.File("optimal.sti"), *r.Subs, 1, order), TFileError);
    EXPECT_FALSE(FileExists(dir.File("optimal.sti.~tmp")));
    EXPECT_EQ(ReadBytes(dir.File("initial.sti")), before);
}

TEST(GetCPUTime, AcceptedAndRefusedLogs) {
    TTempDir dir;
    struct TCase {
        std::string Log;
        bool Ok;
        float Seconds;
        std::string Msg; // PATH stands for the log's path
    } cases[] = {
        {"start\r\n  Total CPU is 12.5 seconds\r\n", true, 12.5f, ""},
        {"Total CPU is    1.25E2   seconds.\n", true, 125.0f, ""},
        {"xTotal CPU is:3e-1seconds\r", true, 0.3f, ""},
        {"Total CPU is 7 seconds\r\nTotal CPU is 9 seconds\r\n", true, 7.0f, ""},
        {"total cpu is 5 seconds\r\n", false, 0, "Cannot find \"Total CPU is\" in file PATH"},
        {"", false, 0, "Cannot find \"Total CPU is\" in file PATH"},
        {"Total CPU is 5 secs\r\n", false, 0,
         "Cannot find \"seconds\" in \"Total CPU is\" line in file PATH"},
        {"Total CPU is 12,5 seconds\r\n", false, 0,
         "Cannot read time from \"Total CPU is\" line in file PATH\r\nstring was :12,5"},
        {"Total CPU is seconds\r\n", false, 0,
         "Cannot read time from \"Total CPU is\" line in file PATH\r\nstring was :"},
        {"Total CPU is -5 seconds\r\n", false, 0,
         "Time below zero in \"Total CPU is\" line in file PATH\r\nstring was :-5"},
        {"Total CPU is -0.001 seconds\r\n", false, 0,
         "Time below zero in \"Total CPU is\" line in file PATH\r\nstring was :-0.001"},
        {"Total CPU is 1e39 seconds\r\n", false, 0,
         "Cannot read time from \"Total CPU is\" line in file PATH\r\nstring was :1e39"},
        {"Total CPU is -0.0 seconds\r\n", true, 0.0f, ""},
        {"Total CPU is 0 seconds\r\n", true, 0.0f, ""},
    };
    for (auto& c : cases) {
        std::string path = dir.Write("run.log", c.Log);
        float s = -1;
        std::string msg;
        EXPECT_EQ(GetCPUTime(path, s, msg), c.Ok) << c.Log;
        std::string want = c.Msg;
        if (auto p = want.find("PATH"); p != std::string::npos) want.replace(p, 4, path);
        EXPECT_EQ(msg, want);
        if (c.Ok) {
            EXPECT_FLOAT_EQ(s, c.Seconds);
        }
    }
}

TEST(GetCPUTime, MissingAndUnnamedLogs) {
    TTempDir dir;
    float s = 0;
    std::string msg;
    EXPECT_FALSE(GetCPUTime("", s, msg));
    EXPECT_EQ(msg, "Blank File Name[TxtOpen]");
    std::string missing = dir.File("run.log");
    EXPECT_FALSE(GetCPUTime(missing, s, msg));
    EXPECT_EQ(msg, "Cannot open file " + missing + "[TxtOpen]");
}

TEST(TxtFile, LongLinesAcrossTheBufferAndCrLfSplitAtItsEdge) {
    TTempDir dir;
    std::string longLine(TTextFile::BufferSize - 1, 'a');
    std::string path = dir.Write("long.txt", longLine + "\r\nb\r\n" + std::string(200000, 'c'));
    TTextFile f;
    std::string msg, line;
    ASSERT_TRUE(TxtOpen(f, path, msg));
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, longLine);
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, "b") << "the LF after a CR at the buffer's end belongs to the same line end";
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line.size(), 200000u);
    EXPECT_FALSE(f.ReadLine(line));
    EXPECT_TRUE(TxtClose(f, msg));
    EXPECT_FALSE(f.HasBuffer());
    EXPECT_TRUE(TxtClose(f, msg)) << "closing a closed file is harmless";
}

TEST(TxtFile, FailedOpenHoldsNoBuffer) {
    TTempDir dir;
    TTextFile f;
    std::string msg;
    EXPECT_FALSE(TxtOpen(f, dir.File("gone.txt"), msg));
    EXPECT_EQ(msg, "Cannot open file " + dir.File("gone.txt") + "[TxtOpen]");
    EXPECT_FALSE(f.HasBuffer());
}

TEST(TxtFile, LineCleaners) {
    EXPECT_EQ(CollapseBlanks("a   b"), "a b");
    EXPECT_EQ(CollapseBlanks("  a\t\tb "), " a\t\tb ");
    EXPECT_EQ(BlankNonPrintables("a\tb\xE9~\x7F"), "a b ~ ");
}
