#pragma once
// What the chart window's parts share: its fixed texts and the hover texts' limit.

#include "gui/charttexts.h"

#include <QChar>
#include <QString>

namespace placeva::chart_parts {

inline QString text(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// Right-to-left mark: a line that starts with a Latin name still reads
// right to left.
inline const QChar kRlm(0x200F);

inline constexpr int kMostInToolTip = 5;

} // namespace placeva::chart_parts
