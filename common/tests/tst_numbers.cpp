#include "numbers.h"

#include <QtTest>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using common::ErrorKind;
using common::NumberError;

Q_DECLARE_METATYPE(ErrorKind)

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void leading_data();
    void leading();
    void leadingOverflow();
    void strict_data();
    void strict();
    void strictRejects_data();
    void strictRejects();
    void shortest_data();
    void shortest();
    void signReserving_data();
    void signReserving();
    void fixed2_data();
    void fixed2();
    void rounding_data();
    void rounding();
    void integerRange_data();
    void integerRange();
    void checkedArithmetic_data();
    void checkedArithmetic();
    void counters();
    void shortestReadsBack();
    void shortestHundredthsAsNeighbours();
};

void TestNumbers::leading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("abc") << "abc" << 0.0;
    QTest::newRow("minus alone") << "-" << 0.0;
    QTest::newRow("12abc") << "12abc" << 12.0;
    QTest::newRow("-5") << "-5" << -5.0;
    QTest::newRow("+7") << "+7" << 7.0;
    QTest::newRow("0.01") << "0.01" << 0.01;
    QTest::newRow(".5") << ".5" << 0.5;
    QTest::newRow("1.2.3") << "1.2.3" << 1.2;
    QTest::newRow("blanks inside") << " 1 2\t3\n4 " << 1234.0;
    QTest::newRow("- 5") << "- 5" << -5.0;
    QTest::newRow("--5") << "--5" << 0.0;
    QTest::newRow("1e3") << "1e3" << 1000.0;
    QTest::newRow("1E-2") << "1E-2" << 0.01;
    QTest::newRow("1e") << "1e" << 1.0;
    QTest::newRow("2e+x") << "2e+x" << 2.0;
    QTest::newRow("&H1F") << "&H1F" << 31.0;
    QTest::newRow("&hff") << "&hff" << 255.0;
    QTest::newRow("&O17") << "&O17" << 15.0;
    QTest::newRow("&O9") << "&O9" << 0.0;
    QTest::newRow("1.00") << "1.00" << 1.0;
    QTest::newRow("carriage return stops") << "1\r2" << 1.0;
    QTest::newRow("underflow") << "1e-400" << 0.0;
    QTest::newRow("persian 12") << QString::fromUtf8("۱۲") << 12.0;
    QTest::newRow("arabic-indic 7.5") << QString::fromUtf8("٧٫٥") << 7.5;
    QTest::newRow("persian with arabic sep") << QString::fromUtf8("-۳٫۲۵abc") << -3.25;
    QTest::newRow("mixed digit sets") << QString::fromUtf8("1۲٣") << 123.0;
    QTest::newRow("persian letter stops") << QString::fromUtf8("12ب3") << 12.0;
    QTest::newRow("22.2222222222222") << "22.2222222222222" << 22.2222222222222;
}

void TestNumbers::leading()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(common::leadingNumber(text), value);
}

void TestNumbers::leadingOverflow()
{
    for (const char *t : {"1e309", "-1e400", "1e99999999999999999999"}) {
        try {
            common::leadingNumber(QString::fromLatin1(t));
            QFAIL(t);
        } catch (const NumberError &e) {
            QCOMPARE(e.kind(), ErrorKind::Overflow);
            QVERIFY(!e.userName().isEmpty());
        }
    }
    QCOMPARE(common::leadingNumber(QString(400, QLatin1Char('0')) + "5"), 5.0);
}

void TestNumbers::strict_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("37") << "37" << 37.0;
    QTest::newRow(" 7.5 ") << " 7.5 " << 7.5;
    QTest::newRow("-3") << "-3" << -3.0;
    QTest::newRow("+3") << "+3" << 3.0;
    QTest::newRow("1e2") << "1e2" << 100.0;
    QTest::newRow(".5") << ".5" << 0.5;
    QTest::newRow("5.") << "5." << 5.0;
    QTest::newRow("&H10") << "&H10" << 16.0;
    QTest::newRow("persian 40") << QString::fromUtf8("۴۰") << 40.0;
    QTest::newRow("persian decimal") << QString::fromUtf8(" ۷٫۵\t") << 7.5;
    // The edges of a double's range, and more digits than it holds.
    QTest::newRow("4.9e-324") << "4.9e-324" << 4.9e-324;
    QTest::newRow("1e-400") << "1e-400" << 0.0;
    QTest::newRow("+.5") << "+.5" << 0.5;
    QTest::newRow("0.1000000000000000055511151231257827") << "0.1000000000000000055511151231257827" << 0.1;
}

void TestNumbers::strict()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(common::strictNumber(text), value);
}

void TestNumbers::strictRejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<ErrorKind>("kind");
    QTest::newRow("empty") << "" << ErrorKind::TypeMismatch;
    QTest::newRow("blanks") << "   " << ErrorKind::TypeMismatch;
    QTest::newRow("abc") << "abc" << ErrorKind::TypeMismatch;
    QTest::newRow("12abc") << "12abc" << ErrorKind::TypeMismatch;
    QTest::newRow("1 2") << "1 2" << ErrorKind::TypeMismatch;
    QTest::newRow("minus") << "-" << ErrorKind::TypeMismatch;
    QTest::newRow("dot") << "." << ErrorKind::TypeMismatch;
    QTest::newRow("1e") << "1e" << ErrorKind::TypeMismatch;
    QTest::newRow("&H") << "&H" << ErrorKind::TypeMismatch;
    QTest::newRow("1,5") << "1,5" << ErrorKind::TypeMismatch;
    QTest::newRow("1e400") << "1e400" << ErrorKind::Overflow;
}

void TestNumbers::strictRejects()
{
    QFETCH(QString, text);
    QFETCH(ErrorKind, kind);
    try {
        common::strictNumber(text);
        QFAIL("accepted");
    } catch (const NumberError &e) {
        QCOMPARE(e.kind(), kind);
    }
}

void TestNumbers::shortest_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("400/18") << 400.0 / 18 << "22.2222222222222";
    QTest::newRow("100/18") << 100.0 / 18 << "5.55555555555556";
    QTest::newRow("10/18") << 10.0 / 18 << "0.555555555555556";
    QTest::newRow("50/18") << 50.0 / 18 << "2.77777777777778";
    QTest::newRow("-5/18") << -5.0 / 18 << "-0.277777777777778";
    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << "0.3";
    QTest::newRow("12.5") << 12.5 << "12.5";
    QTest::newRow("18") << 18.0 << "18";
    QTest::newRow("50") << 50.0 << "50";
    QTest::newRow("0") << 0.0 << "0";
    QTest::newRow("-0") << -0.0 << "0";
    QTest::newRow("-10") << -10.0 << "-10";
    QTest::newRow("4400/3") << 4400.0 / 3 << "1466.66666666667";
    QTest::newRow("1800.00000000001") << 1800.0000000000100 << "1800.00000000001";
    QTest::newRow("999999999999999") << 999999999999999.0 << "999999999999999";
    QTest::newRow("1e15") << 1e15 << "1E+15";
    QTest::newRow("0.0001") << 0.0001 << "0.0001";
    QTest::newRow("0.00001") << 0.00001 << "1E-05";
    QTest::newRow("-2.5e-7") << -2.5e-7 << "-2.5E-07";
    QTest::newRow("1e308") << 1e308 << "1E+308";
    QTest::newRow("rounds up a digit") << 9.9999999999999999e14 << "1E+15";
}

void TestNumbers::shortest()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(common::shortestText(value), text);
    // a call with a longer exponent first must leave nothing behind
    common::shortestText(-1.5e-300);
    QCOMPARE(common::shortestText(value), text);
}

void TestNumbers::signReserving_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("73") << 73.0 << " 73";
    QTest::newRow("0") << 0.0 << " 0";
    QTest::newRow("-10") << -10.0 << "-10";
    QTest::newRow("7.5") << 7.5 << " 7.5";
}

void TestNumbers::signReserving()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(common::signReservingText(value), text);
}

void TestNumbers::fixed2_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("10.4") << 10.4 << "10.40";
    QTest::newRow("10") << 10.0 << "10.00";
    QTest::newRow("-3.25") << -3.25 << "-3.25";
    QTest::newRow("-0.001") << -0.001 << "0.00";
    QTest::newRow("2/3") << 2.0 / 3 << "0.67";
}

void TestNumbers::fixed2()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(common::fixed2Text(value), text);
}

void TestNumbers::rounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("12.5") << 12.5 << 12;
    QTest::newRow("37.5") << 37.5 << 38;
    QTest::newRow("62.5") << 62.5 << 62;
    QTest::newRow("-10.5") << -10.5 << -10;
    QTest::newRow("-11.5") << -11.5 << -12;
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("92.50000000000001") << 92.50000000000001 << 93;
    QTest::newRow("2.4999") << 2.4999 << 2;
}

void TestNumbers::rounding()
{
    QFETCH(double, value);
    QFETCH(int, rounded);
    QCOMPARE(int(common::toInt16(value)), rounded);
    QCOMPARE(int(common::toInt32(value)), rounded);
    QCOMPARE(common::roundHalfEven(value), double(rounded));
}

void TestNumbers::integerRange_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits16");
    QTest::addColumn<bool>("fits32");
    QTest::newRow("32767.4") << 32767.4 << true << true;
    QTest::newRow("32767.5") << 32767.5 << false << true;
    QTest::newRow("-32768.5") << -32768.5 << true << true; // ties to even: -32768
    QTest::newRow("-32769") << -32769.0 << false << true;
    QTest::newRow("2147483647.5") << 2147483647.5 << false << false;
    QTest::newRow("-2147483648.5") << -2147483648.5 << false << true;
    QTest::newRow("nan") << std::nan("") << false << false;
}

void TestNumbers::integerRange()
{
    QFETCH(double, value);
    QFETCH(bool, fits16);
    QFETCH(bool, fits32);
    bool ok16 = true, ok32 = true;
    try {
        common::toInt16(value);
    } catch (const NumberError &e) {
        ok16 = false;
        QCOMPARE(e.kind(), ErrorKind::Overflow);
    }
    try {
        common::toInt32(value);
    } catch (const NumberError &e) {
        ok32 = false;
        QCOMPARE(e.kind(), ErrorKind::Overflow);
    }
    QCOMPARE(ok16, fits16);
    QCOMPARE(ok32, fits32);
}

void TestNumbers::checkedArithmetic_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<int>("fault"); // -1: none, else ErrorKind
    QTest::newRow("1e308*3") << "*" << 1e308 << 3.0 << int(ErrorKind::Overflow);
    QTest::newRow("2*3") << "*" << 2.0 << 3.0 << -1;
    QTest::newRow("1/0") << "/" << 1.0 << 0.0 << int(ErrorKind::DivisionByZero);
    QTest::newRow("0/0") << "/" << 0.0 << 0.0 << int(ErrorKind::InvalidOperation);
    QTest::newRow("1e308/1e-10") << "/" << 1e308 << 1e-10 << int(ErrorKind::Overflow);
    QTest::newRow("1e308+1e308") << "+" << 1e308 << 1e308 << int(ErrorKind::Overflow);
    QTest::newRow("single 1e39") << "f" << 1e39 << 0.0 << int(ErrorKind::Overflow);
    QTest::newRow("single 3e38") << "f" << 3e38 << 0.0 << -1;
}

void TestNumbers::checkedArithmetic()
{
    QFETCH(QString, op);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(int, fault);
    int got = -1;
    try {
        if (op == "*")
            common::checkedMul(a, b);
        else if (op == "/")
            common::checkedDiv(a, b);
        else if (op == "+")
            common::checkedAdd(a, b);
        else
            common::toSingle(a);
    } catch (const NumberError &e) {
        got = int(e.kind());
    }
    QCOMPARE(got, fault);
}

void TestNumbers::counters()
{
    QCOMPARE(common::addInt16(32766, 1), std::int16_t(32767));
    QVERIFY_THROWS_EXCEPTION(NumberError, common::addInt16(32767, 1));
    QVERIFY_THROWS_EXCEPTION(NumberError, common::subInt32(std::numeric_limits<std::int32_t>::min(), 1));
    QCOMPARE(common::subInt32(100, 500), -400);
}

// Every finite double, written in the shortest form, reads back as the same
// value to 15 significant digits.
void TestNumbers::shortestReadsBack()
{
    std::mt19937_64 rng(20261207);
    const auto same15 = [](double a, double b) {
        char x[64], y[64];
        const auto ra = std::to_chars(x, x + 64, a, std::chars_format::scientific, 14);
        const auto rb = std::to_chars(y, y + 64, b, std::chars_format::scientific, 14);
        return (ra.ptr - x) == (rb.ptr - y) && std::memcmp(x, y, size_t(ra.ptr - x)) == 0;
    };
    int checked = 0;
    for (int i = 0; i < 1'000'000; ++i) {
        double v;
        if (i % 2 == 0) {
            // any bit pattern: every magnitude, subnormals included
            const std::uint64_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v))
                continue;
        } else {
            // percentages and averages near the numbers users type
            v = std::uniform_real_distribution<double>(-200, 200)(rng);
        }
        const QString text = common::shortestText(v);
        const double back = common::leadingNumber(text);
        if (!same15(v == 0 ? 0.0 : v, back))
            QFAIL(qPrintable(QString("%1 -> %2").arg(v, 0, 'g', 17).arg(text)));
        ++checked;
    }
    QVERIFY(checked > 900'000);
}

// Hundredths are written from their digits directly; a value one step away
// is written the general way and rounds to the same 15 digits, so the two
// texts must be alike at every magnitude and sign.
void TestNumbers::shortestHundredthsAsNeighbours()
{
    std::mt19937_64 rng(20261208);
    for (int i = 0; i < 200'000; ++i) {
        const int digits = 1 + i % 13;
        long long k = std::uniform_int_distribution<long long>(1, 9)(rng);
        for (int d = 1; d < digits; ++d)
            k = k * 10 + std::uniform_int_distribution<long long>(0, 9)(rng);
        if (i % 7 == 0 && digits > 3)
            k -= k % 1000; // trailing zeros
        const double v = (i % 2 ? -1.0 : 1.0) * double(k) / 100;
        for (double w : {std::nextafter(v, -1e300), std::nextafter(v, 1e300)}) {
            if (common::shortestText(v) != common::shortestText(w))
                QFAIL(qPrintable(QString("%1: %2, but %3: %4")
                                     .arg(v, 0, 'g', 17)
                                     .arg(common::shortestText(v))
                                     .arg(w, 0, 'g', 17)
                                     .arg(common::shortestText(w))));
        }
    }
}

QTEST_APPLESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
