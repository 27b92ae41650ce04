#pragma once
// Writing Davtalab and Formol as spreadsheet files:
// UTF-8 with a byte-order mark, comma-separated, a header row first. No widgets.

#include "core/csvimport.h"
#include "core/store.h"

#include <QByteArray>
#include <QString>

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

} // namespace placeva
