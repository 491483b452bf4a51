// The parts of process start that are the same on every system: quoting and splitting of
// command-line items.
#include "platform/process.h"

#include "base/textutil.h"
#include "platform/cmdsplit.h"

namespace pelvarn {

namespace {

bool NeedsQuotes(char c) {
    switch (c) {
    case ' ':
    case '&':
    case '(':
    case ')':
    case '<':
    case '>':
    case '@':
    case '^':
        return true;
    default:
        return false;
    }
}

} // namespace

std::string QuoteIfNeeded(std::string_view s) {
    std::string item = Trim(s);
    if (item.size() >= 2 && item.front() == '"' && item.back() == '"') return item;
    for (char c : item)
        if (NeedsQuotes(c)) return '"' + item + '"';
    return item;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inArg = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArg) args.push_back(current);
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg) args.push_back(current);
    return args;
}

} // namespace pelvarn
