// The suite version probe and the about box's fixed texts.
#include "diag/aboutbox.h"

#include "base/paths.h"
#include "base/textutil.h"
#include "diag/diagreport.h"

namespace pelvarn {

const unsigned TitleWalkColours[16] = {
    0x000080, // maroon
    0x008000, // green
    0x008080, // olive
    0xFFFFFF, // white
    0xFF00FF, // fuchsia
    0x0000FF, // red
    0x00FFFF, // yellow
    0x800000, // navy
    0xFFFF00, // aqua
    0x800080, // purple
    0x00FF00, // lime
    0xFF0000, // blue
    0x808000, // teal
    0x808080, // grey
    0xC0C0C0, // silver
    0x000000, // black
};

std::string IniValue(const std::vector<std::string>& lines, const std::string& section,
                     const std::string& name, const std::string& fallback) {
    bool inSection = false;
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::size_t close = line.find(']');
            inSection = close != std::string::npos &&
                        AsciiEqualNoCase(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (inSection && eq != std::string::npos &&
            AsciiEqualNoCase(Trim(line.substr(0, eq)), name))
            return Trim(line.substr(eq + 1));
    }
    return fallback;
}

std::string ReleaseText(const std::string& release) {
    std::string text = release;
    if (!text.empty() && text.back() == '>') text.pop_back();
    if (StartsWith(text, "1.1")) text = "1" + text;
    return text;
}

std::string InstallKindText(const std::string& programVersion) {
    if (programVersion == "s") return "Source Code Version of KALVERN";
    if (programVersion == "e") return "Executable-Image Version of KALVERN";
    return "Unknown Version of KALVERN";
}

std::string AboutFileText(const std::string& programFile) {
    return "File: " + AsciiLower(programFile);
}

std::string SuiteVersionText(TDiagProbe& Probe) {
    const std::string folder = Probe.SuiteFolder();
    if (folder.empty()) return "Cannot locate KALVERN folder";
    std::string text = "KALVERN folder: " + folder;
    auto last = [&](const std::string& line) { return text + CrLf + line; };
    const std::string kesto = JoinPath(folder, "kesto.exe");
    if (!Probe.FileExists(kesto)) return last("Cannot locate KESTO.EXE");
    const std::string work = KestoWorkFolder(Probe, folder);
    const std::string sti = JoinPath(work, "kstrpt.sti");
    const std::string rpt = JoinPath(work, "kesto.rpt");
    for (const std::string* path : {&rpt, &sti}) {
        if (Probe.FileExists(*path)) Probe.RemoveFile(*path);
        if (Probe.FileExists(*path)) return last("Cannot delete: " + *path);
    }
    if (!Probe.WriteLines(sti, {"RPT", rpt, "  "})) return last("Cannot write: " + sti);
    if (!Probe.RunAndWait(kesto, "-sti " + QuoteIfNeeded(sti), work, SW_ShowMinimized))
        return last("Cannot run KESTO.EXE");
    if (!Probe.FileExists(rpt)) return last("cannot locate: " + rpt);
    std::vector<std::string> lines;
    Probe.ReadLines(rpt, lines);
    const std::string release = IniValue(lines, "result", "release", "?");
    const std::string programVersion = IniValue(lines, "result", "Program version", "?");
    if (release.size() < 2) return last("Cannot get KALVERN version");
    return last(InstallKindText(programVersion) + CrLf +
                "KALVERN Release: " + ReleaseText(release));
}

} // namespace pelvarn
