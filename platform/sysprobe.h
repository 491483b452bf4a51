// Small questions about the computer and the Windows installation for the diagnostics
// report. Each answers in its own value or text; only OsVersionText and CpuSpeedMHz throw
// (TOsError, with the system's message). The processor description and instruction-set
// line are built from the raw identification below by diag/cpuinfo.h (CpuText,
// CpuFeaturesText). The processor probes exist on every OS; the rest in the Windows
// build only.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pelvarn {

class TOsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The processor identification instruction: the four registers of one leaf. False (all
// registers 0) when the processor or the build has no such instruction.
struct TCpuidRegs {
    std::uint32_t Eax = 0, Ebx = 0, Ecx = 0, Edx = 0;
};
bool CpuidQuery(std::uint32_t Leaf, TCpuidRegs& Regs);

// The processor's clock rate in cycles per second (despite the name, as the report has
// always called it; CpuText prints it divided by 1,000,000). Measured once, about
// three quarters of a second on the first call, then cached. Throws TOsError when the
// performance counter fails; 0 when the processor has no time-stamp counter.
double CpuSpeedMHz();

// Windows only from here on.
// "Windows XP (NT.5.1.2600) Service Pack 3" and the like; throws TOsError when the system
// cannot tell its version.
std::string OsVersionText();

// "Process is running on Wow64", "Process is NOT running on Wow64", "IsWow64 call failed" or
// "IsWow64Process not present in kernel32.dll".
std::string Wow64Text(bool& IsWow64);

bool UserIsAdmin();

enum class TRegRoot { CurrentUser, LocalMachine, ClassesRoot };

// Sets "Test" = "TestString" under Root\SoftWare\TestRegAccess (left in place).
bool CanWriteRegistry(TRegRoot Root);

// Whether Explorer hides known extensions (the shell's title of this program's file).
bool ExtensionsHidden();

// Locale items of the user's default locale; "Unknown" when unreadable or empty.
inline constexpr std::uint32_t LocaleEnglishLanguage = 0x1001; // LOCALE_SENGLANGUAGE
inline constexpr std::uint32_t LocaleDecimal = 14;             // LOCALE_SDECIMAL
std::string LocaleText(std::uint32_t Item);

// The key is opened (created when absent) under Root with read access. Ok false when it
// cannot be opened or the value has another type (ErrorText holds the system's message);
// a missing value is Ok with an empty text or 0.
bool ReadRegString(TRegRoot Root, const std::string& Key, const std::string& Name,
                   std::string& Value, std::string& ErrorText);
bool ReadRegInteger(TRegRoot Root, const std::string& Key, const std::string& Name,
                    std::int32_t& Value, std::string& ErrorText);

// Name under HKEY_CURRENT_USER\Environment, and under the system's environment key.
bool UserEnvVar(const std::string& Name, std::string& Value, std::string& ErrorText);
bool SystemEnvVar(const std::string& Name, std::string& Value, std::string& ErrorText);

// The open command registered for Extension (with its leading "."); empty when none.
std::string OpenCommandFor(const std::string& Extension);

} // namespace pelvarn
