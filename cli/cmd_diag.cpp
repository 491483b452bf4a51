// pelvarn-cli diag [--out FILE]: the diagnostics report without a window.
#include "cli/cli.h"
#include "diag/diagreport.h"
#include "platform/fileio.h"
#include "platform/xwutil.h"

namespace pelvarn::cli {

namespace {

int RunDiag(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("diag");
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size() && out.empty())
            out = args[++i];
        else
            return UsageError(self, "unexpected argument " + args[i]);
    }
    InitXwUtil();
    auto probe = MakeSystemDiagProbe();
    const std::string report = MakeDiagReport(*probe, "Pelvarn", "", "", "", 1.02f) + "\r\n";
    if (out.empty())
        Out(report);
    else
        ReplaceFileContents(out, report);
    return ExitOk;
}

const TCliRegistration registration{{
    "diag",
    "write the diagnostics report",
    "Usage: pelvarn-cli diag [--out FILE]\n\n"
    "Writes the diagnostics report that the about box's Diagnostics button shows: the\n"
    "program, the computer, the log-on, the environment and the suite's installation (found\n"
    "through KVDIR), ending with the report of the suite's translator. Lines end with CR LF.\n"
    "Without --out it goes to standard output. On systems other than Windows the sections\n"
    "that only Windows has (appearance, file associations, special folders, registry) say\n"
    "that they are left out.\n\n"
    "Exit status: 0 written; 3 FILE cannot be written; 64 wrong arguments.\n",
    RunDiag,
}};

} // namespace
} // namespace pelvarn::cli
