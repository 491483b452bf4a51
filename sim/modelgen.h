// Synthetic models for benchmarks: a model file with a given number of condensation
// candidates (each variable with an equation of its own that contains it), other equations
// and variables around them, and an initial stored input that condenses a plausible mix.
#pragma once

#include <cstdint>
#include <string>

namespace pelvarn::sim {

struct TGeneratedModel {
    std::string ModelText; // the model file, lines ending CR LF
    std::string StiText;   // initial.sti naming ModelFileName
};

inline constexpr const char* GeneratedModelFileName = "gen.ksx";

// Deterministic in (candidates, seed) on every OS. candidates: 1..500.
TGeneratedModel GenerateModel(int candidates, std::uint32_t seed);

} // namespace pelvarn::sim
