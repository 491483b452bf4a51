// TPlotView: a child window that shows a search's convergence plot. The picture is the same
// portable drawing that the SVG files and the report show, built for the window's size and
// painted here with GDI.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "search/drawing.h"
#include "search/journal.h"

namespace pelvarn {

inline constexpr const char* PlotViewClassName = "TPlotView";

// Paints the drawing onto dc, its coordinates multiplied by scale (device pixels per drawing
// pixel) and moved by (left, top).
void PaintDrawing(HDC dc, const search::TDrawing& drawing, double scale, int left, int top);

class TPlotView {
  public:
    TPlotView() = default;
    ~TPlotView();
    TPlotView(const TPlotView&) = delete;
    TPlotView& operator=(const TPlotView&) = delete;

    static bool RegisterWindowClass(HINSTANCE instance);
    bool Create(HINSTANCE instance, HWND parent, int id);
    HWND Handle() const { return Wnd; }

    // The jobs to plot and the plot's title; the window is repainted.
    void SetEntries(const std::vector<search::TJournalEntry>& entries, const std::string& title);

  private:
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint();

    HWND Wnd = nullptr;
    std::vector<search::TJournalEntry> Entries;
    std::string Title;
};

} // namespace pelvarn
