#include "search/guide.h"

#include <algorithm>
#include <cmath>

namespace pelvarn::search {

namespace {

// Toggles (0), exchanges (1) and other moves (2).
int KindOf(const TMoveSpec& m) {
    return m.Kind == TMoveKind::Toggle ? 0 : m.Kind == TMoveKind::Order && m.A > 0 ? 1 : 2;
}

} // namespace

double ExpectedGain(double mean, double spread) {
    const double gain = -mean;
    if (spread <= 0) return std::max(gain, 0.0);
    const double z = gain / spread;
    constexpr double InvSqrt2Pi = 0.3989422804014327;
    return gain * 0.5 * std::erfc(-z / std::sqrt(2.0)) + spread * InvSqrt2Pi * std::exp(-z * z / 2);
}

void TGuide::Observe(const TCandidate& candidate, double seconds, double change) {
    const auto remembered = ExpectedOfMemory.find(CondensationKey(candidate));
    TFeatures features;
    const bool known = Estimator.Features(candidate.Stat, candidate.Order, features);
    const double before = known ? Estimator.Fit().Estimate(features) : 0;
    int k = KindOf(candidate.Move);
    double miss = 0;
    if (remembered != ExpectedOfMemory.end()) {
        k = Remembered;
        miss = std::log((1 + change) / (1 + remembered->second));
        ExpectedOfMemory.erase(remembered);
    } else if (before > 0 && seconds > 0) {
        miss = std::log(seconds / before);
    } else {
        k = -1;
    }
    if (k >= 0 && change == change) {
        // A running mean over about the last twenty of the kind.
        const double weight = std::max(1.0 / ++KindSeen[k], 0.05);
        KindMiss[k] += weight * (miss * miss - KindMiss[k]);
    }
    if (known) Estimator.Learn(features, seconds);
    if (change != change) return;
    LastBest = seconds / (1 + change);
    if (candidate.Move.Kind != TMoveKind::None && candidate.Move.A > 0)
        MoveChanges[MoveKey(candidate.Move)] = {candidate.Move, change, LastBest};
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

double TGuide::NeighbourEstimate(const TCandidate& best, const TCandidate& c) {
    if (Neighbours.Stat != best.Stat || Neighbours.Order != best.Order ||
        Neighbours.Features.size() >= MaxKept)
        Neighbours = {best.Stat, best.Order, {}};
    // Candidates two moves away are known by their condensation.
    const bool oneMove = c.Move.Kind != TMoveKind::None && c.Move.A > 0;
    auto [at, fresh] =
        Neighbours.Features.try_emplace(oneMove ? MoveKey(c.Move) : CondensationKey(c));
    if (fresh && !Estimator.Features(c.Stat, c.Order, at->second)) at->second.clear();
    return at->second.empty() ? 0 : Estimator.Fit().Estimate(at->second);
}

std::size_t TGuide::Choose(const TCandidate& best, const std::vector<TCandidate>& pool,
                           TRandom& random) {
    if (random.Below(Explore) == 0)
        return static_cast<std::size_t>(random.Below(static_cast<std::int32_t>(pool.size())));
    // By the gain each is expected to bring: the change its move made on the last best it was
    // made on, or else the fit's, with the spread by which such moves have missed what was
    // expected of them. A kind of move whose outcomes the fit foresees poorly is worth trying
    // even when a small loss is expected of it, ahead of one that foresees a sure, tiny gain.
    const double base = Estimate(best);
    if (base <= 0) return 0;
    MarkTouched(best);
    double widest = 0;
    for (int k = 0; k <= Remembered; ++k)
        if (KindSeen[k] >= MinKindSeen) widest = std::max(widest, KindMiss[k]);
    const auto recent = [&](auto it) {
        return it != MoveChanges.end() && it->second.BestThen * (1 - Forget) <= LastBest;
    };
    std::size_t pick = 0;
    double most = -1, pickChange = 0;
    bool pickRemembered = false;
    for (std::size_t i = 0; i < pool.size(); ++i) {
        int k = KindOf(pool[i].Move);
        const auto known = pool[i].Move.Kind == TMoveKind::None
                               ? MoveChanges.end()
                               : MoveChanges.find(MoveKey(pool[i].Move));
        double change = 0;
        // A toggle back undoes the toggle that brought its record to where it is.
        const TMoveSpec& m = pool[i].Move;
        const auto undone =
            m.Kind == TMoveKind::Toggle && m.A >= 1 && m.A <= best.Count()
                ? MoveChanges.find(MoveKey(
                      {TMoveKind::Toggle, m.A, best.Stat[static_cast<std::size_t>(m.A - 1)]}))
                : MoveChanges.end();
        if (recent(known)) {
            change = known->second.Change;
            if (!known->second.Touched) k = Remembered;
        } else if (recent(undone) && undone->second.Change < 0) {
            change = -undone->second.Change / (1 + undone->second.Change);
            if (!undone->second.Touched) k = Remembered;
        } else {
            const double estimate = NeighbourEstimate(best, pool[i]);
            if (estimate <= 0) continue;
            change = (estimate - base) / base;
        }
        const double spread = std::sqrt(KindSeen[k] >= MinKindSeen ? KindMiss[k]
                                        : widest > 0               ? widest
                                                                   : PriorMiss);
        const double gain = ExpectedGain(change, spread);
        if (gain > most) {
            most = gain;
            pick = i;
            pickChange = change;
            pickRemembered = k == Remembered;
        }
    }
    if (pickRemembered) ExpectedOfMemory[CondensationKey(pool[pick])] = pickChange;
    return pick;
}

} // namespace pelvarn::search
