#include "rankrange.h"

#include "numbers.h"

#include <algorithm>
#include <array>
#include <limits>

namespace placeva {

namespace {

// A distance between two singles, exactly: the rounded double difference and
// what the rounding lost. Averages can lie so far apart in magnitude that the
// rounded differences of two candidates tie although the distances do not.
struct Gap
{
    double hi;
    double lo;
};

Gap gap(float from, float to)
{
    const double a = to;
    const double b = -double(from);
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// Rounding is monotone, so the rounded parts order two gaps unless they are
// equal; then the lost parts do.
bool notFarther(const Gap &x, const Gap &y)
{
    return x.hi < y.hi || (x.hi == y.hi && x.lo <= y.lo);
}

std::optional<std::int32_t> fitted(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return std::int32_t(value);
}

} // namespace

LikelyRanks::LikelyRanks(const QVector<RankEstimator::Point> &sorted)
{
    const qsizetype n = sorted.size();
    m_points.reserve(std::max<qsizetype>(n - 2, 0));
    for (qsizetype j = 1; j + 1 < n; ++j) {
        const RankEstimator::Point &p = sorted[j];
        // Equal neighbours give no slope, so no estimate and no error point.
        if (const std::optional<std::int32_t> est = segmentRank(sorted[j - 1], sorted[j + 1], p.avg))
            m_points.push_back({p.avg, std::int64_t(p.rotbeh) - *est});
    }

    const std::size_t m = m_points.size();
    m_avgs.resize(m);
    m_runStart.resize(m);
    for (std::size_t i = 0; i < m; ++i) {
        m_avgs[i] = m_points[i].avg;
        m_runStart[i] = i > 0 && m_avgs[i] == m_avgs[i - 1] ? m_runStart[i - 1] : std::int32_t(i);
    }

    if (m > 0) {
        std::vector<std::int64_t> magnitudes(m);
        for (std::size_t i = 0; i < m; ++i)
            magnitudes[i] = m_points[i].error < 0 ? -m_points[i].error : m_points[i].error;
        const auto middle = magnitudes.begin() + std::ptrdiff_t((m - 1) / 2);
        std::nth_element(magnitudes.begin(), middle, magnitudes.end());
        m_typical = *middle;
    }
}

std::optional<LikelyRange> LikelyRanks::range(float lookedUp, std::int32_t rank) const
{
    const std::ptrdiff_t m = std::ptrdiff_t(m_points.size());
    if (m < kFewestErrors)
        return std::nullopt;
    const int k = int(std::min<std::ptrdiff_t>(kNearestErrors, m));

    // The nearest k by distance, the earlier in sorted order first on equal
    // distance. Points at or above the average are taken upwards; those below
    // it downwards run by run, each run of equal averages from its first point,
    // and before the point above at equal distance, since they stand earlier.
    std::ptrdiff_t above = std::lower_bound(m_avgs.begin(), m_avgs.end(), lookedUp) - m_avgs.begin();
    std::ptrdiff_t belowEnd = above - 1; // last point of the run below
    std::ptrdiff_t below = belowEnd >= 0 ? m_runStart[std::size_t(belowEnd)] : -1;

    std::array<std::int64_t, kNearestErrors> taken;
    for (int t = 0; t < k; ++t) {
        const bool fromBelow = belowEnd >= 0
            && (above >= m
                || notFarther(gap(m_avgs[std::size_t(below)], lookedUp), gap(lookedUp, m_avgs[std::size_t(above)])));
        if (fromBelow) {
            taken[std::size_t(t)] = m_points[std::size_t(below)].error;
            if (below == belowEnd) {
                belowEnd = m_runStart[std::size_t(belowEnd)] - 1;
                below = belowEnd >= 0 ? m_runStart[std::size_t(belowEnd)] : -1;
            } else {
                ++below;
            }
        } else {
            taken[std::size_t(t)] = m_points[std::size_t(above++)].error;
        }
    }

    std::sort(taken.begin(), taken.begin() + k);
    // e at ceil(0.1 k) and ceil(0.9 k), counted from 1.
    const std::int64_t low = taken[std::size_t((k + 9) / 10 - 1)];
    const std::int64_t high = taken[std::size_t((9 * k + 9) / 10 - 1)];
    const std::optional<std::int32_t> best = fitted(std::int64_t(rank) + low);
    const std::optional<std::int32_t> worst = fitted(std::int64_t(rank) + high);
    if (!best || !worst)
        return std::nullopt;
    return LikelyRange{*best, *worst};
}

std::optional<float> lookedUpAverage(double avg, double factor)
{
    try {
        const float average = common::toSingle(avg);
        return common::toSingle(common::checkedMul(double(average), factor));
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

Verdict admissionVerdict(std::optional<std::int32_t> limit, std::int32_t rank,
                         const std::optional<LikelyRange> &range)
{
    if (!limit || rank < 1)
        return Verdict::Out;
    if (rank <= *limit)
        return range && range->worst <= *limit ? Verdict::Safe : Verdict::Likely;
    return range && range->best <= *limit ? Verdict::Reach : Verdict::Out;
}

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Safe:
        return QStringLiteral(u"قبولي مطمئن");
    case Verdict::Likely:
        return QStringLiteral(u"قبولي محتمل");
    case Verdict::Reach:
        return QStringLiteral(u"قبولي شانسي");
    case Verdict::Out:
        break;
    }
    return QStringLiteral(u"قبول نمي شود");
}

} // namespace placeva
