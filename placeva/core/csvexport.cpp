#include "core/csvexport.h"

#include "core/choicetable.h"
#include "core/csv.h"
#include "numbers.h"

#include <QDir>
#include <QFileInfo>

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
                char text[common::kShortestChars];
                out.append(text, common::shortestChars(*static_cast<const double *>(value.constData()), text));
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
    // table turned into one text converted at the end: the same bytes at a
    // fraction of the work.
    QByteArray rows;
    const MaybeError error = control.refreshEach([&](const QVariant *cells, int n) {
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                rows.append(',');
            appendField(rows, cells[i]);
        }
        rows.append("\r\n", 2);
        ++result.rows;
    });
    if (error) {
        result.error = error;
        result.rows = 0;
        return result;
    }
    const Recordset *rs = control.recordset();
    QStringList cells;
    for (int i = 0; i < rs->fieldCount(); ++i)
        cells.append(spreadsheetSafeText(rs->fieldName(i)));
    QString header;
    appendCsvRecord(header, cells);
    QByteArray bytes = csvFileBytes(header);
    bytes.append(rows);
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
    return control.refresh();
}

} // namespace placeva
