// Estimates of a candidate's time before it is run, learned from the jobs timed so far.
//
// A condensation's features are worked out from the model's structure by carrying out its
// eliminations on the equations' variable sets: the rows and entries of the system that
// remains, how much each elimination rewrites and fills in, and what backsolving costs.
// Each equation weighs as many rows as it has elements, where the model file tells the sizes
// of every equation's sets; where it does not, every equation counts as one row, so the
// features need nothing that a model file may leave undeclared. Each record adds one feature
// of its own, 1 when it is condensed, so that what a toggle did to the time on one best is
// remembered on the next. A small ridge regression
// maps the features to seconds; it is refitted as each job ends and shrinks towards the
// mean time while few jobs are known, so that its estimates stay within what was seen. A
// second fit weighs the latest jobs most, for the choice of the next move near the best.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "search/structure.h"

namespace pelvarn::search {

enum class TFeature {
    Rows,          // equations left in the condensed system
    Entries,       // variables held by those equations, summed
    RowSquares,    // the same, squared per equation: grows with the work of a factorisation
    Work,          // per elimination, its equation's length times the equations it rewrites
    FillIn,        // entries that eliminations added
    BacksolveWork, // the length of each backsolved equation when it was used
    Eliminations,
    Count // then one per record
};
inline constexpr std::size_t FeatureCount = static_cast<std::size_t>(TFeature::Count);
using TFeatures = std::vector<double>;

// Ridge regression of times on features, from running sums so that a refit costs the same
// however many jobs there were; it is refitted when next asked after a job was added.
// Features are standardised; the intercept is not shrunk. Every job has as many features as
// the first one added. With a half-life, each job weighs half as much once that many more
// jobs were added.
class TTimeFit {
  public:
    explicit TTimeFit(double ridge = 10.0, double halfLife = 0)
        : Ridge(ridge), Decay(halfLife > 0 ? std::exp2(-1 / halfLife) : 1.0) {}
    void Add(const TFeatures& features, double seconds);
    // The estimate of a candidate's time; the mean time seen while there is no fit, 0 when
    // nothing was added.
    double Estimate(const TFeatures& features) const;
    std::int64_t Samples() const { return N; }
    // Weights per feature in seconds per unit, and the intercept, of the current fit.
    const TFeatures& Weights() const;
    double Intercept() const;

  private:
    void Refit() const;
    double Ridge;
    double Decay; // what a job's weight is multiplied by as the next is added
    std::int64_t N = 0;
    double Mass = 0; // the jobs' weights, summed
    std::size_t P = 0;
    TFeatures SumX, SumXY;
    std::vector<double> SumXX; // P x P
    double SumY = 0;
    mutable bool Stale = false;
    mutable TFeatures W;
    mutable double B = 0;
};

// The features of a model's condensations and their fit.
class TEstimator {
  public:
    explicit TEstimator(const TModelStructure& structure);
    // The features of a condensation (stat[i - 1]: sub, backsub or notsub of record i; order:
    // the records as written). False when they cannot be worked out: a record meets an
    // equation that no longer holds its variable, or the records are not the structure's.
    bool Features(const std::vector<std::int32_t>& stat, const std::vector<std::int32_t>& order,
                  TFeatures& features) const;
    // The condensation that others are worked out from, where they differ from it: the best,
    // whose neighbours differ from it in a place or two.
    void SetBase(const std::vector<std::int32_t>& stat, const std::vector<std::int32_t>& order);
    // A job's time, for the fit, with its condensation's features.
    void Learn(const TFeatures& features, double seconds);
    // The fit that a choice among the best's neighbours goes by. The time is seldom linear in
    // the features over the whole way from the initial condensation, so the slopes near the
    // best are what the jobs lately timed around it say: their weight halves every
    // LocalHalfLife jobs.
    const TTimeFit& ChoiceFit() const { return LocalFit; }
    static constexpr double LocalHalfLife = 4;
    // The estimate from the structural features alone (no record's own), which holds on a
    // best whose records' surroundings have changed since they were timed.
    double StructuralEstimate(const TFeatures& features) const;
    // True when eliminating with record a can change what eliminating with record b does: one
    // record's equation holds the other's variable.
    bool Interact(std::int32_t a, std::int32_t b) const;
    // The estimate of a condensation's time, from every job alike (it is pooled with timings,
    // so it stands on as many as it can); 0 when there is none.
    double Estimate(const std::vector<std::int32_t>& stat,
                    const std::vector<std::int32_t>& order) const;
    // How far Estimate's fit has missed the jobs' times before they were learned, as a share
    // of the time (root mean square of the logarithms' differences, over about the last
    // fifty jobs); 0 until enough jobs have been estimated so.
    double Miss() const { return MissCount >= MinMisses ? std::sqrt(MissSquared) : 0; }
    static constexpr std::int32_t MinMisses = 20;
    static constexpr double SlowedMisses = 4.0;

  private:
    // Carries out one record's elimination on the system (per equation, its variables as
    // bits; used: eliminated with), adding what it costs; false when it cannot be made.
    bool Eliminate(std::vector<std::uint64_t>& holds, std::vector<char>& used, std::int32_t r,
                   std::int32_t s, TFeatures& f) const;
    // Adds the system that remains.
    void Remaining(const std::vector<std::uint64_t>& holds, const std::vector<char>& used,
                   TFeatures& f) const;
    std::size_t Words = 0, Equations = 0;
    std::vector<std::uint64_t> Holds;                       // per equation, its variables as bits
    std::vector<double> Rows;                               // per equation, the rows it weighs
    std::vector<std::pair<std::size_t, std::size_t>> Items; // per record: variable, equation
    TTimeFit WholeFit;
    TTimeFit LocalFit{10.0, LocalHalfLife};
    TTimeFit StructuralFit;
    // The base: its system and the features summed so far before every Every-th place of its
    // order, and its features.
    static constexpr std::size_t Every = 16;
    struct TBase {
        bool Ready = false;
        std::vector<std::int32_t> Stat, Order;
        std::vector<std::uint64_t> Holds;
        std::vector<char> Used;
        TFeatures Sums, Total;
    };
    TBase Base;
    double MissSquared = 0;
    std::int32_t MissCount = 0;
};

} // namespace pelvarn::search
