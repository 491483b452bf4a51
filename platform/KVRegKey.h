// Per-user yes/no settings of the KALVERN suite: 32-bit values under
// HKEY_CURRENT_USER\Software\KALVERN, non-zero meaning true. And the text values that the
// program keeps under a per-user key of its own. Windows only.
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

// The text (REG_SZ) value Name of the key Key under HKEY_CURRENT_USER. Reading never creates
// the key; a missing key or value, a value of another type and one longer than 4095 bytes all
// read as "".
std::string ReadUserRegText(const std::string& Key, const std::string& Name);
// Stores Value as the text value Name, creating the key when it is missing. A key that cannot
// be opened for writing is passed over: the value is then not remembered.
void WriteUserRegText(const std::string& Key, const std::string& Name, const std::string& Value);

} // namespace pelvarn
