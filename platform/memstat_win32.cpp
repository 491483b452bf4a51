#include "platform/memstat.h"

#include <windows.h>

#include <psapi.h>

namespace pelvarn {

namespace {

// Figures in KB: a byte count below 2^64 divided by 1024 always fits.
std::int64_t KB(unsigned long long bytes) {
    return static_cast<std::int64_t>(bytes / 1024);
}

template <typename TFunc> TFunc Lookup(HMODULE module, const char* name) {
    return module ? reinterpret_cast<TFunc>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

} // namespace

void GetMemoryStatus(TMemStatus& Status) {
    Status = TMemStatus{};
    using TGlobalMemoryStatusEx = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
    auto statusEx =
        Lookup<TGlobalMemoryStatusEx>(GetModuleHandleA("kernel32"), "GlobalMemoryStatusEx");
    MEMORYSTATUSEX ex{};
    ex.dwLength = sizeof ex;
    if (statusEx && statusEx(&ex)) {
        Status.MemoryLoad = static_cast<std::int32_t>(ex.dwMemoryLoad);
        Status.TotalPhys = KB(ex.ullTotalPhys);
        Status.AvailPhys = KB(ex.ullAvailPhys);
        Status.TotalPageFile = KB(ex.ullTotalPageFile);
        Status.AvailPageFile = KB(ex.ullAvailPageFile);
        Status.TotalVirtual = KB(ex.ullTotalVirtual);
        Status.AvailVirtual = KB(ex.ullAvailVirtual);
        return;
    }
    MEMORYSTATUS old{};
    old.dwLength = sizeof old;
    GlobalMemoryStatus(&old);
    Status.MemoryLoad = static_cast<std::int32_t>(old.dwMemoryLoad);
    Status.TotalPhys = KB(old.dwTotalPhys);
    Status.AvailPhys = KB(old.dwAvailPhys);
    Status.TotalPageFile = KB(old.dwTotalPageFile);
    Status.AvailPageFile = KB(old.dwAvailPageFile);
    Status.TotalVirtual = KB(old.dwTotalVirtual);
    Status.AvailVirtual = KB(old.dwAvailVirtual);
}

std::int64_t WorkingSetKB() {
    using TGetProcessMemoryInfo = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
    // Loaded on first use and kept for the life of the program.
    static const HMODULE psapi = LoadLibraryA("PSAPI.dll");
    if (reinterpret_cast<UINT_PTR>(psapi) < 32) return 0;
    static const auto getInfo = Lookup<TGetProcessMemoryInfo>(psapi, "GetProcessMemoryInfo");
    if (!getInfo) return 0;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!getInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return KB(counters.WorkingSetSize);
}

} // namespace pelvarn
