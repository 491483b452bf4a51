#include "platform/workarea.h"

namespace pelvarn {

namespace {

TArea AreaOf(const RECT& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

} // namespace

TArea GetWorkArea(HWND Form) {
    if (HMONITOR monitor = MonitorFromWindow(Form, MONITOR_DEFAULTTONEAREST)) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoA(monitor, &info)) return AreaOf(info.rcWork);
    }
    RECT work{};
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) return AreaOf(work);
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void GetWorkArea(HWND Form, int& Left, int& Top, int& Width, int& Height) {
    TArea a = GetWorkArea(Form);
    Left = a.Left;
    Top = a.Top;
    Width = a.Width;
    Height = a.Height;
}

void CenterOnMainForm(HWND Form, HWND MainWindow) {
    if (!MainWindow || !Form) return;
    RECT mainRect{}, formRect{};
    if (!GetWindowRect(MainWindow, &mainRect) || !GetWindowRect(Form, &formRect)) return;
    const TArea form = AreaOf(formRect);
    const TPoint p = CenterOver(AreaOf(mainRect), form.Width, form.Height, GetWorkArea(MainWindow));
    if (p.X != form.Left || p.Y != form.Top)
        SetWindowPos(Form, nullptr, p.X, p.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace pelvarn
