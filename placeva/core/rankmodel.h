#pragma once
// The rank model of one statistics pass: the change factor as parsed, the
// readable reference points sorted by average, and everything estimated from
// them: the scaling of an average, the segment search, the estimate, the
// leave-one-out error points and the likely range around an estimate. Built
// once per pass; the pass, the chart, the target-average search, the exports,
// the report and the choice list all ask this one model.

#include "core/cells.h"

#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>
#include <vector>

namespace placeva {

// The change factor as typed in the main window's box, read once.
struct ChangeFactor
{
    QString typed;
    double value = 0; // the leading number of the text; 0 when it overflows
    bool usable = false;

    static ChangeFactor parse(const QString &typed);
    // How every view shows the factor (the chart, the results file, the
    // report, the sheet): as typed where the whole text is the number that
    // took part ("1.10"), else that number ("2x" shows 2); a text that
    // overflows as typed, since no number took part.
    QString shown() const;
};

// One usable reference row: its average in single precision, its rank in 32 bits.
struct RankPoint
{
    float avg;
    std::int32_t rotbeh;
};

// Best and worst likely rank around an estimate; best <= worst, though the
// estimate itself need not lie between them.
struct LikelyRange
{
    std::int32_t best;
    std::int32_t worst;
};

// An average as the estimate looks it up: in single precision, times the
// change factor, the product in single precision. Nothing where it does not
// fit. Needs the factor alone, so rows can be scaled before the model is built.
std::optional<float> scaledAverage(double avg, double factor);

// The estimate's interpolation on the segment from one point to another at a
// scaled average, with its single-precision steps and its rounding. Nothing
// where it cannot be computed (equal averages, a fault in the arithmetic).
std::optional<std::int32_t> segmentRank(const RankPoint &from, const RankPoint &to, float scaled);

// How far an estimated rank can be trusted. Each reference point with a
// neighbour on either side is estimated from those two neighbours alone, as
// the pass would have estimated it without the point; the errors of those
// estimates near an applicant's average give a likely range around the
// applicant's rank. Built from the points as the model sorted them, so that
// each range is a binary search and a walk over a few neighbours.
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

    LikelyRanks() = default;
    explicit LikelyRanks(const QVector<RankPoint> &sorted);

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

// Estimates ranks by linear interpolation between the reference points, each
// applicant's average first scaled by the change factor. It converts the
// reference rows and sorts them (equal averages keep their order of reading),
// so that each estimate is a binary search and a few operations.
class RankModel
{
public:
    using Point = RankPoint;

    enum class Status {
        Ready,           // at least two points and a usable factor
        NoReference,     // no usable row in Formol
        SingleReference, // one usable row: no segment to interpolate on
        BadFactor,       // the factor text overflows a double
    };

    // Formol rows left out of the estimate, by why: Avg or Rotbeh NULL or
    // blank; a text that is not a number (or a stored infinity); a number
    // beyond single precision (Avg) or 32 bits (Rotbeh).
    struct LeftOut
    {
        qsizetype empty = 0;
        qsizetype notANumber = 0;
        qsizetype outOfRange = 0;
        qsizetype total() const { return empty + notANumber + outOfRange; }
    };

    RankModel(const QVector<ReferenceRow> &rows, ChangeFactor factor);
    RankModel(const QVector<ReferenceRow> &rows, const QString &factorText)
        : RankModel(rows, ChangeFactor::parse(factorText))
    { }

    // An average as the estimate looks it up (scaledAverage with this factor).
    std::optional<float> scaled(double avg) const { return scaledAverage(avg, m_factor.value); }
    // The rank at an average already scaled, on the segment the search
    // chooses; nothing where none can be estimated (see status(), an
    // equal-average segment, a fault in the arithmetic).
    std::optional<std::int32_t> rankAtScaled(float scaled) const;
    // The rank for an applicant's average: scaled, then looked up.
    std::optional<std::int32_t> estimate(double avg) const;
    // Ranks per scaled average along the segment from point i to point i + 1,
    // as the estimate interpolates and extrapolates with it; nothing where
    // that segment gives no estimate (equal averages, a fault) or no rank can
    // be estimated at all.
    std::optional<double> slope(qsizetype i) const;

    // The likely range around a rank estimated at a scaled average.
    std::optional<LikelyRange> likelyRange(float scaled, std::int32_t rank) const
    {
        return m_likely.range(scaled, rank);
    }
    const LikelyRanks &likely() const { return m_likely; }
    std::optional<std::int64_t> typicalError() const { return m_likely.typicalError(); }

    // The usable rows' points sorted by average.
    const QVector<Point> &points() const { return m_points; }
    const LeftOut &leftOut() const { return m_leftOut; }
    const ChangeFactor &changeFactor() const { return m_factor; }
    // The parsed change factor (0 when the text overflows).
    double factor() const { return m_factor.value; }
    Status status() const { return m_status; }

private:
    QVector<Point> m_points;
    QVector<float> m_avgs; // the points' averages alone, compact for the search
    // Slope of the segment starting at each point; NaN where it cannot be
    // computed (equal averages, overflow). Computed once instead of per applicant.
    QVector<double> m_slopes;
    ChangeFactor m_factor;
    Status m_status = Status::NoReference;
    LeftOut m_leftOut;
    LikelyRanks m_likely;
};

} // namespace placeva
