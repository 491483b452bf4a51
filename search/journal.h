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
    std::string Folder;                // the job folder's absolute path
    std::vector<std::string> Records;  // "variable/equation" of each record of initial.sti
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
    // The run's state after this job: the next job number and the policy's stream.
    std::int64_t NextJob = 0;
    TPolicyState State;
};

// A note at the end: the candidate that --verify chose.
struct TJournalVerdict {
    std::int64_t Job = -1;
    double Median = 0;
};

std::string HeaderLine(const TJournalHeader& header);
std::string EntryLine(const TJournalEntry& entry);
std::string VerdictLine(const TJournalVerdict& verdict);

struct TJournalContents {
    TJournalHeader Header;
    std::vector<TJournalEntry> Entries;
    std::vector<TJournalVerdict> Verdicts;
    std::string Warning; // a torn last line, ignored
    std::size_t ValidBytes = 0; // the length of the text up to the end of the last good line
};

// Parses the journal's text. False with a reason for a journal that cannot be continued: no
// header, or a damaged line before the last. A damaged last line (a crash while writing it)
// is dropped with a warning.
bool ParseJournal(const std::string& text, TJournalContents& contents, std::string& reason);

// Appends one line to the journal file, flushed to the disk; throws TFileError.
void AppendJournalLine(const std::string& path, const std::string& line);

} // namespace pelvarn::search
