// Splitting a command line into program arguments, for systems whose processes take an
// argument vector instead of one command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelvarn {

// Splits at blanks and tabs outside double quotes; the quotes themselves are dropped, so
// "a b"c is one argument a bc and "" is an empty argument.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

} // namespace pelvarn
