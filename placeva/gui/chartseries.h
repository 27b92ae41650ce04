#pragma once
// What the chart window's series hold, from plain inputs: the plot's extent
// and ticks, the estimate's line and the band of likely ranks as drawn at a
// plot width, the band bounds' lines, the markers kept one per pixel, the
// target, and where the band texts stand. The window only hands the results
// to its series.

#include "core/chartdata.h"
#include "core/targetrank.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QVector>

#include <cmath>
#include <optional>

namespace placeva {

// How far the pass's points reach; ranks of 0 and below have no place on a
// logarithmic axis and are counted instead. The averages of every point count.
struct PlotExtent
{
    double xLo = HUGE_VAL, xHi = -HUGE_VAL, yLo = HUGE_VAL, yHi = -HUGE_VAL;
    qsizetype referencesLeftOut = 0, applicantsLeftOut = 0;
};
PlotExtent plotExtent(const QVector<QPointF> &references, const QVector<QPointF> &applicants, bool logY);

// The two axes' ranges and ticks: the extent and the target's point, padded
// so that markers at the edges show whole.
struct PlotAxes
{
    AxisTicks x, y;
    bool logY = false;
    bool operator==(const PlotAxes &o) const;
};
PlotAxes plotAxes(const PlotExtent &extent, const std::optional<QPointF> &target, bool logY);

PlotMapping plotMapping(QSizeF plotSize, const PlotAxes &axes);

// The estimate's line and the band of likely ranks around it, sampled for a
// plot this many pixels wide; on a logarithmic axis bent into curves and laid
// along the axis' lowest rank where they fall below it.
struct LineSeries
{
    QVector<QPointF> line;
    BandOutline band;
};
LineSeries lineSeries(const RankModel &model, const PlotAxes &axes, double plotWidth);

// Each band bound's line across the plot (index as bandBounds()); empty for a
// bound outside the rank axis.
QVector<QList<QPointF>> boundLines(const PlotAxes &axes);

// The markers drawn: the first point on each plot pixel, in order.
QList<QPointF> markers(const QVector<QPointF> &points, const PlotMapping &mapping);

// The indices of the points on the same plot pixel as a value, in order.
QVector<qsizetype> pointsAt(const QVector<QPointF> &points, const PlotMapping &mapping, QPointF value);

// The marker under a position: the last of the markers (squares of this side
// centred on their positions) that holds it, the one drawn on top.
std::optional<qsizetype> markerAt(const QVector<QPointF> &positions, QPointF at, double side);

// The target's marker where the plot can show it, and the line across the
// plot at the target rank while there is one.
QList<QPointF> targetMarker(const std::optional<QPointF> &point, bool logY);
QList<QPointF> targetLine(const TargetAnswer &target, const AxisTicks &x);

// Where each visible stripe's text stands beside the plot: its top, or
// nothing where a stripe too thin for its text gives way to the one above.
// heights: each stripe's text height, in the order of the stripes.
QVector<std::optional<double>> stripeTextTops(const QVector<BandStripe> &stripes, const QVector<double> &heights,
                                              const QRectF &plot, const PlotAxes &axes);

} // namespace placeva
