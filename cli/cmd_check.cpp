// pelvarn-cli check FILE: reads an STI file as START would and lists its records.
#include <memory>

#include "cli/cli.h"
#include "platform/fileio.h"
#include "sti/stiUtils.h"

namespace pelvarn::cli {

namespace {

std::string FlagsText(const TSubRecord& r) {
    if (r.MustSee && r.MustSub) return "MustSee,MustSub";
    if (r.MustSee) return "MustSee";
    if (r.MustSub) return "MustSub";
    return "-";
}

std::string StatusText(std::int32_t stat) {
    return stat >= 0 && stat <= 2 ? SubStatName[static_cast<std::size_t>(stat)]
                                  : std::to_string(stat);
}

int RunCheck(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("check");
    if (args.size() != 1)
        return UsageError(self, args.empty() ? "missing FILE" : "too many arguments");
    if (!args[0].empty() && args[0][0] == '-') return UsageError(self, "unknown option " + args[0]);

    auto subs = std::make_unique<TSubInfo>();
    std::int32_t count = 0;
    std::string msg;
    bool ok = false;
    try {
        ok = ReadSTIFile(args[0], *subs, count, msg);
    } catch (const TFileError& e) {
        Err(std::string(e.what()) + "\n");
        return 2;
    }
    if (!ok) {
        Err("Error:\n" + msg + "\n");
        return 1;
    }
    std::string out = std::to_string(count) + " records\n";
    for (std::int32_t i = 1; i <= count; ++i) {
        const TSubRecord& r = (*subs)[i];
        out += std::to_string(i) + "\t" + StatusText(r.SubStat) + "\t" + r.VarName + "\t" +
               r.EqName + "\t" + FlagsText(r) + "\n";
    }
    Out(out);
    return ExitOk;
}

const TCliRegistration registration{{
    "check",
    "read an STI file's condensation section and list its records",
    "Usage: pelvarn-cli check FILE\n\n"
    "Reads the STI file FILE as START does and lists its condensation records:\n"
    "\"N records\" on the first line, then one line per record in file order with\n"
    "tab-separated fields: number, status (sub, backsub, notsub), variable, equation,\n"
    "flags (MustSee, MustSub, MustSee,MustSub or -).\n\n"
    "Exit status: 0 the file is accepted; 1 the file is refused (\"Error:\" and the\n"
    "reason on standard error); 2 the file cannot be opened or read, or is not a regular\n"
    "file (the system's reason on standard error); 64 wrong arguments; 70 an internal\n"
    "error.\n",
    RunCheck,
}};

} // namespace
} // namespace pelvarn::cli
