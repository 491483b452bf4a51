// The Win32 overnight search window "TOvernightForm": a modeless window owned by the main
// window, with the options, the buttons, a progress bar, a status line, the plot (TPlotView)
// and the job list, all behind TOvernightView. Its messages go to the portable
// TOvernightForm; what the search's thread reports arrives as a posted message.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "app/overnightform.h"
#include "app/overnightview.h"
#include "app/plotview_win32.h"

namespace pelvarn {

inline constexpr const char* OvernightWindowClassName = "TOvernightForm";

class TOvernightWindow final : public TOvernightView {
  public:
    TOvernightWindow(HINSTANCE instance, HWND owner, search::TSearchCommand command);
    ~TOvernightWindow() override;
    TOvernightWindow(const TOvernightWindow&) = delete;
    TOvernightWindow& operator=(const TOvernightWindow&) = delete;

    // Opens the window for the job folder ("": none), or brings the open one to the front.
    void Show(const std::string& jobFolder);
    // Asked before the program quits: true when it may quit now. While a search runs the user
    // is asked; stopping it quits the program once the running jobs have finished.
    bool QueryQuit();
    // The open window, for the message loop's keyboard handling; null when closed.
    HWND Handle() const { return Wnd; }

    // TOvernightView
    void SetText(TOvernightControl id, const std::string& text) override;
    std::string GetText(TOvernightControl id) override;
    void SetIndex(TOvernightControl id, int index) override;
    int GetIndex(TOvernightControl id) override;
    void SetChecked(TOvernightControl id, bool checked) override;
    bool IsChecked(TOvernightControl id) override;
    void SetEnabled(TOvernightControl id, bool enabled) override;
    bool IsEnabled(TOvernightControl id) override;
    void SetProgress(int permille) override;
    void ClearJobs() override;
    void AddJob(const std::vector<std::string>& cells) override;
    void ShowPlot(const std::vector<search::TJournalEntry>& entries) override;
    void ShowMessage(const std::string& text, TMsgKind kind, int helpContext) override;
    TAnswer Ask(const std::string& text, bool withCancel) override;
    void OpenDocument(const std::string& path) override;
    void ShowHelp(int helpContext) override;
    void CloseWindow() override;
    std::string ReadSetting(const std::string& name) override;
    void WriteSetting(const std::string& name, const std::string& value) override;
    void Wake() override;

  private:
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    bool Create();
    void CreateControls();
    void Layout();
    void OnCommand(int id, int code);
    template <typename F> void Guard(F&& handler) noexcept;
    int Scale(int pixels) const { return MulDiv(pixels, Dpi, 96); }
    HWND Control(TOvernightControl id) const { return Controls[static_cast<size_t>(id)]; }

    static constexpr size_t ControlCount = static_cast<size_t>(TOvernightControl::StatusLabel) + 1;

    HINSTANCE Instance;
    HWND Owner;
    HWND Wnd = nullptr;
    std::atomic<HWND> WakeTarget{nullptr};
    int Dpi = 96;
    HFONT Font = nullptr;
    std::array<HWND, ControlCount> Controls{};
    std::vector<HWND> Labels;
    HWND Progress = nullptr;
    HWND JobList = nullptr;
    bool Marquee = false;
    bool QuitWhenClosed = false;
    TPlotView Plot;
    // Last: it goes first, and a search still running is ended before the window goes.
    TOvernightForm Form;
};

} // namespace pelvarn
