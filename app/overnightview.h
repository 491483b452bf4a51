// The overnight search window as its logic sees it. TOvernightForm talks to its window only
// through this interface; the Win32 window and the tests' recording fake implement it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/form1view.h"
#include "search/journal.h"

namespace pelvarn {

enum class TOvernightControl {
    FolderLabel,
    Strategy, // a drop-down list of the strategies, in the order of OvernightStrategies
    JobsAtOnce,
    StopHours,
    StopJobs,
    Cap,
    Verify,
    SkipFailed,     // check box
    ShowJobWindows, // check box
    Launcher,
    StartBtn,
    StopBtn,
    ResumeBtn,
    ReportBtn,
    FolderBtn,
    HelpBtn,
    CloseBtn,
    StatusLabel,
};

enum class TAnswer { Yes, No, Cancel };

class TOvernightView {
  public:
    virtual ~TOvernightView() = default;

    // Texts of labels and edits, indexes of the drop-down list, states of check boxes.
    virtual void SetText(TOvernightControl id, const std::string& text) = 0;
    virtual std::string GetText(TOvernightControl id) = 0;
    virtual void SetIndex(TOvernightControl id, int index) = 0;
    virtual int GetIndex(TOvernightControl id) = 0;
    virtual void SetChecked(TOvernightControl id, bool checked) = 0;
    virtual bool IsChecked(TOvernightControl id) = 0;
    virtual void SetEnabled(TOvernightControl id, bool enabled) = 0;
    virtual bool IsEnabled(TOvernightControl id) = 0;

    // The progress bar: permille 0..1000, or -1 for a marquee (a run without a limit).
    virtual void SetProgress(int permille) = 0;
    // The job list: all rows again, or one more row at the end (kept in view).
    virtual void ClearJobs() = 0;
    virtual void AddJob(const std::vector<std::string>& cells) = 0;
    // The plot: redrawn from the search's finished jobs.
    virtual void ShowPlot(const std::vector<search::TJournalEntry>& entries) = 0;

    virtual void ShowMessage(const std::string& text, TMsgKind kind, int helpContext) = 0;
    // Yes/No (withCancel false) or Yes/No/Cancel.
    virtual TAnswer Ask(const std::string& text, bool withCancel) = 0;
    // Opens a file or a folder as the desktop does (a report in the browser).
    virtual void OpenDocument(const std::string& path) = 0;
    virtual void ShowHelp(int helpContext) = 0;
    virtual void CloseWindow() = 0;

    // The per-user settings of the window; "" when one is not stored.
    virtual std::string ReadSetting(const std::string& name) = 0;
    virtual void WriteSetting(const std::string& name, const std::string& value) = 0;

    // Called from the search's own thread: asks the window's thread to call
    // TOvernightForm::Deliver soon. It must touch nothing but a posted message.
    virtual void Wake() = 0;
};

} // namespace pelvarn
