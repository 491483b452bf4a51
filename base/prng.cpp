#include "base/prng.h"

namespace pelvarn {

std::int32_t TRandom::Below(std::int32_t n) {
    Seed = Seed * 134775813u + 1u;
    if (n <= 0) return 0;
    std::uint64_t product = static_cast<std::uint64_t>(Seed) * static_cast<std::uint32_t>(n);
    return static_cast<std::int32_t>(product >> 32);
}

TRandom& ProgramRandom() {
    static TRandom generator;
    return generator;
}

} // namespace pelvarn
