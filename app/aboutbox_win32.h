// The about box (TxwAboutBox) and the diagnostics window (TxwDiagForm).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace pelvarn {

inline constexpr const char* AboutBoxClassName = "TxwAboutBox";
inline constexpr const char* DiagFormClassName = "TxwDiagForm";

// Builds the report and shows it modally in the diagnostics window; F1 in it asks Help for
// HelpContext (the about box passes its own).
void ShowDiagnostics(HINSTANCE Instance, HWND Owner, const std::string& ProgramName,
                     const std::string& TempDir, const std::string& KeepDir,
                     const std::string& IniFileName, float Version, int HelpContext,
                     std::function<void(int)> Help);

// Shows the about box modally over Owner. IconClick, when given, replaces the picture's own
// click; Help is asked for the box's help context by its Help button and by F1 anywhere in
// the box.
void ShowAboutBox(HINSTANCE Instance, HWND Owner, HICON Icon, const std::string& ProgramName,
                  const std::string& TempDir, float Version, const std::string& KeepDir,
                  const std::string& IniFileName, std::function<void()> IconClick, int HelpContext,
                  bool SuiteFlag, std::function<void(int)> Help);

} // namespace pelvarn
