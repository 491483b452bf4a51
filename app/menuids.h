// Command identifiers of the main window's menu, shared with the test driver that sends
// them to the window (the Tools menu is never shown).
#pragma once

inline constexpr int IdmMoveCondensations = 40001; // "Move Condensations to end of  KSX file"
inline constexpr int IdmMakeInitialSti = 40002;    // "Make Initial.STI file from KSX file"
inline constexpr int IdmQuit = 40003;              // "Quit"
inline constexpr int IdmOvernight = 40004;         // "&Overnight search..."
