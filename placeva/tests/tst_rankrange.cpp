// The likely rank range and a choice list's chances against a plain reading
// of their rules (a scan and a full sort for every lookup) on random
// reference tables, and the choice list's verdicts at every limit.

#include "core/chances.h"
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

    // The k nearest errors, ascending; none below five error points.
    std::vector<std::int64_t> nearest(float a) const
    {
        if (errors.size() < 5)
            return {};
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
        return e;
    }

    std::optional<LikelyRange> range(float a, std::int32_t rank) const
    {
        const std::vector<std::int64_t> e = nearest(a);
        if (e.empty())
            return std::nullopt;
        const std::size_t k = e.size();
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

// The chance rule read plainly: every possible rank walked down the list.
struct PlainOutcome
{
    std::vector<std::optional<int>> percent;
    int notAdmitted = 0;
    bool noSafetyNet = false;
    std::vector<std::optional<int>> deadBy; // -1: no limit
};

PlainOutcome plainOutcome(const std::vector<PriorityLimit> &list, std::int32_t rank,
                          const std::vector<std::int64_t> &nearest)
{
    std::vector<std::int64_t> possible;
    for (std::int64_t e : nearest)
        possible.push_back(rank + e);
    if (possible.empty())
        possible.push_back(rank);
    const auto landing = [&](std::int64_t r) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].chosen && list[i].limit && (r < 1 || r <= *list[i].limit))
                return int(i);
        return -1;
    };
    std::vector<int> count(list.size() + 1, 0);
    for (std::int64_t r : possible)
        ++count[std::size_t(landing(r) + 1)];
    const auto percent = [&](int c) { return int(std::nearbyint(100.0 * c / double(possible.size()))); };
    PlainOutcome out;
    out.notAdmitted = percent(count[0]);
    for (std::size_t i = 0; i < list.size(); ++i) {
        out.percent.push_back(list[i].chosen ? std::optional<int>(percent(count[i + 1])) : std::nullopt);
        std::optional<int> dead;
        if (list[i].chosen && !list[i].limit)
            dead = -1;
        for (std::size_t j = 0; list[i].chosen && list[i].limit && !dead && j < i; ++j)
            if (list[j].chosen && list[j].limit && *list[j].limit >= *list[i].limit)
                dead = int(j);
        out.deadBy.push_back(dead);
    }
    const std::int64_t worst =
        nearest.empty() ? rank : rank + nearest[std::size_t(std::ceil(0.9 * double(nearest.size()) - 1e-9)) - 1];
    out.noSafetyNet = landing(worst) < 0;
    return out;
}

// Ten priorities: empty, a choice without a limit, a limit at one of the
// possible ranks (ties), near them, or anywhere; now and then a loose first
// priority that leaves every later one dead, or an empty list.
std::vector<PriorityLimit> randomList(QRandomGenerator &g, const std::vector<std::int64_t> &possible)
{
    std::vector<PriorityLimit> list(10);
    const int kind = g.bounded(10);
    if (kind == 0)
        return list;
    for (PriorityLimit &p : list) {
        p.chosen = g.bounded(4) != 0;
        const std::int64_t near = possible[std::size_t(g.bounded(int(possible.size())))];
        switch (g.bounded(6)) {
        case 0: break;
        case 1:
        case 2: p.limit = std::int32_t(std::clamp<std::int64_t>(near, 1, I32::max())); break;
        case 3: p.limit = std::int32_t(std::clamp<std::int64_t>(near + g.bounded(-30, 30), 1, I32::max())); break;
        case 4: p.limit = std::int32_t(g.bounded(1, 20000)); break;
        default: p.limit = I32::max() - std::int32_t(g.bounded(3)); break;
        }
    }
    if (kind == 1)
        list[0] = {true, I32::max()};
    return list;
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

    void chancesAgainstPlainRule()
    {
        QRandomGenerator g(19);
        for (int table = 0; table < 600; ++table) {
            const int n = g.bounded(3) == 0 ? g.bounded(0, 12) : g.bounded(12, 60); // k < 20, no range
            QVector<ReferenceRow> rows;
            for (int i = 0; i < n; ++i) {
                const float avg = randomAverage(g, 4);
                rows.append({double(avg), qlonglong(randomRank(g, avg))});
            }
            const RankModel estimator(rows, QStringLiteral("1"));
            const LikelyRanks ranks(estimator.points());
            const PlainTable plain(rows);
            for (int q = 0; q < 20; ++q) {
                const float a = randomAverage(g, 4);
                const std::int32_t rank = g.bounded(5) == 0 ? randomRank(g, a) : std::int32_t(g.bounded(-50, 20000));
                const std::vector<std::int64_t> want = plain.nearest(a);
                std::vector<std::int64_t> got = ranks.nearestErrors(a);
                std::sort(got.begin(), got.end());
                QCOMPARE(got, want);

                std::vector<std::int64_t> possible{rank};
                for (std::int64_t e : want)
                    possible.push_back(rank + e);
                const std::vector<PriorityLimit> list = randomList(g, possible);
                const QByteArray where = "table " + QByteArray::number(table) + " query " + QByteArray::number(q);
                QVERIFY2(!listChances(list, std::nullopt, got), where.constData());
                const std::optional<ListChances> c = listChances(list, rank, got);
                QVERIFY2(c, where.constData());
                const PlainOutcome p = plainOutcome(list, rank, want);
                QVERIFY2(c->percent == p.percent, where.constData());
                QVERIFY2(c->notAdmitted == p.notAdmitted, where.constData());
                QVERIFY2(c->noSafetyNet == p.noSafetyNet, where.constData());
                const std::vector<std::optional<DeadPriority>> dead = deadPriorities(list);
                for (std::size_t i = 0; i < list.size(); ++i) {
                    const std::optional<int> by = dead[i] ? std::optional<int>(dead[i]->byEarlier.value_or(-1))
                                                          : std::nullopt;
                    QVERIFY2(by == p.deadBy[i], where.constData());
                    // A dead priority never wins.
                    QVERIFY2(!dead[i] || c->percent[i] == 0, where.constData());
                }
            }
        }
    }

    void wholePercent_data()
    {
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("whole");
        QTest::addColumn<int>("percent");
        QTest::newRow("1 of 8: 12.5 to 12") << 1 << 8 << 12;
        QTest::newRow("3 of 8: 37.5 to 38") << 3 << 8 << 38;
        QTest::newRow("1 of 3: 33.3") << 1 << 3 << 33;
        QTest::newRow("2 of 3: 66.7") << 2 << 3 << 67;
        QTest::newRow("7 of 7") << 7 << 7 << 100;
        QTest::newRow("0 of 5") << 0 << 5 << 0;
    }

    void wholePercent()
    {
        QFETCH(int, part);
        QFETCH(int, whole);
        QFETCH(int, percent);
        QCOMPARE(placeva::wholePercent(part, whole), percent);
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
