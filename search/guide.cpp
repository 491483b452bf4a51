#include "search/guide.h"

#include <algorithm>
#include <cmath>

namespace pelvarn::search {

namespace {

// Toggles (0), exchanges (1) and other moves (2).
int KindOf(const TMoveSpec& m) {
    return m.Kind == TMoveKind::Toggle ? 0 : m.Kind == TMoveKind::Order && m.A > 0 ? 1 : 2;
}

// True when the candidate is the best with its move made: with workers in parallel, a job
// may end after the best it was made from has given way.
bool MadeFrom(const TCandidate& best, const TCandidate& c) {
    TCandidate made = best;
    return MakeMove(c.Move, made) && made.Stat == c.Stat && made.Order == c.Order;
}

} // namespace

double ExpectedGain(double mean, double spread) {
    const double gain = -mean;
    if (spread <= 0) return std::max(gain, 0.0);
    const double z = gain / spread;
    constexpr double InvSqrt2Pi = 0.3989422804014327;
    return gain * 0.5 * std::erfc(-z / std::sqrt(2.0)) + spread * InvSqrt2Pi * std::exp(-z * z / 2);
}

void TGuide::Observe(const TCandidate& candidate, const TCandidate& best, double seconds,
                     double change, bool stale) {
    // best: the best the candidate was made from, which is no longer the best when stale.
    TFeatures features;
    const bool known = Estimator.Features(candidate.Stat, candidate.Order, features);
    const double before = known ? Estimator.ChoiceFit().Estimate(features) : 0;
    // What was expected of the move, worked out as when it was chosen (and so again when a
    // search is resumed from its journal).
    TExpectation e;
    TBase base;
    if (change == change && known && MadeFrom(best, candidate) && Base(best, base))
        e = Expect(best, candidate, base);
    int k = KindOf(candidate.Move);
    double miss = 0;
    const auto missed = [&](double expected) { return std::log((1 + change) / (1 + expected)); };
    if (e.Estimated && e.Kind == Remembered) {
        k = Remembered;
        miss = missed(e.Change);
    } else if (before > 0 && seconds > 0) {
        miss = std::log(seconds / before);
    } else {
        k = -1;
    }
    if (e.Estimated && e.Touched) {
        const double weight = std::max(1.0 / ++TouchedSeen, 0.05);
        const double misses[2] = {missed(e.Usual), missed(e.Structural)};
        for (int i = 0; i < 2; ++i)
            TouchedMiss[i] += weight * (misses[i] * misses[i] - TouchedMiss[i]);
    }
    if (k >= 0 && change == change) {
        // A running mean over about the last twenty of the kind.
        const double weight = std::max(1.0 / ++KindSeen[k], 0.05);
        KindMiss[k] += weight * (miss * miss - KindMiss[k]);
    }
    if (known) Estimator.Learn(features, seconds);
    // Which records were changed alone or together, and what changes of each sort did on
    // average (logarithms of the time's share, over about the last ten).
    const auto mark = [&](std::vector<char>& records, std::size_t r) {
        if (records.size() < candidate.Stat.size()) records.resize(candidate.Stat.size(), 0);
        records[r] = 1;
    };
    const auto average = [&](TChanges& sort) {
        if (change != change) return;
        sort.Mean += std::max(1.0 / ++sort.Seen, 0.1) * (std::log1p(change) - sort.Mean);
    };
    if (candidate.Move.Kind == TMoveKind::Toggle && candidate.Move.A >= 1 &&
        candidate.Move.A <= candidate.Count()) {
        mark(ToggledAlone, static_cast<std::size_t>(candidate.Move.A - 1));
        average(Alone);
    } else if (candidate.Move.Kind == TMoveKind::None &&
               candidate.Stat.size() == best.Stat.size()) {
        const std::vector<std::int32_t> changed = RecordsChanged(best, candidate);
        if (changed.size() >= 2) {
            for (std::int32_t r : changed)
                mark(ChangedTogether, static_cast<std::size_t>(r - 1));
            average(Together);
        }
    }
    if (change != change) return;
    const double then = seconds / (1 + change);
    if (!stale) LastBest = then;
    if (candidate.Move.Kind != TMoveKind::None && candidate.Move.A > 0)
        MoveChanges[MoveKey(candidate.Move)] = {candidate.Move, change, then};
}

void TGuide::MarkTouched(const TCandidate& best) {
    if (RememberedOn == best.Stat) return;
    if (RememberedOn.size() == best.Stat.size()) {
        std::vector<std::int32_t> changed;
        for (std::size_t r = 0; r < best.Stat.size(); ++r)
            if (RememberedOn[r] != best.Stat[r])
                changed.push_back(static_cast<std::int32_t>(r + 1));
        // The move that the change was made of is not touched by it: its undoing is known.
        const auto touched = [&](std::int32_t record, const TMoveSpec& m) {
            return std::any_of(changed.begin(), changed.end(), [&](std::int32_t q) {
                const bool made = m.Kind == TMoveKind::Toggle && q == m.A &&
                                  best.Stat[static_cast<std::size_t>(q - 1)] == m.B;
                return !made && Estimator.Interact(record, q);
            });
        };
        for (auto& entry : MoveChanges) {
            const TMoveSpec& m = entry.second.Move;
            if (touched(m.A, m) || (m.Kind == TMoveKind::Order && touched(m.B, m)))
                entry.second.Touched = true;
        }
    }
    RememberedOn = best.Stat;
}

double TGuide::NeighbourEstimate(const TCandidate& best, const TCandidate& c, bool structural) {
    if (Neighbours.Stat != best.Stat || Neighbours.Order != best.Order ||
        Neighbours.Features.size() >= MaxKept)
        Neighbours = {best.Stat, best.Order, {}};
    // Candidates two moves away are known by their condensation.
    const bool oneMove = c.Move.Kind != TMoveKind::None && c.Move.A > 0;
    auto [at, fresh] =
        Neighbours.Features.try_emplace(oneMove ? MoveKey(c.Move) : CondensationKey(c));
    if (fresh && !Estimator.Features(c.Stat, c.Order, at->second)) at->second.clear();
    if (at->second.empty()) return 0;
    return structural ? Estimator.StructuralEstimate(at->second)
                      : Estimator.ChoiceFit().Estimate(at->second);
}

bool TGuide::Base(const TCandidate& best, TBase& base) {
    Estimator.SetBase(best.Stat, best.Order);
    TFeatures features;
    if (!Estimator.Features(best.Stat, best.Order, features)) return false;
    base.Fit = Estimator.ChoiceFit().Estimate(features);
    base.Structural = Estimator.StructuralEstimate(features);
    if (base.Fit <= 0) return false;
    MarkTouched(best);
    return true;
}

TGuide::TExpectation TGuide::Expect(const TCandidate& best, const TCandidate& c,
                                    const TBase& base) {
    TExpectation e;
    e.Kind = KindOf(c.Move);
    const TMoveSpec& m = c.Move;
    const auto recent = [&](auto it) {
        return it != MoveChanges.end() && it->second.BestThen * (1 - Forget) <= LastBest;
    };
    const auto known = m.Kind == TMoveKind::None ? MoveChanges.end() : MoveChanges.find(MoveKey(m));
    // A toggle back undoes the toggle that brought its record to where it is.
    const auto undone =
        m.Kind == TMoveKind::Toggle && m.A >= 1 && m.A <= best.Count()
            ? MoveChanges.find(
                  MoveKey({TMoveKind::Toggle, m.A, best.Stat[static_cast<std::size_t>(m.A - 1)]}))
            : MoveChanges.end();
    if (m.Kind == TMoveKind::Toggle && Unsure(m.A) && base.Structural > 0) {
        const double estimate = NeighbourEstimate(best, c, true);
        if (estimate <= 0) return e;
        e.Change = (estimate - base.Structural) / base.Structural;
        e.Estimated = e.Unsure = true;
        return e;
    }
    if (recent(known)) {
        e.Change = known->second.Change;
        if (!known->second.Touched) e.Kind = Remembered;
    } else if (recent(undone) && undone->second.Change < 0) {
        e.Change = -undone->second.Change / (1 + undone->second.Change);
        if (!undone->second.Touched) e.Kind = Remembered;
    } else {
        const double estimate = NeighbourEstimate(best, c, false);
        if (estimate <= 0) return e;
        e.Change = (estimate - base.Fit) / base.Fit;
    }
    e.Estimated = true;
    // What a move did, or what the fit says of it with its record's own feature, misleads
    // where the move's records' surroundings have changed since (a record that pays only
    // once its neighbour is condensed): for such moves the structural fit serves instead,
    // once it has proved to miss less there.
    e.Touched = (known != MoveChanges.end() && known->second.Touched) ||
                (undone != MoveChanges.end() && undone->second.Touched);
    e.Usual = e.Structural = e.Change;
    if (e.Touched && base.Structural > 0) {
        const double estimate = NeighbourEstimate(best, c, true);
        if (estimate > 0) e.Structural = (estimate - base.Structural) / base.Structural;
        if (TouchedSeen >= MinKindSeen && TouchedMiss[1] < TouchedMiss[0]) {
            e.Change = e.Structural;
            if (e.Kind == Remembered) e.Kind = KindOf(m);
        }
    }
    return e;
}

std::size_t TGuide::Choose(const TCandidate& best, const std::vector<TCandidate>& pool,
                           TRandom& random) {
    if (random.Below(Explore) == 0)
        return static_cast<std::size_t>(random.Below(static_cast<std::int32_t>(pool.size())));
    // By the gain each is expected to bring, with the spread by which such moves have missed
    // what was expected of them. A kind of move whose outcomes the fit foresees poorly is
    // worth trying even when a small loss is expected of it, ahead of one that foresees a
    // sure, tiny gain.
    TBase base;
    if (!Base(best, base)) return 0;
    double widest = 0;
    for (int k = 0; k <= Remembered; ++k)
        if (KindSeen[k] >= MinKindSeen) widest = std::max(widest, KindMiss[k]);
    std::size_t pick = 0;
    double most = -1;
    for (std::size_t i = 0; i < pool.size(); ++i) {
        const TExpectation e = Expect(best, pool[i], base);
        if (!e.Estimated) continue;
        const double spread = std::sqrt(KindSeen[e.Kind] >= MinKindSeen ? KindMiss[e.Kind]
                                        : widest > 0                    ? widest
                                                                        : PriorMiss);
        // An unsure record's toggle is as unsure as nothing were known of it.
        const double gain =
            ExpectedGain(e.Change, e.Unsure ? std::max(spread, std::sqrt(PriorMiss)) : spread);
        if (gain > most) {
            most = gain;
            pick = i;
        }
    }
    return pick;
}

bool TGuide::Unsure(std::int32_t record) const {
    const auto r = static_cast<std::size_t>(record - 1);
    return record >= 1 && r < ChangedTogether.size() && ChangedTogether[r] &&
           !(r < ToggledAlone.size() && ToggledAlone[r]);
}

bool TGuide::Leap(const TCandidate& best, const std::vector<TCandidate>& pool, double enough,
                  std::int32_t most, TCandidate& leap) {
    // Leaps go on while they change the time for the better at least as much as single
    // toggles do: where the estimates cannot tell which toggles gain, they bundle guesses.
    if (Together.Seen >= MinLeaps && Together.Mean >= Alone.Mean) return false;
    TBase base;
    if (!Base(best, base)) return false;
    std::vector<std::pair<double, std::size_t>> gaining;
    for (std::size_t i = 0; i < pool.size(); ++i) {
        if (pool[i].Move.Kind != TMoveKind::Toggle) continue;
        const TExpectation e = Expect(best, pool[i], base);
        if (e.Estimated && !e.Unsure && e.Change < 0) gaining.emplace_back(e.Change, i);
    }
    std::sort(gaining.begin(), gaining.end());
    leap = best;
    leap.Change.clear();
    leap.Move = {};
    std::vector<std::int32_t> made;
    double expected = 0; // the logarithm of the time's share
    // A bar of all the time or more (a very noisy timer) leaves only the count to end the leap.
    const double bar = enough < 1 ? std::log1p(-enough) : -1e300;
    for (const auto& [change, i] : gaining) {
        const std::int32_t r = pool[i].Move.A;
        if (std::any_of(made.begin(), made.end(),
                        [&](std::int32_t q) { return Estimator.Interact(r, q); }) ||
            !MakeMove(pool[i].Move, leap))
            continue;
        made.push_back(r);
        leap.Change += (leap.Change.empty() ? "" : "; ") + pool[i].Change;
        expected += std::log1p(change);
        if (expected <= bar || static_cast<std::int32_t>(made.size()) >= most)
            break;
    }
    return made.size() >= 2;
}

} // namespace pelvarn::search
