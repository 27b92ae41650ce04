#include "core/cells.h"

#include "numbers.h"

#include <cmath>

namespace placeva {

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
    if (isNumberCell(value))
        return common::shortestText(value.toDouble());
    return value.toString();
}

std::optional<double> cellNumber(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    double v;
    if (isNumberCell(value)) {
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
