#pragma once
// How a whole choice list is likely to turn out, given that the first
// admitting priority wins and that only the rank is uncertain: each of the
// applicant's possible ranks (the estimate plus each of the errors its likely
// range is taken from) lands at one priority or nowhere, and counts equally.
// The admission limits are taken as fixed. No widgets: the choice list, the
// command line and the tests share it.

#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

namespace placeva {

struct PassResult;

// One priority as the rule sees it: empty, or a choice with its admission
// limit (nothing: a choice that admits no rank).
struct PriorityLimit
{
    bool chosen = false;
    std::optional<std::int32_t> limit;
};

// A priority that can never be the admitting one: its choice has no limit,
// or an earlier priority (`byEarlier`, the first such) admits every rank it does.
struct DeadPriority
{
    std::optional<int> byEarlier; // nothing: the choice itself admits no rank
};

// Per priority; nothing for a live or an empty one.
std::vector<std::optional<DeadPriority>> deadPriorities(const std::vector<PriorityLimit> &priorities);

struct ListChances
{
    // Whole percents per priority; nothing for an empty one.
    std::vector<std::optional<int>> percent;
    int notAdmitted = 0; // the chance that no priority admits
    // No priority admits the worst likely rank (without a range, the estimate).
    bool noSafetyNet = false;
};

// The chances of the list for an estimated rank and the errors its likely
// range is taken from (none: no range, the estimate is the only possible
// rank). Nothing without an estimate.
std::optional<ListChances> listChances(const std::vector<PriorityLimit> &priorities,
                                       std::optional<std::int32_t> estimate,
                                       const std::vector<std::int64_t> &nearestErrors);

// The errors the likely range of a pass's applicant at this index is taken
// from; none without a rank or a range.
std::vector<std::int64_t> nearestErrorsOf(const PassResult &pass, qsizetype applicant);

// 100 * part / whole rounded to a whole number, halves to the even neighbour.
int wholePercent(std::int64_t part, std::int64_t whole);

} // namespace placeva
