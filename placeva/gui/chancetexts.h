#pragma once
// What the choice list and the command line say about a list's chances.

#include "core/chances.h"
#include "core/choices.h"

#include <QByteArray>
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

struct PassResult;

// The header of a choice list's spreadsheet.
QStringList choiceListHeaders();

// A choice list as a spreadsheet for a pass's applicant at this index:
// one row per priority (an empty one keeps its number), then the chance of
// no admission with the warning where it applies. UTF-8 with a byte-order mark.
QByteArray choiceListCsv(const PassResult &pass, qsizetype applicant, const QStringList &priorities,
                         const ChoiceTable &table);

} // namespace placeva
