#include "search/report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <tuple>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/fileio.h"
#include "search/plot.h"
#include "search/policy.h"
#include "search/report_html.h"
#include "sti/stiUtils.h"

namespace pelvarn::search {

namespace {

// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SSZ"; -1 for any other text.
double UtcSeconds(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char z = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 ||
        z != 'Z' || mo < 1 || mo > 12 || d < 1 || d > 31)
        return -1;
    // Days from the civil date (a proleptic Gregorian calendar).
    y -= mo <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + doe - 719468;
    return static_cast<double>(days) * 86400 + h * 3600 + mi * 60 + s;
}

// A failure's reason with its figures left out: "capped after 12.5 s" and "capped after
// 13.1 s" are one kind of failure.
std::string ReasonKind(const std::string& reason) {
    std::string out;
    for (std::size_t i = 0; i < reason.size();) {
        if (std::isdigit(static_cast<unsigned char>(reason[i]))) {
            while (i < reason.size() && (std::isdigit(static_cast<unsigned char>(reason[i])) ||
                                         (reason[i] == '.' && i + 1 < reason.size() &&
                                          std::isdigit(static_cast<unsigned char>(reason[i + 1])))))
                ++i;
            out += "#";
        } else {
            out += reason[i++];
        }
    }
    return out.empty() ? "no reason given" : out;
}

enum class TOneMove { None, Toggle, Exchange };

// Whether `to` is `from` with one record toggled (a) or two records exchanged (a < b).
TOneMove OneMoveBetween(const TCandidate& from, const TCandidate& to, std::int32_t& a,
                        std::int32_t& b) {
    if (from.Stat.size() != to.Stat.size() || from.Order.size() != to.Order.size())
        return TOneMove::None;
    std::vector<std::size_t> statDiff, orderDiff;
    for (std::size_t i = 0; i < from.Stat.size() && statDiff.size() < 2; ++i)
        if (from.Stat[i] != to.Stat[i]) statDiff.push_back(i);
    for (std::size_t i = 0; i < from.Order.size() && orderDiff.size() < 3; ++i)
        if (from.Order[i] != to.Order[i]) orderDiff.push_back(i);
    if (statDiff.size() == 1 && orderDiff.empty()) {
        a = static_cast<std::int32_t>(statDiff[0] + 1);
        return TOneMove::Toggle;
    }
    if (statDiff.empty() && orderDiff.size() == 2 &&
        from.Order[orderDiff[0]] == to.Order[orderDiff[1]] &&
        from.Order[orderDiff[1]] == to.Order[orderDiff[0]]) {
        a = std::min(from.Order[orderDiff[0]], from.Order[orderDiff[1]]);
        b = std::max(from.Order[orderDiff[0]], from.Order[orderDiff[1]]);
        return TOneMove::Exchange;
    }
    return TOneMove::None;
}

struct TMeasure {
    std::int64_t Job;
    double Seconds, Percent;
};

template <class TEffect> void Average(TEffect& effect, const std::vector<TMeasure>& measures) {
    for (const TMeasure& m : measures) {
        effect.Jobs.push_back(m.Job);
        effect.Seconds += m.Seconds / static_cast<double>(measures.size());
        effect.Percent += m.Percent / static_cast<double>(measures.size());
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.empty() ? 0 : v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// The window's toggle: an included record is left out, a left-out one included as it may
// be; false for one that must be condensed.
bool ToggledStatus(const TSubRecord& rec, std::int32_t stat, std::int32_t& to) {
    if (rec.MustSub) return false;
    to = stat == notsub ? (rec.MustSee ? backsub : sub) : notsub;
    return true;
}

// Bests this far back are still compared with: a job started from a best that others have
// since displaced (parallel workers) is measured against the one it was made from.
constexpr std::size_t BestsLookedBack = 32;

} // namespace

std::string EndedText(const std::string& ended) {
    if (ended == "job limit") return "stopped at its job limit (--max-jobs)";
    if (ended == "hour limit") return "stopped at its hour limit (--max-hours)";
    if (ended == "complete") return "complete: every candidate one move from the best was timed";
    if (ended == "exhausted")
        return "ended: no untimed candidate near the best was found within the bound "
               "(--resume tries again)";
    if (ended == "interrupted") return "stopped by the user (Ctrl+C); --resume continues it";
    if (ended == "paused") return "stopped by a failed job (--on-failure pause)";
    if (ended.empty()) return "not recorded: still running, or ended abruptly";
    return ended;
}

bool AnalyseSearch(const TJournalContents& journal, const std::string& folder,
                   const std::vector<TSubRecord>& initial, const std::string& modelFile,
                   TSearchAnalysis& a, std::string& reason) {
    a = TSearchAnalysis{};
    if (journal.Header.Folder != folder) {
        reason =
            "the journal belongs to the job folder " + journal.Header.Folder + ", not to " + folder;
        return false;
    }
    for (const TSubRecord& rec : initial)
        a.Names.push_back(rec.VarName + "/" + rec.EqName);
    if (journal.Header.Records != a.Names) {
        reason = "the substitutions of initial.sti are not those the journal was started with";
        return false;
    }
    a.Folder = folder;
    a.FolderName = JobFolderName(folder);
    a.ModelFile = modelFile;
    a.Strategy = journal.Header.Strategy;
    a.Seed = journal.Header.Seed;
    a.Initial = initial;
    a.Ended = journal.Ended;
    a.Entries = journal.Entries;

    TCandidate initialCandidate;
    for (const TSubRecord& rec : initial)
        initialCandidate.Stat.push_back(rec.SubStat);
    for (std::size_t i = 1; i <= initial.size(); ++i)
        initialCandidate.Order.push_back(static_cast<std::int32_t>(i));

    std::vector<const TJournalEntry*> bests;
    std::map<std::tuple<std::int32_t, std::int32_t, std::int32_t>, std::vector<TMeasure>> toggles;
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<TMeasure>> exchanges;
    std::map<std::int64_t, std::vector<double>> verifyTimes, retimes;
    std::map<std::string, std::size_t> fastIndex;
    std::map<std::pair<int, std::string>, std::size_t> failureIndex;
    const std::vector<TJournalEntry>& entries = a.Entries;
    for (const TJournalEntry& e : entries) {
        if (!e.At.empty()) {
            if (a.FirstAt.empty() || e.At < a.FirstAt) a.FirstAt = e.At;
            if (a.LastAt.empty() || e.At > a.LastAt) a.LastAt = e.At;
        }
        a.JobHours += e.Wall / 3600;
        if (e.Status == TJobStatus::Failed || e.Status == TJobStatus::Capped) {
            a.FailedJobs.push_back(&e);
            const auto key = std::make_pair(static_cast<int>(e.Status), ReasonKind(e.Reason));
            auto it = failureIndex.find(key);
            if (it == failureIndex.end()) {
                it = failureIndex.emplace(key, a.Failures.size()).first;
                a.Failures.push_back({e.Status, key.second, {}});
            }
            a.Failures[it->second].Jobs.push_back(e.Job);
        }
        if (e.Retime()) {
            ++a.Jobs;
            ++a.Retimed;
            if (e.Status == TJobStatus::Verify) retimes[e.VerifyOf].push_back(e.Seconds);
            continue;
        }
        if (e.VerifyOf >= 0) {
            ++a.VerifyJobs;
            if (e.Status == TJobStatus::Verify) verifyTimes[e.VerifyOf].push_back(e.Seconds);
            continue;
        }
        ++a.Jobs;
        if (e.Status == TJobStatus::Failed) ++a.Failed;
        if (e.Status == TJobStatus::Capped) ++a.Capped;
        if (e.Status != TJobStatus::Ok) continue;
        ++a.Timed;
        if (e.Job == 0) {
            a.HaveInitial = true;
            a.InitialSeconds = e.Seconds;
        }

        const std::string key = CondensationKey(e.Candidate);
        auto fast = fastIndex.find(key);
        if (fast == fastIndex.end()) {
            fast = fastIndex.emplace(key, a.Fastest.size()).first;
            TFastCondensation f;
            f.Seconds = e.Seconds;
            f.Change = e.Candidate.Change;
            for (std::size_t i = 0; i < e.Candidate.Stat.size() && i < initialCandidate.Stat.size();
                 ++i)
                f.StatusChanges += e.Candidate.Stat[i] != initialCandidate.Stat[i] ? 1 : 0;
            a.Fastest.push_back(f);
        }
        a.Fastest[fast->second].Jobs.push_back(e.Job);
        a.Fastest[fast->second].Seconds = std::min(a.Fastest[fast->second].Seconds, e.Seconds);

        // The newest best that this job is one move from is the one it was made from.
        for (std::size_t k = bests.size(); k-- > 0 && bests.size() - k <= BestsLookedBack;) {
            const TJournalEntry& best = *bests[k];
            std::int32_t r = 0, s = 0;
            const TOneMove move = OneMoveBetween(best.Candidate, e.Candidate, r, s);
            if (move == TOneMove::None) continue;
            const TMeasure m{e.Job, e.Seconds - best.Seconds,
                             best.Seconds > 0 ? (e.Seconds - best.Seconds) / best.Seconds * 100
                                              : 0};
            ++a.OneMoveJobs;
            if (e.Seconds == best.Seconds) ++a.SameAsBest;
            if (move == TOneMove::Toggle) {
                const auto i = static_cast<std::size_t>(r - 1);
                toggles[{r, best.Candidate.Stat[i], e.Candidate.Stat[i]}].push_back(m);
            } else {
                ++a.ExchangeJobs;
                a.ExchangesFaster += m.Seconds < 0 ? 1 : 0;
                a.ExchangesSlower += m.Seconds > 0 ? 1 : 0;
                exchanges[{r, s}].push_back(m);
            }
            break;
        }
        if (a.BestJob < 0 || e.Seconds < a.BestSeconds) {
            a.BestJob = e.Job;
            a.BestSeconds = e.Seconds;
            bests.push_back(&e);
        }
    }
    if (!a.FirstAt.empty() && !a.LastAt.empty()) {
        const double first = UtcSeconds(a.FirstAt), last = UtcSeconds(a.LastAt);
        if (first >= 0 && last >= first) a.SpanHours = (last - first) / 3600;
    }

    std::stable_sort(a.Fastest.begin(), a.Fastest.end(),
                     [](const auto& x, const auto& y) { return x.Seconds < y.Seconds; });
    if (a.Fastest.size() > 10) a.Fastest.resize(10);
    for (auto& f : a.Fastest)
        std::sort(f.Jobs.begin(), f.Jobs.end());

    // --verify: the times of each condensation timed again, and the one chosen.
    if (!journal.Verdicts.empty()) {
        a.VerifiedJob = journal.Verdicts.back().Job;
        a.VerifiedMedian = journal.Verdicts.back().Median;
    }
    for (const auto& [job, times] : verifyTimes) {
        TVerifyTimes v;
        v.Job = job;
        v.Times = times;
        v.Median = Median(times);
        v.Spread = *std::max_element(times.begin(), times.end()) -
                   *std::min_element(times.begin(), times.end());
        for (const TJournalEntry& e : entries)
            if (e.Job == job && e.VerifyOf < 0) v.First = e.Seconds;
        a.Verified.push_back(v);
    }

    // What the kept condensation changed: the verified one where --verify chose, else the best.
    const std::int64_t judged = entries.empty() ? -1 : entries.back().Best;
    a.KeptJob = a.VerifiedJob >= 0 ? a.VerifiedJob : judged >= 0 ? judged : a.BestJob;
    if (!entries.empty()) a.Noise = entries.back().Noise;
    for (TVerifyTimes& v : a.Verified)
        v.Chosen = v.Job == a.KeptJob;
    const TCandidate* kept = nullptr;
    for (const TJournalEntry& e : entries)
        if (e.Job == a.KeptJob && e.VerifyOf < 0 && e.Status == TJobStatus::Ok) {
            kept = &e.Candidate;
            std::vector<double> times = retimes[e.Job];
            times.push_back(e.Seconds);
            a.KeptTimings = static_cast<std::int32_t>(times.size());
            for (double t : times)
                a.KeptSeconds += t / static_cast<double>(times.size());
        }
    // Faster than initial.sti by the time of the best as the search judged it, where it did.
    const double best = a.VerifiedJob < 0 && a.KeptTimings > 0 ? a.KeptSeconds : a.BestSeconds;
    if (a.HaveInitial && a.InitialSeconds > 0 && a.BestJob >= 0)
        a.PercentFaster = (a.InitialSeconds - best) / a.InitialSeconds * 100;
    if (kept) {
        for (std::size_t i = 0; i < initial.size() && i < kept->Stat.size(); ++i)
            if (kept->Stat[i] != initialCandidate.Stat[i])
                a.StatusChanges.push_back(
                    {static_cast<std::int32_t>(i + 1), initialCandidate.Stat[i], kept->Stat[i]});
        for (std::size_t p = 0; p < kept->Order.size(); ++p) {
            const std::int32_t r = kept->Order[p];
            if (r != static_cast<std::int32_t>(p + 1))
                a.PlaceChanges.push_back({r, r, static_cast<std::int32_t>(p + 1)});
        }
        std::sort(a.PlaceChanges.begin(), a.PlaceChanges.end(),
                  [](const auto& x, const auto& y) { return x.Record < y.Record; });
        auto records = std::make_unique<TSubInfo>();
        const std::int32_t n = std::min<std::int32_t>(kept->Count(), MaxSubs);
        for (std::int32_t i = 1; i <= n; ++i)
            (*records)[static_cast<std::size_t>(i)] = initial[static_cast<std::size_t>(i - 1)];
        TSubOrder order{};
        ApplyCandidate(*kept, *records, order);
        for (std::int32_t i = 1; i <= n; ++i) {
            std::string line;
            WriteCndLine(line,
                         (*records)[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])]);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            a.KeptStatements.push_back(line);
        }
    }

    // What matters: measured toggles by the size of their effect, then every record whose
    // toggle from the kept condensation was never measured.
    std::vector<bool> measured(initial.size() + 1, false);
    for (const auto& [key, measures] : toggles) {
        TToggleEffect t;
        t.Record = std::get<0>(key);
        t.From = std::get<1>(key);
        t.To = std::get<2>(key);
        Average(t, measures);
        measured[static_cast<std::size_t>(t.Record)] = true;
        a.Toggles.push_back(t);
    }
    std::stable_sort(a.Toggles.begin(), a.Toggles.end(), [](const auto& x, const auto& y) {
        return std::abs(x.Percent) > std::abs(y.Percent);
    });
    for (std::size_t r = 1; r <= initial.size(); ++r) {
        if (measured[r]) continue;
        TToggleEffect t;
        t.Record = static_cast<std::int32_t>(r);
        t.From = kept ? kept->Stat[r - 1] : initial[r - 1].SubStat;
        if (!ToggledStatus(initial[r - 1], t.From, t.To)) t.To = t.From; // must be condensed
        a.Toggles.push_back(t);
    }
    for (const auto& [key, measures] : exchanges) {
        TExchangeEffect x;
        x.A = key.first;
        x.B = key.second;
        Average(x, measures);
        if (x.Seconds != 0) a.Exchanges.push_back(x);
    }
    std::stable_sort(a.Exchanges.begin(), a.Exchanges.end(), [](const auto& x, const auto& y) {
        return std::abs(x.Percent) > std::abs(y.Percent);
    });
    return true;
}

TDrawing ToggleChart(const TSearchAnalysis& a, double width) {
    std::vector<const TToggleEffect*> rows;
    for (const TToggleEffect& t : a.Toggles)
        if (!t.Jobs.empty() && rows.size() < 40) rows.push_back(&t);
    TDrawing d;
    const double rowH = 18, top = 28, bottom = 16;
    d.Width = std::max(width, 320.0);
    d.Height = top + rowH * static_cast<double>(std::max<std::size_t>(rows.size(), 1)) + bottom;
    const double left = std::min(260.0, d.Width * 0.42), right = 16;
    // The axis runs from the largest gain to the largest loss, zero always on it.
    double lo = 0, hi = 0;
    for (const TToggleEffect* t : rows) {
        lo = std::min(lo, t->Percent);
        hi = std::max(hi, t->Percent);
    }
    if (hi - lo < 1e-9) hi = lo + 1;
    const double pad = (hi - lo) * 0.04;
    lo = lo < 0 ? lo - pad : 0;
    hi = hi > 0 ? hi + pad : 0;
    const TTicks ticks =
        RoundTicks(lo, hi, std::clamp(static_cast<int>((d.Width - left) / 90), 2, 8));
    auto x = [&](double p) { return left + (d.Width - left - right) * (p - lo) / (hi - lo); };
    const TColour ink{34, 34, 34}, grid{225, 225, 225}, faster{26, 154, 58}, slower{192, 32, 32};
    for (double v : ticks.Values) {
        d.AddLine({x(v), top - 4}, {x(v), d.Height - bottom}, grid);
        d.AddText({x(v), top - 8}, FormatFixed(v, ticks.Decimals) + " %", 11, ink, TAnchor::Middle);
    }
    d.AddLine({x(0), top - 4}, {x(0), d.Height - bottom}, {120, 120, 120});
    double y = top;
    for (const TToggleEffect* t : rows) {
        const std::string& name = a.Names[static_cast<std::size_t>(t->Record - 1)];
        std::string label = name.size() > 30 ? name.substr(0, 29) + "~" : name;
        label += " to " + SubStatName[static_cast<std::size_t>(t->To)];
        d.AddText({left - 6, y + rowH - 5}, label, 11, ink, TAnchor::End);
        const double x0 = x(0), x1 = x(t->Percent);
        d.AddRect({std::min(x0, x1), y + 3}, {std::max(x0, x1) + (x0 == x1 ? 1 : 0), y + rowH - 3},
                  {}, false, t->Percent < 0 ? faster : slower, true);
        y += rowH;
    }
    if (rows.empty())
        d.AddText({d.Width / 2, top + 13}, "no toggle was measured", 11, {102, 102, 102},
                  TAnchor::Middle);
    return d;
}

namespace {

// The first and last parts that ReadSTIFile keeps for the whole program, put back as they
// were: the report reads initial.sti without disturbing a search's or the window's.
class TKeptPartsGuard {
  public:
    TKeptPartsGuard()
        : First(std::make_unique<TSTIpart>(FirstPart)), Last(std::make_unique<TSTIpart>(LastPart)),
          FirstN(FirstCount), LastN(LastCount) {}
    ~TKeptPartsGuard() {
        FirstPart = *First;
        LastPart = *Last;
        FirstCount = FirstN;
        LastCount = LastN;
    }
    TKeptPartsGuard(const TKeptPartsGuard&) = delete;
    TKeptPartsGuard& operator=(const TKeptPartsGuard&) = delete;

  private:
    std::unique_ptr<TSTIpart> First, Last;
    std::int32_t FirstN, LastN;
};

} // namespace

bool WriteSearchReport(const std::string& folderGiven, const std::string& journalPath,
                       const std::string& outPath, std::string& reason, std::string* warning) {
    const std::string folder = AbsoluteFolder(folderGiven);
    const std::string initialPath = JoinPath(folder, "initial.sti");
    if (!FileExists(initialPath)) {
        reason = "the folder " + folderGiven + " holds no initial.sti";
        return false;
    }
    std::vector<TSubRecord> initial;
    std::string modelFile;
    try {
        TKeptPartsGuard guard;
        auto records = std::make_unique<TSubInfo>();
        std::int32_t count = 0;
        if (!ReadSTIFile(initialPath, *records, count, reason)) {
            reason = "initial.sti refused: " + reason;
            return false;
        }
        for (std::int32_t i = 1; i <= count; ++i)
            initial.push_back((*records)[static_cast<std::size_t>(i)]);
        // The model file is the first word of the first line that is not a comment.
        for (std::int32_t i = 1; i <= FirstCount && modelFile.empty(); ++i) {
            const std::string line = Trim(FirstPart[static_cast<std::size_t>(i)].substr(
                0, FirstPart[static_cast<std::size_t>(i)].find('!')));
            modelFile = line.substr(0, line.find_first_of(" \t"));
        }
    } catch (const TFileError& e) {
        reason = e.what();
        return false;
    }
    if (!FileExists(journalPath)) {
        reason = "there is no journal " + journalPath;
        return false;
    }
    std::string text;
    TJournalContents contents;
    try {
        if (!ReadWholeFile(journalPath, text, reason)) {
            reason = "cannot read the journal " + journalPath + ": " + reason;
            return false;
        }
    } catch (const TFileError& e) {
        reason = e.what();
        return false;
    }
    if (!ParseJournal(text, contents, reason)) {
        reason = journalPath + " is not a search journal that can be read: " + reason;
        return false;
    }
    if (warning) *warning = contents.Warning;
    TSearchAnalysis analysis;
    if (!AnalyseSearch(contents, folder, initial, modelFile, analysis, reason)) return false;
    ReplaceFileContents(outPath, SearchReportHtml(analysis));
    return true;
}

} // namespace pelvarn::search
