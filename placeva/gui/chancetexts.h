#pragma once
// What the choice list and the command line say about a list's chances.

#include "core/chances.h"

#include <QString>
#include <QStringList>

namespace placeva {

// A chance as the choice list shows it: "شانس: 35%".
QString chanceText(int percent);
// Beside a priority that can never be the admitting one.
QString deadText();
// Why it cannot, naming the earlier priority by its caption.
QString deadReason(const DeadPriority &dead, const QStringList &priorityCaptions);
// When no priority admits the worst likely rank.
QString noSafetyNetText();

} // namespace placeva
