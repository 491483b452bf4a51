#include "search/policy.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "sti/candmoves.h"

namespace pelvarn::search {

namespace {

const char* const StrategyNames[] = {"alter-pair", "alter-shuffle", "alter",
                                     "pair",       "shuffle",       "sweep"};

} // namespace

bool ParseStrategy(const std::string& name, TStrategy& strategy) {
    for (int i = 0; i < 6; ++i) {
        if (name == StrategyNames[i]) {
            strategy = static_cast<TStrategy>(i);
            return true;
        }
    }
    return false;
}

std::string StrategyName(TStrategy strategy) {
    return StrategyNames[static_cast<int>(strategy)];
}

TPolicy::TPolicy(TStrategy strategy, std::vector<TRecordFlags> records, std::uint32_t seed,
                 bool noRepeats)
    : Strategy(strategy), Records(std::move(records)), NoRepeats(noRepeats), Seed(seed) {
    State.Random = seed;
    for (std::size_t i = 0; i < Records.size(); ++i)
        if (!Records[i].MustSub) Alterable.push_back(static_cast<std::int32_t>(i + 1));
}

bool TPolicy::CanChange() const {
    const bool orderMoves = Records.size() >= 2;
    switch (Strategy) {
    case TStrategy::Alter:
        return !Alterable.empty();
    case TStrategy::Pair:
    case TStrategy::Shuffle:
        return orderMoves;
    default:
        return orderMoves || !Alterable.empty();
    }
}

std::string TPolicy::SeenKey(const TCandidate& candidate) const {
    if (Structure) {
        std::string key = Trace.Ready()
                              ? Trace.Key(candidate.Stat, candidate.Order)
                              : Structure->EliminationKey(candidate.Stat, candidate.Order);
        if (!key.empty()) return key;
    }
    return CondensationKey(candidate);
}

void TPolicy::MarkSeen(const TCandidate& candidate) {
    Seen.insert(SeenKey(candidate));
}

bool TPolicy::IsSeen(const TCandidate& candidate) const {
    return Seen.count(SeenKey(candidate)) != 0;
}

bool TPolicy::IsSeenNeighbour(const TCandidate& candidate) {
    if (candidate.Move.Kind == TMoveKind::None || candidate.Move.A <= 0) return IsSeen(candidate);
    auto [at, fresh] = Scan.Keys.try_emplace(MoveKey(candidate.Move));
    if (fresh) at->second = SeenKey(candidate);
    return Seen.count(at->second) != 0;
}

std::uint32_t TPolicy::DrawSeed(const TCandidate& best, std::uint32_t batch) const {
    std::uint32_t h = 2166136261u ^ Seed; // FNV-1a of the best's condensation
    for (unsigned char ch : CondensationKey(best))
        h = (h ^ ch) * 16777619u;
    return h ^ (batch * 0x9E3779B9u);
}

void TPolicy::StartSweep() {
    // The alterable records in a random order; taken from the back.
    TRandom random(State.Random);
    State.SweepLeft = Alterable;
    for (std::size_t k = State.SweepLeft.size(); k > 1; --k)
        std::swap(
            State.SweepLeft[k - 1],
            State.SweepLeft[static_cast<std::size_t>(random.Below(static_cast<std::int32_t>(k)))]);
    State.Random = random.GetSeed();
    State.SweepStarted = true;
    State.SweepGained = false;
}

TPolicy::TMove TPolicy::ChooseMove() {
    const bool odd = State.Proposals % 2 != 0;
    const bool canToggle = !Alterable.empty();
    switch (Strategy) {
    case TStrategy::AlterPair: {
        if (!canToggle) return TMove::Pair;
        if (Records.size() < 2) return TMove::Toggle;
        // A round of the walk first, as many toggles as there are alterable records: which
        // records are condensed moves the time far more than their order, and exchanges
        // are worth more once the statuses have been tried. Then toggles and exchanges in
        // proportion to how often each improved the best lately, each kept to at least one
        // move in ten: while they fare alike they alternate.
        if (State.Proposals <= static_cast<std::int64_t>(Alterable.size())) return TMove::Toggle;
        const double t = State.ToggleGains * State.ToggleGains;
        const double o = State.OrderGains * State.OrderGains;
        const double share = std::clamp(t / (t + o), 0.1, 0.9);
        State.ToggleCredit += share;
        if (State.ToggleCredit >= 1.0 - 1e-9) {
            State.ToggleCredit -= 1.0;
            return TMove::Toggle;
        }
        return TMove::Pair;
    }
    case TStrategy::AlterShuffle:
        return odd || !canToggle ? TMove::Shuffle : TMove::Toggle;
    case TStrategy::Alter:
        return TMove::Toggle;
    case TStrategy::Pair:
        return TMove::Pair;
    case TStrategy::Shuffle:
        return TMove::Shuffle;
    case TStrategy::Sweep:
        break;
    }
    if (!State.SweepsDone && canToggle) {
        if (!State.SweepStarted || State.SweepLeft.empty()) {
            if (State.SweepStarted && !State.SweepGained) {
                State.SweepsDone = true;
            } else {
                StartSweep();
            }
        }
        if (!State.SweepsDone) return TMove::SweepToggle;
    }
    // After the sweeps: four pair exchanges to one toggle of a random record.
    TRandom random(State.Random);
    const bool toggle = canToggle && (Records.size() < 2 || random.Below(5) == 0);
    State.Random = random.GetSeed();
    return toggle ? TMove::RandomToggle : TMove::Pair;
}

bool TPolicy::Apply(TMove move, TCandidate& c) {
    const std::int32_t n = c.Count();
    TRandom random(State.Random);
    bool changed = true;
    switch (move) {
    case TMove::Toggle: {
        // The window's walk: the next alterable record after the last one toggled.
        // A record resting after a clear loss is passed over, a round less each time; when
        // every alterable record rests, the first passed over is toggled all the same.
        std::int32_t p = State.AlterPos < 0 || State.AlterPos > n ? 0 : State.AlterPos;
        std::int32_t firstRested = 0;
        const bool rests = static_cast<std::int32_t>(State.ToggleRests.size()) == n;
        changed = false;
        for (std::int32_t step = 0; step < n && !changed; ++step) {
            p = p % n + 1;
            const auto i = static_cast<std::size_t>(p - 1);
            if (rests && !Records[i].MustSub && State.ToggleRests[i] > 0) {
                --State.ToggleRests[i];
                if (firstRested == 0) firstRested = p;
                continue;
            }
            changed = ToggleRecord(c, p, Records[i]);
        }
        if (!changed && firstRested > 0) {
            p = firstRested;
            changed = ToggleRecord(c, p, Records[static_cast<std::size_t>(p - 1)]);
        }
        if (changed) State.AlterPos = p;
        break;
    }
    case TMove::SweepToggle: {
        const std::int32_t r = State.SweepLeft.back();
        State.SweepLeft.pop_back();
        ToggleRecord(c, r, Records[static_cast<std::size_t>(r - 1)]);
        c.Change += " (sweep)";
        break;
    }
    case TMove::RandomToggle: {
        const std::int32_t r = Alterable[static_cast<std::size_t>(
            random.Below(static_cast<std::int32_t>(Alterable.size())))];
        ToggleRecord(c, r, Records[static_cast<std::size_t>(r - 1)]);
        break;
    }
    case TMove::Pair: {
        TSubOrder order{};
        for (std::int32_t i = 1; i <= n; ++i)
            order[static_cast<std::size_t>(i)] = c.Order[static_cast<std::size_t>(i - 1)];
        ExchangeRandomPair(order, n, random);
        std::vector<std::int32_t> moved; // the two records that changed places
        for (std::int32_t i = 1; i <= n; ++i) {
            std::int32_t& r = c.Order[static_cast<std::size_t>(i - 1)];
            if (r != order[static_cast<std::size_t>(i)]) moved.push_back(r);
            r = order[static_cast<std::size_t>(i)];
        }
        // A draw of one place twice moves nothing: such a candidate is its best again and is
        // never timed.
        c.Move = {TMoveKind::Order, 0, 0};
        c.Change = "Exchange a record with itself";
        if (moved.size() == 2) {
            c.Move = {TMoveKind::Order, moved[0], moved[1]};
            c.Change = ExchangeText(moved[0], moved[1]);
        }
        break;
    }
    case TMove::Shuffle: {
        TSubOrder order{};
        CompleteShuffle(order, n, random);
        for (std::int32_t i = 1; i <= n; ++i)
            c.Order[static_cast<std::size_t>(i - 1)] = order[static_cast<std::size_t>(i)];
        c.Change = "Complete shuffle";
        c.Move = {TMoveKind::Order, 0, 0};
        break;
    }
    }
    if (move == TMove::Pair || move == TMove::Shuffle || move == TMove::RandomToggle)
        State.Random = random.GetSeed();
    return changed;
}

void TPolicy::SetOrderFree(std::int32_t record, bool orderFree) {
    auto& free = State.OrderFree;
    auto at = std::lower_bound(free.begin(), free.end(), record);
    const bool present = at != free.end() && *at == record;
    if (orderFree && !present)
        free.insert(at, record);
    else if (!orderFree && present)
        free.erase(at);
}

std::vector<std::int32_t> TPolicy::CondensedMoved(const TCandidate& c) const {
    // An exchange moves its two records past each other and past every record between them.
    std::vector<std::int32_t> moved;
    const auto [a, b] = PlacesOf(c.Order, c.Move.A, c.Move.B);
    if (a == c.Order.end()) return moved;
    for (auto it = a; it <= b; ++it)
        if (*it >= 1 && *it <= c.Count() && c.Stat[static_cast<std::size_t>(*it - 1)] != notsub)
            moved.push_back(*it);
    return moved;
}

bool TPolicy::MovesOnlyOrderFree(const TCandidate& c) const {
    if (c.Move.Kind != TMoveKind::Order || c.Move.A < 1) return false;
    const std::vector<std::int32_t> moved = CondensedMoved(c);
    return std::all_of(moved.begin(), moved.end(), [&](std::int32_t r) {
        return std::binary_search(State.OrderFree.begin(), State.OrderFree.end(), r);
    });
}

void TPolicy::Learn(const TCandidate& candidate, const TLesson& lesson,
                    const TCandidate& previousBest) {
    if (lesson.Accepted) State.SweepGained = true;
    const TMoveSpec& move = candidate.Move;
    if (move.Kind == TMoveKind::Order && move.A > 0) {
        // Eliminations that do not touch each other commute: moving them past each other
        // leaves the condensed system, and so the time, exactly as it was.
        for (std::int32_t r : CondensedMoved(candidate))
            SetOrderFree(r, lesson.Unchanged());
    } else if (move.Kind == TMoveKind::Toggle && move.A >= 1 && move.A <= candidate.Count()) {
        if (lesson.Accepted) SetOrderFree(move.A, false); // condensed anew, or left alone
        // A round of rest for each 1 % that the toggle lost, up to four; a job with no time
        // (failed or capped) rests the longest.
        const double lost = lesson.Timed ? lesson.Change : 1.0;
        const std::int32_t rests =
            lost <= 0 ? 0 : static_cast<std::int32_t>(std::min(4.0, lost / 0.01));
        if (rests > 0 || !State.ToggleRests.empty()) {
            State.ToggleRests.resize(static_cast<std::size_t>(candidate.Count()), 0);
            State.ToggleRests[static_cast<std::size_t>(move.A - 1)] = rests;
        }
    }
    // A running mean over about the last ten moves of the kind.
    constexpr double Weight = 0.1;
    const double gain = lesson.Better() ? 1.0 : 0.0;
    if (move.Kind == TMoveKind::Toggle)
        State.ToggleGains += Weight * (gain - State.ToggleGains);
    else if (move.Kind == TMoveKind::Order)
        State.OrderGains += Weight * (gain - State.OrderGains);
    if (!lesson.Better() || !lesson.Stale) return;
    const TMoveSpec& redo = lesson.Accepted ? previousBest.Move : move;
    if (redo.A > 0 && !redo.Replayed) State.Replays.push_back(redo);
    // A leap that gained: its toggles, each but the last joined to the next.
    if (move.Kind != TMoveKind::None || lesson.Changed.size() < 2 || lesson.Accepted ||
        candidate.Change.ends_with(MadeAgainText))
        return;
    const std::vector<TMoveSpec> toggles = JoinedToggles(candidate, lesson.Changed);
    State.Replays.insert(State.Replays.end(), toggles.begin(), toggles.end());
}

// True when the candidate is to be timed: it was not timed before, or repeats are allowed.
// It is counted as seen.
bool TPolicy::Fresh(const TCandidate& candidate) {
    const bool fresh = Seen.insert(SeenKey(candidate)).second;
    return fresh || !NoRepeats;
}

bool TPolicy::Next(const TCandidate& best, TCandidate& next) {
    Pending = false;
    if (!CanChange()) return false;
    if (Structure && !Trace.IsOf(best.Stat, best.Order))
        Trace.Reset(*Structure, best.Stat, best.Order);
    if (Scan.Stat != best.Stat || Scan.Order != best.Order) Scan = {best.Stat, best.Order};
    while (!State.Replays.empty()) {
        next = best;
        if (MakeNextAgain(State.Replays, next, Records) && Fresh(next)) return true;
    }
    if (Guide && Strategy == TStrategy::AlterPair && Guide->Ready())
        return NextByEstimate(best, next);
    for (int draw = 0; draw < MaxDraws && !Scan.DrawsFailed; ++draw) {
        ++State.Proposals;
        next = best;
        if (Apply(ChooseMove(), next) &&
            !(NoRepeats && draw < OrderFreeDraws && MovesOnlyOrderFree(next)) && Fresh(next))
            return true;
        if (NoRepeats) ++Redraws;
    }
    // The draws found nothing new; before the search is called complete, every candidate one
    // move from the best is looked at in turn, up to a bound. The draws are not made again
    // from this best: they would mostly find what has been timed once more.
    Scan.DrawsFailed = true;
    return NextUntimedNeighbour(best, next);
}

bool TPolicy::NextByEstimate(const TCandidate& best, TCandidate& next) {
    AtOptimum = false;
    // The untimed neighbours: every toggle and as many exchanges as there are records (up to
    // MaxExchangeDraws), drawn. When all of them have been timed, the best's whole
    // neighbourhood is looked at; beyond it, with a limit given, candidates two moves away.
    TRandom random(State.Random);
    const auto n = best.Count();
    std::vector<TCandidate> pool;
    for (std::int32_t r : Alterable) {
        TCandidate c = best;
        if (std::count(InFlight.begin(), InFlight.end(), r) == 0 && // see InFlight
            ToggleRecord(c, r, Records[static_cast<std::size_t>(r - 1)]) && !IsSeenNeighbour(c))
            pool.push_back(std::move(c));
    }
    for (std::int32_t k = 0; k < std::min(n, MaxExchangeDraws) && n >= 2; ++k) {
        TCandidate c = best;
        if (ExchangeDrawn(c, random) && !IsSeenNeighbour(c)) pool.push_back(std::move(c));
    }
    if (pool.empty()) {
        // A look at the neighbours cut short by its slice of time is taken up again with the
        // same draws, so that the jobs do not depend on how fast it looked.
        const std::uint32_t drawn = State.Random;
        State.Random = random.GetSeed();
        if (NextUntimedNeighbour(best, next)) return true;
        if (Pending) State.Random = drawn;
        // Every neighbour timed, or as many looked at as a look may take: with a limit left,
        // two moves away.
        if (!BeyondOptimum || Pending) return false;
        AtOptimum = true;
        random.SetSeed(State.Random);
        // Two moves away: drawn for the best in batches of TwoMoveDraws, each of which follows
        // from the best, the seed and its number alone, so that a resumed search draws them
        // alike. The untimed of the batch are weighed; once none is left, the next batch is
        // drawn, and once as many batches as make four draws per record have brought none,
        // the search is complete.
        const std::int32_t batches = std::max(1, (4 * n + TwoMoveDraws - 1) / TwoMoveDraws);
        for (std::int32_t drawn = 0;; ++drawn) {
            for (const auto& [c, key] : Scan.TwoMoves)
                if (Seen.count(key) == 0) pool.push_back(c);
            if (!pool.empty() || drawn == batches) break;
            Scan.TwoMoves.clear();
            TRandom draws(DrawSeed(best, ++Scan.TwoMoveBatch));
            for (TCandidate& c : DrawTwoMoves(best, Alterable, Records, draws, TwoMoveDraws)) {
                std::string key = SeenKey(c);
                Scan.TwoMoves.emplace_back(std::move(c), std::move(key));
            }
        }
    }
    if (pool.empty()) {
        State.Random = random.GetSeed();
        NeighbourhoodCovered = true;
        return false;
    }
    // Toggles expected to gain timed together where they may be, else the one choice.
    TCandidate leap;
    const bool noisy = Noise > 0;
    const bool leaps = Noise >= 0 &&
                       Guide->Leap(best, pool, noisy ? LeapWidths * Noise : LeapExact,
                                   noisy ? LeapMost : LeapMostExact, leap) &&
                       !IsSeen(leap);
    const std::size_t pick = leaps ? 0 : Guide->Choose(best, pool, random);
    State.Random = random.GetSeed();
    ++State.Proposals;
    next = std::move(leaps ? leap : pool[pick]);
    Fresh(next);
    return true;
}

bool TPolicy::NextUntimedNeighbour(const TCandidate& best, TCandidate& next) {
    NeighbourhoodCovered = false;
    using TClock = std::chrono::steady_clock;
    const TClock::time_point start = TClock::now();
    int sinceLook = 0;
    auto timeUp = [&]() {
        if (++sinceLook % 16 != 0) return false;
        Pending = std::chrono::duration<double>(TClock::now() - start).count() > SliceSeconds;
        return Pending;
    };
    if (Strategy != TStrategy::Pair && Strategy != TStrategy::Shuffle) {
        while (Scan.Toggle < Alterable.size()) {
            const std::int32_t r = Alterable[Scan.Toggle++];
            next = best;
            if (!ToggleRecord(next, r, Records[static_cast<std::size_t>(r - 1)])) continue;
            ++Scan.Looked;
            if (Fresh(next)) return true;
            if (timeUp()) return false;
        }
    }
    const std::size_t n = best.Order.size();
    if (Strategy != TStrategy::Alter) {
        while (Scan.A + 1 < n) {
            if (Scan.B >= n) {
                ++Scan.A;
                Scan.B = Scan.A + 1;
                continue;
            }
            if (Scan.Looked >= MaxNeighbours) return false;
            const std::size_t a = Scan.A, b = Scan.B++;
            next = best;
            std::swap(next.Order[a], next.Order[b]);
            next.Move = {TMoveKind::Order, next.Order[b], next.Order[a]};
            next.Change = ExchangeText(next.Order[b], next.Order[a]);
            ++Scan.Looked;
            if (Fresh(next)) return true;
            if (timeUp()) return false;
        }
    }
    NeighbourhoodCovered = true;
    return false;
}

} // namespace pelvarn::search
