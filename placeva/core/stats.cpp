#include "core/stats.h"

#include "numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace placeva {

namespace {

// The value the highest/lowest choice compares: the listed text read back.
// Only a value at the very top of the double range may not read back (its
// 15-digit text rounds past it); the value itself stands in then.
double listedValue(const QString &text, double value)
{
    try {
        return common::leadingNumber(text);
    } catch (const common::NumberError &) {
        return value;
    }
}

// An applicant with an average, for the highest/lowest choice.
struct Averaged
{
    qsizetype row;
    double value; // the listed value where `exact`, else the stored number
    bool exact;   // a TEXT average, read back when it was collected
};

// The applicant with the highest (or lowest) listed value, the one listed
// later among equals; -1 when no applicant has an average. Reading every
// listed text back is slow, but the listed value of a stored number is a
// monotone function of it and within 1e-14 of it: the stored numbers find
// the extreme, and only the near ties are read back.
qsizetype lastExtreme(const std::vector<Averaged> &averaged, const QVector<ApplicantRow> &applicants,
                      bool highest)
{
    const auto beyond = [highest](double a, double b) { return highest ? a > b : a < b; };
    const auto listed = [&applicants](const Averaged &a) {
        return a.exact ? a.value : listedValue(cellText(applicants[a.row].avg), a.value);
    };

    std::optional<double> extreme;
    const Averaged *extremeNumber = nullptr;
    for (const Averaged &a : averaged) {
        if (a.exact) {
            if (!extreme || beyond(a.value, *extreme))
                extreme = a.value;
        } else if (!extremeNumber || beyond(a.value, extremeNumber->value)) {
            extremeNumber = &a;
        }
    }
    if (extremeNumber) {
        const double v = listed(*extremeNumber);
        if (!extreme || beyond(v, *extreme))
            extreme = v;
    }
    if (!extreme)
        return -1;

    for (auto it = averaged.crbegin(); it != averaged.crend(); ++it) {
        const bool near = it->exact || std::abs(it->value - *extreme) <= 1e-14 * std::abs(it->value) + 1e-307;
        if (near && listed(*it) == *extreme)
            return it->row;
    }
    return -1; // not reached: the extreme came from one of them
}

} // namespace

QString rankText(const std::optional<std::int32_t> &rank)
{
    return rank ? QString::number(*rank) : QString();
}

const std::array<BandBound, 8> &bandTable()
{
    static const std::array<BandBound, 8> table{{
        {40, Band::AllUniversities},
        {100, Band::GoodDay},
        {350, Band::PoorDayGoodEvening},
        {600, Band::Evening},
        {800, Band::LocalEveningVeryGoodPrivate},
        {2000, Band::GoodPrivate},
        {5000, Band::MiddlePrivate},
        {11000, Band::PoorPrivate},
    }};
    return table;
}

Band bandOf(std::int32_t rank)
{
    for (const BandBound &b : bandTable())
        if (rank <= b.upTo) // ranks below 1 land in the first band
            return b.band;
    return Band::Beyond;
}

std::uint8_t admissionCode(Band band)
{
    switch (band) {
    case Band::AllUniversities:
    case Band::GoodDay:
    case Band::PoorDayGoodEvening: return 123;
    case Band::Evening: return 23;
    case Band::LocalEveningVeryGoodPrivate:
    case Band::GoodPrivate:
    case Band::MiddlePrivate:
    case Band::PoorPrivate: return 3;
    case Band::Beyond:
    case Band::NoRank: break;
    }
    return 0;
}

PassResult statisticsPass(const QVector<ApplicantRow> &applicants, const QVector<ReferenceRow> &references,
                          const QString &factorText)
{
    auto model = std::make_shared<const RankModel>(references, factorText);
    const RankModel &estimator = *model;

    PassResult r;
    PassSummary &sum = r.summary;
    r.applicants.resize(applicants.size());
    ApplicantResult *out = r.applicants.data();

    // Counters and totals wide enough never to overflow.
    qint64 rankTotal = 0, ranked = 0;
    double averageTotal = 0;
    std::vector<Averaged> averaged;
    averaged.reserve(std::size_t(applicants.size()));

    for (qsizetype i = 0; i < applicants.size(); ++i) {
        const ApplicantRow &row = applicants[i];
        ApplicantResult &a = out[i];
        a.name = cellText(row.name);

        const std::optional<double> avg = cellNumber(row.avg);
        a.average = avg;
        const std::optional<float> scaled = avg ? estimator.scaled(*avg) : std::nullopt;
        a.rank = scaled ? estimator.rankAtScaled(*scaled) : std::nullopt;
        if (a.rank) {
            a.band = bandOf(*a.rank);
            switch (admissionCode(a.band)) {
            case 123: ++sum.count123; break;
            case 23: ++sum.count23; break;
            case 3: ++sum.count3; break;
            default: ++sum.count0; break;
            }
            rankTotal += *a.rank;
            ++ranked;
            a.range = estimator.likelyRange(*scaled, *a.rank);
        }

        if (avg) {
            averageTotal += *avg;
            const bool isText = !isNumberCell(row.avg);
            averaged.push_back({i, isText ? listedValue(cellText(row.avg), *avg) : *avg, isText});
        }
    }

    sum.count = applicants.size();
    if (const qsizetype highest = lastExtreme(averaged, applicants, true); highest >= 0)
        sum.highest = highest;
    if (const qsizetype lowest = lastExtreme(averaged, applicants, false); lowest >= 0)
        sum.lowest = lowest;
    if (!averaged.empty()) {
        const double count = double(averaged.size());
        double mean = averageTotal / count;
        if (!std::isfinite(mean)) {
            // The sum left the double range; summing the shares cannot.
            mean = 0;
            for (const ApplicantRow &row : applicants)
                if (const std::optional<double> v = cellNumber(row.avg))
                    mean += *v / count;
        }
        sum.meanAverage = mean;
    }
    if (ranked > 0)
        sum.meanRank = qint64(std::floor(double(rankTotal) / double(ranked)));
    sum.typicalError = estimator.typicalError();
    r.leftOut = estimator.leftOut();
    r.model = std::move(model);
    return r;
}

} // namespace placeva
