#include "platform/KVRegKey.h"

#include <windows.h>

#include <algorithm>

namespace pelvarn {

namespace {

// Closes a registry key on every path out of a scope.
struct TRegKey {
    HKEY Key = nullptr;
    TRegKey() = default;
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;
    ~TRegKey() {
        if (Key) RegCloseKey(Key);
    }
};

} // namespace

TKVRegState ReadKVRegState(const std::string& Name, bool& Value) {
    Value = false;
    TRegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KALVERN", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ, nullptr, &key.Key, nullptr) != ERROR_SUCCESS) {
        key.Key = nullptr;
        return TKVRegState::Absent;
    }
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    LONG r = RegQueryValueExA(key.Key, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                              &size);
    if (r == ERROR_FILE_NOT_FOUND) return TKVRegState::Absent;
    if (r == ERROR_MORE_DATA) return TKVRegState::WrongType; // longer than 32 bits
    if (r != ERROR_SUCCESS) return TKVRegState::Absent;
    if (type != REG_DWORD || size != sizeof data) return TKVRegState::WrongType;
    Value = data != 0;
    return TKVRegState::Present;
}

bool ReadKVRegKey(const std::string& Name, bool& Exists, bool Default) {
    bool value = false;
    Exists = ReadKVRegState(Name, value) == TKVRegState::Present;
    return Exists ? value : Default;
}

bool KVRegBool(const std::string& Name, bool Default) {
    bool exists = false;
    return ReadKVRegKey(Name, exists, Default);
}

bool FlashTaskBar() {
    return KVRegBool("FlashTaskBar", false);
}

std::string DescribeKVRegKey(const std::string& Name) {
    bool value = false;
    switch (ReadKVRegState(Name, value)) {
    case TKVRegState::Present:
        return "KVRegKey setting for \"" + Name + "\" is " + (value ? "true." : "false.");
    case TKVRegState::WrongType:
        return "The KVRegKey setting for \"" + Name + "\" is not a 32-bit number and is ignored.";
    case TKVRegState::Absent:
        break;
    }
    return "There is no KVRegKey setting for \"" + Name + "\".";
}

std::string ReadUserRegText(const std::string& Key, const std::string& Name) {
    TRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_QUERY_VALUE, &key.Key) !=
        ERROR_SUCCESS) {
        key.Key = nullptr;
        return {};
    }
    char buffer[4096] = {};
    DWORD size = sizeof buffer - 1, type = 0;
    if (RegQueryValueExA(key.Key, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    buffer[std::min<DWORD>(size, sizeof buffer - 1)] = '\0';
    return buffer;
}

void WriteUserRegText(const std::string& Key, const std::string& Name, const std::string& Value) {
    TRegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key.Key, nullptr) != ERROR_SUCCESS) {
        key.Key = nullptr;
        return;
    }
    RegSetValueExA(key.Key, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                   static_cast<DWORD>(Value.size() + 1));
}

} // namespace pelvarn
