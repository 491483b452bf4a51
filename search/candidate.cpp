#include "search/candidate.h"

#include <algorithm>

namespace pelvarn::search {

namespace {

// The window's toggle on a bare status.
bool Toggle(std::int32_t& stat, const TRecordFlags& flags) {
    if (flags.MustSub) return false;
    const std::int32_t included = flags.MustSee ? backsub : sub;
    if (stat == included)
        stat = notsub;
    else if (stat == notsub)
        stat = included;
    return true;
}

} // namespace

std::string ToggleText(const TCandidate& c, std::int32_t record) {
    const std::int32_t s = c.Stat[static_cast<std::size_t>(record - 1)];
    return "Toggle record " + std::to_string(record) + " to " +
           (s >= 0 && s <= 2 ? SubStatName[static_cast<std::size_t>(s)] : std::to_string(s));
}

bool ToggleRecord(TCandidate& c, std::int32_t r, const TRecordFlags& flags) {
    std::int32_t& stat = c.Stat[static_cast<std::size_t>(r - 1)];
    if (!Toggle(stat, flags)) return false;
    c.Change = ToggleText(c, r);
    c.Move = {TMoveKind::Toggle, r, stat};
    return true;
}

std::string ExchangeText(std::int32_t a, std::int32_t b) {
    return "Exchange records " + std::to_string(a) + " and " + std::to_string(b);
}

std::string MoveKey(const TMoveSpec& m) {
    if (m.Kind == TMoveKind::Toggle) return "t" + std::to_string(m.A) + "/" + std::to_string(m.B);
    return "x" + std::to_string(std::min(m.A, m.B)) + "/" + std::to_string(std::max(m.A, m.B));
}

std::string CondensationKey(const TCandidate& candidate) {
    std::string key;
    for (std::int32_t r : candidate.Order) {
        if (r < 1 || r > candidate.Count()) continue;
        const std::int32_t s = candidate.Stat[static_cast<std::size_t>(r - 1)];
        if (s == notsub) continue;
        key += std::to_string(r);
        key += s == backsub ? 'b' : 's';
    }
    return key;
}

std::string StatText(const TCandidate& candidate) {
    std::string text;
    for (std::int32_t s : candidate.Stat)
        text += s == sub ? 's' : s == backsub ? 'b' : 'n';
    return text;
}

bool ParseStatText(const std::string& text, std::vector<std::int32_t>& stat) {
    stat.clear();
    for (char c : text) {
        if (c == 's')
            stat.push_back(sub);
        else if (c == 'b')
            stat.push_back(backsub);
        else if (c == 'n')
            stat.push_back(notsub);
        else
            return false;
    }
    return true;
}

bool IsPermutation(const std::vector<std::int32_t>& order, std::int32_t n) {
    if (static_cast<std::int32_t>(order.size()) != n) return false;
    std::vector<bool> used(static_cast<std::size_t>(n) + 1, false);
    for (std::int32_t r : order) {
        if (r < 1 || r > n || used[static_cast<std::size_t>(r)]) return false;
        used[static_cast<std::size_t>(r)] = true;
    }
    return true;
}

TCandidate CandidateOf(const TSubInfo& records, std::int32_t n) {
    if (n > MaxSubs) n = MaxSubs;
    TCandidate c;
    for (std::int32_t i = 1; i <= n; ++i) {
        c.Stat.push_back(records[static_cast<std::size_t>(i)].SubStat);
        c.Order.push_back(i);
    }
    c.Change = "original initial.sti";
    return c;
}

void ApplyCandidate(const TCandidate& candidate, TSubInfo& records, TSubOrder& order) {
    ResetOrder(order);
    const std::int32_t n = candidate.Count() > MaxSubs ? MaxSubs : candidate.Count();
    for (std::int32_t i = 1; i <= n; ++i) {
        records[static_cast<std::size_t>(i)].SubStat =
            candidate.Stat[static_cast<std::size_t>(i - 1)];
        order[static_cast<std::size_t>(i)] = candidate.Order[static_cast<std::size_t>(i - 1)];
    }
}

bool ExchangeDrawn(TCandidate& c, TRandom& draw) {
    const std::int32_t a = draw.Below(c.Count()), b = draw.Below(c.Count());
    if (a == b) return false;
    std::swap(c.Order[static_cast<std::size_t>(a)], c.Order[static_cast<std::size_t>(b)]);
    c.Move = {TMoveKind::Order, c.Order[static_cast<std::size_t>(a)],
              c.Order[static_cast<std::size_t>(b)]};
    c.Change = ExchangeText(c.Move.A, c.Move.B);
    return true;
}

bool ToggleDrawn(TCandidate& c, const std::vector<std::int32_t>& alterable,
                 const std::vector<TRecordFlags>& records, TRandom& draw) {
    const std::int32_t r = alterable[static_cast<std::size_t>(
        draw.Below(static_cast<std::int32_t>(alterable.size())))];
    return ToggleRecord(c, r, records[static_cast<std::size_t>(r - 1)]);
}

std::vector<TCandidate> DrawTwoMoves(const TCandidate& best,
                                     const std::vector<std::int32_t>& alterable,
                                     const std::vector<TRecordFlags>& records, TRandom& draw,
                                     std::int32_t count) {
    const auto move = [&](TCandidate& c) {
        return alterable.empty() || draw.Below(3) == 0 ? ExchangeDrawn(c, draw)
                                                       : ToggleDrawn(c, alterable, records, draw);
    };
    std::vector<TCandidate> drawn;
    for (std::int32_t k = 0; k < count; ++k) {
        TCandidate c = best;
        const bool first = move(c);
        const std::string change = c.Change;
        const bool second = move(c);
        c.Change = change + "; " + c.Change;
        c.Move = {};
        if (first && second) drawn.push_back(std::move(c));
    }
    return drawn;
}

bool MakeMove(const TMoveSpec& move, TCandidate& c) {
    if (move.A < 1 || move.A > c.Count()) return false;
    if (move.Kind == TMoveKind::Toggle) {
        std::int32_t& stat = c.Stat[static_cast<std::size_t>(move.A - 1)];
        if (stat == move.B) return false;
        stat = move.B;
        return true;
    }
    if (move.Kind != TMoveKind::Order) return false;
    const auto [a, b] = PlacesOf(c.Order, move.A, move.B);
    if (a == c.Order.end() || a == b) return false;
    std::iter_swap(a, b);
    return true;
}

bool MakeMoveAgain(const TMoveSpec& move, TCandidate& c, const std::vector<TRecordFlags>& records) {
    const bool toggle = move.Kind == TMoveKind::Toggle;
    if (toggle && move.A >= 1 && move.A <= c.Count() &&
        records[static_cast<std::size_t>(move.A - 1)].MustSub)
        return false;
    if (!MakeMove(move, c)) return false;
    c.Change = (toggle ? ToggleText(c, move.A) : ExchangeText(move.A, move.B)) + MadeAgainText;
    c.Move = move;
    c.Move.Replayed = true;
    return true;
}

bool MakeNextAgain(std::vector<TMoveSpec>& replays, TCandidate& c,
                   const std::vector<TRecordFlags>& records) {
    if (replays.empty()) return false;
    auto last = replays.begin();
    while (last->Joined && last + 1 != replays.end())
        ++last;
    const std::vector<TMoveSpec> moves(replays.begin(), last + 1);
    replays.erase(replays.begin(), last + 1);
    if (moves.size() == 1) return MakeMoveAgain(moves[0], c, records);
    std::string change;
    for (const TMoveSpec& m : moves) {
        TCandidate made = c;
        if (!MakeMoveAgain(m, made, records)) continue;
        change += (change.empty() ? "" : "; ") + ToggleText(made, m.A);
        c.Stat = std::move(made.Stat);
        c.Order = std::move(made.Order);
    }
    if (change.empty()) return false;
    c.Change = change + MadeAgainText;
    c.Move = {};
    return true;
}

std::vector<std::int32_t> RecordsChanged(const TCandidate& from, const TCandidate& to) {
    std::vector<std::int32_t> changed;
    for (std::size_t r = 0; r < from.Stat.size() && r < to.Stat.size(); ++r)
        if (from.Stat[r] != to.Stat[r]) changed.push_back(static_cast<std::int32_t>(r + 1));
    return changed;
}

std::vector<TMoveSpec> JoinedToggles(const TCandidate& c,
                                     const std::vector<std::int32_t>& records) {
    std::vector<TMoveSpec> moves;
    for (std::int32_t r : records)
        moves.push_back({TMoveKind::Toggle, r, c.Stat[static_cast<std::size_t>(r - 1)], true,
                         r != records.back()});
    return moves;
}

} // namespace pelvarn::search
