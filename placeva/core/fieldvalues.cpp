#include "bidi.h"
#include "core/datalocation.h"
#include "core/outputcheck.h"
#include "core/storeinternal.h"
#include "numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace placeva {

using namespace store_detail;

namespace store_detail {

// A text cell the driver decoded with replacement characters may hold bytes
// that are not UTF-8; only its bytes tell whether it is unchanged.
bool mayBeUndecodable(const QVariant &v)
{
    return v.typeId() == QMetaType::QString && v.toString().contains(QChar::ReplacementCharacter);
}

bool isWholeInDoubleRange(double v)
{
    constexpr double limit = 9007199254740992.0; // 2^53: every whole double below is exact
    return std::isfinite(v) && v == std::trunc(v) && std::fabs(v) <= limit;
}

} // namespace store_detail

// ---------------------------------------------------------------------------
// Field conversions

FieldKind fieldKind(const QString &field)
{
    return isNumberField(field) ? FieldKind::Number : FieldKind::Text;
}

Converted valueFromText(const QString &field, const QString &text)
{
    if (fieldKind(field) == FieldKind::Text)
        return {QVariant(text), std::nullopt};
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {QVariant(), std::nullopt};
    double number = 0;
    try {
        number = common::strictNumber(trimmed);
    } catch (const common::NumberError &) {
        return {QVariant(),
                makeError(StoreErrorKind::Refused,
                          QStringLiteral("«%2» براي ستون «%1» عدد نيست.")
                              .arg(cutForMessage(field), cutForMessage(text)))};
    }
    if (isWholeInDoubleRange(number))
        return {QVariant(static_cast<qint64>(number)), std::nullopt};
    return {QVariant(number), std::nullopt};
}

QString textForBox(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return common::shortestText(value.toDouble());
    case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
    default: return value.toString();
    }
}

} // namespace placeva
