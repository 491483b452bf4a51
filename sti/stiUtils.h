// Reading the condensation section of an STI file into substitution records, and writing
// candidate STI files with their readable ".cnd" companions.
//
// The section lies between the first line containing "!pelvarnbegin" and the next line
// containing "!pelvarnend". The lines before and after it are kept here, for the whole
// program, from a successful read until the next read; every file written carries them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sti/subrecord.h"

namespace pelvarn {

inline constexpr int MaxPartLines = 800;    // first part, last part
inline constexpr int MaxMiddleLines = 2000; // non-blank lines of the condensation section
inline constexpr std::size_t MaxCommentLength = 255;

// Lines 1..count of a part (element 0 unused).
using TSTIpart = std::array<std::string, MaxPartLines + 1>;

extern TSTIpart FirstPart;
extern std::int32_t FirstCount;
extern TSTIpart LastPart;
extern std::int32_t LastCount;

// Reads FileName. True: records 1..NSub of Subs hold the section in file order and the first
// and last parts are kept. False: Msg holds the reason. A file that cannot be opened or read
// throws TFileError.
bool ReadSTIFile(const std::string& FileName, TSubInfo& Subs, std::int32_t& NSub, std::string& Msg);

// Splits one (trimmed, non-empty) line of a triple into value and comment. Sets `commented`
// from a leading "!"; sets `mustSub` when the comment carries "MUSTSUB", else leaves it.
bool SplitSTILine(const std::string& line, std::string& value, std::string& comment,
                  bool& commented, bool& mustSub);

// Reads one triple of trimmed lines into a record and checks it.
bool ParseSubTriple(const std::string& line1, const std::string& line2, const std::string& line3,
                    TSubRecord& rec, std::string& Msg);

// Writes FileName exactly as named and its companion (extension replaced by ".cnd"): the kept
// first part, the records in Order, the kept last part. The two are replaced as one: both are
// written in full before either is renamed, the companion first, so that a failed write leaves
// both as they were and an interrupted save never leaves a companion older than its STI file.
// With flushToDisk both are on the disk before either is renamed.
void WriteSTIFile(const std::string& FileName, const TSubInfo& Subs, std::int32_t NSub,
                  const TSubOrder& Order, bool flushToDisk = false);

// The name of the companion file of an STI file.
std::string CndFileName(const std::string& stiFileName);

} // namespace pelvarn
