#include "platform/console.h"

#include <atomic>
#include <csignal>
#include <signal.h>

namespace pelvarn {

namespace {

std::atomic<int> Presses{0};

extern "C" void OnInterrupt(int) { Presses.fetch_add(1); }

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

void UseBinaryStdio() {}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

int InterruptCount() { return Presses.load(); }

TInterruptShield::TInterruptShield() {
    sigset_t set = InterruptSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

TInterruptShield::~TInterruptShield() {
    sigset_t set = InterruptSet();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace pelvarn
