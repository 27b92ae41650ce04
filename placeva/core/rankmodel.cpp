#include "core/rankmodel.h"

#include "numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace placeva {

namespace {

// Single-precision subtraction; a result past the single range is an overflow
// like any other arithmetic fault.
float singleSub(float a, float b)
{
    const float r = a - b;
    if (std::isinf(r))
        throw common::NumberError(common::ErrorKind::Overflow);
    return r;
}

// The slope of the segment from a to b: the rank difference in 32 bits, the
// average difference in single precision. NaN where there is none (equal
// averages, overflow).
double segmentSlope(const RankPoint &a, const RankPoint &b)
{
    try {
        const std::int32_t rankDiff = common::subInt32(b.rotbeh, a.rotbeh);
        const float avgDiff = singleSub(b.avg, a.avg);
        if (avgDiff != 0) // else it would divide by zero
            return common::checkedDiv(double(rankDiff), double(avgDiff));
    } catch (const common::NumberError &) {
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// The rank at a scaled average along a segment starting at p; nothing where
// the segment has no slope. The offset is rounded to single precision first.
std::optional<std::int32_t> rankAlong(const RankPoint &p, double slope, float scaled)
{
    if (std::isnan(slope))
        return std::nullopt;
    const float offset = singleSub(scaled, p.avg);
    return common::toInt32(common::checkedAdd(double(p.rotbeh), common::checkedMul(double(offset), slope)));
}

// Whether the point below x lies no farther from it than the point above,
// exactly. Averages can lie so far apart in magnitude that the rounded
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

ChangeFactor ChangeFactor::parse(const QString &typed)
{
    ChangeFactor f;
    f.typed = typed;
    try {
        f.value = common::leadingNumber(typed);
        f.usable = true;
    } catch (const common::NumberError &) {
        f.value = 0;
    }
    return f;
}

QString ChangeFactor::shown() const
{
    if (!usable)
        return typed;
    try {
        if (common::strictNumber(typed) == value)
            return typed;
    } catch (const common::NumberError &) {
    }
    return common::shortestText(value);
}

std::optional<std::int32_t> segmentRank(const RankPoint &from, const RankPoint &to, float scaled)
{
    try {
        return rankAlong(from, segmentSlope(from, to), scaled);
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

RankModel::RankModel(const QVector<ReferenceRow> &rows, ChangeFactor factor) : m_factor(std::move(factor))
{

    // A row that cannot be read is left out and counted; the others still
    // estimate, so one bad row never costs every applicant a rank.
    m_points.reserve(rows.size());
    for (const ReferenceRow &row : rows) {
        const std::optional<double> avg = cellNumber(row.avg);
        const std::optional<double> rotbeh = cellNumber(row.rotbeh);
        if (!avg || !rotbeh) {
            const auto blank = [](const QVariant &v) {
                return v.isNull() || (!isNumberCell(v) && v.toString().trimmed().isEmpty());
            };
            if ((!avg && blank(row.avg)) || (!rotbeh && blank(row.rotbeh)))
                ++m_leftOut.empty;
            else
                ++m_leftOut.notANumber;
            continue;
        }
        try {
            m_points.append({common::toSingle(*avg), common::toInt32(*rotbeh)});
        } catch (const common::NumberError &) {
            ++m_leftOut.outOfRange;
        }
    }

    // Stable, so that points with equal averages keep their order of reading,
    // which decides the segment a tie falls on.
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const Point &a, const Point &b) { return a.avg < b.avg; });

    // The reference table's errors once, so that each range is a lookup.
    m_likely = LikelyRanks(m_points);

    if (!m_factor.usable) {
        m_status = Status::BadFactor;
        return;
    }
    if (m_points.isEmpty()) {
        m_status = Status::NoReference;
        return;
    }
    if (m_points.size() == 1) {
        m_status = Status::SingleReference;
        return;
    }

    m_status = Status::Ready;
    m_avgs.reserve(m_points.size());
    for (const Point &p : m_points)
        m_avgs.append(p.avg);
    m_slopes.fill(std::numeric_limits<double>::quiet_NaN(), m_points.size() - 1);
    for (qsizetype i = 0; i + 1 < m_points.size(); ++i) {
        m_slopes[i] = segmentSlope(m_points[i], m_points[i + 1]);
    }
}

std::optional<float> scaledAverage(double avg, double factor)
{
    try {
        const float average = common::toSingle(avg);
        return common::toSingle(common::checkedMul(double(average), factor));
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

std::optional<std::int32_t> RankModel::rankAtScaled(float scaled) const
{
    if (m_status != Status::Ready)
        return std::nullopt;
    // The segment starts at the point before the first one (from the second
    // on) whose average is at least the scaled one; the last segment at the
    // latest. Outside the points this extrapolates. Branch-free lower bound
    // over the averages in [1, n - 1).
    const float *base = m_avgs.constData() + 1;
    qsizetype len = m_avgs.size() - 2;
    if (len > 0) {
        while (len > 1) {
            const qsizetype half = len / 2;
            base += half * qsizetype(base[half - 1] < scaled); // no branch to mispredict
            len -= half;
        }
        base += *base < scaled ? 1 : 0;
    }
    const qsizetype j = (base - m_avgs.constData()) - 1;
    try {
        return rankAlong(m_points[j], m_slopes[j], scaled);
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

std::optional<std::int32_t> RankModel::estimate(double avg) const
{
    if (m_status != Status::Ready)
        return std::nullopt;
    const std::optional<float> s = scaled(avg);
    return s ? rankAtScaled(*s) : std::nullopt;
}

std::optional<double> RankModel::slope(qsizetype i) const
{
    if (i < 0 || i >= m_slopes.size() || std::isnan(m_slopes[i]))
        return std::nullopt;
    return m_slopes[i];
}

LikelyRanks::LikelyRanks(const QVector<RankPoint> &sorted)
{
    const qsizetype n = sorted.size();
    m_points.reserve(std::max<qsizetype>(n - 2, 0));
    for (qsizetype j = 1; j + 1 < n; ++j) {
        const RankPoint &p = sorted[j];
        // Equal neighbours give no slope, so no estimate and no error point.
        if (const std::optional<std::int32_t> est = segmentRank(sorted[j - 1], sorted[j + 1], p.avg))
            m_points.push_back({p.avg, std::int64_t(p.rotbeh) - *est});
    }

    // Upwards the error points are taken in sorted order; downwards run by
    // run, each run of equal averages from its first point, since on equal
    // distance the earlier point comes first. Both orders are laid out once,
    // each ending in a point infinitely far away, so that a lookup merges two
    // arrays without bounds checks.
    const std::size_t m = m_points.size();
    constexpr float inf = std::numeric_limits<float>::infinity();
    m_upAvgs.resize(m + 1);
    m_upErrors.resize(m);
    for (std::size_t i = 0; i < m; ++i) {
        m_upAvgs[i] = m_points[i].avg;
        m_upErrors[i] = m_points[i].error;
    }
    m_upAvgs[m] = inf;
    m_downAvgs.resize(m + 1);
    m_downErrors.resize(m);
    m_downFrom.resize(m);
    std::size_t at = 0;
    for (std::size_t end = m; end > 0;) {
        std::size_t start = end - 1;
        while (start > 0 && m_points[start - 1].avg == m_points[end - 1].avg)
            --start;
        for (std::size_t i = start; i < end; ++i) {
            m_downAvgs[at + i - start] = m_points[i].avg;
            m_downErrors[at + i - start] = m_points[i].error;
        }
        m_downFrom[end - 1] = std::int32_t(at);
        at += end - start;
        end = start;
    }
    m_downAvgs[m] = -inf;

    if (m > 0) {
        std::vector<std::int64_t> magnitudes(m);
        for (std::size_t i = 0; i < m; ++i)
            magnitudes[i] = m_points[i].error < 0 ? -m_points[i].error : m_points[i].error;
        const auto middle = magnitudes.begin() + std::ptrdiff_t((m - 1) / 2);
        std::nth_element(magnitudes.begin(), middle, magnitudes.end());
        m_typical = *middle;
    }
}

LikelyRanks::Nearest LikelyRanks::nearest(float lookedUp) const
{
    const std::ptrdiff_t m = std::ptrdiff_t(m_points.size());
    const int k = int(std::min<std::ptrdiff_t>(kNearestErrors, m));

    // The first point at or above the average: a lower bound without
    // branches to mispredict.
    const float *base = m_upAvgs.data();
    for (std::size_t len = std::size_t(m) + 1; len > 1;) {
        const std::size_t half = len / 2;
        base += half * std::size_t(base[half - 1] < lookedUp);
        len -= half;
    }
    const std::size_t up = std::size_t(base - m_upAvgs.data());

    // The nearest k by distance, the earlier in sorted order first on equal
    // distance: the first k of a merge of the points at or above the average,
    // upwards, with those below it, downwards, below first on equal distance
    // since it stands earlier. Both sides are taken from the front, so only
    // how many come from below needs finding: the most c for which the c-th
    // from below precedes the (k - c + 1)-th from above, by binary search.
    const std::size_t down = up > 0 ? std::size_t(m_downFrom[up - 1]) : std::size_t(m);
    const std::size_t kk = std::size_t(k);
    const std::size_t upCount = std::size_t(m) - up;
    std::size_t lo = kk > upCount ? kk - upCount : 0; // at least this many from below
    std::size_t hi = std::min(kk, up);                // at most the points below
    while (lo < hi) {
        const std::size_t c = lo + (hi - lo + 1) / 2;
        // k - c < upCount here, so at worst the far end above is read.
        if (notFarther(m_downAvgs[down + c - 1], lookedUp, m_upAvgs[up + kk - c]))
            lo = c;
        else
            hi = c - 1;
    }
    return {down, lo, up, kk};
}

std::vector<std::int64_t> LikelyRanks::nearestErrors(float lookedUp) const
{
    if (std::ptrdiff_t(m_points.size()) < kFewestErrors)
        return {};
    const Nearest n = nearest(lookedUp);
    std::vector<std::int64_t> errors(m_downErrors.begin() + std::ptrdiff_t(n.down),
                                     m_downErrors.begin() + std::ptrdiff_t(n.down + n.fromBelow));
    errors.insert(errors.end(), m_upErrors.begin() + std::ptrdiff_t(n.up),
                  m_upErrors.begin() + std::ptrdiff_t(n.up + n.k - n.fromBelow));
    return errors;
}

std::optional<LikelyRange> LikelyRanks::range(float lookedUp, std::int32_t rank) const
{
    if (std::ptrdiff_t(m_points.size()) < kFewestErrors)
        return std::nullopt;
    const auto [down, fromBelow, up, kk] = nearest(lookedUp);
    const int k = int(kk);

    // Only e at ceil(0.1 k) and ceil(0.9 k) (counted from 1) are wanted: with
    // k at most 20 the first is among the two smallest errors taken and the
    // second among the three largest, so those are kept instead of sorting.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t smallest[2] = {kMax, kMax};
    std::int64_t largest[3] = {-kMax - 1, -kMax - 1, -kMax - 1};
    // Branch-free insertion: errors come in no useful order.
    const auto take = [&](std::int64_t e) {
        smallest[1] = std::min(smallest[1], std::max(smallest[0], e));
        smallest[0] = std::min(smallest[0], e);
        largest[2] = std::max(largest[2], std::min(largest[1], e));
        largest[1] = std::max(largest[1], std::min(largest[0], e));
        largest[0] = std::max(largest[0], e);
    };
    for (std::size_t i = 0; i < fromBelow; ++i)
        take(m_downErrors[down + i]);
    for (std::size_t i = 0; i < kk - fromBelow; ++i)
        take(m_upErrors[up + i]);

    const std::int64_t low = smallest[(k + 9) / 10 - 1];
    const std::int64_t high = largest[k - (9 * k + 9) / 10];
    const std::optional<std::int32_t> best = fitted(std::int64_t(rank) + low);
    const std::optional<std::int32_t> worst = fitted(std::int64_t(rank) + high);
    if (!best || !worst)
        return std::nullopt;
    return LikelyRange{*best, *worst};
}

} // namespace placeva
