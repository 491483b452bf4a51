#include "diag/pefile.h"

#include <array>
#include <fstream>
#include <vector>

namespace pelvarn {

namespace {

// Random access to a file's bytes; a read that would pass the end fails.
class TByteFile {
  public:
    explicit TByteFile(const std::string& name) : In(name, std::ios::binary) {
        if (!In) return;
        In.seekg(0, std::ios::end);
        std::streamoff end = In.tellg();
        if (end < 0) return;
        Size = static_cast<std::uint64_t>(end);
        Ok = true;
    }
    bool IsOpen() const { return Ok; }
    std::uint64_t FileSize() const { return Size; }

    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
        if (!Ok || offset > Size || count > Size - offset) return false;
        In.clear();
        In.seekg(static_cast<std::streamoff>(offset));
        In.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
        return In.gcount() == static_cast<std::streamsize>(count);
    }
    bool U16(std::uint64_t offset, std::uint16_t& v) {
        unsigned char b[2];
        if (!ReadAt(offset, b, 2)) return false;
        v = static_cast<std::uint16_t>(b[0] | b[1] << 8);
        return true;
    }
    bool U32(std::uint64_t offset, std::uint32_t& v) {
        unsigned char b[4];
        if (!ReadAt(offset, b, 4)) return false;
        v = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        return true;
    }

  private:
    std::ifstream In;
    std::uint64_t Size = 0;
    bool Ok = false;
};

constexpr std::uint16_t MaxSections = 96; // the most a loadable image may have

bool ReadHeaders(TByteFile& file, TPeHeaders& h) {
    h = TPeHeaders{};
    std::uint16_t mz = 0;
    std::uint32_t ntOffset = 0, signature = 0;
    if (!file.U16(0, mz) || mz != 0x5A4D) return false;
    if (!file.U32(0x3C, ntOffset) || !file.U32(ntOffset, signature) || signature != 0x00004550)
        return false;
    const std::uint64_t fileHeader = std::uint64_t{ntOffset} + 4;
    std::uint16_t optionalSize = 0;
    if (!file.U16(fileHeader, h.Machine) || !file.U16(fileHeader + 2, h.NumberOfSections) ||
        !file.U16(fileHeader + 16, optionalSize) || !file.U16(fileHeader + 18, h.Characteristics))
        return false;
    const std::uint64_t optional = fileHeader + 20;
    h.SectionTable = optional + optionalSize;
    std::uint16_t magic = 0;
    if (optionalSize < 2 || !file.U16(optional, magic)) return true;
    // The data directories follow the fixed part of the optional header; the resource
    // directory is entry 2. A directory the header does not cover counts as absent.
    std::uint32_t fixedPart = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
    if (fixedPart == 0) return true;
    h.OptionalMagic = magic;
    std::uint32_t dirCount = 0;
    if (!file.U32(optional + fixedPart - 4, dirCount) || dirCount < 3) return true;
    const std::uint32_t resEntry = fixedPart + 2 * 8;
    if (resEntry + 8 > optionalSize) return true;
    std::uint32_t rva = 0, size = 0;
    if (file.U32(optional + resEntry, rva) && file.U32(optional + resEntry + 4, size) && rva != 0 &&
        size != 0) {
        h.ResourceRva = rva;
        h.ResourceSize = size;
    }
    return true;
}

// The resource section as it lies in the file: RVAs inside the resource directory's range
// are turned into file offsets through the section that holds them.
class TResourceView {
  public:
    TResourceView(TByteFile& file, const TPeHeaders& h)
        : File(file), Rva(h.ResourceRva), Size(h.ResourceSize) {
        if (h.NumberOfSections == 0 || h.NumberOfSections > MaxSections) return;
        for (std::uint16_t i = 0; i < h.NumberOfSections; ++i) {
            const std::uint64_t at = h.SectionTable + std::uint64_t{i} * 40;
            std::uint32_t vsize = 0, va = 0, rawSize = 0, rawPtr = 0;
            if (!File.U32(at + 8, vsize) || !File.U32(at + 12, va) || !File.U32(at + 16, rawSize) ||
                !File.U32(at + 20, rawPtr))
                return;
            Sections.push_back({va, std::max(vsize, rawSize), rawSize, rawPtr});
        }
    }

    // Reads count bytes at offset (from the start of the resource directory).
    bool ReadAt(std::uint32_t offset, void* buffer, std::size_t count) {
        if (offset >= Size || count > Size - offset) return false;
        const std::uint64_t rva = std::uint64_t{Rva} + offset;
        for (const TSection& s : Sections) {
            if (rva < s.Va || rva + count > std::uint64_t{s.Va} + s.Span) continue;
            const std::uint64_t inSection = rva - s.Va;
            if (inSection + count > s.RawSize) return false; // beyond the bytes in the file
            return File.ReadAt(std::uint64_t{s.RawPtr} + inSection, buffer, count);
        }
        return false;
    }
    bool U16(std::uint32_t offset, std::uint16_t& v) {
        unsigned char b[2];
        if (!ReadAt(offset, b, 2)) return false;
        v = static_cast<std::uint16_t>(b[0] | b[1] << 8);
        return true;
    }
    bool U32(std::uint32_t offset, std::uint32_t& v) {
        unsigned char b[4];
        if (!ReadAt(offset, b, 4)) return false;
        v = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        return true;
    }

    // Entries of the directory at offset: (name or id word, data word) pairs. False when
    // the directory header itself cannot be read; entries that cannot be read end the list.
    bool Entries(std::uint32_t offset, std::vector<std::array<std::uint32_t, 2>>& out) {
        out.clear();
        std::uint16_t named = 0, ids = 0;
        if (!U16(offset + 12, named) || !U16(offset + 14, ids)) return false;
        const std::uint32_t count = std::uint32_t{named} + ids;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t nameWord = 0, dataWord = 0;
            const std::uint64_t at = std::uint64_t{offset} + 16 + std::uint64_t{i} * 8;
            if (at + 8 > Size || !U32(static_cast<std::uint32_t>(at), nameWord) ||
                !U32(static_cast<std::uint32_t>(at + 4), dataWord))
                break;
            out.push_back({nameWord, dataWord});
        }
        return true;
    }

  private:
    struct TSection {
        std::uint32_t Va, Span, RawSize, RawPtr;
    };
    TByteFile& File;
    std::uint32_t Rva, Size;
    std::vector<TSection> Sections;
};

constexpr std::uint32_t HighBit = 0x80000000u;
constexpr std::uint32_t RtRcData = 10;

} // namespace

bool ReadPeHeaders(const std::string& FileName, TPeHeaders& Headers) {
    TByteFile file(FileName);
    return file.IsOpen() && ReadHeaders(file, Headers);
}

bool EnumRcDataNames(const std::string& FileName,
                     const std::function<bool(std::string_view)>& Visit) {
    TByteFile file(FileName);
    TPeHeaders h;
    if (!file.IsOpen() || !ReadHeaders(file, h) || h.ResourceRva == 0) return false;
    TResourceView res(file, h);
    std::vector<std::array<std::uint32_t, 2>> types, names;
    if (!res.Entries(0, types)) return false;
    // Two levels only (types, then names), each entry read once: a directory that points
    // back at itself cannot make this loop.
    for (const auto& type : types) {
        if ((type[0] & HighBit) || type[0] != RtRcData || !(type[1] & HighBit)) continue;
        if (!res.Entries(type[1] & ~HighBit, names)) continue;
        for (const auto& entry : names) {
            if (!(entry[0] & HighBit)) continue;
            const std::uint32_t at = entry[0] & ~HighBit;
            std::uint16_t length = 0;
            if (!res.U16(at, length)) continue;
            std::vector<unsigned char> units(std::size_t{length} * 2);
            if (length != 0 && !res.ReadAt(at + 2, units.data(), units.size())) continue;
            std::string name;
            for (std::size_t i = 0; i < length; ++i) {
                unsigned u = units[2 * i] | units[2 * i + 1] << 8;
                name += u < 0x80 ? static_cast<char>(u) : '?';
            }
            if (!Visit(name)) return true;
        }
    }
    return true;
}

} // namespace pelvarn
