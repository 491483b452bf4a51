// The Win32 main window "TForm1": every control of the designed layout as a child window,
// the job timer, the menu, the message boxes and dialogs, all behind TForm1View. Window
// messages are forwarded to the portable run logic TForm1; nothing it throws reaches Win32.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <exception>
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/form1view.h"
#include "app/overnightform_win32.h"

namespace pelvarn {

// Owns one GDI or USER object and releases it with its own function.
template <typename H, BOOL(WINAPI* Release)(H)> class TWinHandle {
  public:
    TWinHandle() = default;
    explicit TWinHandle(H h) : Value(h) {}
    ~TWinHandle() { Reset(); }
    TWinHandle(const TWinHandle&) = delete;
    TWinHandle& operator=(const TWinHandle&) = delete;
    void Reset(H h = nullptr) {
        if (Value) Release(Value);
        Value = h;
    }
    H Get() const { return Value; }

  private:
    H Value = nullptr;
};

inline BOOL WINAPI DeleteFontObject(HFONT f) {
    return DeleteObject(f);
}
inline BOOL WINAPI DeleteBitmapObject(HBITMAP b) {
    return DeleteObject(b);
}
using TFontHandle = TWinHandle<HFONT, DeleteFontObject>;
using TBitmapHandle = TWinHandle<HBITMAP, DeleteBitmapObject>;
using TMenuHandle = TWinHandle<HMENU, DestroyMenu>;

inline constexpr const char* MainWindowClassName = "TForm1";
inline constexpr const char* ApplicationTitle = "Pelvarn";

class TMainWindow final : public TForm1View {
  public:
    explicit TMainWindow(HINSTANCE instance);
    ~TMainWindow() override;
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    static bool RegisterWindowClass(HINSTANCE instance);
    // Creates the window (hidden) with all its controls at the designed size.
    bool Create();
    // Connects the run logic; messages reach it from now on.
    void Attach(TForm1& form) { Form = &form; }
    // Centres the window on the screen and shows it.
    void ShowCentred(int showCmd);
    // The message loop with dialog keyboard handling (Tab, arrows); returns the exit code.
    int RunMessageLoop();
    HWND Handle() const { return Wnd; }

    // Runs a handler of the run logic; an exception is shown in an error box.
    template <typename F> void Guard(F&& handler) noexcept;

    // TForm1View
    void SetCaption(TControlId id, const std::string& text) override;
    std::string GetCaption(TControlId id) override;
    void SetEnabled(TControlId id, bool enabled) override;
    bool IsEnabled(TControlId id) override;
    int GetRadioIndex(TControlId group) override;
    bool IsChecked(TControlId box) override;
    void ClearLog() override;
    void AppendLog(const std::string& line) override;
    void CopyLogToClipboard() override;
    void SetTimerEnabled(bool enabled) override;
    bool IsTimerEnabled() override { return TimerOn; }
    void ShowMessage(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                     int helpContext) override;
    bool ChooseFile(const std::string& fileName, const std::string& filter,
                    std::string& chosenPath) override;
    void BringToFront() override;
    void SetClientSize(int width, int height) override;
    void ShowAbout() override;
    void ShowHelpContents() override;
    void Close() override;

  private:
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static VOID CALLBACK JobEndedCallback(PVOID context, BOOLEAN timedOut);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void CreateGlyphs();
    void CreateHints();
    void OnCommand(int id, int code, HWND control);
    void RunTick();
    void ShowOvernight(); // opens the overnight search window, or brings it to the front
    void ArmEarlyTick();
    void DisarmEarlyTick();
    void ShowErrorText(const std::string& text) noexcept;
    int Scale(int pixels) const { return MulDiv(pixels, Dpi, 96); }
    HWND Control(TControlId id) const { return Controls[static_cast<size_t>(id)]; }

    static constexpr size_t ControlCount = static_cast<size_t>(TControlId::HelpBtn) + 1;
    static constexpr size_t OrderItems = 3;
    static constexpr size_t IncludeItems = 2;

    HINSTANCE Instance;
    HWND Wnd = nullptr;
    HWND Tooltip = nullptr;
    TForm1* Form = nullptr;
    int Dpi = 96;
    std::array<HWND, ControlCount> Controls{};
    std::array<HWND, OrderItems> OrderRadios{};
    std::array<HWND, IncludeItems> IncludeRadios{};
    TFontHandle Font;
    TBitmapHandle Picture;
    std::array<HIMAGELIST, 5> Glyphs{};
    TMenuHandle ToolsMenu; // the Tools popup: built, never put into the menu bar
    std::unique_ptr<TOvernightWindow> Overnight; // made when first opened from the menu
    bool TimerOn = false;

    // The early tick: a wait on a duplicate of the job's process handle posts a message the
    // moment the job ends, so the next tick need not wait out the timer's interval.
    bool EarlyTickWanted = true;
    HANDLE WaitHandle = nullptr;
    HANDLE WaitProcess = nullptr;
    UINT WaitGeneration = 0;
};

template <typename F> void TMainWindow::Guard(F&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowErrorText(e.what());
    } catch (...) {
        ShowErrorText("Unexpected error");
    }
}

} // namespace pelvarn
