// Substitution records: one condensation action of an STI file, the check every record
// must pass before a job is written, and the two written forms of a record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelvarn {

// Values of TSubRecord::SubStat.
inline constexpr std::int32_t sub = 0;     // substitute the variable using the equation
inline constexpr std::int32_t backsub = 1; // backsolve the variable using the equation
inline constexpr std::int32_t notsub = 2;  // leave it out: the triple is written commented

inline const std::array<std::string, 3> SubStatName = {"sub", "backsub", "notsub"};

struct TSubRecord {
    std::string VarName;
    std::string EqName;
    std::string CodeComment; // each comment runs from its "!" to the end, at most 255 chars
    std::string VarComment;
    std::string EqComment;
    bool MustSee = false; // read with code "B": may be backsolved or left out, never substituted
    bool MustSub = false; // a comment carries "MUSTSUB": may not be left out
    std::int32_t SubStat = sub;

    bool operator==(const TSubRecord&) const = default;
    // Equal to TSubRecord{} (a field added above belongs here too), without the string compares.
    bool IsBlank() const {
        return VarName.empty() && EqName.empty() && CodeComment.empty() && VarComment.empty() &&
               EqComment.empty() && !MustSee && !MustSub && SubStat == sub;
    }
};

inline constexpr int MaxSubs = 500;

// Both tables are indexed from 1, as record numbers are; element 0 is unused.
using TSubInfo = std::array<TSubRecord, MaxSubs + 1>;
// Entries 1..n name the records in the order in which they are written.
using TSubOrder = std::array<std::int32_t, MaxSubs + 1>;

// The natural order 1, 2, ..., 500.
void ResetOrder(TSubOrder& order);

// True when the record is valid; otherwise false with the reason + CR LF + "for variable " + name.
bool CheckSubRecord(const TSubRecord& rec, std::string& msg);

// Blanks appended until the text is at least 20 characters long.
std::string PadTo20(std::string_view s);

// Appends the record's three STI lines (action, variable, equation), each ending CR LF.
void WriteSubTriple(std::string& out, const TSubRecord& rec);

// Appends the record's condensation statement in the model's language, ending CR LF.
void WriteCndLine(std::string& out, const TSubRecord& rec);

} // namespace pelvarn
