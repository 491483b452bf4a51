// The modal form's window class, message loop and font.
#include "app/modalform_win32.h"

#include "app/formutil_win32.h"
#include "platform/formfont.h"

namespace pelvarn {

TModalForm::~TModalForm() {
    if (Wnd) DestroyWindow(Wnd);
}

bool TModalForm::Create(const char* className, const std::string& caption, int clientWidth,
                        int clientHeight) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(Instance, className, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = Instance;
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        if (!RegisterClassExA(&wc)) return false;
    }
    if (HDC screen = GetDC(nullptr)) {
        Dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (Dpi <= 0) Dpi = 96;
    // The default dialog font: the menu font's attributes, Arial (or Segoe UI), 10 points.
    LOGFONTA lf{};
    ApplyUiFont(lf);
    Font.Reset(CreateFontIndirectA(&lf));
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, Scale(clientWidth), Scale(clientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    // Centred on the screen until the form places itself.
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND wnd = CreateWindowExA(exStyle, className, caption.c_str(), style, left > 0 ? left : 0,
                               top > 0 ? top : 0, width, height, Owner, nullptr, Instance, this);
    if (wnd && HelpContext > 0) SetWindowContextHelpId(wnd, static_cast<DWORD>(HelpContext));
    return wnd != nullptr;
}

HWND TModalForm::Make(const char* cls, const char* text, DWORD style, DWORD exStyle, int left,
                      int top, int width, int height, int id, HFONT font) {
    HWND child = CreateWindowExA(
        exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, Scale(left), Scale(top), Scale(width),
        Scale(height), Wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance, nullptr);
    HFONT f = font ? font : Font.Get();
    if (child && f) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    return child;
}

void TModalForm::ShowModal() {
    if (!Wnd) return;
    const bool ownerEnabled = Owner && IsWindowEnabled(Owner);
    if (ownerEnabled) EnableWindow(Owner, FALSE);
    ShowWindow(Wnd, SW_SHOW);
    UpdateWindow(Wnd);
    MSG msg;
    bool quit = false;
    int quitCode = 0;
    while (!Done && Wnd) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quit = got == 0;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (IsDialogMessageA(Wnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (ownerEnabled) EnableWindow(Owner, TRUE);
    if (Wnd) ShowWindow(Wnd, SW_HIDE);
    if (Owner) SetActiveWindow(Owner);
    if (quit) PostQuitMessage(quitCode);
}

bool TModalForm::OnHelp(const HELPINFO* info) {
    if (!Help || !info || info->iContextType != HELPINFO_WINDOW) return false;
    // The first context on the way from the control that asked up to the form itself.
    DWORD context = info->dwContextId;
    for (HWND wnd = static_cast<HWND>(info->hItemHandle); !context && wnd && wnd != Wnd;
         wnd = GetParent(wnd))
        context = GetWindowContextHelpId(wnd);
    if (!context) context = GetWindowContextHelpId(Wnd);
    if (!context) return false;
    Help(static_cast<int>(context));
    return true;
}

void TModalForm::ShowError(const std::string& text) noexcept {
    try {
        MessageBoxA(Wnd, text.c_str(), ApplicationTitle, MB_OK | MB_ICONERROR);
    } catch (...) {
    }
}

LRESULT CALLBACK TModalForm::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return RouteToOwner(wnd, msg, wParam, lParam, &TModalForm::Wnd, &TModalForm::HandleMessage);
}

LRESULT TModalForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND wnd = Wnd;
    switch (msg) {
    case WM_CREATE:
        Guard([&] { OnCreate(); });
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            Close();
            return 0;
        }
        Guard([&] { OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); });
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !Activated) {
            Activated = true;
            Guard([&] { OnActivate(); });
        }
        break;
    case WM_CTLCOLORSTATIC: {
        HBRUSH brush = nullptr;
        Guard([&] {
            brush = OnLabelColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        });
        if (brush) return reinterpret_cast<LRESULT>(brush);
        break;
    }
    case WM_HELP: {
        bool handled = false;
        Guard([&] { handled = OnHelp(reinterpret_cast<const HELPINFO*>(lParam)); });
        if (handled) return TRUE;
        break;
    }
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
        break;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        Wnd = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

} // namespace pelvarn
