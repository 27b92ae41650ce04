#include "core/chances.h"

#include "core/rankmodel.h"
#include "core/stats.h"

#include <algorithm>

namespace placeva {

namespace {

// A possible rank below 1 lies beyond the best reference result: within
// every limit.
bool admits(const PriorityLimit &p, std::int64_t rank)
{
    return p.chosen && p.limit && rank <= *p.limit;
}

std::optional<std::size_t> admitting(const std::vector<PriorityLimit> &priorities, std::int64_t rank)
{
    for (std::size_t i = 0; i < priorities.size(); ++i) {
        if (admits(priorities[i], rank))
            return i;
    }
    return std::nullopt;
}

} // namespace

std::vector<std::optional<DeadPriority>> deadPriorities(const std::vector<PriorityLimit> &priorities)
{
    std::vector<std::optional<DeadPriority>> dead(priorities.size());
    for (std::size_t i = 0; i < priorities.size(); ++i) {
        const PriorityLimit &p = priorities[i];
        if (!p.chosen)
            continue;
        if (!p.limit) {
            dead[i] = DeadPriority{};
            continue;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (admits(priorities[j], *p.limit)) {
                dead[i] = DeadPriority{int(j)};
                break;
            }
        }
    }
    return dead;
}

std::optional<ListChances> listChances(const std::vector<PriorityLimit> &priorities,
                                       std::optional<std::int32_t> estimate,
                                       const std::vector<std::int64_t> &nearestErrors)
{
    if (!estimate)
        return std::nullopt;
    std::vector<std::int64_t> possible;
    if (nearestErrors.empty())
        possible.push_back(*estimate);
    for (const std::int64_t e : nearestErrors)
        possible.push_back(std::int64_t(*estimate) + e); // errors fit 33 bits: no overflow

    std::vector<std::int64_t> landed(priorities.size(), 0);
    std::int64_t nowhere = 0;
    for (const std::int64_t rank : possible) {
        if (const std::optional<std::size_t> at = admitting(priorities, rank))
            ++landed[*at];
        else
            ++nowhere;
    }
    const std::int64_t k = std::int64_t(possible.size());

    ListChances c;
    c.percent.resize(priorities.size());
    for (std::size_t i = 0; i < priorities.size(); ++i) {
        if (priorities[i].chosen)
            c.percent[i] = wholePercent(landed[i], k);
    }
    c.notAdmitted = wholePercent(nowhere, k);

    // The worst likely rank: the error at ceil(0.9 k), counted from 1 in
    // ascending order, as the likely range takes it.
    std::int64_t worst = *estimate;
    if (!nearestErrors.empty()) {
        std::vector<std::int64_t> sorted = nearestErrors;
        const auto at = sorted.begin() + std::ptrdiff_t((9 * sorted.size() + 9) / 10 - 1);
        std::nth_element(sorted.begin(), at, sorted.end());
        worst += *at;
    }
    c.noSafetyNet = !admitting(priorities, worst);
    return c;
}

std::vector<std::int64_t> nearestErrorsOf(const PassResult &pass, qsizetype applicant)
{
    if (applicant < 0 || applicant >= pass.applicants.size() || !pass.model)
        return {};
    const ApplicantResult &a = pass.applicants[applicant];
    // Looked up as the pass looked the range up.
    const std::optional<float> scaled = a.rank && a.average ? pass.model->scaled(*a.average) : std::nullopt;
    return scaled ? pass.model->likely().nearestErrors(*scaled) : std::vector<std::int64_t>{};
}

int wholePercent(std::int64_t part, std::int64_t whole)
{
    if (whole <= 0)
        return 0;
    const std::int64_t scaled = 100 * part;
    std::int64_t q = scaled / whole;
    const std::int64_t twice = 2 * (scaled % whole);
    if (twice > whole || (twice == whole && q % 2 != 0))
        ++q;
    return int(q);
}

} // namespace placeva
