// Memory figures of the machine and of this process. Windows only.
#pragma once

#include <cstdint>

namespace pelvarn {

// All but MemoryLoad (percent) in KB (bytes divided by 1024, the remainder dropped). The
// figures are 64-bit: the virtual address space of a 64-bit process (128 TB) and the memory
// of a large machine do not fit in 32 bits, and none is ever capped.
struct TMemStatus {
    std::int32_t MemoryLoad = 0;
    std::int64_t TotalPhys = 0;
    std::int64_t AvailPhys = 0;
    std::int64_t TotalPageFile = 0;
    std::int64_t AvailPageFile = 0;
    std::int64_t TotalVirtual = 0;
    std::int64_t AvailVirtual = 0;
};

void GetMemoryStatus(TMemStatus& Status);

// The working-set size of this process in KB; 0 when the system cannot tell.
std::int64_t WorkingSetKB();

} // namespace pelvarn
