// pelvarn-cli folders: the folder table of the diagnostics report, so that support can ask
// a modeller for it in one line.
#include "cli/cli.h"
#include "platform/locdirs.h"

namespace pelvarn::cli {

namespace {

int RunFolders(const std::vector<std::string>& args) {
    const TCliCommand& self = FindCommand("folders");
    if (!args.empty()) return UsageError(self, "unexpected argument " + args[0]);
    Out(FolderReport());
    return ExitOk;
}

const TCliRegistration registration{{
    "folders",
    "list the folders the suite uses, with an existence and a write test",
    "Usage: pelvarn-cli folders\n\n"
    "Prints one line per kind of folder, in three tab-separated columns:\n"
    "  1. what the folder is: the Windows folder, the folders named by TMP, TEMP,\n"
    "     SYSTEMDRIVE, KVTEMP, KVKEEP and KVDIR, the fixed folders TEMP and KV and the\n"
    "     root of the drive that holds Windows, the current folder, the folder of this\n"
    "     program, HOMEDRIVE with HOMEPATH, the user's documents and application-data\n"
    "     folders (on Linux only the variables, the current and program folders and HOME);\n"
    "  2. the folder as a full path, or UNDEFINED when it is not set;\n"
    "  3. \"Exists, Writeable\" when a test file could be made and deleted there,\n"
    "     \"Exists, Non-Writeable\" when not, \"NonExistent\" when there is no such folder.\n"
    "A drive that is not ready (an empty card reader) is reported as NonExistent without\n"
    "asking for a disk. Lines end with CR LF.\n\n"
    "Exit status: 0; 64 wrong arguments.\n",
    RunFolders,
}};

} // namespace
} // namespace pelvarn::cli
