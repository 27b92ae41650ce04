#include "gui/chartseries.h"

#include <algorithm>
#include <cmath>

namespace placeva {

namespace {

// The plot reaches a little beyond the outermost points so that their
// markers are not cut in half.
std::pair<double, double> padded(double lo, double hi)
{
    const double pad = hi > lo ? (hi - lo) * 0.03 : std::max(std::abs(lo) * 0.05, 1.0);
    return {lo - pad, hi + pad};
}

constexpr int kMostTicks = 10;

bool sameTicks(const AxisTicks &a, const AxisTicks &b)
{
    return a.min == b.min && a.max == b.max && a.step == b.step && a.values == b.values;
}

} // namespace

PlotExtent plotExtent(const QVector<QPointF> &references, const QVector<QPointF> &applicants, bool logY)
{
    PlotExtent e;
    const auto take = [&](QPointF p) {
        e.xLo = std::min(e.xLo, p.x());
        e.xHi = std::max(e.xHi, p.x());
        if (logY && p.y() < 1)
            return false;
        e.yLo = std::min(e.yLo, p.y());
        e.yHi = std::max(e.yHi, p.y());
        return true;
    };
    for (const QPointF &p : references)
        e.referencesLeftOut += take(p) ? 0 : 1;
    for (const QPointF &p : applicants)
        e.applicantsLeftOut += take(p) ? 0 : 1;
    return e;
}

bool PlotAxes::operator==(const PlotAxes &o) const
{
    return logY == o.logY && sameTicks(x, o.x) && sameTicks(y, o.y);
}

PlotAxes plotAxes(const PlotExtent &extent, const std::optional<QPointF> &target, bool logY)
{
    PlotExtent e = extent;
    if (target) {
        e.xLo = std::min(e.xLo, target->x());
        e.xHi = std::max(e.xHi, target->x());
        if (!(logY && target->y() < 1)) {
            e.yLo = std::min(e.yLo, target->y());
            e.yHi = std::max(e.yHi, target->y());
        }
    }
    if (e.xLo > e.xHi) {
        e.xLo = 0;
        e.xHi = 100;
    }
    if (e.yLo > e.yHi) {
        e.yLo = 1;
        e.yHi = bandBounds().last();
    }
    PlotAxes axes;
    axes.logY = logY;
    const auto [xFrom, xTo] = padded(e.xLo, e.xHi);
    axes.x = niceTicks(xFrom, xTo, kMostTicks);
    const auto [yFrom, yTo] = padded(e.yLo, e.yHi);
    axes.y = logY ? logTicks(e.yLo, e.yHi) : niceTicks(yFrom, yTo, kMostTicks, 1);
    return axes;
}

PlotMapping plotMapping(QSizeF plotSize, const PlotAxes &axes)
{
    PlotMapping m;
    m.size = plotSize;
    m.xMin = axes.x.min;
    m.xMax = axes.x.max;
    m.yMin = axes.y.min;
    m.yMax = axes.y.max;
    m.logY = axes.logY;
    return m;
}

LineSeries lineSeries(const RankModel &model, const PlotAxes &axes, double plotWidth)
{
    LineSeries s;
    s.line = estimateLine(model, axes.x.min, axes.x.max);
    const double step = (axes.x.max - axes.x.min) / std::max(100.0, plotWidth) * 3;

    // The likely range changes along the line as other reference results
    // come nearest: sampled every few pixels as well as at the line's bends.
    s.band = bandOutline(likelyBand(model, s.line, step));
    if (axes.logY) {
        // Straight in ranks is curved on a log axis: points every few pixels.
        s.line = clampBelow(densify(s.line, step), axes.y.min);
        s.band.best = clampBelow(densify(s.band.best, step), axes.y.min);
        s.band.worst = clampBelow(densify(s.band.worst, step), axes.y.min);
    }
    return s;
}

QVector<QList<QPointF>> boundLines(const PlotAxes &axes)
{
    QVector<QList<QPointF>> lines(bandBounds().size());
    for (qsizetype i = 0; i < bandBounds().size(); ++i) {
        const double b = bandBounds()[i];
        if (b > axes.y.min && b < axes.y.max)
            lines[i] = {QPointF(axes.x.min, b), QPointF(axes.x.max, b)};
    }
    return lines;
}

QList<QPointF> markers(const QVector<QPointF> &points, const PlotMapping &mapping)
{
    QList<QPointF> kept;
    for (qsizetype i : onePerPixel(points, mapping))
        kept.append(points[i]);
    return kept;
}

QVector<qsizetype> pointsAt(const QVector<QPointF> &points, const PlotMapping &mapping, QPointF value)
{
    QVector<qsizetype> found;
    const std::optional<QPoint> pixel = mapping.pixel(value);
    if (!pixel)
        return found;
    for (qsizetype i = 0; i < points.size(); ++i)
        if (mapping.pixel(points[i]) == pixel)
            found.append(i);
    return found;
}

std::optional<qsizetype> markerAt(const QVector<QPointF> &positions, QPointF at, double side)
{
    for (qsizetype i = positions.size() - 1; i >= 0; --i)
        if (std::abs(at.x() - positions[i].x()) <= side / 2 && std::abs(at.y() - positions[i].y()) <= side / 2)
            return i;
    return std::nullopt;
}

QList<QPointF> targetMarker(const std::optional<QPointF> &point, bool logY)
{
    if (point && !(logY && point->y() < 1))
        return {*point};
    return {};
}

QList<QPointF> targetLine(const TargetAnswer &target, const AxisTicks &x)
{
    if (target.kind == TargetAnswer::Found || target.kind == TargetAnswer::Unreachable)
        return {QPointF(x.min, target.target), QPointF(x.max, target.target)};
    return {};
}

QVector<std::optional<double>> stripeTextTops(const QVector<BandStripe> &stripes, const QVector<double> &heights,
                                              const QRectF &plot, const PlotAxes &axes)
{
    const AxisTicks &y = axes.y;
    const auto rankToY = [&](double rank) {
        if (axes.logY) {
            const double a = std::log10(y.min), b = std::log10(y.max);
            return plot.top() + (std::log10(rank) - a) / (b - a) * plot.height();
        }
        return plot.top() + (rank - y.min) / (y.max - y.min) * plot.height();
    };
    QVector<std::optional<double>> tops(stripes.size());
    double lowestBottom = -HUGE_VAL;
    for (qsizetype i = 0; i < stripes.size() && i < heights.size(); ++i) {
        const double centre = (rankToY(stripes[i].from) + rankToY(stripes[i].to)) / 2;
        const double top = centre - heights[i] / 2;
        if (top < lowestBottom || !std::isfinite(top))
            continue;
        tops[i] = top;
        lowestBottom = top + heights[i];
    }
    return tops;
}

} // namespace placeva
