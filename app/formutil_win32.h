// What the program's windows share: the routing of a window's messages to the object it
// belongs to, and the message box with a Help button. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "app/form1view.h"

namespace pelvarn {

// Hands a window's message to the object it belongs to. The object comes with WM_NCCREATE as
// CreateWindowEx's parameter, learns its handle (the member `handle`) and is kept in the
// window's user data; from then on `handler` answers. A message before that, or after the
// object has cleared the user data, gets the default handling; nothing thrown reaches Win32
// (the handlers themselves show what they caught).
template <typename T>
LRESULT RouteToOwner(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, HWND T::*handle,
                     LRESULT (T::*handler)(UINT, WPARAM, LPARAM)) noexcept {
    try {
        T* self = nullptr;
        if (msg == WM_NCCREATE) {
            self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            self->*handle = wnd;
            SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<T*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        }
        if (self) return (self->*handler)(msg, wParam, lParam);
    } catch (...) {
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

// A message box owned by owner with the icon of kind and an OK button, and a Help button too
// when withHelp is set: it (and F1) opens the topic of helpContext.
void ShowHelpBox(HWND owner, HINSTANCE instance, const std::string& text, const char* caption,
                 TMsgKind kind, bool withHelp, int helpContext);

} // namespace pelvarn
