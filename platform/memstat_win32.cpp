#include "platform/memstat.h"

#include <windows.h>

#include <psapi.h>

namespace pelvarn {

namespace {

std::int32_t Clamp32(unsigned long long value) {
    return value > 0x7FFFFFFFull ? 0x7FFFFFFF : static_cast<std::int32_t>(value);
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
        Status.TotalPhys = Clamp32(ex.ullTotalPhys / 1024);
        Status.AvailPhys = Clamp32(ex.ullAvailPhys / 1024);
        Status.TotalPageFile = Clamp32(ex.ullTotalPageFile / 1024);
        Status.AvailPageFile = Clamp32(ex.ullAvailPageFile / 1024);
        Status.TotalVirtual = Clamp32(ex.ullTotalVirtual / 1024);
        Status.AvailVirtual = Clamp32(ex.ullAvailVirtual / 1024);
        return;
    }
    MEMORYSTATUS old{};
    old.dwLength = sizeof old;
    GlobalMemoryStatus(&old);
    Status.MemoryLoad = static_cast<std::int32_t>(old.dwMemoryLoad);
    Status.TotalPhys = Clamp32(old.dwTotalPhys >> 10);
    Status.AvailPhys = Clamp32(old.dwAvailPhys >> 10);
    Status.TotalPageFile = Clamp32(old.dwTotalPageFile >> 10);
    Status.AvailPageFile = Clamp32(old.dwAvailPageFile >> 10);
    Status.TotalVirtual = Clamp32(old.dwTotalVirtual >> 10);
    Status.AvailVirtual = Clamp32(old.dwAvailVirtual >> 10);
}

std::int32_t WorkingSetKB() {
    using TGetProcessMemoryInfo = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
    // Loaded on first use and kept for the life of the program.
    static const HMODULE psapi = LoadLibraryA("PSAPI.dll");
    if (reinterpret_cast<UINT_PTR>(psapi) < 32) return 0;
    static const auto getInfo = Lookup<TGetProcessMemoryInfo>(psapi, "GetProcessMemoryInfo");
    if (!getInfo) return 0;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!getInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return Clamp32(counters.WorkingSetSize / 1024);
}

} // namespace pelvarn
