// pelvarn-cli move-condensations FILE: the Tools menu's tool without its boxes. Writes
// new.KSX beside FILE and prints the text of the closing box.
#include <vector>

#include "cli/cli.h"
#include "platform/fileio.h"
#include "tools/movecnd.h"

namespace pelvarn::cli {

namespace {

int RunMoveCondensations(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("move-condensations");
    if (args.size() != 1)
        return UsageError(self, args.empty() ? "missing FILE" : "too many arguments");
    if (args[0].empty()) return UsageError(self, "empty FILE");
    if (args[0][0] == '-') return UsageError(self, "unknown option " + args[0]);

    const TKsxPaths paths = KsxPathsFor(args[0]);
    if (IsOutputName(paths.LowerName)) {
        Err(NewKsxRefusalText() + "\n");
        return 1;
    }
    std::vector<std::string> lines;
    try {
        lines = ReadKsxLines(paths.Input);
    } catch (const TFileError& e) {
        Err(std::string(e.what()) + "\n");
        return 2;
    }
    // A failure to write the output is a platform file error: the front end reports it.
    ReplaceFileContents(paths.Output, JoinCrLf(MoveCondensations(lines)));
    Out(MoveCondensationsDoneText(paths.LowerName, paths.Output) + "\n");
    return ExitOk;
}

const TCliRegistration registration{{
    "move-condensations",
    "write new.KSX: a KSX file with its condensation statements moved to the end",
    "Usage: pelvarn-cli move-condensations FILE\n\n"
    "Writes new.KSX in the folder of the KSX file FILE (replacing any file of that name):\n"
    "a copy of FILE in which every SUBSTITUTE and BACKSOLVE statement outside a\n"
    "bracketed comment is commented out where it stands (\"! commented out by Pelvarn:\"\n"
    "+ statement + \"!\") and listed, in the order found, between the lines\n"
    "\"!pelvarnbegin!\" and \"!pelvarnend!\" at the end. Every line ends with CR LF.\n"
    "Then prints the Tools menu's closing text (its line ends are CR LF).\n\n"
    "Exit status: 0 written; 1 FILE is named new.ksx (in any letter case), which is\n"
    "refused; 2 FILE cannot be read (the system's message on standard error);\n"
    "3 new.KSX cannot be written; 64 wrong arguments; 70 an internal error.\n",
    RunMoveCondensations,
}};

} // namespace
} // namespace pelvarn::cli
