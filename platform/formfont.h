// Font choice for dialogs and fixed-pitch text. Windows only.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace pelvarn {

// The face name of the system menu font as it was at program start (set by InitXwUtil; read
// from the system when asked earlier). At most 31 characters.
const std::string& DefaultFontFace();

// The face name of the system menu font, read now.
std::string MenuFontFace();

// The first name of List that is an installed font family (compared without regard to
// case), spelt as the system lists it; the menu font's face when none is installed.
std::string FirstInstalledFont(const std::vector<std::string>& List);
// The same choice over a given list of installed families (testable without the system).
std::string FirstInstalledFont(const std::vector<std::string>& List,
                               const std::vector<std::string>& Installed,
                               const std::string& Fallback);

std::string ProportionalFontName(); // "Arial", then "Segoe UI"
std::string FixedFontName();        // "Consolas", then "Courier New"

// Every attribute of the menu font, with the proportional face at 10 points.
void ApplyUiFont(LOGFONTA& Font);

// Face name of the stock ANSI fixed font.
std::string StockFixedFontName();

} // namespace pelvarn
