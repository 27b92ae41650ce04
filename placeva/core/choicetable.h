#pragma once
// This year's choices from the optional table Entekhab of Bank.db, in table
// order; where the file has no such table the built-in choices stand. No
// widgets.

#include "core/choices.h"
#include "core/csvexport.h"
#include "core/store.h"

#include <QString>

namespace placeva {

struct ChoiceTableReading
{
    ChoiceTable choices;
    bool builtIn = false; // the file has no table of choices
    int storedRows = 0;   // the table's rows, offered or not (the built-in count without one)
    MaybeError error;     // the table is there but cannot be read
};

// Reads the choices of the database file. A row without a name, or with the
// name of an earlier row, is not offered (it could not be told apart); a
// limit that is not a whole number from 1 to the largest 32-bit rank admits
// nobody.
ChoiceTableReading readChoiceTable(const QString &file);

// Opens the table as every reader does, so that a table without its columns
// or its row ids is refused at start like the other tables; a missing table
// is no error.
MaybeError checkChoiceTable(const QString &file);

// The choices of Bank.db in `folder` as a spreadsheet: "Name,Hadd", then one
// row per choice, an empty limit where there is none.
CsvExport exportChoiceTableCsv(const QString &folder);

} // namespace placeva
