#include <algorithm>
#include <cstdio>
#include <exception>

#include "cli/cli.h"
#include "platform/console.h"
#include "platform/fileio.h"

namespace pelvarn::cli {

std::vector<TCliCommand>& Commands() {
    static std::vector<TCliCommand> commands;
    return commands;
}

void Out(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void Err(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

const TCliCommand& FindCommand(const std::string& name) {
    for (const auto& c : Commands())
        if (c.Name == name) return c;
    static const TCliCommand none{};
    return none;
}

int UsageError(const TCliCommand& cmd, const std::string& problem) {
    Err("pelvarn-cli " + cmd.Name + ": " + problem + "\n\n" + cmd.Help);
    return ExitUsage;
}

std::string PlainMessage(const std::string& msg) {
    static const std::string openTag = "[TxtOpen]";
    static const std::string closeTag = "[TxtClose]";
    static const std::string openText = "Cannot open file ";
    std::string text = msg;
    for (std::size_t tag = text.find(openTag); tag != std::string::npos;
         tag = text.find(openTag, tag)) {
        std::string reason;
        const std::size_t start = text.rfind(openText, tag);
        if (start != std::string::npos) {
            const std::size_t nameAt = start + openText.size();
            pelvarn::TInFile probe;
            std::string why;
            if (!probe.Open(text.substr(nameAt, tag - nameAt), why)) reason = ": " + why;
        }
        text.replace(tag, openTag.size(), reason);
        tag += reason.size();
    }
    for (std::size_t tag; (tag = text.find(closeTag)) != std::string::npos;)
        text.erase(tag, closeTag.size());
    return text;
}

bool ParseWhole(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::stoll(text);
    return value >= low && value <= high;
}

bool WantsHelp(const std::vector<std::string>& args) {
    return args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
}

namespace {

std::string GeneralHelp() {
    std::string text = "Usage: pelvarn-cli COMMAND [ARGUMENTS]\n\n"
                       "Searches for a faster condensation of an economic model, and checks the\n"
                       "files of a job folder. Commands:\n\n";
    for (const auto& c : Commands()) {
        std::string name = c.Name;
        name.resize(std::max<std::size_t>(name.size() + 2, 20), ' ');
        text += "  " + name + c.Summary + "\n";
    }
    text += "\n\"pelvarn-cli COMMAND --help\" describes a command.\n";
    return text;
}

} // namespace

} // namespace pelvarn::cli

int main(int argc, char** argv) {
    using namespace pelvarn::cli;
    pelvarn::UseBinaryStdio();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        Err(GeneralHelp());
        return ExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        Out(GeneralHelp());
        return ExitOk;
    }
    const TCliCommand& cmd = FindCommand(args[0]);
    if (!cmd.Run) {
        Err("pelvarn-cli: unknown command \"" + args[0] + "\"\n\n" + GeneralHelp());
        return ExitUsage;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (WantsHelp(rest)) {
        Out(cmd.Help);
        return ExitOk;
    }
    try {
        return cmd.Run(rest);
    } catch (const pelvarn::TFileError& e) {
        // Each command catches the file errors it expects; this is the last resort.
        Err("pelvarn-cli " + cmd.Name + ": " + e.what() + "\n");
        return 3;
    } catch (const std::exception& e) {
        Err(std::string("pelvarn-cli: ") + e.what() + "\n");
        return 70;
    }
}
