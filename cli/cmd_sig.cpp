// pelvarn-cli sig FILE...: the executable signature of each file, as the diagnostics report
// prints it.
#include "cli/cli.h"
#include "diag/exesig.h"

namespace pelvarn::cli {

namespace {

int RunSig(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("sig");
    if (args.empty()) return UsageError(self, "missing FILE");
    for (const std::string& a : args)
        if (a.size() > 1 && a[0] == '-') return UsageError(self, "unknown option " + a);
    int status = ExitOk;
    for (const std::string& file : args) {
        std::string signature, flavour;
        GetExeSig(file, signature, flavour);
        if (signature == "Error") status = 1;
        Out(file + "\t" + signature + "\t" + flavour + "\n");
    }
    return status;
}

const TCliRegistration registration{{
    "sig",
    "tell which compiler built an executable",
    "Usage: pelvarn-cli sig FILE...\n\n"
    "Prints one line per FILE: its name, a tab, its signature (the compiler or installer\n"
    "that built it, \"(Kalvern)\" for the suite's own programs, then its large-address\n"
    "and bitness marks), a tab, and its run-time flavour (\"Old Lahey\", \"New Fujitsu\",\n"
    "\"None\", or \"?\" when the file cannot be read).\n\n"
    "Exit status: 0 every file was read; 1 a file could not be read (its signature is\n"
    "\"Error\"); 64 wrong arguments; 70 an internal error.\n",
    RunSig,
}};

} // namespace
} // namespace pelvarn::cli
