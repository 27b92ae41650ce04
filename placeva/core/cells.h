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

// Whether two stored values are exactly alike: the same type and the same
// value, a number to its last bit (0 and -0 differ, a NaN equals itself).
bool sameCell(const QVariant &a, const QVariant &b);
inline bool sameRow(const ApplicantRow &a, const ApplicantRow &b)
{
    return sameCell(a.name, b.name) && sameCell(a.avg, b.avg);
}
inline bool sameRow(const ReferenceRow &a, const ReferenceRow &b)
{
    return sameCell(a.avg, b.avg) && sameCell(a.rotbeh, b.rotbeh);
}
template <class Row> bool sameRows(const QVector<Row> &a, const QVector<Row> &b)
{
    if (a.size() != b.size())
        return false;
    if (a.constData() == b.constData())
        return true; // the very same rows
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!sameRow(a[i], b[i]))
            return false;
    return true;
}

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
