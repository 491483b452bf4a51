// The processor identification instruction, through the compiler's own wrapper, on every
// OS; other processors have none.
#include "platform/sysprobe.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace pelvarn {

bool CpuidQuery(std::uint32_t Leaf, TCpuidRegs& Regs) {
    Regs = TCpuidRegs{};
#if defined(__i386__) || defined(__x86_64__)
    if (__get_cpuid_max(0, nullptr) == 0) return false; // no identification instruction
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(Leaf, 0, a, b, c, d);
    Regs = {a, b, c, d};
    return true;
#else
    (void)Leaf;
    return false;
#endif
}

} // namespace pelvarn
