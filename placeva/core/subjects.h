#pragma once
// The two tables of Bank.db field by field: each field's name, the caption
// beside its box in the table's data-entry window, and for a subject its
// weight in the average. The windows, the spreadsheet import, the store's
// column checks and the empty database are all made from these lists, so a
// field is named here and nowhere else. No widgets.

#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>

namespace placeva {

inline constexpr char kDavtalab[] = "Davtalab";
inline constexpr char kFormol[] = "Formol";
inline constexpr char kEntekhab[] = "Entekhab";

// The main window's caption of the change factor in its box Text1.
inline constexpr char16_t kFactorCaption[] = u"ميزان تغييرات";

enum class FieldRole {
    Name,    // the applicant's name: text
    Subject, // a percentage, weighted in the average
    Average, // the weighted average the windows compute
    Rank,    // the rank a reference applicant obtained: a whole number
};

struct Field
{
    const char *name;
    const char16_t *caption;
    FieldRole role;
    double weight = 0; // a subject's weight in the average; 0 for the others

    QString nameText() const { return QLatin1String(name); }
    QString captionText() const { return QString::fromUtf16(caption); }
};

// Davtalab: the name first (the statistics pass reads it by position), the
// ten percentages, the average. The three specialised subjects share weight
// 5, 5/3 each, computed in double as the window computes it.
inline constexpr Field kApplicantFields[] = {
    {"Name", u"Name :", FieldRole::Name},
    {"Dini", u"Andishe Eslami :", FieldRole::Subject, 1},
    {"Adabiat", u"Adabiyat :", FieldRole::Subject, 1},
    {"Zaban", u"Zaban Omoomi :", FieldRole::Subject, 1},
    {"Riazi", u"Riazi Va Amar :", FieldRole::Subject, 3},
    {"ZabanT", u"Zaban Takhasosi :", FieldRole::Subject, 1},
    {"Madar", u"Madar Manteghi :", FieldRole::Subject, 2},
    {"barname", u"Barname Sazi :", FieldRole::Subject, 4},
    {"system", u"System Amel :", FieldRole::Subject, 5.0 / 3},
    {"zakhire", u"Zakhire va Bazyabi :", FieldRole::Subject, 5.0 / 3},
    {"sakhteman", u"Sakhteman Dadeha :", FieldRole::Subject, 5.0 / 3},
    {"Avg", u"Miyangin :", FieldRole::Average},
};

// Formol: eight percentages (one for the specialised subjects together, of
// weight 5), the average and the rank obtained.
inline constexpr Field kReferenceFields[] = {
    {"Dini", u"معارف اسلامي:", FieldRole::Subject, 1},   {"Adabiat", u"ادبيات :", FieldRole::Subject, 1},
    {"Zaban", u"زبان عمومي:", FieldRole::Subject, 1},    {"Riazi", u"رياضي و آمار:", FieldRole::Subject, 3},
    {"ZabanT", u"زبان تخصصي:", FieldRole::Subject, 1},   {"Madar", u"مدار منطقي:", FieldRole::Subject, 2},
    {"barname", u"برنامه سازي:", FieldRole::Subject, 4}, {"takh", u"دروس تخصصي:", FieldRole::Subject, 5},
    {"Avg", u"ميانگين دروس:", FieldRole::Average},       {"Rotbeh", u"رتبه داوطلب:", FieldRole::Rank},
};

// Entekhab, this year's choices in the order the choice list offers them:
// each choice's name and the highest rank it admits (empty: none). Optional:
// without it the built-in choices stand.
inline constexpr Field kChoiceFields[] = {
    {"Name", u"انتخاب", FieldRole::Name},
    {"Hadd", u"حد قبولي", FieldRole::Rank},
};

// One table's fields in column order. The subjects stand together, in the
// order the average walks them.
class TableFields
{
public:
    constexpr TableFields(const char *table, std::span<const Field> fields) : m_table(table), m_fields(fields)
    {
        for (const Field &f : fields) {
            if (f.role == FieldRole::Subject) {
                if (m_subjectCount == 0)
                    m_firstSubject = int(&f - fields.data());
                ++m_subjectCount;
            }
        }
    }

    QString tableName() const { return QLatin1String(m_table); }
    constexpr std::span<const Field> fields() const { return m_fields; }
    constexpr std::span<const Field> subjects() const
    {
        return m_fields.subspan(size_t(m_firstSubject), size_t(m_subjectCount));
    }
    constexpr int subjectCount() const { return m_subjectCount; }
    // Index in fields() of the first subject.
    constexpr int firstSubject() const { return m_firstSubject; }
    // Index in fields() of the first field in that role; -1 when there is none
    // (Formol has no name, Davtalab no rank).
    constexpr int indexOf(FieldRole role) const
    {
        for (size_t i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].role == role)
                return int(i);
        }
        return -1;
    }
    // The field in that role; the table must have one.
    constexpr const Field &field(FieldRole role) const { return m_fields[size_t(indexOf(role))]; }

    QStringList fieldNames() const;
    // The columns as CREATE TABLE lists them: "Name TEXT, Dini REAL, ...".
    QString columnsSql() const;
    QString createTableSql() const;

private:
    const char *m_table;
    std::span<const Field> m_fields;
    int m_firstSubject = 0;
    int m_subjectCount = 0;
};

inline constexpr TableFields kApplicants{kDavtalab, kApplicantFields};
inline constexpr TableFields kReferences{kFormol, kReferenceFields};
inline constexpr TableFields kChoiceTable{kEntekhab, kChoiceFields};

inline constexpr int kApplicantSubjectCount = kApplicants.subjectCount();
inline constexpr int kReferenceSubjectCount = kReferences.subjectCount();
static_assert(kApplicantSubjectCount == 10 && kReferenceSubjectCount == 8);

// True when some field of either table in a role other than Name has this
// name (case-insensitive, as SQL compares names): the store converts its
// box text to a number.
bool isNumberField(const QString &name);

// The weighted average of a table's subjects as the data-entry windows
// compute it. The running total lives in a text: after each subject it is
// rounded to its shortest text before the next is added; the sum is divided
// by 18. `value(i)` gives subject i's value and is asked in order, 0 first.
// `partial`, when given, is told the running total's text after each subject
// (the window shows it in its average box) and the total is read back from
// that text by the leading-number parse; without it the same rounding is done
// on the number alone. Throws common::NumberError on an arithmetic fault.
QString weightedAverageText(const TableFields &table, const std::function<double(int)> &value,
                            const std::function<void(const QString &)> &partial = {});
// The same average as the number its text reads as, without the text (for
// checking many rows); its shortest text is weightedAverageText's.
double weightedAverage(const TableFields &table, const std::function<double(int)> &value);

} // namespace placeva
