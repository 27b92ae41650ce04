#pragma once
// What a choice says about an applicant, given the estimated rank and its
// likely range from the rank model.

#include "core/rankmodel.h"

#include <cstdint>
#include <optional>

namespace placeva {

// From surest to hopeless.
enum class Verdict {
    Safe,   // its limit admits even the worst likely rank
    Likely, // it admits the estimate (but not the worst likely rank)
    Reach,  // it admits not the estimate, only ranks up to the best likely rank
    Out,    // it admits not even the best likely rank
};

// The verdict of a choice with the given admission limit (nothing: a choice
// that admits nobody) for an estimated rank and its likely range. Whether the
// estimate is admitted follows the choice list's rule exactly (a rank below 1
// is never admitted), so that Safe and Likely stand where "Mohasebe" admits.
// A likely rank below 1 lies beyond the best reference result and counts as
// within every limit. Without a range the estimate alone decides: Likely or Out.
Verdict admissionVerdict(std::optional<std::int32_t> limit, std::int32_t rank,
                         const std::optional<LikelyRange> &range);

} // namespace placeva
