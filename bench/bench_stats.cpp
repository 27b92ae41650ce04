// Times the statistics pass on large tables, and the literal per-applicant
// method (re-read, bubble sort and linear search for every applicant) at the
// sizes where it still finishes, so that the two can be set side by side.
// Prints milliseconds (median of several runs) and the peak resident size.
// The fast pass includes every applicant's likely rank range (bench_rankrange
// times that part alone); on large tables it shares its rows out over the
// cores, and is timed again held to one thread.

#include "core/stats.h"
#include "testsupport/literal_pass.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <vector>

using namespace placeva;

namespace {

struct Tables
{
    QVector<ApplicantRow> applicants;
    QVector<ReferenceRow> references;
};

// Averages and ranks as real tables hold them: REAL averages with two
// decimals (many ties), a few missing ones, ranks falling as averages rise.
Tables makeTables(int applicants, int references)
{
    QRandomGenerator g(20240601u + quint32(applicants) + quint32(references));
    Tables t;
    t.applicants.reserve(applicants);
    for (int i = 0; i < applicants; ++i) {
        const QVariant avg = g.bounded(100) == 0 ? QVariant() : QVariant(g.bounded(-1000, 8000) / 100.0);
        t.applicants.append({QStringLiteral("Applicant %1").arg(i), avg});
    }
    t.references.reserve(references);
    for (int i = 0; i < references; ++i) {
        const double avg = g.bounded(0, 8000) / 100.0;
        const int rank = std::max(1, int((80.0 - avg) * 400.0) + g.bounded(-50, 50));
        t.references.append({avg, qlonglong(rank)});
    }
    return t;
}

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Applicants a pass listed, whichever form it returns.
qsizetype listed(const PassResult &r)
{
    return r.applicants.size();
}
qsizetype listed(const literal::PassTexts &r)
{
    return r.list1.size() / 2;
}

template <typename Pass> double medianMs(const Tables &t, int runs, Pass pass)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto r = pass(t.applicants, t.references, QStringLiteral("1.00"));
        ms.push_back(timer.nsecsElapsed() / 1e6);
        if (listed(r) != t.applicants.size())
            std::fprintf(stderr, "unexpected list size\n");
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    // "bench_stats large" times only the large tables.
    const bool largeOnly = argc > 1 && std::strcmp(argv[1], "large") == 0;
    std::printf("%-8s %12s %12s %12s\n", "method", "applicants", "references", "ms (median)");

    // The large tables first, on a fresh heap.
    const Tables big = makeTables(100000, 10000);
    const long before = maxRssKb();
    const double ms = medianMs(big, 7, statisticsPass);
    const long after = maxRssKb();
    std::printf("%-8s %12d %12d %12.1f\n", "fast", 100000, 10000, ms);
    std::printf("peak resident size: %ld KiB before the large passes, %ld KiB after\n", before, after);
    // The same pass held to one thread, for what the other cores bring.
    setPassThreads(1);
    std::printf("%-8s %12d %12d %12.1f\n", "1 thread", 100000, 10000, medianMs(big, 7, statisticsPass));
    setPassThreads(0);
    if (largeOnly)
        return 0;

    const struct
    {
        int applicants, references, runs;
    } literalSizes[] = {{1000, 100, 3}, {3000, 300, 3}, {10000, 1000, 1}};
    for (const auto &s : literalSizes) {
        const Tables t = makeTables(s.applicants, s.references);
        std::printf("%-8s %12d %12d %12.1f\n", "fast", s.applicants, s.references,
                    medianMs(t, 5, statisticsPass));
        std::printf("%-8s %12d %12d %12.1f\n", "literal", s.applicants, s.references,
                    medianMs(t, s.runs, literal::statisticsPass));
    }

    return 0;
}
