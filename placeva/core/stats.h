#pragma once
// The statistics pass of the main window: every applicant's name, average,
// estimated rank and placement band, the counts per admission code and the
// summary figures. Plain data in, typed results out; no widgets, so that the
// window, the chart, the exports and the tests share one computation.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <cstdint>
#include <optional>

namespace placeva {

// One row of Davtalab as stored: column 0 (the name) and Avg. Either may be
// NULL, a REAL, an INTEGER or a TEXT.
struct ApplicantRow
{
    QVariant name;
    QVariant avg;
};

// One row of Formol as stored: Avg and Rotbeh.
struct ReferenceRow
{
    QVariant avg;
    QVariant rotbeh;
};

// Separator rows: 28 hyphens in List1, List2 and List4, 43 in List5.
QString listSeparator();
QString bandSeparator();
// List5's entry for an applicant whose rank cannot be estimated.
QString noRankText();

// A stored value as a list shows it: NULL gives "", a number its shortest
// form, a text itself.
QString cellText(const QVariant &value);
// A stored value as a number: REAL and INTEGER as they are, TEXT when the
// whole text is a number. NULL, empty or non-numeric text and values that are
// not finite give nothing.
std::optional<double> cellNumber(const QVariant &value);

// Band text for a rank, with its admission code (123, 23, 3 or 0). Ranks
// below 1 are banded as rank 1.
QString placementBand(std::int32_t rank, std::uint8_t &code);

// Estimates ranks by linear interpolation between the reference points, each
// applicant's average first scaled by the change factor. Built once per pass:
// it parses the factor, converts the reference rows and sorts them (equal
// averages keep their order of reading), so that each estimate is a binary
// search and a few operations.
class RankEstimator
{
public:
    struct Point
    {
        float avg;
        std::int32_t rotbeh;
    };

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

    RankEstimator(const QVector<ReferenceRow> &rows, const QString &factorText);

    // The rank for an applicant's average, or nothing where none can be
    // estimated (see status(), an equal-average segment, or a fault in the
    // arithmetic such as a result outside 32 bits).
    std::optional<std::int32_t> estimate(double avg) const;

    // The usable rows' points sorted by average.
    const QVector<Point> &points() const { return m_points; }
    const LeftOut &leftOut() const { return m_leftOut; }
    // The parsed change factor (0 when the text overflows).
    double factor() const { return m_factor; }
    Status status() const { return m_status; }

private:
    QVector<Point> m_points;
    QVector<float> m_avgs; // the points' averages alone, compact for the search
    // Slope of the segment starting at each point; NaN where it cannot be
    // computed (equal averages, overflow). Computed once instead of per applicant.
    QVector<double> m_slopes;
    double m_factor = 0;
    Status m_status = Status::NoReference;
    LeftOut m_leftOut;
};

// The estimate's interpolation on the segment from one point to another at a
// scaled average, with its single-precision steps and its rounding. Nothing
// where it cannot be computed (equal averages, a fault in the arithmetic).
std::optional<std::int32_t> segmentRank(const RankEstimator::Point &from, const RankEstimator::Point &to,
                                        float scaled);

// The sentence that tells how many reference rows were left out and why;
// empty when none was.
QString leftOutText(const RankEstimator::LeftOut &leftOut);

// Best and worst likely rank around an estimate (see rankrange.h); best <=
// worst, though the estimate itself need not lie between them.
struct LikelyRange
{
    std::int32_t best;
    std::int32_t worst;
};

// One applicant as the pass found it.
struct ApplicantResult
{
    QString name;                     // column 0 as listed
    QString average;                  // Avg as listed ("" where empty)
    std::optional<std::int32_t> rank; // nothing where none can be estimated
    QString band;                     // the placement band, or noRankText() without a rank
    std::uint8_t code = 0;            // the band's admission code; 0 also without a rank
    std::optional<LikelyRange> range; // nothing without a rank or too few reference results
};

// The summary figures. Those the pass cannot compute hold nothing: the main
// window then shows them blank rather than a former pass's value.
struct PassSummary
{
    qsizetype count = 0;               // applicants
    std::optional<qsizetype> highest;  // index of the highest average, the later of equals
    std::optional<qsizetype> lowest;   // index of the lowest average, the later of equals
    std::optional<double> meanAverage; // over the applicants with an average
    std::optional<qint64> meanRank;    // rounded down, over the ranked applicants
    qint64 count123 = 0, count23 = 0, count3 = 0, count0 = 0; // per admission code
    // The reference table's typical leave-one-out error in ranks; nothing
    // where no reference point has two neighbours to be estimated from.
    std::optional<std::int64_t> typicalError;
};

struct PassResult
{
    QVector<ApplicantResult> applicants; // in the order read
    PassSummary summary;
    // The reference rows the estimate left out, counted and told.
    RankEstimator::LeftOut leftOut;
    QString referenceNote; // empty when every row took part
};

// An estimated rank as the lists show it: "" where there is none.
QString rankText(const std::optional<std::int32_t> &rank);
// The ends of a likely range as the exports write them: "" where there is none.
QString bestRankText(const std::optional<LikelyRange> &range);
QString worstRankText(const std::optional<LikelyRange> &range);
// A likely range as "B تا W", each number isolated left to right; "" where
// there is none.
QString rangeText(const std::optional<LikelyRange> &range);

// The whole pass over the applicant and reference rows, with the change
// factor as typed in the main window's box.
PassResult statisticsPass(const QVector<ApplicantRow> &applicants, const QVector<ReferenceRow> &references,
                          const QString &factorText);

} // namespace placeva
