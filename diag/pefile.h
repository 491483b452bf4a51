// Bounds-checked reading of a Windows executable's headers and resource directory from its
// bytes. Every offset the file gives is checked against the file before it is followed, and
// the resource tree is walked only the two levels that are needed, so a truncated or hostile
// file ends in "not an executable" or "no resource", never in a crash or a hang.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pelvarn {

struct TPeHeaders {
    std::uint16_t Machine = 0;
    std::uint16_t Characteristics = 0;
    std::uint16_t NumberOfSections = 0;
    std::uint64_t SectionTable = 0;  // file offset of the first section header
    std::uint16_t OptionalMagic = 0; // 0x10B PE32, 0x20B PE32+, 0 when absent
    std::uint32_t ResourceRva = 0;   // 0 when the file has no resource directory
    std::uint32_t ResourceSize = 0;
};

// The DOS header, the "PE" signature and the file header it points to, and the optional
// header's resource directory when there is one. False when the file cannot be read or is
// not a Windows executable.
bool ReadPeHeaders(const std::string& FileName, TPeHeaders& Headers);

// Calls Visit with the name of each resource of type RT_RCDATA (10) that is named by a
// string (numbered ones have no name), in directory order, until Visit returns false.
// Names are the UTF-16 text with each unit above 0x7F read as '?'. False when the file has
// no readable resource directory.
bool EnumRcDataNames(const std::string& FileName,
                     const std::function<bool(std::string_view)>& Visit);

} // namespace pelvarn
