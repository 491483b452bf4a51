// pelvarn-cli report FOLDER: the search report of a job folder, written as one HTML page from
// its journal. The analysis and the page are search/; this file reads the options.
#include "base/paths.h"
#include "cli/cli.h"
#include "platform/fileio.h"
#include "search/report.h"

namespace pelvarn::cli {

namespace {

constexpr int ExitRefused = 1;
constexpr int ExitWriteFailed = 3;

int RunReport(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("report");
    std::string folder, journal, out;
    bool folderSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--journal" || a == "--out") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return UsageError(self, a + " needs a file name");
            (a == "--journal" ? journal : out) = args[++i];
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return UsageError(self, "unknown option " + a);
        } else if (folderSeen) {
            return UsageError(self, "only one FOLDER may be given");
        } else {
            folder = a;
            folderSeen = true;
        }
    }
    if (!folderSeen || folder.empty()) return UsageError(self, "missing FOLDER");
    if (journal.empty()) journal = JoinPath(folder, "search.jsonl");
    if (out.empty()) out = JoinPath(folder, "search-report.html");

    auto say = [](const std::string& text) { Err("pelvarn-cli report: " + text + "\n"); };
    std::string reason, warning;
    try {
        if (!pelvarn::search::WriteSearchReport(folder, journal, out, reason, &warning)) {
            say(reason);
            return ExitRefused;
        }
    } catch (const TFileError& e) {
        say(e.what());
        return ExitWriteFailed;
    }
    if (!warning.empty()) say("warning: " + warning);
    Out("Report written to " + out + "\n");
    return ExitOk;
}

const TCliRegistration registration{{
    "report",
    "the search report of a job folder, as one HTML page",
    "Usage: pelvarn-cli report FOLDER [--journal FILE] [--out FILE.html]\n\n"
    "Writes what the search of the job folder FOLDER found, from its journal and its\n"
    "initial.sti, as one self-contained HTML page (no script, nothing fetched; it prints\n"
    "well): the summary (jobs, hours, initial and best time, per cent faster, the verified\n"
    "median, how the search ended), the convergence plot, what changed against\n"
    "initial.sti, the measured effect of toggling each record and of exchanges, how sure\n"
    "the times are, the failures, and the ten fastest condensations.\n"
    "\"pelvarn-cli search\" writes the same page beside its journal when it ends or is\n"
    "stopped.\n\n"
    "Options:\n"
    "  --journal FILE   the journal (default FOLDER/search.jsonl)\n"
    "  --out FILE.html  the page (default FOLDER/search-report.html)\n\n"
    "A last journal line cut short (a search stopped while writing it) is passed over with\n"
    "a warning.\n\n"
    "Exit status: 0 written; 1 input refused (no initial.sti or journal, a journal of another\n"
    "folder or of other records, a damaged journal); 3 the page could not be written;\n"
    "64 wrong arguments.\n",
    RunReport,
}};

} // namespace
} // namespace pelvarn::cli
