// The chart's numbers: applicants where the pass ranks them, the line where
// the estimate runs, band stripes, axis ticks and one marker per pixel.

#include "core/chartdata.h"
#include "core/stats.h"
#include "numbers.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <set>

using namespace placeva;

Q_DECLARE_METATYPE(QVector<QPointF>)

namespace {

QVector<ReferenceRow> randomReferences(QRandomGenerator &g)
{
    const int n = g.bounded(6) == 0 ? g.bounded(2) : g.bounded(2, 40);
    QVector<ReferenceRow> rows;
    for (int i = 0; i < n; ++i) {
        const double avg = g.bounded(-20, 110) / (g.bounded(3) == 0 ? 3.0 : 2.0); // ties, negatives
        const int rank = g.bounded(4) == 0 ? g.bounded(-300, 300) : g.bounded(1, 25000);
        rows.append({avg, rank});
    }
    if (n > 0 && g.bounded(20) == 0)
        rows[0].avg = QStringLiteral("x"); // left out of the estimate
    return rows;
}

QVariant randomAverage(QRandomGenerator &g)
{
    switch (g.bounded(12)) {
    case 0: return QVariant();
    case 1: return QStringLiteral("abc");
    case 2: return common::fixed2Text(g.bounded(-3333, 10001) / 100.0);
    case 3: return 1e39;
    default: return g.bounded(-4000, 12000) / 100.0;
    }
}

// The line's rank at x, on the segment that holds x (none at a vertical
// step), and the size of the part that x adds to the segment's start.
std::optional<std::pair<double, double>> lineAt(const QVector<QPointF> &line, double x)
{
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        const QPointF &a = line[i], &b = line[i + 1];
        if (a.x() < x && x < b.x()) {
            const double rise = (x - a.x()) * (b.y() - a.y()) / (b.x() - a.x());
            return std::pair{a.y() + rise, std::abs(rise)};
        }
    }
    return std::nullopt;
}

// "avg:rank avg:rank ..."
QVector<ReferenceRow> parseReferences(const QString &refs)
{
    QVector<ReferenceRow> rows;
    for (const QString &pair : refs.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList p = pair.split(u':');
        rows.append({p[0].toDouble(), p[1].toInt()});
    }
    return rows;
}

// Points ten apart, every second one 600 ranks worse: each leave-one-out error is
// +600 or -600. Around `base`.
QString zigzag(qint64 base, int points)
{
    QStringList pairs;
    for (int j = 0; j < points; ++j)
        pairs << QStringLiteral("%1:%2").arg(10 * j).arg(base + (j % 2) * 600);
    return pairs.join(u' ');
}

} // namespace

class TstChartData : public QObject
{
    Q_OBJECT

private slots:
    void applicantsAsThePassRanksThem();
    void lineWhereTheEstimateRuns();
    void lineEnds_data();
    void lineEnds();
    void likelyBand_data();
    void likelyBand();
    void clampBelow_data();
    void clampBelow();
    void stripes_data();
    void stripes();
    void ticks_data();
    void ticks();
    void onePerPixel_data();
    void onePerPixel();
    void onePerPixelCoversEveryPixelOnce();
};

void TstChartData::applicantsAsThePassRanksThem()
{
    const QString factors[] = {"1.00", "1.1", "0.9", "-1", "0", "abc", "1e40", "1e400"};
    for (quint32 seed = 1; seed <= 300; ++seed) {
        QRandomGenerator g(seed);
        QVector<ApplicantRow> people;
        const int n = g.bounded(60);
        for (int i = 0; i < n; ++i)
            people.append({QString::number(i), randomAverage(g)});
        const QVector<ReferenceRow> refs = randomReferences(g);
        const QString &factor = factors[g.bounded(int(std::size(factors)))];
        const QByteArray where = "seed " + QByteArray::number(seed);

        const PassResult pass = statisticsPass(people, refs, factor);
        const RankModel &estimator = *pass.model;
        const ChartData d = chartData(pass);

        QCOMPARE(d.applicantCount, qsizetype(n));
        // Exactly the applicants the pass lists a rank for, with that rank.
        qsizetype next = 0;
        for (int k = 0; k < n; ++k) {
            const QString listed = rankText(pass.applicants[k].rank);
            if (listed.isEmpty()) {
                QVERIFY2(next == d.applicants.size() || d.applicants[next].index != k, where);
                continue;
            }
            QVERIFY2(next < d.applicants.size() && d.applicants[next].index == k, where);
            QVERIFY2(QString::number(d.applicants[next].rank) == listed, where);
            const std::optional<float> x = estimator.scaled(*cellNumber(people[k].avg));
            QVERIFY2(x && d.applicants[next].x == double(*x), where);
            ++next;
        }
        QVERIFY2(next == d.applicants.size(), where);

        // Every usable reference row is drawn, in ascending order; an
        // unreadable one is left out and named.
        const qsizetype unreadable = std::count_if(refs.begin(), refs.end(), [](const ReferenceRow &r) {
            return !cellNumber(r.avg) || !cellNumber(r.rotbeh);
        });
        QVERIFY2(d.references.size() == refs.size() - unreadable, where);
        QVERIFY2((d.leftOut.total() == 0) == (unreadable == 0), where);
        for (qsizetype i = 1; i < d.references.size(); ++i)
            QVERIFY2(d.references[i - 1].x() <= d.references[i].x(), where);
    }
}

void TstChartData::lineWhereTheEstimateRuns()
{
    // With factor 1 the scaled average is the average in single precision:
    // the line's rank there rounds to the estimate.
    for (quint32 seed = 1; seed <= 300; ++seed) {
        QRandomGenerator g(seed);
        const QVector<ReferenceRow> refs = randomReferences(g);
        const RankModel estimator(refs, QStringLiteral("1"));
        const QVector<QPointF> line = estimateLine(estimator, -60, 160);
        if (estimator.status() != RankModel::Status::Ready) {
            QVERIFY(line.isEmpty());
            continue;
        }
        for (int i = 0; i < 200; ++i) {
            const float x = float(g.bounded(-6000, 16000) / 100.0 + g.generateDouble() / 100);
            const std::optional<std::int32_t> rank = estimator.estimate(x);
            const auto y = lineAt(line, x);
            const QByteArray where = "seed " + QByteArray::number(seed) + " x " + QByteArray::number(x);
            if (!rank) {
                // Only beyond a first or last segment of two equal averages.
                QVERIFY2(!y, where);
                continue;
            }
            QVERIFY2(y, where);
            // Rounding to the rank, and the estimate's single-precision step
            // from the segment's start.
            const double tolerance = 0.5 + 1e-6 * (1 + y->second);
            QVERIFY2(std::abs(y->first - *rank) <= tolerance,
                     where + " line " + QByteArray::number(y->first));
        }
    }
}

void TstChartData::lineEnds_data()
{
    QTest::addColumn<QString>("refs");
    QTest::addColumn<QVector<QPointF>>("line");
    QTest::newRow("extended both ways")
        << "30:500 40:100" << QVector<QPointF>{{0, 1700}, {30, 500}, {40, 100}, {100, -2300}};
    QTest::newRow("equal averages first")
        << "30:500 30:450 40:100" << QVector<QPointF>{{30, 500}, {30, 450}, {40, 100}, {100, -2000}};
    QTest::newRow("equal averages last")
        << "30:500 40:100 40:50" << QVector<QPointF>{{0, 1700}, {30, 500}, {40, 100}, {40, 50}};
    QTest::newRow("points beyond the range") << "-10:900 120:1" << QVector<QPointF>{{-10, 900}, {120, 1}};
    // No estimate beyond a segment whose ranks lie more than 32 bits apart.
    QTest::newRow("ranks 32 bits apart")
        << "30:-2000000000 40:2000000000" << QVector<QPointF>{{30, -2000000000}, {40, 2000000000}};
    QTest::newRow("one row") << "30:500" << QVector<QPointF>{};
}

void TstChartData::lineEnds()
{
    QFETCH(QString, refs);
    QFETCH(QVector<QPointF>, line);
    QCOMPARE(estimateLine(RankModel(parseReferences(refs), QStringLiteral("1")), 0, 100), line);
}

void TstChartData::likelyBand_data()
{
    QTest::addColumn<QString>("refs");
    QTest::addColumn<int>("seeds"); // random tables instead
    QTest::addColumn<int>("fewestRuns");
    QTest::addColumn<int>("mostRuns");
    QTest::newRow("zigzag, 8 error points") << zigzag(5000, 10) << 0 << 1 << 1;
    QTest::newRow("zigzag, 4 error points: no band") << zigzag(5000, 6) << 0 << 0 << 0;
    // R + 600 overflows wherever the line is more than 47 above its low points.
    QTest::newRow("ranks at the 32-bit end: gaps") << zigzag(2147483000, 10) << 0 << 3 << 1000;
    QTest::newRow("random tables, ties and negatives") << QString() << 300 << 0 << 1000;
}

void TstChartData::likelyBand()
{
    QFETCH(QString, refs);
    QFETCH(int, seeds);
    QFETCH(int, fewestRuns);
    QFETCH(int, mostRuns);
    for (quint32 seed = 0; seed <= quint32(seeds); ++seed) {
        QRandomGenerator g(seed);
        const RankModel estimator(seeds ? randomReferences(g) : parseReferences(refs), QStringLiteral("1"));
        const LikelyRanks &likely = estimator.likely();
        const QVector<QPointF> line = estimateLine(estimator, -60, 160);
        const double step = 0.7;
        const QVector<BandRun> runs = placeva::likelyBand(estimator, line, step);
        const QByteArray where = "seed " + QByteArray::number(seed);
        if (!seeds)
            QVERIFY2(runs.size() >= fewestRuns && runs.size() <= mostRuns, QByteArray::number(runs.size()));
        if (likely.errorPoints().size() < LikelyRanks::kFewestErrors)
            QVERIFY2(runs.isEmpty(), where);

        // Each sample is the range the estimate's own rank at that average
        // gives (factor 1: the average looked up is the average itself), in
        // ascending order, samples of one run no farther apart than the step.
        std::set<double> sampled;
        double previous = -HUGE_VAL;
        for (const BandRun &run : runs) {
            QVERIFY2(!run.isEmpty(), where);
            for (qsizetype i = 0; i < run.size(); ++i) {
                const BandSample &s = run[i];
                QVERIFY2(s.x > previous, where);
                QVERIFY2(i == 0 || s.x - run[i - 1].x <= step + 1e-4 /* rounded to single */, where);
                previous = s.x;
                const std::optional<std::int32_t> rank = estimator.estimate(s.x);
                QVERIFY2(rank, where);
                const std::optional<LikelyRange> r = likely.range(float(s.x), *rank);
                QVERIFY2(r && r->best == s.range.best && r->worst == s.range.worst, where);
                sampled.insert(s.x);
            }
        }
        // Every bend of the line with a range there is sampled.
        for (const QPointF &p : line) {
            const std::optional<std::int32_t> rank = estimator.estimate(p.x());
            if (rank && likely.range(float(p.x()), *rank))
                QVERIFY2(sampled.count(double(float(p.x()))), where + " x " + QByteArray::number(p.x()));
        }

        // One area: the worst edge through every sample; the best edge's
        // extra points, across the gaps, lie on the worst edge.
        const BandOutline outline = bandOutline(runs);
        QCOMPARE(qsizetype(outline.worst.size()), qsizetype(sampled.size()));
        QCOMPARE(outline.best.size(), outline.worst.size() + 2 * std::max<qsizetype>(runs.size() - 1, 0));
        for (const QPointF &p : outline.best)
            QVERIFY2(sampled.count(p.x()), where);
    }
}

void TstChartData::clampBelow_data()
{
    QTest::addColumn<QVector<QPointF>>("line");
    QTest::addColumn<QVector<QPointF>>("clamped");
    QTest::newRow("above throughout")
        << QVector<QPointF>{{0, 10}, {1, 20}} << QVector<QPointF>{{0, 10}, {1, 20}};
    QTest::newRow("down through 1") << QVector<QPointF>{{0, 21}, {10, -19}}
                                    << QVector<QPointF>{{0, 21}, {5, 1}, {10, 1}};
    QTest::newRow("down and up again") << QVector<QPointF>{{0, 5}, {2, -3}, {4, 5}}
                                       << QVector<QPointF>{{0, 5}, {1, 1}, {2, 1}, {3, 1}, {4, 5}};
    QTest::newRow("touching 1") << QVector<QPointF>{{0, 1}, {1, 3}} << QVector<QPointF>{{0, 1}, {1, 3}};
}

void TstChartData::clampBelow()
{
    QFETCH(QVector<QPointF>, line);
    QFETCH(QVector<QPointF>, clamped);
    QCOMPARE(placeva::clampBelow(line, 1), clamped);
}

void TstChartData::stripes_data()
{
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<QVector<double>>("edges"); // from, to of each stripe shown
    QTest::newRow("1 to 20000") << 1.0 << 20000.0
                                << QVector<double>{1,   40,  40,   100,  100,  350,  350,   600,   600,
                                                   800, 800, 2000, 2000, 5000, 5000, 11000, 11000, 20000};
    QTest::newRow("350 to 700") << 350.0 << 700.0 << QVector<double>{350, 600, 600, 700};
    QTest::newRow("inside one band") << 120.0 << 300.0 << QVector<double>{120, 300};
    QTest::newRow("ranks below 1") << -500.0 << 50.0 << QVector<double>{-500, 40, 40, 50};
    QTest::newRow("past the last bound") << 20000.0 << 90000.0 << QVector<double>{20000, 90000};
}

void TstChartData::stripes()
{
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    QFETCH(QVector<double>, edges);
    const QVector<BandStripe> s = visibleStripes(yMin, yMax);
    QCOMPARE(s.size() * 2, edges.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        QCOMPARE(s[i].from, edges[2 * i]);
        QCOMPARE(s[i].to, edges[2 * i + 1]);
        // Every whole rank inside the stripe is banded with its text.
        const double lo = std::max(std::floor(s[i].from) + 1, -1e6);
        const double hi = std::min(std::ceil(s[i].to), 1e6);
        for (const double r : {lo, std::floor((lo + hi) / 2), hi})
            QCOMPARE(bandOf(std::int32_t(r)), s[i].band);
    }
}

void TstChartData::ticks_data()
{
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("minStep");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("last");
    QTest::newRow("averages 0.3 to 97.2") << 0.3 << 97.2 << 0.0 << 10.0 << 10.0 << 90.0;
    QTest::newRow("averages -33.33 to 12") << -33.33 << 12.0 << 0.0 << 5.0 << -30.0 << 10.0;
    QTest::newRow("ranks -540 to 18540") << -540.0 << 18540.0 << 1.0 << 2000.0 << 0.0 << 18000.0;
    QTest::newRow("ranks 3 to 5: whole steps") << 3.0 << 5.0 << 1.0 << 1.0 << 3.0 << 5.0;
    QTest::newRow("one rank") << 7.0 << 7.0 << 1.0 << 1.0 << 6.0 << 8.0;
    QTest::newRow("narrow averages") << 12.312 << 12.368 << 0.0 << 0.01 << 12.32 << 12.36;
}

void TstChartData::ticks()
{
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(double, minStep);
    QFETCH(double, step);
    QFETCH(double, first);
    QFETCH(double, last);
    const AxisTicks t = niceTicks(lo, hi, 10, minStep);
    QCOMPARE(t.step, step);
    QVERIFY(t.values.size() >= 2 && t.values.size() <= 12);
    QCOMPARE(common::shortestText(t.values.first()), common::shortestText(first));
    QCOMPARE(common::shortestText(t.values.last()), common::shortestText(last));
    for (double v : t.values)
        QVERIFY(v >= t.min && v <= t.max);
    // Labels in the shortest form, all different.
    std::set<QString> labels;
    for (double v : t.values)
        labels.insert(common::shortestText(v));
    QCOMPARE(qsizetype(labels.size()), t.values.size());
}

void TstChartData::onePerPixel_data()
{
    QTest::addColumn<bool>("logY");
    QTest::addColumn<QVector<QPointF>>("points");
    QTest::addColumn<QVector<qsizetype>>("kept");
    // A 100 x 100 plot over x 0..100 and rank 0..1000 (or 1..1000 on a log axis).
    QTest::newRow("same pixel, the first kept")
        << false << QVector<QPointF>{{10.2, 100.1}, {10.7, 105}, {10.1, 109.9}} << QVector<qsizetype>{0};
    QTest::newRow("neighbouring pixels")
        << false << QVector<QPointF>{{10.2, 100}, {11.2, 100}, {10.2, 110}} << QVector<qsizetype>{0, 1, 2};
    QTest::newRow("order kept") << false << QVector<QPointF>{{50, 500}, {10, 100}, {50.5, 500}, {10.5, 100}}
                                << QVector<qsizetype>{0, 1};
    QTest::newRow("outside the plot left out")
        << false << QVector<QPointF>{{-1, 100}, {101, 100}, {50, -5}, {50, 1001}, {50, 500}}
        << QVector<qsizetype>{4};
    QTest::newRow("far edges belong to the last pixel")
        << false << QVector<QPointF>{{100, 1000}, {99.5, 995}} << QVector<qsizetype>{0};
    QTest::newRow("log axis: ranks of 0 and below left out")
        << true << QVector<QPointF>{{10, 0}, {10, -5}, {10, 1}, {10, 1000}} << QVector<qsizetype>{2, 3};
    QTest::newRow("log axis: 1 and 1.05 share a pixel, 10 does not")
        << true << QVector<QPointF>{{10, 1}, {10, 1.05}, {10, 10}} << QVector<qsizetype>{0, 2};
}

void TstChartData::onePerPixel()
{
    QFETCH(bool, logY);
    QFETCH(QVector<QPointF>, points);
    QFETCH(QVector<qsizetype>, kept);
    PlotMapping m;
    m.size = QSizeF(100, 100);
    m.xMin = 0;
    m.xMax = 100;
    m.yMin = logY ? 1 : 0;
    m.yMax = 1000;
    m.logY = logY;
    QCOMPARE(placeva::onePerPixel(points, m), kept);
}

void TstChartData::onePerPixelCoversEveryPixelOnce()
{
    PlotMapping m;
    m.size = QSizeF(640.5, 380);
    m.xMin = -35;
    m.xMax = 105;
    m.yMin = 1;
    m.yMax = 30000;
    QRandomGenerator g(7);
    QVector<QPointF> points;
    const auto between = [&g](double lo, double hi) { return lo + g.generateDouble() * (hi - lo); };
    for (int i = 0; i < 100000; ++i)
        points.append(QPointF(between(-40, 110), g.bounded(2) ? between(-10, 31000) : 5000 + i % 7));
    const QVector<qsizetype> kept = placeva::onePerPixel(points, m);
    std::set<std::pair<int, int>> drawn;
    for (qsizetype i : kept) {
        const QPoint p = *m.pixel(points[i]);
        QVERIFY(drawn.insert({p.x(), p.y()}).second);
    }
    for (const QPointF &p : std::as_const(points))
        if (const std::optional<QPoint> px = m.pixel(p))
            QVERIFY(drawn.count({px->x(), px->y()}));
}

QTEST_GUILESS_MAIN(TstChartData)
#include "tst_chartdata.moc"
