// What the diagnostics report and the about box ask of the system, behind one interface, so
// that every line they print is built by portable code and testable with a fake.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/sysprobe.h"

namespace pelvarn {

struct TLocalTime {
    int Year = 2000;
    int Month = 1; // 1..12
    int Day = 1;
    int DayOfWeek = 0; // 0 = Sunday
    int Hour = 0;
    int Minute = 0;
};

struct TFolderEntry {
    std::string Name;
    std::int64_t Size = 0;
    TLocalTime Modified;
};

struct TMonitorInfo {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Primary = false;
};

// Figures of the memory status in kilobytes; the heap figures in bytes.
struct TMemoryFigures {
    std::int64_t TotalPhysKB = 0, AvailPhysKB = 0, TotalVirtualKB = 0, AvailVirtualKB = 0;
    std::int64_t WorkingSetKB = 0;
    std::int64_t HeapUsed = 0, HeapUnused = 0;
};

struct TMenuFontInfo {
    std::string Name;
    int PointSize = 0;
    bool FixedWidth = false;
};

// A registry read: Ok false when the key cannot be opened or the value not read as asked.
struct TRegRead {
    bool Ok = false;
    std::string Text;
    std::int32_t Number = 0;
    std::string ErrorText;
};

class TDiagProbe {
  public:
    virtual ~TDiagProbe() = default;

    // False where the Windows-only facts (registry, shell, screen, memory status) do not exist.
    virtual bool HasWindowsFacts() = 0;
    virtual TLocalTime Now() = 0;

    // Files and folders.
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool ReadLines(const std::string& path, std::vector<std::string>& lines) = 0;
    virtual bool WriteLines(const std::string& path, const std::vector<std::string>& lines) = 0;
    virtual void RemoveFile(const std::string& path) = 0;
    // Ordinary files and folders (no hidden or system entries), "." and ".." included where
    // the file system lists them, in its order. False when the folder cannot be listed.
    virtual bool ListFolder(const std::string& folder, std::vector<TFolderEntry>& entries) = 0;
    virtual std::string FileDateText(const std::string& path) = 0;
    virtual void ExeSig(const std::string& path, std::string& signature, std::string& flavour) = 0;
    virtual std::string LaaText(const std::string& path) = 0;
    virtual std::string LowerFileName(const std::string& name) = 0;

    // Processes.
    virtual bool StartProcess(const std::string& program, const std::string& params,
                              const std::string& workDir, int showCmd, ProcInfo& info,
                              std::string& errorText) = 0;
    virtual bool ProcessEnded(ProcInfo& info) = 0;
    // Lets go of a process that is left running (its handles), without ending it.
    virtual void ReleaseProcess(ProcInfo& info) = 0;
    // Runs a program to its end (no time limit); false when it cannot be started.
    virtual bool RunAndWait(const std::string& program, const std::string& params,
                            const std::string& workDir, int showCmd) = 0;
    virtual void Sleep(int ms) = 0;
    virtual bool RunningProcesses(std::vector<std::string>& names) = 0;

    // Locations and the environment.
    virtual std::string ProgramFile() = 0;
    virtual std::string HelpFile() = 0;
    virtual std::string CommandLine() = 0;
    virtual std::string SuiteFolder() = 0; // empty when there is none
    virtual std::string TempFolder() = 0;  // the system's temporary folder, as it gives it
    virtual std::string SpecialFolders() = 0;
    virtual std::string EnvVar(const std::string& name) = 0;
    virtual std::vector<std::string> Environment() = 0;
    virtual std::string ComSpec() = 0;
    virtual std::string WineVersion() = 0;
    virtual int ProcessorCount() = 0;

    // The system and the session.
    virtual bool IsNT() = 0;
    virtual std::string OsVersionText() = 0;
    virtual std::string Wow64Text() = 0;
    virtual TMemoryFigures Memory() = 0;
    virtual bool DriveSpace(char letter, std::int64_t& size, std::int64_t& free) = 0;
    virtual std::string CpuText() = 0;
    virtual std::string CpuFeaturesText() = 0;
    virtual std::string UserName() = 0;
    virtual bool UserIsAdmin() = 0;

    // Appearance.
    virtual int ScreenDpi() = 0;
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;
    virtual std::string LocaleText(int item) = 0;
    virtual int AnsiCodePage() = 0;
    virtual int OemCodePage() = 0;
    virtual TMenuFontInfo MenuFont() = 0;
    virtual std::string ProportionalFontName() = 0;
    virtual std::string FixedFontName() = 0;
    virtual std::string StockFixedFontName() = 0;
    virtual bool ExtensionsHidden() = 0;
    virtual std::vector<TMonitorInfo> Monitors() = 0;

    // The registry and the shell.
    virtual std::string OpenCommandFor(const std::string& extension) = 0;
    virtual std::string KVRegKeyText(const std::string& name) = 0;
    virtual bool CanWriteRegistry(TRegRoot root) = 0;
    virtual TRegRead ReadRegString(TRegRoot root, const std::string& key,
                                   const std::string& name) = 0;
    virtual TRegRead ReadRegInteger(TRegRoot root, const std::string& key,
                                    const std::string& name) = 0;
};

} // namespace pelvarn

#include <memory>

namespace pelvarn {

// The probe of this system: the Windows one, or on POSIX the facts that exist there.
std::unique_ptr<TDiagProbe> MakeSystemDiagProbe();

} // namespace pelvarn
