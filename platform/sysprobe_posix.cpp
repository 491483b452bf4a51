// The processor clock on POSIX: the time-stamp counter against the monotonic clock.
#include <time.h>

#include <cstring>

#include "platform/sysprobe.h"

#if defined(__i386__) || defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace pelvarn {

namespace {

std::int64_t NowNs() {
    timespec ts{};
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) throw TOsError(std::strerror(errno));
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double MeasureClock() {
#if defined(__i386__) || defined(__x86_64__)
    const std::int64_t f = 1000000000; // counts per second of the clock above
    const std::int64_t start = NowNs();
    while (NowNs() - start < f / 2) {
    }
    const std::int64_t c0 = NowNs();
    const unsigned long long t0 = __rdtsc();
    std::int64_t c1 = c0;
    while (c1 < c0 + f / 4)
        c1 = NowNs();
    const unsigned long long t1 = __rdtsc();
    return static_cast<double>(t1 - t0) * static_cast<double>(f) / static_cast<double>(c1 - c0);
#else
    return 0.0;
#endif
}

} // namespace

double CpuSpeedMHz() {
    static const double rate = MeasureClock();
    return rate;
}

} // namespace pelvarn
