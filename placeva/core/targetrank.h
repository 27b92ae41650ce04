#pragma once
// The average an applicant needs for a target rank: the smallest average, in
// hundredths from -33.33 to 100, whose estimated rank (the pass's own
// estimate at the pass's change factor) is the target or better.

#include "core/stats.h"

#include <QStringView>

#include <cstdint>
#include <optional>

namespace placeva {

// The range searched, in hundredths of a percent.
inline constexpr int kLowestHundredth = -3333;
inline constexpr int kHighestHundredth = 10000;

// The average a number of hundredths stands for: the same double that a
// stored average with those two decimals reads as.
inline double hundredthsAverage(int hundredths)
{
    return hundredths / 100.0;
}

// A target rank as typed: digits only, in any digit set the program reads,
// surrounding blanks ignored, from 1 to 2147483647. Nothing otherwise.
std::optional<std::int32_t> parseTargetRank(QStringView text);

struct TargetAnswer
{
    enum Kind {
        NotARank,    // the text is not a target rank
        NoEstimate,  // no rank can be estimated at all
        Unreachable, // no average in the range reaches the target
        Found,
    };
    Kind kind = NotARank;
    std::int32_t target = 0; // the parsed target (from NoEstimate on)
    int hundredths = 0;      // Found: the required average in hundredths
    std::int32_t rank = 0;   // Found: the rank estimated at that average
    double average() const { return hundredthsAverage(hundredths); }
};

// The smallest qualifying hundredth; a hundredth without an estimate (on a
// segment of two equal averages, or past the arithmetic's range) is passed over.
TargetAnswer requiredAverage(const RankModel &model, std::int32_t target);
// Parses the text first: a text that is not a rank gives NotARank whatever
// the estimator holds.
TargetAnswer requiredAverage(const RankModel &model, QStringView targetText);

} // namespace placeva
