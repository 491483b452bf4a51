// The processor's description and instruction sets for the diagnostics report, decoded from
// the registers of the identification instruction. The decoding takes the register values
// as input, so that every rule can be checked with any processor's figures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/sysprobe.h"

namespace pelvarn {

// What the report uses of the identification leaves.
struct TCpuFacts {
    std::uint32_t MaxLeaf = 0;    // leaf 0 EAX
    std::string VendorId;         // leaf 0 EBX, EDX, ECX: twelve characters
    TCpuidRegs Leaf1;             // when MaxLeaf >= 1
    std::uint32_t MaxExtLeaf = 0; // leaf 0x80000000 EAX
    TCpuidRegs Ext1;              // leaf 0x80000001, when MaxExtLeaf reaches it
    std::string Brand;            // leaves 0x80000002-4: 48 bytes, when MaxExtLeaf reaches them
    bool HasCpuid = false;
};

// Asks Query for each leaf the report needs (Query returns false when there is none).
TCpuFacts CpuFactsFrom(const std::function<bool(std::uint32_t, TCpuidRegs&)>& Query);

// Index into the vendor table (1 "AuthenticAMD" ... 10 "SiS SiS SiS"), 0 when none is equal.
int CpuVendorIndex(std::string_view VendorId);
std::string_view CpuVendorName(int Index); // "Unknown", "AMD", ... "SiS"

// The model name of a processor without a brand string; empty when the table has none.
std::string_view CpuModelName(std::string_view VendorId, std::uint32_t Family, std::uint32_t Model);

// "GenuineIntel, type 0, family 6, model F, stepping 6", prefixed by the brand or the model
// name as "NAME (...)"; empty when the highest standard leaf is 0.
std::string CpuDescription(const TCpuFacts& Facts);
// The description + ", " + the clock (cycles per second) in MHz with one decimal + " MHz".
std::string CpuTextFrom(const TCpuFacts& Facts, double Hz);
// The vendor's printed name and " MMX", " SSE", ... for each instruction set present.
std::string CpuFeaturesFrom(const TCpuFacts& Facts);

// The same for this computer (the facts are read once; the clock is measured once).
const TCpuFacts& ThisCpu();
std::string CpuText();
std::string CpuFeaturesText();

} // namespace pelvarn
