#pragma once
// How a statistics pass reads to people: the lists' separators, the band
// sentences, the nine summary figures with their captions, the note on the
// reference rows left out, likely ranges, the typical error, the verdicts and
// the required average. The main window, the chart, the choice list, the
// report and the exports all word a pass here, once.

#include "core/rankrange.h"
#include "core/stats.h"
#include "core/targetrank.h"

#include <QString>
#include <QStringList>

#include <array>

namespace placeva {

// Separator rows: 28 hyphens in List1, List2 and List4, 43 in List5.
QString listSeparator();
QString bandSeparator();
// List5's entry for an applicant whose rank cannot be estimated.
QString noRankText();

// The band's sentence (noRankText() for Band::NoRank).
QString bandText(Band band);

// The sentence that tells how many reference rows were left out and why;
// empty when none was.
QString leftOutText(const RankModel::LeftOut &leftOut);

// The ends of a likely range as the exports write them: "" where there is none.
QString bestRankText(const std::optional<LikelyRange> &range);
QString worstRankText(const std::optional<LikelyRange> &range);
// A likely range as "B تا W", each number isolated left to right; "" where
// there is none.
QString rangeText(const std::optional<LikelyRange> &range);

// The typical error as the report, the chart and its description tell it:
// "خطاي معمول تخمين: N رتبه".
QString typicalErrorText(std::int64_t ranks);

QString verdictText(Verdict verdict);

// What the chart's value label shows for an answer: empty, the two fixed
// messages, or the average with two decimals.
QString requiredAverageText(const TargetAnswer &answer);

// The band bounds as a sentence lists them: "40، 100، … و 11000".
QString boundsText();

// Caption of the change factor, as the main window has it beside its box.
QString factorCaption();

inline constexpr std::size_t kFigureCount = 9;

// In the order of the main window's lbl1 .. lbl9.
const std::array<QString, kFigureCount> &figureCaptions();

// The values in the same order; "" for a figure the pass could not compute.
std::array<QString, kFigureCount> figureTexts(const PassResult &pass);

// An average as the lists show it: the stored value's own text.
inline QString averageText(const ApplicantRow &row)
{
    return cellText(row.avg);
}

} // namespace placeva
