#include "core/subjects.h"

#include "numbers.h"

#include <charconv>
#include <cmath>

namespace placeva {

namespace {

const char *sqlType(FieldRole role)
{
    switch (role) {
    case FieldRole::Name: return "TEXT";
    case FieldRole::Rank: return "INTEGER";
    case FieldRole::Subject:
    case FieldRole::Average: break;
    }
    return "REAL";
}

// What a number becomes once written as its shortest text and read back:
// rounded to 15 significant digits. Both conversions are correctly rounded,
// so going through the digits alone gives the same double, without the text.
double throughShortestText(double value)
{
    // Most running totals are hundredths. The double c nearest to k / 100, for
    // a k of at most 13 digits, lies far closer to that decimal than half a
    // unit of its 15th digit (the reasoning of common::shortestChars), and so
    // does a value one step from c: both have k / 100 as their 15-digit form,
    // which reads back as c. (Not for k = 0, whose neighbours are tiny
    // numbers of their own.)
    const double hundredths = std::nearbyint(value * 100);
    if (std::abs(hundredths) < 1e13) {
        const double c = hundredths / 100;
        if (c == value)
            return value;
        if (hundredths != 0 && std::nextafter(c, value) == value)
            return c;
    }
    // Otherwise the rounding to 15 digits itself, done exactly: with k chosen
    // so that value * 10^k has 15 digits before the point, p + e is that
    // product exactly (a product's error is a double, which fma gives), m
    // the whole number nearest to it, and m / 10^k, one correctly rounded
    // division of two exact doubles, what reading the digits gives. A
    // product within a hair of a half goes the long way, whose rounding of
    // ties decides.
    const auto &kPowers = common::kExactPowersOfTen;
    const double a = std::fabs(value);
    if (a >= 1e-8 && a < 1e13) {
        const int k = 14 - common::decadeOf(a); // the range of m below confirms it
        const double p = a * kPowers[k];
        const double e = std::fma(a, kPowers[k], -p);
        double m = std::nearbyint(p);
        const double r = (p - m) + e; // p - m is exact: p is below 2^50
        if (std::fabs(std::fabs(r) - 0.5) > 1e-6) {
            if (r > 0.5)
                m += 1;
            else if (r < -0.5)
                m -= 1;
            if (m >= 1e14 && m <= 1e15)
                return std::copysign(m / kPowers[k], value);
        }
    }
    char digits[40];
    const auto written =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, 14);
    double back = 0;
    std::from_chars(digits, written.ptr, back);
    return back;
}

} // namespace

QStringList TableFields::fieldNames() const
{
    QStringList names;
    for (const Field &f : m_fields)
        names << f.nameText();
    return names;
}

QString TableFields::columnsSql() const
{
    QStringList columns;
    for (const Field &f : m_fields)
        columns << f.nameText() + u' ' + QLatin1String(sqlType(f.role));
    return columns.join(QLatin1String(", "));
}

QString TableFields::createTableSql() const
{
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(tableName(), columnsSql());
}

bool isNumberField(const QString &name)
{
    // Each name once: the store asks for every cell it converts.
    static const QStringList numbers = [] {
        QStringList out;
        for (const TableFields *table : {&kApplicants, &kReferences}) {
            for (const Field &f : table->fields()) {
                if (f.role != FieldRole::Name && !out.contains(f.nameText()))
                    out << f.nameText();
            }
        }
        return out;
    }();
    return numbers.contains(name, Qt::CaseInsensitive);
}

QString weightedAverageText(const TableFields &table, const std::function<double(int)> &value,
                            const std::function<void(const QString &)> &partial)
{
    using namespace common;
    const std::span<const Field> subjects = table.subjects();
    double total = 0;
    for (int i = 0; i < int(subjects.size()); ++i) {
        const double term = checkedMul(subjects[size_t(i)].weight, value(i));
        if (partial) {
            const QString text = shortestText(checkedAdd(term, total));
            partial(text);
            total = leadingNumber(text);
        } else {
            total = throughShortestText(checkedAdd(term, total));
        }
    }
    return shortestText(checkedDiv(total, 18));
}

double weightedAverage(const TableFields &table, const std::function<double(int)> &value)
{
    using namespace common;
    const std::span<const Field> subjects = table.subjects();
    double total = 0;
    for (int i = 0; i < int(subjects.size()); ++i)
        total = throughShortestText(checkedAdd(checkedMul(subjects[size_t(i)].weight, value(i)), total));
    return throughShortestText(checkedDiv(total, 18));
}

} // namespace placeva
