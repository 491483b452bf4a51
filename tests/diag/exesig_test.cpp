#include <gtest/gtest.h>

#include <cstring>

#include "diag/exesig.h"
#include "support/tempdir.h"

using namespace pelvarn;
using pelvarn::test::TTempDir;

namespace {

void Put16(std::string& b, std::size_t at, unsigned v) {
    if (b.size() < at + 2) b.resize(at + 2, '\0');
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// A resource directory: one type entry (TypeId) whose sub-directory lists Names, each a
// string-named entry. Offsets are from the directory's start.
std::string ResourceTree(unsigned typeId, const std::vector<std::string>& names) {
    std::string r;
    Put16(r, 14, 1); // root: one numbered entry
    Put32(r, 16, typeId);
    Put32(r, 20, 0x80000000u | 24); // its sub-directory at 24
    Put16(r, 24 + 12, static_cast<unsigned>(names.size()));
    std::size_t strings = 24 + 16 + names.size() * 8;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Put32(r, 24 + 16 + i * 8, 0x80000000u | static_cast<std::uint32_t>(strings));
        Put32(r, 24 + 16 + i * 8 + 4, 0x80000000u | 24);
        Put16(r, strings, static_cast<unsigned>(names[i].size()));
        for (std::size_t c = 0; c < names[i].size(); ++c)
            Put16(r, strings + 2 + 2 * c, static_cast<unsigned char>(names[i][c]));
        strings += 2 + 2 * names[i].size();
    }
    return r;
}

// A minimal executable image: DOS header, NT headers at 0x40, one section at file offset
// 0x200 (address 0x1000) holding Resources, and then Tail.
std::string MakePe(unsigned machine, unsigned characteristics, bool pe64,
                   const std::string& resources = "", const std::string& tail = "") {
    std::string b(0x200, '\0');
    b[0] = 'M', b[1] = 'Z';
    Put32(b, 0x3C, 0x40);
    std::memcpy(&b[0x40], "PE\0\0", 4);
    const std::size_t fh = 0x44, opt = fh + 20, optSize = pe64 ? 240 : 224, fixed = pe64 ? 112 : 96;
    Put16(b, fh, machine);
    Put16(b, fh + 2, 1);
    Put16(b, fh + 16, optSize);
    Put16(b, fh + 18, characteristics);
    Put16(b, opt, pe64 ? 0x20B : 0x10B);
    Put32(b, opt + fixed - 4, 16);
    if (!resources.empty()) {
        Put32(b, opt + fixed + 16, 0x1000);
        Put32(b, opt + fixed + 20, static_cast<std::uint32_t>(resources.size()));
    }
    const std::size_t sec = opt + optSize;
    Put32(b, sec + 8, static_cast<std::uint32_t>(resources.size()));
    Put32(b, sec + 12, 0x1000);
    Put32(b, sec + 16, static_cast<std::uint32_t>(resources.size()));
    Put32(b, sec + 20, 0x200);
    return b + resources + tail;
}

} // namespace

TEST(ExeSig, ScoresMarkersFoundAnywhereInTheFile) {
    struct TCase {
        std::string Content, Signature, Flavour;
    };
    const std::string kv = "kv"
                           "delphi"; // kept apart so this program's own bytes stay neutral
    const TCase cases[] = {
        {"", "Unknown  LAAunknown Win?", "None"},
        {"xx LAHEY COMPUTER SYSTEMS INC. yy LF95V", "Lahey LF90  LAAunknown Win?", "Old Lahey"},
        {"libgfortran Intel Fortran RTL", "Intel Fortran  LAAunknown Win?",
         "New Fujitsu"}, // tie: lower index
        {"BORLAND\\DELPHI", "Delphi  LAAunknown Win?", "None"},
        {"BORLAND\\DELPHI and MinGW", "GFortran  LAAunknown Win?", "New Fujitsu"},
        {"_illigal_ gcc", "Lahey LF95  LAAunknown Win?", "New Fujitsu"}, // 1 against 1
        {std::string("deadlock\0error", 14), "Lahey LF95  LAAunknown Win?",
         "New Fujitsu"}, // zero reads as blank
        {"386|VMM 32-BIT POWER lf95v _ILLIGAL_", "Lahey F77  LAAunknown Win?",
         "Old Lahey"}, // 2 against 2
        {"Phar Lap Corporation", "Unknown  LAAunknown Win?", "None"},
        {"InnoSetupLdrWindow libgfortran mingw gcc", "InnoInstaller  LAAunknown Win?", "None"},
        {"WISEMAIN", "WiseInstaller  LAAunknown Win?", "None"},
        {"kalvern gcc", "GFortran(Kalvern)  LAAunknown Win?", "New Fujitsu"},
        {kv + " InnoSetupLdrWindow libgfortran KALVERN", "Delphi(Kalvern)  LAAunknown Win?",
         "None"},
    };
    TTempDir dir;
    for (const TCase& c : cases) {
        std::string sig, flavour;
        GetExeSig(dir.Write("f.bin", std::string(1000, 'x') + c.Content), sig, flavour);
        EXPECT_EQ(sig, c.Signature) << c.Content;
        EXPECT_EQ(flavour, c.Flavour) << c.Content;
    }
    // Read ahead in pieces: a marker after many pieces is still found, in the block it is in.
    const std::string many(9 * 512 * SignatureBlockSize + 100, 'x');
    EXPECT_EQ(GetExeSig(dir.Write("big.bin", many + "wisemain")), "WiseInstaller  LAAunknown Win?");
    // Many hand-overs between the reading and the scanning thread: a lost wake-up hangs here.
    const std::string three =
        dir.Write("three.bin", std::string(5 * 128 * SignatureBlockSize / 2, 'x'));
    for (int round = 0; round < 300; ++round)
        ASSERT_EQ(GetExeSig(three), "Unknown  LAAunknown Win?") << round;
    for (const std::string& bad : {dir.File("missing.exe"), dir.Path()}) {
        std::string sig, flavour = "x";
        GetExeSig(bad, sig, flavour);
        EXPECT_EQ(sig, "Error") << bad;
        EXPECT_EQ(flavour, "?");
    }
}

TEST(ExeSig, BlocksDoNotOverlapAndEveryOffsetIsSeen) {
    // Each marker at every offset near the start, the middle and the end of a block, and across a
    // boundary (not seen), in blocks full of near misses; with and without vector code.
    const auto& markers = SignatureStrings();
    for (int path = 0; path < 3; ++path) { // vector 32, vector 16, plain
        const bool portable = path == 2;
        for (int m = 0; m < SignatureStringCount; ++m) {
            const std::string& mark = markers[m];
            for (std::size_t at :
                 {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{17},
                  SignatureBlockSize / 2 - 20, SignatureBlockSize / 2 - 14,
                  SignatureBlockSize / 2 - 2, SignatureBlockSize / 2 + 1,
                  SignatureBlockSize - mark.size() - 1, SignatureBlockSize - mark.size(),
                  SignatureBlockSize - mark.size() + 1, SignatureBlockSize - 1}) {
                std::string data(3 * SignatureBlockSize, ' ');
                for (std::size_t i = 0; i + 3 < data.size(); i += 4)
                    data.replace(i, 3, mark.substr(0, std::min<std::size_t>(3, mark.size() - 1)));
                data.replace(at, mark.size(), mark);
                TSignatureScanner scan(portable, path == 1);
                for (std::size_t b = 0; b < data.size(); b += SignatureBlockSize)
                    scan.ScanBlock(reinterpret_cast<const unsigned char*>(data.data()) + b,
                                   SignatureBlockSize);
                const bool inside = at + mark.size() <= SignatureBlockSize;
                EXPECT_EQ(scan.Found(), inside ? 1u << m : 0u)
                    << mark << " at " << at << " path " << path;
            }
        }
        // Every byte value in a marker's last place and in the place of its blank: only the
        // two cases of the letter, and a blank or a zero byte, complete it.
        for (unsigned c = 0; c < 256; ++c) {
            for (std::size_t at : {std::size_t{5}, std::size_t{30}}) {
                std::string block(64, 'x');
                block.replace(at, 8, "wisemai");
                block[at + 7] = static_cast<char>(c);
                block.replace(at + 10, 14, "Deadlock_Error");
                block[at + 18] = static_cast<char>(c);
                TSignatureScanner scan(portable, path == 1);
                scan.ScanBlock(reinterpret_cast<const unsigned char*>(block.data()), block.size());
                EXPECT_EQ((scan.Found() >> 15 & 1) != 0, c == 'n' || c == 'N') << c;
                EXPECT_EQ((scan.Found() >> 8 & 1) != 0, c == 0 || c == ' ') << c;
            }
        }
    }
    // Through the file reader: split over the first boundary, then whole in the second block.
    TTempDir dir;
    std::string split(SignatureBlockSize - 4, 'x');
    EXPECT_EQ(GetExeSig(dir.Write("a", split + "wisemain")), "Unknown  LAAunknown Win?");
    EXPECT_EQ(GetExeSig(dir.Write("b", split + "....wisemain")), "WiseInstaller  LAAunknown Win?");
    EXPECT_EQ(GetExeSig(dir.Write("c", std::string(SignatureBlockSize, 'x'))),
              "Unknown  LAAunknown Win?");
    // Files of several read pieces (128 KB): a marker on a piece boundary is whole in the
    // block after it; one across a block boundary is not seen.
    const std::size_t piece = 64 * SignatureBlockSize;
    struct TBig {
        std::size_t Size, At;
        std::string Mark, Want;
    };
    const TBig big[] = {
        {3 * piece, piece, "wisemain", "WiseInstaller  LAAunknown Win?"},
        {3 * piece + 5, 3 * piece - 4, "wisemain", "Unknown  LAAunknown Win?"},
        {5 * piece / 2, 5 * piece / 2 - 8, "wisemain", "WiseInstaller  LAAunknown Win?"},
        {2 * piece, piece - 3, "gcc", "GFortran  LAAunknown Win?"},
        {2 * piece, piece - 2, "gcc", "Unknown  LAAunknown Win?"},
    };
    for (const TBig& b : big) {
        std::string data(b.Size, '\0');
        data.replace(b.At, b.Mark.size(), b.Mark);
        EXPECT_EQ(GetExeSig(dir.Write("big", data)), b.Want) << b.Size << " " << b.At;
    }
}

TEST(ExeSig, BitnessAndLargeAddressFromTheHeader) {
    struct TCase {
        std::string Bytes, Text;
        bool Laa, Is64;
    };
    std::string badSig = MakePe(0x14C, 0, false);
    badSig[0x41] = 'X';
    std::string farHeader = MakePe(0x14C, 0, false);
    Put32(farHeader, 0x3C, 0xFFFFFFF0u);
    const TCase cases[] = {
        {MakePe(0x14C, 0x0102, false), " notLAA Win32", false, false},
        {MakePe(0x14C, 0x0122, false), " isLAA Win32", true, false},
        {MakePe(0x8664, 0x0022, true), " isLAA Win64", true, true},
        {MakePe(0x8664, 0x0002, true), " notLAA Win64", false, true},
        {MakePe(0xAA64, 0x0022, true), " isLAA Win?", true, false},
        {MakePe(0x14C, 0, false).substr(0, 0x50), " LAAunknown Win?", false,
         false}, // cut in the file header
        {"MZ", " LAAunknown Win?", false, false},
        {badSig, " LAAunknown Win?", false, false},
        {farHeader, " LAAunknown Win?", false, false},
        {"ZM" + MakePe(0x14C, 0, false).substr(2), " LAAunknown Win?", false, false},
    };
    TTempDir dir;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        bool laa = !cases[i].Laa, is64 = !cases[i].Is64;
        EXPECT_EQ(LaaText(dir.Write("h.exe", cases[i].Bytes), laa, is64), cases[i].Text) << i;
        EXPECT_EQ(laa, cases[i].Laa) << i;
        EXPECT_EQ(is64, cases[i].Is64) << i;
    }
    EXPECT_EQ(GetExeSig(dir.Write("g.exe", MakePe(0x8664, 0x22, true, "", "libgfortran"))),
              "GFortran  isLAA Win64");
}

TEST(ExeSig, DelphiResourceAndItsBonus) {
    const std::string good = ResourceTree(10, {"PACKAGEINFO", "DVCLAL"});
    std::string loop = good; // the type's sub-directory is the root itself
    Put32(loop, 20, 0x80000000u);
    std::string outside = good; // sub-directory far beyond the section
    Put32(outside, 20, 0x80000000u | 0x7FFFFFF0u);
    std::string hugeCount = good; // claims 65535 names in a small section
    Put16(hugeCount, 24 + 12, 0xFFFF);
    std::string badString = good; // string offset past the end
    Put32(badString, 24 + 16 + 8, 0x80000000u | 0x00FFFFFFu);
    std::string truncated = MakePe(0x14C, 0, false, good);
    truncated.resize(truncated.size() - 6);
    struct TCase {
        std::string Bytes;
        bool Has;
    };
    const TCase cases[] = {
        {MakePe(0x14C, 0, false, good), true},
        {MakePe(0x8664, 0, true, good), true},
        {MakePe(0x14C, 0, false, ResourceTree(10, {"dvclal"})), false},
        {MakePe(0x14C, 0, false, ResourceTree(10, {"DVCLALX", "DVCLA"})), false},
        {MakePe(0x14C, 0, false, ResourceTree(3, {"DVCLAL"})), false},
        {MakePe(0x14C, 0, false, loop), false},
        {MakePe(0x14C, 0, false, outside), false},
        {MakePe(0x14C, 0, false, hugeCount), true},
        {MakePe(0x14C, 0, false, badString), false},
        {truncated, false},
        {MakePe(0x14C, 0, false), false},
        {"not an executable at all", false},
    };
    TTempDir dir;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(HasDelphiResource(dir.Write("r.exe", cases[i].Bytes)), cases[i].Has) << i;

    // 1 + 20 for the marker with the resource beats GFortran's 8; without it, it loses.
    const std::string tail = "BORLAND\\DELPHI libgfortran mingw gcc";
    EXPECT_EQ(GetExeSig(dir.Write("d.exe", MakePe(0x14C, 0, false, good, tail))),
              "Delphi  notLAA Win32");
    EXPECT_EQ(
        GetExeSig(dir.Write("e.exe", MakePe(0x14C, 0, false, ResourceTree(10, {"OTHER"}), tail))),
        "GFortran  notLAA Win32");
    EXPECT_EQ(SignatureWinner(1u << 0 | 1u << 14, true), 6); // 21 against 12
    EXPECT_EQ(SignatureWinner(1u << 0 | 1u << 14, false), 7);
}

#ifdef _WIN32
#include <windows.h>

namespace {

// The same question asked of the system: the file loaded as a resource-only data file.
bool SystemHasDelphiResource(const std::string& file) {
    HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    bool found = false;
    EnumResourceNamesA(
        module, MAKEINTRESOURCEA(10),
        [](HMODULE, LPCSTR, LPSTR name, LONG_PTR found) -> BOOL {
            if (IS_INTRESOURCE(name) || std::strcmp(name, "DVCLAL") != 0) return TRUE;
            *reinterpret_cast<bool*>(found) = true;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    FreeLibrary(module);
    return found;
}

} // namespace

TEST(ExeSig, ResourceReaderAgreesWithTheSystemLoader) {
    TTempDir dir;
    std::vector<std::string> files;
    const std::vector<std::string> trees = {ResourceTree(10, {"PACKAGEINFO", "DVCLAL"}),
                                            ResourceTree(10, {"dvclal"}),
                                            ResourceTree(3, {"DVCLAL"})};
    for (std::size_t i = 0; i < trees.size(); ++i) {
        files.push_back(
            dir.Write("r" + std::to_string(i) + ".exe", MakePe(0x8664, 0x22, true, trees[i])));
        files.push_back(
            dir.Write("s" + std::to_string(i) + ".exe", MakePe(0x14C, 0x2, false, trees[i])));
    }
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    files.push_back(self);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    files.push_back(std::string(system) + "\\kernel32.dll");
    files.push_back(std::string(system) + "\\comctl32.dll");
    files.push_back(dir.Write("plain.txt", "not an executable"));
    for (const std::string& f : files)
        EXPECT_EQ(HasDelphiResource(f), SystemHasDelphiResource(f)) << f;
    EXPECT_TRUE(SystemHasDelphiResource(files[0])); // the crafted image is one the system accepts
}
#endif
