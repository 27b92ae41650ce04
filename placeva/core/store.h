#pragma once
// Placeva's database access, free of widgets.
//
// A DataControl opens one table of an SQLite file (Bank.db) and reads it whole
// into a Recordset: a client-side snapshot with a cursor, exact record count,
// and an edit buffer that the data-entry windows bind their boxes to. Every
// failure is returned as a StoreError; the window decides how to show it.
// Nothing here ever creates the file, a table or a column.

#include "core/subjects.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace placeva {

inline constexpr char kBankFileName[] = "Bank.db";

enum class StoreErrorKind {
    BadConnection, // the connection text names no file, or the source is not a table
    MissingFile,   // no such file, or not a regular file
    NotDatabase,   // the file is not an SQLite database (or is damaged)
    MissingTable,
    MissingColumn,   // a column a reader asked for, or a field that was not read
    ReadOnly,        // the file (or its folder) cannot be written
    Locked,          // another connection holds a lock that did not go away in time
    Refused,         // a box text that is not a number, for a number field
    NoCurrentRecord, // nothing to read, write or delete at the cursor, or nothing open
    RowGone,         // the row was changed or removed by someone else since it was read
    NoRowIds,        // the table keeps no row identities (WITHOUT ROWID)
    Replaced,        // the file at the path is no longer the one that was opened
    DiskFull,        // the disk (or the file's size limit) left no room to write
    Failed,          // anything else the database reports (a trigger)
};

struct StoreError
{
    StoreErrorKind kind;
    QString message; // Persian, for the user: names the file and what is wrong
    QString detail;  // the database engine's own text, when there is one
};

using MaybeError = std::optional<StoreError>;

// How the data-entry windows store a box's text in a field.
enum class FieldKind {
    Text,
    Number
};

// The percentages, averages and ranks of both tables are numbers; the name,
// and any column the tables do not list, is text. Case-insensitive, like SQL.
FieldKind fieldKind(const QString &field);

struct Converted
{
    QVariant value;   // what to store; valid only when there is no error
    MaybeError error; // Refused, naming the field and the text
};

// Box text to stored value. Text fields keep the text as typed. Number fields:
// blank text gives NULL; otherwise common::strictNumber (Persian and
// Arabic-Indic digits included), a whole number as qint64, else a double.
Converted valueFromText(const QString &field, const QString &text);
// The same for a field already known to hold numbers, from its text or from
// UTF-8 bytes (a plain decimal is read from them without a QString).
Converted numberFromText(const QString &field, const QString &text);
Converted numberFromUtf8(const QString &field, QByteArrayView text);
// A number as those store it: a whole one as qint64, else the double.
QVariant storedNumber(double number);

// Stored value to box text: NULL gives "", numbers the shortest number text,
// anything else its text.
QString textForBox(const QVariant &value);

// One cell as the file stores it, for refreshEachStored: a text whose bytes
// read the same once converted to UTF-16 (UTF-8 without U+FFFE or U+FFFF) as
// those bytes; any other text, and a blob, as the value refreshEach gives.
struct StoredCell
{
    enum Kind {
        Null,
        Integer,
        Real,
        Utf8,
        Other
    };
    Kind kind = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArrayView utf8; // valid until the row callback returns
    QVariant other;
};

// One column to read: by table position (0 is the first column) or by name.
struct ColumnRef
{
    ColumnRef(int tablePosition) : position(tablePosition) { }
    ColumnRef(const QString &columnName) : name(columnName) { }
    ColumnRef(const char *columnName) : name(QString::fromUtf8(columnName)) { }

    int position = -1;
    QString name;
};

class DataControl;

// A snapshot of one table's rows in the order they were added, with a cursor.
// Positions: before the first row (BOF), on a row, past the last row (EOF).
// An empty table is at both ends. Field indexes follow the columns read: with
// all columns read, index i is the table's column i.
class Recordset
{
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    bool isOpen() const;
    QString filePath() const;  // absolute
    QString tableName() const; // as the record source named it

    // Rows stored in the snapshot; a pending new row counts once it is stored.
    int recordCount() const;
    bool isBOF() const;
    bool isEOF() const;
    // Index of the current row, -1 when there is none (at an end, on a new row,
    // or where a just-deleted row stood).
    int absolutePosition() const;
    // The current row's identity in the file, -1 when there is none.
    qint64 rowId() const;

    // A pending row (new or edited) is stored first; if that fails the cursor
    // stays, the row stays pending and the error is returned. Moving further
    // past an end than BOF/EOF is refused with NoCurrentRecord.
    MaybeError moveFirst();
    MaybeError moveNext();
    MaybeError movePrevious();
    MaybeError moveLast();

    int fieldCount() const;
    QString fieldName(int index) const;
    int fieldIndex(const QString &name) const; // -1 when not read

    // The current row's value with pending edits applied. A null QVariant for
    // a new row's untouched field, and when there is no current row or no such
    // field.
    QVariant value(int index) const;
    QVariant value(const QString &field) const;
    // The value as the file holds it, ignoring pending edits.
    QVariant storedValue(int index) const;
    QVariant storedValue(const QString &field) const;

    // Edit buffer. Setting a field on a stored row starts an edit of that row;
    // after addNew() it fills the new row. Only fields set here are written.
    bool isPending() const; // a new row or an edit not yet stored
    bool isNew() const;     // the pending row is a new one
    bool isDirty() const;   // some field was set since the row became pending
    MaybeError setPendingValue(const QString &field, const QVariant &value);
    MaybeError setPendingValue(int index, const QVariant &value);
    // valueFromText() then setPendingValue(); a refused text changes nothing.
    MaybeError setPendingText(const QString &field, const QString &text);

    // Starts a new, empty row and makes it current (storing a pending row first).
    MaybeError addNew();
    // Stores the pending row in one transaction. On failure the file is as it
    // was and the row stays pending with what was set. With nothing pending it
    // only checks that there is a current row. An edited row is written only
    // while the file still holds it exactly as it was read (compared as
    // stored: a text cell's bytes, a number's stored value), and only into the
    // file that was opened, not one since put in its place.
    MaybeError update();
    // Removes the current row from the file (a pending new row is just dropped).
    // The cursor then stands where the row stood: moveNext() reaches the row
    // after it, movePrevious() the one before.
    MaybeError deleteCurrent();
    // Drops the pending edit or new row; a new row returns to where it started.
    void cancel();

private:
    friend class DataControl;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The data control of a window: connection text, command type, record source,
// refresh() and the record set it opened.
class DataControl
{
public:
    static constexpr int CommandTable = 2; // the record source names a table
    static constexpr int DefaultBusyTimeoutMs = 3000;

    DataControl();
    ~DataControl();
    DataControl(const DataControl &) = delete;
    DataControl &operator=(const DataControl &) = delete;

    // "Data Source=<folder>/Bank.db" (or the file, when `folder` is not a
    // folder but the database file itself), with the path quoted when it would not
    // survive unquoted (a ";" in it, surrounding blanks, a leading quote).
    static QString connectionStringFor(const QString &folder);
    // The Data Source part of a connection text ("key=value" pairs separated by
    // ";", keys case-insensitive, values optionally in ' or " quotes with the
    // quote doubled inside); nullopt when it is missing or empty.
    static std::optional<QString> dataSource(const QString &connectionString);

    void setConnectionString(const QString &text);
    QString connectionString() const;
    void setCommandType(int type);
    int commandType() const;
    void setRecordSource(const QString &table);
    QString recordSource() const;
    // The columns to read, in this order; empty reads every column.
    void setColumns(const QList<ColumnRef> &columns);
    QList<ColumnRef> columns() const;
    // How long a read or write waits for another connection's lock.
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const;

    // Opens the file and reads the table afresh; the first row becomes current.
    // A pending row of the old snapshot is dropped. On failure the previous
    // snapshot (if any) stays as it was and nothing in the file is touched.
    MaybeError refresh();
    // Checks and reads the table as refresh() does, but hands each row's cells
    // (as the record set would hold them, `count` of them) to `row` as it
    // is read instead of keeping it: the record set then knows the fields and
    // holds no rows. For writers of a whole table, whose snapshot would cost
    // more than the writing.
    MaybeError refreshEach(const std::function<void(const QVariant *cells, int count)> &row);
    // The same with the cells as stored, so that a writer of texts can take
    // their bytes without a QString. A large table may be read in two parts
    // side by side, the later rows on a thread and connection of their own
    // (both reading the file as it was when the first part began): `row` is
    // then called from both threads at once, with `part` 0 for the earlier
    // rows and 1 for the later ones, each part's rows in order.
    MaybeError refreshEachStored(const std::function<void(int part, const StoredCell *cells, int count)> &row);

    // Checks the file, the table and its columns as refresh() does, and reads
    // no row: the record set then knows the fields and holds no rows.
    MaybeError refreshFields();

    // Never null; closed (no rows, at both ends) until a refresh succeeds.
    Recordset *recordset();
    const Recordset *recordset() const;

private:
    MaybeError open(const std::function<void(const QVariant *cells, int count)> &row,
                    const std::function<void(int part, const StoredCell *cells, int count)> &stored,
                    bool rows = true);

    QString m_connectionString;
    int m_commandType = 0;
    QString m_recordSource;
    QList<ColumnRef> m_columns;
    int m_busyTimeout = DefaultBusyTimeoutMs;
    Recordset m_recordset;
};

// Appends rows to a table of the file at `filePath` in one transaction: all of
// them, or on any failure none (the file is then as it was). `fields` name the
// columns written, in the order of each row's values; other columns get their
// defaults. The file is never created. `keepGoing`, when given, is asked every
// few hundred rows with the number written so far; false rolls everything
// back and returns an error with *cancelled set (when given).
MaybeError appendRows(const QString &filePath, const QString &table, const QStringList &fields,
                      const QList<QVariantList> &rows,
                      const std::function<bool(qsizetype written)> &keepGoing = {},
                      bool *cancelled = nullptr);

// Puts these rows in place of every row the table holds, in one transaction
// and as appendRows writes them: all of them, or on any failure none. A
// missing table is made with `createSql` in the same transaction; the file is
// never created.
MaybeError replaceRows(const QString &filePath, const QString &table, const QStringList &fields,
                       const QList<QVariantList> &rows, const QString &createSql,
                       const std::function<bool(qsizetype written)> &keepGoing = {},
                       bool *cancelled = nullptr);

} // namespace placeva
