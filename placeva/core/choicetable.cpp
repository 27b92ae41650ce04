#include "core/choicetable.h"

#include "core/csv.h"
#include "core/datalocation.h"

#include <QSet>

#include <cmath>
#include <limits>

namespace placeva {

namespace {

void openChoices(DataControl &control, const QString &file)
{
    control.setConnectionString(DataControl::connectionStringFor(file));
    control.setCommandType(DataControl::CommandTable);
    control.setRecordSource(kChoiceTable.tableName());
    control.setColumns({ColumnRef(kChoiceTable.field(FieldRole::Name).nameText()),
                        ColumnRef(kChoiceTable.field(FieldRole::Rank).nameText())});
}

std::optional<std::int32_t> storedLimit(const QVariant &value)
{
    const std::optional<double> v = cellNumber(value);
    if (!v || *v < 1 || *v > double(std::numeric_limits<std::int32_t>::max()) || *v != std::floor(*v))
        return std::nullopt;
    return std::int32_t(*v);
}

} // namespace

ChoiceTableReading readChoiceTable(const QString &file)
{
    ChoiceTableReading reading;
    DataControl control;
    openChoices(control, file);
    if (MaybeError error = control.refresh()) {
        if (error->kind == StoreErrorKind::MissingTable) {
            reading.choices = builtInChoices();
            reading.builtIn = true;
            reading.storedRows = int(reading.choices.size());
        } else {
            reading.error = error;
        }
        return reading;
    }
    Recordset *rs = control.recordset();
    reading.storedRows = rs->recordCount();
    QSet<QString> seen;
    if (rs->recordCount() > 0 && !rs->moveFirst()) {
        while (!rs->isEOF()) {
            const QString name = cellText(rs->value(0));
            if (!name.isEmpty() && !seen.contains(name)) {
                seen.insert(name);
                reading.choices.append({name, storedLimit(rs->value(1))});
            }
            if (rs->moveNext())
                break;
        }
    }
    return reading;
}

MaybeError checkChoiceTable(const QString &file)
{
    DataControl control;
    openChoices(control, file);
    MaybeError error = control.refresh();
    if (error && error->kind == StoreErrorKind::MissingTable)
        return std::nullopt;
    return error;
}

CsvExport exportChoiceTableCsv(const QString &folder)
{
    CsvExport result;
    const ChoiceTableReading reading = readChoiceTable(bankFilePath(folder));
    if (reading.error) {
        result.error = reading.error;
        return result;
    }
    QString text;
    appendCsvRecord(text, kChoiceTable.fieldNames());
    for (const ChoiceRow &c : reading.choices) {
        appendCsvRecord(text, {spreadsheetSafeText(c.name), c.limit ? QString::number(*c.limit) : QString()});
        ++result.rows;
    }
    result.bytes = csvFileBytes(text);
    return result;
}

} // namespace placeva
