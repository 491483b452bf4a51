// The search report: what a search found, which condensation decisions mattered, how sure the
// result is and what went wrong, worked out from the journal and the job folder's initial.sti.
// The analysis is here; search/report_html.h writes it as a page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/drawing.h"
#include "search/journal.h"
#include "sti/subrecord.h"

namespace pelvarn::search {

// A record whose status differs between initial.sti and the condensation kept.
struct TStatusChange {
    std::int32_t Record = 0;
    std::int32_t From = sub, To = sub;
};

// A record whose place among the records written differs (places count from 1).
struct TPlaceChange {
    std::int32_t Record = 0;
    std::int32_t From = 0, To = 0;
};

// The measured effect of one toggle of a record (From to To), from the jobs that differ from
// a best of their time by that toggle alone; Jobs empty: not measured.
struct TToggleEffect {
    std::int32_t Record = 0;
    std::int32_t From = sub, To = notsub;
    std::vector<std::int64_t> Jobs;
    double Seconds = 0; // the mean change of time; below 0: faster
    double Percent = 0; // the mean change against the best it was measured from
};

// The measured effect of exchanging two records in the order.
struct TExchangeEffect {
    std::int32_t A = 0, B = 0; // A < B
    std::vector<std::int64_t> Jobs;
    double Seconds = 0;
    double Percent = 0;
};

struct TVerifyTimes {
    std::int64_t Job = 0; // the job timed again
    double First = 0;     // its time in the search
    std::vector<double> Times;
    double Median = 0, Spread = 0; // spread: the slowest less the fastest
    bool Chosen = false;
};

struct TFailureGroup {
    TJobStatus Status = TJobStatus::Failed;
    std::string Reason; // the reason with its figures left out, so that alike ones group
    std::vector<std::int64_t> Jobs;
};

struct TFastCondensation {
    double Seconds = 0;
    std::vector<std::int64_t> Jobs; // every job that timed this condensation
    std::string Change;             // how the first of them was made
    std::int32_t StatusChanges = 0; // records whose status differs from initial.sti
};

struct TSearchAnalysis {
    std::string Folder, FolderName, ModelFile, Strategy;
    std::uint32_t Seed = 0;
    std::vector<std::string> Names;  // "variable/equation" of records 1..n
    std::vector<TSubRecord> Initial; // records 1..n of initial.sti, as read

    std::string FirstAt, LastAt; // the first and last job's end, as the journal has them
    double SpanHours = -1;       // from the first job's end to the last's; -1: unknown
    double JobHours = 0;         // the jobs' wall time added up
    // Jobs of the search (retimes included), those that timed a candidate first, those that
    // timed one again to judge a near tie, and so on; and the jobs of --verify at the end.
    std::int64_t Jobs = 0, Timed = 0, Retimed = 0, Failed = 0, Capped = 0, VerifyJobs = 0;
    bool HaveInitial = false;
    double InitialSeconds = 0;
    std::int64_t BestJob = -1;
    double BestSeconds = 0;
    double PercentFaster = 0;
    std::int64_t VerifiedJob = -1;
    double VerifiedMedian = 0;
    std::string Ended; // the journal's word for how the last run ended; empty: unknown

    // The condensation kept as optimal.sti: verified, else the best as the search judged it
    // (by the mean of its timings, where it timed near ties again), else the fastest job.
    std::int64_t KeptJob = -1;
    // Its timings in the search (its job and those that timed it again), and their mean.
    std::int32_t KeptTimings = 0;
    double KeptSeconds = 0;
    double Noise = -1; // the timings' noise as the search measured it; -1: not measured
    std::vector<TStatusChange> StatusChanges;
    std::vector<TPlaceChange> PlaceChanges;
    std::vector<std::string> KeptStatements; // as optimal.cnd has them

    std::vector<TToggleEffect> Toggles;     // measured ones by size of effect, then not measured
    std::vector<TExchangeEffect> Exchanges; // measured, by size of effect
    std::int64_t ExchangeJobs = 0, ExchangesFaster = 0, ExchangesSlower = 0;

    std::vector<TVerifyTimes> Verified;
    std::int64_t OneMoveJobs = 0, SameAsBest = 0; // jobs one move from a best; those timed as it

    std::vector<TFailureGroup> Failures;
    std::vector<const TJournalEntry*> FailedJobs; // into Entries
    std::vector<TFastCondensation> Fastest;       // at most ten
    std::vector<TJournalEntry> Entries;
};

// The analysis of a parsed journal against the records of initial.sti. False with the reason
// when the journal belongs to another job folder or to other records.
bool AnalyseSearch(const TJournalContents& journal, const std::string& folder,
                   const std::vector<TSubRecord>& initial, const std::string& modelFile,
                   TSearchAnalysis& analysis, std::string& reason);

// How the last run ended, as a sentence.
std::string EndedText(const std::string& ended);

// The measured toggles as bars about zero, in per cent; width in pixels.
TDrawing ToggleChart(const TSearchAnalysis& analysis, double width = 760);

// Reads the job folder's initial.sti and the journal and writes the report page to outPath.
// False with the reason when the input is refused (no initial.sti or journal, a journal of
// another folder or other records, damage before its last line); a torn last line is passed
// over and said in warning. A page that cannot be written throws TFileError.
bool WriteSearchReport(const std::string& folder, const std::string& journalPath,
                       const std::string& outPath, std::string& reason,
                       std::string* warning = nullptr);

} // namespace pelvarn::search
