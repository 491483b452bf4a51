#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/prng.h"
#include "search/policy.h"
#include "search/structure.h"
#include "sim/condense.h"
#include "sim/ksxmodel.h"
#include "sim/modelgen.h"
#include "sti/subrecord.h"

namespace pelvarn::test {
namespace {

using namespace pelvarn::search;
using TItems = std::vector<std::pair<std::string, std::string>>;

// Records 1 and 2 do not touch each other; record 3's equation holds record 1's variable.
const char* const SmallModel = R"(
![[! a bracketed comment ![[! nested !]]! with "!" in it !]]!
Set COM # goods; "quoted" # size 3;
Variable (all,c,COM) a(c) # first #, b(c);
VARIABLE (all,c,COM) c_x(c); Variable k1; Variable k2;
Equation E_a (all,c,COM) a(c) = k1 + 2.5*SHR("c1");   ! SHR is no variable !
equation E_b (all,c,COM) B(c) = k2;
Equation E_c (all,c,COM) c_x(c) = sum(d,COM, a(d));
Equation E_k k1 + k2 = sum(c,COM, a(c) + b(c) + c_x(c));
)";
const TItems SmallRecords{{"a", "E_a"}, {"b", "e_b"}, {"c_x", "E_c"}};

TEST(ModelStructure, ReadsDeclarationsAndRefusesWhatItCannotUse) {
    struct TCase {
        std::string Text;
        TItems Records;
        std::string Reason; // empty: read
    };
    const TCase cases[] = {
        {SmallModel, SmallRecords, ""},
        {"Variable x; Equation E_x x = 1; ! never ends", {{"x", "E_x"}}, "comment that does not end"},
        {"Variable x; Equation E_x # x = 1;", {{"x", "E_x"}}, "description that does not end"},
        {"Variable x; Equation E_x x = 1;", {{"y", "E_x"}}, "does not declare variable y"},
        {"Variable x; Equation E_x x = 1;", {{"x", "E_y"}}, "does not declare equation E_y"},
        {"Variable x, y; Equation E_x y = 1;", {{"x", "E_x"}}, "E_x does not hold x"},
        {"Variable x; Equation E_x x = 1; Equation e_X x = 2;", {{"x", "E_x"}}, "e_x twice"},
    };
    for (const TCase& c : cases) {
        TModelStructure s;
        std::string reason;
        EXPECT_EQ(s.Parse(c.Text, c.Records, reason), c.Reason.empty()) << c.Text;
        EXPECT_NE(reason.find(c.Reason), std::string::npos) << reason;
    }
}

// The structure as lines: "equation: its variables" (sorted), "set name: size bound".
std::vector<std::string> Described(const TModelStructure& s) {
    std::vector<std::string> lines;
    for (std::size_t e = 0; e < s.Equations().size(); ++e) {
        std::vector<std::string> names;
        for (std::size_t v : s.VariablesOf(e))
            names.push_back(s.Variables()[v].Name);
        std::sort(names.begin(), names.end());
        std::string line = s.Equations()[e].Name + ":";
        for (const std::string& n : names)
            line += " " + n;
        lines.push_back(line);
    }
    for (const TStructureSet& set : s.Sets())
        lines.push_back("set " + set.Name + ": " + std::to_string(set.Size) + " " +
                        std::to_string(set.MaxSize));
    return lines;
}

// Model texts written as modellers write them: each case gives the lines the structure must
// show and the lines it must not.
TEST(ModelStructure, ReadsModelFilesAsTheyAreWritten) {
    struct TCase {
        const char* What;
        std::string Text;
        TItems Records;
        std::vector<std::string> Shows;
        std::vector<std::string> Lacks;
    };
    const TCase cases[] = {
        {"keywords carry over",
         "Set COM (food, manuf, serv);\n"
         "Variable\n (all,c,COM) p_x(c) # price #;\n (all,c,COM) q_x(c);\n  phi;\n"
         "Coefficient (all,c,COM) V0(c);\n (all,c,COM) SHR(c);\n"
         "Equation\n E_p_x (all,c,COM) p_x(c) = phi + SHR(c)*q_x(c);\n"
         " E_q_x (all,c,COM) q_x(c) = sum(k,COM, V0(k)*p_x(k));\n",
         {{"p_x", "E_p_x"}, {"q_x", "E_q_x"}},
         {"e_p_x: p_x phi q_x", "e_q_x: p_x q_x", "set com: 3 3"},
         {"e_p_x: p_x phi q_x shr"}},
        {"qualifiers",
         "Set REG # regions # read elements from file GSET header \"REG\";\n"
         "Variable (levels) (all,r,REG) XP(r);\n"
         "Variable (levels, change) (all,r,REG) DV(r);\n"
         "Variable (linear) (ge 0) (orig_level = 1.0) pf;\n"
         "Variable (levels) (linear_name = xg) (all,r,REG) XG(r);\n"
         "Equation (levels) E_XP (all,r,REG) XP(r) = XG(r) + DV(r);\n"
         "Equation (linear) (all,r,REG) E_xg xg(r) = pf + c_DV(r);\n",
         {{"p_XP", "E_XP"}, {"xg", "E_xg"}},
         {"e_xp: dv xg xp", "e_xg: dv pf xg", "set reg: -1 -1"},
         {}},
        {"statements passed over",
         "Set COM (c1 - c4); Subset COM is subset of COM;\n"
         "File BASE # data #; (new) OUT;\n"
         "Coefficient (all,c,COM) V0(c); Read V0 from file BASE header \"V0;!\";\n"
         "Variable (all,c,COM) x(c); (all,c,COM) y(c); (all,c,COM) z(c); w; a_x;\n"
         "Formula (all,c,COM) V0(c) = V0(c) + 1; Update (all,c,COM) V0(c) = x(c);\n"
         "Write V0 to file OUT header \"OUT\"; Assertion # V0 # (all,c,COM) V0(c) > 0;\n"
         "Zerodivide default 0.5; Transfer \"XX\" from file BASE to updated file;\n"
         "Formula & Equation E_x # both # (all,c,COM) x(c) = y(c) + a_x;\n"
         "Equation E_y (all,c,COM) y(c) = z(c) + w + a_x;\n"
         "Omit a_x;\n",
         {{"x", "E_x"}, {"y", "E_y"}},
         {"e_x: x y", "e_y: w y z", "set com: 4 4"},
         {"e_x: a_x x y", "v0:"}},
        {"sets from data and from other sets",
         "Set COM # goods # maximum size 40 read elements from file GS header \"H2\";\n"
         "Set SRC (dom, imp); Set MAR (trd, trn); Set NM = SRC union MAR;\n"
         "Set BOTH = SRC + MAR; Set DOM = SRC intersect NM; Set IMP = SRC - DOM;\n"
         "Set TC = (all,c,COM: 1 > 0); Set TM = COM - TC; Set T (t1 - t10);\n"
         "Variable (all,c,TC)(all,s,SRC) x(c,s); (all,t,T) y(t);\n"
         "Equation E_x (all,c,TC)(all,s,SRC) x(c,s) = y(\"t1\");\n",
         {{"x", "E_x"}},
         {"set com: -1 40", "set nm: 4 4", "set both: 4 4", "set dom: 2 2", "set imp: 0 0",
          "set tc: -1 40", "set tm: -1 40", "set t: 10 10", "e_x: x y"},
         {}},
        {"quotes, comments and descriptions",
         "! a comment; with \"quotes\" !\nSet COM # goods; and ! marks # (a, b);\n"
         "Variable (all,c,COM) x(c) # x \"with ;\" #; y;\n"
         "Coefficient (all,c,COM) S(c); Read S from file F header \"a;b!\";\n"
         "Equation E_x # x's equation # (all,c,COM) x(c) = y ! not z ! ;\n",
         {{"x", "E_x"}},
         {"e_x: x y", "set com: 2 2"},
         {}},
    };
    for (const TCase& c : cases) {
        TModelStructure s;
        std::string reason;
        ASSERT_TRUE(s.Parse(c.Text, c.Records, reason)) << c.What << ": " << reason;
        const std::vector<std::string> lines = Described(s);
        auto has = [&](const std::string& l) {
            return std::find(lines.begin(), lines.end(), l) != lines.end();
        };
        for (const std::string& l : c.Shows)
            EXPECT_TRUE(has(l)) << c.What << ": no \"" << l << "\"";
        for (const std::string& l : c.Lacks)
            EXPECT_FALSE(has(l)) << c.What << ": \"" << l << "\"";
        std::vector<std::int32_t> order;
        for (std::size_t r = 1; r <= c.Records.size(); ++r)
            order.push_back(static_cast<std::int32_t>(r));
        EXPECT_FALSE(s.EliminationKey(std::vector<std::int32_t>(order.size(), sub), order).empty())
            << c.What;
    }
    // A condensation that uses an omitted variable has no key; others do.
    TModelStructure s;
    std::string reason;
    ASSERT_TRUE(s.Parse("Variable x, y, z; Equation E_x x = y; E_z z = x; Omit y, z;",
                        {{"x", "E_x"}, {"z", "E_z"}}, reason))
        << reason;
    EXPECT_FALSE(s.EliminationKey({sub, notsub}, {1, 2}).empty());
    EXPECT_TRUE(s.EliminationKey({notsub, sub}, {1, 2}).empty());
    EXPECT_EQ(s.SizeOf(s.Variables()[0]), 1);
}

TEST(ModelStructure, KeysAreEqualExactlyWhenTheEliminationsAreTheSame) {
    TModelStructure s;
    std::string reason;
    ASSERT_TRUE(s.Parse(SmallModel, SmallRecords, reason)) << reason;
    using TStat = std::vector<std::int32_t>;
    struct TCase {
        TStat StatA;
        std::vector<std::int32_t> OrderA;
        TStat StatB;
        std::vector<std::int32_t> OrderB;
        bool Same;
    };
    const TStat all{sub, sub, sub};
    const TCase cases[] = {
        {all, {1, 2, 3}, all, {2, 1, 3}, true},   // independent records exchanged
        {all, {1, 2, 3}, all, {1, 3, 2}, true},   // so are 2 and 3
        {all, {1, 2, 3}, all, {3, 2, 1}, false},  // 3 before 1: its equation still holds a
        {all, {1, 2, 3}, {backsub, sub, sub}, {1, 2, 3}, false},
        {{sub, sub, notsub}, {3, 1, 2}, {sub, sub, notsub}, {2, 1, 3}, true},
        {{sub, sub, notsub}, {1, 2, 3}, all, {1, 2, 3}, false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(s.EliminationKey(c.StatA, c.OrderA) == s.EliminationKey(c.StatB, c.OrderB), c.Same)
            << c.OrderA[0] << c.OrderA[1] << c.OrderA[2] << " / " << c.OrderB[0] << c.OrderB[1]
            << c.OrderB[2];
    // A record whose equation has lost its variable cannot be worked out.
    TModelStructure broken;
    ASSERT_TRUE(broken.Parse("Variable x, y; Equation E_x x = y; Equation E_y y = x;",
                             {{"x", "E_x"}, {"y", "E_y"}, {"y", "E_x"}}, reason));
    EXPECT_EQ(broken.EliminationKey({sub, sub, sub}, {1, 2, 3}), "");
}

// Next gives every candidate one move from the best once, counting condensations that make
// the same eliminations as one, and only then says there is none left.
TEST(ModelStructure, TheNeighbourhoodIsCoveredBeforeTheSearchEnds) {
    struct TCase {
        std::int32_t Records;
        bool WithStructure;
        int Expected; // toggles and distinct exchanges
        double SliceSeconds; // 0: Next gives its turn back after every few looks
    };
    const TCase cases[] = {
        {30, false, 30 + 30 * 29 / 2, 1}, {30, false, 30 + 30 * 29 / 2, 0}, {3, true, 3 + 1, 1}};
    std::vector<std::string> whole; // the keys offered without slices
    for (const TCase& c : cases) {
        TPolicy p(TStrategy::AlterPair, std::vector<TRecordFlags>(static_cast<std::size_t>(c.Records)),
                  7, true);
        p.SliceSeconds = c.SliceSeconds;
        if (c.WithStructure) {
            auto structure = std::make_shared<TModelStructure>();
            std::string reason;
            ASSERT_TRUE(structure->Parse(SmallModel, SmallRecords, reason)) << reason;
            p.SetStructure(structure);
        }
        TCandidate best;
        for (std::int32_t r = 1; r <= c.Records; ++r) {
            best.Stat.push_back(sub);
            best.Order.push_back(r);
        }
        p.MarkSeen(best);
        int offered = 0, turns = 0;
        std::vector<std::string> keys;
        TCandidate next;
        while (offered <= c.Expected && turns < 100000) {
            ++turns;
            if (p.Next(best, next)) {
                ++offered;
                keys.push_back(CondensationKey(next));
            } else if (!p.Pending) {
                break;
            }
        }
        EXPECT_EQ(offered, c.Expected) << c.Records << " records";
        EXPECT_TRUE(p.NeighbourhoodCovered);
        if (c.SliceSeconds > 0 && !c.WithStructure) whole = keys;
        if (c.SliceSeconds == 0) {
            EXPECT_GT(turns, offered + 10) << "the look was never cut into slices";
            EXPECT_EQ(keys, whole) << "a look cut into slices offered other candidates";
        }
    }
}

// On the stand-in's generated models, two condensations with one key always take the same
// time, and exchanges both keep and change keys.
TEST(ModelStructure, SameKeySameTimeOnGeneratedModels) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        const sim::TGeneratedModel gen = sim::GenerateModel(30, seed);
        sim::TKsxModel model;
        std::string msg;
        ASSERT_TRUE(sim::ParseKsxModel(gen.ModelText, model, msg)) << msg;
        TItems items;
        for (const sim::TModelVar& v : model.Vars) // a candidate x has its equation E_x
            if (model.FindEq("E_" + v.Name) >= 0) items.emplace_back(v.Name, "E_" + v.Name);
        ASSERT_GE(items.size(), 20u);
        TModelStructure s;
        ASSERT_TRUE(s.Parse(gen.ModelText, items, msg)) << msg;
        const auto n = static_cast<std::int32_t>(items.size());
        auto seconds = [&](const std::vector<std::int32_t>& stat,
                           const std::vector<std::int32_t>& order) {
            std::vector<sim::TCondenseAction> actions;
            for (std::int32_t r : order)
                if (stat[static_cast<std::size_t>(r - 1)] != notsub)
                    actions.push_back({stat[static_cast<std::size_t>(r - 1)] == backsub,
                                       items[static_cast<std::size_t>(r - 1)].first,
                                       items[static_cast<std::size_t>(r - 1)].second});
            sim::TCondenseResult result;
            std::string why;
            EXPECT_TRUE(sim::Condense(model, actions, result, why)) << why;
            return result.Seconds;
        };
        TRandom random(seed);
        int same = 0, different = 0;
        for (int trial = 0; trial < 300; ++trial) {
            std::vector<std::int32_t> stat(static_cast<std::size_t>(n)), order;
            for (std::int32_t r = 1; r <= n; ++r) {
                stat[static_cast<std::size_t>(r - 1)] = random.Below(3) == 0 ? notsub : sub;
                order.push_back(r);
            }
            for (std::int32_t k = n - 1; k > 0; --k)
                std::swap(order[static_cast<std::size_t>(k)],
                          order[static_cast<std::size_t>(random.Below(k + 1))]);
            std::vector<std::int32_t> exchanged = order;
            std::swap(exchanged[static_cast<std::size_t>(random.Below(n))],
                      exchanged[static_cast<std::size_t>(random.Below(n))]);
            const std::string a = s.EliminationKey(stat, order), b = s.EliminationKey(stat, exchanged);
            ASSERT_FALSE(a.empty());
            // Worked out from the one before, a key is the same as worked out in full.
            TEliminationTrace trace;
            trace.Reset(s, stat, order);
            std::vector<std::int32_t> toggled = stat;
            std::int32_t& one = toggled[static_cast<std::size_t>(random.Below(n))];
            one = one == sub ? backsub : sub;
            toggled[static_cast<std::size_t>(random.Below(n))] = notsub;
            EXPECT_EQ(trace.Key(stat, order), a);
            EXPECT_EQ(trace.Key(stat, exchanged), b);
            EXPECT_EQ(trace.Key(toggled, order), s.EliminationKey(toggled, order));
            EXPECT_EQ(trace.Key(toggled, exchanged), s.EliminationKey(toggled, exchanged));
            if (a == b) {
                ++same;
                EXPECT_NEAR(seconds(stat, order), seconds(stat, exchanged), 1e-9);
            } else {
                ++different;
            }
        }
        EXPECT_GT(same, 30) << "seed " << seed;
        EXPECT_GT(different, 30) << "seed " << seed;
    }
}

} // namespace
} // namespace pelvarn::test
