#include "core/csv.h"
#include "numbers.h"

#include <QtTest>

#include <bit>
#include <cmath>

using namespace placeva;

Q_DECLARE_METATYPE(placeva::TextEncoding)
Q_DECLARE_METATYPE(placeva::TextProblem)

namespace {

// Records as one compact string: fields joined by "|", records by " / ",
// each record prefixed with its line.
QString shape(const CsvTable &table)
{
    QStringList out;
    for (const CsvRecord &r : table.records)
        out << QStringLiteral("%1:%2").arg(r.line).arg(r.fields.join(QLatin1Char('|')));
    return out.join(QStringLiteral(" / "));
}

// The window's steps to the letter: the running total is a text, read back
// by the leading-number parse before each addition.
QString literalAverage(const QStringList &boxes)
{
    using namespace common;
    const bool ten = boxes.size() == 10;
    QString total = QStringLiteral("0");
    for (int i = 0; i < boxes.size(); ++i) {
        double w = 1;
        if (i == 3)
            w = 3;
        if (i == 5)
            w = 2;
        if (i == 6)
            w = 4;
        if (i >= 7)
            w = ten ? checkedDiv(5, 3) : 5;
        total = shortestText(checkedAdd(checkedMul(w, leadingNumber(boxes.at(i))), leadingNumber(total)));
    }
    return shortestText(checkedDiv(leadingNumber(total), 18));
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

private slots:
    void decoding_data();
    void decoding();
    void windows1256Letters_data();
    void windows1256Letters();
    void separator_data();
    void separator();
    void parsing_data();
    void parsing();
    void bytesReadAsDecoded_data();
    void bytesReadAsDecoded();
    void bytesParsedAsText_data() { parsing_data(); }
    void bytesParsedAsText();
    void writingReadsBack_data();
    void writingReadsBack();
    void spreadsheetSafe_data();
    void spreadsheetSafe();
    void averages_data();
    void averages();
    void averageFaults();
    void averageMatchesTheLiteralSteps();
    void averageFromReadValues_data();
    void averageFromReadValues();
    void averageOfTenths();
    void averageOfAnyNumbers();
    void numberCharsAsShortest_data();
    void numberCharsAsShortest();
};

void TestCsv::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextProblem>("problem");
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("text");

    QTest::newRow("ASCII") << QByteArray("Name,Dini\r\n") << TextProblem::None << TextEncoding::Utf8
                           << QStringLiteral("Name,Dini\r\n");
    QTest::newRow("UTF-8 Persian") << QByteArray("\xd9\xbe\xd8\xb1\xd9\x88\xdb\x8c\xd8\xb2")
                                   << TextProblem::None << TextEncoding::Utf8
                                   << QString::fromUtf16(u"\u067e\u0631\u0648\u06cc\u0632");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbf"
                                                  "a,b")
                                    << TextProblem::None << TextEncoding::Utf8WithBom
                                    << QStringLiteral("a,b");
    // Bytes that are no UTF-8: the Arabic code page, every byte a character.
    QTest::newRow("Windows-1256") << QByteArray("\x81\xc7\x90,\xed") << TextProblem::None
                                  << TextEncoding::Windows1256 << QString::fromUtf16(u"پاگ,ي");
    QTest::newRow("UTF-8 cut in a letter") << QByteArray("ab\xd9") << TextProblem::None
                                           << TextEncoding::Windows1256 << QString::fromUtf16(u"abظ");
    QTest::newRow("no bytes") << QByteArray() << TextProblem::Empty << TextEncoding::Utf8 << QString();
    QTest::newRow("only a BOM and line ends") << QByteArray("\xef\xbb\xbf\r\n \r\n") << TextProblem::Empty
                                              << TextEncoding::Utf8WithBom << QStringLiteral("\r\n \r\n");
    QTest::newRow("NUL byte") << QByteArray("a\0b", 3) << TextProblem::NotText << TextEncoding::Utf8
                              << QString();
    QTest::newRow("control character") << QByteArray("a\x01"
                                                     "b")
                                       << TextProblem::NotText << TextEncoding::Utf8
                                       << QStringLiteral("a\x01"
                                                         "b");
    QTest::newRow("C1 control in UTF-8")
        << QByteArray("a\xc2\x85"
                      "b")
        << TextProblem::NotText << TextEncoding::Utf8 << QString::fromUtf16(u"a\u0085b");
    QTest::newRow("UTF-16 little endian") << QByteArray("\xff\xfe"
                                                        "a\0",
                                                        4)
                                          << TextProblem::Utf16 << TextEncoding::Utf8 << QString();
    QTest::newRow("UTF-16 big endian")
        << QByteArray("\xfe\xff\0a", 4) << TextProblem::Utf16 << TextEncoding::Utf8 << QString();
}

void TestCsv::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TextProblem, problem);
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, text);
    const DecodedText d = decodeText(bytes);
    QCOMPARE(d.problem, problem);
    if (problem == TextProblem::NotText && text.isEmpty())
        return;
    QCOMPARE(d.encoding, encoding);
    QCOMPARE(d.text, text);
}

// A large file is read as UTF-8 bytes instead of decoded: the same verdict
// and, where it is text, the same text.
void TestCsv::bytesReadAsDecoded_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const std::pair<const char *, QByteArray> rows[] = {
        {"ASCII", "Name,Dini\r\n"},
        {"Persian", "\xd9\xbe\xd8\xb1,\xdb\x8c"},
        {"BOM", "\xef\xbb\xbf" "a,b"},
        {"two BOMs", "\xef\xbb\xbf\xef\xbb\xbf" "a"},
        {"two BOMs and a blank line", "\xef\xbb\xbf\xef\xbb\xbf\r\n"},
        {"a BOM inside", "a\n\xef\xbb\xbf" "b"},
        {"BOM, then bytes that are no UTF-8", "\xef\xbb\xbf\xd9\xbe\xff,\xc0\x80"},
        {"Windows-1256", "\x81\xc7\x90,\xed"},
        {"cut in a letter", "ab\xd9"},
        {"overlong", "a\xc0\x80"},
        {"overlong of three bytes", "a\xe0\x9f\xbf"},
        {"surrogate", "a\xed\xa0\x80"},
        {"past U+10FFFF", "a\xf4\x90\x80\x80"},
        {"U+FFFE and U+10FFFF", "a\xef\xbf\xbe\xf4\x8f\xbf\xbf"},
        {"no-break spaces only", "\xc2\xa0\r\n\xc2\xa0"},
        {"ideographic space only", "\xe3\x80\x80"},
        {"C1 control", "a\xc2\x85"},
        {"C1 control in Windows-1256", "a\x85\xff"},
        {"DEL", "a\x7f"},
        {"NUL", QByteArray("a\0b", 3)},
        {"UTF-16", "\xff\xfe" "a"},
        {"nothing", ""},
    };
    for (const auto &[name, bytes] : rows)
        QTest::newRow(name) << bytes;
    // Long ASCII is looked at eight bytes at a time: each of these at every
    // place in and across such a group.
    const std::pair<const char *, QByteArray> within[] = {
        {"C1 control", "\xc2\x85"}, {"DEL", "\x7f"},          {"control", "\x01"},
        {"tab and CRLF", "\t\r\n"}, {"overlong", "\xc0\x80"}, {"Persian", "\xd9\xbe"},
    };
    for (const auto &[name, bytes] : within) {
        for (int at = 0; at < 18; ++at)
            QTest::addRow("%s after %d ASCII bytes", name, at)
                << QByteArray(at, 'x') + bytes + QByteArray(17 - at, 'y');
    }
}

void TestCsv::bytesReadAsDecoded()
{
    QFETCH(QByteArray, bytes);
    const DecodedText decoded = decodeText(bytes);
    const Utf8Text utf8 = utf8Text(bytes);
    QCOMPARE(utf8.problem, decoded.problem);
    QCOMPARE(utf8.encoding, decoded.encoding);
    if (decoded.problem == TextProblem::None)
        QCOMPARE(utf8.text, decoded.text.toUtf8());
}

void TestCsv::bytesParsedAsText()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(int, unclosedQuoteLine);
    const CsvTable expected = parseCsv(text, separator.at(0));
    CsvTable got;
    const CsvTable status =
        readCsvUtf8(text.toUtf8(), char(separator.at(0).unicode()), 0, [&](CsvBytesRecord &record) {
            CsvRecord r{{}, record.line};
            for (const QByteArrayView cell : record.fields)
                r.fields.append(QString::fromUtf8(cell));
            got.records.append(r);
            return true;
        });
    QCOMPARE(status.unclosedQuoteLine, unclosedQuoteLine);
    if (unclosedQuoteLine == 0)
        QCOMPARE(shape(got), shape(expected));
}

// Entries of the published mapping of the code page, the letters Persian
// needs first; letters are kept as the code page has them.
void TestCsv::windows1256Letters_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("codePoint");
    const QList<QPair<int, int>> entries = {
        {0x81, 0x067E}, {0x8D, 0x0686}, {0x8E, 0x0698}, {0x90, 0x06AF}, {0x98, 0x06A9}, {0xED, 0x064A},
        {0xDF, 0x0643}, {0xEC, 0x0649}, {0xC7, 0x0627}, {0xC1, 0x0621}, {0xC2, 0x0622}, {0xE1, 0x0644},
        {0xE5, 0x0647}, {0xE6, 0x0648}, {0xD7, 0x00D7}, {0xDC, 0x0640}, {0x80, 0x20AC}, {0x9D, 0x200C},
        {0x9E, 0x200D}, {0xA1, 0x060C}, {0xBA, 0x061B}, {0xBF, 0x061F}, {0xC0, 0x06C1}, {0xAA, 0x06BE},
        {0xF0, 0x064B}, {0xFA, 0x0652}, {0xFD, 0x200E}, {0xFE, 0x200F}, {0xFF, 0x06D2}, {0xA0, 0x00A0},
        {0x41, 0x0041}, {0x7E, 0x007E},
    };
    for (const auto &e : entries)
        QTest::addRow("0x%02X", e.first) << e.first << e.second;
}

void TestCsv::windows1256Letters()
{
    QFETCH(int, byte);
    QFETCH(int, codePoint);
    const char b = char(byte);
    const QString text = fromWindows1256(QByteArrayView(&b, 1));
    QCOMPARE(text.size(), 1);
    QCOMPARE(int(text.at(0).unicode()), codePoint);
}

void TestCsv::separator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::newRow("comma") << QStringLiteral("Name,Dini,Riazi\n1;2;3;4") << QStringLiteral(",");
    QTest::newRow("semicolon") << QStringLiteral("Name;Dini;Riazi\n1,2,3,4") << QStringLiteral(";");
    QTest::newRow("tab") << QStringLiteral("Name\tDini\n") << QStringLiteral("\t");
    QTest::newRow("commas inside quotes") << QStringLiteral("\"a,b,c\";\"d,e\";f") << QStringLiteral(";");
    QTest::newRow("one column") << QStringLiteral("Name\nA,B") << QStringLiteral(",");
    QTest::newRow("quoted line break") << QStringLiteral("\"Na\nme;x;y\",Dini") << QStringLiteral(",");
}

void TestCsv::separator()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QCOMPARE(QString(detectSeparator(text)), separator);
}

void TestCsv::parsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("records");
    QTest::addColumn<int>("unclosedQuoteLine");

    QTest::newRow("LF") << QStringLiteral("a,b\nc,d\n") << "," << QStringLiteral("1:a|b / 2:c|d") << 0;
    QTest::newRow("CRLF, no final line end")
        << QStringLiteral("a,b\r\nc,d") << "," << QStringLiteral("1:a|b / 2:c|d") << 0;
    QTest::newRow("CR") << QStringLiteral("a\rb\r") << "," << QStringLiteral("1:a / 2:b") << 0;
    QTest::newRow("empty fields") << QStringLiteral(",a,,\n") << "," << QStringLiteral("1:|a||") << 0;
    QTest::newRow("blank line kept as a record")
        << QStringLiteral("a\n\nb\n") << "," << QStringLiteral("1:a / 2: / 3:b") << 0;
    QTest::newRow("quoted separator")
        << QStringLiteral("\"x,y\",z\n") << "," << QStringLiteral("1:x,y|z") << 0;
    QTest::newRow("doubled quotes") << QStringLiteral("\"say \"\"hi\"\"\",1") << ","
                                    << QStringLiteral("1:say \"hi\"|1") << 0;
    QTest::newRow("line break in quotes") << QStringLiteral("\"two\nlines\",1\nnext,2\n") << ","
                                          << QStringLiteral("1:two\nlines|1 / 3:next|2") << 0;
    QTest::newRow("CRLF in quotes kept")
        << QStringLiteral("\"a\r\nb\"\r\nc") << "," << QStringLiteral("1:a\r\nb / 3:c") << 0;
    QTest::newRow("empty quoted field") << QStringLiteral("\"\",x") << "," << QStringLiteral("1:|x") << 0;
    QTest::newRow("quote inside unquoted field")
        << QStringLiteral("5\" disk,2") << "," << QStringLiteral("1:5\" disk|2") << 0;
    QTest::newRow("text after closing quote")
        << QStringLiteral("\"a\"b,c") << "," << QStringLiteral("1:ab|c") << 0;
    QTest::newRow("semicolons") << QStringLiteral("a;\"b;c\"\n") << ";" << QStringLiteral("1:a|b;c") << 0;
    QTest::newRow("tabs") << QStringLiteral("a\t\tb") << "\t" << QStringLiteral("1:a||b") << 0;
    QTest::newRow("Persian") << QString::fromUtf16(u"\u0639\u0644\u064a,\u06f5\u06f0") << ","
                             << QString::fromUtf16(u"1:\u0639\u0644\u064a|\u06f5\u06f0") << 0;
    QTest::newRow("quote never closed") << QStringLiteral("a,1\nb,2\n\"c,3\nd,4\n") << "," << QString() << 3;
}

void TestCsv::parsing()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QString, records);
    QFETCH(int, unclosedQuoteLine);
    const CsvTable table = parseCsv(text, separator.at(0));
    QCOMPARE(table.unclosedQuoteLine, unclosedQuoteLine);
    if (unclosedQuoteLine == 0)
        QCOMPARE(shape(table), records);
}

void TestCsv::writingReadsBack_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << QStringList{"a", "1.5", ""} << QStringLiteral("a,1.5,\r\n");
    QTest::newRow("comma") << QStringList{"Rezaei, Ali"} << QStringLiteral("\"Rezaei, Ali\"\r\n");
    QTest::newRow("quote") << QStringList{"5\" disk"} << QStringLiteral("\"5\"\" disk\"\r\n");
    QTest::newRow("line breaks") << QStringList{"a\nb", "c\r\nd"}
                                 << QStringLiteral("\"a\nb\",\"c\r\nd\"\r\n");
    QTest::newRow("semicolon and tab stay bare")
        << QStringList{"a;b", "c\td"} << QStringLiteral("a;b,c\td\r\n");
    QTest::newRow("blanks kept") << QStringList{" x "} << QStringLiteral(" x \r\n");
    QTest::newRow("Persian") << QStringList{QString::fromUtf16(u"مريم")} << QString::fromUtf16(u"مريم\r\n");
}

void TestCsv::writingReadsBack()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, line);
    QString out;
    appendCsvRecord(out, fields);
    QCOMPARE(out, line);
    out += out; // two records
    const CsvTable table = parseCsv(out, QLatin1Char(','));
    QCOMPARE(table.records.size(), 2);
    QCOMPARE(table.records.at(0).fields, fields);
    QCOMPARE(table.records.at(1).fields, fields);

    const QByteArray file = csvFileBytes(out);
    QVERIFY(file.startsWith("\xef\xbb\xbf"));
    const DecodedText d = decodeText(file);
    QCOMPARE(d.encoding, TextEncoding::Utf8WithBom);
    QCOMPARE(d.text, out);
}

void TestCsv::spreadsheetSafe_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain name") << QStringLiteral("Ali") << QStringLiteral("Ali");
    QTest::newRow("formula") << QStringLiteral("=HYPERLINK(\"x\")") << QStringLiteral("'=HYPERLINK(\"x\")");
    QTest::newRow("plus") << QStringLiteral("+cmd") << QStringLiteral("'+cmd");
    QTest::newRow("minus word") << QStringLiteral("-Ali") << QStringLiteral("'-Ali");
    QTest::newRow("at") << QStringLiteral("@SUM(1)") << QStringLiteral("'@SUM(1)");
    QTest::newRow("tab") << QStringLiteral("\tx") << QStringLiteral("'\tx");
    QTest::newRow("negative number") << QStringLiteral("-5") << QStringLiteral("-5");
    QTest::newRow("signed exponent") << QStringLiteral("+1E+15") << QStringLiteral("+1E+15");
    QTest::newRow("apostrophe") << QStringLiteral("'x") << QStringLiteral("''x");
    QTest::newRow("apostrophe and formula") << QStringLiteral("'=x") << QStringLiteral("''=x");
    QTest::newRow("empty") << QString() << QString();
}

void TestCsv::spreadsheetSafe()
{
    QFETCH(QString, text);
    QFETCH(QString, written);
    QCOMPARE(spreadsheetSafeText(text), written);
    QCOMPARE(fromSpreadsheetSafeText(written), text);
}

void TestCsv::averages_data()
{
    QTest::addColumn<QStringList>("subjects");
    QTest::addColumn<QString>("average");
    const QString h = QStringLiteral("100");
    QTest::newRow("ten at 100") << QStringList(10, h) << QStringLiteral("100.000000000001");
    QTest::newRow("eight at 100") << QStringList(8, h) << QStringLiteral("100");
    QTest::newRow("ten mixed") << QStringList{"50", "40", "30", "20", "10", "33.3", "-5", "12", "45", "60"}
                               << QStringLiteral("23.9777777777778");
    QTest::newRow("eight mixed") << QStringList{"50", "40", "30", "20", "10", "33.3", "-5", "12"}
                                 << QStringLiteral("16.4777777777778");
    QTest::newRow("ten empty") << QStringList(10, QString()) << QStringLiteral("0");
    QTest::newRow("ten, only Riazi") << QStringList{"", "", "", "100", "", "", "", "", "", ""}
                                     << QStringLiteral("16.6666666666667");
    QTest::newRow("ten, the three specialised")
        << QStringList{"0", "0", "0", "0", "0", "0", "0", "100", "100", "100"}
        << QStringLiteral("27.7777777777778");
    QTest::newRow("eight, only takh")
        << QStringList{"", "", "", "", "", "", "", "100"} << QStringLiteral("27.7777777777778");
    QTest::newRow("ten, letters after a number")
        << QStringList{"12abc", "abc", "-5", "", "", "", "", "", "", ""} << common::shortestText(7.0 / 18);
    QTest::newRow("ten, Persian digits") << QStringList{QString::fromUtf16(u"\u06f5\u06f0"),
                                                        "40",
                                                        "30",
                                                        "20",
                                                        "10",
                                                        QString::fromUtf16(u"\u06f3\u06f3\u066b\u06f3"),
                                                        "-5",
                                                        "12",
                                                        "45",
                                                        QString::fromUtf16(u"\u0666\u0660")}
                                         << QStringLiteral("23.9777777777778");
}

void TestCsv::averages()
{
    QFETCH(QStringList, subjects);
    QFETCH(QString, average);
    if (subjects.size() == 10) {
        std::array<QString, 10> s;
        std::copy(subjects.begin(), subjects.end(), s.begin());
        QCOMPARE(applicantAverageText(s), average);
    } else {
        std::array<QString, 8> s;
        std::copy(subjects.begin(), subjects.end(), s.begin());
        QCOMPARE(referenceAverageText(s), average);
    }
}

void TestCsv::averageFaults()
{
    std::array<QString, 10> s;
    s[3] = QStringLiteral("1e308"); // three times that is past a double
    QVERIFY_THROWS_EXCEPTION(common::NumberError, applicantAverageText(s));
}

// Random percentages of every magnitude, written with 17 digits so that the
// rounding of the running total matters.
void TestCsv::averageMatchesTheLiteralSteps()
{
    QRandomGenerator g(87u);
    for (int round = 0; round < 20000; ++round) {
        const int n = round % 2 ? 10 : 8;
        QStringList boxes;
        for (int i = 0; i < n; ++i) {
            const double mantissa = g.generateDouble() * (g.bounded(2) ? 1 : -1);
            const double value = mantissa * std::pow(10.0, g.bounded(-9, 14));
            boxes << (g.bounded(10) == 0 ? QString() : QString::number(value, 'g', 17));
        }
        const QString literal = literalAverage(boxes);
        QString got;
        if (n == 10) {
            std::array<QString, 10> s;
            std::copy(boxes.begin(), boxes.end(), s.begin());
            got = applicantAverageText(s);
        } else {
            std::array<QString, 8> s;
            std::copy(boxes.begin(), boxes.end(), s.begin());
            got = referenceAverageText(s);
        }
        QVERIFY2(got == literal, qPrintable(boxes.join(QLatin1Char(' ')) + " -> " + got + " / " + literal));
    }
}

// The import averages the values the store read from the cells (strictly);
// the window reads the same texts by the leading-number parse.
void TestCsv::averageFromReadValues_data()
{
    QTest::addColumn<QString>("cell");
    for (const char16_t *cell : {u"12", u" 5 ", u"+5", u".5", u"5.", u"-0.25", u"1E2", u"2.5e-3", u"&H1F",
                                 u"&O17", u"\u06f5\u066b\u06f5", u"\u0661\u0662", u"1e300"})
        QTest::newRow(QString::fromUtf16(cell).toUtf8().constData()) << QString::fromUtf16(cell);
}

void TestCsv::averageFromReadValues()
{
    QFETCH(QString, cell);
    std::array<QString, 10> texts;
    texts.fill(cell);
    std::array<double, 10> values;
    values.fill(common::strictNumber(cell));
    QCOMPARE(applicantAverageText(values), applicantAverageText(texts));
    std::array<QString, 8> texts8;
    texts8.fill(cell);
    std::array<double, 8> values8;
    values8.fill(common::strictNumber(cell));
    QCOMPARE(referenceAverageText(values8), referenceAverageText(texts8));
}

// Spreadsheet percentages have a decimal or two: the running totals are
// hundredths, or a step away from one, and go the short way.
void TestCsv::averageOfTenths()
{
    QRandomGenerator g(18u);
    for (int round = 0; round < 20000; ++round) {
        QStringList boxes;
        for (int i = 0; i < 10; ++i)
            boxes << QString::number(g.bounded(-3330, 10001) / (round % 3 ? 10.0 : 100.0));
        std::array<QString, 10> s;
        std::copy(boxes.begin(), boxes.end(), s.begin());
        const QString got = applicantAverageText(s);
        const QString literal = literalAverage(boxes);
        QVERIFY2(got == literal, qPrintable(boxes.join(QLatin1Char(' ')) + " -> " + got + " / " + literal));
    }
}

// The running totals' rounding to 15 digits, on boxes of any size and
// number of digits, against the window's literal steps.
void TestCsv::averageOfAnyNumbers()
{
    QRandomGenerator64 g(19u);
    for (int round = 0; round < 20000; ++round) {
        QStringList boxes;
        for (int i = 0; i < 10; ++i) {
            const double m = double(g.generate() % 1000000000000000ull) / std::pow(10.0, double(g.generate() % 16));
            boxes << QString::number(g.generate() % 4 ? m / std::pow(10.0, double(g.generate() % 12)) : -m, 'g', 17);
        }
        std::array<QString, 10> s;
        std::copy(boxes.begin(), boxes.end(), s.begin());
        const QString got = applicantAverageText(s);
        const QString literal = literalAverage(boxes);
        if (got != literal)
            QFAIL(qPrintable(boxes.join(QLatin1Char(' ')) + " -> " + got + " / " + literal));
    }
}

// The file's quick numbers against the text every window writes, on numbers
// of every kind a table may hold.
void TestCsv::numberCharsAsShortest_data()
{
    QTest::addColumn<QByteArray>("kind");
    for (const char *name : {"whole numbers", "hundredths", "decimals of up to 15 digits", "averages",
                             "any bits", "tiny and huge", "edges"})
        QTest::newRow(name) << QByteArray(name);
}

void TestCsv::numberCharsAsShortest()
{
    QFETCH(QByteArray, kind);
    QRandomGenerator64 g(kind.size() * 7919u);
    QList<double> values;
    const auto decimal = [&](int digits, int exponent) {
        const double m = double(g.generate() % quint64(std::pow(10.0, digits)));
        return std::strtod(QByteArray::number(m, 'f', 0).append('e').append(QByteArray::number(exponent)), nullptr);
    };
    for (int i = 0; i < 100000; ++i) {
        const double sign = g.generate() % 2 ? 1 : -1;
        if (kind == "whole numbers")
            values << sign * double(g.generate() % (quint64(1) << (i % 60)));
        else if (kind == "hundredths")
            values << sign * double(g.generate() % 100000000) / 100;
        else if (kind == "decimals of up to 15 digits")
            values << sign * decimal(1 + i % 15, -int(g.generate() % 30));
        else if (kind == "averages") // a total of percentages over 18, as stored
            values << common::strictNumber(common::shortestText(sign * decimal(5, -1) / 18));
        else if (kind == "any bits")
            values << std::bit_cast<double>(g.generate());
        else if (kind == "tiny and huge")
            values << sign * decimal(1 + i % 17, int(g.generate() % 60) - 30);
    }
    if (kind == "edges") {
        for (const double v : {0.0, -0.0, 1e-8, 0.99999999999999994, 1e-5, 0.0001, 9.99999999999999e-5, 1e13,
                               9999999999999.99, 999999999999999.0, 1e15, 5e-324, 2.2250738585072014e-308,
                               0.1 + 0.2, 1.0 / 3, 2.0 / 3, 123456789012345.6, 1e22, 1.7976931348623157e308,
                               std::nan(""), HUGE_VAL, -HUGE_VAL}) {
            for (double w = v, k = 0; k < 3; ++k, w = std::nextafter(w, HUGE_VAL))
                values << w << -w;
        }
    }
    for (const double v : std::as_const(values)) {
        char quick[48], shortest[common::kShortestChars];
        const QByteArrayView got(quick, numberChars(v, quick));
        const QByteArrayView want(shortest, common::shortestChars(v, shortest));
        if (got != want)
            QFAIL(QByteArray::number(v, 'g', 17) + " -> " + got.toByteArray() + " / " + want.toByteArray());
    }
}

QTEST_APPLESS_MAIN(TestCsv)
#include "tst_csv.moc"
