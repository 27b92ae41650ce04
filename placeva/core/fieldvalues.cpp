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
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <charconv>
#include <optional>
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

namespace {

// A text that is nothing but an optional sign, digits and at most one point
// (most cells of a spreadsheet), read as strictNumber would read it; nothing
// for any other text, which goes the whole way.
template <class Ch> std::optional<double> plainDecimal(const Ch *s, qsizetype n)
{
    if (n == 0 || n > 64)
        return std::nullopt;
    char ascii[64];
    bool digits = false, point = false;
    // Up to 15 digits and 22 after the point, the digits as a whole number m
    // and the decimal m / 10^f: both exact in a double, so one division
    // gives the nearest double, as from_chars would.
    quint64 m = 0;
    int significant = 0, fraction = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = char16_t(s[i]);
        if (c >= u'0' && c <= u'9') {
            digits = true;
            if (m > 0 || c != u'0')
                ++significant;
            m = m * 10 + quint64(c - u'0'); // read only while significant <= 15
            fraction += point;
        } else if (c == u'.' && !point) {
            point = true;
        } else if (!((c == u'-' || c == u'+') && i == 0)) {
            return std::nullopt;
        }
        ascii[i] = char(c);
    }
    if (!digits)
        return std::nullopt;
    if (significant <= 15 && fraction <= 22) {
        static constexpr double kPowers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const double v = double(m) / kPowers[fraction];
        return ascii[0] == '-' ? -v : v;
    }
    const char *b = ascii[0] == '+' ? ascii + 1 : ascii;
    double v = 0;
    const auto r = std::from_chars(b, ascii + n, v);
    if (r.ec != std::errc() || r.ptr != ascii + n)
        return std::nullopt;
    return v;
}

} // namespace

QVariant storedNumber(double number)
{
    if (isWholeInDoubleRange(number))
        return QVariant(static_cast<qint64>(number));
    return QVariant(number);
}

Converted valueFromText(const QString &field, const QString &text)
{
    if (fieldKind(field) == FieldKind::Text)
        return {QVariant(text), std::nullopt};
    return numberFromText(field, text);
}

Converted numberFromText(const QString &field, const QString &text)
{
    if (const std::optional<double> plain = plainDecimal(text.utf16(), text.size()))
        return {storedNumber(*plain), std::nullopt};
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {QVariant(), std::nullopt};
    double number = 0;
    try {
        number = common::strictNumber(trimmed);
    } catch (const common::NumberError &) {
        return {
            QVariant(),
            makeError(StoreErrorKind::Refused,
                      QStringLiteral("«%2» براي ستون «%1» عدد نيست.")
                          .arg(common::isolate(cutForMessage(field)), common::isolate(cutForMessage(text))))};
    }
    return {storedNumber(number), std::nullopt};
}

Converted numberFromUtf8(const QString &field, QByteArrayView text)
{
    if (const std::optional<double> plain = plainDecimal(text.data(), text.size()))
        return {storedNumber(*plain), std::nullopt};
    if (text.isEmpty())
        return {QVariant(), std::nullopt};
    // A leading U+FEFF stays, as in the decoded file (fromUtf8 drops it).
    QStringDecoder keepingBom(QStringDecoder::Utf8,
                              QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return numberFromText(field, keepingBom.decode(text));
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
