// Which compiler or installer built an executable, told from marker strings in its bytes,
// its Windows executable header and one resource name. Portable: the file is read as plain
// bytes, never loaded.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelvarn {

inline constexpr int SignatureStringCount = 17;
inline constexpr int SignatureNameCount = 9;

// The markers, searched in upper case without regard to the file's case. Index 16 is the
// suite's own build marker for its GUI programs: it overrides every other score. They are
// kept reversed in the program's own bytes, so that signing this program does not find them.
const std::array<std::string, SignatureStringCount>& SignatureStrings();
// "Unknown", "Lahey F77", "Lahey LF90", "Lahey LF95", "Intel Fortran", "GFortran",
// "Delphi", "InnoInstaller", "WiseInstaller".
extern const std::array<std::string_view, SignatureNameCount> SignatureNames;

// The bitness and large-address text: " LAAunknown Win?" when the file has no readable
// Windows executable header, else " isLAA" / " notLAA" followed by " Win32", " Win64" or
// " Win?" by the header's machine field.
std::string LaaText(const std::string& FileName, bool& LargeAddressAware, bool& Is64Bit);
std::string LaaText(const std::string& FileName);

// True when the file is a Windows executable whose raw-data resources (RT_RCDATA) hold one
// named exactly "DVCLAL". A file without a readable resource directory gives false.
bool HasDelphiResource(const std::string& FileName);

// Signature: the result name, "(Kalvern)" when the suite's marker is present, one space and
// the LaaText; "Error" when the file cannot be opened or read. Flavour: "Old Lahey",
// "New Fujitsu", "None", or "?" when the file cannot be read. Never throws.
void GetExeSig(const std::string& FileName, std::string& Signature, std::string& Flavour);
std::string GetExeSig(const std::string& FileName);

// The scoring of GetExeSig on the set of markers found (bit i for marker i), for callers
// that already know them: the winning index into SignatureNames.
int SignatureWinner(std::uint32_t MarkersFound, bool HasDelphiRes);
std::string_view SignatureFlavour(int Winner);

// Scans bytes for the markers the way GetExeSig reads a file: in blocks of
// SignatureBlockSize that do not overlap, zero bytes read as blanks, ASCII case folded.
inline constexpr std::size_t SignatureBlockSize = 2048;
class TSignatureScanner {
  public:
    // Vector instructions are used where the processor has them; Portable forces the plain
    // code path, NoWide the 16-byte vector path (the tests check that all find the same).
    explicit TSignatureScanner(bool Portable = false, bool NoWide = false);
    // Adds one whole block (SignatureBlockSize bytes, or fewer for the last one).
    void ScanBlock(const unsigned char* Data, std::size_t Size);
    std::uint32_t Found() const { return FoundMask; }

  private:
    void ScanFolded(const unsigned char* Data, std::size_t Size);
    void ScanVector(const unsigned char* Data, std::size_t Size);
    void Verify(const unsigned char* Folded, std::size_t Size, std::size_t Start,
                std::uint32_t Candidates);
    void VerifyRaw(const unsigned char* Data, std::size_t Size, std::size_t Start,
                   std::uint32_t Candidates);
    void BuildVectorTables();
    bool UseVector = false, UseWideVector = false;
    // The vector path's nibble tables, for the markers not found yet (rebuilt as they are).
    alignas(16) unsigned char VecLow[4][16] = {}, VecHigh[4][16] = {};
    std::uint32_t TablesFor = ~std::uint32_t{0};
    std::uint32_t FoundMask = 0;
    std::array<unsigned char, SignatureBlockSize + 8> Folded{};
};

} // namespace pelvarn
