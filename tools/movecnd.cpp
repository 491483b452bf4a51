#include "tools/movecnd.h"

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "sti/txtfile.h"

namespace pelvarn {

namespace {

// The statement forms, tested against the upper-cased cleaned line from its first character.
// "! SUBSTITUTE" alone needs no blank after the keyword.
constexpr std::string_view StatementPrefixes[] = {
    "SUBSTITUTE ", "!SUBSTITUTE ", "! SUBSTITUTE", "BACKSOLVE ", "!BACKSOLVE ", "! BACKSOLVE ",
};

constexpr std::string_view BracketOpen = "![[!";
constexpr std::string_view BracketClose = "!]]!";

} // namespace

std::string CleanKsxLine(std::string_view line) {
    // In one pass: trimmed, every byte outside 33..126 blanked, runs of blanks made one.
    std::size_t b = 0, e = line.size();
    while (b < e && IsTrimmable(line[b])) ++b;
    while (e > b && IsTrimmable(line[e - 1])) --e;
    std::string r(e - b, ' ');
    std::size_t n = 0;
    for (std::size_t i = b; i < e; ++i) {
        const unsigned char u = static_cast<unsigned char>(line[i]);
        const char c = u < 33 || u > 126 ? ' ' : line[i];
        if (c == ' ' && n > 0 && r[n - 1] == ' ') continue;
        r[n++] = c;
    }
    r.resize(n);
    return r;
}

bool IsCondensationStatement(std::string_view cleanedLine) {
    const std::string test = AsciiUpper(cleanedLine);
    for (std::string_view prefix : StatementPrefixes)
        if (StartsWith(test, prefix)) return true;
    return false;
}

std::vector<std::string> MoveCondensations(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    std::vector<std::string> moved;
    out.reserve(lines.size() + 2);
    // Above 0 inside a bracketed comment. Each bracket counts once per line, however many
    // times the line holds it.
    std::int32_t brackets = 0;
    for (const std::string& line : lines) {
        if (Contains(line, BracketOpen)) ++brackets;
        std::string cleaned = CleanKsxLine(line);
        if (brackets > 0 || !IsCondensationStatement(cleaned)) {
            out.push_back(line);
            if (Contains(line, BracketClose)) --brackets;
            continue;
        }
        // A statement: a leading "!" means the user had commented it out; anything from the
        // next "!" on is a trailing comment and is dropped.
        const bool commented = cleaned.front() == '!';
        std::string statement = commented ? cleaned.substr(1) : cleaned;
        if (std::size_t bang = statement.find('!'); bang != std::string::npos)
            statement.erase(bang);
        out.push_back(MovedStatementMark + statement + "!");
        moved.push_back(commented ? "!" + statement + "!" : statement);
    }
    out.push_back(MovedSectionBegin);
    out.insert(out.end(), moved.begin(), moved.end());
    out.push_back(MovedSectionEnd);
    return out;
}

std::vector<std::string> ReadKsxLines(const std::string& path) {
    TTextFile file;
    file.Open(path);
    std::vector<std::string> lines;
    std::string line;
    while (file.ReadLine(line))
        lines.push_back(line);
    file.Close();
    return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& l : lines)
        size += l.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& l : lines) {
        text += l;
        text += "\r\n";
    }
    return text;
}

std::int32_t MoveCondensationsFile(const std::string& inputPath, const std::string& outputPath) {
    const std::vector<std::string> input = ReadKsxLines(inputPath);
    const std::vector<std::string> output = MoveCondensations(input);
    ReplaceFileContents(outputPath, JoinCrLf(output));
    // The output holds every input line (moved ones in place) and the two markers.
    return static_cast<std::int32_t>(output.size() - input.size() - 2);
}

TKsxPaths KsxPathsFor(const std::string& chosenPath, const std::string& lowerName,
                      bool namesIgnoreCase, char delim) {
    TKsxPaths paths;
    paths.Folder = FileFolder(chosenPath, delim);
    paths.LowerName = lowerName;
    // A file in the current folder has no folder part: its neighbours are named alone. A
    // root folder ("C:\", "/") keeps its separator, so nothing is added after it.
    auto inFolder = [&](const std::string& name) {
        const std::string& f = paths.Folder;
        if (f.empty()) return name;
        const char last = f.back();
        if (last == delim || last == '/' || (delim == '\\' && last == ':')) return f + name;
        return f + delim + name;
    };
    paths.Input = namesIgnoreCase ? inFolder(lowerName) : chosenPath;
    paths.Output = inFolder(MovedOutputName);
    return paths;
}

bool IsOutputName(std::string_view lowerName) {
    return lowerName == MovedOutputLowerName;
}

std::string MoveCondensationsIntroText() {
    return "This tool is used to help you move SUBSTITUTE and BACKSOLVE statements\r\n"
           "to a single section at the end of your KSX file.\r\n"
           "It creates a file \"NEW.KSX\", based on the original KSX file that you select.\r\n"
           "Click Help to find out more.";
}

std::string NewKsxRefusalText() {
    return "You must not select \"new.ksx\" -- that filename will be used for the output file!";
}

std::string MoveCondensationsDoneText(const std::string& lowerName, const std::string& outputPath) {
    return "Input KSX name was: " + lowerName + "\r\n" + "Output KSX name is: \r\n" + outputPath +
           "\r\n" + "in which SUBSTITUTE and BACKSOLVE statements are moved\r\n" +
           "to a single section at the end.\r\n" +
           "Please use LUMEDIT to check this file and save it with a new name.\r\n" +
           "Click Help to find out more.";
}

} // namespace pelvarn
