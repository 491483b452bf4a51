// Memory figures of the machine and of this process. Windows only.
#pragma once

#include <cstdint>

namespace pelvarn {

// All but MemoryLoad (percent) in KB. A figure beyond the 32-bit range (the virtual address
// space of a 64-bit process) is given as the largest 32-bit value.
struct TMemStatus {
    std::int32_t MemoryLoad = 0;
    std::int32_t TotalPhys = 0;
    std::int32_t AvailPhys = 0;
    std::int32_t TotalPageFile = 0;
    std::int32_t AvailPageFile = 0;
    std::int32_t TotalVirtual = 0;
    std::int32_t AvailVirtual = 0;
};

void GetMemoryStatus(TMemStatus& Status);

// The working-set size of this process in KB; 0 when the system cannot tell.
std::int32_t WorkingSetKB();

} // namespace pelvarn
