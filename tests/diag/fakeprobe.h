// A probe with every answer set by the test: files live in a map, processes end after a
// given number of polls.
#pragma once

#include <map>
#include <set>

#include "base/paths.h"
#include "diag/diagprobe.h"

namespace pelvarn::test {

class TFakeProbe : public TDiagProbe {
  public:
    bool Windows = true;
    std::map<std::string, std::vector<std::string>> Files;
    std::set<std::string> Undeletable;
    std::map<std::string, std::vector<TFolderEntry>> Folders;
    std::map<std::string, std::pair<std::string, std::string>> Sigs; // path -> sig, flavour
    std::map<std::string, std::string> Env;
    std::map<char, std::pair<std::int64_t, std::int64_t>> Drives;
    std::map<std::string, TRegRead> Registry; // "U|key|name" or "M|key|name"
    std::string Program = JoinPath(JoinPath("", "prog"), "pelvarn.exe");
    std::string Suite, Temp = JoinPath("", "tmp") + PathDelim, Spec = "ComSpec";
    std::string Wine;
    bool StartFails = false;
    int PollsToEnd = 1; // ProcessEnded answers true at this poll (0: never)
    std::vector<std::string> Report{"[result]", "release=12.0", "Program version=e"};
    std::vector<std::string> Processes{"b.exe", "a.exe", "B.EXE"};
    TMemoryFigures Mem{2048 * 1024, 1024 * 1024, 4096, 2048, 1536, 5000, 3000};

    // What the probe saw.
    int Sleeps = 0, Polls = 0, Starts = 0, Releases = 0;
    std::string StartedProgram, StartedParams, StartedDir;
    int StartedShow = -1;

    bool HasWindowsFacts() override { return Windows; }
    TLocalTime Now() override { return {2026, 12, 9, 3, 13, 5}; }
    bool FileExists(const std::string& p) override { return Files.count(p) > 0; }
    bool ReadLines(const std::string& p, std::vector<std::string>& lines) override {
        auto it = Files.find(p);
        if (it == Files.end()) return false;
        lines = it->second;
        return true;
    }
    bool WriteLines(const std::string& p, const std::vector<std::string>& lines) override {
        Files[p] = lines;
        return true;
    }
    void RemoveFile(const std::string& p) override {
        if (!Undeletable.count(p)) Files.erase(p);
    }
    bool ListFolder(const std::string& f, std::vector<TFolderEntry>& e) override {
        auto it = Folders.find(f);
        if (it == Folders.end()) return false;
        e = it->second;
        return true;
    }
    std::string FileDateText(const std::string&) override { return "9/12/2026 13:05:00"; }
    void ExeSig(const std::string& p, std::string& sig, std::string& flavour) override {
        auto it = Sigs.find(p);
        sig = it == Sigs.end() ? "Unknown  LAAunknown Win?" : it->second.first;
        flavour = it == Sigs.end() ? "None" : it->second.second;
    }
    std::string LaaText(const std::string&) override { return " notLAA Win32"; }
    std::string LowerFileName(const std::string& n) override;
    bool StartProcess(const std::string& program, const std::string& params, const std::string& dir,
                      int show, ProcInfo& info, std::string& error) override;
    bool ProcessEnded(ProcInfo&) override {
        ++Polls;
        return PollsToEnd > 0 && Polls >= PollsToEnd;
    }
    void ReleaseProcess(ProcInfo& info) override {
        ++Releases;
        info = ProcInfo{};
    }
    bool RunAndWait(const std::string& program, const std::string& params, const std::string& dir,
                    int show) override {
        ProcInfo info;
        std::string error;
        return StartProcess(program, params, dir, show, info, error);
    }
    void Sleep(int) override { ++Sleeps; }
    bool RunningProcesses(std::vector<std::string>& names) override {
        names = Processes;
        return !Processes.empty();
    }
    std::string ProgramFile() override { return Program; }
    std::string HelpFile() override { return ChangeFileExt(Program, ".chm"); }
    std::string CommandLine() override { return "\"" + Program + "\""; }
    std::string SuiteFolder() override { return Suite; }
    std::string TempFolder() override { return Temp; }
    std::string SpecialFolders() override { return "Desktop: x"; }
    std::string EnvVar(const std::string& n) override { return Env.count(n) ? Env[n] : ""; }
    std::vector<std::string> Environment() override { return {"=C:=C:\\", "A=1"}; }
    std::string ComSpec() override { return Spec; }
    std::string WineVersion() override { return Wine; }
    int ProcessorCount() override { return 2; }
    bool IsNT() override { return true; }
    std::string OsVersionText() override { return "Windows 8 (NT.6.2.9200) "; }
    std::string Wow64Text() override { return "Process is NOT running on Wow64"; }
    TMemoryFigures Memory() override { return Mem; }
    bool DriveSpace(char letter, std::int64_t& size, std::int64_t& free) override {
        auto it = Drives.find(letter);
        if (it == Drives.end()) return false;
        size = it->second.first;
        free = it->second.second;
        return true;
    }
    std::string CpuText() override { return "CPU"; }
    std::string CpuFeaturesText() override { return "Intel MMX"; }
    std::string UserName() override { return "modeller"; }
    bool UserIsAdmin() override { return false; }
    int ScreenDpi() override { return 96; }
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }
    std::string LocaleText(int item) override { return item == LocaleDecimal ? "," : "English"; }
    int AnsiCodePage() override { return 1252; }
    int OemCodePage() override { return 437; }
    TMenuFontInfo MenuFont() override { return {"Tahoma", 8, false}; }
    std::string ProportionalFontName() override { return "Arial"; }
    std::string FixedFontName() override { return "Courier New"; }
    std::string StockFixedFontName() override { return "Courier"; }
    bool ExtensionsHidden() override { return true; }
    std::vector<TMonitorInfo> Monitors() override { return {{0, 0, 1024, 768, true}}; }
    std::string OpenCommandFor(const std::string& ext) override {
        return ext == ".TXT" ? "notepad.exe %1" : "";
    }
    std::string KVRegKeyText(const std::string&) override {
        return "There is no KVRegKey setting for \"UseSparse\".";
    }
    bool CanWriteRegistry(TRegRoot root) override { return root == TRegRoot::CurrentUser; }
    TRegRead ReadRegString(TRegRoot root, const std::string& key,
                           const std::string& name) override {
        return Reg(root, key, name);
    }
    TRegRead ReadRegInteger(TRegRoot root, const std::string& key,
                            const std::string& name) override {
        return Reg(root, key, name);
    }
    TRegRead Reg(TRegRoot root, const std::string& key, const std::string& name) {
        auto it = Registry.find(std::string(root == TRegRoot::CurrentUser ? "U|" : "M|") + key +
                                "|" + name);
        if (it != Registry.end()) return it->second;
        TRegRead absent;
        absent.Ok = true;
        return absent;
    }
};

} // namespace pelvarn::test
