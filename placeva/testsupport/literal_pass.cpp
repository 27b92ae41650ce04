#include "testsupport/literal_pass.h"

#include "gui/passtexts.h"
#include "numbers.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace placeva::literal {

namespace {

using common::ErrorKind;
using common::NumberError;

// Thrown where no rank can be estimated: no second reference point.
struct NoRank
{ };

struct FormolPoint
{
    float avg;
    std::int32_t rotbeh;
};

bool isNumeric(const QVariant &v)
{
    switch (v.typeId()) {
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

QString textOf(const QVariant &v)
{
    if (v.isNull())
        return QString();
    if (isNumeric(v))
        return common::shortestText(v.toDouble());
    return v.toString();
}

// Throws TypeMismatch for NULL, empty or non-numeric text.
double numberOf(const QVariant &v)
{
    if (v.isNull())
        throw NumberError(ErrorKind::TypeMismatch);
    const double d = isNumeric(v) ? v.toDouble() : common::strictNumber(v.toString());
    if (!std::isfinite(d))
        throw NumberError(ErrorKind::Overflow);
    return d;
}

float singleDifference(float a, float b)
{
    const float r = a - b;
    if (std::isinf(r))
        throw NumberError(ErrorKind::Overflow);
    return r;
}

std::int32_t formolRank(float average, const QString &text1, const QVector<ReferenceRow> &formol)
{
    // 1. Scale by the change factor, in single precision.
    const float scaled = common::toSingle(common::checkedMul(double(average), common::leadingNumber(text1)));

    // 2. Read the points, 1 to n, leaving out every row whose Avg or Rotbeh
    //    does not convert.
    std::vector<FormolPoint> point(1);
    for (const ReferenceRow &row : formol) {
        try {
            FormolPoint p;
            p.avg = common::toSingle(numberOf(row.avg));
            p.rotbeh = common::toInt32(numberOf(row.rotbeh));
            point.push_back(p);
        } catch (const NumberError &) {
        }
    }
    const qsizetype n = qsizetype(point.size()) - 1;

    // 3. No reference rows, no rank.
    if (n == 0)
        throw NoRank{};

    // 5. Bubble sort, strictly greater swaps.
    for (qsizetype i = n - 1; i >= 1; --i)
        for (qsizetype j = 1; j <= i; ++j)
            if (point[j].avg > point[j + 1].avg)
                std::swap(point[j], point[j + 1]);

    // 6. Segment search.
    qsizetype j = 1;
    while (j + 1 < n && point[j + 1].avg < scaled)
        ++j;
    if (j + 1 > n)
        throw NoRank{};

    // 7. Interpolate.
    const std::int32_t rankDiff = common::subInt32(point[j + 1].rotbeh, point[j].rotbeh);
    const float avgDiff = singleDifference(point[j + 1].avg, point[j].avg);
    const double slope = common::checkedDiv(double(rankDiff), double(avgDiff));
    const float offset = singleDifference(scaled, point[j].avg);
    const double product = common::checkedMul(double(offset), slope);
    return common::toInt32(common::checkedAdd(double(point[j].rotbeh), product));
}

} // namespace

PassTexts texts(const PassResult &result, const QVector<ApplicantRow> &applicants)
{
    PassTexts t;
    for (qsizetype i = 0; i < result.applicants.size(); ++i) {
        const ApplicantResult &a = result.applicants[i];
        t.list1 << a.name << QString(28, u'-');
        t.list2 << averageText(applicants.value(i)) << QString(28, u'-');
        t.list4 << rankText(a.rank) << QString(28, u'-');
        t.list5 << bandText(a.band) << QString(43, u'-');
    }
    const std::array<QString, kFigureCount> figures = figureTexts(result);
    std::copy(figures.begin(), figures.end(), std::begin(t.lbl));
    t.referenceNote = leftOutText(result.leftOut);
    return t;
}

PassTexts statisticsPass(const QVector<ApplicantRow> &applicants, const QVector<ReferenceRow> &references,
                         const QString &factorText)
{
    PassTexts r;
    double averageTotal = 0;
    qint64 averaged = 0;
    qint64 rankTotal = 0, ranked = 0;
    qint64 counter123 = 0, counter23 = 0, counter3 = 0, counter0 = 0;
    std::vector<bool> hasAverage;

    for (const ApplicantRow &row : applicants) {
        r.list1.append(textOf(row.name));
        r.list2.append(textOf(row.avg));

        bool haveAverage = true;
        double value = 0;
        try {
            value = numberOf(row.avg);
        } catch (const NumberError &) {
            haveAverage = false;
        }
        hasAverage.push_back(haveAverage);

        bool haveRank = false;
        std::int32_t rank = 0;
        if (haveAverage) {
            try {
                rank = formolRank(common::toSingle(value), factorText, references);
                haveRank = true;
            } catch (const NumberError &) {
            } catch (const NoRank &) {
            }
            averageTotal = averageTotal + value;
            ++averaged;
        }

        if (haveRank) {
            rankTotal = rank + rankTotal;
            ++ranked;
            r.list4.append(QString::number(rank));
            const Band band = bandOf(rank);
            const std::uint8_t code = admissionCode(band);
            r.list5.append(bandText(band));
            if (code == 123)
                ++counter123;
            else if (code == 23)
                ++counter23;
            else if (code == 3)
                ++counter3;
            else if (code == 0)
                ++counter0;
        } else {
            r.list4.append(QString());
            r.list5.append(noRankText());
        }

        r.list1.append(QString(28, u'-'));
        r.list2.append(QString(28, u'-'));
        r.list4.append(QString(28, u'-'));
        r.list5.append(QString(43, u'-'));
    }

    // Highest and lowest: count the rows beyond each row, both ways.
    const auto readRow = [&](qsizetype x) {
        try {
            return common::leadingNumber(r.list2[x]);
        } catch (const NumberError &) {
            return numberOf(applicants[x / 2].avg);
        }
    };
    const qsizetype m = r.list2.size();
    for (qsizetype x = 0; x < m; x += 2) {
        if (!hasAverage[std::size_t(x / 2)])
            continue;
        const double own = readRow(x);
        qsizetype p = 1, q = 1;
        for (qsizetype y = 0; y < m; y += 2) {
            if (!hasAverage[std::size_t(y / 2)])
                continue;
            const double other = readRow(y);
            if (other > own)
                ++p;
            if (other < own)
                ++q;
        }
        if (p == 1)
            r.lbl[1] = r.list1[x];
        if (q == 1)
            r.lbl[2] = r.list1[x];
    }

    r.lbl[0] = QString::number(r.list1.size() / 2);
    if (averaged > 0) {
        double mean = averageTotal / double(averaged);
        if (!std::isfinite(mean)) {
            mean = 0;
            for (const ApplicantRow &row : applicants) {
                try {
                    mean = mean + numberOf(row.avg) / double(averaged);
                } catch (const NumberError &) {
                }
            }
        }
        r.lbl[3] = common::fixed2Text(mean);
    }
    if (ranked > 0)
        r.lbl[4] = QString::number(qint64(std::floor(double(rankTotal) / double(ranked))));
    r.lbl[5] = QString::number(counter123);
    r.lbl[6] = QString::number(counter23);
    r.lbl[7] = QString::number(counter3);
    r.lbl[8] = QString::number(counter0);

    // The rows the estimate left out, each by its first reason found.
    RankModel::LeftOut leftOut;
    const auto blank = [](const QVariant &v) {
        return v.isNull() || (!isNumeric(v) && v.toString().trimmed().isEmpty());
    };
    for (const ReferenceRow &row : references) {
        if (blank(row.avg) || blank(row.rotbeh)) {
            ++leftOut.empty;
            continue;
        }
        double avg = 0, rotbeh = 0;
        try {
            avg = numberOf(row.avg);
            rotbeh = numberOf(row.rotbeh);
        } catch (const NumberError &) {
            ++leftOut.notANumber;
            continue;
        }
        try {
            common::toSingle(avg);
            common::toInt32(rotbeh);
        } catch (const NumberError &) {
            ++leftOut.outOfRange;
        }
    }
    r.referenceNote = leftOutText(leftOut);
    return r;
}

} // namespace placeva::literal
