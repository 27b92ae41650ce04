#include "core/csvimport.h"

#include "bidi.h"
#include "core/datalocation.h"
#include "core/outputcheck.h"
#include "numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace placeva {

namespace {

// The reference window's refusal of a rank that reads as 0.
const char16_t kRankMissing[] = u"رتبه داوطلب وارد نشده است";

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
    return common::isolatedPath(path); // in its own order inside Persian text
}

} // namespace

const TableFields &tableFields(ImportTable table)
{
    switch (table) {
    case ImportTable::Applicants: return kApplicants;
    case ImportTable::References: break;
    case ImportTable::Choices: return kChoiceTable;
    }
    return kReferences;
}

QString importTableName(ImportTable table)
{
    return tableFields(table).tableName();
}

QStringList importFields(ImportTable table)
{
    return tableFields(table).fieldNames();
}

namespace {

// The folded names and captions of one table's fields, folded once for a
// whole header row rather than again for every cell.
class HeaderMatcher
{
public:
    explicit HeaderMatcher(ImportTable table)
    {
        const TableFields &own = tableFields(table);
        for (const Field &f : own.fields())
            m_keys.append({headerKey(f.nameText()), f.nameText()});
        // A caption of either window names the field it stands beside, if
        // this table has a field of that name.
        for (const TableFields *captioned : {&kApplicants, &kReferences}) {
            for (const Field &c : captioned->fields()) {
                const QString field = c.nameText();
                if (own.fieldNames().contains(field))
                    m_keys.append({headerKey(c.captionText()), field});
            }
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

qsizetype ImportPlan::rowsToStore() const
{
    return skipDuplicates ? rows.size() - duplicateRows.size() : rows.size();
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

namespace {

// A converted number's value, 0 for an empty box.
double numberIn(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double: return *static_cast<const double *>(value.constData());
    case QMetaType::LongLong: return double(*static_cast<const qlonglong *>(value.constData()));
    default: return value.isNull() ? 0.0 : value.toDouble();
    }
}

// A record's cells as text, where a few rows are read.
CsvRecord textRecord(const CsvBytesRecord &record)
{
    CsvRecord out;
    out.line = record.line;
    out.fields.reserve(record.fields.size());
    for (const QByteArrayView cell : record.fields)
        out.fields.append(utf8CellText(cell));
    return out;
}

QString overfullText(qsizetype cells, int headerWidth)
{
    return QStringLiteral(u"اين سطر %1 خانه دارد ولي سطر عنوان %2 ستون؛ شايد جداکننده اي بيرون از علامت "
                          u"نقل قول آمده است.")
        .arg(cells)
        .arg(headerWidth);
}

QString twoColumnsText(const QString &file, const QString &first, const ImportColumn &second)
{
    return QStringLiteral(u"در سطر عنوان پرونده «%1» دو ستون «%2» و «%3» هر دو فيلد %4 را نام "
                          u"مي برند؛ معلوم نيست کدام را بايد خواند.")
        .arg(file, common::isolate(cutForMessage(first)), common::isolate(cutForMessage(second.header)),
             common::isolate(second.field));
}

// What checking some rows adds to a plan, kept apart where rows are checked
// on several threads and put into the plan in file order.
struct CheckedRows
{
    QList<QVariantList> rows;
    QList<ImportRefusal> refusals;
    QList<int> avgDiffersOnLines;
    int refusedRows = 0;
    int blankRows = 0;
};

// Reads a file's rows as they come: the first row that is not blank is
// matched to the table's fields, every row after it is checked as the
// data-entry window would store it and goes into the plan or is refused.
class ImportPlanner
{
public:
    ImportPlanner(ImportTable table, const QString &file, const std::function<bool(int)> &keepGoing)
        : m_table(tableFields(table)), m_file(file), m_keepGoing(keepGoing), m_matcher(table),
          m_fields(m_table.fieldNames()), m_avgIndex(m_table.indexOf(FieldRole::Average)),
          m_rankIndex(m_table.indexOf(FieldRole::Rank)), m_columnOf(m_fields.size(), -1),
          m_cells(m_fields.size()), m_numbers(m_fields.size())
    {
        m_plan.table = table;
        for (const QString &field : m_fields)
            m_isText.append(fieldKind(field) == FieldKind::Text);
    }

    // Rows checked on their own: a copy of the planner made after the header
    // checks any of them, and what it added is moved into the plan in order.
    static constexpr bool kRowsApart = true;
    CheckedRows takeChecked()
    {
        CheckedRows out{std::move(m_plan.rows), std::move(m_plan.refusals), std::move(m_plan.avgDiffersOnLines),
                        m_plan.refusedRows, m_plan.blankRows};
        m_plan.rows = {};
        m_plan.refusals = {};
        m_plan.avgDiffersOnLines = {};
        m_plan.refusedRows = 0;
        m_plan.blankRows = 0;
        return out;
    }
    void addChecked(CheckedRows &&checked)
    {
        m_plan.rows.append(std::move(checked.rows));
        m_plan.refusals.append(std::move(checked.refusals));
        m_plan.avgDiffersOnLines.append(std::move(checked.avgDiffersOnLines));
        m_plan.refusedRows += checked.refusedRows;
        m_plan.blankRows += checked.blankRows;
    }

    ImportPlan &plan() { return m_plan; }
    bool headerRead() const { return m_headerWidth >= 0; }
    // Why the header row refuses the file; empty when it does not.
    const QString &headerError() const { return m_headerError; }
    bool stopped() const { return m_stopped; }
    bool wrongTable() const { return m_wrongTable; }
    void setShareRead(int permille) { m_shareRead = permille; }

    // Header matching. False when the header refuses the file or `keepGoing`
    // said stop.
    bool readHeader(const CsvRecord &header)
    {
        m_plan.headerLine = header.line;
        m_headerWidth = int(header.fields.size());
        if (!matchColumns(header) || !namesEnough())
            return false;
        planFields();
        return true;
    }

    // Row checking: the row is accepted into the plan, or refused with every
    // reason it has.
    void checkRow(const CsvBytesRecord &record)
    {
        if (isBlankRecord(record.fields)) {
            ++m_plan.blankRows;
            return;
        }
        if (isOverfull(record)) {
            ++m_plan.refusedRows;
            return;
        }
        if (!convertCells(record) || !addAverage(record)) {
            ++m_plan.refusedRows;
            return;
        }
        m_plan.rows.append(m_values);
    }

private:
    // Which field each column names; two columns naming one field refuse
    // the file.
    bool matchColumns(const CsvRecord &header)
    {
        m_plan.columns.reserve(header.fields.size());
        for (int k = 0; k < header.fields.size(); ++k) {
            if (m_keepGoing && k % 100 == 99 && !m_keepGoing(m_shareRead)) {
                m_stopped = true;
                return false;
            }
            ImportColumn column{header.fields.at(k).trimmed(), m_matcher.field(header.fields.at(k))};
            if (!column.field.isEmpty()) {
                const int f = int(m_fields.indexOf(column.field));
                if (m_columnOf[f] >= 0) {
                    m_headerError = twoColumnsText(m_file, m_plan.columns.at(m_columnOf[f]).header, column);
                    return false;
                }
                m_columnOf[f] = k;
            }
            m_plan.columns.append(column);
        }
        return true;
    }

    // Some column must name a field, and reference results need their rank.
    bool namesEnough()
    {
        const bool anyKnown =
            std::any_of(m_columnOf.cbegin(), m_columnOf.cend(), [](int c) { return c >= 0; });
        if (!anyKnown) {
            m_headerError =
                QStringLiteral(u"سطر عنوان پرونده «%1» هيچ ستون شناخته شده اي براي جدول %2 ندارد. "
                               u"ستونها را با نام فيلدها (مانند %3 و %4) يا با عنوان کنار "
                               u"کادرهاي پنجره ورود اطلاعات نام ببريد.")
                    .arg(m_file, common::isolate(m_table.tableName()),
                         common::isolate(kApplicants.fields()[0].nameText()),
                         common::isolate(kApplicants.subjects()[0].nameText()));
            return false;
        }
        // A header without the name, or without both average and rank, is
        // another table's: its rows would be stored as nonsense.
        const int nameIndex = m_table.indexOf(FieldRole::Name);
        if (nameIndex >= 0 && m_columnOf[nameIndex] < 0) {
            m_wrongTable = true;
            return false;
        }
        if (m_rankIndex >= 0 && m_columnOf[m_rankIndex] < 0 && m_columnOf[m_avgIndex] < 0)
            m_wrongTable = true; // and without the rank, which is told too
        if (m_rankIndex >= 0 && m_columnOf[m_rankIndex] < 0) {
            m_headerError =
                QStringLiteral(u"پرونده «%1» ستون رتبه (%3) ندارد، و نتيجه مرجع بي رتبه ذخيره نمي "
                               u"شود: %2")
                    .arg(m_file, QString::fromUtf16(kRankMissing), common::isolate(m_fields.at(m_rankIndex)));
            return false;
        }
        return true;
    }

    // What every accepted row holds: the fields the columns name and the
    // computed average; the subjects (and the name) no column names are told.
    void planFields()
    {
        m_plan.fileHasAvg = m_columnOf[m_avgIndex] >= 0;
        for (int f = 0; f < m_fields.size(); ++f) {
            if (f == m_avgIndex)
                m_avgAt = int(m_written.size());
            if (f == m_avgIndex || m_columnOf[f] >= 0) {
                m_written.append(f);
                m_plan.fields.append(m_fields.at(f));
            } else if (m_table.fields()[size_t(f)].role == FieldRole::Subject) {
                m_plan.absentFields.append(m_fields.at(f));
            }
        }
        const int nameIndex = m_table.indexOf(FieldRole::Name);
        if (nameIndex >= 0 && m_columnOf[nameIndex] < 0)
            m_plan.absentFields.prepend(m_fields.at(nameIndex));
    }

    void refuse(int line, int field, const QString &reason)
    {
        const QString column = field >= 0 && m_columnOf[field] >= 0
            ? m_plan.columns.at(m_columnOf[field]).header
            : m_fields.value(field);
        m_plan.refusals.append(ImportRefusal{line, column, reason});
    }

    // More cells than the header names: a separator typed into a name
    // without quotes would shift every value after it.
    bool isOverfull(const CsvBytesRecord &record)
    {
        bool overfull = false;
        for (qsizetype k = m_headerWidth; k < record.fields.size() && !overfull; ++k)
            overfull = !isBlankUtf8(record.fields.at(k));
        if (overfull)
            m_plan.refusals.append(
                ImportRefusal{record.line, QString(), overfullText(record.fields.size(), m_headerWidth)});
        return overfull;
    }

    // Each named cell as the store would take it from its box, into
    // m_values (the average left empty) and, for the numbers, m_numbers.
    // False when some cell is refused; every refused cell is told.
    bool convertCells(const CsvBytesRecord &record)
    {
        for (int f = 0; f < m_fields.size(); ++f) {
            const int k = m_columnOf[f];
            m_cells[f] = k >= 0 && k < record.fields.size() ? record.fields.at(k) : QByteArrayView();
            m_numbers[f] = 0; // an absent or empty box reads as 0
        }

        const qsizetype refusalsBefore = m_plan.refusals.size();
        m_values.clear();
        for (int f : std::as_const(m_written)) {
            if (f == m_avgIndex) {
                m_values.append(QVariant()); // filled by addAverage
                continue;
            }
            const QString &field = m_fields.at(f);
            if (m_isText.at(f)) {
                // An empty box is never written, so the field stays NULL.
                const QString text = fromSpreadsheetSafeText(utf8CellText(m_cells.at(f)));
                m_values.append(text.isEmpty() ? QVariant() : QVariant(text));
                continue;
            }
            if (f == m_rankIndex) {
                const QString rank = utf8CellText(m_cells.at(f));
                try {
                    if (common::leadingNumber(rank) == 0) {
                        refuse(record.line, f, QString::fromUtf16(kRankMissing));
                        continue;
                    }
                } catch (const common::NumberError &e) {
                    refuse(record.line, f,
                           QStringLiteral(u"رتبه «%1» خوانده نمي شود: %2")
                               .arg(cutForMessage(rank), e.userName()));
                    continue;
                }
            }
            Converted converted = numberFromUtf8(field, m_cells.at(f));
            if (converted.error) {
                refuse(record.line, f, converted.error->message);
                continue;
            }
            // The window reads its boxes by the leading-number parse; for a
            // text the store takes as a number that is the same value.
            m_numbers[f] = numberIn(converted.value);
            m_values.append(std::move(converted.value));
        }
        return m_plan.refusals.size() == refusalsBefore;
    }

    // The average as the window computes it, in place of any the file has;
    // a file's average that differs is told. False when it cannot be
    // computed.
    bool addAverage(const CsvBytesRecord &record)
    {
        double avg = 0;
        try {
            const int first = m_table.firstSubject();
            avg = weightedAverage(m_table, [&](int i) { return m_numbers.at(first + i); });
        } catch (const common::NumberError &e) {
            refuse(record.line, m_avgIndex,
                   QStringLiteral(u"ميانگين اين سطر حساب نمي شود: %1").arg(e.userName()));
            return false;
        }
        m_values[m_avgAt] = storedNumber(avg); // as its text would be stored
        if (m_plan.fileHasAvg) {
            const QByteArrayView given = m_cells.at(m_avgIndex);
            if (!isBlankUtf8(given)) {
                const QString avgText = common::shortestText(avg);
                bool same = false;
                // Signs, digits and points alone read alike either way.
                const bool plain = std::all_of(given.begin(), given.end(), [](char c) {
                    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
                });
                if (plain) {
                    const Converted read = numberFromUtf8(m_fields.at(m_avgIndex), given);
                    same = !read.error && common::shortestText(read.value.toDouble()) == avgText;
                } else {
                    try {
                        same = common::shortestText(common::strictNumber(utf8CellText(given))) == avgText;
                    } catch (const common::NumberError &) {
                    }
                }
                if (!same)
                    m_plan.avgDiffersOnLines.append(record.line);
            }
        }
        return true;
    }

    const TableFields &m_table;
    const QString m_file;
    const std::function<bool(int)> &m_keepGoing;
    const HeaderMatcher m_matcher;
    const QStringList m_fields;
    const int m_avgIndex;
    const int m_rankIndex; // -1 for applicants
    ImportPlan m_plan;
    QList<int> m_columnOf;  // field index -> file column
    QList<int> m_written;   // every field a column names, and the computed average
    QList<bool> m_isText;   // field index -> a text field (asked once, not per cell)
    int m_avgAt = -1;       // where the average stands in a row's values
    int m_headerWidth = -1; // until the header row is read
    QString m_headerError;
    int m_shareRead = 0;
    bool m_stopped = false;
    bool m_wrongTable = false;
    // For the row being checked, kept to spare an allocation per row.
    QList<QByteArrayView> m_cells; // into the record being read
    QList<double> m_numbers;
    QVariantList m_values;
};

// A choice table's rows: a name, non-empty and unique, and a limit, empty or
// a whole number from 1 to the largest 32-bit rank. The table is replaced
// whole, so the plan is stored only when no row is refused.
class ChoicePlanner
{
public:
    ChoicePlanner(ImportTable table, const QString &file, const std::function<bool(int)> &)
        : m_file(file), m_fields(kChoiceTable.fieldNames())
    {
        m_plan.table = table;
    }

    static constexpr bool kRowsApart = false; // a name is checked against every row before it
    CheckedRows takeChecked() { return {}; }
    void addChecked(CheckedRows &&) { }

    ImportPlan &plan() { return m_plan; }
    bool headerRead() const { return m_headerWidth >= 0; }
    const QString &headerError() const { return m_headerError; }
    bool stopped() const { return false; }
    bool wrongTable() const { return false; } // a header without both columns is told as such
    void setShareRead(int) { }

    bool readHeader(const CsvRecord &header)
    {
        m_plan.headerLine = header.line;
        m_headerWidth = int(header.fields.size());
        for (int k = 0; k < header.fields.size(); ++k) {
            const QString key = headerKey(header.fields.at(k));
            ImportColumn column{header.fields.at(k).trimmed(), QString()};
            int f = -1;
            for (int i = 0; i < 2 && f < 0 && !key.isEmpty(); ++i) {
                if (key == headerKey(kChoiceFields[i].nameText()) || key == headerKey(kChoiceFields[i].captionText()))
                    f = i;
            }
            if (f >= 0) {
                column.field = m_fields.at(f);
                if (m_columnOf[f] >= 0) {
                    m_headerError = twoColumnsText(m_file, m_plan.columns.at(m_columnOf[f]).header, column);
                    return false;
                }
                m_columnOf[f] = k;
            }
            m_plan.columns.append(column);
        }
        for (int f = 0; f < 2; ++f) {
            if (m_columnOf[f] < 0) {
                m_headerError =
                    QStringLiteral(u"پرونده «%1» ستون %2 (يا «%3») ندارد؛ جدول %4 با ستونهاي %5 و %6 "
                                   u"خوانده مي شود.")
                        .arg(m_file, common::isolate(m_fields.at(f)), kChoiceFields[f].captionText(),
                             common::isolate(kChoiceTable.tableName()), common::isolate(m_fields.at(0)),
                             common::isolate(m_fields.at(1)));
                return false;
            }
        }
        m_plan.fields = m_fields;
        return true;
    }

    void checkRow(const CsvBytesRecord &record) { checkRow(textRecord(record)); }

    void checkRow(const CsvRecord &record)
    {
        if (isBlankRecord(record.fields)) {
            ++m_plan.blankRows;
            return;
        }
        const qsizetype before = m_plan.refusals.size();
        if (record.fields.size() > m_headerWidth) {
            for (qsizetype k = m_headerWidth; k < record.fields.size(); ++k) {
                if (!record.fields.at(k).trimmed().isEmpty()) {
                    m_plan.refusals.append(ImportRefusal{record.line, QString(), overfullText(record.fields.size(), m_headerWidth)});
                    break;
                }
            }
        }
        const auto cell = [&](int f) { return record.fields.value(m_columnOf[f]); };
        const auto refuse = [&](int f, const QString &reason) {
            m_plan.refusals.append(ImportRefusal{record.line, m_plan.columns.at(m_columnOf[f]).header, reason});
        };

        // Blanks around a name would make a second choice that looks the same.
        const QString name = fromSpreadsheetSafeText(cell(0)).trimmed();
        if (name.isEmpty()) {
            refuse(0, QStringLiteral(u"نام انتخاب خالي است."));
        } else if (const auto seen = m_lineOf.constFind(name); seen != m_lineOf.cend()) {
            refuse(0, QStringLiteral(u"انتخاب «%1» در سطر %2 هم آمده است؛ نام هر انتخاب بايد يکتا باشد.")
                          .arg(name)
                          .arg(*seen));
        } else {
            m_lineOf.insert(name, record.line);
        }

        QVariant limit;
        const QString text = cell(1).trimmed();
        if (!text.isEmpty()) {
            double value = 0;
            bool number = true;
            try {
                value = common::strictNumber(text);
            } catch (const common::NumberError &) {
                number = false;
            }
            if (number && value >= 1 && value <= 2147483647.0 && value == std::floor(value))
                limit = qlonglong(value);
            else
                refuse(1, QStringLiteral(u"حد قبولي «%1» بايد خالي يا عدد صحيحي از 1 تا 2147483647 باشد.")
                              .arg(text));
        }
        if (m_plan.refusals.size() != before) {
            ++m_plan.refusedRows;
            return;
        }
        m_plan.rows.append(QVariantList{name, limit});
    }

private:
    const QString m_file;
    const QStringList m_fields;
    ImportPlan m_plan;
    int m_columnOf[2] = {-1, -1};
    int m_headerWidth = -1;
    QString m_headerError;
    QHash<QString, int> m_lineOf; // each accepted name's line
};

// Checks the rows after the header on threads of their own while the file is
// read on: the reader hands over copies of the rows in batches. Where rows are
// checked apart, two threads check batches side by side, each with a copy of
// the planner, and what each batch added goes into the plan in file order;
// otherwise one thread checks them in order. Either way the plan, its refusals
// and its messages are those of checking each row as it is read.
template <class Planner> class RowChecker
{
public:
    explicit RowChecker(Planner &planner) : m_planner(planner)
    {
        constexpr int kThreads = Planner::kRowsApart ? 2 : 1;
        if constexpr (Planner::kRowsApart) {
            // Copied here, before the reader goes on beside the threads.
            for (int i = 0; i < kThreads; ++i) {
                m_copies.emplace_back(m_planner);
                m_copies.back().takeChecked(); // the header's part alone
            }
        }
        try {
            for (int i = 0; i < kThreads; ++i)
                m_threads.emplace_back([this, i] { run(Planner::kRowsApart ? &m_copies[size_t(i)] : nullptr); });
        } catch (const std::system_error &) { // fewer threads: the same plan
            if (m_threads.empty())
                throw;
        }
    }
    ~RowChecker() { finish(true); }
    RowChecker(const RowChecker &) = delete;
    RowChecker &operator=(const RowChecker &) = delete;

    void add(const CsvBytesRecord &record)
    {
        m_filling.lines.push_back(record.line);
        m_filling.cells.push_back(int(record.fields.size()));
        for (const QByteArrayView cell : record.fields) {
            m_filling.bytes.append(cell.data(), size_t(cell.size()));
            m_filling.ends.push_back(m_filling.bytes.size());
        }
        if (m_filling.ends.size() >= kCellsABatch || m_filling.bytes.size() >= kBytesABatch)
            handOver();
    }

    // Waits until every row handed over is checked (or, with `drop`, for the
    // threads to give up the rest); rethrows what checking threw.
    void finish(bool drop = false)
    {
        if (m_threads.empty())
            return;
        if (!drop)
            handOver();
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
            m_dropped = drop;
        }
        m_changed.notify_all();
        for (std::thread &thread : m_threads)
            thread.join();
        m_threads.clear();
        if (m_failure && !drop)
            std::rethrow_exception(m_failure);
        if (!drop) {
            for (CheckedRows &checked : m_checked)
                m_planner.addChecked(std::move(checked));
        }
        m_checked.clear();
    }

private:
    // A batch is some thousand rows of a table, and few of a file of wide
    // rows; the copies waiting stay a few megabytes whatever the file.
    static constexpr size_t kCellsABatch = 16384;
    static constexpr size_t kBytesABatch = 256 * 1024;
    static constexpr size_t kBatchesWaiting = 8; // the reader waits beyond that

    struct Batch
    {
        std::string bytes;        // every cell's bytes, one after another
        std::vector<size_t> ends; // where each cell ends in `bytes`
        std::vector<int> cells;   // each row's number of cells
        std::vector<int> lines;
        size_t number = 0; // in file order
    };

    void handOver()
    {
        if (m_filling.lines.empty())
            return;
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_waiting.size() < kBatchesWaiting || m_failure; });
        if (m_failure) { // nothing more is checked; finish() tells
            m_filling = Batch();
            return;
        }
        m_filling.number = m_handedOver++;
        m_waiting.push_back(std::move(m_filling));
        lock.unlock();
        m_changed.notify_all();
        m_filling = Batch();
    }

    // With `copy`, checks rows apart into it; otherwise into the plan itself.
    void run(Planner *copy)
    {
        Planner &planner = copy ? *copy : m_planner;
        CsvBytesRecord record;
        while (true) {
            Batch batch;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return !m_waiting.empty() || m_done || m_failure; });
                if (m_waiting.empty() || m_dropped || m_failure)
                    return;
                batch = std::move(m_waiting.front());
                m_waiting.pop_front();
            }
            m_changed.notify_all();
            try {
                size_t cell = 0, begin = 0;
                for (size_t r = 0; r < batch.lines.size(); ++r) {
                    record.line = batch.lines[r];
                    record.fields.resize(batch.cells[r]);
                    for (QByteArrayView &field : record.fields) {
                        field = QByteArrayView(batch.bytes.data() + begin, qsizetype(batch.ends[cell] - begin));
                        begin = batch.ends[cell++];
                    }
                    planner.checkRow(record);
                }
                if (copy) {
                    CheckedRows checked = copy->takeChecked();
                    const std::lock_guard lock(m_mutex);
                    if (m_checked.size() <= batch.number)
                        m_checked.resize(batch.number + 1);
                    m_checked[batch.number] = std::move(checked);
                }
            } catch (...) {
                fail();
                return;
            }
        }
    }

    void fail()
    {
        const std::lock_guard lock(m_mutex);
        if (!m_failure)
            m_failure = std::current_exception();
        m_waiting.clear();
        m_changed.notify_all();
    }

    Planner &m_planner;
    Batch m_filling; // the reader's
    size_t m_handedOver = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_waiting;
    std::vector<CheckedRows> m_checked; // by batch, where rows are checked apart
    std::deque<Planner> m_copies;       // a thread's each, where rows are checked apart
    bool m_done = false;
    bool m_dropped = false;
    std::exception_ptr m_failure;
    std::vector<std::thread> m_threads; // last: started once the rest is made
};

} // namespace

template <class Planner>
static ImportReading planWith(QByteArrayView bytes, ImportTable table, const QString &fileName,
                              const std::function<bool(int)> &keepGoing)
{
    ImportReading reading;
    const QString file = shownPath(fileName);
    const auto fail = [&](const QString &message) {
        reading.error = message;
        return reading;
    };

    // The bytes are read as UTF-8 where they are: a large file is never
    // decoded whole, and a cell becomes a QString only where one is needed.
    const Utf8Text decoded = utf8Text(bytes);
    switch (decoded.problem) {
    case TextProblem::Empty:
        return fail(QStringLiteral(u"پرونده «%1» خالي است؛ چيزي براي ورود ندارد.").arg(file));
    case TextProblem::NotText:
        return fail(QStringLiteral(u"پرونده «%1» متني نيست. پرونده را در برنامه صفحه گسترده با قالب "
                                   u"⁨CSV⁩ ذخيره کنيد و دوباره امتحان کنيد.")
                        .arg(file));
    case TextProblem::Utf16:
        return fail(QStringLiteral(u"پرونده «%1» با کدگذاري ⁨UTF-16⁩ ذخيره شده است که خوانده "
                                   u"نمي "
                                   u"شود. "
                                   u"آن را با قالب «⁨CSV UTF-8⁩» ذخيره کنيد.")
                        .arg(file));
    case TextProblem::None: break;
    }

    Planner planner(table, file, keepGoing);
    ImportPlan &plan = planner.plan();
    plan.encoding = decoded.encoding;
    plan.separator = detectSeparatorUtf8(decoded.text);

    // Rows are checked as they are read, so that the file is never held as
    // cells all at once; on a second thread, while this one reads on.
    std::optional<RowChecker<Planner>> checker;
    const CsvTable csv = readCsvUtf8(
        decoded.text, char(plan.separator.unicode()), kMaxCsvFields,
        [&](CsvBytesRecord &record) {
            if (checker) {
                checker->add(record);
                return true;
            }
            if (isBlankRecord(record.fields))
                return true;
            if (!planner.readHeader(textRecord(record)))
                return false;
            checker.emplace(planner);
            return true;
        },
        [&](int permille) {
            planner.setShareRead(permille);
            return !keepGoing || keepGoing(permille);
        });
    if (checker)
        checker->finish(csv.cancelled || csv.tooWideLine > 0 || csv.unclosedQuoteLine > 0);
    if (csv.cancelled || planner.stopped()) {
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
        return fail(
            QStringLiteral(u"در پرونده «%1» علامت نقل قولي که در سطر %2 باز شده، تا پايان پرونده بسته "
                           u"نشده است؛ هيچ رديفي خوانده نشد.")
                .arg(file)
                .arg(csv.unclosedQuoteLine));
    if (planner.wrongTable()) {
        reading.wrongTable = true;
        reading.error = planner.headerError();
        return reading;
    }
    if (!planner.headerError().isEmpty())
        return fail(planner.headerError());
    if (!planner.headerRead())
        return fail(QStringLiteral(u"پرونده «%1» خالي است؛ چيزي براي ورود ندارد.").arg(file));
    if (keepGoing && !keepGoing(1000)) {
        reading.cancelled = true;
        return reading;
    }
    reading.plan = std::move(plan);
    return reading;
}

ImportReading planImport(QByteArrayView bytes, ImportTable table, const QString &fileName,
                         const std::function<bool(int)> &keepGoing)
{
    if (table == ImportTable::Choices)
        return planWith<ChoicePlanner>(bytes, table, fileName, keepGoing);
    return planWith<ImportPlanner>(bytes, table, fileName, keepGoing);
}

ImportReading readImportFile(const QString &path, ImportTable table,
                             const std::function<bool(int)> &keepGoing)
{
    ImportReading reading;
    const QString file = shownPath(QFileInfo(path).absoluteFilePath());
    QFile f(path);
    if (!QFileInfo(path).isFile() && QFileInfo::exists(path)) {
        reading.error = QStringLiteral(u"«%1» يک پرونده معمولي نيست.").arg(file);
        reading.file.problem = FileProblem::NotRegular;
        return reading;
    }
    errno = 0;
    if (!f.open(QIODevice::ReadOnly)) {
        reading.file = outcomeOfErrno(errno);
        if (reading.file.ok())
            reading.file = FileOutcome{f.exists() ? FileProblem::Other : FileProblem::NotFound, QString()};
        reading.error = f.exists() ? QStringLiteral(u"پرونده «%1» باز نشد: %2").arg(file, f.errorString())
                                   : QStringLiteral(u"پرونده «%1» پيدا نشد.").arg(file);
        return reading;
    }
    if (f.size() > kMaxImportBytes) {
        reading.error = QStringLiteral(u"پرونده «%1» بزرگتر از %2 مگابايت است و خوانده نمي شود.")
                            .arg(file)
                            .arg(kMaxImportBytes / (1024 * 1024));
        return reading;
    }
    errno = 0;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        reading.file = outcomeOfErrno(errno);
        if (reading.file.ok())
            reading.file.problem = FileProblem::Other;
        reading.error = QStringLiteral(u"خواندن پرونده «%1» انجام نشد: %2").arg(file, f.errorString());
        return reading;
    }
    return planImport(bytes, table, QFileInfo(path).absoluteFilePath(), keepGoing);
}

namespace {

// A row's values as compared for duplicates: numbers by their shortest
// text, so that 50 stored as a whole number equals 50 read as one.
QString rowKey(const QVariantList &values)
{
    QString key;
    for (const QVariant &v : values) {
        if (v.isNull())
            key += QLatin1String("\x01");
        else if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray)
            key += QLatin1Char('s') + textForBox(v);
        else
            key += QLatin1Char('n') + common::shortestText(v.toDouble());
        key += QChar(0x1F);
    }
    return key;
}

} // namespace

void markDuplicates(const QString &folder, ImportPlan &plan)
{
    plan.duplicateRows.clear();
    if (plan.rows.isEmpty() || plan.table == ImportTable::Choices) // the table is replaced whole
        return;
    DataControl control;
    control.setConnectionString(DataControl::connectionStringFor(folder));
    control.setCommandType(DataControl::CommandTable);
    control.setRecordSource(importTableName(plan.table));
    QList<ColumnRef> columns;
    for (const QString &field : std::as_const(plan.fields))
        columns.append(ColumnRef(field));
    control.setColumns(columns);
    if (control.refresh())
        return;
    Recordset *rs = control.recordset();
    QSet<QString> stored;
    stored.reserve(rs->recordCount());
    if (rs->recordCount() > 0 && !rs->moveFirst()) {
        QVariantList values;
        while (!rs->isEOF()) {
            values.clear();
            for (int i = 0; i < plan.fields.size(); ++i)
                values.append(rs->value(i));
            stored.insert(rowKey(values));
            if (rs->moveNext())
                return;
        }
    }
    if (stored.isEmpty())
        return;
    for (qsizetype r = 0; r < plan.rows.size(); ++r) {
        if (stored.contains(rowKey(plan.rows.at(r))))
            plan.duplicateRows.append(r);
    }
}

MaybeError storeImport(const QString &folder, const ImportPlan &plan,
                       const std::function<bool(qsizetype)> &keepGoing, bool *cancelled)
{
    if (plan.table == ImportTable::Choices) {
        if (plan.refusedRows > 0) // a table with rows missing would offer wrong choices
            return StoreError{StoreErrorKind::Refused,
                              QStringLiteral(u"%1 رديف پرونده رد شده است و جدول %2 تنها يکجا جايگزين مي شود.")
                                  .arg(plan.refusedRows)
                                  .arg(common::isolate(importTableName(plan.table))),
                              QString()};
        return replaceRows(bankFilePath(folder), importTableName(plan.table), plan.fields, plan.rows,
                           kChoiceTable.createTableSql(), keepGoing, cancelled);
    }
    if (!plan.skipDuplicates || plan.duplicateRows.isEmpty())
        return appendRows(bankFilePath(folder), importTableName(plan.table), plan.fields, plan.rows,
                          keepGoing, cancelled);
    QList<QVariantList> rows;
    rows.reserve(plan.rowsToStore());
    qsizetype next = 0; // into duplicateRows, which is in row order
    for (qsizetype r = 0; r < plan.rows.size(); ++r) {
        if (next < plan.duplicateRows.size() && plan.duplicateRows.at(next) == r)
            ++next;
        else
            rows.append(plan.rows.at(r));
    }
    return appendRows(bankFilePath(folder), importTableName(plan.table), plan.fields, rows, keepGoing,
                      cancelled);
}

} // namespace placeva
