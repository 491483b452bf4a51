// The program's pseudo-random generator: a 32-bit linear congruential generator with a
// multiply-shift draw. Its arithmetic is fixed-width and unsigned, so a given seed yields
// the same draws with every compiler and on every operating system.
#pragma once

#include <cstdint>

namespace pelvarn {

class TRandom {
  public:
    explicit TRandom(std::uint32_t seed = 0) : Seed(seed) {}
    void SetSeed(std::uint32_t seed) { Seed = seed; }
    std::uint32_t GetSeed() const { return Seed; }

    // A draw uniform over 0..n-1; 0 when n is 0 or below.
    std::int32_t Below(std::int32_t n);

  private:
    std::uint32_t Seed;
};

// The one generator of the program. The GUI seeds it once from the clock; tests and the
// headless search seed it explicitly.
TRandom& ProgramRandom();

} // namespace pelvarn
