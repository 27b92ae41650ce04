#include "numbers.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>

namespace common {

NumberError::NumberError(ErrorKind kind)
    : std::runtime_error([kind] {
          switch (kind) {
          case ErrorKind::Overflow: return "Overflow";
          case ErrorKind::DivisionByZero: return "Division by zero";
          case ErrorKind::InvalidOperation: return "Invalid operation";
          case ErrorKind::TypeMismatch: return "Type mismatch";
          }
          return "Number error";
      }()),
      m_kind(kind)
{ }

QString NumberError::userName() const
{
    switch (m_kind) {
    case ErrorKind::Overflow: return QStringLiteral(u"سرريز");
    case ErrorKind::DivisionByZero: return QStringLiteral(u"تقسيم بر صفر");
    case ErrorKind::InvalidOperation: return QStringLiteral(u"عمليات نامعتبر");
    case ErrorKind::TypeMismatch: return QStringLiteral(u"عدم تطابق نوع");
    }
    return {};
}

namespace {

// Maps one UTF-16 unit to the ASCII character it stands for in a number, or 0
// when it can play no part in one (so that it stops the number).
char asciiOf(char16_t c)
{
    if (c < 0x80)
        return c == 0 ? '\x01' : static_cast<char>(c);
    if (c >= 0x06F0 && c <= 0x06F9)
        return static_cast<char>('0' + (c - 0x06F0));
    if (c >= 0x0660 && c <= 0x0669)
        return static_cast<char>('0' + (c - 0x0660));
    if (c == 0x066B)
        return '.';
    return '\x01';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// strtod in the "C" locale: the process locale may use another decimal point.
double cStrtod(const std::string &s)
{
    // Read by from_chars first: it needs no locale and no terminated copy, and
    // is correctly rounded as strtod is. It takes no "+" and reports overflow
    // and underflow alike, so those (rare) are left to strtod.
    {
        const char *b = s.data();
        const char *e = b + s.size();
        if (b != e && *b == '+')
            ++b;
        double v = 0;
        const auto r = std::from_chars(b, e, v);
        if (r.ec == std::errc() && r.ptr == e)
            return v;
    }
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    errno = 0;
    const double v = strtod_l(s.c_str(), nullptr, cLocale);
    if (std::isinf(v))
        throw NumberError(ErrorKind::Overflow);
    return v; // an underflow gives 0 or a subnormal, which is no error
}

// Reads "&H..." / "&O..." digits starting at s[i] (just after the prefix).
double radixValue(const std::string &s, size_t i, int radix, size_t *end)
{
    double v = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int d;
        if (isDigit(c))
            d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (d >= radix)
            break;
        v = v * radix + d;
        any = true;
    }
    if (std::isinf(v))
        throw NumberError(ErrorKind::Overflow);
    if (end)
        *end = i;
    return any ? v : 0.0;
}

// Scans a decimal number (sign, digits, one ".", exponent) from s[i]. Returns
// the position after it and the text that strtod should read; no digits at all
// leaves `text` empty.
size_t scanDecimal(const std::string &s, size_t i, std::string &text)
{
    text.clear();
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        text += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            text += s[i];
            digits = true;
        } else if (s[i] == '.' && !point) {
            text += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits) {
        text.clear();
        return i;
    }
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exp += s[j++];
        const size_t expStart = j;
        while (j < s.size() && isDigit(s[j]))
            exp += s[j++];
        if (j > expStart) {
            text += exp;
            i = j;
        }
    }
    return i;
}

double signedRadix(const std::string &s, size_t i, size_t *end)
{
    // s[i] == '&'
    if (i + 1 < s.size()) {
        const char k = s[i + 1];
        if (k == 'H' || k == 'h')
            return radixValue(s, i + 2, 16, end);
        if (k == 'O' || k == 'o')
            return radixValue(s, i + 2, 8, end);
    }
    if (end)
        *end = i;
    return 0.0;
}

std::string toAsciiNumberText(QStringView text, bool dropBlanks)
{
    std::string s;
    s.reserve(static_cast<size_t>(text.size()));
    for (QChar qc : text) {
        const char c = asciiOf(qc.unicode());
        if (dropBlanks && (c == ' ' || c == '\t' || c == '\n'))
            continue;
        s += c;
    }
    return s;
}

} // namespace

QString normalizeDigits(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if ((c >= 0x06F0 && c <= 0x06F9) || (c >= 0x0660 && c <= 0x0669) || c == 0x066B)
            out += QChar(asciiOf(c));
        else
            out += qc;
    }
    return out;
}

double leadingNumber(QStringView text)
{
    // Blanks, tabs and line feeds are skipped wherever they stand.
    const std::string s = toAsciiNumberText(text, true);
    if (!s.empty() && s[0] == '&')
        return signedRadix(s, 0, nullptr);
    std::string num;
    scanDecimal(s, 0, num);
    if (num.empty())
        return 0.0;
    return cStrtod(num);
}

double strictNumber(QStringView text)
{
    std::string s = toAsciiNumberText(text, false);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    s = s.substr(b, e - b);
    if (s.empty())
        throw NumberError(ErrorKind::TypeMismatch);
    size_t end = 0;
    double v;
    if (s[0] == '&') {
        v = signedRadix(s, 0, &end);
        if (end <= 2)
            throw NumberError(ErrorKind::TypeMismatch);
    } else {
        std::string num;
        end = scanDecimal(s, 0, num);
        if (num.empty())
            throw NumberError(ErrorKind::TypeMismatch);
        v = cStrtod(num);
    }
    if (end != s.size())
        throw NumberError(ErrorKind::TypeMismatch);
    return v;
}

QString shortestText(double value)
{
    char out[kShortestChars];
    return QString::fromLatin1(out, shortestChars(value, out));
}

int shortestChars(double value, char (&out)[kShortestChars])
{
    const auto literal = [&out](const char *text) {
        const int n = int(std::strlen(text));
        std::memcpy(out, text, std::size_t(n));
        return n;
    };
    if (std::isnan(value))
        return literal("NaN");
    if (std::isinf(value))
        return literal(value < 0 ? "-Infinity" : "Infinity");
    if (value == 0)
        return literal("0");

    // 15 significant digits, correctly rounded and independent of the locale;
    // fixed buffers, since every list row of a pass goes through here.
    bool neg = value < 0;
    char digits[24];
    int nd = 0;
    int exp = 0;
    // Most stored numbers are hundredths: a value that is the double nearest
    // to k / 100 for a k of at most 13 digits lies far closer to that decimal
    // than half a unit of its 15th digit, so k's digits are the rounding.
    const double hundredths = std::nearbyint(value * 100);
    if (std::abs(hundredths) < 1e13 && hundredths / 100 == value) {
        long long k = std::llabs(static_cast<long long>(hundredths));
        char reversed[16];
        int n = 0;
        do {
            reversed[n++] = char('0' + k % 10);
            k /= 10;
        } while (k > 0);
        for (int i = n - 1; i >= 0; --i)
            digits[nd++] = reversed[i];
        exp = n - 3;
    } else {
        char sci[40];
        const auto r = std::to_chars(sci, sci + sizeof sci - 1, value, std::chars_format::scientific, 14);
        *r.ptr = '\0'; // to_chars does not terminate; the exponent is read with atoi
        const char *p = sci;
        neg = *p == '-';
        if (neg)
            ++p;
        for (; p < r.ptr && *p != 'e'; ++p)
            if (*p != '.')
                digits[nd++] = *p;
        exp = std::atoi(p + 1);
    }
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;
    return layoutShortest(neg, digits, nd, exp, out);
}

int layoutShortest(bool negative, const char *digits, int nd, int exp, char *out)
{
    int n = 0;
    if (negative)
        out[n++] = '-';
    if (exp >= 15 || exp < -4) {
        out[n++] = digits[0];
        if (nd > 1) {
            out[n++] = '.';
            for (int i = 1; i < nd; ++i)
                out[n++] = digits[i];
        }
        // At least two digits in the exponent, as "E-07" and "E+308".
        const int e = std::abs(exp);
        out[n++] = 'E';
        out[n++] = exp < 0 ? '-' : '+';
        if (e >= 100)
            out[n++] = char('0' + e / 100);
        out[n++] = char('0' + e / 10 % 10);
        out[n++] = char('0' + e % 10);
    } else if (exp < 0) {
        out[n++] = '0';
        out[n++] = '.';
        for (int i = 0; i < -exp - 1; ++i)
            out[n++] = '0';
        for (int i = 0; i < nd; ++i)
            out[n++] = digits[i];
    } else {
        const int intLen = exp + 1;
        for (int i = 0; i < intLen; ++i)
            out[n++] = i < nd ? digits[i] : '0';
        if (nd > intLen) {
            out[n++] = '.';
            for (int i = intLen; i < nd; ++i)
                out[n++] = digits[i];
        }
    }
    return n;
}

int decadeOf(double a)
{
    int e10 = 0;
    if (a >= 1) {
        while (e10 < 22 && a >= kExactPowersOfTen[e10 + 1])
            ++e10;
    } else {
        e10 = -1;
        while (e10 > -8 && a * kExactPowersOfTen[-e10] < 1)
            --e10;
    }
    return e10;
}

QString signReservingText(double value)
{
    const QString s = shortestText(value);
    return s.startsWith(u'-') ? s : QLatin1Char(' ') + s;
}

QString fixed2Text(double value)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    QString s = QString::fromLatin1(buf, r.ptr - buf);
    if (s == QLatin1String("-0.00"))
        s = QStringLiteral("0.00");
    return s;
}

double roundHalfEven(double value)
{
    // nearbyint follows the default rounding mode: to nearest, ties to even.
    return std::nearbyint(value);
}

std::int16_t toInt16(double value)
{
    const double r = roundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0))
        throw NumberError(ErrorKind::Overflow);
    return static_cast<std::int16_t>(r);
}

std::int32_t toInt32(double value)
{
    const double r = roundHalfEven(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        throw NumberError(ErrorKind::Overflow);
    return static_cast<std::int32_t>(r);
}

float toSingle(double value)
{
    if (std::isnan(value))
        throw NumberError(ErrorKind::InvalidOperation);
    const float f = static_cast<float>(value);
    if (std::isinf(f) && !std::isinf(value))
        throw NumberError(ErrorKind::Overflow);
    if (std::isinf(f))
        throw NumberError(ErrorKind::Overflow);
    return f;
}

namespace {
double checkResult(double r)
{
    if (std::isnan(r))
        throw NumberError(ErrorKind::InvalidOperation);
    if (std::isinf(r))
        throw NumberError(ErrorKind::Overflow);
    return r;
}
} // namespace

double checkedMul(double a, double b)
{
    return checkResult(a * b);
}

double checkedDiv(double a, double b)
{
    if (b == 0) {
        if (a == 0 || std::isnan(a))
            throw NumberError(ErrorKind::InvalidOperation);
        throw NumberError(ErrorKind::DivisionByZero);
    }
    return checkResult(a / b);
}

double checkedAdd(double a, double b)
{
    return checkResult(a + b);
}
double checkedSub(double a, double b)
{
    return checkResult(a - b);
}

std::int16_t addInt16(std::int16_t a, std::int32_t b)
{
    const std::int64_t r = std::int64_t(a) + b;
    if (r > std::numeric_limits<std::int16_t>::max() || r < std::numeric_limits<std::int16_t>::min())
        throw NumberError(ErrorKind::Overflow);
    return static_cast<std::int16_t>(r);
}

std::int32_t addInt32(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r))
        throw NumberError(ErrorKind::Overflow);
    return r;
}

std::int32_t subInt32(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_sub_overflow(a, b, &r))
        throw NumberError(ErrorKind::Overflow);
    return r;
}

} // namespace common
