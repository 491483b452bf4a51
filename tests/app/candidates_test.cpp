#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/form1.h"
#include "fakes.h"
#include "base/prng.h"

namespace pelvarn::test {
namespace {

TEST(AlterRecord, TogglesOnlyWithinTheStatusesItsFlagsAllow) {
    struct TCase {
        bool MustSee, MustSub;
        std::int32_t Before;
        bool Result;
        std::int32_t After;
    } cases[] = {
        {false, false, sub, true, notsub},      {false, false, notsub, true, sub},
        {false, false, backsub, true, backsub}, {true, false, backsub, true, notsub},
        {true, false, notsub, true, backsub},   {true, false, sub, true, sub},
        {false, true, sub, false, sub},         {true, true, backsub, false, backsub},
    };
    for (const TCase& c : cases) {
        TSubRecord r = Rec("v", c.MustSee, c.MustSub, c.Before);
        EXPECT_EQ(AlterRecord(r), c.Result) << c.MustSee << c.MustSub << c.Before;
        EXPECT_EQ(r.SubStat, c.After) << c.MustSee << c.MustSub << c.Before;
    }
}

TEST(AlterNext, WalksCyclicallyOverTheAlterableRecords) {
    TSubInfo recs{};
    recs[1] = Rec("a", false, false, sub);
    recs[2] = Rec("b", false, true, sub);     // MUSTSUB: skipped
    recs[3] = Rec("c", true, false, backsub); // backsolved: backsub <-> notsub
    recs[4] = Rec("d", true, true, backsub);  // both flags: skipped
    recs[5] = Rec("e", false, false, notsub);
    std::int32_t pos = 3;
    std::vector<std::int32_t> visited;
    for (int k = 0; k < 6; ++k) {
        ASSERT_TRUE(AlterNext(recs, 5, pos));
        visited.push_back(pos);
    }
    EXPECT_EQ(visited, (std::vector<std::int32_t>{5, 1, 3, 5, 1, 3}));
    // Each alterable record was toggled twice, the others never.
    EXPECT_EQ(recs[1].SubStat, sub);
    EXPECT_EQ(recs[3].SubStat, backsub);
    EXPECT_EQ(recs[5].SubStat, notsub);
    EXPECT_EQ(recs[2].SubStat, sub);
    EXPECT_EQ(recs[4].SubStat, backsub);
    // Once more: each alterable record takes its other status.
    ASSERT_TRUE(AlterNext(recs, 5, pos));
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(recs[5].SubStat, sub);
}

TEST(AlterNext, StopsAfterOneCycleWhenNothingMayBeAltered) {
    TSubInfo recs{};
    recs[1] = Rec("a", false, true, sub);
    recs[2] = Rec("b", true, true, backsub);
    recs[3] = Rec("c", false, true, sub);
    TSubInfo before = recs;
    for (std::int32_t start : {0, 2, 3, 7}) {
        std::int32_t pos = start;
        EXPECT_FALSE(AlterNext(recs, 3, pos));
        EXPECT_EQ(pos, start);
        EXPECT_EQ(recs, before);
    }
    // No records at all: nothing is touched, not even record 1.
    recs[1] = Rec("a", false, false, sub);
    std::int32_t pos = 0;
    EXPECT_FALSE(AlterNext(recs, 0, pos));
    EXPECT_EQ(recs[1].SubStat, sub);
}

TSubOrder Identity() {
    TSubOrder o{};
    ResetOrder(o);
    return o;
}

TEST(ExchangeRandomPair, SwapsTwoDrawnEntriesWithTwoDraws) {
    int equalDraws = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        const std::int32_t n = 7;
        ProgramRandom().SetSeed(seed);
        TRandom reference(seed);
        TSubOrder order = Identity();
        ExchangeRandomPair(order, n);
        std::int32_t i = 1 + reference.Below(n), j = 1 + reference.Below(n);
        EXPECT_EQ(ProgramRandom().GetSeed(), reference.GetSeed()) << "exactly two draws";
        TSubOrder expected = Identity();
        std::swap(expected[i], expected[j]);
        EXPECT_EQ(order, expected) << "seed " << seed;
        equalDraws += i == j;
    }
    EXPECT_GT(equalDraws, 0) << "some seeds should draw the same entry twice";
}

TEST(ExchangeRandomPair, OneRecordLeavesTheOrderAsItIs) {
    ProgramRandom().SetSeed(99);
    TSubOrder order = Identity();
    ExchangeRandomPair(order, 1);
    EXPECT_EQ(order, Identity());
}

TEST(CompleteShuffle, IgnoresTheGivenOrderAndDrawsOverTheWholeRange) {
    const std::int32_t n = 9;
    TSubOrder reversed = Identity();
    std::reverse(reversed.begin() + 1, reversed.begin() + n + 1);
    for (std::uint32_t seed : {3u, 77u, 4242u}) {
        TSubOrder fromIdentity = Identity(), fromReversed = reversed;
        ProgramRandom().SetSeed(seed);
        CompleteShuffle(fromIdentity, n);
        ProgramRandom().SetSeed(seed);
        CompleteShuffle(fromReversed, n);
        EXPECT_EQ(fromIdentity, fromReversed);

        // Every draw covers 1..n (not 1..k), n draws in all.
        TRandom reference(seed);
        TSubOrder expected = Identity();
        for (std::int32_t k = n; k >= 1; --k)
            std::swap(expected[k], expected[1 + reference.Below(n)]);
        EXPECT_EQ(fromIdentity, expected);
        EXPECT_EQ(ProgramRandom().GetSeed(), reference.GetSeed());
    }
}

TEST(CompleteShuffle, LeavesEntriesAboveTheCountAlone) {
    TSubOrder order = Identity();
    std::swap(order[20], order[30]);
    ProgramRandom().SetSeed(5);
    CompleteShuffle(order, 10);
    EXPECT_EQ(order[20], 30);
    EXPECT_EQ(order[30], 20);
    EXPECT_TRUE(std::is_permutation(order.begin() + 1, order.begin() + 11, Identity().begin() + 1));
}

} // namespace
} // namespace pelvarn::test
