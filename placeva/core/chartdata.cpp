#include "core/chartdata.h"

#include "numbers.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace placeva {

ChartData chartData(const PassResult &pass)
{
    ChartData d;
    const RankModel &model = *pass.model;
    d.model = pass.model;
    d.status = model.status();
    d.factor = model.factor();
    d.applicantCount = pass.applicants.size();
    d.leftOut = pass.leftOut;
    d.references.reserve(model.points().size());
    for (const RankPoint &p : model.points())
        d.references.append(QPointF(p.avg, p.rotbeh));
    if (d.status != RankModel::Status::Ready)
        return d;

    d.applicants.reserve(pass.applicants.size());
    for (qsizetype i = 0; i < pass.applicants.size(); ++i) {
        const ApplicantResult &a = pass.applicants[i];
        if (!a.rank)
            continue;
        // A rank means the scaling went through.
        d.applicants.append({i, double(*model.scaled(*a.average)), *a.rank});
    }
    return d;
}

QVector<BandRun> likelyBand(const RankModel &model, const QVector<QPointF> &line, double maxStep)
{
    QVector<BandRun> runs;
    BandRun run;
    float last = -std::numeric_limits<float>::infinity();
    const auto sample = [&](double x) {
        if (!(std::abs(x) <= std::numeric_limits<float>::max()))
            return;
        const float scaled = float(x);
        // A step of the line (equal averages) or a rounding gives the same
        // average twice: one sample is enough.
        if (!(scaled > last))
            return;
        last = scaled;
        std::optional<LikelyRange> range;
        if (const std::optional<std::int32_t> rank = model.rankAtScaled(scaled))
            range = model.likelyRange(scaled, *rank);
        if (range) {
            run.append({double(scaled), *range});
        } else if (!run.isEmpty()) {
            runs.append(std::move(run));
            run = {};
        }
    };
    for (const QPointF &p : densify(line, maxStep))
        sample(p.x());
    if (!run.isEmpty())
        runs.append(std::move(run));
    return runs;
}

BandOutline bandOutline(const QVector<BandRun> &runs)
{
    BandOutline o;
    for (qsizetype r = 0; r < runs.size(); ++r) {
        const BandRun &run = runs[r];
        if (r > 0) {
            // Across the gap the best edge drops to the worst and follows it.
            const BandSample &end = runs[r - 1].last();
            o.best.append(QPointF(end.x, end.range.worst));
            o.best.append(QPointF(run.first().x, run.first().range.worst));
        }
        for (const BandSample &s : run) {
            o.best.append(QPointF(s.x, s.range.best));
            o.worst.append(QPointF(s.x, s.range.worst));
        }
    }
    return o;
}

QVector<QPointF> estimateLine(const RankModel &model, double xFrom, double xTo)
{
    const QVector<RankPoint> &p = model.points();
    if (model.status() != RankModel::Status::Ready || p.size() < 2)
        return {};

    QVector<QPointF> line;
    line.reserve(p.size() + 2);
    const qsizetype n = p.size();
    // Beyond the points the line runs on along the end segments' slopes, as
    // the estimate extrapolates.
    if (const std::optional<double> s = model.slope(0); s && xFrom < p[0].avg)
        line.append(QPointF(xFrom, p[0].rotbeh + (xFrom - double(p[0].avg)) * *s));
    for (const RankPoint &q : p)
        line.append(QPointF(q.avg, q.rotbeh));
    if (const std::optional<double> s = model.slope(n - 2); s && xTo > p[n - 1].avg)
        line.append(QPointF(xTo, p[n - 2].rotbeh + (xTo - double(p[n - 2].avg)) * *s));
    return line;
}

QVector<QPointF> densify(const QVector<QPointF> &line, double maxStep)
{
    if (!(maxStep > 0) || line.size() < 2)
        return line;
    QVector<QPointF> out;
    out.reserve(line.size());
    out.append(line.first());
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QPointF &a = line[i - 1], &b = line[i];
        const double pieces = std::ceil((b.x() - a.x()) / maxStep);
        // Bounded, for a segment far wider than the plot.
        const int n = pieces > 1 ? int(std::min(pieces, 10000.0)) : 1;
        for (int k = 1; k < n; ++k)
            out.append(a + (b - a) * (double(k) / n));
        out.append(b);
    }
    return out;
}

QVector<QPointF> clampBelow(const QVector<QPointF> &line, double minY)
{
    QVector<QPointF> out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QPointF &b = line[i];
        if (i > 0) {
            const QPointF &a = line[i - 1];
            if ((a.y() < minY) != (b.y() < minY) && a.y() != b.y()) {
                const double t = (minY - a.y()) / (b.y() - a.y());
                out.append(QPointF(a.x() + t * (b.x() - a.x()), minY));
            }
        }
        out.append(QPointF(b.x(), std::max(b.y(), minY)));
    }
    return out;
}

AxisTicks niceTicks(double lo, double hi, int maxTicks, double minStep)
{
    if (!(hi > lo)) {
        const double pad = std::max({std::abs(lo) * 0.1, minStep, 1.0});
        lo -= pad;
        hi += pad;
    }
    double raw = std::max((hi - lo) / std::max(1, maxTicks), minStep);
    if (!std::isfinite(raw) || raw <= 0)
        raw = 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * magnitude;
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * magnitude >= raw) {
            step = m * magnitude;
            break;
        }
    }
    AxisTicks t;
    t.step = step;
    const double first = std::ceil(lo / step);
    const double last = std::floor(hi / step);
    t.min = lo;
    t.max = hi;
    // Far from zero the multiples of a small step are no longer apart as
    // doubles: equal neighbours are dropped, and the count stays bounded.
    const double count = std::min(last - first, double(maxTicks) + 2);
    for (int i = 0; i <= int(count); ++i) {
        const double v = (first + i) * step;
        if (t.values.isEmpty() || v > t.values.last())
            t.values.append(v);
    }
    return t;
}

AxisTicks logTicks(double lo, double hi)
{
    AxisTicks t;
    lo = std::max(lo, 1.0);
    hi = std::max(hi, lo);
    const double first = std::floor(std::log10(lo));
    double last = std::ceil(std::log10(hi));
    if (last <= first)
        last = first + 1;
    t.min = std::pow(10.0, first);
    t.max = std::pow(10.0, last);
    t.step = 10;
    for (double k = first; k <= last; ++k)
        t.values.append(std::pow(10.0, k));
    return t;
}

const QVector<std::int32_t> &bandBounds()
{
    static const QVector<std::int32_t> bounds = [] {
        QVector<std::int32_t> b;
        for (const BandBound &bound : bandTable())
            b.append(bound.upTo);
        return b;
    }();
    return bounds;
}

QVector<BandStripe> visibleStripes(double yMin, double yMax)
{
    const QVector<std::int32_t> &bounds = bandBounds();
    QVector<BandStripe> stripes;
    for (qsizetype i = 0; i <= bounds.size(); ++i) {
        const double from = i == 0 ? -HUGE_VAL : double(bounds[i - 1]);
        const double to = i == bounds.size() ? HUGE_VAL : double(bounds[i]);
        const double a = std::max(from, yMin);
        const double b = std::min(to, yMax);
        if (!(a < b))
            continue;
        // Any rank of the stripe names its band: the bound below it belongs
        // to the band below.
        const std::int32_t rank = i == bounds.size() ? bounds.last() + 1 : bounds[i];
        stripes.append({a, b, bandOf(rank)});
    }
    return stripes;
}

std::optional<QPoint> PlotMapping::pixel(QPointF value) const
{
    const double w = size.width();
    const double h = size.height();
    if (!(w > 0 && h > 0 && xMax > xMin && yMax > yMin))
        return std::nullopt;
    const double fx = (value.x() - xMin) / (xMax - xMin) * w;
    double fy;
    if (logY) {
        if (!(value.y() > 0) || !(yMin > 0))
            return std::nullopt;
        fy = (std::log10(value.y()) - std::log10(yMin)) / (std::log10(yMax) - std::log10(yMin)) * h;
    } else {
        fy = (value.y() - yMin) / (yMax - yMin) * h;
    }
    if (!(fx >= 0 && fx <= w && fy >= 0 && fy <= h))
        return std::nullopt;
    // The far edges belong to the last pixel.
    const int px = std::min(int(fx), std::max(0, int(std::ceil(w)) - 1));
    const int py = std::min(int(fy), std::max(0, int(std::ceil(h)) - 1));
    return QPoint(px, py);
}

QVector<qsizetype> onePerPixel(const QVector<QPointF> &points, const PlotMapping &mapping)
{
    QVector<qsizetype> kept;
    const int w = int(std::ceil(mapping.size.width()));
    const int h = int(std::ceil(mapping.size.height()));
    if (w <= 0 || h <= 0)
        return kept;
    std::vector<bool> taken(std::size_t(w) * std::size_t(h), false);
    for (qsizetype i = 0; i < points.size(); ++i) {
        const std::optional<QPoint> p = mapping.pixel(points[i]);
        if (!p)
            continue;
        const std::size_t key = std::size_t(p->y()) * std::size_t(w) + std::size_t(p->x());
        if (!taken[key]) {
            taken[key] = true;
            kept.append(i);
        }
    }
    return kept;
}

QString singleText(float value)
{
    for (int digits = 1; digits <= 9; ++digits) {
        const double rounded = QString::number(double(value), 'g', digits).toDouble();
        if (float(rounded) == value)
            return common::shortestText(rounded);
    }
    return common::shortestText(double(value));
}

} // namespace placeva
