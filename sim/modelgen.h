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

// Deterministic in (candidates, seed, hubs) on every OS. candidates: 1..500.
//
// With hubs, one candidate in HubShare is a hub, as a price level or an exchange rate is:
// each other equation holds it with a chance of HubReach per cent, and its own equation is
// a definition over HubWidth or more of the widest variables that stay in the system. The
// initial condensation leaves the hubs in the system; substituting one writes its definition
// into every equation that holds it, and the factorisation grows by a large part. The rest
// of the model is the one made without hubs.
TGeneratedModel GenerateModel(int candidates, std::uint32_t seed, bool hubs = false);

inline constexpr int HubShare = 7;
inline constexpr int HubReach = 60;
inline constexpr int HubWidth = 10;

} // namespace pelvarn::sim
