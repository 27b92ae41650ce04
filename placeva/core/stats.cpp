#include "core/stats.h"

#include "numbers.h"

#include <algorithm>
#include <array>
#include <cstring>
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

// A row to estimate: its scaled average as a key that orders like the
// number (and tells -0 from 0, which need not estimate alike), and its place.
struct Pending
{
    std::uint32_t key;
    std::uint32_t row;
};

std::uint32_t orderKey(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

float fromOrderKey(std::uint32_t key)
{
    const std::uint32_t bits = (key & 0x80000000u) ? key & 0x7fffffffu : ~key;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Ascending by key: three passes of eleven bits, linear in the rows.
void sortByKey(std::vector<Pending> &rows)
{
    if (rows.size() < 256) {
        std::sort(rows.begin(), rows.end(), [](const Pending &a, const Pending &b) { return a.key < b.key; });
        return;
    }
    std::vector<Pending> other(rows.size());
    for (int shift = 0; shift < 32; shift += 11) {
        std::array<std::uint32_t, 2048> count{};
        for (const Pending &p : rows)
            ++count[(p.key >> shift) & 2047u];
        std::uint32_t at = 0;
        for (std::uint32_t &c : count)
            at += std::exchange(c, at);
        for (const Pending &p : rows)
            other[count[(p.key >> shift) & 2047u]++] = p;
        rows.swap(other);
    }
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
    return statisticsPassAfter(EarlierPass{}, applicants, references, factorText);
}

PassResult statisticsPassAfter(const EarlierPass &earlier, const QVector<ApplicantRow> &applicants,
                               const QVector<ReferenceRow> &references, const QString &factorText)
{
    // An earlier pass with the same reference rows and factor estimated with
    // the same model: its model and the results of rows still as they were
    // are taken over.
    const bool sameModel = earlier.result && earlier.result->model && earlier.applicants && earlier.references
        && factorText == earlier.factorText && earlier.result->applicants.size() == earlier.applicants->size()
        && sameRows(references, *earlier.references);
    auto model =
        sameModel ? earlier.result->model : std::make_shared<const RankModel>(references, factorText);
    const RankModel &estimator = *model;

    PassResult r;
    PassSummary &sum = r.summary;
    r.applicants.resize(applicants.size());
    ApplicantResult *out = r.applicants.data();
    const qsizetype reusable = sameModel ? std::min(applicants.size(), earlier.applicants->size()) : 0;

    // Counters and totals wide enough never to overflow.
    qint64 rankTotal = 0, ranked = 0;
    double averageTotal = 0;
    std::vector<Averaged> averaged;
    averaged.reserve(std::size_t(applicants.size()));

    // Rows to estimate afresh, by their scaled average.
    std::vector<Pending> pending;
    for (qsizetype i = 0; i < applicants.size(); ++i) {
        const ApplicantRow &row = applicants[i];
        ApplicantResult &a = out[i];
        if (i < reusable && sameRow(row, (*earlier.applicants)[i])) {
            a = earlier.result->applicants[i];
        } else {
            a.name = cellText(row.name);
            a.average = cellNumber(row.avg);
            if (const std::optional<float> scaled = a.average ? estimator.scaled(*a.average) : std::nullopt) {
                if (pending.empty())
                    pending.reserve(std::size_t(applicants.size() - i));
                pending.push_back({orderKey(*scaled), std::uint32_t(i)});
            }
        }
    }

    // A rank and its range depend on the scaled average alone: each value is
    // estimated once, in ascending order, so that the model's searches walk
    // its tables in step instead of all over them. Rows note which estimate is
    // theirs in a small table and take it over in order below, which keeps the
    // writes to the results in order too.
    sortByKey(pending);
    struct Estimate
    {
        std::optional<std::int32_t> rank;
        std::optional<LikelyRange> range;
        Band band = Band::NoRank;
    };
    std::vector<Estimate> estimates;
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> estimateOf(pending.empty() ? 0 : std::size_t(applicants.size()), kNone);
    std::optional<std::uint32_t> lastKey;
    for (const Pending &p : pending) {
        if (p.key != lastKey) {
            const float scaled = fromOrderKey(p.key);
            const std::optional<std::int32_t> rank = estimator.rankAtScaled(scaled);
            if (rank)
                estimates.push_back({rank, estimator.likelyRange(scaled, *rank), bandOf(*rank)});
            else
                estimates.push_back({});
            lastKey = p.key;
        }
        estimateOf[p.row] = std::uint32_t(estimates.size() - 1);
    }

    for (qsizetype i = 0; i < applicants.size(); ++i) {
        const ApplicantRow &row = applicants[i];
        ApplicantResult &a = out[i];
        if (!estimateOf.empty() && estimateOf[std::size_t(i)] != kNone) {
            const Estimate &e = estimates[estimateOf[std::size_t(i)]];
            if (e.rank) {
                a.rank = e.rank;
                a.band = e.band;
                a.range = e.range;
            }
        }
        if (a.rank) {
            switch (admissionCode(a.band)) {
            case 123: ++sum.count123; break;
            case 23: ++sum.count23; break;
            case 3: ++sum.count3; break;
            default: ++sum.count0; break;
            }
            rankTotal += *a.rank;
            ++ranked;
        }

        if (const std::optional<double> avg = a.average) {
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
