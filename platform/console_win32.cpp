#include "platform/console.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace pelvarn {

namespace {

std::atomic<int> Presses{0};

BOOL WINAPI OnConsoleCtrl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        Presses.fetch_add(1);
        return TRUE;
    }
    return FALSE;
}

} // namespace

bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void UseBinaryStdio() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
}

int InterruptCount() {
    return Presses.load();
}

} // namespace pelvarn
