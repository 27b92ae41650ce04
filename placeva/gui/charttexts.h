#pragma once
// Fixed texts of the chart window and its menu.

#include "core/subjects.h"

namespace placeva::chart_texts {

// The menu on the main window's bar
inline constexpr char16_t kChartMenu[] = u"نمودار";
// Its one item
inline constexpr char16_t kChartMenuItem[] = u"نمودار رتبه و ميانگين...";
// The chart window's caption and the chart's title
inline constexpr char16_t kChartCaption[] = u"نمودار رتبه بر حسب ميانگين";
// The save button
inline constexpr char16_t kSaveImage[] = u"ذخيره تصوير...";
// Caption of the target rank box
inline constexpr char16_t kTargetCaption[] = u"رتبه هدف:";
// Caption of the required average
inline constexpr char16_t kRequiredCaption[] = u"ميانگين لازم:";
// No average reaches the target
inline constexpr char16_t kUnreachable[] = u"با اين داده ها قابل دستيابي نيست";
// No rank can be estimated at all
inline constexpr char16_t kNoEstimate[] = u"رتبه قابل تخمين نيست";
// The main window's caption of the change factor
using placeva::kFactorCaption;

// An applicant's rank with its likely range, in the hover text
inline constexpr char16_t kLikelyRank[] = u"رتبه %1 (بازه محتمل %2 تا %3)";
// The shaded band of likely ranks, in the legend
inline constexpr char16_t kLikelyBand[] = u"بازه رتبه محتمل";

} // namespace placeva::chart_texts
