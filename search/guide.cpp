#include "search/guide.h"

#include <algorithm>

namespace pelvarn::search {

namespace {

std::string MoveKey(const TMoveSpec& m) {
    if (m.Kind == TMoveKind::Toggle) return "t" + std::to_string(m.A) + "/" + std::to_string(m.B);
    return "x" + std::to_string(std::min(m.A, m.B)) + "/" + std::to_string(std::max(m.A, m.B));
}

} // namespace

void TGuide::Observe(const TCandidate& candidate, double seconds, double change) {
    Estimator.Learn(candidate.Stat, candidate.Order, seconds);
    if (change != change) return;
    LastBest = seconds / (1 + change);
    if (candidate.Move.Kind != TMoveKind::None && candidate.Move.A > 0)
        MoveChanges[MoveKey(candidate.Move)] = {change, LastBest};
}

std::size_t TGuide::Choose(const TCandidate& best, const std::vector<TCandidate>& pool,
                           TRandom& random) const {
    if (random.Below(Explore) == 0)
        return static_cast<std::size_t>(random.Below(static_cast<std::int32_t>(pool.size())));
    // By the change each is expected to make: the one its move made last, or the fit's. A
    // move that gained on an earlier best comes first, then the toggles not yet made and the
    // exchanges the fit expects to gain, then the rest: a move that lost on the last best it
    // was made on is tried again only after every fresh one.
    const double base = Estimate(best);
    std::size_t pick = 0;
    std::pair<int, double> lowest{3, 0};
    for (std::size_t i = 0; i < pool.size(); ++i) {
        std::pair<int, double> e{2, 0};
        const auto known = pool[i].Move.Kind == TMoveKind::None
                               ? MoveChanges.end()
                               : MoveChanges.find(MoveKey(pool[i].Move));
        double estimate = 0;
        if (known != MoveChanges.end() && known->second.second * (1 - Forget) <= LastBest) {
            e = {known->second.first < 0 ? 0 : 2, known->second.first};
        } else if (base > 0 && (estimate = Estimate(pool[i])) != 0) {
            e.second = (estimate - base) / base;
            e.first = pool[i].Move.Kind == TMoveKind::Toggle || e.second < 0 ? 1 : 2;
        } else {
            continue;
        }
        if (e < lowest) {
            lowest = e;
            pick = i;
        }
    }
    return pick;
}

} // namespace pelvarn::search
