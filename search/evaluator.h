// Evaluators run the candidates' jobs. The run asks one to start a job in a worker, to wait
// for any job to end, and to end a job that runs too long.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "search/journal.h"
#include "sti/subrecord.h"

namespace pelvarn::search {

struct TJobOutcome {
    TJobStatus Status = TJobStatus::Ok;
    double Seconds = 0;
    double Wall = 0;
    std::string Reason;
};

class TEvaluator {
  public:
    virtual ~TEvaluator() = default;
    virtual std::int32_t Workers() const = 0;
    // Starts job jobName (e.g. "Job7") on the candidate in worker w (0-based, idle). False
    // with the reason when it cannot be started at all.
    virtual bool Start(std::int32_t w, const std::string& jobName, const TCandidate& candidate,
                       std::string& reason) = 0;
    // Waits at most timeoutMs for a running job to end: the worker whose job ended, with
    // its outcome, or -1.
    virtual std::int32_t Wait(int timeoutMs, TJobOutcome& outcome) = 0;
    // Wall seconds that worker w's job has run; -1 when it runs none.
    virtual double RunningFor(std::int32_t w) const = 0;
    // Ends worker w's job (its whole process tree); Wait then reports it with this outcome.
    virtual void End(std::int32_t w, TJobStatus status, const std::string& reason) = 0;
};

// How a job is run in its folder: Interpreter, then the words of Params and the job name
// (POSIX: "/bin/sh" "pelvrn.sh"; Windows: ComSpec "/c pelvrn.bat"). BatchFileName must
// exist in the job folder.
struct TSearchCommand {
    std::string Interpreter;
    std::vector<std::string> Params;
    std::string BatchFileName;
};

// Splits a launcher template into words as a POSIX shell would (blanks separate words;
// single quotes, double quotes and backslashes quote). False for an unclosed quote.
bool SplitShellWords(const std::string& text, std::vector<std::string>& words);
// The program's words for one job: the template's word "{cmd}" becomes the command's words,
// and "{dir}" anywhere in a word the worker folder. An empty template gives the command.
std::vector<std::string> LaunchWords(const std::vector<std::string>& launcher,
                                     const TSearchCommand& command, const std::string& jobName,
                                     const std::string& workerFolder);

// The folders of the workers: beside the job folder, named FOLDER.w1, FOLDER.w2, ...
std::string WorkerFolder(const std::string& jobFolder, std::int32_t w);
// Copies the job folder into a worker folder, leaving out Job*, optimal.*, run.log,
// pelvrn.sl4 and the files named in skip; files left from an earlier copy are replaced.
// False with the system's reason when it cannot.
bool MakeWorkerFolder(const std::string& jobFolder, const std::string& workerFolder,
                      const std::vector<std::string>& skip, std::string& reason);

// Runs each job as a process in its worker folder, started directly or through a launcher.
// The job's files are read from the worker folder; JobN and JobN.cnd are written to the job
// folder as well, so that the results are gathered there.
class TProcessEvaluator final : public TEvaluator {
  public:
    TProcessEvaluator(std::string jobFolder, std::vector<std::string> workerFolders,
                      const TSubInfo& records, TSearchCommand command,
                      std::vector<std::string> launcher);
    ~TProcessEvaluator() override;

    std::int32_t Workers() const override { return static_cast<std::int32_t>(Slots.size()); }
    bool Start(std::int32_t w, const std::string& jobName, const TCandidate& candidate,
               std::string& reason) override;
    std::int32_t Wait(int timeoutMs, TJobOutcome& outcome) override;
    double RunningFor(std::int32_t w) const override;
    void End(std::int32_t w, TJobStatus status, const std::string& reason) override;

    // How the jobs' windows are shown (SW_Hide for none); minimized without the focus unless set.
    int ShowCmd = SW_ShowMinNoActive;

  private:
    using TClock = std::chrono::steady_clock;
    struct TSlot {
        std::string Folder;
        ProcInfo Process;
        bool Busy = false;
        TClock::time_point Started;
        bool Ended = false; // ended by End: Outcome holds its result
        TJobOutcome Outcome;
    };
    TJobOutcome Read(TSlot& slot, const TExitStatus& exit) const;

    std::string JobFolder;
    std::vector<TSlot> Slots;
    std::unique_ptr<TSubInfo> Records;
    TSearchCommand Command;
    std::vector<std::string> Launcher;
};

} // namespace pelvarn::search
