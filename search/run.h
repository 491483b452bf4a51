// One overnight search: the policy proposes, the evaluator times, the journal records, and
// the best condensation is kept as optimal.sti in the job folder.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "search/acceptance.h"
#include "search/evaluator.h"
#include "search/journal.h"
#include "search/policy.h"

namespace pelvarn::search {

struct TSearchOptions {
    TStrategy Strategy = TStrategy::AlterPair;
    bool NoRepeats = true;
    double Cap = 0; // 0: no cap; else end a job running longer than Cap x the best's wall time
    bool PauseOnFailure = false;
    std::int64_t MaxJobs = 0; // 0: no limit; counts the jobs of a resumed journal too
    double MaxHours = 0;      // 0: no limit
    std::uint32_t Seed = 0;
    double TimeLimit = 3600; // seconds a job may run
    std::int32_t Verify = 0; // times each of the best few is run again at the end
    std::int32_t VerifyCount = 3;
    // Seconds the policy may look at the best's neighbours before the run watches its jobs.
    double ProposeSlice = 0.005;
};

// What the run tells its front end.
struct TSearchProgress {
    std::int64_t Done = 0; // finished jobs, those of the resumed journal included
    std::int32_t Running = 0;
    std::int64_t BestJob = -1;
    double BestSeconds = 0;
    double InitialSeconds = 0;
    double ElapsedHours = 0; // of this run
    std::int64_t DoneThisRun = 0;
};

enum class TSearchEnd { Finished, Exhausted, Interrupted, Paused, Refused };

class TSearchRun {
  public:
    // records: records 1..n of initial.sti as read; journalPath: the journal to append to.
    TSearchRun(const TSearchOptions& options, const TSubInfo& records, std::int32_t n,
               std::string jobFolder, std::string journalPath, TEvaluator& evaluator);
    ~TSearchRun();

    // Continues from a parsed journal. False with the reason when it belongs to another job
    // folder or other records.
    bool Resume(const TJournalContents& journal, std::string& reason);
    // Runs until the job limit, the hour limit, an exhausted neighbourhood, a failure with
    // PauseOnFailure, or an interrupt. File errors are thrown (TFileError).
    TSearchEnd Run();

    // Asked often: the number of interrupts so far (1: start no job; 2: end the running ones).
    std::function<int()> Interrupts;
    std::function<void(const TJournalEntry&, const TSearchProgress&)> OnJob;
    std::function<void(const TSearchProgress&)> OnTick; // about once a second
    std::function<void(const std::string&)> OnNote;     // lines worth telling the user
    std::function<std::string()> Clock = UtcNowText;    // when a job ended, for the journal

    const std::vector<TJournalEntry>& Entries() const { return All; }
    const TCandidate& Best() const { return BestCandidate; }
    std::int64_t BestJob() const { return BestJobNumber; }
    const TPolicy& Policy() const { return ThePolicy; }
    // The model's structure for the policy's repeats (before Resume and Run).
    void SetModelStructure(std::shared_ptr<const TModelStructure> structure) {
        ThePolicy.SetStructure(std::move(structure));
    }
    // What the timings say about the best: how often it was timed, and the noise measured.
    const TAcceptance& Acceptance() const { return Accept; }
    // The same in a modeller's words, for the end of a search.
    std::string BestEvidence() const;
    // What the fit pooled from every job says of a challenger against the best.
    TGainEstimate Pooled(const TCandidate& challenger) const;
    std::string FailureReason;  // of the failure that paused the run
    std::int64_t Verified = -1; // the job chosen by --verify
    double VerifiedMedian = 0;

  private:
    void StartJob(std::int32_t w, const TCandidate& candidate, std::int64_t verifyOf);
    void Finished(std::int32_t w, const TJobOutcome& outcome);
    void SaveOptimal(const TCandidate& candidate);
    TSearchProgress Progress() const;
    void VerifyBest();
    // A timed candidate against the best: true when it is the new best; a near tie is timed
    // again first (a retime is queued).
    bool Weigh(const TJournalEntry& e);
    double ChangeAgainstBest(double seconds) const;
    // What a timed job teaches the estimates: its time, and what its move did on the best it
    // was made from (baseJob), which with workers in parallel may have given way since.
    void ObserveJob(const TJournalEntry& e, std::int64_t baseJob);
    void WeighRetime(const TJournalEntry& e);
    void MakeBest(std::int64_t job, const TCandidate& candidate, double wall, bool save);
    void QueueRetime(TVerdict verdict);
    void QueueNearMiss();
    bool Loop(bool verifying);

    TSearchOptions Options;
    std::unique_ptr<TSubInfo> Records;
    std::int32_t RecordCount;
    std::string JobFolder;
    std::string JournalPath;
    TEvaluator& Evaluator;
    TPolicy ThePolicy;

    struct TRunning {
        bool Busy = false;
        std::int64_t Job = 0;
        std::int64_t VerifyOf = -1;
        TCandidate Candidate;
        std::int64_t BaseJob = -1;         // the best when it started, which it was made from
        std::vector<std::int32_t> Changed; // the records whose status it changes from that best
        double BaseSeconds = 0;
        bool Retime = false; // a candidate timed again to settle a near tie
    };
    std::vector<TRunning> Slots;
    std::vector<TJournalEntry> All;
    std::int64_t NextJob = 0;
    std::int64_t Done = 0;
    std::int64_t DoneThisRun = 0;
    TCandidate BestCandidate;
    std::int64_t BestJobNumber = -1;
    double BestSeconds = 0;
    double BestWall = 0;
    double InitialSeconds = 0;
    bool Resumed = false;
    bool Resuming = false; // weighing a journal's jobs again: optimal.sti is not written
    bool HeaderWritten = false;
    bool Stopping = false;
    bool Ending = false;
    bool Paused = false;
    bool Exhausted = false;
    double StartedAt = 0;
    std::vector<std::pair<std::int64_t, TCandidate>> VerifyQueue;
    TAcceptance Accept;
    // A near tie being timed again, and its candidate. With workers in parallel, near ties
    // that end while one is being settled wait their turn, and are weighed again against the
    // best of then when it comes.
    struct TContest {
        std::int64_t Job = -1;
        TCandidate Candidate;
        double Wall = 0;
    };
    TContest Contest; // none while its Job is below 0
    std::vector<TContest> WaitingContests;
    void Contend(const TContest& contest, TVerdict verdict);
    void NextContest();
    std::vector<std::pair<std::int64_t, TCandidate>> Retimes; // at most one
    // Each condensation timed, by its key: its first job and that job's entry in All.
    std::map<std::string, std::pair<std::int64_t, std::size_t>> Timed;
};

// The header that a journal of this folder and these records starts with.
TJournalHeader MakeHeader(const std::string& jobFolder, const TSubInfo& records, std::int32_t n,
                          const TSearchOptions& options);

} // namespace pelvarn::search
