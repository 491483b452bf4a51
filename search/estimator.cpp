#include "search/estimator.h"

#include <bit>
#include <cmath>

#include <Eigen/Dense>

#include "sti/subrecord.h"

namespace pelvarn::search {

namespace {

double Length(const std::vector<std::uint64_t>& bits) {
    std::int64_t n = 0;
    for (std::uint64_t w : bits)
        n += std::popcount(w);
    return static_cast<double>(n);
}

double& At(TFeatures& f, TFeature which) {
    return f[static_cast<std::size_t>(which)];
}

} // namespace

TEstimator::TEstimator(const TModelStructure& structure) {
    const std::size_t vars = structure.Variables().size();
    Words = (vars + 63) / 64;
    bool sized = true;
    for (const TStructureItem& eq : structure.Equations())
        sized = sized && structure.SizeOf(eq) > 0;
    for (std::size_t e = 0; e < structure.Equations().size(); ++e) {
        std::vector<std::uint64_t> bits(Words, 0);
        for (std::size_t v : structure.VariablesOf(e))
            bits[v / 64] |= std::uint64_t{1} << (v % 64);
        Holds.push_back(std::move(bits));
        Rows.push_back(sized ? structure.SizeOf(structure.Equations()[e]) : 1.0);
    }
    for (std::int32_t r = 1; r <= structure.RecordCount(); ++r)
        Items.push_back(structure.RecordItem(r));
}

bool TEstimator::Features(const std::vector<std::int32_t>& stat,
                          const std::vector<std::int32_t>& order, TFeatures& features) const {
    if (stat.size() != Items.size()) return false;
    std::vector<std::vector<std::uint64_t>> holds = Holds;
    std::vector<char> used(holds.size(), 0);
    features.fill(0);
    for (std::int32_t r : order) {
        if (r < 1 || static_cast<std::size_t>(r) > stat.size()) continue;
        const std::int32_t s = stat[static_cast<std::size_t>(r - 1)];
        if (s == notsub) continue;
        const auto [v, e] = Items[static_cast<std::size_t>(r - 1)];
        const std::uint64_t bit = std::uint64_t{1} << (v % 64);
        if (used[e] || !(holds[e][v / 64] & bit)) return false;
        const double length = Length(holds[e]);
        for (std::size_t f = 0; f < holds.size(); ++f) {
            if (used[f] || f == e || !(holds[f][v / 64] & bit)) continue;
            const double before = Length(holds[f]);
            for (std::size_t k = 0; k < Words; ++k)
                holds[f][k] |= holds[e][k];
            holds[f][v / 64] &= ~bit;
            At(features, TFeature::Work) += Rows[f] * length;
            At(features, TFeature::FillIn) += Rows[f] * (Length(holds[f]) - (before - 1));
        }
        if (s == backsub) At(features, TFeature::BacksolveWork) += Rows[e] * length;
        At(features, TFeature::Eliminations) += Rows[e];
        used[e] = 1;
    }
    for (std::size_t f = 0; f < holds.size(); ++f) {
        if (used[f]) continue;
        const double length = Length(holds[f]);
        At(features, TFeature::Rows) += Rows[f];
        At(features, TFeature::Entries) += Rows[f] * length;
        At(features, TFeature::RowSquares) += Rows[f] * length * length;
    }
    return true;
}

void TTimeFit::Add(const TFeatures& x, double seconds) {
    if (!std::isfinite(seconds)) return;
    ++N;
    SumY += seconds;
    for (std::size_t i = 0; i < FeatureCount; ++i) {
        SumX[i] += x[i];
        SumXY[i] += x[i] * seconds;
        for (std::size_t j = 0; j < FeatureCount; ++j)
            SumXX[i * FeatureCount + j] += x[i] * x[j];
    }
    Refit();
}

void TTimeFit::Refit() {
    constexpr auto P = static_cast<Eigen::Index>(FeatureCount);
    const double n = static_cast<double>(N);
    Eigen::VectorXd mean(P), scale(P);
    Eigen::MatrixXd cov(P, P);
    Eigen::VectorXd covY(P);
    const double meanY = SumY / n;
    for (Eigen::Index i = 0; i < P; ++i)
        mean[i] = SumX[static_cast<std::size_t>(i)] / n;
    for (Eigen::Index i = 0; i < P; ++i) {
        for (Eigen::Index j = 0; j < P; ++j)
            cov(i, j) = SumXX[static_cast<std::size_t>(i * P + j)] - n * mean[i] * mean[j];
        covY[i] = SumXY[static_cast<std::size_t>(i)] - n * mean[i] * meanY;
    }
    // Standardised features: a feature that never varied gets no weight. Its scale is
    // measured against its own size, so that rounding in the running sums counts as no spread.
    for (Eigen::Index i = 0; i < P; ++i) {
        const double var = cov(i, i) / n;
        const bool varies = var > 1e-12 * (1 + mean[i] * mean[i]);
        scale[i] = varies ? std::sqrt(var) : 0;
    }
    Eigen::MatrixXd a = Eigen::MatrixXd::Identity(P, P) * Ridge;
    Eigen::VectorXd rhs = Eigen::VectorXd::Zero(P);
    for (Eigen::Index i = 0; i < P; ++i) {
        if (scale[i] == 0) continue;
        rhs[i] = covY[i] / scale[i];
        for (Eigen::Index j = 0; j < P; ++j)
            if (scale[j] != 0) a(i, j) += cov(i, j) / (scale[i] * scale[j]);
    }
    const Eigen::VectorXd w = a.ldlt().solve(rhs);
    B = meanY;
    for (Eigen::Index i = 0; i < P; ++i) {
        const double weight = scale[i] == 0 || !std::isfinite(w[i]) ? 0 : w[i] / scale[i];
        W[static_cast<std::size_t>(i)] = weight;
        B -= weight * mean[i];
    }
}

double TTimeFit::Estimate(const TFeatures& x) const {
    if (N == 0) return 0;
    double y = B;
    for (std::size_t i = 0; i < FeatureCount; ++i)
        y += W[i] * x[i];
    return y;
}

void TEstimator::Learn(const std::vector<std::int32_t>& stat,
                       const std::vector<std::int32_t>& order, double seconds) {
    TFeatures f;
    if (Features(stat, order, f)) TheFit.Add(f, seconds);
}

} // namespace pelvarn::search
