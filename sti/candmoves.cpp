#include "sti/candmoves.h"

#include <utility>

namespace pelvarn {

void ExchangeRandomPair(TSubOrder& order, std::int32_t n, TRandom& random) {
    if (n > MaxSubs) n = MaxSubs;
    std::int32_t i = 1 + random.Below(n);
    std::int32_t j = 1 + random.Below(n);
    std::swap(order[i], order[j]);
}

void CompleteShuffle(TSubOrder& order, std::int32_t n, TRandom& random) {
    if (n > MaxSubs) n = MaxSubs;
    for (std::int32_t k = n; k >= 1; --k)
        order[k] = k;
    for (std::int32_t k = n; k >= 1; --k) {
        std::int32_t r = 1 + random.Below(n);
        std::swap(order[k], order[r]);
    }
}

bool AlterRecord(TSubRecord& record) {
    if (record.MustSub) return false;
    // The status that the record takes when it is not left out.
    const std::int32_t included = record.MustSee ? backsub : sub;
    if (record.SubStat == included)
        record.SubStat = notsub;
    else if (record.SubStat == notsub)
        record.SubStat = included;
    return true;
}

bool AlterNext(TSubInfo& records, std::int32_t n, std::int32_t& position) {
    if (n < 1) return false;
    if (n > MaxSubs) n = MaxSubs;
    const std::int32_t start = position;
    // A position outside 0..n (never set by a run) starts the walk at record 1.
    std::int32_t p = (position < 0 || position > n) ? 0 : position;
    // n steps visit every record of 1..n exactly once.
    for (std::int32_t step = 0; step < n; ++step) {
        p = p + 1;
        if (p > n) p = 1;
        if (AlterRecord(records[p])) {
            position = p;
            return true;
        }
    }
    position = start;
    return false;
}

} // namespace pelvarn
