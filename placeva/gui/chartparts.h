#pragma once
// What the chart window's parts share: its fixed texts, the hover texts' limit
// and how the markers are drawn.

#include "gui/charttexts.h"

#include <QChar>
#include <QString>

class QScatterSeries;

namespace placeva::chart_parts {

inline QString text(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// Right-to-left mark: a line that starts with a Latin name still reads
// right to left.
inline const QChar kRlm(0x200F);

inline constexpr int kMostInToolTip = 5;

// The applicants' and the reference results' markers, in pixels.
inline constexpr qreal kMarkerSize = 7;

// Qt Charts gives each marker an item of its own, placed, recoloured and
// painted one by one whenever the points change. Stamped, a series paints one
// picture of its marker at every point in one pass (on whole pixels); drawn,
// each marker is an item again, as a vector drawing needs.
void stampMarkers(QScatterSeries *series, qreal size);
void drawMarkers(QScatterSeries *series, qreal size);

} // namespace placeva::chart_parts
