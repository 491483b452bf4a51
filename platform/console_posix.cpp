#include "platform/console.h"

#include <atomic>
#include <csignal>
#include <signal.h>
#include <unistd.h>

namespace pelvarn {

namespace {

std::atomic<int> Presses{0};

extern "C" void OnInterrupt(int) {
    Presses.fetch_add(1);
}

} // namespace

void UseBinaryStdio() {}

bool StderrIsTerminal() {
    return isatty(2) == 1;
}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

int InterruptCount() {
    return Presses.load();
}

} // namespace pelvarn
