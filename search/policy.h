// The overnight search's policy: it proposes the next candidate condensation from the best
// one so far, with the moves of the main window, and never proposes a condensation that has
// been timed (or is being timed) already.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/prng.h"
#include "search/candidate.h"
#include "search/guide.h"
#include "search/structure.h"
#include "sti/subrecord.h"

namespace pelvarn::search {

enum class TStrategy { AlterPair, AlterShuffle, Alter, Pair, Shuffle, Sweep };

// The names of --strategy: "alter-pair", "alter-shuffle", "alter", "pair", "shuffle", "sweep".
bool ParseStrategy(const std::string& name, TStrategy& strategy);
std::string StrategyName(TStrategy strategy);

// Everything the policy needs to continue its stream after a resume.
struct TPolicyState {
    std::uint32_t Random = 0;
    std::int64_t Proposals = 0;
    std::int32_t AlterPos = 0;
    std::vector<std::int32_t> SweepLeft; // records still to toggle in this sweep, next last
    bool SweepStarted = false;
    bool SweepGained = false;
    bool SweepsDone = false; // a sweep gained nothing: mostly pair exchanges from now on
    // How often lately a toggle and an order move improved the best, and the toggles owed.
    double ToggleGains = 0.5;
    double OrderGains = 0.5;
    double ToggleCredit = 0;
    // Moves that improved on a best that has since moved on, to be made on the new best.
    std::vector<TMoveSpec> Replays;
    // Condensed records that the last exchange to move them (as one of its two records, or
    // by moving those past them) left the time exactly as it was (ascending): an exchange
    // that moves only such records, and left-alone ones, most likely changes nothing either.
    std::vector<std::int32_t> OrderFree;
    // Rounds of the toggle walk for which each record is passed over (empty: none): a
    // toggle that made its best clearly slower is seldom worth trying again soon.
    std::vector<std::int32_t> ToggleRests;

    bool operator==(const TPolicyState&) const = default;
};

// How a job ended, as the policy learns from it.
struct TLesson {
    bool Timed = false;    // it ended with a time: not failed, capped or ended
    double Change = 0;     // its time against the best it was made from: -0.02 is 2 % faster
    bool Stale = false;    // the best had moved on while it ran
    bool Accepted = false; // it is the new best (a sweep that gains goes round again)
    std::vector<std::int32_t> Changed; // the records whose status it changed from its best

    bool Better() const { return Timed && Change < 0; }
    bool Unchanged() const { return Timed && Change == 0; }
};

class TPolicy {
  public:
    TPolicy(TStrategy strategy, std::vector<TRecordFlags> records, std::uint32_t seed,
            bool noRepeats);

    // True when the strategy can make any change at all (toggle-only with nothing alterable
    // cannot, nor can the order moves with fewer than two records).
    bool CanChange() const;
    // The next candidate made from best, already counted as seen. False when every draw up to
    // the bound was a condensation already timed, and so was every candidate one move from
    // the best when they were then looked at in turn (see NeighbourhoodCovered); also false,
    // with Pending set, when the look at the neighbours took its slice of time: called again
    // with the same best, it goes on where it left off.
    bool Next(const TCandidate& best, TCandidate& next);
    // With the model's structure, condensations that make the same eliminations count as one
    // (an exchange of eliminations that do not touch each other is no change); without it,
    // those with the same key. Set before any candidate is counted.
    // With it, the default strategy also tries the best's neighbours in the order of their
    // estimated times (see TEstimator).
    void SetStructure(std::shared_ptr<const TModelStructure> structure) {
        Structure = std::move(structure);
        if (Structure) Guide = std::make_unique<TGuide>(*Structure);
        Trace = {};
    }
    // A job's time, for the estimates (every timed job, in the order they ended), and what
    // its move did against the best it was made from (-0.02: 2 % faster); a candidate timed
    // again tells nothing of its move (a NaN change). Stale: that best has since given way.
    void Observe(const TCandidate& candidate, const TCandidate& madeFrom, double seconds,
                 double change, bool stale = false) {
        if (Guide) Guide->Observe(candidate, madeFrom, seconds, change, stale);
    }
    // The fit's estimate of a candidate's time (0: none), and how far its estimates miss.
    double Estimate(const TCandidate& c) const { return Guide ? Guide->Estimate(c) : 0; }
    double EstimateMiss() const { return Guide ? Guide->Miss() : 0; }
    // When every neighbour of the best has been timed, go on with two moves at a time (the
    // user gave a limit) rather than call the search complete.
    bool BeyondOptimum = false;
    // How much a job's time varies when it is run again (a share of it; 0: not at all; below
    // 0: not yet known). Toggles expected to gain are timed together (see TGuide::Leap). Under
    // noise, until they are expected to gain LeapWidths times the noise, LeapMost at most: four
    // times what the acceptance takes on a first timing, for the toggles picked because their
    // estimates gain most are the ones whose estimates are most optimistic, and a leap that
    // gains less than the acceptance takes at once is timed again, up to three times in
    // all. Where times do not vary every gain counts at once, and a leap only saves jobs: up
    // to LeapMostExact toggles expected to gain LeapExact, so that one that lost, tried back
    // alone later, costs little.
    double Noise = -1;
    // The records that the jobs still running change from the bests they were made from (with
    // workers in parallel). Their toggles are not chosen again until those jobs end: timed
    // on a newer best, or in a second leap, each would bet on the same change twice. One that
    // gains on a best that has given way is made again on the new best when it ends.
    std::vector<std::int32_t> InFlight;
    static constexpr double LeapWidths = 8.0;
    static constexpr std::int32_t LeapMost = 6;
    static constexpr double LeapExact = 0.06;
    static constexpr std::int32_t LeapMostExact = 3;
    // A key equal for candidates that count as the same job.
    std::string Key(const TCandidate& candidate) const { return SeenKey(candidate); }
    // Counts a candidate as timed (the initial one, and those of a journal being resumed).
    void MarkSeen(const TCandidate& candidate);
    bool IsSeen(const TCandidate& candidate) const;
    // The same for a candidate one move from the best that Next was last given; its key is
    // kept while the best stays, as its neighbours are looked at again at every choice.
    bool IsSeenNeighbour(const TCandidate& candidate);
    // Tells the policy how a job of one of its candidates ended (its kind of move is tried
    // more often when it beat its best). A better but stale candidate's gain is not lost: its
    // move (a leap's toggles) is made again on the new best, or, when it is the new best
    // itself, the move of the best it displaced (previousBest) is made again on it.
    void Learn(const TCandidate& candidate, const TLesson& lesson, const TCandidate& previousBest);

    TPolicyState State;
    std::int64_t Redraws = 0; // draws that were repeats and so drawn again
    static constexpr int MaxDraws = 200;
    // Draws in which an exchange of order-free records is drawn again; after them it is
    // timed, so that the search never runs dry on what it only guessed.
    static constexpr int OrderFreeDraws = 20;
    // After the draws, the candidates one move from the best looked at in turn, at most.
    static constexpr std::int64_t MaxNeighbours = 20000;
    // Exchanges drawn at most for each choice by estimate: each draw's key is worked out, and
    // on a large model the toggles are most of what is worth a look.
    static constexpr std::int32_t MaxExchangeDraws = 64;
    // Candidates two moves away drawn at a time, beyond the best's neighbours.
    static constexpr std::int32_t TwoMoveDraws = 96;
    // False when Next last gave up at that bound rather than after looking at every
    // candidate one move from the best.
    bool NeighbourhoodCovered = true;
    // True when Next last found every candidate one move from the best timed, and so went
    // two moves away: a near miss among them is then worth timing again.
    bool AtOptimum = false;
    // Next gave up its turn with neighbours still to look at (see Next).
    bool Pending = false;
    // The longest Next looks at neighbours in one call, so that its caller can watch the
    // running jobs (and end one at its cap) in between.
    double SliceSeconds = 0.005;

  private:
    enum class TMove { Toggle, Pair, Shuffle, SweepToggle, RandomToggle };
    TMove ChooseMove();
    bool Apply(TMove move, TCandidate& candidate);
    bool Fresh(const TCandidate& candidate);
    std::string SeenKey(const TCandidate& candidate) const;
    bool NextUntimedNeighbour(const TCandidate& best, TCandidate& next);
    bool NextByEstimate(const TCandidate& best, TCandidate& next);
    // The condensed records an exchange moved: its two and those between them.
    std::vector<std::int32_t> CondensedMoved(const TCandidate& candidate) const;
    bool MovesOnlyOrderFree(const TCandidate& candidate) const;
    void SetOrderFree(std::int32_t record, bool orderFree);
    void StartSweep();

    TStrategy Strategy;
    std::vector<TRecordFlags> Records;
    std::vector<std::int32_t> Alterable;
    bool NoRepeats;
    std::unordered_set<std::string> Seen;
    std::shared_ptr<const TModelStructure> Structure;
    std::unique_ptr<TGuide> Guide; // with the structure: the choice by estimate
    // The best's eliminations, from which its neighbours' keys are worked out.
    TEliminationTrace Trace;
    // How far the candidates one move from a best have been looked at: once draws from it
    // found nothing new, its neighbours are looked at in turn, each once.
    struct TScan {
        std::vector<std::int32_t> Stat, Order; // the best
        bool DrawsFailed = false;
        // The last batch of candidates two moves away drawn for it, with their keys.
        std::vector<std::pair<TCandidate, std::string>> TwoMoves{};
        std::uint32_t TwoMoveBatch = 0;
        std::size_t Toggle = 0;   // next index into Alterable
        std::size_t A = 0, B = 1; // next exchange of places A < B
        std::int64_t Looked = 0;
        // The keys of its neighbours looked at so far, by their move.
        std::unordered_map<std::string, std::string> Keys{};
    };
    TScan Scan;
    std::uint32_t Seed = 0;
    // The seed of the draws made for a best, its batches of candidates two moves away
    // numbered from 1: FNV-1a of its condensation, with the search's seed.
    std::uint32_t DrawSeed(const TCandidate& best, std::uint32_t batch) const;
};

} // namespace pelvarn::search
