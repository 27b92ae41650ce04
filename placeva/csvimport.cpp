#include "csvimport.h"

#include "datalocation.h"

#include "numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace placeva {

namespace {

struct Caption
{
    const char *field;
    const char16_t *caption;
};

// The captions beside the boxes of the two data-entry windows, applicants'
// first; a header cell may name a field by either.
const Caption kCaptions[] = {
    {"Name", u"Name :"},
    {"Dini", u"Andishe Eslami :"},
    {"Adabiat", u"Adabiyat :"},
    {"Zaban", u"Zaban Omoomi :"},
    {"Riazi", u"Riazi Va Amar :"},
    {"ZabanT", u"Zaban Takhasosi :"},
    {"Madar", u"Madar Manteghi :"},
    {"barname", u"Barname Sazi :"},
    {"system", u"System Amel :"},
    {"zakhire", u"Zakhire va Bazyabi :"},
    {"sakhteman", u"Sakhteman Dadeha :"},
    {"Avg", u"Miyangin :"},
    {"Dini", u"معارف اسلامي:"},
    {"Adabiat", u"ادبيات :"},
    {"Zaban", u"زبان عمومي:"},
    {"Riazi", u"رياضي و آمار:"},
    {"ZabanT", u"زبان تخصصي:"},
    {"Madar", u"مدار منطقي:"},
    {"barname", u"برنامه سازي:"},
    {"takh", u"دروس تخصصي:"},
    {"Avg", u"ميانگين دروس:"},
    {"Rotbeh", u"رتبه داوطلب:"},
};

// The reference window's refusal of a rank that reads as 0.
const char16_t kRankMissing[] = u"رتبه داوطلب وارد نشده است";

const char *const kApplicantSubjects[10] = {"Dini",   "Adabiat", "Zaban",   "Riazi",  "ZabanT",
                                            "Madar",  "barname", "system",  "zakhire", "sakhteman"};
const char *const kReferenceSubjects[8] = {"Dini", "Adabiat", "Zaban", "Riazi", "ZabanT", "Madar", "barname", "takh"};

// How headers compare: a spreadsheet typed on a Persian keyboard has Farsi
// yeh and keheh where the captions have Arabic yeh (U+064A) and keheh, may
// join words with a zero-width non-joiner, and may drop or move the colon.
QString headerKey(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar qc : text) {
        char16_t c = qc.unicode();
        if (c == 0x06CC || c == 0x0649) // Farsi yeh, alef maksura
            c = 0x064A;
        else if (c == 0x0643) // Arabic kaf
            c = 0x06A9;
        else if (c == 0x200C || c == 0x00A0 || c == 0xFEFF) // ZWNJ, no-break space, stray BOM
            c = u' ';
        out.append(QChar(c));
    }
    out = out.simplified();
    while (out.endsWith(QLatin1Char(':')) || out.endsWith(QChar(0xFF1A)))
        out = out.chopped(1).trimmed();
    return out.toCaseFolded();
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool isSubject(ImportTable table, const QString &field)
{
    if (table == ImportTable::Applicants)
        return std::any_of(std::begin(kApplicantSubjects), std::end(kApplicantSubjects),
                           [&](const char *f) { return field == QLatin1String(f); });
    return std::any_of(std::begin(kReferenceSubjects), std::end(kReferenceSubjects),
                       [&](const char *f) { return field == QLatin1String(f); });
}

} // namespace

QString importTableName(ImportTable table)
{
    return QString::fromLatin1(table == ImportTable::Applicants ? kDavtalab : kFormol);
}

QStringList importFields(ImportTable table)
{
    QStringList fields;
    if (table == ImportTable::Applicants) {
        fields << QStringLiteral("Name");
        for (const char *f : kApplicantSubjects)
            fields << QString::fromLatin1(f);
        fields << QStringLiteral("Avg");
    } else {
        for (const char *f : kReferenceSubjects)
            fields << QString::fromLatin1(f);
        fields << QStringLiteral("Avg") << QStringLiteral("Rotbeh");
    }
    return fields;
}

namespace {

// The folded names and captions of one table's fields, folded once for a
// whole header row rather than again for every cell.
class HeaderMatcher
{
public:
    explicit HeaderMatcher(ImportTable table)
    {
        const QStringList fields = importFields(table);
        for (const QString &field : fields)
            m_keys.append({headerKey(field), field});
        for (const Caption &c : kCaptions) {
            const QString field = QString::fromLatin1(c.field);
            if (fields.contains(field))
                m_keys.append({headerKey(QString::fromUtf16(c.caption)), field});
        }
    }

    QString field(const QString &header) const
    {
        const QString key = headerKey(header);
        if (key.isEmpty())
            return QString();
        for (const auto &[k, field] : m_keys) {
            if (k == key)
                return field;
        }
        return QString();
    }

private:
    QList<std::pair<QString, QString>> m_keys; // names first, then captions
};

} // namespace

QString fieldForHeader(ImportTable table, const QString &header)
{
    return HeaderMatcher(table).field(header);
}

QStringList ImportPlan::unknownHeaders() const
{
    QStringList out;
    for (const ImportColumn &c : columns) {
        if (c.field.isEmpty())
            out << c.header;
    }
    return out;
}

ImportReading planImport(QByteArrayView bytes, ImportTable table, const QString &fileName,
                         const std::function<bool(int)> &keepGoing)
{
    ImportReading reading;
    const QString file = shownPath(fileName);
    const auto fail = [&](const QString &message) {
        reading.error = message;
        return reading;
    };

    const DecodedText decoded = decodeText(bytes);
    switch (decoded.problem) {
    case TextProblem::Empty:
        return fail(QStringLiteral(u"پرونده «%1» خالي است؛ چيزي براي ورود ندارد.").arg(file));
    case TextProblem::NotText:
        return fail(QStringLiteral(u"پرونده «%1» متني نيست. پرونده را در برنامه صفحه گسترده با قالب "
                                   u"CSV ذخيره کنيد و دوباره امتحان کنيد.")
                        .arg(file));
    case TextProblem::Utf16:
        return fail(QStringLiteral(u"پرونده «%1» با کدگذاري UTF-16 ذخيره شده است که خوانده نمي شود. "
                                   u"آن را با قالب «CSV UTF-8» ذخيره کنيد.")
                        .arg(file));
    case TextProblem::None:
        break;
    }

    ImportPlan plan;
    plan.table = table;
    plan.encoding = decoded.encoding;
    plan.separator = detectSeparator(decoded.text);

    const QStringList fields = importFields(table);
    const HeaderMatcher matcher(table);
    const int avgIndex = int(fields.indexOf(QStringLiteral("Avg")));
    const int rankIndex = int(fields.indexOf(QStringLiteral("Rotbeh")));
    QList<int> columnOf(fields.size(), -1); // field index -> file column
    QList<int> written;                     // every field a column names, and the computed average
    int headerWidth = -1;                   // until the header row is read
    QString headerError;
    int shareRead = 0;
    bool stopped = false;

    // The first row that is not blank names the columns.
    const auto readHeader = [&](const CsvRecord &header) {
        plan.headerLine = header.line;
        headerWidth = int(header.fields.size());
        plan.columns.reserve(header.fields.size());
        for (int k = 0; k < header.fields.size(); ++k) {
            if (keepGoing && k % 100 == 99 && !keepGoing(shareRead)) {
                stopped = true;
                return false;
            }
            ImportColumn column{header.fields.at(k).trimmed(), matcher.field(header.fields.at(k))};
            if (!column.field.isEmpty()) {
                const int f = int(fields.indexOf(column.field));
                if (columnOf[f] >= 0) {
                    headerError = QStringLiteral(u"در سطر عنوان پرونده «%1» دو ستون «%2» و «%3» هر دو فيلد %4 را نام "
                                                 u"مي برند؛ معلوم نيست کدام را بايد خواند.")
                                      .arg(file, plan.columns.at(columnOf[f]).header, column.header, column.field);
                    return false;
                }
                columnOf[f] = k;
            }
            plan.columns.append(column);
        }
        const bool anyKnown = std::any_of(columnOf.cbegin(), columnOf.cend(), [](int c) { return c >= 0; });
        if (!anyKnown) {
            headerError = QStringLiteral(u"سطر عنوان پرونده «%1» هيچ ستون شناخته شده اي براي جدول %2 ندارد. "
                                         u"ستونها را با نام فيلدها (مانند Name و Dini) يا با عنوان کنار "
                                         u"کادرهاي پنجره ورود اطلاعات نام ببريد.")
                              .arg(file, importTableName(table));
            return false;
        }
        if (table == ImportTable::References && columnOf[rankIndex] < 0) {
            headerError = QStringLiteral(u"پرونده «%1» ستون رتبه (Rotbeh) ندارد، و نتيجه مرجع بي رتبه ذخيره نمي "
                                         u"شود: %2")
                              .arg(file, QString::fromUtf16(kRankMissing));
            return false;
        }
        plan.fileHasAvg = columnOf[avgIndex] >= 0;
        for (int f = 0; f < fields.size(); ++f) {
            if (f == avgIndex || columnOf[f] >= 0) {
                written.append(f);
                plan.fields.append(fields.at(f));
            } else if (isSubject(table, fields.at(f))) {
                plan.absentFields.append(fields.at(f));
            }
        }
        if (table == ImportTable::Applicants && columnOf[0] < 0)
            plan.absentFields.prepend(fields.at(0));
        return true;
    };

    QList<QString> cells(fields.size());
    QList<double> numbers(fields.size());
    QVariantList values;
    const auto checkRow = [&](const CsvRecord &record) {
        if (isBlankRecord(record.fields)) {
            ++plan.blankRows;
            return;
        }
        const qsizetype refusalsBefore = plan.refusals.size();
        const auto refuse = [&](int field, const QString &reason) {
            const QString column = field >= 0 && columnOf[field] >= 0 ? plan.columns.at(columnOf[field]).header
                                                                      : fields.value(field);
            plan.refusals.append(ImportRefusal{record.line, column, reason});
        };

        // More cells than the header names: a separator typed into a name
        // without quotes would shift every value after it.
        bool overfull = false;
        for (qsizetype k = headerWidth; k < record.fields.size(); ++k) {
            if (!record.fields.at(k).trimmed().isEmpty())
                overfull = true;
        }
        if (overfull) {
            plan.refusals.append(ImportRefusal{
                record.line, QString(),
                QStringLiteral(u"اين سطر %1 خانه دارد ولي سطر عنوان %2 ستون؛ شايد جداکننده اي بيرون از علامت "
                               u"نقل قول آمده است.")
                    .arg(record.fields.size())
                    .arg(headerWidth)});
            ++plan.refusedRows;
            return;
        }

        for (int f = 0; f < fields.size(); ++f) {
            const int k = columnOf[f];
            cells[f] = k >= 0 && k < record.fields.size() ? record.fields.at(k) : QString();
            numbers[f] = 0; // an absent or empty box reads as 0
        }

        values.clear();
        for (int f : std::as_const(written)) {
            if (f == avgIndex) {
                values.append(QVariant()); // filled below
                continue;
            }
            const QString &field = fields.at(f);
            if (fieldKind(field) == FieldKind::Text) {
                // An empty box is never written, so the field stays NULL.
                const QString text = fromSpreadsheetSafeText(cells.at(f));
                values.append(text.isEmpty() ? QVariant() : QVariant(text));
                continue;
            }
            if (f == rankIndex) {
                try {
                    if (common::leadingNumber(cells.at(f)) == 0) {
                        refuse(f, QString::fromUtf16(kRankMissing));
                        continue;
                    }
                } catch (const common::NumberError &e) {
                    refuse(f, QStringLiteral(u"رتبه «%1» خوانده نمي شود: %2").arg(cells.at(f), e.userName()));
                    continue;
                }
            }
            Converted converted = valueFromText(field, cells.at(f));
            if (converted.error) {
                refuse(f, converted.error->message);
                continue;
            }
            // The window reads its boxes by the leading-number parse; for a
            // text the store takes as a number that is the same value.
            numbers[f] = converted.value.isNull() ? 0.0 : converted.value.toDouble();
            values.append(converted.value);
        }
        if (plan.refusals.size() != refusalsBefore) {
            ++plan.refusedRows;
            return;
        }

        QString avgText;
        try {
            if (table == ImportTable::Applicants) {
                std::array<double, 10> subjects;
                for (int i = 0; i < 10; ++i)
                    subjects[size_t(i)] = numbers.at(1 + i);
                avgText = applicantAverageText(subjects);
            } else {
                std::array<double, 8> subjects;
                for (int i = 0; i < 8; ++i)
                    subjects[size_t(i)] = numbers.at(i);
                avgText = referenceAverageText(subjects);
            }
        } catch (const common::NumberError &e) {
            refuse(avgIndex, QStringLiteral(u"ميانگين اين سطر حساب نمي شود: %1").arg(e.userName()));
            ++plan.refusedRows;
            return;
        }
        const Converted avg = valueFromText(QStringLiteral("Avg"), avgText);
        if (avg.error) { // the shortest text of a finite number always reads back
            refuse(avgIndex, avg.error->message);
            ++plan.refusedRows;
            return;
        }
        values[written.indexOf(avgIndex)] = avg.value;
        if (plan.fileHasAvg) {
            const QString &given = cells.at(avgIndex);
            if (!given.trimmed().isEmpty()) {
                bool same = false;
                try {
                    same = common::shortestText(common::strictNumber(given)) == avgText;
                } catch (const common::NumberError &) {
                }
                if (!same)
                    plan.avgDiffersOnLines.append(record.line);
            }
        }
        plan.rows.append(values);
    };

    // Rows are checked as they are read, so that the file is never held as
    // cells all at once.
    const CsvTable csv = readCsv(
        decoded.text, plan.separator, kMaxCsvFields,
        [&](CsvRecord &record) {
            if (headerWidth >= 0) {
                checkRow(record);
                return true;
            }
            return isBlankRecord(record.fields) || readHeader(record);
        },
        [&](int permille) {
            shareRead = permille;
            return !keepGoing || keepGoing(permille);
        });
    if (csv.cancelled || stopped) {
        reading.cancelled = true;
        return reading;
    }
    if (csv.tooWideLine > 0)
        return fail(QStringLiteral(u"سطر %2 پرونده «%1» بيش از %3 خانه دارد؛ هيچ جدولي اين همه ستون ندارد و "
                                   u"پرونده خوانده نشد.")
                        .arg(file)
                        .arg(csv.tooWideLine)
                        .arg(kMaxCsvFields));
    if (csv.unclosedQuoteLine > 0)
        return fail(QStringLiteral(u"در پرونده «%1» علامت نقل قولي که در سطر %2 باز شده، تا پايان پرونده بسته "
                                   u"نشده است؛ هيچ رديفي خوانده نشد.")
                        .arg(file)
                        .arg(csv.unclosedQuoteLine));
    if (!headerError.isEmpty())
        return fail(headerError);
    if (headerWidth < 0)
        return fail(QStringLiteral(u"پرونده «%1» خالي است؛ چيزي براي ورود ندارد.").arg(file));
    if (keepGoing && !keepGoing(1000)) {
        reading.cancelled = true;
        return reading;
    }
    reading.plan = std::move(plan);
    return reading;
}

ImportReading readImportFile(const QString &path, ImportTable table, const std::function<bool(int)> &keepGoing)
{
    ImportReading reading;
    const QString file = shownPath(QFileInfo(path).absoluteFilePath());
    QFile f(path);
    if (!QFileInfo(path).isFile() && QFileInfo::exists(path)) {
        reading.error = QStringLiteral(u"«%1» يک پرونده معمولي نيست.").arg(file);
        return reading;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        reading.error = f.exists()
                            ? QStringLiteral(u"پرونده «%1» باز نشد: %2").arg(file, f.errorString())
                            : QStringLiteral(u"پرونده «%1» پيدا نشد.").arg(file);
        return reading;
    }
    if (f.size() > kMaxImportBytes) {
        reading.error = QStringLiteral(u"پرونده «%1» بزرگتر از %2 مگابايت است و خوانده نمي شود.")
                            .arg(file)
                            .arg(kMaxImportBytes / (1024 * 1024));
        return reading;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        reading.error = QStringLiteral(u"خواندن پرونده «%1» انجام نشد: %2").arg(file, f.errorString());
        return reading;
    }
    return planImport(bytes, table, QFileInfo(path).absoluteFilePath(), keepGoing);
}

MaybeError storeImport(const QString &folder, const ImportPlan &plan,
                       const std::function<bool(qsizetype)> &keepGoing, bool *cancelled)
{
    return appendRows(bankFilePath(folder), importTableName(plan.table),
                      plan.fields, plan.rows, keepGoing, cancelled);
}

} // namespace placeva
