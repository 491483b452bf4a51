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

struct sigaction& Saved() {
    static struct sigaction saved {};
    return saved;
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

// A child inherits an ignored SIGINT across exec, and a non-interactive shell may not undo it
// (a blocked mask would not do: the shell clears its mask). The handler is kept aside
// meanwhile; a press in that short time is lost.
TInterruptShield::TInterruptShield() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &Saved());
}

TInterruptShield::~TInterruptShield() {
    sigaction(SIGINT, &Saved(), nullptr);
}

} // namespace pelvarn
