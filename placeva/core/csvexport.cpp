#include "core/csvexport.h"

#include "core/choicetable.h"
#include "core/csv.h"
#include "numbers.h"

#include <QDir>
#include <QFileInfo>

#include <charconv>
#include <string>

namespace placeva {

namespace {

QString cellFor(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int: return textForBox(value); // a number's text is never taken for a formula
    default: return spreadsheetSafeText(textForBox(value));
    }
}

// One field of a record, as appendCsvRecord writes it, in UTF-8: numbers go
// straight in (their text needs neither quotes nor an apostrophe), texts are
// quoted where they hold a separator, a quote or a line break.
void appendField(QByteArray &out, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int:
        if (!value.isNull()) {
            if (value.typeId() == QMetaType::Double) {
                char text[48];
                out.append(text, numberChars(*static_cast<const double *>(value.constData()), text));
            } else {
                out.append(QByteArray::number(value.toLongLong()));
            }
            return;
        }
        break;
    default: break;
    }
    const QString text = cellFor(value);
    bool needsQuotes = false;
    for (QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes) {
        out.append(text.toUtf8());
        return;
    }
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(QLatin1Char('"'));
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted.append(QLatin1Char('"'));
        quoted.append(c);
    }
    quoted.append(QLatin1Char('"'));
    out.append(quoted.toUtf8());
}

// A text as appendField writes it, from its UTF-8 bytes: the same rules
// (an apostrophe before a formula or an apostrophe, quotes around a
// separator, a quote or a line break) on the bytes, which hold those ASCII
// characters where the text does.
void appendUtf8Field(std::string &out, QByteArrayView text)
{
    if (text.isEmpty())
        return;
    const char first = text.front();
    bool apostrophe = first == '\'';
    if (!apostrophe && QByteArrayView("=+-@\t\r").contains(first)) { // rare: the number check reads a QString
        const QString whole = QString::fromUtf8(text);
        apostrophe = spreadsheetSafeText(whole).size() != whole.size();
    }
    bool needsQuotes = false;
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r') {
            needsQuotes = true;
            break;
        }
    }
    if (needsQuotes)
        out += '"';
    if (apostrophe)
        out += '\'';
    if (!needsQuotes) {
        out.append(text.data(), size_t(text.size()));
        return;
    }
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// Rows are gathered in a buffer of their own: QByteArray's appends cost more
// than the writing of a number.
void appendStoredField(std::string &out, const StoredCell &cell)
{
    switch (cell.kind) {
    case StoredCell::Null: return;
    case StoredCell::Integer: {
        char text[24];
        out.append(text, size_t(std::to_chars(text, text + sizeof text, cell.integer).ptr - text));
        return;
    }
    case StoredCell::Real: {
        char text[48];
        out.append(text, size_t(numberChars(cell.real, text)));
        return;
    }
    case StoredCell::Utf8: appendUtf8Field(out, cell.utf8); return;
    case StoredCell::Other: {
        QByteArray field;
        appendField(field, cell.other);
        out.append(field.constData(), size_t(field.size()));
        return;
    }
    }
}

} // namespace

CsvExport exportTableCsv(const QString &folder, ImportTable table)
{
    if (table == ImportTable::Choices) // the built-in choices where the file has none
        return exportChoiceTableCsv(folder);
    CsvExport result;
    DataControl control;
    control.setConnectionString(DataControl::connectionStringFor(folder));
    control.setCommandType(DataControl::CommandTable);
    control.setRecordSource(importTableName(table));
    // Each row written as UTF-8 as it is read, rather than a snapshot of the
    // table turned into one text converted at the end, and texts as their
    // stored bytes: the same bytes at a fraction of the work. A large table
    // comes in two parts read side by side, each written into its own buffer.
    std::string rows[2];
    int counted[2] = {0, 0};
    const MaybeError error = control.refreshEachStored([&](int part, const StoredCell *cells, int n) {
        std::string &out = rows[part];
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                out += ',';
            appendStoredField(out, cells[i]);
        }
        out += "\r\n";
        ++counted[part];
    });
    if (error) {
        result.error = error;
        return result;
    }
    result.rows = counted[0] + counted[1];
    const Recordset *rs = control.recordset();
    QStringList cells;
    for (int i = 0; i < rs->fieldCount(); ++i)
        cells.append(spreadsheetSafeText(rs->fieldName(i)));
    QString header;
    appendCsvRecord(header, cells);
    QByteArray bytes = csvFileBytes(header);
    bytes.reserve(bytes.size() + qsizetype(rows[0].size() + rows[1].size()));
    for (const std::string &part : rows)
        bytes.append(part.data(), qsizetype(part.size()));
    result.bytes = std::move(bytes);
    return result;
}

MaybeError checkTableFields(const QString &folder, ImportTable table)
{
    DataControl control;
    control.setConnectionString(DataControl::connectionStringFor(folder));
    control.setCommandType(DataControl::CommandTable);
    control.setRecordSource(importTableName(table));
    QList<ColumnRef> columns;
    for (const QString &field : importFields(table))
        columns.append(ColumnRef(field));
    control.setColumns(columns);
    return control.refreshFields(); // the rows are read once, by the export
}

} // namespace placeva
