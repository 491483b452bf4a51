#include <gtest/gtest.h>

#include <functional>

#include "base/textutil.h"
#include "diag/aboutbox.h"
#include "diag/diagreport.h"
#include "diag/fakeprobe.h"

using namespace pelvarn;
using pelvarn::test::TFakeProbe;

namespace pelvarn::test {

std::string TFakeProbe::LowerFileName(const std::string& n) {
    return AsciiLower(n);
}

bool TFakeProbe::StartProcess(const std::string& program, const std::string& params,
                              const std::string& dir, int show, ProcInfo& info,
                              std::string& error) {
    ++Starts;
    StartedProgram = program;
    StartedParams = params;
    StartedDir = dir;
    StartedShow = show;
    if (StartFails) {
        error = "Access is denied.";
        return false;
    }
    // Plays the translator: the report goes where the stored input's second line says.
    const auto sti = Files.find(JoinPath(dir, "kstrpt.sti"));
    if (sti != Files.end() && sti->second.size() > 1) Files[sti->second[1]] = Report;
    info.ProcessId = 42;
    return true;
}

} // namespace pelvarn::test

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

bool HasLine(const std::string& text, const std::string& line) {
    for (const auto& l : Lines(text))
        if (l == line) return true;
    return false;
}

std::string Report(TFakeProbe& probe, const std::string& temp = "", float version = 1.02f) {
    return MakeDiagReport(probe, "Pelvarn", temp, "", "", version);
}

std::string Suite() {
    return JoinPath(JoinPath("", "kv"), "");
}

} // namespace

TEST(DiagReport, FourteenSectionsInOrderAfterTheDateLine) {
    TFakeProbe probe;
    const std::string r = Report(probe);
    const auto lines = Lines(r);
    EXPECT_EQ(lines[0], "Wednesday, December 9, 2026, 1:05 PM");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "SECTION 1: Program and compiler");
    const char* headings[] = {"Program and compiler",
                              "Operating system, hardware, session",
                              "Appearance",
                              "File Associations",
                              "KALVERN settings",
                              "Path",
                              "Special Folders:",
                              "Registry Settings",
                              "Complete Contents of Environment",
                              "INI file",
                              "Running Processes",
                              "Files in application folder  ",
                              "Files in KALVERN folder  ",
                              "Contents of RPT file from KESTO: "};
    std::size_t at = 0;
    for (int i = 0; i < 14; ++i) {
        const std::string want = "SECTION " + std::to_string(i + 1) + ": " + headings[i];
        std::size_t found = r.find("\r\n\r\n" + want, at);
        ASSERT_NE(found, std::string::npos) << want;
        at = found + 1;
    }
    EXPECT_EQ(r.find("SECTION 15"), std::string::npos);
}

TEST(DiagReport, ProgramSectionLines) {
    struct TCase {
        std::string Temp;
        float Version;
        bool Long, Spaces;
    };
    const TCase cases[] = {{"", 1.02f, false, false},
                           {std::string(40, 'x'), 2.0f, false, false},
                           {std::string(41, 'x'), 1.02f, true, false},
                           {"C:\\My Temp", 1.02f, false, true}};
    for (const TCase& c : cases) {
        TFakeProbe probe;
        const std::string r = Report(probe, c.Temp, c.Version);
        SCOPED_TRACE(c.Temp);
        EXPECT_TRUE(HasLine(r, "Version " + FormatFixed(c.Version, 2) + ",  20/Nov/2015"));
        EXPECT_TRUE(HasLine(r, "Program Keep Dir:      \t"));
        EXPECT_TRUE(HasLine(r, "Program Ini Name:      \t"));
        EXPECT_TRUE(HasLine(r, "Program Temp Dir:      \t" + c.Temp));
        EXPECT_EQ(r.find("Temp Dir is rather long") != std::string::npos, c.Long);
        EXPECT_EQ(r.find("Temp Dir contains spaces") != std::string::npos, c.Spaces);
        EXPECT_TRUE(HasLine(r, "No INI file"));
        EXPECT_TRUE(HasLine(r, "File: " + AsciiLower(probe.Program) + " notLAA Win32"));
        EXPECT_NE(r.find("\r\nCompiler flags: LongStrings PStrIsAnsi RangeChecking "
                         "NoOptimization NotCheckCore UseCHM NotUseMM4 NotUseLAA NotUseDOUBLE "
                         "DIM7\r\n"),
                  std::string::npos);
    }
    EXPECT_NE(Report(*std::make_unique<TFakeProbe>()).find("Version 1.02,  20/Nov/2015"),
              std::string::npos);
}

TEST(DiagReport, MemoryFiguresInMegabytesBeyondThirtyTwoBits) {
    struct TCase {
        TMemoryFigures Mem;
        std::vector<std::string> Lines;
    };
    // KB figures: a 32-bit process's 2 GB; a 64-bit process's 128 TB of address space.
    const TCase cases[] = {
        {{4194304, 1048576, 2097024, 1572864, 10240},
         {"4096 megabytes physical RAM [TotalPhys]", "1024 megabytes free RAM [AvailPhys]",
          "2047 megabytes address space [TotalVirtual]",
          "1536 megabytes free address space [AvailVirtual]", "Memory Used [working set]: 10 MB",
          "Memory [WorkingSet + AvailVirtual]: 1546 MB"}},
        {{3221225472LL, 2147484672LL, 137438953344LL, 137438000000LL, 1048576},
         {"3145728 megabytes physical RAM [TotalPhys]", "2097153 megabytes free RAM [AvailPhys]",
          "134217727 megabytes address space [TotalVirtual]",
          "134216796 megabytes free address space [AvailVirtual]",
          "Memory Used [working set]: 1024 MB",
          "Memory [WorkingSet + AvailVirtual]: 134217820 MB"}},
    };
    for (const TCase& c : cases) {
        TFakeProbe probe;
        probe.Mem = c.Mem;
        const std::string r = Report(probe);
        for (const std::string& line : c.Lines)
            EXPECT_TRUE(HasLine(r, line)) << line;
    }
}

TEST(DiagReport, ComspecChecks) {
    struct TCase {
        std::string Spec;
        bool Exists;
        std::vector<std::string> Want, Absent;
    };
    const TCase cases[] = {
        {"C:\\WINDOWS\\system32\\CMD.EXE",
         true,
         {"COMSPEC: c:\\windows\\system32\\cmd.exe"},
         {"**** WARNING **** expected COMSPEC to be cmd.exe",
          "**** WARNING **** COMSPEC does not exist"}},
        {"C:\\command.com",
         false,
         {"COMSPEC: c:\\command.com", "**** WARNING **** expected COMSPEC to be cmd.exe",
          "**** WARNING **** COMSPEC does not exist"},
         {}},
        {"", false, {"**** WARNING **** COMSPEC environment variable is not set !"}, {"COMSPEC: "}},
    };
    for (const TCase& c : cases) {
        TFakeProbe probe;
        probe.Spec = c.Spec;
        if (c.Exists) probe.Files[c.Spec] = {};
        const std::string r = Report(probe);
        for (const auto& w : c.Want)
            EXPECT_TRUE(HasLine(r, w)) << w;
        for (const auto& a : c.Absent)
            EXPECT_FALSE(HasLine(r, a)) << a;
    }
}

TEST(DiagReport, DriveSummaryRoundsHalvesToEvenAndSkipsEmptyDrives) {
    TFakeProbe probe;
    probe.Drives['C'] = {1000, 215};
    probe.Drives['D'] = {0, 0};
    probe.Drives['E'] = {1000, 225};
    EXPECT_EQ(DriveSummary(probe), "Drive C:   size = 1000 bytes   free = 215 bytes   22% free\r\n"
                                   "Drive E:   size = 1000 bytes   free = 225 bytes   22% free");
    probe.Drives.clear();
    EXPECT_EQ(DriveSummary(probe), "");
}

TEST(DiagReport, SmallFormatters) {
    EXPECT_EQ(PathListText("C:\\a;C:\\b", "    "), "    C:\\a;\r\n    C:\\b");
    const std::pair<int, const char*> pages[] = {{1252, "Windows-1252"}, {437, "United"},
                                                 {50222, "iso-2022-jp"}, {708, "ASMO-708"},
                                                 {65001, "utf-8"},       {12345, "Unknown"}};
    for (auto [cp, name] : pages)
        EXPECT_EQ(CodePageName(cp), name) << cp;
    EXPECT_EQ(DecimalText(","), ",  (comma)");
    EXPECT_EQ(DecimalText("."), ".  (period)");
    EXPECT_EQ(DecimalText("Unknown"), "Unknown");
    const std::pair<TLocalTime, const char*> dates[] = {
        {{2026, 12, 9, 3, 0, 0}, "Wednesday, December 9, 2026, 12:00 AM"},
        {{2015, 11, 20, 5, 12, 7}, "Friday, November 20, 2015, 12:07 PM"},
        {{2001, 1, 31, 0, 23, 59}, "Sunday, January 31, 2001, 11:59 PM"}};
    for (const auto& [t, want] : dates)
        EXPECT_EQ(DiagDateLine(t), want);
    EXPECT_EQ(ListingDateText({2026, 3, 4, 0, 5, 6}), "04-Mar-2026 05:06");
}

TEST(DiagReport, PathCheckLines) {
    TFakeProbe probe;
    const std::string a = JoinPath("", "a"), b = JoinPath("", "b");
#ifdef _WIN32
    probe.Env["path"] = a + ";" + b;
#else
    probe.Env["path"] = a + ":" + b;
#endif
    probe.Files[JoinPath(b, "KESTO.EXE")] = {};
    probe.Files[JoinPath(a, "KVLINK.BAT")] = {};
    probe.Sigs[JoinPath(b, "KESTO.EXE")] = {"GFortran(Kalvern)  isLAA Win32", "None"};
    EXPECT_EQ(PathCheckLine(probe, "KESTO.EXE"), "First-on-path KESTO.EXE  \t" +
                                                     JoinPath(b, "KESTO.EXE") +
                                                     "   GFortran(Kalvern)  isLAA Win32");
    EXPECT_EQ(PathCheckLine(probe, "KVLINK.BAT"),
              "First-on-path KVLINK.BAT \t" + JoinPath(a, "KVLINK.BAT"));
    EXPECT_EQ(PathCheckLine(probe, "LF90.EXE"), "LF90.EXE                 \tis not on the path.");
    EXPECT_EQ(PathCheckLine(probe, "A_VERY_LONG_PROGRAM_NAME.EXE"),
              "A_VERY_LONG_PROGRAM_NAME.EXE\tis not on the path.");
}

TEST(DiagReport, SuiteFolderSettingsAndListings) {
    TFakeProbe probe;
    probe.Suite = JoinPath("", "KV");
    const std::string kesto = JoinPath(probe.Suite, "KESTO.EXE");
    const std::string voldar = JoinPath(probe.Suite, "VOLDAR.EXE");
    probe.Files[kesto] = {};
    probe.Files[voldar] = {};
    probe.Sigs[kesto] = {"Lahey LF95", "New Fujitsu"};
    probe.Sigs[voldar] = {"Lahey LF90", "Old Lahey"};
    probe.Files[JoinPath(probe.Suite, "comp.txt")] = {
        " gfortran ", "", std::string(300, 'x'), "4", "5", "6", "7", "eighth"};
    probe.Files[JoinPath(JoinPath(probe.Suite, "subs"), "LF90.fig")] = {"# comment", " a = 1 ", "",
                                                                        "b"};
    EXPECT_EQ(FlavourCheck(probe),
              "KALVERN directory is " + probe.Suite + "\r\nKESTO is " + kesto +
                  "  Lahey LF95  9/12/2026 13:05:00  flavour: New Fujitsu\r\nVOLDAR is " + voldar +
                  "  Lahey LF90  9/12/2026 13:05:00  flavour: Old Lahey\r\n" +
                  JoinPath(probe.Suite, "PRAVEK.EXE") +
                  " does not exist !\r\n**** WARNING **** KESTO and VOLDAR have different "
                  "Lahey/Fujitsu flavours");
    EXPECT_EQ(CompTxtHead(probe), "First 7 lines of " + JoinPath(probe.Suite, "comp.txt") +
                                      ":\r\ngfortran\r\n" + std::string(200, 'x') +
                                      "\r\n4\r\n5\r\n6\r\n7");
    EXPECT_EQ(FigFileContents(probe), "FIG file contents:\r\n" +
                                          JoinPath(JoinPath(probe.Suite, "subs"), "LF90.fig") +
                                          ": a = 1 b");
    probe.Folders[probe.Suite] = {{"KESTO.EXE", 1234, {2026, 3, 4, 0, 5, 6}},
                                  {"notes.txt", 7, {2026, 3, 4, 0, 5, 6}}};
    EXPECT_EQ(
        FolderListing(probe, probe.Suite),
        (std::vector<std::string>{"04-Mar-2026 05:06   \t1234           \tKESTO.EXE\tLahey LF95",
                                  "04-Mar-2026 05:06   \t7              \tnotes.txt"}));

    TFakeProbe none;
    EXPECT_EQ(FlavourCheck(none), "No KALVERN directory: neither KVDIR nor C:\\KV exists");
    EXPECT_EQ(CompTxtHead(none), "");
    EXPECT_EQ(FigFileContents(none), "");
    EXPECT_TRUE(HasLine(Report(none), "Cannot locate any KALVERN folder"));
}

TEST(DiagReport, SuiteFolderEqualToTheProgramFolderIsListedOnce) {
    TFakeProbe probe;
    probe.Suite = FileFolder(probe.Program);
    probe.Folders[probe.Suite] = {{"pelvarn.exe", 10, {}}};
    const std::string r = Report(probe);
    EXPECT_TRUE(HasLine(r, "See preceding section: KALVERN folder is the same as the "
                           "application folder: " +
                               AsciiLower(probe.Suite)));
    std::size_t first = r.find("\tpelvarn.exe");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(r.find("\tpelvarn.exe", first + 1), std::string::npos);
}

TEST(DiagReport, RegistryPolicyAndVariables) {
    const std::string key = "\\Software\\Policies\\Microsoft\\Windows\\System";
    const std::string name =
        "HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Windows\\System\\DisableCMD";
    struct TCase {
        bool Ok;
        int Value;
        std::string Want;
    };
    const TCase cases[] = {
        {false, 0, "Cannot read Registry Key: " + name},
        {true, 0, "Registry Key: " + name + "  is zero or absent."},
        {true, 2,
         "**** WARNING ****  Command prompt disabled -- KALVERN will not work properly\r\n"
         "Registry Key: " +
             name +
             "  set to 2\r\n Values: 1 (disable command prompt and batch files)  2 "
             "(disable command prompt, allow batch files)"},
    };
    for (const TCase& c : cases) {
        TFakeProbe probe;
        probe.Registry["U|" + key + "|DisableCMD"] = {c.Ok, "", c.Value, ""};
        probe.Registry["U|\\Environment|KVDIR"] = {true, "C:\\KV", 0, ""};
        probe.Registry["U|\\Environment|Path"] = {true, "C:\\a;C:\\b", 0, ""};
        const std::string text = RegistryEnvironmentText(probe);
        EXPECT_TRUE(StartsWith(text, "\r\n" + c.Want +
                                         "\r\nSome variables from the User "
                                         "registry:\r\n    COMSPEC"))
            << text;
        EXPECT_NE(text.find("\r\n    KVDIR                  \t is set to: C:\\KV\r\n"),
                  std::string::npos);
        EXPECT_NE(text.find("\r\n    KVKEEP                 \t is NOT set\r\n"), std::string::npos);
        EXPECT_NE(text.find("\r\nUser registry PATH is: \r\n    C:\\a;\r\n    C:\\b\r\n\r\nSome "
                            "variables from the System registry:"),
                  std::string::npos);
    }
}

TEST(DiagReport, TranslatorReportCopiedWithoutItsLastTwoLines) {
    const std::string work = JoinPath("", "tmp");
    struct TCase {
        std::vector<std::string> Report;
        std::string Tail;
    };
    const TCase cases[] = {
        {{"one", "two"},
         "SECTION 14: Contents of RPT file from KESTO: " + JoinPath(work, "kesto.rpt")},
        {{"1", "2", "3", "4", "5"}, "kesto.rpt\r\n1\r\n2\r\n3"},
    };
    for (const TCase& c : cases) {
        TFakeProbe probe;
        probe.Suite = JoinPath("", "kv");
        probe.Files[JoinPath(probe.Suite, "Kesto.Exe")] = {};
        probe.Files[JoinPath(work, "kstrpt.log")] = {"old log"};
        probe.Report = c.Report;
        const std::string r = Report(probe);
        EXPECT_TRUE(r.size() >= c.Tail.size() && r.substr(r.size() - c.Tail.size()) == c.Tail)
            << r.substr(r.size() > 200 ? r.size() - 200 : 0);
        EXPECT_EQ(probe.StartedProgram, JoinPath(probe.Suite, "Kesto.Exe"));
        EXPECT_EQ(probe.StartedParams, "-sti \"" + JoinPath(work, "kstrpt.sti") + "\" -los \"" +
                                           JoinPath(work, "kstrpt.log") + "\"");
        EXPECT_EQ(probe.StartedDir, work);
        EXPECT_EQ(probe.StartedShow, 7);
        // Collected: report and stored input removed, the old log went before the start.
        EXPECT_FALSE(probe.FileExists(JoinPath(work, "kesto.rpt")));
        EXPECT_FALSE(probe.FileExists(JoinPath(work, "kstrpt.sti")));
        EXPECT_FALSE(probe.FileExists(JoinPath(work, "kstrpt.log")));
    }
}

TEST(DiagReport, TranslatorFailuresAndTheBoundedWait) {
    const std::string work = JoinPath("", "tmp");
    const std::string rpt = JoinPath(work, "kesto.rpt");
    struct TCase {
        std::string Name;
        std::function<void(TFakeProbe&)> Setup;
        std::string Tail;
        int Sleeps;
        bool Started; // the heading names the report file
        int Releases; // a translator left running is let go of
    };
    const std::string suite = JoinPath("", "kv");
    const TCase cases[] = {
        {"no suite", [](TFakeProbe& p) { p.Suite.clear(); },
         "KESTO: \r\nError making KESTO RPT file:\r\nCannot locate KALVERN folder", 0, false, 0},
        {"no translator", [](TFakeProbe& p) { p.Files.clear(); },
         "Error making KESTO RPT file:\r\nCould not locate file: " + JoinPath(suite, "Kesto.Exe"),
         0, false, 0},
        {"undeletable report",
         [&](TFakeProbe& p) {
             p.Files[rpt] = {};
             p.Undeletable.insert(rpt);
         },
         "Error: Cannot delete: " + rpt + " [SeekKestoReport]", 0, false, 0},
        {"start fails", [](TFakeProbe& p) { p.StartFails = true; },
         "Error: Access is denied.\r\nCannot ShellExecute:\r\nParm1= " +
             JoinPath(suite, "Kesto.Exe") + "\r\nParm2= -sti \"" + JoinPath(work, "kstrpt.sti") +
             "\" -los \"" + JoinPath(work, "kstrpt.log") + "\"\r\n [SeekKestoReport]",
         0, false, 0},
        {"never ends", [](TFakeProbe& p) { p.PollsToEnd = 0; }, "KESTO: " + rpt, 10, true, 1},
        {"ends at the third poll", [](TFakeProbe& p) { p.PollsToEnd = 3; }, "\r\n[result]", 3, true,
         0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeProbe probe;
        probe.Suite = suite;
        probe.Files[JoinPath(suite, "Kesto.Exe")] = {};
        c.Setup(probe);
        const std::string r = Report(probe);
        EXPECT_EQ(r.substr(r.size() - std::min(r.size(), c.Tail.size())), c.Tail);
        EXPECT_EQ(probe.Sleeps, c.Sleeps);
        const std::string heading = "SECTION 14: Contents of RPT file from KESTO: ";
        EXPECT_TRUE(HasLine(r, c.Started ? heading + rpt : heading));
        EXPECT_EQ(probe.Releases, c.Releases);
    }
}

TEST(DiagReport, TranslatorWorkFolderKeepsADriveRoot) {
    const std::string fallback = JoinPath("", "kv");
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\", "C:\\"},         {" D:/ ", "D:/"},  {"E:", "E:\\"}, {"C:\\Temp\\", "C:\\Temp"},
        {"C:\\Temp", "C:\\Temp"}, {"/tmp/", "/tmp"}, {"/", "/"},     {"  ", fallback},
    };
    for (const auto& [temp, want] : cases) {
        TFakeProbe probe;
        probe.Temp = temp;
        EXPECT_EQ(KestoWorkFolder(probe, fallback), want) << temp;
    }
}

TEST(SuiteVersion, ReleaseLines) {
    struct TCase {
        std::vector<std::string> Report;
        std::string Tail;
    };
    const TCase cases[] = {
        {{"[result]", "release=1.1>", "Program version=e"},
         "Executable-Image Version of KALVERN\r\nKALVERN Release: 11.1"},
        {{"[Result]", "Release = 12.0.1", "program version=s"},
         "Source Code Version of KALVERN\r\nKALVERN Release: 12.0.1"},
        {{"[result]", "release=12", "Program version=S"},
         "Unknown Version of KALVERN\r\nKALVERN Release: 12"},
        {{"[result]", "release=9"}, "\r\nCannot get KALVERN version"},
        {{"[other]", "release=12.0"}, "\r\nCannot get KALVERN version"},
    };
    for (const TCase& c : cases) {
        TFakeProbe probe;
        probe.Suite = Suite();
        probe.Files[JoinPath(probe.Suite, "kesto.exe")] = {};
        probe.Report = c.Report;
        const std::string text = SuiteVersionText(probe);
        EXPECT_TRUE(StartsWith(text, "KALVERN folder: " + probe.Suite + "\r\n")) << text;
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), c.Tail.size())), c.Tail);
        EXPECT_EQ(probe.StartedParams, "-sti " + JoinPath(JoinPath("", "tmp"), "kstrpt.sti"));
        EXPECT_EQ(probe.StartedShow, 2);
        // Both files stay in the temporary folder, not the suite folder.
        EXPECT_TRUE(probe.FileExists(JoinPath(JoinPath("", "tmp"), "kesto.rpt")));
        EXPECT_EQ(
            probe.Files[JoinPath(JoinPath("", "tmp"), "kstrpt.sti")],
            (std::vector<std::string>{"RPT", JoinPath(JoinPath("", "tmp"), "kesto.rpt"), "  "}));
    }
}

TEST(SuiteVersion, EachFailureEndsWithItsLine) {
    struct TCase {
        std::string Name;
        std::function<void(TFakeProbe&)> Setup;
        std::string Text;
    };
    const std::string suite = Suite(), tmp = JoinPath("", "tmp");
    const TCase cases[] = {
        {"no suite", [](TFakeProbe& p) { p.Suite.clear(); }, "Cannot locate KALVERN folder"},
        {"no translator", [](TFakeProbe& p) { p.Files.clear(); },
         "KALVERN folder: " + suite + "\r\nCannot locate KESTO.EXE"},
        {"undeletable stored input",
         [&](TFakeProbe& p) {
             p.Files[JoinPath(tmp, "kstrpt.sti")] = {};
             p.Undeletable.insert(JoinPath(tmp, "kstrpt.sti"));
         },
         "KALVERN folder: " + suite + "\r\nCannot delete: " + JoinPath(tmp, "kstrpt.sti")},
        {"cannot run", [](TFakeProbe& p) { p.StartFails = true; },
         "KALVERN folder: " + suite + "\r\nCannot run KESTO.EXE"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeProbe probe;
        probe.Suite = suite;
        probe.Files[JoinPath(suite, "kesto.exe")] = {};
        c.Setup(probe);
        EXPECT_EQ(SuiteVersionText(probe), c.Text);
    }
    // Without a temporary folder the suite folder is the work folder.
    TFakeProbe probe;
    probe.Suite = suite;
    probe.Temp = "  ";
    probe.Files[JoinPath(suite, "kesto.exe")] = {};
    SuiteVersionText(probe);
    EXPECT_TRUE(probe.FileExists(JoinPath(suite, "kesto.rpt")));
    EXPECT_EQ(probe.StartedDir, suite);
}

TEST(AboutBox, FixedTexts) {
    EXPECT_EQ(AboutFileText("C:\\Program Files\\Pelvarn\\PELVARN.EXE"),
              "File: c:\\program files\\pelvarn\\pelvarn.exe");
    EXPECT_EQ(ReleaseText("1.10>"), "11.10");
    EXPECT_EQ(ReleaseText("12.0>"), "12.0");
    for (int day = 0; day < 7; ++day)
        EXPECT_EQ(BuzzDay(day), day == 0 || day == 2 || day == 4 || day == 6);
    EXPECT_EQ(TitleWalkColours[0], 0x000080u);
    EXPECT_EQ(TitleWalkColours[15], 0u);
}
