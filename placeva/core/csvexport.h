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

// Writes the whole file or leaves what was there: the bytes go to a
// temporary file beside it, which replaces it only once complete. Returns
// the message for the user, empty on success.
QString writeFileWhole(const QString &path, const QByteArray &bytes);

} // namespace placeva
