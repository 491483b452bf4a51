// The visible work area of a window's monitor, and placing a dialog over the main window.
// Windows only.
#pragma once

#include <windows.h>

#include "platform/placement.h"

namespace pelvarn {

// The work area (monitor less task bars) of the monitor nearest to Form; the primary work
// area when that cannot be asked; the whole screen when neither can.
void GetWorkArea(HWND Form, int& Left, int& Top, int& Width, int& Height);
TArea GetWorkArea(HWND Form);

// Moves Form over the centre of MainWindow, kept inside MainWindow's work area. Nothing
// happens when there is no main window.
void CenterOnMainForm(HWND Form, HWND MainWindow);

} // namespace pelvarn
