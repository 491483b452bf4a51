#include "search/acceptance.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace pelvarn::search {

namespace {

double Median(std::vector<double> v) {
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    double median = *mid;
    if (v.size() % 2 == 0) median = (median + *std::max_element(v.begin(), mid)) / 2;
    return median;
}

} // namespace

void TAcceptance::Add(const std::string& key, double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) return;
    TGroup& g = Groups[key];
    const double x = std::log(seconds);
    for (double v : g.Logs)
        Differences.push_back(std::abs(x - v));
    g.Logs.push_back(x);
    if (g.Logs.size() < 2) return;
    ++Degrees;
    if (g.Logs.size() == 2) Repeated.push_back(key);
    // How far a timing may lie above its condensation's fastest before it counts as slowed:
    // SlowedWidths of the spread that the median difference between two timings of one
    // condensation shows (0.954 of it, for normal noise), which a few slowed runs leave alone.
    Slowed = SlowedWidths * Median(Differences) / 0.9539;
    // The pooled spread of the timings that were not slowed, about their condensations' means.
    SquaredSpread = 0;
    SpreadDegrees = 0;
    for (const std::string& k : Repeated) {
        const TLevel level = Level(Groups.at(k));
        SquaredSpread += level.Squares;
        SpreadDegrees += level.Count - 1;
    }
}

double TAcceptance::Noise() const {
    const double measured =
        SpreadDegrees > 0 ? std::sqrt(SquaredSpread / static_cast<double>(SpreadDegrees)) : 0;
    return NoiseMeasured() ? measured : std::max(measured, PriorNoise);
}

std::int32_t TAcceptance::Timings(const std::string& key) const {
    const auto it = Groups.find(key);
    return it == Groups.end() ? 0 : static_cast<std::int32_t>(it->second.Logs.size());
}

TAcceptance::TLevel TAcceptance::Level(const TGroup& g) const {
    const double fastest = *std::min_element(g.Logs.begin(), g.Logs.end());
    TLevel level;
    const auto kept = [&](double v) { return v <= fastest + Slowed; };
    for (double v : g.Logs) {
        if (!kept(v)) continue;
        level.Mean += v;
        ++level.Count;
    }
    level.Mean /= level.Count;
    for (double v : g.Logs)
        if (kept(v)) level.Squares += (v - level.Mean) * (v - level.Mean);
    return level;
}

double TAcceptance::Seconds(const std::string& key) const {
    const auto it = Groups.find(key);
    return it == Groups.end() ? 0 : std::exp(Level(it->second).Mean);
}

TVerdict TAcceptance::Judge(const std::string& challenger, const std::string& best,
                            TGainEstimate estimate) const {
    const auto c = Groups.find(challenger);
    const auto b = Groups.find(best);
    if (c == Groups.end()) return TVerdict::Worse;
    if (b == Groups.end()) return TVerdict::Better;
    const double noise = Noise();
    const TLevel lc = Level(c->second), lb = Level(b->second);
    const double wc = 1.0 / lc.Count, wb = 1.0 / lb.Count;
    // Under noise the best's own timings flatter it; an estimate of it, where given, is the bar,
    // unless the two disagree by far more than they may miss: then the estimate is wrong there.
    const auto agree = [](double a, double b, double error) {
        return std::abs(a - b) <= AgreeWidths * error;
    };
    const bool bar = noise > 0 && estimate.BestMiss > 0 &&
                     agree(estimate.Best, lb.Mean,
                           std::sqrt(noise * noise * wb + estimate.BestMiss * estimate.BestMiss));
    double gain = (bar ? estimate.Best : lb.Mean) - lc.Mean;
    double error = bar ? std::sqrt(noise * noise * wc + estimate.BestMiss * estimate.BestMiss)
                       : noise * std::sqrt(wc + wb);
    if (estimate.Miss > 0 && error > 0 &&
        agree(gain, estimate.Gain, std::hypot(error, estimate.Miss))) {
        // Inverse-variance pooling of the two measures of the gain.
        const double t = 1 / (error * error), e = 1 / (estimate.Miss * estimate.Miss);
        gain = (gain * t + estimate.Gain * e) / (t + e);
        error = 1 / std::sqrt(t + e);
    }
    // A challenger behind by less than a standard error may have had one unlucky timing: it
    // is timed again rather than lost for good.
    if (gain <= -Within * error) return TVerdict::Worse;
    if (gain > Widths * error) return TVerdict::Better;
    const auto kc = static_cast<std::int32_t>(c->second.Logs.size());
    const auto kb = static_cast<std::int32_t>(b->second.Logs.size());
    if (kc < MaxTimings) return TVerdict::TimeAgain;
    if (kb < kc) return TVerdict::TimeBestAgain;
    return gain > 0 ? TVerdict::Better : TVerdict::Worse;
}

double TAcceptance::Behind(const std::string& key, const std::string& best) const {
    const auto c = Groups.find(key);
    const auto b = Groups.find(best);
    const double noise = Noise();
    if (c == Groups.end() || b == Groups.end() || noise <= 0) return 1e300;
    const TLevel lc = Level(c->second), lb = Level(b->second);
    return (lc.Mean - lb.Mean) / (noise * std::sqrt(1.0 / lc.Count + 1.0 / lb.Count));
}

bool TAcceptance::Suspect(double change) {
    if (!std::isfinite(change)) return false;
    // The spread from the median size of the changes (0.674 of it, for normal ones), which a
    // few slowed runs, or a few moves that truly lose much, leave alone.
    const bool suspect = FirstChanges.size() >= MinFirstTimings && Noise() > 0 &&
                         change > SuspectWidths * Median(FirstChanges) / 0.6745;
    if (FirstChanges.size() < FirstTimingsKept)
        FirstChanges.push_back(std::abs(change));
    else
        FirstChanges[FirstTimings % FirstTimingsKept] = std::abs(change);
    ++FirstTimings;
    return suspect;
}

} // namespace pelvarn::search
