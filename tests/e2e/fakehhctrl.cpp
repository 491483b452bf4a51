// A stand-in for hhctrl.ocx that records every HtmlHelpA call, one "command|file|data" line
// each, in hhcalls.txt beside itself. Put beside pelvarn.exe (with Wine told to prefer it),
// it shows which help file and context a help request reaches the engine with.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
HMODULE Self = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HWND WINAPI HtmlHelpA(HWND, LPCSTR file, UINT command,
                                                        DWORD_PTR data) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(Self, path, MAX_PATH);
    std::string log = path;
    log = log.substr(0, log.find_last_of('\\') + 1) + "hhcalls.txt";
    std::string value = command == 2 && data ? reinterpret_cast<const char*>(data)
                                             : std::to_string(static_cast<unsigned long long>(data));
    if (FILE* f = std::fopen(log.c_str(), "ab")) {
        std::fprintf(f, "%u|%s|%s\r\n", command, file ? file : "", value.c_str());
        std::fclose(f);
    }
    return nullptr;
}
