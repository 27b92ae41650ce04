#pragma once
// Importing a spreadsheet file into Davtalab or Formol: the header row is
// matched to the table's fields, every row is checked as the data-entry
// windows would store it, and the average is computed as they compute it.
// The result is a plan that the preview shows and that is stored in one
// transaction, or a message saying why the file cannot be read. No widgets.

#include "core/csv.h"
#include "core/outputcheck.h"
#include "core/store.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

namespace placeva {

enum class ImportTable {
    Applicants,
    References,
    Choices, // replaces the whole table, all or nothing
};

// "Davtalab", "Formol" or "Entekhab".
QString importTableName(ImportTable table);
// The table's fields, as subjects.h lists them.
const TableFields &tableFields(ImportTable table);
// The fields an import can fill: all of the table's, in its order.
QStringList importFields(ImportTable table);

// The field a header cell names: a field name (case-insensitive) or the
// caption beside that field's box in either data-entry window, with or
// without the colon and surrounding blanks, Farsi or Arabic yeh and kaf alike.
// Empty when it names none of the table's fields.
QString fieldForHeader(ImportTable table, const QString &header);

struct ImportColumn
{
    QString header; // as the file has it
    QString field;  // empty where the header names no field: ignored
};

struct ImportRefusal
{
    int line = 0;
    QString column; // the header of the refused cell
    QString reason;
};

struct ImportPlan
{
    ImportTable table = ImportTable::Applicants;
    TextEncoding encoding = TextEncoding::Utf8;
    QChar separator = QLatin1Char(',');
    QList<ImportColumn> columns; // every column of the header row, in file order
    QStringList absentFields;    // percentages (and the like) no column names: stored empty
    QStringList fields;          // what each accepted row holds, in this order
    QList<QVariantList> rows;    // the accepted rows, in file order
    QList<ImportRefusal> refusals;
    int refusedRows = 0;
    int blankRows = 0; // skipped without a word
    bool fileHasAvg = false;
    QList<int> avgDiffersOnLines; // where the file's average is not the computed one
    int headerLine = 1;
    // Choices: how many rows the import puts out of the table (the built-in
    // choices where it has none); -1 until told.
    int replacedRows = -1;
    QList<qsizetype> duplicateRows; // indexes into rows: identical to rows already stored
    bool skipDuplicates = false;    // store them or not

    QStringList unknownHeaders() const;
    // What storeImport writes.
    qsizetype rowsToStore() const;
};

struct ImportReading
{
    std::optional<ImportPlan> plan;
    QString error;          // for the user, when there is no plan
    bool cancelled = false; // `keepGoing` said stop
    // The header names no applicant's name column (for applicants) or
    // neither the average nor the rank (for reference results): the file
    // is another table's. The caller words it; `error` then holds at most
    // a narrower reason (no rank column).
    bool wrongTable = false;
    // Why the file itself could not be read, when that was the trouble.
    FileOutcome file;
};

// Checks the bytes of a file as an import into `table`. `keepGoing` is asked
// now and then with a share of the work done (0 to 1000); false stops.
ImportReading planImport(QByteArrayView bytes, ImportTable table, const QString &fileName,
                         const std::function<bool(int permille)> &keepGoing = {});

// Reads the file and plans its import. Files beyond kMaxImportBytes are not read.
inline constexpr qint64 kMaxImportBytes = qint64(256) * 1024 * 1024;
ImportReading readImportFile(const QString &path, ImportTable table,
                             const std::function<bool(int permille)> &keepGoing = {});

// Marks the plan's rows that are identical, in the fields the plan fills,
// to rows the table in Bank.db of `folder` already holds. Nothing is marked
// when the table cannot be read: storing then says why.
void markDuplicates(const QString &folder, ImportPlan &plan);

// Stores the plan's rows in Bank.db of `folder`, all or none, without the
// duplicates when the plan says to skip them; choices replace the table's
// rows, and only from a plan without refused rows.
MaybeError storeImport(const QString &folder, const ImportPlan &plan,
                       const std::function<bool(qsizetype written)> &keepGoing = {},
                       bool *cancelled = nullptr);

} // namespace placeva
