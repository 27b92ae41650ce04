#pragma once
// The record set's inside, shared by its reading (recordset.cpp) and its
// writing (recordsetwrite.cpp). Not for use outside the store.

#include "core/storeinternal.h"

namespace placeva {

using namespace store_detail;

struct Recordset::Impl
{
    enum class Pending {
        None,
        New,
        Edit
    };

    QString connection; // empty while closed
    QString path;
    QString table;
    QString rowIdName; // rowid, or an alias for it the table does not use as a column
    QStringList fields;
    FileIdentity opened; // the file the connection opened
    QList<qint64> rowIds;
    // The stored bytes of the text cells that may not decode as UTF-8, by
    // rowid and field: rare, read only for them.
    using RawCells = QHash<int, QByteArray>;
    QHash<qint64, RawCells> rawText;
    QList<QVariant> values; // row after row, fields.size() values each
    // Where set, the rows read go here one by one and none is kept.
    std::function<void(const QVariant *cells, int count)> each;
    // The same, cells as stored, perhaps in two parts side by side.
    std::function<void(int part, const StoredCell *cells, int count)> eachStored;
    bool fieldsOnly = false; // the table and its columns checked, no row read

    // Cursor: pos in [-1, count]; -1 is BOF, count is EOF. After a delete,
    // gap marks that pos is the row after the deleted one, not yet current.
    int pos = -1;
    bool gap = false;

    Pending pending = Pending::None;
    int posBeforeNew = -1;
    bool gapBeforeNew = false;
    QList<QVariant> buffer;
    QList<bool> bufferSet;

    Impl() = default;
    ~Impl()
    {
        if (connection.isEmpty())
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
    bool isOpen() const { return !connection.isEmpty(); }
    int count() const { return int(rowIds.size()); }
    bool onStoredRow() const { return isOpen() && !gap && pos >= 0 && pos < count(); }
    bool hasCurrent() const { return pending != Pending::New && onStoredRow(); }
    bool dirty() const { return bufferSet.contains(true); }

    const QVariant &stored(int row, int field) const
    {
        return values.at(qsizetype(row) * fields.size() + field);
    }

    void clearBuffer()
    {
        pending = Pending::None;
        buffer.fill(QVariant(), fields.size());
        bufferSet.fill(false, fields.size());
    }

    MaybeError open(const QString &filePath, const QString &tableName, const QList<ColumnRef> &columns,
                    int busyTimeout);
    MaybeError load();
    MaybeError loadStored(const QSqlDatabase &db, const QString &columnList, bool inTransaction);
    MaybeError selectRow(const QSqlDatabase &db, qint64 id, QList<QVariant> *out, bool writing) const;
    MaybeError readRawText(const QSqlDatabase &db, qint64 id, const QVariant *row, RawCells *out,
                           bool writing) const;
    MaybeError checkWritable(const QSqlDatabase &db, int row) const;
    MaybeError beginWrite(const QSqlDatabase &db, WriteTransaction *transaction) const;

    MaybeError store();
    MaybeError settle();
    MaybeError openAndSettled();
    MaybeError removeCurrent();
};

} // namespace placeva
