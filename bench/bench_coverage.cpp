// How often an applicant's true rank falls inside the likely range, and how
// well the choice list's chances match what happens, on simulated exam years.
// Each year every candidate has an ability; a subject's percentage is the
// ability seen through that subject's difficulty, spread and noise, under
// negative marking. The exam ranks candidates by their standardised subject
// scores (each subject's z-score, weighted as the average weighs it), not by
// the average itself, which is where the estimate's error comes from. A
// counsellor's reference results are drawn from the year's candidates, and so
// are the applicants; each applicant's estimated rank and likely range come
// from the statistics pass and are held against the applicant's true rank.
// Deterministic: the same seeds give the same figures. Prints a table.

#include "core/chances.h"
#include "core/stats.h"
#include "core/subjects.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

using namespace placeva;

namespace {

constexpr int kCandidateCount = 30000; // one year's candidates
constexpr int kApplicantCount = 2000;  // a counsellor's applicants, drawn from them
constexpr int kYears = 20;

struct Candidate
{
    double average; // the weighted average of the percentages, as Formol holds it
    int rank;       // by standardised scores, 1 the best
};

double normal(QRandomGenerator &g)
{
    // Box-Muller; the generator never gives exactly 0 after the shift.
    const double u = 1.0 - g.generateDouble();
    const double v = g.generateDouble();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * v);
}

std::vector<Candidate> simulateYear(QRandomGenerator &g)
{
    const auto subjects = kReferences.subjects();
    const std::size_t s = subjects.size();
    // Each subject its own difficulty, spread and link to the ability.
    std::vector<double> mean(s), spread(s), link(s);
    for (std::size_t j = 0; j < s; ++j) {
        mean[j] = 15 + 30 * g.generateDouble();
        spread[j] = 10 + 12 * g.generateDouble();
        link[j] = 0.55 + 0.35 * g.generateDouble();
    }
    std::vector<std::vector<double>> percent(kCandidateCount, std::vector<double>(s));
    for (auto &p : percent) {
        const double ability = normal(g);
        for (std::size_t j = 0; j < s; ++j) {
            const double raw = mean[j]
                + spread[j] * (link[j] * ability + std::sqrt(1 - link[j] * link[j]) * normal(g));
            p[j] = std::round(std::clamp(raw, -100.0 / 3, 100.0) * 10) / 10; // one decimal
        }
    }
    // Standardised scores: each subject's z-score over the year, weighted.
    std::vector<double> mu(s, 0), sd(s, 0);
    for (const auto &p : percent)
        for (std::size_t j = 0; j < s; ++j)
            mu[j] += p[j] / kCandidateCount;
    for (const auto &p : percent)
        for (std::size_t j = 0; j < s; ++j)
            sd[j] += (p[j] - mu[j]) * (p[j] - mu[j]) / kCandidateCount;
    std::vector<double> score(kCandidateCount, 0);
    std::vector<Candidate> year(kCandidateCount);
    for (int i = 0; i < kCandidateCount; ++i) {
        double total = 0;
        for (std::size_t j = 0; j < s; ++j) {
            score[i] += subjects[j].weight * (percent[i][j] - mu[j]) / std::sqrt(sd[j]);
            total += subjects[j].weight * percent[i][j];
        }
        year[i].average = total / 18;
    }
    std::vector<int> order(kCandidateCount);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return score[a] > score[b]; });
    for (int r = 0; r < kCandidateCount; ++r)
        year[order[r]].rank = r + 1;
    return year;
}

struct Tally
{
    long inside = 0, ranged = 0, ranked = 0;
    // Chances of one-choice lists against what happened, in bins of 20 points.
    double predicted[5] = {}, admitted[5] = {};
    long lists[5] = {};
};

void measure(const std::vector<Candidate> &year, int references, QRandomGenerator &g, Tally &t)
{
    std::vector<int> picks(kCandidateCount);
    std::iota(picks.begin(), picks.end(), 0);
    std::shuffle(picks.begin(), picks.end(), g);
    QVector<ReferenceRow> refs;
    for (int i = 0; i < references; ++i)
        refs.append({year[picks[i]].average, qlonglong(year[picks[i]].rank)});
    QVector<ApplicantRow> applicants;
    std::vector<int> truth;
    for (int i = references; i < references + kApplicantCount; ++i) {
        applicants.append({QStringLiteral("A%1").arg(i), year[picks[i]].average});
        truth.push_back(year[picks[i]].rank);
    }
    const PassResult pass = statisticsPass(applicants, refs, QStringLiteral("1"));
    const QVector<ApplicantResult> &results = pass.applicants;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const ApplicantResult &a = results[i];
        if (!a.rank)
            continue;
        ++t.ranked;
        if (!a.range)
            continue;
        ++t.ranged;
        if (truth[i] >= a.range->best && truth[i] <= a.range->worst)
            ++t.inside;
        // One choice whose limit lies somewhere in the range.
        const std::int32_t limit = std::max(
            1, a.range->best + std::int32_t(g.bounded(std::max(1, a.range->worst - a.range->best + 1))));
        const std::optional<ListChances> c =
            listChances({PriorityLimit{true, limit}}, a.rank, nearestErrorsOf(pass, i));
        const int p = c ? *c->percent[0] : 0;
        const int bin = std::min(4, p / 20);
        t.predicted[bin] += p;
        t.admitted[bin] += truth[i] <= limit ? 100 : 0;
        ++t.lists[bin];
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("%d candidates a year, %d applicants, %d years; nominal coverage 80 %%\n", kCandidateCount,
                kApplicantCount, kYears);
    std::printf("references | ranked with a range | true rank inside | chance of one choice: predicted / "
                "admitted (lists) per bin\n");
    for (const int references : {50, 200, 1000}) {
        Tally t;
        for (int y = 0; y < kYears; ++y) {
            QRandomGenerator g(quint32(1000 + y));
            const std::vector<Candidate> year = simulateYear(g);
            measure(year, references, g, t);
        }
        std::printf("%10d | %8.1f %% | %6.1f %% |", references, 100.0 * double(t.ranged) / double(t.ranked),
                    100.0 * double(t.inside) / double(t.ranged));
        for (int b = 0; b < 5; ++b) {
            if (t.lists[b] > 0)
                std::printf(" %.0f/%.0f (%ld)", t.predicted[b] / double(t.lists[b]),
                            t.admitted[b] / double(t.lists[b]), t.lists[b]);
        }
        std::printf("\n");
    }
    return 0;
}
