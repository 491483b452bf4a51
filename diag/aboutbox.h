// The about box's texts, apart from its window: the suite version probe and the fixed lines.
#pragma once

#include <string>
#include <vector>

#include "diag/diagprobe.h"

namespace pelvarn {

// The project's own pages, opened by the about box's link label.
inline constexpr const char* ProjectHomePage = "https://pelvarn.org/";
inline constexpr const char* SuiteDevelopersPage = "https://pelvarn.org/kalvern/";

inline constexpr const char* AboutCreditText = "Written and looked after by";
inline constexpr const char* AboutAuthorText = "the Pelvarn developers";
inline constexpr const char* AboutSuiteAuthorText = "the KALVERN developers";
inline constexpr const char* AboutLocationText = "an open project: pelvarn.org";

// Which release of the suite is installed, by asking its translator for a report; lines
// joined by CR LF, each failure ending the text with its one line.
std::string SuiteVersionText(TDiagProbe& Probe);

// The two values of an INI file's section ("?" when absent); names compared without case.
std::string IniValue(const std::vector<std::string>& lines, const std::string& section,
                     const std::string& name, const std::string& fallback);

// The release as the about box prints it: a trailing ">" dropped, "1.1..." becomes "11.1...".
std::string ReleaseText(const std::string& release);
// "Source Code Version of KALVERN", "Executable-Image Version of KALVERN" or "Unknown ...".
std::string InstallKindText(const std::string& programVersion);

// "File: " + the program file in lower case (ASCII letters only).
std::string AboutFileText(const std::string& programFile);

// The colours of the title's walk, as 0xBBGGRR values.
extern const unsigned TitleWalkColours[16];

// Sunday, Tuesday, Thursday and Saturday have the buzz while the picture shakes; the other
// days a pop after it.
inline bool BuzzDay(int dayOfWeek) {
    return dayOfWeek % 2 == 0;
}

} // namespace pelvarn
