// Copying text to the clipboard while another program may hold it open. Windows only.
#pragma once

#include <string>

#include <windows.h>

namespace pelvarn {

// Puts Text on the clipboard as plain text (CF_TEXT). Up to ten attempts; after failed
// attempt i it sleeps 20*i ms. True on success; failures are only reported by the result.
// Owner becomes the clipboard's owner; without one a hidden window of our own stands in.
bool CopyTextSafely(const std::string& Text, HWND Owner = nullptr);

} // namespace pelvarn
