#include "core/targetrank.h"

#include "numbers.h"

namespace placeva {

std::optional<std::int32_t> parseTargetRank(QStringView text)
{
    const QString digits = common::normalizeDigits(text).trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        value = value * 10 + (u - u'0');
        if (value > 2147483647) // leading zeros never get here
            return std::nullopt;
    }
    if (value < 1)
        return std::nullopt;
    return std::int32_t(value);
}

TargetAnswer requiredAverage(const RankModel &model, std::int32_t target)
{
    TargetAnswer answer;
    answer.target = target;
    if (model.status() != RankModel::Status::Ready) {
        answer.kind = TargetAnswer::NoEstimate;
        return answer;
    }
    // Ranks need not fall as averages rise (the reference results may be
    // anything, the factor may be negative), so every hundredth is tried in
    // turn. Each estimate is a binary search: all 13,334 take half a
    // millisecond, some 20 ms where nearly every one overflows.
    for (int h = kLowestHundredth; h <= kHighestHundredth; ++h) {
        const std::optional<std::int32_t> rank = model.estimate(hundredthsAverage(h));
        if (rank && *rank <= target) {
            answer.kind = TargetAnswer::Found;
            answer.hundredths = h;
            answer.rank = *rank;
            return answer;
        }
    }
    answer.kind = TargetAnswer::Unreachable;
    return answer;
}

TargetAnswer requiredAverage(const RankModel &model, QStringView targetText)
{
    const std::optional<std::int32_t> target = parseTargetRank(targetText);
    if (!target)
        return {};
    return requiredAverage(model, *target);
}

} // namespace placeva
