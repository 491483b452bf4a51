#include "diag/exesig.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "diag/pefile.h"
#include "platform/fileio.h"

namespace pelvarn {

namespace {

// The markers as the program stores them: each written backwards.
constexpr std::array<std::string_view, SignatureStringCount> ReversedMarkers = {
    "IHPLED\\DNALROB",
    ".CNI SMETSYS RETUPMOC YEHAL",
    "NREVLAK",
    "V59FL",
    "_LAGILLI_",
    "PAL RAHP",
    "MMV|683",
    "rewop tib-23",
    "RORRE KCOLDAED",
    "LTR nartroF letnI",
    "nartrofgbil",
    "wgnim",
    "ccg",
    "noitaroproc",
    "wodniWrdLputeSonnI",
    "niamesiw",
    "ihpledvk",
};

enum : int { MarkDelphi = 0, MarkLahey = 1, MarkKalvern = 2, MarkOverride = 16 };

inline unsigned char FoldByte(unsigned char c) {
    // Zero reads as a blank; a-z as A-Z; every other byte unchanged. Branch-free, so the
    // block loop below vectorises.
    c = static_cast<unsigned char>(c - (static_cast<unsigned char>(c - 'a') < 26 ? 32 : 0));
    return c == 0 ? static_cast<unsigned char>(' ') : c;
}

// Upper-case markers and the set of byte pairs found at their first two offsets. Every
// marker is at least three bytes long, so each occurrence puts one of those two pairs at an
// even offset of the block: testing the even offsets alone misses nothing.
struct TMarkerTable {
    std::array<std::string, SignatureStringCount> Plain;
    std::array<std::string, SignatureStringCount> Upper;
    std::array<std::uint64_t, 65536 / 64> PairBits{};

    TMarkerTable() {
        for (int i = 0; i < SignatureStringCount; ++i) {
            Plain[i].assign(ReversedMarkers[i].rbegin(), ReversedMarkers[i].rend());
            for (char c : Plain[i]) Upper[i] += static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
            for (std::size_t at = 0; at < 2; ++at) {
                unsigned key = static_cast<unsigned char>(Upper[i][at]) |
                               static_cast<unsigned char>(Upper[i][at + 1]) << 8;
                PairBits[key >> 6] |= std::uint64_t{1} << (key & 63);
            }
        }
    }
};

const TMarkerTable& Markers() {
    static const TMarkerTable table;
    return table;
}

constexpr std::uint32_t AllMarkers = (std::uint32_t{1} << SignatureStringCount) - 1;

} // namespace

const std::array<std::string, SignatureStringCount>& SignatureStrings() { return Markers().Plain; }

const std::array<std::string_view, SignatureNameCount> SignatureNames = {
    "Unknown", "Lahey F77", "Lahey LF90",    "Lahey LF95",    "Intel Fortran",
    "GFortran", "Delphi",   "InnoInstaller", "WiseInstaller",
};

TSignatureScanner::TSignatureScanner() { Markers(); }

void TSignatureScanner::ScanBlock(const unsigned char* Data, std::size_t Size) {
    if (FoundMask == AllMarkers) return;
    Size = std::min(Size, SignatureBlockSize);
    unsigned char* f = Folded.data();
    for (std::size_t i = 0; i < Size; ++i) f[i] = FoldByte(Data[i]);
    f[Size] = 0; // no marker holds a zero: a pair read past the end never matches
    const TMarkerTable& table = Markers();
    for (std::size_t i = 0; i + 1 < Size; i += 2) {
        unsigned key = f[i] | f[i + 1] << 8;
        if (!((table.PairBits[key >> 6] >> (key & 63)) & 1)) continue;
        for (int m = 0; m < SignatureStringCount; ++m) {
            if (FoundMask & (std::uint32_t{1} << m)) continue;
            const std::string& marker = table.Upper[m];
            for (std::size_t start = (i == 0 ? 0 : i - 1); start <= i; ++start)
                if (start + marker.size() <= Size &&
                    std::memcmp(f + start, marker.data(), marker.size()) == 0) {
                    FoundMask |= std::uint32_t{1} << m;
                    break;
                }
        }
    }
}

int SignatureWinner(std::uint32_t MarkersFound, bool HasDelphiRes) {
    auto has = [&](int m) { return (MarkersFound >> m) & 1; };
    std::array<std::int32_t, SignatureNameCount> score{};
    if (has(MarkOverride)) {
        score[6] = 12;
    } else {
        if (has(0)) score[6] += 1 + (HasDelphiRes ? 20 : 0);
        if (has(1)) score[1] += 1, score[2] += 2;
        if (has(3)) score[3] += 1;
        if (has(4)) score[3] += 1;
        if (has(6)) score[1] += 1;
        if (has(7)) score[1] += 1;
        if (has(8)) score[3] += 1;
        if (has(9)) score[4] += 5;
        if (has(10)) score[5] += 5;
        if (has(11)) score[5] += 2;
        if (has(12)) score[5] += 1;
        if (has(14)) score[7] += 12;
        if (has(15)) score[8] += 12;
    }
    int winner = 0;
    for (int i = 1; i < SignatureNameCount; ++i)
        if (score[i] > score[winner]) winner = i;
    return winner;
}

std::string_view SignatureFlavour(int Winner) {
    switch (Winner) {
    case 1:
    case 2: return "Old Lahey";
    case 3:
    case 4:
    case 5: return "New Fujitsu";
    default: return "None";
    }
}

std::string LaaText(const std::string& FileName, bool& LargeAddressAware, bool& Is64Bit) {
    LargeAddressAware = false;
    Is64Bit = false;
    TPeHeaders pe;
    if (!ReadPeHeaders(FileName, pe)) return " LAAunknown Win?";
    LargeAddressAware = (pe.Characteristics & 0x0020) != 0;
    std::string text = LargeAddressAware ? " isLAA" : " notLAA";
    if (pe.Machine == 0x014C) {
        text += " Win32";
    } else if (pe.Machine == 0x8664) {
        text += " Win64";
        Is64Bit = true;
    } else {
        text += " Win?";
    }
    return text;
}

std::string LaaText(const std::string& FileName) {
    bool laa = false, is64 = false;
    return LaaText(FileName, laa, is64);
}

bool HasDelphiResource(const std::string& FileName) {
    bool found = false;
    EnumRcDataNames(FileName, [&](std::string_view name) {
        found = name == "DVCLAL";
        return !found;
    });
    return found;
}

void GetExeSig(const std::string& FileName, std::string& Signature, std::string& Flavour) {
    Flavour = "?";
    const std::string laa = LaaText(FileName);
    TInFile in;
    std::string sysMessage;
    if (!in.Open(FileName, sysMessage)) {
        Signature = "Error";
        return;
    }
    // Read in large pieces, scanned as the 2048-byte blocks the rules are made of; the last
    // block is the short one (possibly empty) that ends the file.
    TSignatureScanner scanner;
    std::vector<unsigned char> buffer(64 * SignatureBlockSize);
    try {
        for (;;) {
            std::size_t got = 0;
            while (got < buffer.size()) {
                std::size_t n = in.Read(reinterpret_cast<char*>(buffer.data()) + got, buffer.size() - got);
                if (n == 0) break;
                got += n;
            }
            for (std::size_t at = 0; at < got; at += SignatureBlockSize)
                scanner.ScanBlock(buffer.data() + at, std::min(SignatureBlockSize, got - at));
            if (got < buffer.size()) break;
        }
    } catch (const TFileError&) {
        in.Close();
        Signature = "Error";
        return;
    }
    in.Close();
    const std::uint32_t found = scanner.Found();
    const bool delphiRes = (found & 1) && !(found >> MarkOverride & 1) && HasDelphiResource(FileName);
    const int winner = SignatureWinner(found, delphiRes);
    Flavour = SignatureFlavour(winner);
    Signature = std::string(SignatureNames[winner]) + ((found >> MarkKalvern & 1) ? "(Kalvern)" : "") + " " + laa;
}

std::string GetExeSig(const std::string& FileName) {
    std::string signature, flavour;
    GetExeSig(FileName, signature, flavour);
    return signature;
}

} // namespace pelvarn
