// Inside the xwUtil unit: what each system's implementation provides to the portable part.
#pragma once

#include <cstdint>
#include <string>

namespace pelvarn::xwutil_detail {

struct TSnapshot {
    std::string ComSpec;
    std::int32_t ProcessorCount = 0;
    std::string WineVersion;
};

// Fills the snapshot and makes the process-wide settings of program start, in their order.
void TakeSnapshot(TSnapshot& snapshot);

} // namespace pelvarn::xwutil_detail
