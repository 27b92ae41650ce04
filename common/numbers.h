#pragma once
// Number conversions and checked arithmetic shared by the three programs.
// Every number a window shows or reads goes through here, so that the text
// written into a control reads back as the same value.

#include <QString>
#include <QStringView>

#include <cstdint>
#include <stdexcept>

namespace common {

enum class ErrorKind {
    Overflow,
    DivisionByZero,
    InvalidOperation,
    TypeMismatch
};

// A runtime fault with a name the user can read (shown in message boxes).
class NumberError : public std::runtime_error
{
public:
    explicit NumberError(ErrorKind kind);
    ErrorKind kind() const { return m_kind; }
    // Persian name of the fault, e.g. "سرريز" for an overflow.
    QString userName() const;

private:
    ErrorKind m_kind;
};

// Persian (U+06F0..U+06F9) and Arabic-Indic (U+0660..U+0669) digits read as
// ASCII digits and the Arabic decimal separator U+066B as ".", since a Persian
// keyboard layout types them. Other characters are left as they are.
QString normalizeDigits(QStringView text);

// Leading-number parse: skips blanks, tabs and line feeds wherever they stand,
// reads an optional sign, digits with at most one ".", an optional exponent
// (E or e) and stops at the first character that cannot continue the number.
// "&H" and "&O" prefixes read hexadecimal and octal. Empty or non-numeric text
// gives 0. Throws NumberError(Overflow) only for a number too large for a double.
double leadingNumber(QStringView text);

// Strict conversion: the whole text apart from surrounding blanks must be a
// number (sign, digits, ".", exponent, or &H/&O). Throws TypeMismatch otherwise
// and Overflow for a number too large for a double.
double strictNumber(QStringView text);

// Shortest form: at most 15 significant digits, "." as decimal point, no
// trailing zeros, "0" before the point below 1, "-" for negatives. Magnitudes
// from 1e15 up or below 1e-4 are written with an exponent ("1E+15", "2.5E-07").
QString shortestText(double value);
// The same text as Latin-1 characters, for writers of many numbers; returns
// how many were written.
constexpr int kShortestChars = 48;
int shortestChars(double value, char (&out)[kShortestChars]);
// The shortest form's layout of the significant digits digits[0..nd) (no
// trailing zero but a lone "0") whose first stands for 10^exp; returns how
// many characters were written to out.
int layoutShortest(bool negative, const char *digits, int nd, int exp, char *out);

// The powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// About the decade of a magnitude from 1e-8 to below 1e22: d with
// 10^d <= a < 10^(d+1), found by exact powers; below 1 it may be one too
// high, which callers that check their result only pay for in speed.
int decadeOf(double a);

// Like shortestText, but a blank stands before zero and positive numbers.
QString signReservingText(double value);

// Two decimals, as the format "0.00" gives them ("10.40", "-3.25").
QString fixed2Text(double value);

// Whole-number rounding, an exact half going to the even neighbour.
double roundHalfEven(double value);
// The same into 16- and 32-bit integers; Overflow outside their range.
std::int16_t toInt16(double value);
std::int32_t toInt32(double value);
// Conversion to single precision; Overflow where the value does not fit.
float toSingle(double value);

// Double arithmetic with the floating-point status checked after the operation:
// a non-finite result is an Overflow, a division by zero DivisionByZero, 0/0 or
// a NaN InvalidOperation.
double checkedMul(double a, double b);
double checkedDiv(double a, double b);
double checkedAdd(double a, double b);
double checkedSub(double a, double b);

// 16-bit counter arithmetic: past the top (or bottom) is an Overflow.
std::int16_t addInt16(std::int16_t a, std::int32_t b);
std::int32_t addInt32(std::int32_t a, std::int32_t b);
std::int32_t subInt32(std::int32_t a, std::int32_t b);

} // namespace common
