// The window's random changes draw from the program's one generator; the moves themselves
// are shared with the overnight search.
#include "app/form1.h"
#include "base/prng.h"

namespace pelvarn {

void ExchangeRandomPair(TSubOrder& order, std::int32_t n) {
    ExchangeRandomPair(order, n, ProgramRandom());
}

void CompleteShuffle(TSubOrder& order, std::int32_t n) {
    CompleteShuffle(order, n, ProgramRandom());
}

} // namespace pelvarn
