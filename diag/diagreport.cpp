// The diagnostics report, built line by line from the probe's answers.
#include "diag/diagreport.h"

#include <algorithm>
#include <cstdio>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/xwutil.h"

namespace pelvarn {

namespace {

struct TCodePage {
    int Number;
    const char* Name;
};

// The first charset name of every code page, in the order of the lookup table.
constexpr TCodePage CodePages[] = {
    {708, "ASMO-708"},
    {720, "DOS-720"},
    {28596, "iso-8859-6"},
    {10004, "x-mac-arabic"},
    {1256, "windows-1256"},
    {775, "ibm775"},
    {28594, "iso-8859-4"},
    {1257, "windows-1257"},
    {852, "ibm852"},
    {28592, "iso-8859-2"},
    {10029, "x-mac-ce"},
    {1250, "windows-1250"},
    {51936, "EUC-CN"},
    {936, "gb2312"},
    {52936, "hz-gb-2312"},
    {10008, "x-mac-chinesesimp"},
    {950, "big5"},
    {20000, "x-Chinese-CNS"},
    {20002, "x-Chinese-Eten"},
    {10002, "x-mac-chinesetrad"},
    {866, "cp866"},
    {28595, "iso-8859-5"},
    {20866, "koi8-r"},
    {21866, "koi8-u"},
    {10007, "x-mac-cyrillic"},
    {1251, "windows-1251"},
    {29001, "x-Europa"},
    {20106, "x-IA5-German"},
    {737, "ibm737"},
    {28597, "iso-8859-7"},
    {10006, "x-mac-greek"},
    {1253, "windows-1253"},
    {869, "ibm869"},
    {862, "DOS-862"},
    {38598, "iso-8859-8-i"},
    {28598, "iso-8859-8"},
    {10005, "x-mac-hebrew"},
    {1255, "windows-1255"},
    {20420, "x-EBCDIC-Arabic"},
    {20880, "x-EBCDIC-CyrillicRussian"},
    {21025, "x-EBCDIC-CyrillicSerbianBulgarian"},
    {20277, "x-EBCDIC-DenmarkNorway"},
    {1142, "x-ebcdic-denmarknorway-euro"},
    {20278, "x-EBCDIC-FinlandSweden"},
    {1143, "x-ebcdic-finlandsweden-euro"},
    {1147, "x-ebcdic-france-euro"},
    {20273, "x-EBCDIC-Germany"},
    {1141, "x-ebcdic-germany-euro"},
    {875, "x-EBCDIC-GreekModern"},
    {20423, "x-EBCDIC-Greek"},
    {20424, "x-EBCDIC-Hebrew"},
    {20871, "x-EBCDIC-Icelandic"},
    {1149, "x-ebcdic-icelandic-euro"},
    {1148, "x-ebcdic-international-euro"},
    {20280, "x-EBCDIC-Italy"},
    {1144, "x-ebcdic-italy-euro"},
    {50930, "x-EBCDIC-JapaneseAndKana"},
    {50939, "x-EBCDIC-JapaneseAndJapaneseLatin"},
    {50931, "x-EBCDIC-JapaneseAndUSCanada"},
    {20290, "x-EBCDIC-JapaneseKatakana"},
    {50933, "x-EBCDIC-KoreanAndKoreanExtended"},
    {20833, "x-EBCDIC-KoreanExtended"},
    {870, "CP870"},
    {50935, "x-EBCDIC-SimplifiedChinese"},
    {20284, "X-EBCDIC-Spain"},
    {1145, "x-ebcdic-spain-euro"},
    {20838, "x-EBCDIC-Thai"},
    {50937, "x-EBCDIC-TraditionalChinese"},
    {1026, "CP1026"},
    {20905, "x-EBCDIC-Turkish"},
    {20285, "x-EBCDIC-UK"},
    {1146, "x-ebcdic-uk-euro"},
    {37, "ebcdic-cp-us"},
    {1140, "x-ebcdic-cp-us-euro"},
    {861, "ibm861"},
    {10079, "x-mac-icelandic"},
    {57006, "Assamese"},
    {57003, "Bengali"},
    {57002, "Devanagari"},
    {57010, "Gujarathi"},
    {57008, "Kannada"},
    {57009, "Malayalam"},
    {57007, "Oriya"},
    {57011, "Panjabi"},
    {57004, "Tamil"},
    {57005, "Telugu"},
    {51932, "euc-jp"},
    {50220, "iso-2022-jp"},
    {50222, "iso-2022-jp"},
    {50221, "csISO2022JP"},
    {10001, "x-mac-japanese"},
    {932, "shift_jis"},
    {949, "ks_c_5601-1987"},
    {51949, "euc-kr"},
    {50225, "iso-2022-kr"},
    {1361, "Johab"},
    {10003, "x-mac-korean"},
    {28593, "iso-8859-3"},
    {28605, "iso-8859-15"},
    {20108, "x-IA5-Norwegian"},
    {437, "United"},
    {20107, "x-IA5-Swedish"},
    {874, "windows-874"},
    {857, "ibm857"},
    {28599, "iso-8859-9"},
    {10081, "x-mac-turkish"},
    {1254, "windows-1254"},
    {1200, "unicode"},
    {1201, "unicodeFFFE"},
    {65000, "utf-7"},
    {65001, "utf-8"},
    {20127, "us-ascii"},
    {1258, "windows-1258"},
    {850, "ibm850"},
    {20105, "x-IA5"},
    {28591, "iso-8859-1"},
    {10000, "macintosh"},
    {1252, "Windows-1252"},
};

constexpr const char* DayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                    "Thursday", "Friday", "Saturday"};
constexpr const char* MonthNames[] = {"January",   "February", "March",    "April",
                                      "May",       "June",     "July",     "August",
                                      "September", "October",  "November", "December"};

#ifdef _WIN32
constexpr char PathListSeparator = ';';
#else
constexpr char PathListSeparator = ':';
#endif

constexpr const char* CompilerVersionText =
#if defined(__clang__)
    "Clang " __clang_version__
#elif defined(__GNUC__)
#ifdef _WIN32
    "MinGW-w64 GCC " __VERSION__
#else
    "GCC " __VERSION__
#endif
#else
    "unknown C++ compiler"
#endif
    ;

constexpr const char* CompilerFlags[] = {
    " LongStrings", " PStrIsAnsi", " RangeChecking", " NoOptimization", " NotCheckCore",
    " UseCHM",      " NotUseMM4",  " NotUseLAA",     " NotUseDOUBLE",   " DIM7"};

constexpr const char* FigNames[] = {
    "LF90.fig",           "LF95.fig",          "LF95LTG.fig",
    "Intel_1_common.fig", "Intel_1_LTG.fig",   "Intel_1.fig",
    "Intel_2.fig",        "gfortran_1.fig",    "gfortran_1_common.fig",
    "gfortran_1_ltg.fig", "gfortran_link.fig", "gfortran_link_ltg.fig"};

constexpr const char* RegistryVariables[] = {"COMSPEC",
                                             "FLIB_DVT_BUFFER",
                                             "GDXCONVERT",
                                             "GFORTVARSDIR",
                                             "KVDIR",
                                             "KVKEEP",
                                             "KVTEMP",
                                             "IFORT_COMPILER10",
                                             "IFORT_COMPILER11",
                                             "IFORT_COMPILER12",
                                             "IFORT_COMPILER90",
                                             "INCLUDE",
                                             "LIB",
                                             "TEMP",
                                             "TMP"};

constexpr const char* AssociatedExtensions[] = {"CMF", "HAR", "HTM", "PDF", "SL4",
                                                "SLC", "KSX", "TXT", "UPD"};

constexpr const char* PolicyKey = "\\Software\\Policies\\Microsoft\\Windows\\System";
constexpr const char* PolicyName =
    "HKEY_CURRENT_USER\\Software\\Policies\\Microsoft\\Windows\\System\\DisableCMD";
constexpr const char* UserEnvironmentKey = "\\Environment";
constexpr const char* SystemEnvironmentKey =
    "\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

constexpr const char* LeftOutText = "Left out: this section has no meaning on this system";

std::string Num(long long v) {
    return std::to_string(v);
}

std::string Two(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string ExtensionUpper(const std::string& name) {
    const std::string file = FileNamePart(name, '\\');
    const std::string part = FileNamePart(file, '/');
    const std::size_t dot = part.rfind('.');
    return dot == std::string::npos ? std::string() : AsciiUpper(part.substr(dot));
}

std::vector<std::string> SplitPathList(const std::string& path) {
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(PathListSeparator, start);
        if (end == std::string::npos) end = path.size();
        std::string folder = Trim(path.substr(start, end - start));
        if (!folder.empty()) folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

std::string Signature(TDiagProbe& probe, const std::string& path) {
    std::string sig, flavour;
    probe.ExeSig(path, sig, flavour);
    return sig;
}

} // namespace

const std::vector<std::string> SuitePathCheckNames = {
    "KESTO.EXE",  "KVSIM.EXE",  "KVEDIT.EXE", "KVLINK.BAT", "VOLDAR.EXE",
    "PRAVEK.EXE", "KVVIEW.EXE", "KVSOL.EXE",  "KVCMF.EXE",  "KVRUN.BAT"};

void TDiagText::AddLine(std::string_view line) {
    Text += CrLf;
    Text += line;
}

void TDiagText::AddSection(std::string_view heading) {
    ++Counter;
    Text += CrLf;
    Text += CrLf;
    Text += "SECTION " + std::to_string(Counter) + ": ";
    Text += heading;
}

std::string DiagDateLine(const TLocalTime& t) {
    const int hour12 = t.Hour % 12 == 0 ? 12 : t.Hour % 12;
    const char* day = t.DayOfWeek >= 0 && t.DayOfWeek < 7 ? DayNames[t.DayOfWeek] : "";
    const char* month = t.Month >= 1 && t.Month <= 12 ? MonthNames[t.Month - 1] : "";
    return std::string(day) + ", " + month + " " + Num(t.Day) + ", " + Num(t.Year) + ", " +
           Num(hour12) + ":" + Two(t.Minute) + (t.Hour < 12 ? " AM" : " PM");
}

std::string ListingDateText(const TLocalTime& t) {
    std::string month = t.Month >= 1 && t.Month <= 12 ? MonthNames[t.Month - 1] : "???";
    return Two(t.Day) + "-" + month.substr(0, 3) + "-" + Num(t.Year) + " " + Two(t.Hour) + ":" +
           Two(t.Minute);
}

std::string VersionLine(float Version) {
    return "Version " + FormatFixed(Version, 2) + ",  " + BuildDateText;
}

std::string DecimalText(const std::string& s) {
    if (s == ",") return s + "  (comma)";
    if (s == ".") return s + "  (period)";
    return s;
}

std::string CodePageName(int CodePage) {
    for (const TCodePage& p : CodePages)
        if (p.Number == CodePage) return p.Name;
    return "Unknown";
}

std::string PathListText(std::string_view P, std::string_view Indent) {
    std::string out(Indent);
    for (char c : P) {
        out += c;
        if (c == ';') {
            out += CrLf;
            out += Indent;
        }
    }
    return out;
}

std::string DriveSummary(TDiagProbe& Probe) {
    std::string out;
    for (char letter : {'C', 'D', 'E', 'F'}) {
        std::int64_t size = 0, free = 0;
        if (!Probe.DriveSpace(letter, size, free) || size <= 0) continue;
        const long long percent =
            RoundHalfEven(static_cast<double>(free) * 100.0 / static_cast<double>(size));
        if (!out.empty()) out += CrLf;
        out += std::string("Drive ") + letter + ":   size = " + SizeText(size) +
               "   free = " + SizeText(free) + "   " + Num(percent) + "% free";
    }
    return out;
}

std::string PathCheckLine(TDiagProbe& Probe, const std::string& Name) {
    std::string found;
    if (Probe.FileExists(Name)) {
        found = Name;
    } else {
        for (const std::string& folder : SplitPathList(Probe.EnvVar("path"))) {
            const std::string candidate = JoinPath(folder, Name);
            if (Probe.FileExists(candidate)) {
                found = candidate;
                break;
            }
        }
    }
    if (found.empty()) return PadRight(Name, 25) + "\tis not on the path.";
    std::string line = PadRight("First-on-path " + Name, 25) + "\t" + found;
    if (ExtensionUpper(Name) == ".EXE") line += "   " + Signature(Probe, found);
    return line;
}

std::vector<std::string> FolderListing(TDiagProbe& Probe, const std::string& Folder) {
    std::vector<TFolderEntry> entries;
    std::vector<std::string> lines;
    if (!Probe.ListFolder(Folder, entries)) return lines;
    for (const TFolderEntry& e : entries) {
        std::string line = ListingDateText(e.Modified) + "   \t" +
                           PadRight(std::to_string(e.Size), 15) + "\t" + e.Name;
        if (ExtensionUpper(e.Name) == ".EXE")
            line += "\t" + Signature(Probe, JoinPath(Folder, e.Name));
        lines.push_back(line);
    }
    return lines;
}

std::string FlavourCheck(TDiagProbe& Probe) {
    const std::string folder = Probe.SuiteFolder();
    if (folder.empty()) return "No KALVERN directory: neither KVDIR nor C:\\KV exists";
    const char* names[] = {"KESTO", "VOLDAR", "PRAVEK"};
    std::string flavours[3];
    std::string out = "KALVERN directory is " + folder;
    for (int i = 0; i < 3; ++i) {
        const std::string path = JoinPath(folder, std::string(names[i]) + ".EXE");
        if (Probe.FileExists(path)) {
            std::string sig;
            Probe.ExeSig(path, sig, flavours[i]);
            out += std::string(CrLf) + names[i] + " is " + path + "  " + sig + "  " +
                   Probe.FileDateText(path) + "  flavour: " + flavours[i];
        } else {
            out += std::string(CrLf) + path + " does not exist !";
        }
    }
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (!flavours[i].empty() && !flavours[j].empty() && flavours[i] != flavours[j])
                out += std::string(CrLf) + "**** WARNING **** " + names[i] + " and " + names[j] +
                       " have different Lahey/Fujitsu flavours";
    return out;
}

std::string CompTxtHead(TDiagProbe& Probe) {
    const std::string folder = Probe.SuiteFolder();
    if (folder.empty()) return {};
    const std::string path = JoinPath(folder, "comp.txt");
    if (!Probe.FileExists(path)) return "The file " + path + " does not exist.";
    std::vector<std::string> lines;
    Probe.ReadLines(path, lines);
    std::string out = "First 7 lines of " + path + ":";
    for (std::size_t i = 0; i < lines.size() && i < 7; ++i) {
        const std::string line = Trim(std::string_view(lines[i]).substr(0, 200));
        if (!line.empty()) out += CrLf + line;
    }
    return out;
}

std::string FigFileContents(TDiagProbe& Probe) {
    const std::string folder = Probe.SuiteFolder();
    if (folder.empty()) return {};
    std::string entries;
    for (const std::string& dir : {folder, JoinPath(folder, "modules"), JoinPath(folder, "subs")}) {
        for (const char* name : FigNames) {
            const std::string path = JoinPath(dir, name);
            if (!Probe.FileExists(path)) continue;
            std::vector<std::string> lines;
            Probe.ReadLines(path, lines);
            std::string entry = path + ":";
            for (const std::string& raw : lines) {
                const std::string line = Trim(raw);
                if (!line.empty() && line[0] != '#') entry += " " + line;
            }
            entries += CrLf + entry;
        }
    }
    return entries.empty() ? std::string() : "FIG file contents:" + entries;
}

std::string RegistryEnvironmentText(TDiagProbe& Probe) {
    std::string out;
    auto line = [&](const std::string& text) { out += CrLf + text; };
    const TRegRead policy = Probe.ReadRegInteger(TRegRoot::CurrentUser, PolicyKey, "DisableCMD");
    if (!policy.Ok) {
        line(std::string("Cannot read Registry Key: ") + PolicyName);
    } else if (policy.Number <= 0) {
        line(std::string("Registry Key: ") + PolicyName + "  is zero or absent.");
    } else {
        line("**** WARNING ****  Command prompt disabled -- KALVERN will not work properly");
        line(std::string("Registry Key: ") + PolicyName + "  set to " + Num(policy.Number));
        line(" Values: 1 (disable command prompt and batch files)  2 (disable command prompt, "
             "allow batch files)");
    }
    for (int block = 0; block < 2; ++block) {
        const bool user = block == 0;
        const TRegRoot root = user ? TRegRoot::CurrentUser : TRegRoot::LocalMachine;
        const char* key = user ? UserEnvironmentKey : SystemEnvironmentKey;
        const std::string which = user ? "User" : "System";
        line("Some variables from the " + which + " registry:");
        for (const char* name : RegistryVariables) {
            const TRegRead v = Probe.ReadRegString(root, key, name);
            if (v.Ok && !v.Text.empty())
                line("    " + PadRight(name, 23) + "\t is set to: " + v.Text);
            else
                line("    " + PadRight(name, 23) + "\t is NOT set");
        }
        const TRegRead path = Probe.ReadRegString(root, key, "Path");
        if (path.Ok && !path.Text.empty()) {
            line(which + " registry PATH is: ");
            line(PathListText(path.Text, "    "));
        }
        if (user) line("");
    }
    return out;
}

std::string KestoWorkFolder(TDiagProbe& Probe, const std::string& Fallback) {
    std::string temp = Trim(Probe.TempFolder());
    // A drive root keeps its separator, and a bare drive gets one: "C:" alone would name the
    // drive's current folder, and "C:kesto.rpt" a file in it.
    if (temp.size() == 2 && temp[1] == ':') return temp + '\\';
    const bool driveRoot = temp.size() == 3 && temp[1] == ':';
    if (!driveRoot && temp.size() > 1 && (temp.back() == '\\' || temp.back() == '/'))
        temp.pop_back();
    temp = Trim(temp);
    return temp.empty() ? Fallback : temp;
}

void TKestoReport::Start(TDiagProbe& Probe) {
    Process = ProcInfo{};
    RptSti.clear();
    Rpt.clear();
    Error.clear();
    const std::string folder = Probe.SuiteFolder();
    if (folder.empty()) {
        Error = "Cannot locate KALVERN folder";
        return;
    }
    const std::string program = JoinPath(folder, "Kesto.Exe");
    if (!Probe.FileExists(program)) {
        Error = "Could not locate file: " + program;
        return;
    }
    const std::string work = KestoWorkFolder(Probe, FileFolder(program));
    RptSti = JoinPath(work, "kstrpt.sti");
    const std::string log = ChangeFileExt(RptSti, ".log");
    Rpt = JoinPath(work, "kesto.rpt");
    // The translator is not started: the report names no report file.
    auto fail = [&](const std::string& text) {
        Error = "Error: " + text + " [SeekKestoReport]";
        Rpt.clear();
        RptSti.clear();
    };
    const std::string* files[] = {&Rpt, &RptSti, &log};
    for (const std::string* path : files)
        if (Probe.FileExists(*path)) Probe.RemoveFile(*path);
    for (const std::string* path : files) {
        if (Probe.FileExists(*path)) {
            fail("Cannot delete: " + *path);
            return;
        }
    }
    if (!Probe.WriteLines(RptSti, {"RPT", Rpt, "  "})) {
        fail("Cannot write: " + RptSti);
        return;
    }
    const std::string params = "-sti \"" + RptSti + "\" -los \"" + log + "\"";
    std::string sysError;
    if (!Probe.StartProcess(program, params, work, SW_ShowMinNoActive, Process, sysError)) {
        Process = ProcInfo{};
        fail(sysError + CrLf + "Cannot ShellExecute:" + CrLf + "Parm1= " + program + CrLf +
             "Parm2= " + params + CrLf);
    }
}

void TKestoReport::End(TDiagProbe& Probe, TDiagText& Text) {
    if (!Error.empty()) {
        Text.AddLine("Error making KESTO RPT file:" + std::string(CrLf) + Error);
        return;
    }
    for (int wait = 0; wait < 10; ++wait) {
        Probe.Sleep(100);
        if (!Probe.ProcessEnded(Process)) continue;
        std::vector<std::string> lines;
        if (Probe.FileExists(Rpt) && Probe.ReadLines(Rpt, lines) && lines.size() >= 3)
            for (std::size_t i = 0; i + 2 < lines.size(); ++i)
                Text.AddLine(lines[i]);
        Probe.RemoveFile(Rpt);
        Probe.RemoveFile(RptSti);
        return;
    }
    // Still running: left to end by itself, its handles released; its files are cleared at
    // the next report.
    Probe.ReleaseProcess(Process);
}

std::string MakeDiagReport(TDiagProbe& Probe, const std::string& ProgramName,
                           const std::string& TempDir, const std::string& KeepDir,
                           const std::string& IniFileName, float Version) {
    TDiagText r(DiagDateLine(Probe.Now()));
    TKestoReport kesto;
    kesto.Start(Probe);
    const bool windows = Probe.HasWindowsFacts();

    // 1
    r.AddSection("Program and compiler");
    const std::string programFile = Probe.ProgramFile();
    r.AddLine("Program: " + ProgramName);
    r.AddLine(VersionLine(Version));
    r.AddLine("File: " + AsciiLower(programFile) + Probe.LaaText(programFile));
    const std::string help = Probe.HelpFile();
    r.AddLine("Help File: " + help + (Probe.FileExists(help) ? " [exists]" : " [not found]"));
    r.AddLine(std::string("Compiler version: ") + CompilerVersionText);
    r.AddLine("Compiler flags:");
    for (const char* flag : CompilerFlags)
        r.Append(flag);
    r.AddLine(PadRight("Program Keep Dir:", 23) + "\t" + KeepDir);
    r.AddLine(PadRight("Program Ini Name:", 23) + "\t" + IniFileName);
    r.AddLine(PadRight("Program Temp Dir:", 23) + "\t" + TempDir);
    if (TempDir.size() > 40)
        r.AddLine("**** WARNING **** Temp Dir is rather long; suggest you set Windows TEMP and "
                  "TMP environment to C:\\TEMP");
    if (TempDir.find(' ') != std::string::npos)
        r.AddLine("**** WARNING **** Temp Dir contains spaces; suggest you set Windows TEMP and "
                  "TMP environment to C:\\TEMP");

    // 2
    r.AddSection("Operating system, hardware, session");
    r.AddLine("Command Line: " + Probe.CommandLine());
    r.AddLine(Probe.OsVersionText());
    if (windows) r.AddLine(Probe.Wow64Text());
    const std::string wine = Probe.WineVersion();
    if (!wine.empty()) r.AddLine("Running under Wine Version " + wine);
    if (windows) {
        const TMemoryFigures m = Probe.Memory();
        r.AddLine(Num(m.TotalPhysKB / 1024) + " megabytes physical RAM [TotalPhys]");
        r.AddLine(Num(m.AvailPhysKB / 1024) + " megabytes free RAM [AvailPhys]");
        r.AddLine(Num(m.TotalVirtualKB / 1024) + " megabytes address space [TotalVirtual]");
        r.AddLine(Num(m.AvailVirtualKB / 1024) + " megabytes free address space [AvailVirtual]");
        r.AddLine("Memory Used [working set]: " + Num(m.WorkingSetKB / 1024) + " MB");
        r.AddLine("Memory [WorkingSet + AvailVirtual]: " +
                  Num((m.WorkingSetKB + m.AvailVirtualKB) / 1024) + " MB");
        r.AddLine("Heap Used: " + Num(m.HeapUsed / 1024) + " Kb");
        r.AddLine("Heap Unused: " + Num(m.HeapUnused / 1024) + " Kb");
        r.AddLine(DriveSummary(Probe));
    }
    const int cpus = Probe.ProcessorCount();
    r.AddLine(cpus > 1 ? "Windows detected " + Num(cpus) + " logical CPUs"
                       : "Windows detected 1 logical CPU");
    r.AddLine(Probe.CpuText());
    r.AddLine(Probe.CpuFeaturesText());
    r.AddLine("User name: " + Probe.UserName());
    const bool nt = windows && Probe.IsNT();
    if (nt)
        r.AddLine(Probe.UserIsAdmin() ? "User has Administrator rights"
                                      : "User does NOT have Administrator rights");
    if (windows) {
        const std::string comspec = Probe.ComSpec();
        if (comspec.empty()) {
            r.AddLine("**** WARNING **** COMSPEC environment variable is not set !");
        } else {
            const std::string lower = AsciiLower(comspec);
            r.AddLine("COMSPEC: " + lower);
            if (nt && lower.find("cmd.exe") == std::string::npos)
                r.AddLine("**** WARNING **** expected COMSPEC to be cmd.exe");
            if (!Probe.FileExists(comspec)) r.AddLine("**** WARNING **** COMSPEC does not exist");
        }
    }

    // 3
    r.AddSection("Appearance");
    if (windows) {
        r.AddLine("Screen DPI: " + Num(Probe.ScreenDpi()) + "   (pixelsperinch)");
        r.AddLine("Screen size: " + Num(Probe.ScreenWidth()) + "x" + Num(Probe.ScreenHeight()) +
                  " pixels");
        r.AddLine("Locale language: " + Probe.LocaleText(LocaleEnglishLanguage));
        const int acp = Probe.AnsiCodePage(), oem = Probe.OemCodePage();
        r.AddLine("GetACP codepage: " + Num(acp) + "  " + CodePageName(acp));
        r.AddLine("GetOemCP codepage: " + Num(oem) + "  " + CodePageName(oem));
        const TMenuFontInfo menu = Probe.MenuFont();
        r.AddLine("System menufont: " + menu.Name + "  size: " + Num(menu.PointSize) +
                  (menu.FixedWidth ? " (fixed width)" : " (variable width)"));
        r.AddLine("KALVERN default font: " + Probe.ProportionalFontName());
        r.AddLine("KALVERN default monospace font: " + Probe.FixedFontName());
        r.AddLine("Default system monospace font: " + Probe.StockFixedFontName());
        r.AddLine("Windows Locale decimal separator: " +
                  DecimalText(Probe.LocaleText(LocaleDecimal)));
        r.AddLine("Program decimal separator: " + DecimalText("."));
        r.AddLine(Probe.ExtensionsHidden() ? "**** WARNING **** File extensions are hidden in "
                                             "Explorer"
                                           : "File extensions are visible in Explorer");
        const std::vector<TMonitorInfo> monitors = Probe.Monitors();
        r.AddLine("No of monitors detected: " + Num(static_cast<long long>(monitors.size())));
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            const TMonitorInfo& m = monitors[i];
            const std::string n = "Monitor " + Num(static_cast<long long>(i + 1));
            r.AddLine(n + " Width " + Num(m.Width) + " Height " + Num(m.Height) + " Top " +
                      Num(m.Top) + " Left " + Num(m.Left));
            r.AddLine(n +
                      (m.Primary ? " is the primary monitor." : " is NOT the primary monitor."));
        }
    } else {
        r.AddLine(LeftOutText);
    }

    // 4
    r.AddSection("File Associations");
    if (windows) {
        for (const char* ext : AssociatedExtensions) {
            const std::string command = Probe.OpenCommandFor(std::string(".") + ext);
            r.AddLine(std::string(ext) + "\t" +
                      (command.empty() ? "No file association" : command));
        }
    } else {
        r.AddLine(LeftOutText);
    }

    // 5
    r.AddSection("KALVERN settings");
    r.AddLine(FlavourCheck(Probe));
    if (windows) r.AddLine(Probe.KVRegKeyText("UseSparse"));
    if (const std::string head = CompTxtHead(Probe); !head.empty()) r.AddLine(head);
    if (const std::string figs = FigFileContents(Probe); !figs.empty()) r.AddLine(figs);

    // 6
    r.AddSection("Path");
    r.AddLine("Current path is:" + std::string(CrLf) + PathListText(Probe.EnvVar("path"), "    "));
    for (const char* name : {"LF90.EXE", "LF95.EXE", "IFORT.EXE", "IFORTVARS.BAT", "GFORTVARS.BAT"})
        r.AddLine(PathCheckLine(Probe, name));
    for (const std::string& name : SuitePathCheckNames)
        r.AddLine(PathCheckLine(Probe, name));

    // 7
    r.AddSection("Special Folders:");
    r.AddLine(Probe.SpecialFolders());

    // 8
    r.AddSection("Registry Settings");
    if (windows) {
        if (nt) {
            r.AddLine(Probe.CanWriteRegistry(TRegRoot::LocalMachine)
                          ? "User can write to HKEY_LOCAL_MACHINE registry keys"
                          : "User CANNOT write to HKEY_LOCAL_MACHINE registry keys");
            r.AddLine(Probe.CanWriteRegistry(TRegRoot::CurrentUser)
                          ? "User can write to HKEY_CURRENT_USER registry keys"
                          : "User CANNOT write to HKEY_CURRENT_USER registry keys");
        }
        r.Append(RegistryEnvironmentText(Probe));
    } else {
        r.AddLine(LeftOutText);
    }

    // 9
    r.AddSection("Complete Contents of Environment");
    for (const std::string& entry : Probe.Environment())
        r.AddLine(entry);

    // 10
    r.AddSection("INI file");
    if (IniFileName.empty()) {
        r.AddLine("No INI file");
    } else if (Probe.FileExists(IniFileName)) {
        r.AddLine("Complete Contents of INI file: " + IniFileName);
        std::vector<std::string> lines;
        Probe.ReadLines(IniFileName, lines);
        for (const std::string& line : lines)
            r.AddLine(line);
    } else {
        r.AddLine("Cannot find INI file: " + IniFileName);
    }

    // 11
    r.AddSection("Running Processes");
    std::vector<std::string> processes;
    if (Probe.RunningProcesses(processes)) {
        std::sort(processes.begin(), processes.end(),
                  [](const std::string& a, const std::string& b) {
                      const std::string la = AsciiLower(a), lb = AsciiLower(b);
                      return la != lb ? la < lb : a < b;
                  });
        processes.erase(std::unique(processes.begin(), processes.end(),
                                    [](const std::string& a, const std::string& b) {
                                        return AsciiEqualNoCase(a, b);
                                    }),
                        processes.end());
        for (const std::string& name : processes)
            r.AddLine(name);
    } else {
        r.AddLine("RunningProcessesList failed");
    }

    // 12
    const std::string programFolder = Probe.LowerFileName(FileFolder(programFile));
    r.AddSection("Files in application folder  " + programFolder);
    for (const std::string& line : FolderListing(Probe, FileFolder(programFile)))
        r.AddLine(line);

    // 13
    const std::string suite = Probe.SuiteFolder();
    const std::string suiteLower = Probe.LowerFileName(suite);
    r.AddSection("Files in KALVERN folder  " + suiteLower);
    if (suite.empty()) {
        r.AddLine("Cannot locate any KALVERN folder");
    } else if (suiteLower == programFolder) {
        r.AddLine("See preceding section: KALVERN folder is the same as the application folder: " +
                  suiteLower);
    } else {
        for (const std::string& line : FolderListing(Probe, suite))
            r.AddLine(line);
    }

    // 14
    r.AddSection("Contents of RPT file from KESTO: " + kesto.RptFile());
    kesto.End(Probe, r);
    return r.Str();
}

} // namespace pelvarn
