#include "search/plot.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "base/textutil.h"

namespace pelvarn::search {

namespace {

const TColour Ink{34, 34, 34};
const TColour Grey{102, 102, 102};
const TColour GridGrey{225, 225, 225};
const TColour JobBlue{74, 123, 208};
const TColour BestGreen{26, 154, 58};
const TColour CapAmber{208, 138, 0};
const TColour FailRed{192, 32, 32};

constexpr double FontSize = 12;
constexpr double TitleSize = 15;

// About how wide a text is drawn in a sans-serif font: enough to lay out the legend.
double TextWidth(const std::string& text, double size) {
    return static_cast<double>(text.size()) * size * 0.58;
}

} // namespace

TDrawing ConvergencePlot(const std::vector<TJournalEntry>& entries, const std::string& title,
                         double width, double height) {
    TDrawing d;
    d.Width = std::max(width, 240.0);
    d.Height = std::max(height, 180.0);

    std::vector<const TJournalEntry*> jobs;
    for (const auto& e : entries)
        if (e.VerifyOf < 0) jobs.push_back(&e);
    std::stable_sort(jobs.begin(), jobs.end(), [](const TJournalEntry* a, const TJournalEntry* b) {
        return a->Job < b->Job;
    });
    double maxJob = 1, lo = 0, hi = 0;
    bool any = false;
    for (const TJournalEntry* e : jobs)
        maxJob = std::max(maxJob, static_cast<double>(e->Job));
    // Timings again count too: the best line may stand on their mean.
    for (const TJournalEntry& e : entries) {
        if (!(e.Status == TJobStatus::Ok || (e.Status == TJobStatus::Verify && e.Retime())))
            continue;
        lo = any ? std::min(lo, e.Seconds) : e.Seconds;
        hi = any ? std::max(hi, e.Seconds) : e.Seconds;
        any = true;
    }
    if (!any) {
        lo = 0;
        hi = 1;
    } else if (hi <= lo) {
        const double half = lo > 0 ? lo * 0.05 : 0.5;
        lo -= half;
        hi += half;
    } else {
        const double pad = (hi - lo) * 0.06;
        lo -= pad;
        hi += pad;
    }
    lo = std::max(0.0, lo);

    // The title, then the legend on a line (or two) of its own above the plot area, clear
    // of the data whatever its shape.
    const double left = 66, right = 18, bottom = 46;
    d.AddText({d.Width / 2, 22}, title, TitleSize, Ink, TAnchor::Middle, 0, true);
    struct TItem {
        int Kind;
        std::string Label;
        TColour Colour;
    };
    const TItem items[] = {{0, "job time", JobBlue},
                           {1, "best so far", BestGreen},
                           {2, "capped", CapAmber},
                           {3, "failed", FailRed}};
    double lx = left, ly = 46;
    for (const TItem& item : items) {
        const double w = 24 + TextWidth(item.Label, FontSize) + 18;
        if (lx > left && lx + w > d.Width - right) {
            lx = left;
            ly += 18;
        }
        const TPoint c{lx + 8, ly - 4};
        if (item.Kind == 0) d.AddMarker(c, TMarkerKind::Dot, 3, item.Colour);
        if (item.Kind == 1) d.AddLine({lx, c.Y}, {lx + 16, c.Y}, item.Colour, 2);
        if (item.Kind == 2) d.AddMarker(c, TMarkerKind::Triangle, 4.5, item.Colour);
        if (item.Kind == 3) d.AddMarker(c, TMarkerKind::Cross, 3.5, item.Colour);
        d.AddText({lx + 22, ly}, item.Label, FontSize, Ink);
        lx += w;
    }
    const double top = ly + 14;
    const double plotW = d.Width - left - right, plotH = d.Height - top - bottom;

    const double xlo = -maxJob * 0.02, xhi = maxJob * 1.02;
    auto x = [&](double job) { return left + plotW * (job - xlo) / (xhi - xlo); };
    auto y = [&](double s) { return top + plotH * (1 - (s - lo) / (hi - lo)); };

    TTicks yTicks = RoundTicks(lo, hi, std::clamp(static_cast<int>(plotH / 50), 2, 8));
    TTicks xTicks = RoundTicks(0, maxJob, std::clamp(static_cast<int>(plotW / 90), 2, 10));
    if (xTicks.Step < 1) xTicks = RoundTicks(0, maxJob, static_cast<int>(maxJob));
    for (double v : yTicks.Values) {
        d.AddLine({left, y(v)}, {left + plotW, y(v)}, GridGrey);
        d.AddLine({left - 4, y(v)}, {left, y(v)}, Grey);
        d.AddText({left - 7, y(v) + 4}, FormatFixed(v, yTicks.Decimals), FontSize, Ink,
                  TAnchor::End);
    }
    for (double v : xTicks.Values) {
        d.AddLine({x(v), top}, {x(v), top + plotH}, GridGrey);
        d.AddLine({x(v), top + plotH}, {x(v), top + plotH + 4}, Grey);
        d.AddText({x(v), top + plotH + 18}, FormatFixed(v, 0), FontSize, Ink, TAnchor::Middle);
    }
    d.AddRect({left, top}, {left + plotW, top + plotH}, Grey, true, {}, false);
    d.AddText({left + plotW / 2, d.Height - 8}, "job", FontSize, Ink, TAnchor::Middle);
    d.AddText({18, top + plotH / 2}, "CPU seconds", FontSize, Ink, TAnchor::Middle, 90);

    for (const TJournalEntry* e : jobs)
        if (e->Status == TJobStatus::Ok)
            d.AddMarker({x(static_cast<double>(e->Job)), y(e->Seconds)}, TMarkerKind::Dot, 2.5,
                        JobBlue);
    // The best so far as the search judged it: under noise, by the mean of its timings (its
    // job and those that timed it again), not by the luckiest single timing. Journals of
    // earlier versions do not name it: there, the fastest job so far.
    std::vector<TPoint> line;
    bool haveBest = false;
    double best = 0;
    const auto step = [&](double job, double seconds) {
        if (haveBest && seconds == best) return;
        if (haveBest) line.push_back({x(job), y(best)});
        best = seconds;
        haveBest = true;
        line.push_back({x(job), y(best)});
    };
    if (std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.Best >= 0; })) {
        std::map<std::int64_t, std::pair<double, int>> timings; // by job: their sum and count
        double at = 0; // the latest job number so far, as jobs may end out of turn
        for (const TJournalEntry& e : entries) {
            if (e.VerifyOf >= 0 && !e.Retime()) continue;
            at = std::max(at, static_cast<double>(e.Job));
            if (e.Status == TJobStatus::Ok || e.Status == TJobStatus::Verify) {
                auto& t = timings[e.VerifyOf >= 0 ? e.VerifyOf : e.Job];
                t.first += e.Seconds;
                ++t.second;
            }
            const auto judged = timings.find(e.Best);
            if (judged != timings.end()) step(at, judged->second.first / judged->second.second);
        }
    } else {
        for (const TJournalEntry* e : jobs)
            if (e->Status == TJobStatus::Ok && (!haveBest || e->Seconds < best))
                step(static_cast<double>(e->Job), e->Seconds);
    }
    if (haveBest) {
        line.push_back({x(maxJob), y(best)});
        d.AddPolyline(std::move(line), BestGreen, 2);
    }
    for (const TJournalEntry* e : jobs) {
        if (e->Status == TJobStatus::Ok) continue;
        const bool capped = e->Status == TJobStatus::Capped;
        d.AddMarker({x(static_cast<double>(e->Job)), top + 9},
                    capped ? TMarkerKind::Triangle : TMarkerKind::Cross, capped ? 4.5 : 3.5,
                    capped ? CapAmber : FailRed);
    }
    if (jobs.empty())
        d.AddText({left + plotW / 2, top + plotH / 2}, "no job has finished yet", FontSize, Grey,
                  TAnchor::Middle);
    return d;
}

std::string JobFolderName(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && (f.back() == '/' || f.back() == '\\'))
        f.pop_back();
    const std::size_t cut = f.find_last_of("/\\");
    std::string name = cut == std::string::npos ? f : f.substr(cut + 1);
    return name.empty() || (name.size() == 2 && name[1] == ':') ? folder : name;
}

std::string ConvergencePlotSvg(const std::vector<TJournalEntry>& entries,
                               const std::string& title) {
    return SvgDocument(ConvergencePlot(entries, title));
}

} // namespace pelvarn::search
