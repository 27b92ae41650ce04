#pragma once
// The mock choice list's admission rule: the choices every priority list
// offers, each with the highest rank it admits, and the first priority that
// admits a rank. No widgets, so that the window and its tests share it.

#include "core/rankrange.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace placeva {

// One choice with the highest rank it admits (nothing: it admits none).
struct ChoiceRow
{
    QString name;
    std::optional<std::int32_t> limit;

    bool operator==(const ChoiceRow &) const = default;
};
// The choices in the order every priority list offers them.
using ChoiceTable = QList<ChoiceRow>;

// The 27 built-in choices, which stand where the database has no table of its
// own. A trailing "_ش" marks the evening course of the institution named
// before it.
const ChoiceTable &builtInChoices();
const QStringList &choiceNames();

// The highest rank a choice admits, its first row of that name deciding;
// nothing for a text that is not a choice or a choice without a limit.
std::optional<std::int32_t> admissionLimit(const QString &choice, const ChoiceTable &table = builtInChoices());

// True when the rank is at least 1 and at most the limit of the choice,
// matched exactly. An empty text, an unknown text or a choice without a limit
// admits no rank.
bool isAdmitted(const QString &choice, std::int32_t rank, const ChoiceTable &table = builtInChoices());

// The index of the first priority whose choice admits the rank, or nothing.
std::optional<int> firstAdmitting(const QStringList &priorities, std::int32_t rank,
                                  const ChoiceTable &table = builtInChoices());

// The verdict beside one priority for an estimated rank and its likely range
// (see admissionVerdict); nothing for an empty priority.
std::optional<Verdict> choiceVerdict(const QString &choice, std::int32_t rank,
                                     const std::optional<LikelyRange> &range,
                                     const ChoiceTable &table = builtInChoices());

// What the result line says when no priority admits the rank.
QString notAdmittedText();

} // namespace placeva
