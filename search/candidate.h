// A candidate condensation: the status of each record and the order they are written in,
// its text forms, and the two moves that make one candidate from another.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/prng.h"
#include "sti/subrecord.h"

namespace pelvarn::search {

// The kind of change that made a candidate from the best.
enum class TMoveKind { None, Toggle, Order };

// One change to a condensation, kept so that it can be made again on another one: record A
// set to status B, or records A and B exchanged in the order. A shuffle (an order move with
// no records) cannot be made again.
struct TMoveSpec {
    TMoveKind Kind = TMoveKind::None;
    std::int32_t A = 0;
    std::int32_t B = 0;
    bool Replayed = false; // made again already: not a third time
    // Made together with the move after it, in a list of moves to make again: a leap's
    // toggles are made again as one candidate.
    bool Joined = false;

    bool operator==(const TMoveSpec&) const = default;
};

// A condensation: the status of each record and the order in which the records are written.
struct TCandidate {
    std::vector<std::int32_t> Stat;  // Stat[i - 1]: sub, backsub or notsub of record i
    std::vector<std::int32_t> Order; // a permutation of 1..n
    std::string Change;              // how it was made from the best
    TMoveSpec Move;                  // that change, where it can be made again

    std::int32_t Count() const { return static_cast<std::int32_t>(Stat.size()); }
};

// What the suite is asked to do: the condensed records in the order written, each with its
// kind. Two candidates with the same key are the same job.
std::string CondensationKey(const TCandidate& candidate);
// A key equal for the same move made on the same best (an exchange of A and B is that of B
// and A).
std::string MoveKey(const TMoveSpec& move);

// The statuses as one letter per record ('s', 'b', 'n'); ParseStatText is false for a text
// of another length or with another letter.
std::string StatText(const TCandidate& candidate);
bool ParseStatText(const std::string& text, std::vector<std::int32_t>& stat);
// True when order is a permutation of 1..n.
bool IsPermutation(const std::vector<std::int32_t>& order, std::int32_t n);

// The candidate of records 1..n as read from a file, in the natural order.
TCandidate CandidateOf(const TSubInfo& records, std::int32_t n);
// Records and order of a candidate, for writing it: base gives the names and comments.
void ApplyCandidate(const TCandidate& candidate, TSubInfo& records, TSubOrder& order);

struct TRecordFlags {
    bool MustSee = false;
    bool MustSub = false;
};

// Toggles record r of c as the window does (sub or backsub to notsub and back), and says so in
// its change and move; false for a record that must be condensed.
bool ToggleRecord(TCandidate& c, std::int32_t r, const TRecordFlags& flags);
// The change text of an exchange of records a and b.
std::string ExchangeText(std::int32_t a, std::int32_t b);
// The change text of record's toggle in c, once made.
std::string ToggleText(const TCandidate& c, std::int32_t record);

// Exchanges two places of c's order drawn at random; false, with c as it was, when one place
// was drawn twice.
bool ExchangeDrawn(TCandidate& c, TRandom& draw);
// Toggles a record drawn at random from alterable (not empty); records: the flags of all.
bool ToggleDrawn(TCandidate& c, const std::vector<std::int32_t>& alterable,
                 const std::vector<TRecordFlags>& records, TRandom& draw);
// Up to count candidates two moves from best, each move an exchange one time in three (always
// when no record is alterable) and a toggle otherwise; a draw whose move changed nothing is
// left out.
std::vector<TCandidate> DrawTwoMoves(const TCandidate& best,
                                     const std::vector<std::int32_t>& alterable,
                                     const std::vector<TRecordFlags>& records, TRandom& draw,
                                     std::int32_t count);

// Makes move on c (statuses and order only); false, with c as it was, when it cannot be made
// there or would change nothing.
bool MakeMove(const TMoveSpec& move, TCandidate& c);
// What the change of a candidate made again on a newer best ends with.
inline constexpr const char* MadeAgainText = " (made again on the new best)";
// Makes move again on c (a best that came after the one it was made on), saying so in its
// change; false when it cannot be made there, would change nothing or toggles a record that
// must be condensed.
bool MakeMoveAgain(const TMoveSpec& move, TCandidate& c, const std::vector<TRecordFlags>& records);
// Takes the first of moves, or the first of them joined together (a leap's toggles only), and
// makes it again on c as one candidate whose change names each; false when none of them can
// be made there.
bool MakeNextAgain(std::vector<TMoveSpec>& moves, TCandidate& c,
                   const std::vector<TRecordFlags>& records);
// The records (numbered from 1) whose status differs between from and to.
std::vector<std::int32_t> RecordsChanged(const TCandidate& from, const TCandidate& to);
// The toggles that made c from a best, of the given records, joined together.
std::vector<TMoveSpec> JoinedToggles(const TCandidate& c, const std::vector<std::int32_t>& records);

// Where records a and b stand in an order, the earlier first; both end() when either is
// missing.
template <class TOrder> auto PlacesOf(TOrder& order, std::int32_t a, std::int32_t b) {
    auto pa = std::find(order.begin(), order.end(), a);
    auto pb = std::find(order.begin(), order.end(), b);
    if (pa == order.end() || pb == order.end()) return std::pair(order.end(), order.end());
    if (pb < pa) std::swap(pa, pb);
    return std::pair(pa, pb);
}

} // namespace pelvarn::search
