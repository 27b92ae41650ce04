#include "core/rankrange.h"

namespace placeva {

Verdict admissionVerdict(std::optional<std::int32_t> limit, std::int32_t rank,
                         const std::optional<LikelyRange> &range)
{
    if (!limit || rank < 1)
        return Verdict::Out;
    if (rank <= *limit)
        return range && range->worst <= *limit ? Verdict::Safe : Verdict::Likely;
    return range && range->best <= *limit ? Verdict::Reach : Verdict::Out;
}

} // namespace placeva
