#pragma once
// The rows the statistics read from Davtalab and Formol, as stored, and how a
// stored value reads as a number or shows in a list.

#include <QString>
#include <QVariant>

#include <optional>

namespace placeva {

// One row of Davtalab as stored: column 0 (the name) and Avg. Either may be
// NULL, a REAL, an INTEGER or a TEXT.
struct ApplicantRow
{
    QVariant name;
    QVariant avg;
};

// One row of Formol as stored: Avg and Rotbeh.
struct ReferenceRow
{
    QVariant avg;
    QVariant rotbeh;
};

// Whether a stored value is a number type (REAL, INTEGER) rather than TEXT.
bool isNumberCell(const QVariant &value);

// A stored value as a list shows it: NULL gives "", a number its shortest
// form, a text itself.
QString cellText(const QVariant &value);
// A stored value as a number: REAL and INTEGER as they are, TEXT when the
// whole text is a number. NULL, empty or non-numeric text and values that are
// not finite give nothing.
std::optional<double> cellNumber(const QVariant &value);

} // namespace placeva
