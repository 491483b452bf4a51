// When a candidate counts as better than the best, under timings that vary from run to run.
//
// The noise is measured from jobs that must time alike: condensations timed more than once
// (a challenger timed again, the best timed again, --verify). It is the pooled spread of the
// logarithms of their times, so a noise of 0.03 is about 3 % of a job's time. Each
// condensation's evidence is the mean of its timings' logarithms. A timing far slower than
// the fastest of its condensation counts in neither: a job is slowed by what else the machine
// does, never sped up, and a run slowed now and then must not make every small gain look like
// chance, nor a good condensation look poor. A challenger's first timing
// is the one that made it stand out, and so is lucky more often than not; the margin of a
// few standard errors that a near tie must clear, once timed again, outweighs that luck. The
// best's timings are lucky the same way, for they won: where an estimate pooled from many
// jobs is at hand, a challenger is measured against its estimate of the best instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pelvarn::search {

enum class TVerdict {
    Better,       // better beyond the noise, or at the bound of timings with the better mean
    Worse,        // not better
    TimeAgain,    // a near tie (ahead or behind): time the challenger again
    TimeBestAgain // a near tie with the challenger timed more often: time the best again
};

// What an estimate pooled from many jobs says of a challenger against the best: the gain in
// logarithms of the time (0.02: about 2 % faster) and how far the estimate may miss (the same
// units). Without one (Miss 0) the timings alone decide.
struct TGainEstimate {
    double Gain = 0;
    double Miss = 0;
    // The best's time as the estimate has it (the logarithm of its seconds) and how far that
    // may miss; without it (BestMiss 0) the best's own timings serve. Under noise those
    // flatter it: they are the timings that made it win.
    double Best = 0;
    double BestMiss = 0;
};

class TAcceptance {
  public:
    // One timing of a condensation; key: equal for condensations that make the same eliminations.
    void Add(const std::string& key, double seconds);
    // The noise as a share of a job's time. Until two repeats have measured it, never less
    // than PriorNoise: a search that has not yet seen its timings vary does not trust small
    // gains. A repeat that timed exactly alike shows a timer that does not vary at all.
    double Noise() const;
    bool NoiseMeasured() const {
        return SpreadDegrees >= 2 || (SpreadDegrees == 1 && SquaredSpread == 0);
    }
    std::int64_t NoiseDegrees() const { return Degrees; }
    std::int32_t Timings(const std::string& key) const;
    // The condensation's time as its evidence says (seconds); 0 when it was never timed.
    double Seconds(const std::string& key) const;
    // The challenger against the best; where an estimate is given, it counts as one more
    // measure of the gain, weighed by how far it misses against how much the timings vary.
    TVerdict Judge(const std::string& challenger, const std::string& best,
                   TGainEstimate estimate = {}) const;
    // How far a condensation's evidence lies behind the best's, in standard errors (below 0:
    // ahead); a large number when either was never timed or there is no noise.
    double Behind(const std::string& key, const std::string& best) const;
    // A challenger's first timing against the best's time (the logarithm of its share), which
    // is learned: true when, under noise, it lost far more than first timings lately have (more
    // than SuspectWidths of their spread, once MinFirstTimings have shown it). A run slowed by a
    // busy machine does; timed again, a good condensation is not written off on one slowed run.
    bool Suspect(double change);

    // A challenger is better beyond the noise when it gains more than Widths standard errors.
    static constexpr double Widths = 2.0;
    // A challenger behind the best by less than Within standard errors is a near tie too.
    static constexpr double Within = 1.0;
    static constexpr double PriorNoise = 0.02;
    // At most this many timings of a challenger; then the better mean decides.
    static constexpr std::int32_t MaxTimings = 3;
    // A timing slower than its condensation's fastest by more than this many noise widths was
    // slowed by something else: it is left out of the noise and the condensation's evidence.
    static constexpr double SlowedWidths = 4.0;
    static constexpr double SuspectWidths = 4.0;
    // An estimate that disagrees with the timings by more than this many of their combined
    // errors is wrong about the condensation (a feature it learned from few jobs, one of them
    // slowed): the timings decide alone.
    static constexpr double AgreeWidths = 4.0;
    static constexpr std::size_t MinFirstTimings = 4;

  private:
    struct TGroup {
        std::vector<double> Logs;
    };
    // The mean of a group's timings (logarithms), how many it takes in, without the slowed, and
    // the sum of their squares about the mean.
    struct TLevel {
        double Mean = 0;
        std::int32_t Count = 0;
        double Squares = 0;
    };
    TLevel Level(const TGroup& g) const;
    std::map<std::string, TGroup> Groups;
    // The condensations timed more than once, and every difference of two of their timings.
    std::vector<std::string> Repeated;
    std::vector<double> Differences;
    // How far above its condensation's fastest a timing counts as slowed (a logarithm).
    double Slowed = 1e300;
    double SquaredSpread = 0; // summed over groups, of each group's logs about their mean
    std::int64_t SpreadDegrees = 0;
    std::int64_t Degrees = 0; // repeats, slowed or not
    // The sizes of the last FirstTimingsKept first timings' changes against the best.
    static constexpr std::size_t FirstTimingsKept = 50;
    std::vector<double> FirstChanges;
    std::size_t FirstTimings = 0;
};

} // namespace pelvarn::search
