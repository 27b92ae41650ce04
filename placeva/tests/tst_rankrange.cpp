// The likely rank range against a plain reading of its rule (a scan and a
// full sort for every lookup) on random reference tables, and the choice
// list's verdicts at every limit.

#include "core/choices.h"
#include "core/rankrange.h"
#include "core/stats.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace placeva;

Q_DECLARE_METATYPE(std::optional<LikelyRange>)
Q_DECLARE_METATYPE(std::optional<Verdict>)

namespace {

using I32 = std::numeric_limits<std::int32_t>;

struct Plain
{
    float avg;
    std::int32_t rank;
};

struct PlainError
{
    float avg;
    std::int64_t error;
};

// The segment formula step by step: 32-bit rank difference, single average
// difference, double slope, single offset, rounding half to even.
std::optional<std::int32_t> plainSegment(Plain a, Plain b, float x)
{
    const std::int64_t rankDiff = std::int64_t(b.rank) - a.rank;
    const float avgDiff = b.avg - a.avg;
    const float offset = x - a.avg;
    if (rankDiff < I32::min() || rankDiff > I32::max() || avgDiff == 0 || std::isinf(avgDiff)
        || std::isinf(offset))
        return std::nullopt;
    const double sum = a.rank + double(offset) * (double(rankDiff) / double(avgDiff));
    if (!std::isfinite(sum))
        return std::nullopt;
    const double r = std::nearbyint(sum); // the default mode rounds halves to even
    if (r < I32::min() || r > I32::max())
        return std::nullopt;
    return std::int32_t(r);
}

// The test's averages are multiples of 2^-60 below 2^66, so their distances
// are exact as integers.
__int128 exactDistance(float a, float b)
{
    const __int128 d = __int128(std::ldexp(double(a), 60)) - __int128(std::ldexp(double(b), 60));
    return d < 0 ? -d : d;
}

struct PlainTable
{
    std::vector<Plain> points;
    std::vector<PlainError> errors;

    explicit PlainTable(const QVector<ReferenceRow> &rows)
    {
        for (const ReferenceRow &r : rows)
            points.push_back({float(r.avg.toDouble()), std::int32_t(r.rotbeh.toLongLong())});
        for (std::size_t i = points.size(); i-- > 1;) { // bubble sort: equal averages stay
            for (std::size_t j = 0; j < i; ++j) {
                if (points[j].avg > points[j + 1].avg)
                    std::swap(points[j], points[j + 1]);
            }
        }
        for (std::size_t j = 1; j + 1 < points.size(); ++j) {
            if (const auto est = plainSegment(points[j - 1], points[j + 1], points[j].avg))
                errors.push_back({points[j].avg, std::int64_t(points[j].rank) - *est});
        }
    }

    std::optional<std::int64_t> typical() const
    {
        if (errors.empty())
            return std::nullopt;
        std::vector<std::int64_t> m;
        for (const PlainError &e : errors)
            m.push_back(std::abs(e.error));
        std::sort(m.begin(), m.end());
        return m[(m.size() - 1) / 2];
    }

    std::optional<LikelyRange> range(float a, std::int32_t rank) const
    {
        if (errors.size() < 5)
            return std::nullopt;
        std::vector<std::size_t> order(errors.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
            const __int128 dx = exactDistance(errors[x].avg, a);
            const __int128 dy = exactDistance(errors[y].avg, a);
            return dx != dy ? dx < dy : x < y;
        });
        const std::size_t k = std::min<std::size_t>(20, errors.size());
        std::vector<std::int64_t> e;
        for (std::size_t i = 0; i < k; ++i)
            e.push_back(errors[order[i]].error);
        std::sort(e.begin(), e.end());
        const std::int64_t best = rank + e[std::size_t(std::ceil(0.1 * double(k) - 1e-9)) - 1];
        const std::int64_t worst = rank + e[std::size_t(std::ceil(0.9 * double(k) - 1e-9)) - 1];
        if (best < I32::min() || best > I32::max() || worst < I32::min() || worst > I32::max())
            return std::nullopt;
        return LikelyRange{std::int32_t(best), std::int32_t(worst)};
    }
};

// Averages on a coarse grid (many ties and equal neighbours), anywhere in a
// wide band, or tiny and huge ones; all multiples of 2^-60 below 2^66.
float randomAverage(QRandomGenerator &g, int mode)
{
    switch (mode == 0 ? g.bounded(4) : mode) {
    case 1: return float(g.bounded(-8, 12));
    case 2: {
        const float x = float(g.generateDouble() * 200 - 60);
        return std::abs(x) < 1e-9f ? 0.0f : x;
    }
    case 3: return std::ldexp(float(g.bounded(-1000, 1000)), g.bounded(2) ? -36 : 40);
    default: return float(g.bounded(-160, 480)) / 4;
    }
}

std::int32_t randomRank(QRandomGenerator &g, float avg)
{
    switch (g.bounded(12)) {
    case 0: return I32::max() - std::int32_t(g.bounded(1000));
    case 1: return I32::min() + std::int32_t(g.bounded(1000));
    case 2: return std::int32_t(g.bounded(-500, 500));
    default: // falling with the average, with noise
        return std::int32_t(std::clamp<double>(std::round(20000 - 150 * double(avg)), -1e9, 1e9))
            + g.bounded(-300, 300);
    }
}

void compareRange(const std::optional<LikelyRange> &got, const std::optional<LikelyRange> &want, float avg,
                  std::int32_t rank, int table)
{
    const QByteArray where = QByteArray("table ") + QByteArray::number(table) + " avg "
        + QByteArray::number(double(avg), 'g', 9) + " rank " + QByteArray::number(rank);
    QVERIFY2(got.has_value() == want.has_value(), where.constData());
    if (want) {
        QVERIFY2(got->best == want->best, where.constData());
        QVERIFY2(got->worst == want->worst, where.constData());
    }
}

} // namespace

class TestRankRange : public QObject
{
    Q_OBJECT

private slots:
    void againstPlainRule()
    {
        QRandomGenerator g(14);
        for (int table = 0; table < 1500; ++table) {
            const int n = g.bounded(3) == 0 ? g.bounded(0, 9) : g.bounded(9, 80);
            const int mode = g.bounded(5) == 0 ? 0 : g.bounded(4); // one kind of average, or mixed
            QVector<ReferenceRow> rows;
            for (int i = 0; i < n; ++i) {
                const float avg = randomAverage(g, mode);
                rows.append({double(avg), qlonglong(randomRank(g, avg))});
            }

            const RankModel estimator(rows, QStringLiteral("1"));
            const LikelyRanks ranks(estimator.points());
            const PlainTable plain(rows);

            QCOMPARE(ranks.errorPoints().size(), plain.errors.size());
            for (std::size_t i = 0; i < plain.errors.size(); ++i) {
                QVERIFY(ranks.errorPoints()[i].avg == plain.errors[i].avg); // exactly, not fuzzily
                QCOMPARE(ranks.errorPoints()[i].error, plain.errors[i].error);
            }
            QCOMPARE(ranks.typicalError(), plain.typical());

            // Lookups at the points, between them, beyond the first and last.
            for (int q = 0; q < 40; ++q) {
                float a;
                if (q < 8 && !plain.points.empty())
                    a = plain.points[std::size_t(g.bounded(n))].avg;
                else if (q < 12 && !plain.points.empty())
                    a = q % 2 ? plain.points.front().avg - 1 : plain.points.back().avg + 1000;
                else
                    a = randomAverage(g, 0);
                const std::int32_t rank =
                    g.bounded(4) == 0 ? randomRank(g, a) : std::int32_t(g.bounded(-100, 30000));
                compareRange(ranks.range(a, rank), plain.range(a, rank), a, rank, table);
            }
        }
    }

    void verdict_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("rank");
        QTest::addColumn<std::optional<LikelyRange>>("range");
        QTest::addColumn<std::optional<Verdict>>("verdict");

        const auto row = [](const QString &name, const QString &choice, int rank,
                            std::optional<LikelyRange> range, std::optional<Verdict> verdict) {
            QTest::newRow(name.toUtf8().constData()) << choice << rank << range << verdict;
        };
        for (const QString &choice : choiceNames()) {
            const std::optional<std::int32_t> limit = admissionLimit(choice);
            if (!limit)
                continue;
            const int l = *limit;
            row(choice + QStringLiteral(" worst at limit"), choice, l, LikelyRange{l - 3, l}, Verdict::Safe);
            row(choice + QStringLiteral(" worst past limit"), choice, l, LikelyRange{l - 3, l + 1},
                Verdict::Likely);
            row(choice + QStringLiteral(" best at limit"), choice, l + 1, LikelyRange{l, l + 5},
                Verdict::Reach);
            row(choice + QStringLiteral(" best past limit"), choice, l + 1, LikelyRange{l + 1, l + 5},
                Verdict::Out);
            row(choice + QStringLiteral(" no range, at limit"), choice, l, std::nullopt, Verdict::Likely);
            row(choice + QStringLiteral(" no range, past limit"), choice, l + 1, std::nullopt, Verdict::Out);
        }
        const QString first = choiceNames().first();    // limit 40
        const QString unlimited = choiceNames().at(23); // no limit
        row(QStringLiteral("empty priority"), QString(), 5, LikelyRange{1, 9}, std::nullopt);
        row(QStringLiteral("choice without a limit"), unlimited, 1, LikelyRange{1, 1}, Verdict::Out);
        row(QStringLiteral("estimate 0"), first, 0, LikelyRange{-5, 3}, Verdict::Out);
        row(QStringLiteral("worst likely rank below 1"), first, 2, LikelyRange{-10, -1}, Verdict::Safe);
        row(QStringLiteral("range below the estimate"), first, 50, LikelyRange{-3, 20}, Verdict::Reach);
        row(QStringLiteral("range above the estimate"), first, 30, LikelyRange{35, 60}, Verdict::Likely);
    }

    void verdict()
    {
        QFETCH(QString, choice);
        QFETCH(int, rank);
        QFETCH(std::optional<LikelyRange>, range);
        QFETCH(std::optional<Verdict>, verdict);
        QCOMPARE(choiceVerdict(choice, rank, range), verdict);
    }
};

QTEST_GUILESS_MAIN(TestRankRange)
#include "tst_rankrange.moc"
