#include "core/csvexport.h"

#include "core/choicetable.h"
#include "core/csv.h"

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
    if (MaybeError error = control.refresh()) {
        result.error = error;
        return result;
    }
    Recordset *rs = control.recordset();
    const int n = rs->fieldCount();
    QStringList cells;
    cells.reserve(n);
    for (int i = 0; i < n; ++i)
        cells.append(spreadsheetSafeText(rs->fieldName(i)));
    QString text;
    text.reserve(qsizetype(rs->recordCount() + 1) * n * 8);
    appendCsvRecord(text, cells);
    if (rs->recordCount() > 0) {
        if (MaybeError error = rs->moveFirst()) {
            result.error = error;
            return result;
        }
        while (!rs->isEOF()) {
            cells.clear();
            for (int i = 0; i < n; ++i)
                cells.append(cellFor(rs->value(i)));
            appendCsvRecord(text, cells);
            ++result.rows;
            if (MaybeError error = rs->moveNext()) {
                result.error = error;
                return result;
            }
        }
    }
    result.bytes = csvFileBytes(text);
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
