#include "core/stats.h"

#include "core/rankrange.h"

#include "bidi.h"
#include "numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace placeva {

namespace {

bool isNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: return true;
    default: return false;
    }
}

// Single-precision subtraction; a result past the single range is an overflow
// like any other arithmetic fault.
float singleSub(float a, float b)
{
    const float r = a - b;
    if (std::isinf(r))
        throw common::NumberError(common::ErrorKind::Overflow);
    return r;
}

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
qsizetype lastExtreme(const std::vector<Averaged> &averaged, const QVector<ApplicantResult> &applicants,
                      bool highest)
{
    const auto beyond = [highest](double a, double b) { return highest ? a > b : a < b; };
    const auto listed = [&applicants](const Averaged &a) {
        return a.exact ? a.value : listedValue(applicants[a.row].average, a.value);
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

// The slope of the segment from a to b: the rank difference in 32 bits, the
// average difference in single precision. NaN where there is none (equal
// averages, overflow).
double segmentSlope(const RankEstimator::Point &a, const RankEstimator::Point &b)
{
    try {
        const std::int32_t rankDiff = common::subInt32(b.rotbeh, a.rotbeh);
        const float avgDiff = singleSub(b.avg, a.avg);
        if (avgDiff != 0) // else it would divide by zero
            return common::checkedDiv(double(rankDiff), double(avgDiff));
    } catch (const common::NumberError &) {
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// The rank at a scaled average along a segment starting at p; nothing where
// the segment has no slope. The offset is rounded to single precision first.
std::optional<std::int32_t> rankAlong(const RankEstimator::Point &p, double slope, float scaled)
{
    if (std::isnan(slope))
        return std::nullopt;
    const float offset = singleSub(scaled, p.avg);
    return common::toInt32(common::checkedAdd(double(p.rotbeh), common::checkedMul(double(offset), slope)));
}

} // namespace

QString listSeparator()
{
    static const QString s(28, u'-');
    return s;
}

QString bandSeparator()
{
    static const QString s(43, u'-');
    return s;
}

QString noRankText()
{
    return QStringLiteral(u"رتبه قابل تخمين نيست");
}

QString leftOutText(const RankEstimator::LeftOut &leftOut)
{
    if (leftOut.total() == 0)
        return {};
    QStringList why;
    if (leftOut.empty > 0)
        why << QStringLiteral(u"ميانگين يا رتبه %1 رديف خالي است").arg(leftOut.empty);
    if (leftOut.notANumber > 0)
        why << QStringLiteral(u"ميانگين يا رتبه %1 رديف عدد نيست").arg(leftOut.notANumber);
    if (leftOut.outOfRange > 0)
        why << QStringLiteral(u"ميانگين يا رتبه %1 رديف بيرون از محدوده است").arg(leftOut.outOfRange);
    return QStringLiteral(u"%1 رديف جدول Formol در تخمين رتبه به کار نرفت: %2.")
        .arg(leftOut.total())
        .arg(why.join(QStringLiteral(u"، ")));
}

QString cellText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (isNumberType(value.typeId()))
        return common::shortestText(value.toDouble());
    return value.toString();
}

std::optional<double> cellNumber(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    double v;
    if (isNumberType(value.typeId())) {
        v = value.toDouble();
    } else {
        try {
            v = common::strictNumber(value.toString());
        } catch (const common::NumberError &) {
            return std::nullopt;
        }
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

QString placementBand(std::int32_t rank, std::uint8_t &code)
{
    struct Band
    {
        std::int32_t upTo;
        std::uint8_t code;
        QString text;
    };
    static const Band bands[] = {
        {40, 123, QStringLiteral(u"تمام دانشگاهها")},
        {100, 123, QStringLiteral(u"روزانه خوب")},
        {350, 123, QStringLiteral(u"روزانه بد و شبانه خوب")},
        {600, 23, QStringLiteral(u"شبانه")},
        {800, 3, QStringLiteral(u"شبانه(بومي) و غير انتفاعي خيلي خوب")},
        {2000, 3, QStringLiteral(u"غير انتفاعي خوب")},
        {5000, 3, QStringLiteral(u"غير انتفاعي متوسط")},
        {11000, 3, QStringLiteral(u"غير انتفاعي بد")},
    };
    static const QString none = QStringLiteral(u"متاسفانه..");

    for (const Band &b : bands) {
        if (rank <= b.upTo) { // ranks below 1 land in the first band
            code = b.code;
            return b.text;
        }
    }
    code = 0;
    return none;
}

RankEstimator::RankEstimator(const QVector<ReferenceRow> &rows, const QString &factorText)
{
    bool factorOk = true;
    try {
        m_factor = common::leadingNumber(factorText);
    } catch (const common::NumberError &) {
        m_factor = 0;
        factorOk = false;
    }

    // A row that cannot be read is left out and counted; the others still
    // estimate, so one bad row never costs every applicant a rank.
    m_points.reserve(rows.size());
    for (const ReferenceRow &row : rows) {
        const std::optional<double> avg = cellNumber(row.avg);
        const std::optional<double> rotbeh = cellNumber(row.rotbeh);
        if (!avg || !rotbeh) {
            const auto blank = [](const QVariant &v) {
                return v.isNull() || (!isNumberType(v.typeId()) && v.toString().trimmed().isEmpty());
            };
            if ((!avg && blank(row.avg)) || (!rotbeh && blank(row.rotbeh)))
                ++m_leftOut.empty;
            else
                ++m_leftOut.notANumber;
            continue;
        }
        try {
            m_points.append({common::toSingle(*avg), common::toInt32(*rotbeh)});
        } catch (const common::NumberError &) {
            ++m_leftOut.outOfRange;
        }
    }

    // Stable, so that points with equal averages keep their order of reading,
    // which decides the segment a tie falls on.
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const Point &a, const Point &b) { return a.avg < b.avg; });

    if (!factorOk) {
        m_status = Status::BadFactor;
        return;
    }
    if (m_points.isEmpty()) {
        m_status = Status::NoReference;
        return;
    }
    if (m_points.size() == 1) {
        m_status = Status::SingleReference;
        return;
    }

    m_status = Status::Ready;
    m_avgs.reserve(m_points.size());
    for (const Point &p : m_points)
        m_avgs.append(p.avg);
    m_slopes.fill(std::numeric_limits<double>::quiet_NaN(), m_points.size() - 1);
    for (qsizetype i = 0; i + 1 < m_points.size(); ++i) {
        m_slopes[i] = segmentSlope(m_points[i], m_points[i + 1]);
    }
}

std::optional<std::int32_t> RankEstimator::estimate(double avg) const
{
    if (m_status != Status::Ready)
        return std::nullopt;
    try {
        const float average = common::toSingle(avg);
        const float scaled = common::toSingle(common::checkedMul(double(average), m_factor));

        // The segment starts at the point before the first one (from the
        // second on) whose average is at least the scaled one; the last
        // segment at the latest. Outside the points this extrapolates.
        // Branch-free lower bound over the averages in [1, n - 1).
        const float *base = m_avgs.constData() + 1;
        qsizetype len = m_avgs.size() - 2;
        if (len > 0) {
            while (len > 1) {
                const qsizetype half = len / 2;
                base += half * qsizetype(base[half - 1] < scaled); // no branch to mispredict
                len -= half;
            }
            base += *base < scaled ? 1 : 0;
        }
        const qsizetype j = (base - m_avgs.constData()) - 1;

        return rankAlong(m_points[j], m_slopes[j], scaled);
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

std::optional<std::int32_t> segmentRank(const RankEstimator::Point &from, const RankEstimator::Point &to,
                                        float scaled)
{
    try {
        return rankAlong(from, segmentSlope(from, to), scaled);
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

QString rankText(const std::optional<std::int32_t> &rank)
{
    return rank ? QString::number(*rank) : QString();
}

QString bestRankText(const std::optional<LikelyRange> &range)
{
    return range ? QString::number(range->best) : QString();
}

QString worstRankText(const std::optional<LikelyRange> &range)
{
    return range ? QString::number(range->worst) : QString();
}

QString rangeText(const std::optional<LikelyRange> &range)
{
    if (!range)
        return QString();
    // Each number isolated left to right, so that a minus sign stays on its
    // left within right-to-left text.
    return QStringLiteral(u"%1 تا %2")
        .arg(common::isolate(QString::number(range->best)), common::isolate(QString::number(range->worst)));
}

PassResult statisticsPass(const QVector<ApplicantRow> &applicants, const QVector<ReferenceRow> &references,
                          const QString &factorText)
{
    const RankEstimator estimator(references, factorText);
    // The reference table's errors once, so that each range is a lookup.
    const LikelyRanks likely(estimator.points());
    const QString noRank = noRankText();

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
        a.average = cellText(row.avg);

        const std::optional<double> avg = cellNumber(row.avg);
        a.rank = avg ? estimator.estimate(*avg) : std::nullopt;
        if (a.rank) {
            a.band = placementBand(*a.rank, a.code);
            switch (a.code) {
            case 123: ++sum.count123; break;
            case 23: ++sum.count23; break;
            case 3: ++sum.count3; break;
            default: ++sum.count0; break;
            }
            rankTotal += *a.rank;
            ++ranked;
            if (const std::optional<float> lookedUp = lookedUpAverage(*avg, estimator.factor()))
                a.range = likely.range(*lookedUp, *a.rank);
        } else {
            a.band = noRank;
        }

        if (avg) {
            averageTotal += *avg;
            const bool isText = !isNumberType(row.avg.typeId());
            averaged.push_back({i, isText ? listedValue(a.average, *avg) : *avg, isText});
        }
    }

    sum.count = applicants.size();
    if (const qsizetype highest = lastExtreme(averaged, r.applicants, true); highest >= 0)
        sum.highest = highest;
    if (const qsizetype lowest = lastExtreme(averaged, r.applicants, false); lowest >= 0)
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
    sum.typicalError = likely.typicalError();
    r.leftOut = estimator.leftOut();
    r.referenceNote = leftOutText(r.leftOut);
    return r;
}

} // namespace placeva
