#pragma once
// Texts of the chart window and its menu: the fixed ones, and those made
// from a pass (title, description, notes, hover texts) as pure functions.

#include "core/chartdata.h"
#include "core/subjects.h"
#include "core/targetrank.h"

#include <QString>
#include <QVector>

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

namespace placeva {

// The chart's title: its caption and the change factor the pass ran with.
QString chartTitle(const RankModel *model);

// The notes under the plot: the reference rows left out, the typical error,
// and what the logarithmic axis cannot show. Empty when there is nothing to note.
QString chartNote(const ChartData &data, bool logY, qsizetype applicantsLeftOut, qsizetype referencesLeftOut);

// What a screen reader says the plot shows; `required` the required average
// as the window shows it.
QString chartDescription(const ChartData &data, bool bandDrawn, const QString &note, const TargetAnswer &target,
                         const QString &required);

// The hover texts: of the applicants (indices into the pass's applicants,
// with their rows) and of the reference points drawn on one pixel, at most a
// few of them named.
QString applicantsToolTip(const QVector<ApplicantResult> &listed, const QVector<ApplicantRow> &rows,
                          const QVector<qsizetype> &at);
QString referencesToolTip(const QVector<QPointF> &references, const QVector<qsizetype> &at);
// Of the target's marker.
QString targetToolTip(std::int32_t target, const QString &required);

} // namespace placeva
