#include "core/csv.h"

#include "numbers.h"

#include <QStringDecoder>

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
    case TextEncoding::Utf8WithBom: return QStringLiteral(u"UTF-8 (با نشانه BOM)");
    case TextEncoding::Utf8: return QStringLiteral("UTF-8");
    case TextEncoding::Windows1256: return QStringLiteral(u"Windows-1256 (عربي ويندوز)");
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

DecodedText decodeText(QByteArrayView bytes)
{
    DecodedText result;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        result.problem = TextProblem::Utf16;
        return result;
    }
    if (bytes.contains('\0')) {
        result.problem = TextProblem::NotText;
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

QChar detectSeparator(QStringView text)
{
    int tabs = 0, semicolons = 0, commas = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted; // a doubled quote toggles twice
            continue;
        }
        if (quoted)
            continue;
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            break;
        if (c == QLatin1Char('\t'))
            ++tabs;
        else if (c == QLatin1Char(';'))
            ++semicolons;
        else if (c == QLatin1Char(','))
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

QString separatorName(QChar separator)
{
    if (separator == QLatin1Char('\t'))
        return QStringLiteral(u"Tab (جهش)");
    if (separator == QLatin1Char(';'))
        return QStringLiteral(u"نقطه ويرگول (;)");
    if (separator == QLatin1Char(','))
        return QStringLiteral(u"ويرگول (,)");
    return separator;
}

CsvTable readCsv(QStringView text, QChar separator, int maxFields,
                 const std::function<bool(CsvRecord &)> &take, const std::function<bool(int)> &keepGoing)
{
    CsvTable table;
    const qsizetype n = text.size();
    const QChar *s = text.data();
    const QChar quote = QLatin1Char('"');
    const QChar cr = QLatin1Char('\r');
    const QChar lf = QLatin1Char('\n');

    int line = 1;
    qsizetype i = 0;
    CsvRecord record;
    record.line = line;
    QString field;
    // Consumes a line break at i (CRLF, LF or CR); true if there was one.
    const auto takeBreak = [&](QString *keepIn) {
        if (s[i] == cr) {
            const bool crlf = i + 1 < n && s[i + 1] == lf;
            if (keepIn)
                keepIn->append(crlf ? QStringLiteral("\r\n") : QStringLiteral("\r"));
            i += crlf ? 2 : 1;
        } else if (s[i] == lf) {
            if (keepIn)
                keepIn->append(lf);
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
        field.clear();
        if (i < n && s[i] == quote) {
            const int openedOn = line;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == quote) {
                    if (i + 1 < n && s[i + 1] == quote) {
                        field.append(quote);
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (takeBreak(&field))
                    continue;
                field.append(s[i++]);
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
        field.append(s + start, i - start);
        if (maxFields > 0 && record.fields.size() >= maxFields) {
            table.tooWideLine = record.line;
            return table;
        }
        record.fields.append(field);

        if (i >= n) {
            take(record);
            return table;
        }
        if (s[i] == separator) {
            ++i;
            continue;
        }
        takeBreak(nullptr);
        if (!take(record))
            return table;
        // Cleared rather than replaced: the next row reuses the list's room.
        record.fields.clear();
        record.line = line;
        if (i >= n)
            return table; // the file ends with a line break
    }
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
