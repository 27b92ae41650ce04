#pragma once
// The fixed rank table and its counting interpolation.

#include <QString>

#include <cstdint>
#include <span>

namespace ranqor {

// One row of the rank table: a value at least `threshold` gets the fixed rank,
// or a rank counted down the run from `high` (first rank) to `threshold`.
struct RankRow
{
    double threshold;
    std::int16_t fixedRank; // 0 for a run
    double high;
    std::int16_t firstRank;
    std::int16_t lastRank;
};

// The table's rows in the order they are tested.
std::span<const RankRow> rankTable();

// The caption for an average below the table.
QString notEligibleText();

// The fields the rank estimate works in. The estimator window carries them as
// its own state; the lookup needs nothing else, so it also runs window-free.
struct RankFields
{
    double RankAverage = 0;
    double SegLow = 0;
    double SegHigh = 0;
    std::int16_t SegFirstRank = 0;
    std::int16_t SegLastRank = 0;
    std::int16_t RankResult = 0;
    std::int16_t RankMode = 0;

    // The rank of RankAverage in decimal digits, or the not-eligible text.
    // A run's fields are left as the last run used set them.
    QString LookupRank();
    // Counts RankResult down the run from SegHigh towards RankAverage.
    void InterpolateRank();
};

// The caption an average gets (a throwaway set of fields).
QString rankCaption(double average);

} // namespace ranqor
