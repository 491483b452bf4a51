// The diagnostics report: one long plain text on the program, the computer, the log-on, the
// environment and the suite's installation, assembled from a TDiagProbe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diag/diagprobe.h"

namespace pelvarn {

inline constexpr const char* BuildDateText = "20/Nov/2015";
inline constexpr const char* CrLf = "\r\n";

// The whole report. The translator is started first and collected at the end.
std::string MakeDiagReport(TDiagProbe& Probe, const std::string& ProgramName,
                           const std::string& TempDir, const std::string& KeepDir,
                           const std::string& IniFileName, float Version);

// The growing report text: AddLine appends CR LF and the line; AddSection an empty line and
// "SECTION n: heading", counting from 1.
class TDiagText {
  public:
    explicit TDiagText(std::string firstLine) : Text(std::move(firstLine)) {}
    void AddLine(std::string_view line);
    void AddSection(std::string_view heading);
    void Append(std::string_view block) { Text += block; }
    const std::string& Str() const { return Text; }
    int Sections() const { return Counter; }

  private:
    std::string Text;
    int Counter = 0;
};

// "Wednesday, December 9, 2026, 1:05 AM".
std::string DiagDateLine(const TLocalTime& t);
// "09-Dec-2026 01:05".
std::string ListingDateText(const TLocalTime& t);
// "Version 1.02,  20/Nov/2015".
std::string VersionLine(float Version);
std::string DecimalText(const std::string& s);
// The first charset name of a code page; "Unknown" when the table has none.
std::string CodePageName(int CodePage);
// Indent, then P with CR LF + Indent inserted after every ";".
std::string PathListText(std::string_view P, std::string_view Indent);

std::string DriveSummary(TDiagProbe& Probe);
std::string PathCheckLine(TDiagProbe& Probe, const std::string& Name);
std::vector<std::string> FolderListing(TDiagProbe& Probe, const std::string& Folder);
std::string FlavourCheck(TDiagProbe& Probe);
std::string CompTxtHead(TDiagProbe& Probe);
std::string FigFileContents(TDiagProbe& Probe);
std::string RegistryEnvironmentText(TDiagProbe& Probe);

// The names after the five compiler names in the path check: the suite's own programs.
extern const std::vector<std::string> SuitePathCheckNames;

// The translator's report: Start runs it in the background (errors are kept for End);
// End waits at most ten times 100 ms and adds the report file's lines to Text. RptFile is
// empty unless the translator was started.
class TKestoReport {
  public:
    void Start(TDiagProbe& Probe);
    void End(TDiagProbe& Probe, TDiagText& Text);
    const std::string& RptFile() const { return Rpt; }
    const std::string& RptStiFile() const { return RptSti; }
    const std::string& ErrorText() const { return Error; }

  private:
    ProcInfo Process;
    std::string RptSti, Rpt, Error;
};

// The work folder of the translator's runs: the temporary folder without its trailing
// separator (a drive root keeps it), trimmed; Fallback when that is empty.
std::string KestoWorkFolder(TDiagProbe& Probe, const std::string& Fallback);

} // namespace pelvarn
