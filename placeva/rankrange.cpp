#include "rankrange.h"

#include "numbers.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace placeva {

namespace {

// Whether `near` lies no farther from x than `far` does, on opposite sides of
// it, exactly. Averages can lie so far apart in magnitude that the rounded
// distances tie although the true ones do not; rounding is monotone, so the
// rounded distances decide unless they are equal, and then what the rounding
// lost (Knuth's two-sum) does.
bool notFarther(float below, float x, float above)
{
    const double xd = x;
    const double down = xd - below;
    const double up = double(above) - xd;
    if (down != up)
        return down < up;
    const auto lost = [](double a, double b, double s) {
        const double bb = s - a;
        return (a - (s - bb)) + (b - bb);
    };
    return lost(xd, -double(below), down) <= lost(double(above), -xd, up);
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

    // Only e at ceil(0.1 k) and ceil(0.9 k) (counted from 1) are wanted: with
    // k at most 20 the first is among the two smallest errors taken and the
    // second among the three largest, so those are kept instead of sorting.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t smallest[2] = {kMax, kMax};
    std::int64_t largest[3] = {-kMax - 1, -kMax - 1, -kMax - 1};
    const auto take = [&](std::int64_t e) {
        if (e < smallest[1]) {
            smallest[1] = e < smallest[0] ? std::exchange(smallest[0], e) : e;
        }
        if (e > largest[2]) {
            if (e > largest[1]) {
                largest[2] = largest[1];
                largest[1] = e > largest[0] ? std::exchange(largest[0], e) : e;
            } else {
                largest[2] = e;
            }
        }
    };
    for (int t = 0; t < k; ++t) {
        const bool fromBelow = belowEnd >= 0
            && (above >= m || notFarther(m_avgs[std::size_t(below)], lookedUp, m_avgs[std::size_t(above)]));
        if (fromBelow) {
            take(m_points[std::size_t(below)].error);
            if (below == belowEnd) {
                belowEnd = m_runStart[std::size_t(belowEnd)] - 1;
                below = belowEnd >= 0 ? m_runStart[std::size_t(belowEnd)] : -1;
            } else {
                ++below;
            }
        } else {
            take(m_points[std::size_t(above++)].error);
        }
    }

    const std::int64_t low = smallest[(k + 9) / 10 - 1];
    const std::int64_t high = largest[k - (9 * k + 9) / 10];
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
