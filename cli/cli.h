// The sub-commands of pelvarn-cli. Each lives in a file cmd_<name>.cpp of its own and
// registers itself with a static TCliRegistration, so adding one touches no other file.
#pragma once

#include <string>
#include <vector>

namespace pelvarn::cli {

// Exit statuses shared by every sub-command.
inline constexpr int ExitOk = 0;
inline constexpr int ExitUsage = 64;

struct TCliCommand {
    std::string Name;
    std::string Summary; // one line, for the list of commands
    std::string Help;    // full text of "pelvarn-cli NAME --help"
    int (*Run)(const std::vector<std::string>& args);
};

std::vector<TCliCommand>& Commands();

struct TCliRegistration {
    explicit TCliRegistration(TCliCommand cmd) { Commands().push_back(std::move(cmd)); }
};

// Writes text exactly as given (no line-end translation on any OS).
void Out(const std::string& text);
void Err(const std::string& text);

// Prints the usage message of a command to standard error and returns ExitUsage.
int UsageError(const TCliCommand& cmd, const std::string& problem);
const TCliCommand& FindCommand(const std::string& name);

// A message of the core as the command line shows it: the operation tags ("[TxtOpen]",
// "[TxtClose]") are dropped, and a file that could not be opened gets the system's reason
// ("Cannot open file X: No such file or directory").
std::string PlainMessage(const std::string& msg);

// An option's whole number: decimal digits only, within low..high.
bool ParseWhole(const std::string& text, long long low, long long high, long long& value);

// True when args is exactly {"--help"} or {"-h"}.
bool WantsHelp(const std::vector<std::string>& args);

} // namespace pelvarn::cli
