// The parts of process start that are the same on every system: quoting and splitting of
// command-line items.
#include "platform/process.h"

#include <cstdio>

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

struct TNamedCode {
    std::uint32_t Code;
    const char* Name;
};

// The exception codes a crashed or forcibly ended Windows program most often leaves.
constexpr TNamedCode WindowsCodes[] = {
    {0x80000003u, "breakpoint"},
    {0xC0000005u, "access violation"},
    {0xC000001Du, "illegal instruction"},
    {0xC0000094u, "integer division by zero"},
    {0xC0000096u, "privileged instruction"},
    {0xC00000FDu, "stack overflow"},
    {0xC000013Au, "Ctrl+C"},
    {0xC0000374u, "heap corruption"},
    {0xC0000409u, "stack buffer overrun"},
};

} // namespace

std::string AbnormalEndText(const TExitStatus& status) {
    if (!status.Known) return "";
    if (status.BySignal) return "the job was ended by signal " + std::to_string(status.Code);
    // The system's status codes of the error (0xC...) and warning (0x8...) classes are
    // exceptions; a code with the customer bit (such as exit(-1)) is the program's own.
    if ((status.Code & 0x80000000u) == 0 || (status.Code & 0x20000000u) != 0) return "";
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status.Code));
    std::string text = "the job was ended by exception " + std::string(hex);
    for (const TNamedCode& c : WindowsCodes)
        if (c.Code == status.Code) text += " (" + std::string(c.Name) + ")";
    return text;
}

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
