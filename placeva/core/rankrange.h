#pragma once
// How far an estimated rank can be trusted. Each reference point with a
// neighbour on either side is estimated from those two neighbours alone, as
// the pass would have estimated it without the point; the errors of those
// estimates near an applicant's average give a likely range around the
// applicant's rank. No widgets, so that the chart, the exports, the report and
// the choice list share one computation.

#include "core/stats.h"

#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>
#include <vector>

namespace placeva {

// Built once per pass from the reference points as the estimator sorted them,
// so that each range is a binary search and a walk over a few neighbours.
class LikelyRanks
{
public:
    // Ranges come from the errors nearest to the looked-up average: this many
    // of them, and none at all with fewer than kFewestErrors.
    static constexpr int kNearestErrors = 20;
    static constexpr int kFewestErrors = 5;

    // One leave-one-out error: the point's rank minus the rank its two
    // neighbours' segment gives at its average. 64 bits, since the difference
    // of two 32-bit ranks does not always fit 32.
    struct ErrorPoint
    {
        float avg;
        std::int64_t error;
    };

    explicit LikelyRanks(const QVector<RankEstimator::Point> &sorted);

    // The range around `rank`, estimated at the looked-up (scaled) average.
    // Nothing with fewer than kFewestErrors error points, or where an end
    // falls outside 32 bits.
    std::optional<LikelyRange> range(float lookedUp, std::int32_t rank) const;

    // The errors the range at this looked-up average is taken from, in no
    // particular order; none with fewer than kFewestErrors error points.
    std::vector<std::int64_t> nearestErrors(float lookedUp) const;

    // The median of the errors' magnitudes (the lower middle one for an even
    // count); nothing without error points.
    std::optional<std::int64_t> typicalError() const { return m_typical; }

    // In sorted order. A point whose neighbours share an average, or whose
    // estimate faults as the pass's would, gives none.
    const std::vector<ErrorPoint> &errorPoints() const { return m_points; }

private:
    // The nearest errors as two runs: `fromBelow` from m_downErrors at
    // `down`, the rest of `k` from m_upErrors at `up`.
    struct Nearest
    {
        std::size_t down, fromBelow, up, k;
    };
    Nearest nearest(float lookedUp) const;

    std::vector<ErrorPoint> m_points;
    // The error points upwards and downwards (see the constructor), compact
    // for the search and the merge; the averages end in one infinitely far.
    std::vector<float> m_upAvgs;
    std::vector<std::int64_t> m_upErrors;
    std::vector<float> m_downAvgs;
    std::vector<std::int64_t> m_downErrors;
    // Where the downward walk starts for the points below a lookup, indexed by
    // the last point below it.
    std::vector<std::int32_t> m_downFrom;
    std::optional<std::int64_t> m_typical;
};

// An applicant's average as the estimate looks it up: in single precision,
// times the change factor, the product in single precision. Nothing where it
// does not fit.
std::optional<float> lookedUpAverage(double avg, double factor);

// The typical error as the report, the chart and its description tell it:
// "خطاي معمول تخمين: N رتبه".
QString typicalErrorText(std::int64_t ranks);

// What a choice says about an applicant, from surest to hopeless.
enum class Verdict {
    Safe,   // its limit admits even the worst likely rank
    Likely, // it admits the estimate (but not the worst likely rank)
    Reach,  // it admits not the estimate, only ranks up to the best likely rank
    Out,    // it admits not even the best likely rank
};

// The verdict of a choice with the given admission limit (nothing: a choice
// that admits nobody) for an estimated rank and its likely range. Whether the
// estimate is admitted follows the choice list's rule exactly (a rank below 1
// is never admitted), so that Safe and Likely stand where "Mohasebe" admits.
// A likely rank below 1 lies beyond the best reference result and counts as
// within every limit. Without a range the estimate alone decides: Likely or Out.
Verdict admissionVerdict(std::optional<std::int32_t> limit, std::int32_t rank,
                         const std::optional<LikelyRange> &range);

QString verdictText(Verdict verdict);

} // namespace placeva
