#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/prng.h"
#include "base/textutil.h"
#include "sim/condense.h"
#include "sim/kestojob.h"
#include "sim/ksxmodel.h"
#include "sim/modelgen.h"
#include "sti/cputime.h"
#include "sti/stiUtils.h"
#include "support/tempdir.h"

using namespace pelvarn;
using namespace pelvarn::sim;
using pelvarn::test::TTempDir;

namespace {

// A system small enough to work the fill-in out by hand:
//   E1 (2 rows) {x,y,z}   E2 (2 rows) {y,w}   E3 (2 rows) {w,x,z}   E4 (3 rows) {z,x}
const char* const Tiny = "Set A size 2; Set B (b1, b2, b3);\n"
                         "Variable (all,a,A) x(a); Variable (all,a,A) y(a);\n"
                         "Variable (all,b,B) z(b); Variable (all,a,A) W(a);\n"
                         "Equation E1 (all,a,A) x(a) = y(a) + sum(b,B, z(b));\n"
                         "Equation E2 (all,a,A) y(a) = 2*w(a);  ! names are case-insensitive !\n"
                         "Equation E3 (all,a,A) w(a) = x(a) + sum(b,B, z(b));\n"
                         "Equation E4 (all,b,B) z(b) = sum(a,A, X(a));\n";

TKsxModel TinyModel() {
    TKsxModel m;
    std::string msg;
    EXPECT_TRUE(ParseKsxModel(Tiny, m, msg)) << msg;
    return m;
}

TCondenseAction Sub(const char* v, const char* e) {
    return {false, v, e, 0};
}
TCondenseAction Back(const char* v, const char* e) {
    return {true, v, e, 0};
}

// Weights that price elimination work alone, one second per unit.
TCostWeights WorkOnly() {
    TCostWeights w;
    w.SecondsPerEliminationUnit = 1;
    w.SecondsPerSolveUnit = w.SecondsPerRow = w.SecondsPerBacksolveUnit = w.BaseSeconds = 0;
    return w;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string l = text.substr(start, end - start);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
        start = end + 1;
    }
    return lines;
}

} // namespace

TEST(KsxModel, ReadsSizesMembershipCommentsAndStatements) {
    const char* text =
        "![[! a bracketed comment with ! inside\n and ; too !]]!\n"
        "Set COM # goods; with a semicolon # size 4;\n"
        "Set SRC (dom, imp);\n"
        "Coefficient (all,c,COM) SHR(c);\n"
        "Variable (all,c,COM)(all,s,SRC) p(c,s);\n"
        "Variable (levels) q;\n"
        "Equation E_p (all,c,COM)(all,s,SRC)\n   p(c,s) = SHR(c)*Q + p(c,s); ! q once !\n"
        "Substitute p using E_p;\n!Backsolve q using E_p;!\n"
        "BACKSOLVE q using e_p;\n";
    TKsxModel m;
    std::string msg;
    ASSERT_TRUE(ParseKsxModel(text, m, msg)) << msg;
    ASSERT_EQ(m.Sets.size(), 2u);
    EXPECT_EQ(m.Sets[0].Size, 4);
    EXPECT_EQ(m.Sets[1].Size, 2);
    ASSERT_EQ(m.Vars.size(), 2u); // the coefficient is no variable
    EXPECT_EQ(m.Vars[0].Size, 8);
    EXPECT_EQ(m.Vars[1].Size, 1);
    ASSERT_EQ(m.Eqs.size(), 1u);
    EXPECT_EQ(m.Eqs[0].Size, 8);
    EXPECT_EQ(m.Eqs[0].Vars, (std::vector<int>{0, 1}));
    ASSERT_EQ(m.Statements.size(), 2u); // the commented one is a comment
    EXPECT_FALSE(m.Statements[0].Backsolve);
    EXPECT_TRUE(m.Statements[1].Backsolve);
    EXPECT_EQ(m.Statements[1].Line, 12);
}

TEST(KsxModel, RefusesWithTheLine) {
    struct TCase {
        const char* Text;
        const char* Msg;
    } cases[] = {
        {"Set A size 2;\nVariable (all,a,B) x(a);", "Model file, line 2: unknown set B"},
        {"Set A size 2;\nSet a size 3;", "Model file, line 2: a is already declared on line 1"},
        {"Set A size 0;", "Model file, line 1: the size of set A must be 1 to 1000000"},
        {"Set A size 2;\n! open comment;\n", "The comment opened by \"!\" on line 2 is not closed"},
        {"![[! x ![[! y !]]!\n", "The comment opened by \"![[!\" on line 1 is not closed"},
        {"Set A size 2", "The statement that starts on line 1 does not end with \";\""},
        {"Frobnicate x;", "Model file, line 1: unknown statement \"Frobnicate\""},
        {"Variable x;\nEquation E x = 1;\nSubstitute y using E;",
         "Model file, line 3: Substitute names the unknown variable y"},
        {"Variable x;\nBacksolve x using F;",
         "Model file, line 2: Backsolve names the unknown equation F"},
        {"Variable x;\nSubstitute x E;", "Model file, line 2: expected \"using\""},
    };
    for (const auto& c : cases) {
        TKsxModel m;
        std::string msg;
        EXPECT_FALSE(ParseKsxModel(c.Text, m, msg)) << c.Text;
        EXPECT_EQ(msg, c.Msg) << c.Text;
    }
}

TEST(Condense, FillInByHand) {
    TKsxModel m = TinyModel();
    TCondenseResult r;
    std::string msg;
    ASSERT_TRUE(Condense(m, {Sub("x", "E1"), Sub("y", "E2")}, r, msg, WorkOnly())) << msg;
    ASSERT_EQ(r.Steps.size(), 2u);
    // x out of E3 {w,x,z} and E4 {z,x}: each gains y.
    EXPECT_EQ(r.Steps[0].EquationsRewritten, 2);
    EXPECT_EQ(r.Steps[0].TermsAdded, 2);
    EXPECT_DOUBLE_EQ(r.Steps[0].Work, 2 * 3 + 3 * 3 + 2 * 3);
    // y out of E3 {w,z,y} (w already there) and E4 {z,y}, which gains w.
    EXPECT_EQ(r.Steps[1].EquationsRewritten, 2);
    EXPECT_EQ(r.Steps[1].TermsAdded, 1);
    EXPECT_DOUBLE_EQ(r.Steps[1].Work, 2 * 2 + 3 * 2 + 2 * 2);
    // Left: E3 (2 rows) {w(2), z(3)} and E4 (3 rows) {z(3), w(2)}.
    EXPECT_EQ(r.EquationsLeft, 2);
    EXPECT_DOUBLE_EQ(r.Rows, 5);
    EXPECT_DOUBLE_EQ(r.Nonzeros, (2 + 3) + (3 + 3));
    EXPECT_DOUBLE_EQ(r.SolveWork, 5 * 5 / 2.0 + 6 * 6 / 3.0);
    EXPECT_DOUBLE_EQ(r.Seconds, 35);
}

TEST(Condense, OrderChangesTheWorkNotTheFinalSystem) {
    TKsxModel m = TinyModel();
    TCondenseResult a, b;
    std::string msg;
    ASSERT_TRUE(Condense(m, {Sub("x", "E1"), Sub("y", "E2")}, a, msg, WorkOnly()));
    ASSERT_TRUE(Condense(m, {Sub("y", "E2"), Sub("x", "E1")}, b, msg, WorkOnly()));
    // y first: E1 gains w (work 2*2 + 2*2), then x from E1 {x,z,w}: E4 gains w.
    EXPECT_EQ(b.Steps[0].TermsAdded, 1);
    EXPECT_DOUBLE_EQ(b.EliminationWork, 8 + 21);
    EXPECT_LT(b.Seconds, a.Seconds);
    EXPECT_DOUBLE_EQ(a.Rows, b.Rows);
    EXPECT_DOUBLE_EQ(a.Nonzeros, b.Nonzeros);
    EXPECT_DOUBLE_EQ(a.SolveWork, b.SolveWork);
}

TEST(Condense, BacksolvingCostsALittleMore) {
    TKsxModel m = TinyModel();
    TCondenseResult s, b;
    std::string msg;
    TCostWeights w; // the real weights
    ASSERT_TRUE(Condense(m, {Sub("x", "E1")}, s, msg, w));
    ASSERT_TRUE(Condense(m, {Back("x", "E1")}, b, msg, w));
    EXPECT_DOUBLE_EQ(b.EliminationWork, s.EliminationWork * w.BacksolveFactor);
    EXPECT_DOUBLE_EQ(b.BacksolveWork, 2 * 3);
    EXPECT_GT(b.Seconds, s.Seconds);
    EXPECT_LT(b.Seconds, s.Seconds * 1.5);
}

TEST(Condense, RefusesWhatATranslatorRefuses) {
    TKsxModel m = TinyModel();
    struct TCase {
        std::vector<TCondenseAction> Actions;
        const char* Msg;
    } cases[] = {
        {{Sub("v", "E1")},
         "Cannot substitute v in condensation action 1: there is no variable v in the model"},
        {{Back("x", "E9")},
         "Cannot backsolve x in condensation action 1: there is no equation E9 in the model"},
        {{Sub("y", "E3")},
         "Cannot substitute y in condensation action 1: equation E3 does not contain y"},
        {{Sub("x", "E1"), Sub("X", "E3")},
         "Cannot substitute X in condensation action 2: it has already been eliminated by "
         "condensation action 1"},
        {{Sub("x", "E1"), Sub("y", "e1")},
         "Cannot substitute y in condensation action 2: equation e1 has already been used to "
         "eliminate a variable"},
        {{Sub("x", "E1"), Sub("y", "E3"), Sub("W", "E1")},
         "Cannot substitute W in condensation action 3: equation E1 has already been used to "
         "eliminate a variable"},
        {{{false, "z", "E2", 14}},
         "Cannot substitute z in condensation action 1 (line 14 of the stored input): equation E2 "
         "does not contain z"},
    };
    for (const auto& c : cases) {
        TCondenseResult r;
        std::string msg;
        EXPECT_FALSE(Condense(m, c.Actions, r, msg));
        EXPECT_EQ(msg, c.Msg);
    }
    // E3 lacks y until x is substituted with E1, which brings y into it.
    TCondenseResult r;
    std::string msg;
    EXPECT_TRUE(Condense(m, {Sub("x", "E1"), Sub("y", "E3")}, r, msg)) << msg;
}

TEST(StoredInput, ReadsAnswersAsATranslatorWould) {
    auto lines = Lines("! stored input\r\n\r\nmodel             ! the model\r\n!pelvarnbegin!\r\n"
                       "s                   ! mustsub\r\nx                   \r\nE1\r\n"
                       "!b\r\n!y\r\n!E2\r\n"
                       "B\r\nW ! note\r\nE3\r\n!pelvarnend\r\ne\r\nanything after e\r\n");
    TStoredInput in;
    std::string msg;
    ASSERT_TRUE(ParseStoredInput(lines, in, msg)) << msg;
    EXPECT_EQ(in.ModelFile, "model");
    EXPECT_EQ(in.ModelLine, 3);
    ASSERT_EQ(in.Actions.size(), 2u);
    EXPECT_FALSE(in.Actions[0].Backsolve);
    EXPECT_EQ(in.Actions[0].VarName, "x");
    EXPECT_EQ(in.Actions[0].Line, 5);
    EXPECT_TRUE(in.Actions[1].Backsolve);
    EXPECT_EQ(in.Actions[1].VarName, "W");
    EXPECT_EQ(in.Actions[1].EqName, "E3");

    struct TCase {
        const char* Text;
        const char* Msg;
    } bad[] = {
        {"! only comments\n", "The stored input names no model file"},
        {"m\ns\nx\nE1\nq\n",
         "Line 5 of the stored input: expected a condensation action (s or b) or e, found \"q\""},
        {"m\ns\nx\n",
         "Line 2 of the stored input: the condensation action lacks its variable or equation"},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(ParseStoredInput(Lines(c.Text), in, msg));
        EXPECT_EQ(msg, c.Msg);
    }
    std::string report;
    EXPECT_TRUE(IsReportRequest(Lines(" rpt \nC:\\tmp\\kesto.rpt\n  \n"), report));
    EXPECT_EQ(report, "C:\\tmp\\kesto.rpt");
    EXPECT_FALSE(IsReportRequest(Lines("RPTX\nfile\n"), report));
}

TEST(KestoJob, LogCarriesATimeThatTheSearchCanRead) {
    TTempDir dir;
    dir.Write("tiny.ksx", Tiny);
    std::string sti = "tiny\r\n!pelvarnbegin!\r\ns\r\nx\r\nE1\r\n!pelvarnend\r\n";
    std::string stiPath = dir.Write("Job3", sti);
    TJobOutcome out = RunJob(stiPath, Lines(sti), sti, {});
    ASSERT_EQ(out.ExitCode, 0) << out.LogText;
    EXPECT_FALSE(out.SolutionText.empty());
    std::string logPath = dir.Write("run.log", out.LogText);
    float seconds = 0;
    std::string msg;
    ASSERT_TRUE(GetCPUTime(logPath, seconds, msg)) << msg;
    EXPECT_NEAR(seconds, out.Seconds, 1e-4);
    EXPECT_NE(out.LogText.find("Reading model file tiny.ksx"), std::string::npos);

    std::string refused = "tiny\r\ns\r\ny\r\nE3\r\n";
    out = RunJob(dir.Write("Job4", refused), Lines(refused), refused, {});
    EXPECT_NE(out.ExitCode, 0);
    EXPECT_TRUE(out.SolutionText.empty());
    EXPECT_NE(out.LogText.find("equation E3 does not contain y"), std::string::npos);
    EXPECT_EQ(out.LogText.find("Total CPU is"), std::string::npos);

    std::string noModel = "absent\r\n";
    out = RunJob(dir.Write("Job5", noModel), Lines(noModel), noModel, {});
    EXPECT_NE(out.ExitCode, 0);
    EXPECT_NE(out.LogText.find("Cannot open model file"), std::string::npos);
}

TEST(KestoJob, NoiseIsSeededByNameAndContents) {
    EXPECT_EQ(NoiseFactor("Job1", "abc", 0), 1.0);
    double f = NoiseFactor("Job1", "abc", 0.2);
    EXPECT_EQ(f, NoiseFactor("Job1", "abc", 0.2));
    EXPECT_NE(f, NoiseFactor("Job2", "abc", 0.2));
    EXPECT_NE(f, NoiseFactor("Job1", "abd", 0.2));
    for (int k = 0; k < 50; ++k) {
        double g = NoiseFactor("Job" + std::to_string(k), "x", 0.2);
        EXPECT_GE(g, 0.8);
        EXPECT_LE(g, 1.2);
    }
    EXPECT_GE(NoiseFactor("Job1", "abc", 5.0), 0.05);
    // A tail slows about its share of runs by 10 % to 200 %, and leaves the others as they were.
    int slowed = 0;
    for (int k = 0; k < 1000; ++k) {
        const std::string name = "Job" + std::to_string(k);
        const double g = NoiseFactor(name, "x", 0.02, 0.1) / NoiseFactor(name, "x", 0.02);
        if (g != 1.0) {
            ++slowed;
            EXPECT_GE(g, 1.1 - 1e-9);
            EXPECT_LE(g, 3.0 + 1e-9);
        }
    }
    EXPECT_NEAR(slowed, 100, 30);
}

TEST(ModelGen, DeterministicReadableAndNeverRefusedWhateverTheOrder) {
    TGeneratedModel a = GenerateModel(30, 7);
    EXPECT_EQ(a.ModelText, GenerateModel(30, 7).ModelText);
    EXPECT_EQ(a.StiText, GenerateModel(30, 7).StiText);
    EXPECT_NE(a.ModelText, GenerateModel(30, 8).ModelText);

    TTempDir dir;
    std::string stiPath = dir.Write("initial.sti", a.StiText);
    auto subs = std::make_unique<TSubInfo>();
    std::int32_t n = 0;
    std::string msg;
    ASSERT_TRUE(ReadSTIFile(stiPath, *subs, n, msg)) << msg;
    EXPECT_EQ(n, 30);

    TKsxModel model;
    ASSERT_TRUE(ParseKsxModel(a.ModelText, model, msg)) << msg;
    TRandom random(3);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<TCondenseAction> actions;
        for (int k = 1; k <= n; ++k)
            if (random.Below(3) > 0)
                actions.push_back({random.Below(2) == 1, (*subs)[k].VarName, (*subs)[k].EqName, 0});
        for (int k = static_cast<int>(actions.size()) - 1; k > 0; --k)
            std::swap(actions[k], actions[random.Below(k + 1)]);
        TCondenseResult r;
        EXPECT_TRUE(Condense(model, actions, r, msg)) << msg;
    }
}

// The memory law: nothing changes within the budget or without one; beyond it the solve
// slows steeply, and a job whose condensation needs more than the budget says so in its log.
TEST(Condense, ASolveThatOutgrowsItsMemoryPages) {
    struct TCase {
        double Memory, Budget;
        double AtLeast, AtMost;
    };
    const TCase cases[] = {
        {10, 0, 1, 1},  {10, 10, 1, 1},   {9, 10, 1, 1},
        {11, 10, 4, 6}, {20, 10, 10, 50}, {1e9, 10, 40, 50},
    };
    for (const TCase& c : cases) {
        const double f = PagingFactor(c.Memory, c.Budget, TCostWeights{}.PagingSlowdown);
        EXPECT_GE(f, c.AtLeast) << c.Memory << " of " << c.Budget;
        EXPECT_LE(f, c.AtMost) << c.Memory << " of " << c.Budget;
    }

    const TGeneratedModel gen = GenerateModel(50, 1);
    const double need = CondensationMemory(gen.ModelText, gen.StiText);
    ASSERT_GT(need, 0);
    TStoredInput input;
    TKsxModel model;
    std::string msg;
    ASSERT_TRUE(ParseStoredInput(Lines(gen.StiText), input, msg)) << msg;
    ASSERT_TRUE(ParseKsxModel(gen.ModelText, model, msg)) << msg;
    auto job = [&](double budget) {
        TJobSettings settings;
        settings.MemoryBudget = budget;
        return RunJobOnModel("initial.sti", input, "gen.ksx", model, gen.StiText, settings);
    };
    const TJobOutcome free = job(0), fits = job(need * 1.3), pages = job(need / 2);
    EXPECT_EQ(fits.Seconds, free.Seconds);
    EXPECT_GE(pages.Seconds, 3 * free.Seconds);
    EXPECT_EQ(free.LogText.find("pages"), std::string::npos);
    EXPECT_NE(pages.LogText.find("the solve pages"), std::string::npos) << pages.LogText;
}

// With hubs and a budget of 1.3 times what the initial condensation needs, a tenth or more of
// the single toggles of that condensation page and take 3 times its time, and most do not.
TEST(ModelGen, HubsMakeAHeavyTailOfSingleToggles) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        const TGeneratedModel gen = GenerateModel(50, seed, true);
        TKsxModel model;
        std::string msg;
        ASSERT_TRUE(ParseKsxModel(gen.ModelText, model, msg)) << msg;
        TJobSettings settings;
        settings.MemoryBudget = 1.3 * CondensationMemory(gen.ModelText, gen.StiText);
        auto seconds = [&](const std::vector<std::string>& lines) {
            TStoredInput input;
            EXPECT_TRUE(ParseStoredInput(lines, input, msg)) << msg;
            return RunJobOnModel("t.sti", input, "gen.ksx", model, "", settings).Seconds;
        };
        const std::vector<std::string> lines = Lines(gen.StiText);
        const double base = seconds(lines);
        std::size_t first = 0;
        while (first < lines.size() && lines[first] != "!pelvarnbegin!")
            ++first;
        int records = 0, heavy = 0;
        for (std::size_t k = first + 1; k + 2 < lines.size() && lines[k] != "!pelvarnend"; k += 3) {
            if (lines[k].find("mustsub") != std::string::npos) continue;
            std::vector<std::string> toggled = lines;
            for (std::size_t j = k; j < k + 3; ++j)
                toggled[j] = lines[j][0] == '!' ? lines[j].substr(1) : "!" + lines[j];
            ++records;
            if (seconds(toggled) >= 3 * base) ++heavy;
        }
        EXPECT_GE(records, 40) << "seed " << seed;
        EXPECT_GE(heavy * 10, records) << "seed " << seed;
        EXPECT_LE(heavy * 4, records) << "seed " << seed;
    }
}

// A model of blocks starts with nothing condensed; most single toggles of that condensation
// make the job slower or leave it as it was, every whole block condensed alone makes it
// faster, and all of them condensed make it several times as fast.
TEST(ModelGen, BlocksPayOnlyTogether) {
    struct TCase {
        int Candidates;
        std::uint32_t Seed;
        int GroupSize;
    };
    const TCase cases[] = {{100, 1, 4}, {100, 2, 4}, {100, 3, 4}, {60, 1, 3}, {150, 2, 6}};
    for (const TCase& c : cases) {
        SCOPED_TRACE("seed " + std::to_string(c.Seed) + ", " + std::to_string(c.Candidates));
        const TGeneratedModel gen = GenerateGroupedModel(c.Candidates, c.Seed, c.GroupSize);
        EXPECT_EQ(gen.ModelText, GenerateGroupedModel(c.Candidates, c.Seed, c.GroupSize).ModelText);
        TKsxModel model;
        std::string msg;
        ASSERT_TRUE(ParseKsxModel(gen.ModelText, model, msg)) << msg;
        const std::vector<std::string> lines = Lines(gen.StiText);
        std::size_t first = 0;
        while (first < lines.size() && lines[first] != "!pelvarnbegin!")
            ++first;
        std::vector<std::size_t> at; // the first line of each record
        for (std::size_t k = first + 1; k + 2 < lines.size() && lines[k] != "!pelvarnend"; k += 3)
            at.push_back(k);
        ASSERT_EQ(static_cast<int>(at.size()), c.Candidates);
        // seconds(on): the job's time with the records in `on` condensed.
        auto seconds = [&](const std::vector<char>& on) {
            std::vector<std::string> toggled = lines;
            for (std::size_t r = 0; r < at.size(); ++r)
                for (std::size_t j = at[r]; j < at[r] + 3 && on[r]; ++j)
                    toggled[j] = lines[j].substr(1);
            TStoredInput input;
            EXPECT_TRUE(ParseStoredInput(toggled, input, msg)) << msg;
            return RunJobOnModel("t.sti", input, "gen.ksx", model, "", {}).Seconds;
        };
        const double base = seconds(std::vector<char>(at.size(), 0));
        ASSERT_GT(base, 0) << "nothing condensed at the start";

        // A record's block: the records whose variables its equation holds, and theirs.
        std::vector<std::size_t> block(at.size());
        for (std::size_t r = 0; r < at.size(); ++r)
            block[r] = r;
        auto root = [&](std::size_t r) {
            while (block[r] != r)
                r = block[r];
            return r;
        };
        for (std::size_t r = 0; r < at.size(); ++r)
            for (std::size_t q = 0; q < at.size(); ++q) {
                const TModelEq& eq = model.Eqs[model.FindEq(Trim(lines[at[r] + 2].substr(1)))];
                const int v = model.FindVar(Trim(lines[at[q] + 1].substr(1)));
                if (std::find(eq.Vars.begin(), eq.Vars.end(), v) != eq.Vars.end())
                    block[root(r)] = root(q);
            }

        int paying = 0;
        for (std::size_t r = 0; r < at.size(); ++r) {
            std::vector<char> on(at.size(), 0);
            on[r] = 1;
            if (seconds(on) < base) ++paying;
        }
        EXPECT_LT(paying * 2, c.Candidates);
        int blocks = 0;
        for (std::size_t r = 0; r < at.size(); ++r) {
            if (root(r) != r) continue;
            std::vector<char> on(at.size(), 0);
            for (std::size_t q = 0; q < at.size(); ++q)
                on[q] = root(q) == r;
            EXPECT_LT(seconds(on), base) << "the block of " << lines[at[r] + 1];
            ++blocks;
        }
        EXPECT_GE(blocks * (c.GroupSize + 1), c.Candidates);
        EXPECT_LE(blocks * (c.GroupSize - 1), c.Candidates + c.GroupSize);
        EXPECT_GE(base, 3 * seconds(std::vector<char>(at.size(), 1)));
    }
}

TEST(Report, HoldsTheValuesTheProbeReads) {
    std::string r = ReportText("11.0>", "s");
    EXPECT_EQ(r.rfind("[result]\r\n", 0), 0u);
    EXPECT_NE(r.find("\r\nrelease=11.0>\r\n"), std::string::npos);
    EXPECT_NE(r.find("\r\nProgram version=s\r\n"), std::string::npos);
}
