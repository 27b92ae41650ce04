#pragma once
// What the chart of ranks against averages draws, without widgets: the
// reference results, the line the rank estimate interpolates along, every
// applicant with an estimated rank, the band stripes, axis ticks, the
// thinning of markers to one per plot pixel, and the band of likely ranks
// along the line.
//
// Plot coordinates: x is the scaled average (the average times the change
// factor, in single precision, as the estimate looks it up), y the rank.

#include "core/stats.h"

#include <QPoint>
#include <QPointF>
#include <QSizeF>
#include <QVector>

#include <cstdint>
#include <memory>
#include <optional>

namespace placeva {

struct ChartApplicant
{
    qsizetype index;   // applicant k in list order: row 2k of the main window's lists
    double x;          // scaled average
    std::int32_t rank; // the pass's estimate
};

struct ChartData
{
    RankModel::Status status = RankModel::Status::NoReference;
    double factor = 0;
    QVector<QPointF> references;        // (average, rank), in the estimate's sorted order
    QVector<ChartApplicant> applicants; // those with an estimate, in list order
    qsizetype applicantCount = 0;       // with or without an estimate
    RankModel::LeftOut leftOut;         // the reference rows left out, by why
    // The pass's rank model (never null once built).
    std::shared_ptr<const RankModel> model;
};

// The applicants the pass ranked, placed at their scaled averages.
ChartData chartData(const PassResult &pass);

// The band of likely ranks along the estimate's line: at each sampled
// average, the likely range around the line's rank there. Runs of
// neighbouring samples that have a range; a sample without one (no rank, no
// range) separates two runs.
struct BandSample
{
    double x; // the sampled average, exactly as it was looked up
    LikelyRange range;
};
using BandRun = QVector<BandSample>;
// The samples are the averages of the line, in order, and enough between
// them that no two are more than maxStep apart.
QVector<BandRun> likelyBand(const RankModel &model, const QVector<QPointF> &line, double maxStep);

// The band as one filled area: the best ranks along one edge, the worst along
// the other. Between two runs both edges take the same path, so that the gap
// encloses nothing.
struct BandOutline
{
    QVector<QPointF> best, worst;
};
BandOutline bandOutline(const QVector<BandRun> &runs);

// The estimate's line from xFrom to xTo: the sorted reference points, and
// beyond them the first and the last segment extended, as the estimate
// extrapolates with the model's own slopes (not where that segment gives no
// estimate, as where it joins two equal averages). Empty while no rank can be
// estimated.
QVector<QPointF> estimateLine(const RankModel &model, double xFrom, double xTo);

// The line with points added so that no segment is wider than maxStep.
QVector<QPointF> densify(const QVector<QPointF> &line, double maxStep);

// The line with every part below minY laid along minY, bent exactly where it
// crosses (a logarithmic axis cannot show ranks of 0 or below).
QVector<QPointF> clampBelow(const QVector<QPointF> &line, double minY);

// Ticks at 1, 2 or 5 times a power of ten, no closer than minStep, at most
// about maxTicks of them, inside [lo, hi] (the axis' range).
struct AxisTicks
{
    double min = 0, max = 1, step = 1;
    QVector<double> values;
};
AxisTicks niceTicks(double lo, double hi, int maxTicks, double minStep = 0);
// Powers of ten around [lo, hi] for a logarithmic axis; lo must be above 0.
AxisTicks logTicks(double lo, double hi);

// Placement band stripes between the band bounds (40, 100, ..., 11000), cut
// to the rank range shown; the first stripe reaches down past 1, the last up
// without end.
struct BandStripe
{
    double from, to; // rank range shown, from < to
    Band band;
};
const QVector<std::int32_t> &bandBounds();
QVector<BandStripe> visibleStripes(double yMin, double yMax);

// Where a value falls in the plot, in whole pixels from its top left corner;
// the rank axis runs downwards (better ranks at the top).
struct PlotMapping
{
    QSizeF size;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    bool logY = false;
    // Nothing outside the plot, or for a rank of 0 or below on a log axis.
    std::optional<QPoint> pixel(QPointF value) const;
    // Exactly the same mapping, to the last bit.
    bool operator==(const PlotMapping &o) const
    {
        return size.width() == o.size.width() && size.height() == o.size.height() && xMin == o.xMin
            && xMax == o.xMax && yMin == o.yMin && yMax == o.yMax && logY == o.logY;
    }
};

// The indices of the points to draw: the first of the points on each plot
// pixel, in their order; points outside the plot are left out.
QVector<qsizetype> onePerPixel(const QVector<QPointF> &points, const PlotMapping &mapping);

// A single-precision number in the shortest decimal form that reads back as
// the same single (12.34f as "12.34", not "12.3400001525879").
QString singleText(float value);

} // namespace placeva
