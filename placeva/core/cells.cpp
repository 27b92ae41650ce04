#include "core/cells.h"

#include "numbers.h"

#include <cmath>
#include <cstring>

namespace placeva {

bool sameCell(const QVariant &a, const QVariant &b)
{
    if (a.metaType() != b.metaType() || a.isNull() != b.isNull())
        return false;
    switch (a.typeId()) {
    case QMetaType::QString: {
        // A text read again shares the one read before where it is alike.
        const QString &x = *static_cast<const QString *>(a.constData());
        const QString &y = *static_cast<const QString *>(b.constData());
        return (x.constData() == y.constData() && x.size() == y.size()) || x == y;
    }
    case QMetaType::LongLong: return a.toLongLong() == b.toLongLong();
    case QMetaType::Double: {
        const double x = a.toDouble(), y = b.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case QMetaType::QByteArray: return a.toByteArray() == b.toByteArray();
    default: return a.isNull() || a == b; // not what the file gives; alike only when equal
    }
}

bool isNumberCell(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: return true;
    default: return false;
    }
}

QString cellText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QString) // most cells: shared, not converted
        return *static_cast<const QString *>(value.constData());
    if (isNumberCell(value))
        return common::shortestText(value.toDouble());
    return value.toString();
}

std::optional<double> cellNumber(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    double v;
    if (value.typeId() == QMetaType::Double) {
        v = *static_cast<const double *>(value.constData());
    } else if (isNumberCell(value)) {
        v = value.toDouble();
    } else {
        try {
            v = common::strictNumber(value.toString());
        } catch (const common::NumberError &) {
            return std::nullopt;
        }
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace placeva
