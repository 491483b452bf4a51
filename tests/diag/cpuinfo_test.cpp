#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "diag/cpuinfo.h"

using namespace pelvarn;

namespace {

std::uint32_t Chars(const char* four) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(four[i]);
    return v;
}

// The identification leaves of a made-up processor: vendor (twelve characters), leaf 1's
// EAX, ECX, EDX, the highest extended leaf, extended leaf 1's ECX and a 48-byte brand.
TCpuFacts Facts(const std::string& vendor, std::uint32_t eax, std::uint32_t maxExt = 0,
                const std::string& brand = "", std::uint32_t ecx = 0, std::uint32_t edx = 0,
                std::uint32_t extEcx = 0, std::uint32_t maxLeaf = 1) {
    std::map<std::uint32_t, TCpuidRegs> leaves;
    const std::string v = (vendor + std::string(12, '\0')).substr(0, 12);
    leaves[0] = {maxLeaf, Chars(v.c_str()), Chars(v.c_str() + 8), Chars(v.c_str() + 4)};
    leaves[1] = {eax, 0, ecx, edx};
    leaves[0x80000000u] = {maxExt, 0, 0, 0};
    leaves[0x80000001u] = {0, 0, extEcx, 0};
    const std::string b = (brand + std::string(48, '\0')).substr(0, 48);
    for (std::uint32_t i = 0; i < 3; ++i) {
        const char* p = b.c_str() + 16 * i;
        leaves[0x80000002u + i] = {Chars(p), Chars(p + 4), Chars(p + 8), Chars(p + 12)};
    }
    return CpuFactsFrom([&](std::uint32_t leaf, TCpuidRegs& r) {
        r = leaves.count(leaf) ? leaves[leaf] : TCpuidRegs{};
        return true;
    });
}

std::uint32_t Eax(unsigned extFamily, unsigned extModel, unsigned type, unsigned family,
                  unsigned model, unsigned stepping) {
    return extFamily << 20 | extModel << 16 | type << 12 | family << 8 | model << 4 | stepping;
}

} // namespace

TEST(CpuInfo, DescriptionFromRegisterValues) {
    struct TCase {
        TCpuFacts In;
        std::string Want;
    };
    const TCase cases[] = {
        // Family 15: the extended bits go above model and family, three and two hex digits.
        {Facts("AuthenticAMD", Eax(0x01, 0x1, 0, 15, 2, 9)),
         "AuthenticAMD, type 0, family 01F, model 12, stepping 9"},
        {Facts("GenuineIntel", Eax(0, 0, 0, 15, 2, 7)),
         "Pentium 4 [Northwood] (GenuineIntel, type 0, family 00F, model 02, stepping 7)"},
        {Facts("AuthenticAMD", Eax(0, 0, 0, 15, 5, 10)),
         "AMD Athlon 64 FX / Opteron (AuthenticAMD, type 0, family 00F, model 05, stepping A)"},
        // Family 6: the extended model is ignored; upper-case hex.
        {Facts("GenuineIntel", Eax(0, 3, 1, 6, 10, 11)),
         "Intel Pentium III Xeon (GenuineIntel, type 1, family 6, model A, stepping B)"},
        {Facts("AuthenticAMD", Eax(0, 0, 0, 5, 8, 0)),
         "AMD K6-2 (AuthenticAMD, type 0, family 5, model 8, stepping 0)"},
        {Facts("CyrixInstead", Eax(0, 0, 2, 5, 4, 2)),
         "CyrixInstead, type 2, family 5, model 4, stepping 2"},
        {Facts("GenuineIntel", Eax(0, 0, 0, 6, 12, 0)),
         "GenuineIntel, type 0, family 6, model C, stepping 0"},
        // A brand string wins over the table; its leading blanks go, the rest stays.
        {Facts("GenuineIntel", Eax(0, 3, 0, 6, 10, 1), 0x80000004u, "     Intel(R) Xeon(R) CPU  X"),
         "Intel(R) Xeon(R) CPU  X (GenuineIntel, type 0, family 6, model A, stepping 1)"},
        {Facts("GenuineIntel", Eax(0, 0, 0, 6, 10, 1), 0x80000003u, "Not read"),
         "Intel Pentium III Xeon (GenuineIntel, type 0, family 6, model A, stepping 1)"},
        {Facts("GenuineIntel", 0, 0, "", 0, 0, 0, 0), ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CpuDescription(c.In), c.Want);
    EXPECT_EQ(CpuTextFrom(Facts("CyrixInstead", Eax(0, 0, 0, 5, 4, 2)), 2394567890.0),
              "CyrixInstead, type 0, family 5, model 4, stepping 2, 2394.6 MHz");
}

TEST(CpuInfo, VendorAndInstructionSets) {
    const std::pair<std::string, std::string> vendors[] = {
        {"AuthenticAMD", "AMD"},
        {"CentaurHauls", "Centaur (VIA)"},
        {"CyrixInstead", "Cyrix"},
        {"GenuineIntel", "Intel"},
        {"GenuineTMx86", "Transmeta"},
        {"NexGenDriven", "NexGen"},
        {"RiseRiseRise", "Rise"},
        {"UMC UMC UMC ", "UMC"},
        {"Geode by NSC", "National Semiconductor"},
        {"SiS SiS SiS ", "Unknown"},
        {"genuineintel", "Unknown"},
    };
    for (const auto& [id, name] : vendors)
        EXPECT_EQ(CpuFeaturesFrom(Facts(id, 0x600)), name) << id;

    const std::uint32_t edx = 1u << 23 | 1u << 25 | 1u << 26;
    const std::uint32_t ecx = 1u << 0 | 1u << 9 | 1u << 19 | 1u << 20 | 1u << 11;
    EXPECT_EQ(CpuFeaturesFrom(Facts("AuthenticAMD", 0x600, 0x80000001u, "", ecx, edx, 1u << 6)),
              "AMD MMX SSE SSE2 SSE3 SSSE3 SSE4A SSE4.1 SSE4.2 SSE5");
    EXPECT_EQ(
        CpuFeaturesFrom(Facts("GenuineIntel", 0x600, 0x80000000u, "", 1u << 19, 1u << 26, 1u << 6)),
        "Intel SSE2 SSE4.1"); // the extended leaf is not there
    EXPECT_EQ(CpuFeaturesFrom(Facts("GenuineIntel", 0x600, 0, "", ecx, edx, 0, 0)),
              "Intel"); // no leaf 1
    EXPECT_EQ(CpuFeaturesFrom(CpuFactsFrom([](std::uint32_t, TCpuidRegs&) { return false; })),
              "Unknown");
}
