#include "search/run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "base/paths.h"
#include "base/textutil.h"
#include "sti/stiUtils.h"

namespace pelvarn::search {

namespace {

double NowSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<TRecordFlags> FlagsOf(const TSubInfo& records, std::int32_t n) {
    std::vector<TRecordFlags> flags;
    for (std::int32_t i = 1; i <= n && i <= MaxSubs; ++i)
        flags.push_back({records[static_cast<std::size_t>(i)].MustSee,
                         records[static_cast<std::size_t>(i)].MustSub});
    return flags;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

} // namespace

TJournalHeader MakeHeader(const std::string& jobFolder, const TSubInfo& records, std::int32_t n,
                          const TSearchOptions& options) {
    TJournalHeader h;
    h.Folder = jobFolder;
    for (std::int32_t i = 1; i <= n && i <= MaxSubs; ++i)
        h.Records.push_back(records[static_cast<std::size_t>(i)].VarName + "/" +
                            records[static_cast<std::size_t>(i)].EqName);
    h.Strategy = StrategyName(options.Strategy);
    h.Seed = options.Seed;
    return h;
}

TSearchRun::TSearchRun(const TSearchOptions& options, const TSubInfo& records, std::int32_t n,
                       std::string jobFolder, std::string journalPath, TEvaluator& evaluator)
    : Options(options), Records(std::make_unique<TSubInfo>(records)),
      RecordCount(n > MaxSubs ? MaxSubs : n), JobFolder(std::move(jobFolder)),
      JournalPath(std::move(journalPath)), Evaluator(evaluator),
      ThePolicy(options.Strategy, FlagsOf(records, n), options.Seed, options.NoRepeats) {
    Slots.resize(static_cast<std::size_t>(Evaluator.Workers()));
    ThePolicy.BeyondOptimum = options.MaxJobs > 0 || options.MaxHours > 0;
    BestCandidate = CandidateOf(records, RecordCount);
    ThePolicy.SliceSeconds = options.ProposeSlice;
}

TSearchRun::~TSearchRun() = default;

bool TSearchRun::Resume(const TJournalContents& journal, std::string& reason) {
    if (journal.Header.Folder != JobFolder) {
        reason = "the journal belongs to the job folder " + journal.Header.Folder + ", not to " +
                 JobFolder;
        return false;
    }
    if (journal.Header.Records != MakeHeader(JobFolder, *Records, RecordCount, Options).Records) {
        reason = "the substitutions of initial.sti are not those the journal was started with";
        return false;
    }
    // The journal is weighed again as it was when its jobs ended, so that the best, the
    // noise, the estimates and a near tie still to be timed again are as they were.
    Resuming = true;
    // The best each job was made from: the best when the last job to end before it started
    // had ended (the number of the next job to start, and the best, as each job ended).
    std::vector<std::pair<std::int64_t, std::int64_t>> ends;
    const auto madeFrom = [&](std::int64_t job) {
        for (auto it = ends.rbegin(); it != ends.rend(); ++it)
            if (it->first <= job) return it->second;
        return std::int64_t{-1};
    };
    for (const TJournalEntry& e : journal.Entries) {
        All.push_back(e);
        ends.emplace_back(e.NextJob, e.Best);
        const bool retime = e.Retime();
        if ((e.Status == TJobStatus::Verify || e.VerifyOf >= 0) && !retime) continue;
        ++Done;
        if (retime) {
            Retimes.clear();
            WeighRetime(e);
            continue;
        }
        ThePolicy.MarkSeen(e.Candidate);
        if (e.Status != TJobStatus::Ok) continue;
        if (e.Job == 0) InitialSeconds = e.Seconds;
        ObserveJob(e, madeFrom(e.Job));
        if (Weigh(e)) MakeBest(e.Job, e.Candidate, e.Wall, false);
    }
    Resuming = false;
    HeaderWritten = true;
    if (!journal.Entries.empty()) {
        NextJob = journal.Entries.back().NextJob;
        ThePolicy.State = journal.Entries.back().State;
        Resumed = true;
    }
    return true;
}

void TSearchRun::SaveOptimal(const TCandidate& candidate) {
    TSubInfo& records = *Records;
    TSubOrder order{};
    ApplyCandidate(candidate, records, order);
    WriteSTIFile(JoinPath(JobFolder, "optimal.sti"), records, candidate.Count(), order);
}

TSearchProgress TSearchRun::Progress() const {
    TSearchProgress p;
    p.Done = Done;
    p.DoneThisRun = DoneThisRun;
    for (const auto& s : Slots)
        p.Running += s.Busy ? 1 : 0;
    p.BestJob = BestJobNumber;
    p.BestSeconds = BestSeconds;
    p.InitialSeconds = InitialSeconds;
    p.ElapsedHours = (NowSeconds() - StartedAt) / 3600.0;
    return p;
}

void TSearchRun::MakeBest(std::int64_t job, const TCandidate& candidate, double wall, bool save) {
    BestJobNumber = job;
    BestCandidate = candidate;
    BestSeconds = Accept.Seconds(ThePolicy.Key(candidate));
    BestWall = wall;
    Contest.Job = -1;
    Retimes.clear();
    if (save && job != 0) SaveOptimal(candidate);
    NextContest();
}

void TSearchRun::Contend(const TContest& contest, TVerdict verdict) {
    Contest = contest;
    QueueRetime(verdict);
}

void TSearchRun::NextContest() {
    while (Contest.Job < 0 && !WaitingContests.empty()) {
        const TContest next = WaitingContests.front();
        WaitingContests.erase(WaitingContests.begin());
        if (ThePolicy.Key(next.Candidate) == ThePolicy.Key(BestCandidate)) continue;
        const TVerdict verdict = Accept.Judge(ThePolicy.Key(next.Candidate),
                                              ThePolicy.Key(BestCandidate), Pooled(next.Candidate));
        if (verdict == TVerdict::Better) {
            MakeBest(next.Job, next.Candidate, next.Wall, !Resuming);
            return;
        }
        if (verdict != TVerdict::Worse) Contend(next, verdict);
    }
}

void TSearchRun::QueueRetime(TVerdict verdict) {
    const bool best = verdict == TVerdict::TimeBestAgain;
    TCandidate c = best ? BestCandidate : Contest.Candidate;
    const std::int64_t job = best ? BestJobNumber : Contest.Job;
    c.Change = TJournalEntry::RetimeText + std::to_string(job);
    Retimes.assign(1, {job, c});
}

std::string TSearchRun::BestEvidence() const {
    if (BestJobNumber < 0) return {};
    const std::int32_t k = Accept.Timings(ThePolicy.Key(BestCandidate));
    std::string text = "the best was timed " + std::to_string(k) + (k == 1 ? " time" : " times") +
                       (k > 1 ? ", " + FormatFixed(BestSeconds, 2) + " secs on average" : "") +
                       "; ";
    const std::int64_t repeats = Accept.NoiseDegrees();
    if (repeats == 0)
        return text + "no condensation was timed twice, so how much times vary is not known";
    return text + "times of the same condensation varied by about " +
           FormatFixed(100 * Accept.Noise(), 1) + " % (from " + std::to_string(repeats) +
           (repeats == 1 ? " repeat)" : " repeats)") +
           ", and a new best had to gain more than that to count";
}

double TSearchRun::ChangeAgainstBest(double seconds) const {
    return BestJobNumber >= 0 && BestSeconds > 0 ? (seconds - BestSeconds) / BestSeconds : 0;
}

void TSearchRun::ObserveJob(const TJournalEntry& e, std::int64_t baseJob) {
    const TJournalEntry* base = nullptr;
    if (baseJob >= 0 && baseJob != BestJobNumber)
        for (auto it = All.rbegin(); it != All.rend() && !base; ++it)
            if (it->Job == baseJob && it->VerifyOf < 0) base = &*it;
    if (!base) {
        ThePolicy.Observe(e.Candidate, BestCandidate, e.Seconds, ChangeAgainstBest(e.Seconds));
        return;
    }
    const double then = Accept.Seconds(ThePolicy.Key(base->Candidate));
    ThePolicy.Observe(e.Candidate, base->Candidate, e.Seconds,
                      then > 0 ? (e.Seconds - then) / then : 0, true);
}

void TSearchRun::QueueNearMiss() {
    // Under noise a neighbour whose one timing was unlucky is lost to a search that never
    // times a condensation twice: at the optimum, the one nearest the best (not clearly
    // behind it, timed fewer than the most times) is timed again.
    if (!Accept.NoiseMeasured() || Accept.Noise() <= 0 || !Retimes.empty() || Contest.Job >= 0)
        return;
    const std::string best = ThePolicy.Key(BestCandidate);
    double nearest = TAcceptance::Widths;
    const TJournalEntry* chosen = nullptr;
    for (const auto& [key, where] : Timed) {
        if (key == best || Accept.Timings(key) >= TAcceptance::MaxTimings) continue;
        const double behind = Accept.Behind(key, best);
        if (behind < nearest) {
            nearest = behind;
            chosen = &All[where.second];
        }
    }
    if (!chosen) return;
    TCandidate c = chosen->Candidate;
    c.Change = TJournalEntry::RetimeText + std::to_string(chosen->Job);
    Retimes.assign(1, {chosen->Job, c});
}

TGainEstimate TSearchRun::Pooled(const TCandidate& challenger) const {
    // The fit's miss holds the timings' noise as well; what is left is its own. It is never
    // taken to be less than a quarter of the noise, so that the timings always count. Its
    // estimate of the best, which pools the timings of the best and of all its neighbours,
    // is the bar for the challenger's timings, as sure as its estimate of any candidate.
    const double miss = ThePolicy.EstimateMiss();
    const double c = ThePolicy.Estimate(challenger), b = ThePolicy.Estimate(BestCandidate);
    if (miss <= 0 || c <= 0 || b <= 0) return {};
    const double noise = Accept.Noise();
    const double own = std::sqrt(std::max(miss * miss - noise * noise, noise * noise / 16));
    return {std::log(b / c), own, std::log(b), own};
}

bool TSearchRun::Weigh(const TJournalEntry& e) {
    const std::string key = ThePolicy.Key(e.Candidate);
    Accept.Add(key, e.Seconds);
    // A journal being resumed holds the entry already; a job just ended is added after.
    const bool held = !All.empty() && All.back().Job == e.Job;
    Timed.emplace(key, std::pair(e.Job, held ? All.size() - 1 : All.size()));
    if (BestJobNumber < 0) return true;
    const bool suspect = Accept.Timings(key) == 1 && BestSeconds > 0 &&
                         Accept.Suspect(std::log(e.Seconds / BestSeconds));
    const TVerdict verdict = Accept.Judge(key, ThePolicy.Key(BestCandidate), Pooled(e.Candidate));
    if (verdict == TVerdict::Better) return true;
    if (verdict == TVerdict::Worse) {
        if (suspect && Contest.Job < 0) Contend({e.Job, e.Candidate, e.Wall}, TVerdict::TimeAgain);
        return false;
    }
    if (Contest.Job < 0)
        Contend({e.Job, e.Candidate, e.Wall}, verdict);
    else
        WaitingContests.push_back({e.Job, e.Candidate, e.Wall});
    return false;
}

void TSearchRun::WeighRetime(const TJournalEntry& e) {
    if (e.Status != TJobStatus::Verify) {
        Contest.Job = -1; // the tie stays unsettled: the best stays
        NextContest();
        return;
    }
    if (Contest.Job < 0 && e.VerifyOf != BestJobNumber) {
        // A near miss timed again at the optimum contends as a near tie does.
        Contest = {e.VerifyOf, e.Candidate, e.Wall};
    }
    Accept.Add(ThePolicy.Key(e.Candidate), e.Seconds);
    ThePolicy.Observe(e.Candidate, BestCandidate, e.Seconds, std::nan(""));
    BestSeconds = Accept.Seconds(ThePolicy.Key(BestCandidate));
    if (Contest.Job < 0) return;
    const TVerdict verdict = Accept.Judge(ThePolicy.Key(Contest.Candidate),
                                          ThePolicy.Key(BestCandidate), Pooled(Contest.Candidate));
    if (verdict == TVerdict::Better) {
        const TContest won = Contest; // MakeBest takes up the next contest
        MakeBest(won.Job, won.Candidate, won.Wall, !Resuming);
    } else if (verdict == TVerdict::Worse) {
        Contest.Job = -1;
        NextContest();
    } else {
        QueueRetime(verdict);
    }
}

void TSearchRun::StartJob(std::int32_t w, const TCandidate& candidate, std::int64_t verifyOf) {
    TRunning& slot = Slots[static_cast<std::size_t>(w)];
    slot.Retime = candidate.Change.starts_with(TJournalEntry::RetimeText);
    slot.Job = NextJob++;
    slot.VerifyOf = verifyOf;
    slot.Candidate = candidate;
    slot.BaseJob = BestJobNumber;
    slot.BaseSeconds = BestSeconds;
    slot.Changed = RecordsChanged(BestCandidate, candidate);
    std::string reason;
    if (Evaluator.Start(w, "Job" + std::to_string(slot.Job), candidate, reason)) {
        slot.Busy = true;
        return;
    }
    // A job that cannot be started is no property of its candidate: every other would fail
    // the same way, so the search stops.
    TJobOutcome o;
    o.Status = TJobStatus::Failed;
    o.Reason = reason;
    slot.Busy = true;
    Finished(w, o);
    Paused = true;
    Stopping = true;
    FailureReason = reason;
}

void TSearchRun::Finished(std::int32_t w, const TJobOutcome& outcome) {
    TRunning& slot = Slots[static_cast<std::size_t>(w)];
    slot.Busy = false;
    // A job ended by the second interrupt has no result: a resumed search times it anew.
    if (Ending && outcome.Status == TJobStatus::Failed && outcome.Reason.empty()) return;
    TJournalEntry e;
    e.Job = slot.Job;
    e.Worker = w;
    e.Status = outcome.Status;
    e.Seconds = outcome.Seconds;
    e.Wall = outcome.Wall;
    e.Reason = outcome.Reason;
    e.Candidate = slot.Candidate;
    e.VerifyOf = slot.VerifyOf;
    if (e.VerifyOf >= 0 && e.Status == TJobStatus::Ok) e.Status = TJobStatus::Verify;
    e.NextJob = NextJob;
    e.At = Clock ? Clock() : std::string();

    if (slot.Retime) {
        ++Done;
        ++DoneThisRun;
        WeighRetime(e);
        if (e.Status == TJobStatus::Failed && Options.PauseOnFailure) {
            Paused = true;
            Stopping = true;
            FailureReason = e.Reason;
        }
    } else if (e.VerifyOf < 0) {
        ++Done;
        ++DoneThisRun;
        const bool ok = e.Status == TJobStatus::Ok;
        if (ok) ObserveJob(e, slot.BaseJob);
        const bool improved = ok && Weigh(e);
        TLesson lesson;
        lesson.Timed = ok;
        const double base = slot.BaseSeconds;
        lesson.Change = base > 0 ? (e.Seconds - base) / base : e.Seconds - base;
        lesson.Stale = slot.BaseJob != BestJobNumber;
        lesson.Accepted = improved;
        lesson.Changed = slot.Changed;
        ThePolicy.Learn(slot.Candidate, lesson, BestCandidate);
        if (improved) {
            if (e.Job == 0) InitialSeconds = e.Seconds;
            MakeBest(e.Job, e.Candidate, e.Wall, true);
        } else if (e.Status == TJobStatus::Failed &&
                   (Options.PauseOnFailure || (e.Job == 0 && !Resumed))) {
            // The initial condensation is the search's baseline: without its time there is
            // nothing to compare with, and every neighbour would most likely fail alike.
            Paused = true;
            Stopping = true;
            FailureReason = e.Reason;
        }
    }
    // The policy's state after what this job taught it: a resumed search goes on from there.
    e.State = ThePolicy.State;
    e.Best = BestJobNumber;
    e.Noise = Accept.NoiseMeasured() ? std::round(Accept.Noise() * 1e5) / 1e5 : -1;
    All.push_back(e);
    AppendJournalLine(JournalPath, EntryLine(e));
    if (OnJob) OnJob(e, Progress());
}

bool TSearchRun::Loop(bool verifying) {
    double lastTick = NowSeconds();
    for (;;) {
        const int interrupts = Interrupts ? Interrupts() : 0;
        if (interrupts >= 1 && !Stopping) {
            Stopping = true;
            if (OnNote)
                OnNote("stopping: no further job is started; the running ones may finish "
                       "(Ctrl+C again ends them)");
        }
        if (interrupts >= 2 && !Ending) {
            Ending = true;
            if (OnNote) OnNote("ending the running jobs");
            for (std::int32_t w = 0; w < Evaluator.Workers(); ++w)
                if (Slots[static_cast<std::size_t>(w)].Busy)
                    Evaluator.End(w, TJobStatus::Failed, "");
        }
        std::int32_t running = 0;
        for (const auto& s : Slots)
            running += s.Busy ? 1 : 0;
        bool pending = false; // the policy gave its turn back with a worker free
        while (!Stopping) {
            std::int32_t w = 0;
            while (w < Evaluator.Workers() && Slots[static_cast<std::size_t>(w)].Busy)
                ++w;
            if (w == Evaluator.Workers()) break;
            if (verifying) {
                if (VerifyQueue.empty()) break;
                auto next = VerifyQueue.front();
                VerifyQueue.erase(VerifyQueue.begin());
                StartJob(w, next.second, next.first);
            } else {
                if (Options.MaxJobs > 0 && Done + running >= Options.MaxJobs) break;
                if (Options.MaxHours > 0 && (NowSeconds() - StartedAt) / 3600.0 >= Options.MaxHours)
                    break;
                if (!Retimes.empty()) {
                    const auto retime = Retimes.front();
                    Retimes.clear();
                    StartJob(w, retime.second, retime.first);
                    ++running;
                    continue;
                }
                TCandidate next;
                ThePolicy.Noise = Accept.NoiseMeasured() ? Accept.Noise() : -1;
                ThePolicy.InFlight.clear();
                for (const auto& s : Slots)
                    if (s.Busy)
                        ThePolicy.InFlight.insert(ThePolicy.InFlight.end(), s.Changed.begin(),
                                                  s.Changed.end());
                const bool got = ThePolicy.Next(BestCandidate, next);
                if (ThePolicy.AtOptimum) QueueNearMiss();
                if (!got) {
                    // Jobs still running may yet move the best; only then is it the end.
                    pending = ThePolicy.Pending;
                    if (running == 0 && !pending) Exhausted = true;
                    break;
                }
                StartJob(w, next, -1);
            }
            ++running;
        }
        running = 0;
        for (const auto& s : Slots)
            running += s.Busy ? 1 : 0;
        if (running == 0) {
            if (pending) continue;
            break;
        }

        // The wait ends in time for the nearest limit, so that a capped job runs no longer
        // than its cap by more than a millisecond or so; with the policy's look at the
        // neighbours to go on with, it only gathers what has ended.
        double untilLimit = pending ? 0.0 : 0.1;
        const bool capped = !verifying && Options.Cap > 0 && BestJobNumber >= 0 && BestWall > 0;
        const double limit =
            capped ? std::min(Options.TimeLimit, Options.Cap * BestWall) : Options.TimeLimit;
        for (std::int32_t w = 0; w < Evaluator.Workers(); ++w) {
            const double t = Evaluator.RunningFor(w);
            if (t < 0) continue;
            untilLimit = std::min(untilLimit, limit - t);
            if (t > Options.TimeLimit) {
                Evaluator.End(w, TJobStatus::Failed,
                              "timed out after " + FormatFixed(Options.TimeLimit, 1) + " s");
            } else if (capped && t > Options.Cap * BestWall) {
                Evaluator.End(w, TJobStatus::Capped,
                              "capped after " + FormatFixed(t, 1) + " s, " +
                                  FormatFixed(Options.Cap, 2) + " x the best job's " +
                                  FormatFixed(BestWall, 1) + " s");
            }
        }
        TJobOutcome outcome;
        const std::int32_t w = Evaluator.Wait(
            pending ? 0 : std::max(1, static_cast<int>(std::ceil(untilLimit * 1000))), outcome);
        if (w >= 0) Finished(w, outcome);
        if (OnTick && NowSeconds() - lastTick >= 1.0) {
            lastTick = NowSeconds();
            OnTick(Progress());
        }
    }
    return !Stopping;
}

void TSearchRun::VerifyBest() {
    // The best few distinct condensations, each timed again Verify times, in rounds so that
    // a drift of the machine's speed is shared out among them.
    std::vector<const TJournalEntry*> ok;
    for (const auto& e : All)
        if (e.Status == TJobStatus::Ok && e.VerifyOf < 0) ok.push_back(&e);
    std::stable_sort(ok.begin(), ok.end(), [](const TJournalEntry* a, const TJournalEntry* b) {
        return a->Seconds < b->Seconds;
    });
    std::vector<const TJournalEntry*> top;
    std::vector<std::string> keys;
    for (const TJournalEntry* e : ok) {
        if (static_cast<std::int32_t>(top.size()) >= Options.VerifyCount) break;
        std::string key = CondensationKey(e->Candidate);
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
        keys.push_back(key);
        top.push_back(e);
    }
    if (top.empty()) return;
    for (std::int32_t k = 0; k < Options.Verify; ++k)
        for (const TJournalEntry* e : top) {
            TCandidate c = e->Candidate;
            c.Change = "verify Job" + std::to_string(e->Job);
            VerifyQueue.emplace_back(e->Job, c);
        }
    Loop(true);
    std::map<std::int64_t, std::vector<double>> times;
    for (const auto& e : All)
        if (e.VerifyOf >= 0 && e.Status == TJobStatus::Verify)
            times[e.VerifyOf].push_back(e.Seconds);
    const TJournalEntry* chosen = nullptr;
    double best = 0;
    for (const TJournalEntry* e : top) {
        auto it = times.find(e->Job);
        if (it == times.end()) continue;
        const double m = Median(it->second);
        if (!chosen || m < best) {
            chosen = e;
            best = m;
        }
    }
    if (!chosen) return;
    Verified = chosen->Job;
    VerifiedMedian = best;
    if (chosen->Job != 0) SaveOptimal(chosen->Candidate);
    AppendJournalLine(JournalPath, VerdictLine({chosen->Job, best}));
}

TSearchEnd TSearchRun::Run() {
    StartedAt = NowSeconds();
    if (!ThePolicy.CanChange() && Resumed) return TSearchEnd::Exhausted;
    if (!HeaderWritten)
        AppendJournalLine(JournalPath,
                          HeaderLine(MakeHeader(JobFolder, *Records, RecordCount, Options)));
    HeaderWritten = true;
    if (!Resumed) {
        ThePolicy.MarkSeen(BestCandidate);
        StartJob(0, BestCandidate, -1);
    }
    Loop(false);
    if (Options.Verify > 0 && !Stopping && !Paused) VerifyBest();
    // The journal says how the run ended, so that its report can say it too.
    TSearchEnd end = TSearchEnd::Finished;
    std::string ended;
    if (Paused) {
        end = TSearchEnd::Paused;
        ended = "paused";
    } else if (Stopping) {
        end = TSearchEnd::Interrupted;
        ended = "interrupted";
    } else if (Exhausted) {
        end = TSearchEnd::Exhausted;
        ended = ThePolicy.NeighbourhoodCovered ? "complete" : "exhausted";
    } else {
        ended = Options.MaxJobs > 0 && Done >= Options.MaxJobs ? "job limit" : "hour limit";
    }
    AppendJournalLine(JournalPath, EndLine(ended));
    return end;
}

} // namespace pelvarn::search
