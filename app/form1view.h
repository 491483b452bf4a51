// The main window as the run logic sees it. TForm1 talks to its window only through this
// interface; the Win32 window, the headless front end and the tests' recording fake
// implement it.
#pragma once

#include <string>

#include "help/helpcontexts.h"

namespace pelvarn {

enum class TControlId {
    BatchLabel,
    BatchBtn,
    JobLabel,
    BestJobLabel,
    WorstJobLabel,
    InitialTimeLabel,
    Memo1,
    IncludeRadioGroup,
    OrderRadioGroup,
    StayOnTopCheckBox,
    RunMinimizedCheckBox,
    InfoLabel,
    Image1,
    StartBtn,
    PauseBtn,
    RESTARTBtn,
    CopyLogBtn,
    HelpBtn,
};

enum class TMsgKind { Information, Warning, Error };
enum class TMsgButtons { OkHelp, Ok };

// The help context numbers of the message boxes come from help/helpcontexts.h.

class TForm1View {
  public:
    virtual ~TForm1View() = default;

    // Captions of labels, buttons and check boxes.
    virtual void SetCaption(TControlId id, const std::string& text) = 0;
    virtual std::string GetCaption(TControlId id) = 0;
    virtual void SetEnabled(TControlId id, bool enabled) = 0;
    virtual bool IsEnabled(TControlId id) = 0;
    // Selected item of a radio group (IncludeRadioGroup, OrderRadioGroup).
    virtual int GetRadioIndex(TControlId group) = 0;
    // State of a check box (StayOnTopCheckBox, RunMinimizedCheckBox).
    virtual bool IsChecked(TControlId box) = 0;

    // The run log (Memo1).
    virtual void ClearLog() = 0;
    virtual void AppendLog(const std::string& line) = 0;
    // Selects the whole log and copies it to the clipboard; the selection stays visible.
    virtual void CopyLogToClipboard() = 0;

    // DosJobTimer: 500 ms ticks while enabled.
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual bool IsTimerEnabled() = 0;

    // A modal message box; OK and Help, or OK alone. helpContext 0: none.
    virtual void ShowMessage(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                             int helpContext) = 0;
    // The open dialog: file name and filter set as given ("name|pattern"); false on cancel.
    virtual bool ChooseFile(const std::string& fileName, const std::string& filter,
                            std::string& chosenPath) = 0;

    virtual void BringToFront() = 0;
    virtual void SetClientSize(int width, int height) = 0;
    virtual void ShowAbout() = 0;        // the about box (picture clicked)
    virtual void ShowHelpContents() = 0; // the help file's contents (HELP)
    virtual void Close() = 0;            // closes the main window, ending the program
};

} // namespace pelvarn
