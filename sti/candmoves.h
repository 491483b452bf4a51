// The changes that turn a condensation into a neighbouring one: a toggled record, an
// exchanged pair of the order, or a new order. The random ones draw from the generator they
// are given, so that each search keeps a stream of its own.
#pragma once

#include <cstdint>

#include "base/prng.h"
#include "sti/subrecord.h"

namespace pelvarn {

void ExchangeRandomPair(TSubOrder& order, std::int32_t n, TRandom& random);
void CompleteShuffle(TSubOrder& order, std::int32_t n, TRandom& random);

// Toggles the record between left out and its included status (backsub for a MustSee record,
// else sub); false, unchanged, for a MustSub record.
bool AlterRecord(TSubRecord& record);
// Advances position to the next record that may be altered and alters it; false (position
// back where it started, nothing altered) when no record of 1..n may be altered.
bool AlterNext(TSubInfo& records, std::int32_t n, std::int32_t& position);

} // namespace pelvarn
