#include "rank.h"

#include "numbers.h"

namespace ranqor {

namespace {

constexpr RankRow kRankTable[] = {
    {47, 1, 0, 0, 0},
    {46, 2, 0, 0, 0},
    {45.5, 3, 0, 0, 0},
    {39.77, 0, 45.49, 4, 33},
    {38.5, 0, 39.76, 34, 52},
    {38.11, 0, 38.49, 53, 59},
    {37.22, 0, 38.1, 60, 75},
    {35.44, 0, 37.21, 76, 135},
    {34, 0, 35.43, 136, 190},
    {33.72, 0, 33.99, 191, 195},
    {33.05, 0, 33.71, 196, 235},
    {32, 0, 33.04, 236, 307},
    {30.44, 0, 31.99, 308, 412},
    {29.72, 0, 30.43, 413, 488},
    {28.44, 0, 29.71, 489, 596},
    {27.83, 0, 28.43, 597, 709},
    {25.61, 0, 27.82, 710, 1093},
    {24.66, 0, 25.6, 1094, 1276},
    {23.61, 0, 24.65, 1277, 1507},
    {22.38, 0, 23.6, 1508, 1808},
    {20.94, 0, 22.37, 1809, 2447},
    {18.05, 0, 20.93, 2448, 3936},
    {15.22, 0, 18.04, 3937, 5955},
    {13.38, 0, 15.21, 5956, 7991},
    {12.5, 0, 13.37, 7992, 9122},
    {11, 0, 12.49, 9123, 11607},
    {10.05, 0, 10.99, 11608, 13067},
    {8.66, 0, 10.04, 13068, 16613},
    {5.66, 0, 8.65, 16614, 25153},
    {5.37, 0, 5.65, 25154, 27402},
};

} // namespace

std::span<const RankRow> rankTable()
{
    return kRankTable;
}

QString notEligibleText()
{
    return QStringLiteral(u"مجاز نيستيد");
}

QString RankFields::LookupRank()
{
    const double value = RankAverage;
    for (const RankRow &row : kRankTable) {
        if (!(value >= row.threshold))
            continue;
        if (row.fixedRank)
            return QString::number(row.fixedRank);
        SegFirstRank = row.firstRank;
        SegLastRank = row.lastRank;
        SegLow = row.threshold;
        SegHigh = row.high;
        InterpolateRank();
        return QString::number(RankResult);
    }
    return notEligibleText();
}

void RankFields::InterpolateRank()
{
    const std::int16_t n = std::int16_t(SegLastRank - SegFirstRank);
    const double step = common::checkedDiv(SegHigh - SegLow, n);
    double b = SegHigh;
    RankResult = SegFirstRank;
    // Counted by repeated subtraction: the rounding of each step decides the
    // ranks that sit right on a run's bounds.
    while (b >= SegLow && RankAverage < b) {
        b = b - step;
        RankResult = common::addInt16(RankResult, 1);
    }
}

QString rankCaption(double average)
{
    RankFields fields;
    fields.RankAverage = average;
    return fields.LookupRank();
}

} // namespace ranqor
