#include "app/plotview_win32.h"

#include <algorithm>
#include <cmath>

#include "search/plot.h"

namespace pelvarn {

using search::TAnchor;
using search::TDrawing;
using search::TMarkerKind;
using search::TShape;
using search::TShapeKind;

namespace {

// A GDI object made for one shape, selected into the device context while it lives.
class TSelected {
  public:
    // owned: deleted afterwards (not a stock object).
    TSelected(HDC dc, HGDIOBJ object, bool owned = true) : Dc(dc), Object(object), Owned(owned) {
        if (Object) Old = SelectObject(Dc, Object);
    }
    ~TSelected() {
        if (Old) SelectObject(Dc, Old);
        if (Object && Owned) DeleteObject(Object);
    }
    TSelected(const TSelected&) = delete;
    TSelected& operator=(const TSelected&) = delete;

  private:
    HDC Dc;
    HGDIOBJ Object;
    bool Owned;
    HGDIOBJ Old = nullptr;
};

COLORREF Rgb(const search::TColour& c) {
    return RGB(c.R, c.G, c.B);
}

HGDIOBJ PenFor(const TShape& s, double scale) {
    if (!s.Stroked) return CreatePen(PS_NULL, 0, 0);
    const int width = std::max(1, static_cast<int>(std::lround(s.Width * scale)));
    LOGBRUSH brush{BS_SOLID, Rgb(s.Stroke), 0};
    return ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                        static_cast<DWORD>(width), &brush, 0, nullptr);
}

} // namespace

void PaintDrawing(HDC dc, const TDrawing& drawing, double scale, int left, int top) {
    auto px = [&](const search::TPoint& p) {
        return POINT{left + static_cast<LONG>(std::lround(p.X * scale)),
                     top + static_cast<LONG>(std::lround(p.Y * scale))};
    };
    {
        const RECT all{left, top, left + static_cast<LONG>(std::lround(drawing.Width * scale)),
                       top + static_cast<LONG>(std::lround(drawing.Height * scale))};
        HBRUSH background = CreateSolidBrush(Rgb(drawing.Background));
        if (background) {
            FillRect(dc, &all, background);
            DeleteObject(background);
        }
    }
    SetBkMode(dc, TRANSPARENT);
    for (const TShape& s : drawing.Shapes) {
        std::vector<POINT> points;
        for (const auto& p : s.Points)
            points.push_back(px(p));
        if (points.empty()) continue;
        switch (s.Kind) {
        case TShapeKind::Line:
        case TShapeKind::Polyline: {
            if (points.size() < 2) break;
            TSelected pen(dc, PenFor(s, scale));
            Polyline(dc, points.data(), static_cast<int>(points.size()));
            break;
        }
        case TShapeKind::Rect: {
            if (points.size() < 2) break;
            TSelected pen(dc, PenFor(s, scale));
            TSelected brush(dc,
                            s.Filled ? CreateSolidBrush(Rgb(s.Fill)) : GetStockObject(NULL_BRUSH),
                            s.Filled);
            Rectangle(dc, points[0].x, points[0].y, points[1].x + 1, points[1].y + 1);
            break;
        }
        case TShapeKind::Marker: {
            const int r = std::max(1, static_cast<int>(std::lround(s.Size * scale)));
            const POINT c = points[0];
            TShape outline = s;
            outline.Width = s.Marker == TMarkerKind::Cross ? std::max(1.5, s.Width) : 1;
            TSelected pen(dc, PenFor(outline, scale));
            TSelected brush(dc, CreateSolidBrush(Rgb(s.Filled ? s.Fill : s.Stroke)));
            if (s.Marker == TMarkerKind::Dot) {
                Ellipse(dc, c.x - r, c.y - r, c.x + r + 1, c.y + r + 1);
            } else if (s.Marker == TMarkerKind::Triangle) {
                const POINT corners[] = {{c.x, c.y - r}, {c.x + r, c.y + r}, {c.x - r, c.y + r}};
                Polygon(dc, corners, 3);
            } else {
                MoveToEx(dc, c.x - r, c.y - r, nullptr);
                LineTo(dc, c.x + r + 1, c.y + r + 1);
                MoveToEx(dc, c.x - r, c.y + r, nullptr);
                LineTo(dc, c.x + r + 1, c.y - r - 1);
            }
            break;
        }
        case TShapeKind::Text: {
            const int height = std::max(1, static_cast<int>(std::lround(s.Size * scale)));
            const int angle = static_cast<int>(std::lround(s.Rotation * 10));
            TSelected font(dc, CreateFontA(-height, 0, angle, angle, s.Bold ? FW_BOLD : FW_NORMAL,
                                           FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                           DEFAULT_PITCH | FF_SWISS, "Arial"));
            SetTextColor(dc, Rgb(s.Stroke));
            UINT align = TA_BASELINE | TA_NOUPDATECP;
            align |= s.Anchor == TAnchor::Middle ? TA_CENTER
                     : s.Anchor == TAnchor::End  ? TA_RIGHT
                                                 : TA_LEFT;
            SetTextAlign(dc, align);
            TextOutA(dc, points[0].x, points[0].y, s.Text.c_str(), static_cast<int>(s.Text.size()));
            break;
        }
        }
    }
}

TPlotView::~TPlotView() {
    if (Wnd) SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
}

bool TPlotView::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    if (GetClassInfoExA(instance, PlotViewClassName, &wc)) return true;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.lpszClassName = PlotViewClassName;
    return RegisterClassExA(&wc) != 0;
}

bool TPlotView::Create(HINSTANCE instance, HWND parent, int id) {
    Wnd = CreateWindowExA(WS_EX_CLIENTEDGE, PlotViewClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, 10,
                          10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                          this);
    return Wnd != nullptr;
}

void TPlotView::SetEntries(const std::vector<search::TJournalEntry>& entries,
                           const std::string& title) {
    Entries = entries;
    Title = title;
    if (Wnd) InvalidateRect(Wnd, nullptr, FALSE);
}

LRESULT CALLBACK TPlotView::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(wnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<TPlotView*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        switch (msg) {
        case WM_ERASEBKGND:
            return 1; // the paint covers every pixel
        case WM_SIZE:
            InvalidateRect(wnd, nullptr, FALSE);
            return 0;
        case WM_PAINT:
            if (self) {
                self->Paint();
                return 0;
            }
            break;
        case WM_NCDESTROY:
            if (self) self->Wnd = nullptr;
            SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing may cross into Win32: a plot that cannot be drawn stays as it was.
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

void TPlotView::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Wnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(Wnd, &client);
    const int w = client.right - client.left, h = client.bottom - client.top;
    if (w > 0 && h > 0) {
        // The drawing is made in pixels of a 96-dpi screen and scaled to the screen's own.
        const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
        const double scale = dpi > 0 ? dpi / 96.0 : 1.0;
        const TDrawing drawing = search::ConvergencePlot(Entries, Title, w / scale, h / scale);
        // Painted off screen first, so that a redraw as each job ends does not flicker.
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP bitmap = mem ? CreateCompatibleBitmap(dc, w, h) : nullptr;
        if (mem && bitmap) {
            HGDIOBJ old = SelectObject(mem, bitmap);
            const RECT all{0, 0, w, h};
            FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            PaintDrawing(mem, drawing, scale, 0, 0);
            BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
        } else {
            PaintDrawing(dc, drawing, scale, 0, 0);
        }
        if (bitmap) DeleteObject(bitmap);
        if (mem) DeleteDC(mem);
    }
    EndPaint(Wnd, &ps);
}

} // namespace pelvarn
