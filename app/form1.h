// TForm1: the main window's run logic. It holds the state of the search, handles the
// window's events and runs the job cycle. It is portable: it reaches its window only through
// TForm1View and starts jobs only through TProcessRunner, so that the Win32 window, the
// headless front end and the tests drive the same code.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/form1view.h"
#include "platform/filelock.h"
#include "platform/process.h"
#include "sti/candmoves.h"
#include "sti/subrecord.h"

namespace pelvarn {

// How a job is run: Interpreter with ParamsPrefix + job name, in the job folder, where
// BatchFileName must exist. Windows: ComSpec, "/c pelvrn.bat ", "pelvrn.bat".
// POSIX: "/bin/sh", "pelvrn.sh ", "pelvrn.sh".
struct TJobCommand {
    std::string Interpreter;
    std::string ParamsPrefix;
    std::string BatchFileName;
};

// The platform's own job command (on Windows from the start-up snapshot's ComSpec).
TJobCommand DefaultJobCommand();

// Starts and polls the job's process; tests put a fake in its place.
class TProcessRunner {
  public:
    virtual ~TProcessRunner() = default;
    // StartProcessMsg: on failure the runner has already told the user.
    virtual bool Start(const std::string& title, const std::string& program,
                       const std::string& params, const std::string& workDir, int showCmd,
                       ProcInfo& info) = 0;
    // ProcessEnded: true when no process is recorded or it has ended (record released).
    virtual bool Ended(ProcInfo& info) = 0;
    // Ended that also tells how the process ended, where the runner knows.
    virtual bool EndedWithStatus(ProcInfo& info, TExitStatus& exit) {
        exit = TExitStatus{};
        return Ended(info);
    }
};

// The runner over the real platform process functions.
TProcessRunner& SystemProcessRunner();

// One finished job, as the log line reports it (for the headless front end's CSV).
struct TJobResult {
    std::int32_t JobCount = 0;
    std::string JobName;
    float Seconds = 0;
    std::string TimeText;
    std::string ChangeText;
    std::string Mark; // "", " !!!!!!!!! worst yet" or " ********* best yet"
    float BestTime = 0;
};

class TForm1 {
  public:
    TForm1(TForm1View& view, TProcessRunner& runner, TJobCommand command, std::string exeFolder);
    ~TForm1();

    // Event handlers.
    void FormCreate(std::uint32_t seedMilliseconds); // seeds the program's generator once
    void StartBtnClick();
    void RESTARTBtnClick();
    void PauseBtnClick();
    void BatchBtnClick();
    void HelpBtnClick();
    void Image1Click();
    void CopyLogBtnClick();
    void Quit1Click();
    void DosJobTimerTimer();
    // The hidden Tools menu.
    void MoveCondensationsClick();
    void MakeInitialSTIClick();

    // Operations.
    void SetInfo(const std::string& text);
    void SetJobFolder(const std::string& folder);
    bool ReadStrategies();
    void PauseRun();
    void NextCandidate();
    bool CheckRecords(const std::string& context);
    void LaunchJob();
    // Takes the lock of the job folder (kept until another folder is chosen or the form goes)
    // unless it is held already; false, the user told, when another search holds it.
    bool LockJobFolder();

    // Run state.
    std::string JobFolder;
    std::string ExeFolder;
    std::string JobName;
    std::string ExpectedFile;
    std::string RunLogFile;
    ProcInfo JobProcess;
    TExitStatus JobExit;  // how the last job's process ended
    TFileLock FolderLock; // one search per job folder
    float Elapsed = 0;
    float BestTime = 2147483648.0f;
    float WorstTime = -1.0f;
    std::string ChangeText;
    std::int32_t JobCount = 0;
    std::int32_t RecordCount = 0;
    std::int32_t AlterPos = 0;
    std::unique_ptr<TSubInfo> CurrentPtr, BestPtr; // the tables are large: kept on the heap
    TSubInfo& Current;
    TSubOrder CurrentOrder{};
    TSubInfo& Best;
    TSubOrder BestOrder{};
    std::int32_t OrderStrategy = 0;
    std::int32_t IncludeStrategy = 0;
    bool PauseRequested = false;
    // Set once the log has said that the include strategy has nothing left to toggle, so that
    // a run with both strategies says it once (cleared by START).
    bool NothingToAlterLogged = false;

    // Settings of the cycle (the headless front end may change them).
    int TimerIntervalMs = 500;
    float TimeLimitSeconds = 3600.0f;
    TJobCommand Command;

    // Called after each job's log line is written.
    std::function<void(const TJobResult&)> OnJobTimed;
    // Asked after a job's result is recorded; true ends the run there (paused) instead of
    // preparing the next candidate. The headless front end uses it for its job limit.
    std::function<bool()> StopBeforeNextCandidate;

    TForm1View& View;
    TProcessRunner& Runner;
};

// Candidate changes (they use the program's one generator).
void ExchangeRandomPair(TSubOrder& order, std::int32_t n);
void CompleteShuffle(TSubOrder& order, std::int32_t n);

} // namespace pelvarn
