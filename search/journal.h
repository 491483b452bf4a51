// The search's journal: JSON lines, a header naming the job folder and its records, then one
// line per finished job, appended and flushed to the disk as the job ends, so that a search
// stopped in any way can be resumed from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/policy.h"

namespace pelvarn::search {

enum class TJobStatus { Ok, Failed, Capped, Verify };
std::string JobStatusName(TJobStatus status);

struct TJournalHeader {
    std::string Folder;               // the job folder's absolute path
    std::vector<std::string> Records; // "variable/equation" of each record of initial.sti
    std::string Strategy;
    std::uint32_t Seed = 0;
};

struct TJournalEntry {
    std::int64_t Job = 0;
    std::int32_t Worker = 0;
    TJobStatus Status = TJobStatus::Ok;
    double Seconds = 0; // the CPU time read from the log (Ok and Verify)
    double Wall = 0;    // wall seconds from start to end
    std::string Reason; // why a job failed or was capped
    TCandidate Candidate;
    std::int64_t VerifyOf = -1; // a verification job: the job whose candidate it times again
    // True for a job the search ran to time a candidate again before it judged a near tie,
    // rather than one of --verify at the end: its change begins with RetimeText.
    bool Retime() const { return VerifyOf >= 0 && Candidate.Change.starts_with(RetimeText); }
    static constexpr const char* RetimeText = "time again Job";
    std::string At; // when it ended, UTC, "2026-12-09T21:03:05Z" (absent: unknown)
    // The best after this job (-1: unknown, in journals of earlier versions) and the noise of
    // the timings measured so far, as a share of a job's time (-1: not yet measured).
    std::int64_t Best = -1;
    double Noise = -1;
    // The run's state after this job: the next job number and the policy's stream.
    std::int64_t NextJob = 0;
    TPolicyState State;
};

// A note at the end: the candidate that --verify chose.
struct TJournalVerdict {
    std::int64_t Job = -1;
    double Median = 0;
};

// How a run of the search ended, as its last line says: "job limit", "hour limit",
// "complete" (every candidate near the best timed), "exhausted" (no untimed candidate found
// within the bound), "interrupted" or "paused" (a failed job stopped it).
std::string HeaderLine(const TJournalHeader& header);
std::string EntryLine(const TJournalEntry& entry);
std::string VerdictLine(const TJournalVerdict& verdict);
std::string EndLine(const std::string& ended);

// The time now as the journal writes it.
std::string UtcNowText();

struct TJournalContents {
    TJournalHeader Header;
    std::vector<TJournalEntry> Entries;
    std::vector<TJournalVerdict> Verdicts;
    std::string Ended;   // how the last run ended; empty when unknown, or jobs followed it
    std::string Warning; // a torn last line, ignored
    // The length of the text that a resumed search continues: up to the end of the last good
    // line, leaving out a torn last line and the line that says how the last run ended.
    std::size_t ValidBytes = 0;
};

// Parses the journal's text. False with a reason for a journal that cannot be continued: no
// header, or a damaged line before the last. A damaged last line (a crash while writing it)
// is dropped with a warning.
bool ParseJournal(const std::string& text, TJournalContents& contents, std::string& reason);

// Appends one line to the journal file, flushed to the disk; throws TFileError.
void AppendJournalLine(const std::string& path, const std::string& line);

} // namespace pelvarn::search
