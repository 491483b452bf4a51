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

// A model whose eliminations pay only in blocks, as the definitions of a region's or a
// sector's summary results are: every candidate belongs to a block of GroupSize - 1 to
// GroupSize + 1 (at least 2), and its equation defines it from the next one of its block
// (sometimes one further down as well) and one to three of the model's wide variables. The
// block's head is a result that no equation uses. Substituting any other member writes its
// equation into the small equations of the members above it, which then hold more wide
// variables; only when the members above it have gone first does it pay, and the whole
// block gone takes all of its equations out of the system. The equations of a block come in
// a random order, and the initial stored input condenses nothing. Deterministic in
// (candidates, seed, groupSize) on every OS. candidates: 1..500; groupSize: 2..12.
TGeneratedModel GenerateGroupedModel(int candidates, std::uint32_t seed, int groupSize);

inline constexpr int HubShare = 7;
inline constexpr int HubReach = 60;
inline constexpr int HubWidth = 10;

} // namespace pelvarn::sim
