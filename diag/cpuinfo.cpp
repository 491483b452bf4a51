#include "diag/cpuinfo.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "base/textutil.h"

namespace pelvarn {

namespace {

struct TVendor {
    std::string_view Id, Name;
};
constexpr std::array<TVendor, 11> Vendors = {{
    {"", "Unknown"},
    {"AuthenticAMD", "AMD"},
    {"CentaurHauls", "Centaur (VIA)"},
    {"CyrixInstead", "Cyrix"},
    {"GenuineIntel", "Intel"},
    {"GenuineTMx86", "Transmeta"},
    {"NexGenDriven", "NexGen"},
    {"RiseRiseRise", "Rise"},
    {"UMC UMC UMC ", "UMC"},
    {"Geode by NSC", "National Semiconductor"},
    {"SiS SiS SiS", "SiS"}, // eleven characters: no twelve-character id equals it
}};

struct TModelName {
    std::string_view Vendor;
    std::uint32_t Family, FirstModel, LastModel;
    std::string_view Name;
};
constexpr std::string_view Intel = "GenuineIntel", Amd = "AuthenticAMD";
constexpr TModelName ModelNames[] = {
    {Intel, 4, 0, 1, "Intel 486 DX"},
    {Intel, 4, 2, 2, "Intel 486 SX"},
    {Intel, 4, 3, 3, "Intel 486 DX/2"},
    {Intel, 4, 4, 4, "Intel 486 SL"},
    {Intel, 4, 5, 5, "Intel 486 SX/2"},
    {Intel, 4, 7, 7, "Intel 486 DX/2-WB"},
    {Intel, 4, 8, 8, "Intel 486 DX/4"},
    {Intel, 4, 9, 9, "Intel 486 DX/4-WB"},
    {Intel, 5, 0, 2, "Intel Pentium"},
    {Intel, 5, 4, 4, "Intel Pentium MMX"},
    {Intel, 5, 7, 7, "Intel Mobile Pentium"},
    {Intel, 5, 8, 8, "Intel Mobile Pentium MMX"},
    {Intel, 6, 1, 1, "Intel Pentium Pro"},
    {Intel, 6, 3, 3, "Intel Pentium II [Klamath]"},
    {Intel, 6, 5, 5, "Intel Pentium II [Deschutes]"},
    {Intel, 6, 6, 6, "Intel Celeron [Mendocino]"},
    {Intel, 6, 7, 7, "Intel Pentium III [Katmai]"},
    {Intel, 6, 8, 8, "Intel Pentium III [Coppermine]"},
    {Intel, 6, 9, 9, "Intel Pentium M [Banias]"},
    {Intel, 6, 10, 10, "Intel Pentium III Xeon"},
    {Intel, 6, 11, 11, "Intel Pentium III"},
    {Intel, 6, 13, 13, "Intel Pentium M [Dothan]"},
    {Intel, 6, 14, 14, "Intel Core [Yonah]"},
    {Intel, 6, 15, 15, "Intel Core 2 [Conroe]"},
    {Intel, 15, 0, 1, "Pentium 4 [Willamette]"},
    {Intel, 15, 2, 2, "Pentium 4 [Northwood]"},
    {Intel, 15, 3, 4, "Pentium 4 [Prescott]"},
    {Amd, 4, 3, 3, "AMD 486 DX/2"},
    {Amd, 4, 7, 7, "AMD 486 DX/2-WB"},
    {Amd, 4, 8, 8, "AMD 486 DX/4"},
    {Amd, 4, 9, 9, "AMD 486 DX/4-WB"},
    {Amd, 4, 14, 14, "AMD Am5x86-WT"},
    {Amd, 4, 15, 15, "AMD Am5x86-WB"},
    {Amd, 5, 0, 0, "AMD K5/SSA5"},
    {Amd, 5, 1, 3, "AMD K5"},
    {Amd, 5, 6, 7, "AMD K6"},
    {Amd, 5, 8, 8, "AMD K6-2"},
    {Amd, 5, 9, 9, "AMD K6-3"},
    {Amd, 5, 13, 13, "AMD K6-2+ / K6-III+"},
    {Amd, 6, 0, 2, "AMD Athlon"},
    {Amd, 6, 3, 3, "AMD Duron"},
    {Amd, 6, 4, 4, "AMD Athlon [Thunderbird]"},
    {Amd, 6, 6, 6, "AMD Athlon [Palamino]"},
    {Amd, 6, 7, 7, "AMD Duron [Morgan]"},
    {Amd, 6, 8, 8, "AMD Athlon [Thoroughbred]"},
    {Amd, 6, 10, 10, "AMD Athlon [Barton]"},
    {Amd, 15, 4, 4, "AMD Athlon 64"},
    {Amd, 15, 5, 5, "AMD Athlon 64 FX / Opteron"},
};

void AppendRegister(std::string& s, std::uint32_t r) {
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((r >> (8 * i)) & 0xFF);
}

struct TFlag {
    bool Extended;
    bool InEdx;
    int Bit;
    std::string_view Name;
};
constexpr TFlag Flags[] = {
    {false, true, 23, " MMX"},     {false, true, 25, " SSE"},     {false, true, 26, " SSE2"},
    {false, false, 0, " SSE3"},    {false, false, 9, " SSSE3"},   {true, false, 6, " SSE4A"},
    {false, false, 19, " SSE4.1"}, {false, false, 20, " SSE4.2"}, {false, false, 11, " SSE5"},
};

} // namespace

TCpuFacts CpuFactsFrom(const std::function<bool(std::uint32_t, TCpuidRegs&)>& Query) {
    TCpuFacts f;
    TCpuidRegs r;
    if (!Query(0, r)) return f;
    f.HasCpuid = true;
    f.MaxLeaf = r.Eax;
    AppendRegister(f.VendorId, r.Ebx);
    AppendRegister(f.VendorId, r.Edx);
    AppendRegister(f.VendorId, r.Ecx);
    if (f.MaxLeaf >= 1) Query(1, f.Leaf1);
    if (Query(0x80000000u, r)) f.MaxExtLeaf = r.Eax;
    if (f.MaxExtLeaf >= 0x80000001u) Query(0x80000001u, f.Ext1);
    if (f.MaxExtLeaf >= 0x80000004u)
        for (std::uint32_t leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
            TCpuidRegs b;
            Query(leaf, b);
            AppendRegister(f.Brand, b.Eax);
            AppendRegister(f.Brand, b.Ebx);
            AppendRegister(f.Brand, b.Ecx);
            AppendRegister(f.Brand, b.Edx);
        }
    return f;
}

int CpuVendorIndex(std::string_view VendorId) {
    for (int i = static_cast<int>(Vendors.size()) - 1; i >= 1; --i)
        if (Vendors[i].Id == VendorId) return i;
    return 0;
}

std::string_view CpuVendorName(int Index) {
    return Index >= 0 && Index < static_cast<int>(Vendors.size()) ? Vendors[Index].Name
                                                                  : Vendors[0].Name;
}

std::string_view CpuModelName(std::string_view VendorId, std::uint32_t Family,
                              std::uint32_t Model) {
    for (const TModelName& m : ModelNames)
        if (m.Vendor == VendorId && m.Family == Family && Model >= m.FirstModel &&
            Model <= m.LastModel)
            return m.Name;
    return {};
}

std::string CpuDescription(const TCpuFacts& Facts) {
    if (Facts.MaxLeaf == 0) return {};
    const std::uint32_t eax = Facts.Leaf1.Eax;
    const std::uint32_t stepping = eax & 0xF, type = (eax >> 12) & 0x3;
    std::uint32_t model = (eax >> 4) & 0xF, family = (eax >> 8) & 0xF;
    const bool extended = family == 15;
    if (extended) {
        model |= ((eax >> 16) & 0xF) << 4;
        family |= ((eax >> 20) & 0xFF) << 4;
    }
    // The vendor id as a C string: a zero byte inside it ends it.
    const std::string vendor(Facts.VendorId.c_str());
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  extended ? "%s, type %.1X, family %.3X, model %.2X, stepping %.1X"
                           : "%s, type %.1X, family %.1X, model %.1X, stepping %.1X",
                  vendor.c_str(), type, family, model, stepping);
    std::string text = buf;
    if (Facts.MaxExtLeaf >= 0x80000004u) {
        std::string brand(Facts.Brand.c_str()); // up to the first zero byte
        brand.erase(0, brand.find_first_not_of(' ') == std::string::npos
                           ? brand.size()
                           : brand.find_first_not_of(' '));
        return brand + " (" + text + ")";
    }
    const std::string_view name = CpuModelName(Facts.VendorId, family, model);
    return name.empty() ? text : std::string(name) + " (" + text + ")";
}

std::string CpuTextFrom(const TCpuFacts& Facts, double Hz) {
    return CpuDescription(Facts) + ", " + FormatFixed(Hz / 1000000.0, 1) + " MHz";
}

std::string CpuFeaturesFrom(const TCpuFacts& Facts) {
    if (!Facts.HasCpuid) return std::string(CpuVendorName(0));
    std::string text(CpuVendorName(CpuVendorIndex(Facts.VendorId)));
    for (const TFlag& flag : Flags) {
        std::uint32_t reg = 0;
        if (flag.Extended) {
            if (Facts.MaxExtLeaf < 0x80000001u) continue;
            reg = flag.InEdx ? Facts.Ext1.Edx : Facts.Ext1.Ecx;
        } else {
            if (Facts.MaxLeaf < 1) continue;
            reg = flag.InEdx ? Facts.Leaf1.Edx : Facts.Leaf1.Ecx;
        }
        if ((reg >> flag.Bit) & 1) text += flag.Name;
    }
    return text;
}

const TCpuFacts& ThisCpu() {
    static const TCpuFacts facts = CpuFactsFrom(CpuidQuery);
    return facts;
}

std::string CpuText() {
    return CpuTextFrom(ThisCpu(), CpuSpeedMHz());
}

std::string CpuFeaturesText() {
    return CpuFeaturesFrom(ThisCpu());
}

} // namespace pelvarn
