#include "core/csv.h"

#include "core/utf8.h"
#include "numbers.h"

#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace placeva {

namespace {

// The upper half of Windows-1256 (bytes 0x80 to 0xFF); the lower half is ASCII.
constexpr char16_t kWindows1256High[128] = {
    0x20AC, 0x067E, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0679, 0x2039, 0x0152, 0x0686, 0x0698, 0x0688, // 0x88
    0x06AF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x06A9, 0x2122, 0x0691, 0x203A, 0x0153, 0x200C, 0x200D, 0x06BA, // 0x98
    0x00A0, 0x060C, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, // 0xA0
    0x00A8, 0x00A9, 0x06BE, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, // 0xA8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x00B8, 0x00B9, 0x061B, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x061F, // 0xB8
    0x06C1, 0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627, // 0xC0
    0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D, 0x062E, 0x062F, // 0xC8
    0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x00D7, // 0xD0
    0x0637, 0x0638, 0x0639, 0x063A, 0x0640, 0x0641, 0x0642, 0x0643, // 0xD8
    0x00E0, 0x0644, 0x00E2, 0x0645, 0x0646, 0x0647, 0x0648, 0x00E7, // 0xE0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x0649, 0x064A, 0x00EE, 0x00EF, // 0xE8
    0x064B, 0x064C, 0x064D, 0x064E, 0x00F4, 0x064F, 0x0650, 0x00F7, // 0xF0
    0x0651, 0x00F9, 0x0652, 0x00FB, 0x00FC, 0x200E, 0x200F, 0x06D2, // 0xF8
};

bool isFormulaStart(QChar c)
{
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@')
        || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

bool isPlainNumber(const QString &text)
{
    try {
        common::strictNumber(text);
        return true;
    } catch (const common::NumberError &) {
        return false;
    }
}

bool hasControlCharacters(QStringView text)
{
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u'\t' || c == u'\n' || c == u'\r')
            continue;
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F))
            return true;
    }
    return false;
}

} // namespace

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8WithBom: return QStringLiteral(u"⁨UTF-8⁩ (با نشانه ⁨BOM⁩)");
    case TextEncoding::Utf8: return QStringLiteral("UTF-8");
    case TextEncoding::Windows1256: return QStringLiteral(u"⁨Windows-1256⁩ (عربي ويندوز)");
    }
    return QString();
}

QString fromWindows1256(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *o = out.data();
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *o++ = QChar(u < 0x80 ? char16_t(u) : kWindows1256High[u - 0x80]);
    }
    return out;
}

namespace {

// What makes a file no text before any decoding: UTF-16, or NUL bytes.
std::optional<TextProblem> undecodable(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return TextProblem::Utf16;
    if (bytes.contains('\0'))
        return TextProblem::NotText;
    return std::nullopt;
}

} // namespace

DecodedText decodeText(QByteArrayView bytes)
{
    DecodedText result;
    if (const std::optional<TextProblem> problem = undecodable(bytes)) {
        result.problem = *problem;
        return result;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        result.encoding = TextEncoding::Utf8WithBom;
        result.text = QString::fromUtf8(bytes.sliced(3));
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        result.text = utf8.decode(bytes);
        if (utf8.hasError()) {
            result.encoding = TextEncoding::Windows1256;
            result.text = fromWindows1256(bytes);
        } else {
            result.encoding = TextEncoding::Utf8;
        }
    }
    if (hasControlCharacters(result.text))
        result.problem = TextProblem::NotText;
    else if (QStringView(result.text).trimmed().isEmpty()) // a view: no copy of the whole file
        result.problem = TextProblem::Empty;
    return result;
}

namespace {

// hasControlCharacters on UTF-8: a C1 control is 0xC2 and a byte from 0x80
// to 0x9F, and 0xC2 never continues another character.
bool hasControlBytes(QByteArrayView utf8)
{
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const qsizetype n = utf8.size();
    constexpr quint64 ones = 0x0101010101010101ull;
    const auto control = [&](qsizetype i) {
        const unsigned char c = s[i];
        if (c == '\t' || c == '\n' || c == '\r')
            return false;
        return c < 0x20 || c == 0x7F || (c == 0xC2 && i + 1 < n && s[i + 1] <= 0x9F);
    };
    qsizetype i = 0;
    // Eight bytes at once; where any is below 0x20 or above 0x7E, each of them.
    for (; i + 8 <= n; i += 8) {
        const quint64 w = eightBytes(s + i);
        if (((((w - ones * 0x20) & ~w) | ((w + ones) | w)) & kHighBits) == 0)
            continue;
        for (qsizetype j = i; j < i + 8; ++j) {
            if (control(j))
                return true;
        }
    }
    for (; i < n; ++i) {
        if (control(i))
            return true;
    }
    return false;
}

} // namespace

bool isBlankUtf8(QByteArrayView utf8)
{
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (c != ' ' && (c < '\t' || c > '\r'))
                return false;
            ++i;
            continue;
        }
        const int length = utf8Length(s + i, n - i);
        if (length == 0 || !QChar::isSpace(utf8CodePoint(s + i, length)))
            return false;
        i += length;
    }
    return true;
}

Utf8Text utf8Text(QByteArrayView bytes)
{
    Utf8Text result;
    if (const std::optional<TextProblem> problem = undecodable(bytes)) {
        result.problem = *problem;
        return result;
    }
    const auto inPlace = [](QByteArrayView utf8) { return QByteArray::fromRawData(utf8.data(), utf8.size()); };
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        result.encoding = TextEncoding::Utf8WithBom;
        QByteArrayView rest = bytes.sliced(3);
        // After a byte-order mark, what is not UTF-8 reads as replacement
        // characters, and a second mark is dropped as decoding drops it.
        if (!isUtf8(rest)) {
            result.text = QString::fromUtf8(rest).toUtf8();
        } else {
            if (rest.startsWith("\xEF\xBB\xBF"))
                rest = rest.sliced(3);
            result.text = inPlace(rest);
        }
    } else if (isUtf8(bytes)) {
        result.encoding = TextEncoding::Utf8;
        result.text = inPlace(bytes);
    } else {
        result.encoding = TextEncoding::Windows1256;
        result.text = fromWindows1256(bytes).toUtf8();
    }
    if (hasControlBytes(result.text))
        result.problem = TextProblem::NotText;
    else if (isBlankUtf8(result.text))
        result.problem = TextProblem::Empty;
    return result;
}

namespace {

template <class Ch> QChar separatorOf(const Ch *text, qsizetype n)
{
    int tabs = 0, semicolons = 0, commas = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = char16_t(text[i]);
        if (c == u'"') {
            quoted = !quoted; // a doubled quote toggles twice
            continue;
        }
        if (quoted)
            continue;
        if (c == u'\n' || c == u'\r')
            break;
        if (c == u'\t')
            ++tabs;
        else if (c == u';')
            ++semicolons;
        else if (c == u',')
            ++commas;
    }
    if (tabs == 0 && semicolons == 0 && commas == 0)
        return QLatin1Char(',');
    if (tabs >= semicolons && tabs >= commas)
        return QLatin1Char('\t');
    if (semicolons >= commas)
        return QLatin1Char(';');
    return QLatin1Char(',');
}

} // namespace

QChar detectSeparator(QStringView text)
{
    return separatorOf(text.utf16(), text.size());
}

QChar detectSeparatorUtf8(QByteArrayView utf8)
{
    return separatorOf(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size());
}

QString separatorName(QChar separator)
{
    if (separator == QLatin1Char('\t'))
        return QStringLiteral(u"⁨Tab⁩ (جهش)");
    if (separator == QLatin1Char(';'))
        return QStringLiteral(u"نقطه ويرگول (;)");
    if (separator == QLatin1Char(','))
        return QStringLiteral(u"ويرگول (,)");
    return separator;
}

namespace {

template <class Ch> constexpr Ch chr(char c)
{
    return Ch(char16_t(c));
}
template <> constexpr char chr<char>(char c)
{
    return c;
}

// The one reader of records, over UTF-16 or UTF-8 (every character that
// shapes a record is ASCII, which no UTF-8 sequence of another character
// holds). The sink gathers each field's pieces and takes each record.
template <class Ch, class Sink>
CsvTable readRecords(const Ch *s, qsizetype n, Ch separator, int maxFields, Sink &sink,
                     const std::function<bool(int)> &keepGoing)
{
    CsvTable table;
    const Ch quote = chr<Ch>('"');
    const Ch cr = chr<Ch>('\r');
    const Ch lf = chr<Ch>('\n');

    int line = 1;
    qsizetype i = 0;
    int recordLine = line;
    int fields = 0; // in the record being read
    // Consumes a line break at i (CRLF, LF or CR); true if there was one.
    const auto takeBreak = [&](bool keep) {
        if (s[i] == cr) {
            const bool crlf = i + 1 < n && s[i + 1] == lf;
            if (keep)
                sink.append(s + i, crlf ? 2 : 1);
            i += crlf ? 2 : 1;
        } else if (s[i] == lf) {
            if (keep)
                sink.append(s + i, 1);
            ++i;
        } else {
            return false;
        }
        ++line;
        return true;
    };

    // Asked every 64K characters read, whatever the shape of the records.
    constexpr qsizetype kAskEvery = qsizetype(1) << 16;
    qsizetype nextAsk = kAskEvery;

    if (n == 0)
        return table;
    while (true) {
        if (keepGoing && i >= nextAsk) {
            nextAsk = i + kAskEvery;
            if (!keepGoing(int(double(i) * 1000 / double(n)))) {
                table.cancelled = true;
                return table;
            }
        }
        // One field, starting at i.
        if (i < n && s[i] == quote) {
            const int openedOn = line;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == quote) {
                    if (i + 1 < n && s[i + 1] == quote) {
                        sink.append(s + i, 1);
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (takeBreak(true))
                    continue;
                const qsizetype start = i++;
                while (i < n && s[i] != quote && s[i] != cr && s[i] != lf)
                    ++i;
                sink.append(s + start, i - start);
            }
            if (!closed) {
                table.unclosedQuoteLine = openedOn;
                return table;
            }
        }
        // Unquoted text, or whatever follows a closing quote.
        const qsizetype start = i;
        while (i < n && s[i] != separator && s[i] != cr && s[i] != lf)
            ++i;
        sink.append(s + start, i - start);
        if (maxFields > 0 && fields >= maxFields) {
            table.tooWideLine = recordLine;
            return table;
        }
        sink.endField();
        ++fields;

        if (i >= n) {
            sink.endRecord(recordLine);
            return table;
        }
        if (s[i] == separator) {
            ++i;
            continue;
        }
        takeBreak(false);
        if (!sink.endRecord(recordLine))
            return table;
        fields = 0;
        recordLine = line;
        if (i >= n)
            return table; // the file ends with a line break
    }
}

// Records of QStrings.
struct StringSink
{
    const std::function<bool(CsvRecord &)> &take;
    CsvRecord record;
    QString field;

    void append(const QChar *from, qsizetype count) { field.append(from, count); }
    void endField()
    {
        record.fields.append(field);
        field.clear();
    }
    bool endRecord(int line)
    {
        record.line = line;
        const bool more = take(record);
        // Cleared rather than replaced: the next row reuses the list's room.
        record.fields.clear();
        return more;
    }
};

// Records of views: a field read in one piece (any field without quotes)
// into the text itself, others into one buffer that every row reuses.
struct Utf8Sink
{
    const std::function<bool(CsvBytesRecord &)> &take;
    CsvBytesRecord record;
    std::string cells; // the fields of more than one piece, one after another
    struct Field
    {
        const char *at; // in the text; null: in `cells` from `begin`
        size_t begin;
        size_t size;
    };
    std::vector<Field> fields;
    const char *at = nullptr; // the field being read, while in one piece
    size_t size = 0;
    size_t begin = 0;
    int pieces = 0;

    void append(const char *from, qsizetype count)
    {
        if (pieces == 0) {
            at = from;
            size = size_t(count);
        } else {
            if (pieces == 1) {
                begin = cells.size();
                cells.append(at, size);
            }
            cells.append(from, size_t(count));
        }
        ++pieces;
    }
    void endField()
    {
        if (pieces <= 1)
            fields.push_back({pieces == 1 ? at : "", 0, pieces == 1 ? size : 0});
        else
            fields.push_back({nullptr, begin, cells.size() - begin});
        pieces = 0;
    }
    bool endRecord(int line)
    {
        record.line = line;
        record.fields.resize(qsizetype(fields.size()));
        for (size_t k = 0; k < fields.size(); ++k) {
            const Field &f = fields[k];
            record.fields[qsizetype(k)] = QByteArrayView(f.at ? f.at : cells.data() + f.begin, qsizetype(f.size));
        }
        const bool more = take(record);
        cells.clear();
        fields.clear();
        return more;
    }
};

} // namespace

CsvTable readCsv(QStringView text, QChar separator, int maxFields,
                 const std::function<bool(CsvRecord &)> &take, const std::function<bool(int)> &keepGoing)
{
    StringSink sink{take, {}, {}};
    return readRecords(text.data(), text.size(), separator, maxFields, sink, keepGoing);
}

CsvTable readCsvUtf8(QByteArrayView utf8, char separator, int maxFields,
                     const std::function<bool(CsvBytesRecord &)> &take, const std::function<bool(int)> &keepGoing)
{
    Utf8Sink sink{take, {}, {}, {}};
    return readRecords(utf8.data(), utf8.size(), separator, maxFields, sink, keepGoing);
}

CsvTable parseCsv(QStringView text, QChar separator, int maxFields, const std::function<bool(int)> &keepGoing)
{
    CsvTable table;
    const CsvTable status = readCsv(
        text, separator, maxFields,
        [&table](CsvRecord &record) {
            table.records.append(std::move(record));
            return true;
        },
        keepGoing);
    table.unclosedQuoteLine = status.unclosedQuoteLine;
    table.tooWideLine = status.tooWideLine;
    table.cancelled = status.cancelled;
    return table;
}

QString utf8CellText(QByteArrayView utf8)
{
    if (!utf8.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(utf8);
    QStringDecoder keepingBom(QStringDecoder::Utf8,
                              QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return keepingBom.decode(utf8);
}

bool isBlankRecord(const QList<QByteArrayView> &utf8Fields)
{
    return std::all_of(utf8Fields.cbegin(), utf8Fields.cend(), isBlankUtf8);
}

bool isBlankRecord(const QStringList &fields)
{
    // Every row is asked: a look at the characters, without a trimmed copy.
    for (const QString &f : fields) {
        for (QChar c : f) {
            if (!c.isSpace())
                return false;
        }
    }
    return true;
}

void appendCsvRecord(QString &out, const QStringList &fields)
{
    bool first = true;
    for (const QString &f : fields) {
        if (!first)
            out.append(QLatin1Char(','));
        first = false;
        bool needsQuotes = false;
        for (QChar c : f) {
            if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\n')
                || c == QLatin1Char('\r')) {
                needsQuotes = true;
                break;
            }
        }
        if (!needsQuotes) {
            out.append(f);
            continue;
        }
        out.append(QLatin1Char('"'));
        for (QChar c : f) {
            if (c == QLatin1Char('"'))
                out.append(QLatin1Char('"'));
            out.append(c);
        }
        out.append(QLatin1Char('"'));
    }
    out.append(QLatin1String("\r\n"));
}

int numberChars(double value, char (&out)[48])
{
    static_assert(common::kShortestChars == 48);
    const auto &kPowers = common::kExactPowersOfTen;
    const double a = std::fabs(value);
    // m / 10^k with m below 10^15 and 10^k exact is the double nearest to
    // that decimal, so when it is `value`, m's digits are the 15-digit
    // rounding: `value` lies within half a unit of its last binary digit of
    // the decimal, far less than half a unit of the 15th decimal one. Most
    // stored numbers are hundredths (k = 2); others are tried at 15 digits.
    // Rounding half up rather than to even fails the same halves.
    int k = 2;
    double scaled = 0;
    if (!(a > 0 && a < 1e13 && (scaled = double(static_cast<long long>(a * 100 + 0.5))) / 100 == a)) {
        // Zero, NaN, infinities, subnormals, the largest magnitudes and the
        // numbers of more than 15 digits are written there.
        if (!(a >= 1e-8 && a < 1e13))
            return common::shortestChars(value, out);
        // A wrong guess of the decade only misses the quick way.
        k = 14 - common::decadeOf(a); // a * 10^k below 10^15
        scaled = double(static_cast<long long>(a * kPowers[k] + 0.5));
        if (!(scaled < 1e15) || scaled / kPowers[k] != a)
            return common::shortestChars(value, out);
    }
    if (k == 2) { // whole and hundredths apart: below 10^13, never with an exponent
        const auto m = static_cast<unsigned long long>(scaled);
        char *o = out;
        if (value < 0)
            *o++ = '-';
        o = std::to_chars(o, out + sizeof out, m / 100).ptr;
        if (const unsigned cents = unsigned(m % 100); cents != 0) {
            *o++ = '.';
            *o++ = char('0' + cents / 10);
            if (cents % 10 != 0)
                *o++ = char('0' + cents % 10);
        }
        return int(o - out);
    }
    // m's digits two at a time from the right, then its trailing zeros dropped.
    static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                     "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                     "8081828384858687888990919293949596979899";
    auto m = static_cast<unsigned long long>(scaled);
    char buffer[16];
    char *first = buffer + sizeof buffer;
    while (m >= 10) {
        const unsigned pair = unsigned(m % 100);
        m /= 100;
        *--first = kPairs[2 * pair + 1];
        *--first = kPairs[2 * pair];
    }
    if (m > 0 || first == buffer + sizeof buffer)
        *--first = char('0' + m);
    const char *last = buffer + sizeof buffer;
    int dropped = 0;
    while (last[-1] == '0') {
        --last;
        ++dropped;
    }
    // Below 10^13 no exponent is positive, and one below -4 is written as "2.5E-07".
    return common::layoutShortest(value < 0, first, int(last - first), int(last - first) - 1 + dropped - k, out);
}

QByteArray csvFileBytes(const QString &text)
{
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString spreadsheetSafeText(const QString &text)
{
    if (text.isEmpty())
        return text;
    const QChar c = text.at(0);
    if (c == QLatin1Char('\'') || (isFormulaStart(c) && !isPlainNumber(text)))
        return QLatin1Char('\'') + text;
    return text;
}

QString fromSpreadsheetSafeText(const QString &text)
{
    if (text.size() >= 2 && text.at(0) == QLatin1Char('\'')
        && (text.at(1) == QLatin1Char('\'') || isFormulaStart(text.at(1))))
        return text.mid(1);
    return text;
}

QString applicantAverageText(const std::array<QString, kApplicantSubjectCount> &subjects)
{
    return weightedAverageText(kApplicants,
                               [&](int i) { return common::leadingNumber(subjects[size_t(i)]); });
}

QString referenceAverageText(const std::array<QString, kReferenceSubjectCount> &subjects)
{
    return weightedAverageText(kReferences,
                               [&](int i) { return common::leadingNumber(subjects[size_t(i)]); });
}

QString applicantAverageText(const std::array<double, kApplicantSubjectCount> &subjects)
{
    return weightedAverageText(kApplicants, [&](int i) { return subjects[size_t(i)]; });
}

QString referenceAverageText(const std::array<double, kReferenceSubjectCount> &subjects)
{
    return weightedAverageText(kReferences, [&](int i) { return subjects[size_t(i)]; });
}

} // namespace placeva
