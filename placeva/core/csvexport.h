#pragma once
// Writing Davtalab, Formol and the computed results as spreadsheet files:
// UTF-8 with a byte-order mark, comma-separated, a header row first. No widgets.

#include "core/csvimport.h"
#include "core/stats.h"
#include "core/store.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace placeva {

struct CsvExport
{
    QByteArray bytes; // the whole file
    int rows = 0;
    MaybeError error; // the table could not be read
};

// Every column of the table, headed by its field name, every row in stored
// order, numbers in the store's shortest form.
CsvExport exportTableCsv(const QString &folder, ImportTable table);
// Whether the table has every field an import of it fills; the store's
// MissingColumn error otherwise.
MaybeError checkTableFields(const QString &folder, ImportTable table);

// The column headers of the computed results file.
QStringList resultHeaders();
// Caption of the change factor, as the main window has it beside its box.
QString factorCaption();

// One row per applicant of a statistics pass (name, average, estimated rank,
// best and worst likely rank, band), with the change factor that was used on a line above the header.
CsvExport resultsCsv(const PassResult &pass, const QString &factorText);

} // namespace placeva
