#include "core/stats.h"

#include "numbers.h"

#include <QThread>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
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

// An applicant with an average, for the highest/lowest choice and the mean.
struct Averaged
{
    double value;   // the listed value where `exact`, else the stored number
    double average; // the number the mean adds up
    std::uint32_t row;
    bool exact; // a TEXT average, read back when it was collected
};

// The highest (or lowest) of a run of averages: of the TEXT ones the listed
// value, of the stored numbers the first with the extreme number.
struct Extreme
{
    std::optional<double> exact;
    const Averaged *number = nullptr;

    static bool beyond(double a, double b, bool highest) { return highest ? a > b : a < b; }
    // Takes in an average after those taken before.
    void take(const Averaged &a, bool highest)
    {
        if (a.exact) {
            if (!exact || beyond(a.value, *exact, highest))
                exact = a.value;
        } else if (!number || beyond(a.value, number->value, highest)) {
            number = &a;
        }
    }
    // Takes in the extreme of averages after those taken before.
    void take(const Extreme &later, bool highest)
    {
        if (later.exact && (!exact || beyond(*later.exact, *exact, highest)))
            exact = later.exact;
        if (later.number && (!number || beyond(later.number->value, number->value, highest)))
            number = later.number;
    }
};

// One share of the rows, [begin, end), as one thread works through it: what
// it found to estimate, the averages in order and their extremes, then its
// counts.
struct Share
{
    qsizetype begin = 0, end = 0;
    std::vector<Pending> pending;
    std::vector<Averaged> averaged;
    Extreme highest, lowest;
    qint64 count123 = 0, count23 = 0, count3 = 0, count0 = 0, rankTotal = 0, ranked = 0;
};

// The applicant with the highest (or lowest) listed value, the one listed
// later among equals; -1 when no applicant has an average. Reading every
// listed text back is slow, but the listed value of a stored number is a
// monotone function of it and within 1e-14 of it: the stored numbers find
// the extreme (each share's found beforehand, taken in row order), and only
// the near ties are read back.
qsizetype lastExtreme(const std::vector<Share> &shares, const QVector<ApplicantRow> &applicants, bool highest)
{
    const auto listed = [&applicants](const Averaged &a) {
        return a.exact ? a.value : listedValue(cellText(applicants[a.row].avg), a.value);
    };

    Extreme all;
    for (const Share &share : shares)
        all.take(highest ? share.highest : share.lowest, highest);
    std::optional<double> extreme = all.exact;
    if (all.number) {
        const double v = listed(*all.number);
        if (!extreme || Extreme::beyond(v, *extreme, highest))
            extreme = v;
    }
    if (!extreme)
        return -1;

    for (auto share = shares.crbegin(); share != shares.crend(); ++share) {
        for (auto it = share->averaged.crbegin(); it != share->averaged.crend(); ++it) {
            const bool near =
                it->exact || std::abs(it->value - *extreme) <= 1e-14 * std::abs(it->value) + 1e-307;
            if (near && listed(*it) == *extreme)
                return it->row;
        }
    }
    return -1; // not reached: the extreme came from one of them
}

// The shares' rows to estimate, ascending by key: three passes of eleven
// bits, linear in the rows, the first taking the rows from the shares and
// the counts of all three made beforehand in one reading.
std::vector<Pending> sortedByKey(const std::vector<Share> &shares)
{
    std::size_t total = 0;
    for (const Share &share : shares)
        total += share.pending.size();
    std::vector<Pending> rows;
    if (total < 256) {
        rows.reserve(total);
        for (const Share &share : shares)
            rows.insert(rows.end(), share.pending.begin(), share.pending.end());
        std::sort(rows.begin(), rows.end(), [](const Pending &a, const Pending &b) { return a.key < b.key; });
        return rows;
    }
    std::vector<std::array<std::uint32_t, 2048>> count(3);
    for (const Share &share : shares) {
        for (const Pending &p : share.pending) {
            ++count[0][p.key & 2047u];
            ++count[1][(p.key >> 11) & 2047u];
            ++count[2][p.key >> 22];
        }
    }
    for (std::array<std::uint32_t, 2048> &digit : count) {
        std::uint32_t at = 0;
        for (std::uint32_t &c : digit)
            at += std::exchange(c, at);
    }
    rows.resize(total);
    std::vector<Pending> other(total);
    for (const Share &share : shares)
        for (const Pending &p : share.pending)
            other[count[0][p.key & 2047u]++] = p;
    for (const Pending &p : other)
        rows[count[1][(p.key >> 11) & 2047u]++] = p;
    for (const Pending &p : rows)
        other[count[2][p.key >> 22]++] = p;
    return other;
}

std::atomic<int> forcedThreads{0};

// Fewer rows than this a thread are not worth one: starting and joining a
// thread costs about what a thousand rows do, and the pass starts three.
constexpr qsizetype kRowsPerThread = 16384;

int threadsFor(qsizetype rows)
{
    if (const int forced = forcedThreads.load(std::memory_order_relaxed); forced > 0)
        return forced;
    const int cores = std::clamp(QThread::idealThreadCount(), 1, 8);
    return int(std::clamp<qsizetype>(rows / kRowsPerThread, 1, cores));
}

// Calls work(i) once for every i in [0, count), on this thread and on up to
// threads - 1 others, each taking the next i not yet taken as it comes free,
// so that a core slowed by other work takes fewer. Returns when every call is
// done; an exception one of them threw is thrown again here (the others still
// run). Without the other threads (or where they cannot start) this one does
// them all, in order.
template <typename Work> void shareOut(int threads, std::size_t count, const Work &work)
{
    std::atomic<std::size_t> next{0};
    std::exception_ptr error;
    std::mutex errorLock;
    const auto run = [&] {
        for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard lock(errorLock);
                if (!error)
                    error = std::current_exception();
            }
        }
    };
    std::vector<std::thread> helpers;
    const std::size_t wanted = std::min(std::size_t(std::max(threads, 1)), count);
    try {
        helpers.reserve(wanted > 0 ? wanted - 1 : 0);
        while (helpers.size() + 1 < wanted)
            helpers.emplace_back(run);
    } catch (...) {
        // Fewer helpers: the rest is done here.
    }
    run();
    for (std::thread &helper : helpers)
        helper.join();
    if (error)
        std::rethrow_exception(error);
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

void setPassThreads(int threads)
{
    forcedThreads.store(std::max(threads, 0), std::memory_order_relaxed);
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
    std::shared_ptr<const RankModel> model = sameModel ? earlier.result->model : nullptr;
    // Rows are scaled by the factor alone, so they need not wait for the model.
    const double factor = sameModel ? model->factor() : ChangeFactor::parse(factorText).value;

    const qsizetype n = applicants.size();
    const qsizetype reusable = sameModel ? std::min(n, earlier.applicants->size()) : 0;
    const ApplicantResult *earlierResults = sameModel ? earlier.result->applicants.constData() : nullptr;
    const int threads = threadsFor(n);

    // The rows in shares of a few thousand, each small enough for a core's
    // cache between its two visits; the shares' figures are combined in row
    // order, so that the results are the same whatever thread took a share.
    const qsizetype shareRows = std::clamp<qsizetype>(n / (qsizetype(threads) * 8), 256, 8192);
    std::vector<Share> shares(std::size_t((n + shareRows - 1) / shareRows));
    for (std::size_t k = 0; k < shares.size(); ++k) {
        shares[k].begin = qsizetype(k) * shareRows;
        shares[k].end = std::min(n, shares[k].begin + shareRows);
    }

    // The results are made in place by the thread that takes their share
    // (each made as it is first written rather than all beforehand).
    QArrayDataPointer<ApplicantResult> results;
    if (n > 0) {
        results = QArrayDataPointer<ApplicantResult>(QTypedArrayData<ApplicantResult>::allocate(n));
        Q_CHECK_PTR(results.data());
    }
    ApplicantResult *out = results.data();

    // First the model (unless taken over), beside it every share's rows: the
    // name and average, or an earlier result taken over, and the rows to
    // estimate with their scaled averages.
    const std::size_t first = sameModel ? 0 : 1;
    const auto collect = [&](std::size_t task) {
        if (task < first) {
            model = std::make_shared<const RankModel>(references, factorText);
            return;
        }
        Share &share = shares[task - first];
        qsizetype i = share.begin;
        try {
            for (; i < share.end; ++i) {
                const ApplicantRow &row = applicants[i];
                ApplicantResult *a;
                if (i < reusable && sameRow(row, (*earlier.applicants)[i])) {
                    a = new (out + i) ApplicantResult(earlierResults[i]);
                } else {
                    a = new (out + i) ApplicantResult;
                    a->name = cellText(row.name);
                    a->average = cellNumber(row.avg);
                    if (const std::optional<float> scaled =
                            a->average ? scaledAverage(*a->average, factor) : std::nullopt) {
                        if (share.pending.empty())
                            share.pending.reserve(std::size_t(share.end - i));
                        share.pending.push_back({orderKey(*scaled), std::uint32_t(i)});
                    }
                }
                if (const std::optional<double> avg = a->average) {
                    if (share.averaged.empty())
                        share.averaged.reserve(std::size_t(share.end - i));
                    const bool isText = !isNumberCell(row.avg);
                    share.averaged.push_back(
                        {isText ? listedValue(cellText(row.avg), *avg) : *avg, *avg, std::uint32_t(i), isText});
                }
            }
            for (const Averaged &a : share.averaged) {
                share.highest.take(a, true);
                share.lowest.take(a, false);
            }
        } catch (...) {
            // The rest of the share is made empty, so that every result exists.
            while (++i < share.end)
                new (out + i) ApplicantResult;
            throw;
        }
    };
    std::exception_ptr failed;
    try {
        shareOut(threads, first + shares.size(), collect);
    } catch (...) {
        failed = std::current_exception();
    }
    results.size = n; // every result was made, even where a share failed
    PassResult r;
    r.applicants = QVector<ApplicantResult>(std::move(results));
    if (failed)
        std::rethrow_exception(failed);
    const RankModel &estimator = *model;

    // A rank and its range depend on the scaled average alone: each value is
    // estimated once, in ascending order, so that the model's searches walk
    // its tables in step instead of all over them. Rows note which estimate is
    // theirs in a small table and take it over in order below, which keeps the
    // writes to the results in order too.
    const std::vector<Pending> pending = sortedByKey(shares);
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> estimateOf(pending.empty() ? 0 : std::size_t(n), kNone);
    std::vector<float> values;
    {
        std::optional<std::uint32_t> lastKey;
        for (const Pending &p : pending) {
            if (p.key != lastKey) {
                values.push_back(fromOrderKey(p.key));
                lastKey = p.key;
            }
            estimateOf[p.row] = std::uint32_t(values.size() - 1);
        }
    }
    struct Estimate
    {
        std::optional<std::int32_t> rank;
        std::optional<LikelyRange> range;
        Band band = Band::NoRank;
    };
    std::vector<Estimate> estimates(values.size());
    // In runs of values; the total of the averages, in row order as ever,
    // beside them.
    constexpr std::size_t kRun = 1024;
    const std::size_t runs = (values.size() + kRun - 1) / kRun;
    double averageTotal = 0;
    std::size_t averageCount = 0;
    shareOut(threads, runs + 1, [&](std::size_t task) {
        if (task == runs) {
            for (const Share &share : shares) {
                for (const Averaged &a : share.averaged)
                    averageTotal += a.average;
                averageCount += share.averaged.size();
            }
            return;
        }
        const std::size_t end = std::min(values.size(), (task + 1) * kRun);
        for (std::size_t v = task * kRun; v < end; ++v) {
            if (const std::optional<std::int32_t> rank = estimator.rankAtScaled(values[v]))
                estimates[v] = {rank, estimator.likelyRange(values[v], *rank), bandOf(*rank)};
        }
    });

    // Each share's rows take their estimates over, and every ranked row
    // (those taken over from the earlier pass too) is counted.
    shareOut(threads, shares.size(), [&](std::size_t task) {
        Share &share = shares[task];
        for (qsizetype i = share.begin; i < share.end; ++i) {
            ApplicantResult &a = out[i];
            if (!estimateOf.empty()) {
                if (const std::uint32_t e = estimateOf[std::size_t(i)]; e != kNone && estimates[e].rank) {
                    a.rank = estimates[e].rank;
                    a.band = estimates[e].band;
                    a.range = estimates[e].range;
                }
            }
            if (!a.rank)
                continue;
            switch (admissionCode(a.band)) {
            case 123: ++share.count123; break;
            case 23: ++share.count23; break;
            case 3: ++share.count3; break;
            default: ++share.count0; break;
            }
            share.rankTotal += *a.rank;
            ++share.ranked;
        }
    });
    PassSummary &sum = r.summary;
    qint64 rankTotal = 0, ranked = 0;
    for (const Share &share : shares) {
        sum.count123 += share.count123;
        sum.count23 += share.count23;
        sum.count3 += share.count3;
        sum.count0 += share.count0;
        rankTotal += share.rankTotal;
        ranked += share.ranked;
    }

    sum.count = n;
    if (const qsizetype highest = lastExtreme(shares, applicants, true); highest >= 0)
        sum.highest = highest;
    if (const qsizetype lowest = lastExtreme(shares, applicants, false); lowest >= 0)
        sum.lowest = lowest;
    if (averageCount > 0) {
        const double count = double(averageCount);
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
