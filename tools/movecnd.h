// The Tools menu's model-file tool: a copy of a KSX file in which every SUBSTITUTE and
// BACKSOLVE statement is commented out where it stands and repeated, in the order found, in
// one marked section at the end ("!pelvarnbegin!" ... "!pelvarnend!"). The copy is always
// named new.KSX and lies beside the chosen file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelvarn {

inline constexpr const char* MovedSectionBegin = "!pelvarnbegin!";
inline constexpr const char* MovedSectionEnd = "!pelvarnend!";
inline constexpr const char* MovedStatementMark = "! commented out by Pelvarn:";
// The output's fixed name, and the same name as compared with a lower-cased input name.
inline constexpr const char* MovedOutputName = "new.KSX";
inline constexpr const char* MovedOutputLowerName = "new.ksx";

// The rewritten lines (without line ends) for the input's lines as read (without theirs).
std::vector<std::string> MoveCondensations(const std::vector<std::string>& lines);

// A line cleaned as the statement test sees it: trimmed at both ends, every byte outside
// 33..126 made a blank, runs of blanks collapsed to one.
std::string CleanKsxLine(std::string_view line);
// True when the cleaned line starts one of the six statement forms (any letter case).
bool IsCondensationStatement(std::string_view cleanedLine);

// Every line of a text file (CR LF, lone LF and lone CR end a line; byte 26 ends the file).
// Throws TFileError with the system's message when the file cannot be opened or read.
std::vector<std::string> ReadKsxLines(const std::string& path);
// The lines joined, each followed by CR LF.
std::string JoinCrLf(const std::vector<std::string>& lines);

// Reads inputPath, rewrites it and replaces outputPath with the result (written whole: a
// failure leaves any earlier output as it was). Platform file errors throw TFileError.
// Returns the number of statements moved.
std::int32_t MoveCondensationsFile(const std::string& inputPath, const std::string& outputPath);

// Where the tool reads and writes for a chosen file.
struct TKsxPaths {
    std::string Folder;    // the chosen file's folder, without a trailing separator
    std::string LowerName; // its file name lower-cased as the system compares file names
    std::string Input;     // the file that is opened
    std::string Output;    // Folder + new.KSX
};

// The paths for chosenPath whose lower-cased file name is lowerName. Where file names ignore
// letter case (Windows) the input is folder + lowerName, the same file; where they do not
// (POSIX) it is the chosen path itself, and lowerName serves the texts only.
TKsxPaths KsxPathsFor(const std::string& chosenPath, const std::string& lowerName,
                      bool namesIgnoreCase, char delim);
// The same with this system's rules (the name lower-cased by LowerFileName).
TKsxPaths KsxPathsFor(const std::string& chosenPath);

// True when a lower-cased input name is the output's own name.
bool IsOutputName(std::string_view lowerName);

// The texts of the tool's boxes.
std::string MoveCondensationsIntroText();
std::string NewKsxRefusalText();
std::string MoveCondensationsDoneText(const std::string& lowerName, const std::string& outputPath);

} // namespace pelvarn
