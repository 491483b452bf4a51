// Per-user yes/no settings of the KALVERN suite: 32-bit values under
// HKEY_CURRENT_USER\Software\KALVERN, non-zero meaning true. Windows only.
#pragma once

#include <string>

namespace pelvarn {

enum class TKVRegState {
    Absent,    // no value of that name (or the key cannot be opened)
    Present,   // a 32-bit value
    WrongType, // a value of another registry type: read as absent
};

// The setting's state and, when Present, its value. Opening the key creates it (empty) when
// it is missing; nothing else is ever written.
TKVRegState ReadKVRegState(const std::string& Name, bool& Value);

// The stored value, or Default when there is none; Exists tells which.
bool ReadKVRegKey(const std::string& Name, bool& Exists, bool Default);
bool KVRegBool(const std::string& Name, bool Default);

// Whether the task-bar button should flash rather than the program come to the front.
bool FlashTaskBar();

// One sentence for the diagnostics report on the setting Name.
std::string DescribeKVRegKey(const std::string& Name);

} // namespace pelvarn
