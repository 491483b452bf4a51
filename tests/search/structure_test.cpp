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
    };
    const TCase cases[] = {{30, false, 30 + 30 * 29 / 2}, {3, true, 3 + 1}};
    for (const TCase& c : cases) {
        TPolicy p(TStrategy::AlterPair, std::vector<TRecordFlags>(static_cast<std::size_t>(c.Records)),
                  7, true);
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
        int offered = 0;
        TCandidate next;
        while (offered <= c.Expected && p.Next(best, next))
            ++offered;
        EXPECT_EQ(offered, c.Expected) << c.Records << " records";
        EXPECT_TRUE(p.NeighbourhoodCovered);
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
