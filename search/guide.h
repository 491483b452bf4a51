// The estimate-driven choice among a best's neighbours, with a readable model file: the fit
// of the jobs' times (TEstimator) and what each move did on an earlier best, so that the
// neighbour with the most gain to expect is timed first, and now and then one drawn at
// random, so that a wrong estimate is found out. What is expected of a move weighs how far
// estimates of its kind have missed: a toggle whose outcome is hard to foresee can be worth
// more than an exchange sure to change next to nothing.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/prng.h"
#include "search/candidate.h"
#include "search/estimator.h"

namespace pelvarn::search {

// The gain to expect of a candidate whose change is estimated as mean (a share of the best's
// time; below 0 is faster) where such estimates miss by spread (normally distributed): what it
// gains when it gains, weighed by how likely that is; never below 0.
double ExpectedGain(double mean, double spread);

class TGuide {
  public:
    explicit TGuide(const TModelStructure& structure) : Estimator(structure) {}
    // A job's time, for the fit, and what its move did against the best it was made from
    // (-0.02: 2 % faster); a candidate timed again tells nothing of its move (a NaN change).
    // Stale: another best has taken over since, with workers in parallel.
    void Observe(const TCandidate& candidate, const TCandidate& madeFrom, double seconds,
                 double change, bool stale = false);
    // True once the fit has a job to go by.
    bool Ready() const { return Estimator.ChoiceFit().Samples() > 0; }
    // The fit's estimate of a candidate's time (0: none), and how far its estimates miss.
    double Estimate(const TCandidate& c) const { return Estimator.Estimate(c.Stat, c.Order); }
    double Miss() const { return Estimator.Miss(); }
    // The index into pool (not empty) of the candidate to time next.
    std::size_t Choose(const TCandidate& best, const std::vector<TCandidate>& pool,
                       TRandom& random);
    // A leap: the toggles of pool expected to gain, the most first, made together on the best
    // as long as their records do not interact, until they are expected to gain enough (a
    // share of the time) or there are most of them. False when fewer than two would be made,
    // or once MinLeaps changes of several records together have done less on average than
    // single toggles. Under noise a toggle that gains less than a timing varies is hard to
    // tell from one that gains nothing; several such gains together stand out at once.
    bool Leap(const TCandidate& best, const std::vector<TCandidate>& pool, double enough,
              std::int32_t most, TCandidate& leap);

    static constexpr std::int32_t MinLeaps = 3;

    // One choice in Explore is drawn at random from the pool rather than by estimate.
    static constexpr std::int32_t Explore = 5;
    // What a move did is remembered until the best has gained this share since: then the
    // system it acts on has changed, and the fit's estimate serves again. Until then it is
    // what the move is expected to do, as sure as remembered changes have proved while no
    // change of the best has touched the move's records' equations, and as sure as the
    // fit's estimates of its kind after one has.
    static constexpr double Forget = 0.05;
    // The spread of a kind of move is its own once this many were timed; until then the
    // widest measured, or PriorMiss (a variance: a spread of 10 %) before any.
    static constexpr std::int32_t MinKindSeen = 5;
    static constexpr double PriorMiss = 0.01;

  private:
    TEstimator Estimator;
    // The last change that each move made on a best, by its key: a move is seldom worth more
    // on the next best than on the last, whatever the fit says.
    struct TRemembered {
        TMoveSpec Move;
        double Change = 0;
        double BestThen = 0; // the best's time when it was made
        // A change of the best has since touched its records' equations: what it did then
        // is still the best guess of what it does now, but no surer than the fit's estimates.
        bool Touched = false;
    };
    std::unordered_map<std::string, TRemembered> MoveChanges;
    // The fit's estimate of a candidate made from the best. Its features are kept, by its move,
    // while the best stays (up to MaxKept of them): every choice looks at the same neighbours
    // again until they are timed.
    double NeighbourEstimate(const TCandidate& best, const TCandidate& c, bool structural);
    struct TNeighbours {
        std::vector<std::int32_t> Stat, Order; // the best
        std::unordered_map<std::string, TFeatures> Features;
    };
    TNeighbours Neighbours;
    static constexpr std::size_t MaxKept = 8192;
    // The fit's estimates of the best (the structural fit's too), before a choice from it.
    struct TBase {
        double Fit = 0, Structural = 0;
    };
    bool Base(const TCandidate& best, TBase& base);
    // What is expected of a move from the best: its change, and the kind of estimate whose
    // spread it is as sure as; for a touched move, also the change as usual and as the
    // structural fit has it.
    struct TExpectation {
        bool Estimated = false;
        double Change = 0;
        int Kind = 0;
        bool Touched = false;
        double Usual = 0, Structural = 0;
        bool Unsure = false; // a toggle of an unsure record
    };
    TExpectation Expect(const TCandidate& best, const TCandidate& c, const TBase& base);
    // Records that a timed job toggled on its own, and those that a job changed together
    // with others. The fit cannot tell apart what records changed only together did: it
    // shares their gain out among them, so that one that lost but rode on the others' gain
    // looks as if it gained. Such a record is unsure: its toggle is expected as the
    // structural fit has it, as unsure as PriorMiss, until it is timed on its own.
    std::vector<char> ToggledAlone, ChangedTogether;
    bool Unsure(std::int32_t record) const;
    // What single toggles and changes of several records together did to the time, on average.
    struct TChanges {
        double Mean = 0;
        std::int32_t Seen = 0;
    };
    TChanges Alone, Together;
    // Marks what moves did that a change of the best has since touched.
    void MarkTouched(const TCandidate& best);
    std::vector<std::int32_t> RememberedOn; // the statuses of the best last chosen from
    double LastBest = 0;                    // the best's time when the last job ended
    // How far the fit's estimates of each kind of move (toggle, exchange, other) have missed
    // the job's time, and the changes remembered (Remembered) the change a move made, as the
    // mean square of the logarithms' differences, and how many so far. The fit's misses take
    // in how far it misses the best as well: while it knows little, every move is unsure.
    static constexpr int Remembered = 3;
    double KindMiss[Remembered + 1] = {};
    std::int32_t KindSeen[Remembered + 1] = {};
    // How far what was expected of moves whose records a change of the best has touched
    // has missed: as above (0), and as the structural fit alone expects it (1); and how many
    // so far.
    double TouchedMiss[2] = {};
    std::int32_t TouchedSeen = 0;
};

} // namespace pelvarn::search
