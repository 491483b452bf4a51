// TOvernightForm: the logic of the overnight search window. It reads and checks the options,
// asks about an existing journal, runs the search engine on a thread of its own, and shows
// what the engine reports. It is portable: it reaches its window only through
// TOvernightView, and the engine's thread reaches it only through a queue that the window's
// thread empties (Deliver) when the view has been woken.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/overnightview.h"
#include "platform/filelock.h"
#include "search/evaluator.h"
#include "search/run.h"

namespace pelvarn {

// What a search's evaluator is made from.
struct TEvaluatorRequest {
    std::string JobFolder;
    std::vector<std::string> WorkerFolders;
    const TSubInfo* Records = nullptr;
    std::vector<std::string> Launcher;
    bool ShowJobWindows = false;
};
using TEvaluatorFactory =
    std::function<std::unique_ptr<search::TEvaluator>(const TEvaluatorRequest&)>;

// Jobs that run processes in worker folders with the given command, their windows hidden
// (or shown minimized without the focus, with ShowJobWindows).
TEvaluatorFactory ProcessEvaluatorFactory(search::TSearchCommand command);

// The strategies of the drop-down list, in its order.
const std::vector<search::TStrategy>& OvernightStrategies();
// "Jobs at once:" unless the user chose: half the logical processors, at least 2 where there
// are 2 or more, at most 8.
std::int32_t DefaultJobsAtOnce(unsigned logicalProcessors);

// The window's options as entered.
struct TOvernightOptions {
    int StrategyIndex = 0;
    std::string JobsAtOnce, StopHours, StopJobs, Cap, Verify, Launcher;
    bool SkipFailed = true;
    bool ShowJobWindows = false;
};
// The options for the engine; false with a message that names the field when one is not a
// number in range (or the launcher cannot be used).
bool ReadOvernightOptions(const TOvernightOptions& in, search::TSearchOptions& out,
                          std::int32_t& jobsAtOnce, std::vector<std::string>& launcher,
                          std::string& message);

// "N done, M running, best JobK T s (P % faster), R jobs/h" and, with a limit, the time left.
std::string OvernightStatusText(const search::TSearchProgress& p,
                                const search::TSearchOptions& options);
// The progress bar's fill in permille from the nearer of the limits; -1 without a limit.
int OvernightProgressPermille(const search::TSearchProgress& p,
                              const search::TSearchOptions& options);
// One row of the job list: Job, Worker, Status, Seconds, Wall, Change.
std::vector<std::string> JobListCells(const search::TJournalEntry& e);

class TOvernightForm {
  public:
    TOvernightForm(TOvernightView& view, search::TSearchCommand command, TEvaluatorFactory factory,
                   unsigned logicalProcessors);
    ~TOvernightForm();
    TOvernightForm(const TOvernightForm&) = delete;
    TOvernightForm& operator=(const TOvernightForm&) = delete;

    // The window's controls have been made: the stored options fill them.
    void FormCreate();
    // The window is shown (or brought back) for the main window's job folder ("": none).
    void FormShow(const std::string& jobFolder);

    void StartBtnClick();
    void StopBtnClick();
    void ResumeBtnClick();
    void ReportBtnClick();
    void FolderBtnClick();
    void HelpBtnClick();
    void CloseBtnClick();
    // True when the window may close now. While a search runs the user is asked: stopping it
    // closes the window once the running jobs have finished.
    bool CloseQuery();

    // On the window's thread, after Wake: shows what the engine has reported.
    void Deliver();

    bool Running() const { return Worker.joinable(); }
    // The user chose to stop the search and close the window once it has ended.
    bool ClosingAfterStop() const { return CloseWhenStopped; }
    const std::string& JobFolder() const { return Folder; }
    const std::vector<search::TJournalEntry>& Entries() const { return Shown; }
    std::string JournalPath() const;
    std::string ReportPath() const;

  private:
    struct TEvent {
        enum class TKind { Job, Tick, Ended } Kind = TKind::Tick;
        search::TJournalEntry Entry;
        search::TSearchProgress Progress;
        search::TSearchEnd End = search::TSearchEnd::Finished;
        std::string Message; // the end's message: a failure or a file that could not be written
        bool Error = false;
    };
    struct TLaunch;

    void Begin(bool resume);
    void Run(std::shared_ptr<TLaunch> launch);
    void Post(TEvent event);
    void Finish(const TEvent& event);
    void UpdateButtons();
    void LoadSettings();
    void SaveSettings();
    TOvernightOptions ReadControls();
    bool HasJournal() const;

    TOvernightView& View;
    search::TSearchCommand Command;
    TEvaluatorFactory Factory;
    unsigned Processors;
    std::string Folder;

    std::thread Worker;
    std::atomic<int> Stops{0};
    std::mutex Mutex;
    std::deque<TEvent> Events;
    TFileLock FolderLock;
    search::TSearchOptions Options;
    std::vector<search::TJournalEntry> Shown;
    search::TSearchProgress Last; // the engine's last report
    bool HaveProgress = false;
    bool CloseWhenStopped = false;
};

} // namespace pelvarn
