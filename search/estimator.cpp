#include "search/estimator.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include <Eigen/Dense>

#include "sti/subrecord.h"

namespace pelvarn::search {

namespace {

double Length(const std::uint64_t* bits, std::size_t words) {
    std::int64_t n = 0;
    for (std::size_t k = 0; k < words; ++k)
        n += std::popcount(bits[k]);
    return static_cast<double>(n);
}

double& At(TFeatures& f, TFeature which) {
    return f[static_cast<std::size_t>(which)];
}

} // namespace

TEstimator::TEstimator(const TModelStructure& structure) {
    const std::size_t vars = structure.Variables().size();
    Words = (vars + 63) / 64;
    Equations = structure.Equations().size();
    bool sized = true;
    for (const TStructureItem& eq : structure.Equations())
        sized = sized && structure.SizeOf(eq) > 0;
    Holds.assign(Equations * Words, 0);
    for (std::size_t e = 0; e < Equations; ++e) {
        for (std::size_t v : structure.VariablesOf(e))
            Holds[e * Words + v / 64] |= std::uint64_t{1} << (v % 64);
        Rows.push_back(sized ? structure.SizeOf(structure.Equations()[e]) : 1.0);
    }
    for (std::int32_t r = 1; r <= structure.RecordCount(); ++r)
        Items.push_back(structure.RecordItem(r));
}

bool TEstimator::Eliminate(std::vector<std::uint64_t>& holds, std::vector<char>& used,
                           std::int32_t r, std::int32_t s, TFeatures& f) const {
    const auto [v, e] = Items[static_cast<std::size_t>(r - 1)];
    const std::uint64_t bit = std::uint64_t{1} << (v % 64);
    const std::uint64_t* own = holds.data() + e * Words;
    if (used[e] || !(own[v / 64] & bit)) return false;
    const double length = Length(own, Words);
    for (std::size_t q = 0; q < Equations; ++q) {
        std::uint64_t* row = holds.data() + q * Words;
        if (used[q] || q == e || !(row[v / 64] & bit)) continue;
        const double before = Length(row, Words);
        for (std::size_t k = 0; k < Words; ++k)
            row[k] |= own[k];
        row[v / 64] &= ~bit;
        At(f, TFeature::Work) += Rows[q] * length;
        At(f, TFeature::FillIn) += Rows[q] * (Length(row, Words) - (before - 1));
    }
    if (s == backsub) At(f, TFeature::BacksolveWork) += Rows[e] * length;
    At(f, TFeature::Eliminations) += Rows[e];
    used[e] = 1;
    return true;
}

void TEstimator::Remaining(const std::vector<std::uint64_t>& holds, const std::vector<char>& used,
                           TFeatures& f) const {
    for (std::size_t q = 0; q < Equations; ++q) {
        if (used[q]) continue;
        const double length = Length(holds.data() + q * Words, Words);
        At(f, TFeature::Rows) += Rows[q];
        At(f, TFeature::Entries) += Rows[q] * length;
        At(f, TFeature::RowSquares) += Rows[q] * length * length;
    }
}

void TEstimator::SetBase(const std::vector<std::int32_t>& stat,
                         const std::vector<std::int32_t>& order) {
    if (Base.Ready && Base.Stat == stat && Base.Order == order) return;
    Base = {};
    Base.Stat = stat;
    Base.Order = order;
    if (stat.size() != Items.size()) return;
    std::vector<std::uint64_t> holds = Holds;
    std::vector<char> used(Equations, 0);
    TFeatures f(FeatureCount, 0);
    for (std::size_t p = 0; p < order.size(); ++p) {
        if (p % Every == 0) {
            Base.Holds.insert(Base.Holds.end(), holds.begin(), holds.end());
            Base.Used.insert(Base.Used.end(), used.begin(), used.end());
            Base.Sums.insert(Base.Sums.end(), f.begin(), f.end());
        }
        const std::int32_t r = order[p];
        if (r < 1 || static_cast<std::size_t>(r) > stat.size()) continue;
        const std::int32_t s = stat[static_cast<std::size_t>(r - 1)];
        if (s != notsub && !Eliminate(holds, used, r, s, f)) return;
    }
    Remaining(holds, used, f);
    Base.Total = f;
    Base.Ready = true;
}

bool TEstimator::Features(const std::vector<std::int32_t>& stat,
                          const std::vector<std::int32_t>& order, TFeatures& features) const {
    if (stat.size() != Items.size()) return false;
    features.assign(FeatureCount + Items.size(), 0);
    for (std::size_t r = 0; r < Items.size(); ++r)
        features[FeatureCount + r] = stat[r] == notsub ? 0 : 1;
    // From the base (the best), only from the first place where the eliminations differ, and
    // only until the system is the base's again: the rest is the base's. The features are
    // whole numbers, so the sums come out exactly as when worked out in full.
    const std::size_t n = stat.size();
    auto valid = [n](std::int32_t r) { return r >= 1 && static_cast<std::size_t>(r) <= n; };
    std::size_t first = 0, last = 0;
    bool fromBase = Base.Ready && order.size() == Base.Order.size();
    const bool any = fromBase && DifferingPlaces(stat, order, Base.Stat, Base.Order, first, last);
    if (fromBase && !any) {
        if (stat == Base.Stat) {
            std::copy(Base.Total.begin(), Base.Total.end(), features.begin());
            return true;
        }
        fromBase = false; // a record that is not in the order changed
    }
    std::size_t p = fromBase ? first / Every * Every : 0;
    const std::size_t width = Holds.size();
    std::vector<std::uint64_t> holds =
        fromBase ? std::vector<std::uint64_t>(
                       Base.Holds.begin() + static_cast<std::ptrdiff_t>(p / Every * width),
                       Base.Holds.begin() + static_cast<std::ptrdiff_t>((p / Every + 1) * width))
                 : Holds;
    std::vector<char> used =
        fromBase ? std::vector<char>(
                       Base.Used.begin() + static_cast<std::ptrdiff_t>(p / Every * Equations),
                       Base.Used.begin() + static_cast<std::ptrdiff_t>((p / Every + 1) * Equations))
                 : std::vector<char>(Equations, 0);
    TFeatures f(FeatureCount, 0);
    if (fromBase)
        std::copy_n(Base.Sums.begin() + static_cast<std::ptrdiff_t>(p / Every * FeatureCount),
                    FeatureCount, f.begin());
    for (; p < order.size(); ++p) {
        if (fromBase && p > last && p % Every == 0) {
            const std::size_t k = p / Every;
            if (std::equal(holds.begin(), holds.end(),
                           Base.Holds.begin() + static_cast<std::ptrdiff_t>(k * width)) &&
                std::equal(used.begin(), used.end(),
                           Base.Used.begin() + static_cast<std::ptrdiff_t>(k * Equations))) {
                for (std::size_t i = 0; i < FeatureCount; ++i)
                    features[i] = f[i] + (Base.Total[i] - Base.Sums[k * FeatureCount + i]);
                return true;
            }
        }
        const std::int32_t r = order[p];
        if (!valid(r)) continue;
        const std::int32_t s = stat[static_cast<std::size_t>(r - 1)];
        if (s != notsub && !Eliminate(holds, used, r, s, f)) return false;
    }
    Remaining(holds, used, f);
    std::copy(f.begin(), f.end(), features.begin());
    return true;
}

bool TEstimator::Interact(std::int32_t a, std::int32_t b) const {
    const auto n = static_cast<std::int32_t>(Items.size());
    if (a < 1 || b < 1 || a > n || b > n) return false;
    const auto [va, ea] = Items[static_cast<std::size_t>(a - 1)];
    const auto [vb, eb] = Items[static_cast<std::size_t>(b - 1)];
    auto holds = [&](std::size_t e, std::size_t v) {
        return (Holds[e * Words + v / 64] >> (v % 64) & 1) != 0;
    };
    return a == b || holds(ea, vb) || holds(eb, va);
}

void TTimeFit::Add(const TFeatures& x, double seconds) {
    if (!std::isfinite(seconds)) return;
    if (N == 0) {
        P = x.size();
        SumX.assign(P, 0);
        SumXY.assign(P, 0);
        SumXX.assign(P * P, 0);
    }
    if (x.size() != P) return;
    if (Decay < 1) {
        for (auto* sums : {&SumX, &SumXY, &SumXX})
            for (double& v : *sums)
                v *= Decay;
        SumY *= Decay;
        Mass *= Decay;
    }
    ++N;
    Mass += 1;
    SumY += seconds;
    for (std::size_t i = 0; i < P; ++i) {
        if (x[i] == 0) continue;
        SumX[i] += x[i];
        SumXY[i] += x[i] * seconds;
        for (std::size_t j = 0; j < P; ++j)
            SumXX[i * P + j] += x[i] * x[j];
    }
    Stale = true;
}

void TTimeFit::Refit() const {
    Stale = false;
    const auto p = static_cast<Eigen::Index>(P);
    const double n = Mass;
    const double meanY = SumY / n;
    Eigen::VectorXd mean(p), scale(p), covY(p);
    Eigen::MatrixXd cov(p, p);
    for (Eigen::Index i = 0; i < p; ++i)
        mean[i] = SumX[static_cast<std::size_t>(i)] / n;
    for (Eigen::Index i = 0; i < p; ++i) {
        for (Eigen::Index j = 0; j < p; ++j)
            cov(i, j) = SumXX[static_cast<std::size_t>(i * p + j)] - n * mean[i] * mean[j];
        covY[i] = SumXY[static_cast<std::size_t>(i)] - n * mean[i] * meanY;
    }
    // Standardised features: a feature that never varied gets no weight. Its spread is
    // measured against its own size, so that rounding in the running sums counts as none.
    for (Eigen::Index i = 0; i < p; ++i) {
        const double var = cov(i, i) / n;
        scale[i] = var > 1e-12 * (1 + mean[i] * mean[i]) ? std::sqrt(var) : 0;
    }
    Eigen::MatrixXd a = Eigen::MatrixXd::Identity(p, p) * Ridge;
    Eigen::VectorXd rhs = Eigen::VectorXd::Zero(p);
    for (Eigen::Index i = 0; i < p; ++i) {
        if (scale[i] == 0) continue;
        rhs[i] = covY[i] / scale[i];
        for (Eigen::Index j = 0; j < p; ++j)
            if (scale[j] != 0) a(i, j) += cov(i, j) / (scale[i] * scale[j]);
    }
    const Eigen::VectorXd w = a.ldlt().solve(rhs);
    W.assign(P, 0);
    B = meanY;
    for (Eigen::Index i = 0; i < p; ++i) {
        const double weight = scale[i] == 0 || !std::isfinite(w[i]) ? 0 : w[i] / scale[i];
        W[static_cast<std::size_t>(i)] = weight;
        B -= weight * mean[i];
    }
}

const TFeatures& TTimeFit::Weights() const {
    if (Stale) Refit();
    return W;
}

double TTimeFit::Intercept() const {
    if (Stale) Refit();
    return B;
}

double TTimeFit::Estimate(const TFeatures& x) const {
    if (N == 0 || x.size() != P) return 0;
    if (Stale) Refit();
    double y = B;
    for (std::size_t i = 0; i < P; ++i)
        y += W[i] * x[i];
    return y;
}

double TEstimator::Estimate(const std::vector<std::int32_t>& stat,
                            const std::vector<std::int32_t>& order) const {
    TFeatures f;
    return Features(stat, order, f) ? WholeFit.Estimate(f) : 0;
}

void TEstimator::Learn(const TFeatures& f, double seconds) {
    // The fit is judged on jobs it has not seen, once it has more jobs than features.
    const double estimate =
        WholeFit.Samples() > static_cast<std::int64_t>(f.size()) / 2 ? WholeFit.Estimate(f) : 0;
    // A time far slower than the fit foresees is taken as no slower than SlowedMisses of its
    // misses: a run slowed by a busy machine would otherwise pull every estimate near it up.
    // (A time far faster is what the search looks for, and counts in full.)
    if (estimate > 0 && MissCount >= MinMisses)
        seconds = std::min(seconds, estimate * std::exp(SlowedMisses * Miss()));
    if (estimate > 0 && seconds > 0) {
        const double miss = std::log(seconds / estimate);
        const double weight = std::max(1.0 / ++MissCount, 0.02);
        MissSquared += weight * (miss * miss - MissSquared);
    }
    WholeFit.Add(f, seconds);
    LocalFit.Add(f, seconds);
    if (f.size() >= FeatureCount)
        StructuralFit.Add(TFeatures(f.begin(), f.begin() + FeatureCount), seconds);
}

double TEstimator::StructuralEstimate(const TFeatures& f) const {
    if (f.size() < FeatureCount) return 0;
    return StructuralFit.Estimate(TFeatures(f.begin(), f.begin() + FeatureCount));
}

} // namespace pelvarn::search
