// Times what the likely rank ranges add to a statistics pass: the
// leave-one-out errors of the reference table, then the range of every
// applicant that has a rank. Prints milliseconds, median of several runs, both
// elapsed and on the processor (the latter holds on a machine busy with other
// work).

#include "core/rankrange.h"
#include "core/stats.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace placeva;

namespace {

// The same kind of tables as the pass's benchmark: averages with two decimals
// (many ties), ranks falling as averages rise, with noise.
QVector<ReferenceRow> makeReferences(int count, QRandomGenerator &g)
{
    QVector<ReferenceRow> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double avg = g.bounded(0, 8000) / 100.0;
        const int rank = std::max(1, int((80.0 - avg) * 400.0) + g.bounded(-50, 50));
        rows.append({avg, qlonglong(rank)});
    }
    return rows;
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    const int applicants = 100000;
    const int references = 10000;
    QRandomGenerator g(20240614u);
    const QVector<ReferenceRow> rows = makeReferences(references, g);
    const RankModel estimator(rows, QStringLiteral("1.00"));

    // The looked-up averages and ranks the pass has already computed.
    struct Lookup
    {
        float avg;
        std::int32_t rank;
    };
    std::vector<Lookup> lookups;
    lookups.reserve(applicants);
    for (int i = 0; i < applicants; ++i) {
        const double avg = g.bounded(-1000, 8000) / 100.0;
        const std::optional<float> a = estimator.scaled(avg);
        const std::optional<std::int32_t> r = estimator.estimate(avg);
        if (a && r)
            lookups.push_back({*a, *r});
    }

    std::vector<double> buildMs, rangeMs, totalMs, cpuTotalMs;
    long long ranged = 0;
    for (int run = 0; run < 7; ++run) {
        const double cpuStart = cpuMs();
        QElapsedTimer timer;
        timer.start();
        const LikelyRanks ranks(estimator.points());
        const qint64 built = timer.nsecsElapsed();
        ranged = 0;
        for (const Lookup &l : lookups) {
            if (ranks.range(l.avg, l.rank))
                ++ranged;
        }
        const qint64 all = timer.nsecsElapsed();
        buildMs.push_back(built / 1e6);
        rangeMs.push_back((all - built) / 1e6);
        totalMs.push_back(all / 1e6);
        cpuTotalMs.push_back(cpuMs() - cpuStart);
    }

    std::printf("%d applicants (%zu ranked, %lld with a range), %d reference rows\n", applicants,
                lookups.size(), ranged, references);
    std::printf("errors of the reference table: %.2f ms\n", median(buildMs));
    std::printf("ranges of the applicants:      %.2f ms\n", median(rangeMs));
    std::printf(
        "added to a pass:               %.2f ms, %.2f ms on the processor (median of 7, target 50 ms)\n",
        median(totalMs), median(cpuTotalMs));
    return 0;
}
