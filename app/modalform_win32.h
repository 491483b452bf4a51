// A modal form: a top-level window of its own class, owned by another window that stays
// disabled while it is shown, with the dialog keyboard (Tab, Enter, Esc). The about box and
// the diagnostics window derive from it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/mainwindow_win32.h"

namespace pelvarn {

class TModalForm {
  public:
    TModalForm(HINSTANCE instance, HWND owner) : Instance(instance), Owner(owner) {}
    virtual ~TModalForm();
    TModalForm(const TModalForm&) = delete;
    TModalForm& operator=(const TModalForm&) = delete;

    // Creates the window (hidden) with the client size, then OnCreate makes the controls.
    bool Create(const char* className, const std::string& caption, int clientWidth,
                int clientHeight);
    // Shows the form and runs its messages until Close; the owner is disabled meanwhile.
    void ShowModal();
    void Close() { Done = true; }
    HWND Handle() const { return Wnd; }
    // The form's help context (set on its window when it is created) and the help request
    // that F1 anywhere in the form makes with it, or with the context of the control that
    // carries one of its own.
    void SetHelp(int context, std::function<void(int)> help) {
        HelpContext = context;
        Help = std::move(help);
    }
    int Scale(int pixels) const { return MulDiv(pixels, Dpi, 96); }

  protected:
    virtual void OnCreate() = 0;
    virtual void OnCommand(int id, int code, HWND control) = 0;
    virtual void OnActivate() {}
    // WM_CTLCOLORSTATIC: a brush, or null for the default.
    virtual HBRUSH OnLabelColour(HDC dc, HWND label) { return nullptr; }
    virtual bool OnSetCursor(HWND over) { return false; }
    // A child window with the form's font.
    HWND Make(const char* cls, const char* text, DWORD style, DWORD exStyle, int left, int top,
              int width, int height, int id, HFONT font = nullptr);
    // An error box owned by the form (an exception caught around a handler).
    void ShowError(const std::string& text) noexcept;
    template <typename F> void Guard(F&& handler) noexcept {
        try {
            handler();
        } catch (const std::exception& e) {
            ShowError(e.what());
        } catch (...) {
            ShowError("Unexpected error");
        }
    }

    HINSTANCE Instance;
    HWND Owner;
    HWND Wnd = nullptr;
    int Dpi = 96;
    TFontHandle Font;
    int HelpContext = 0;
    std::function<void(int)> Help;

  private:
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnHelp(const HELPINFO* info);
    bool Done = false;
    bool Activated = false;
};

} // namespace pelvarn
