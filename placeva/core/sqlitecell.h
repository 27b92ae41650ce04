#pragma once
// One cell as Qt's SQLite driver makes it, read straight through SQLite: text
// through SQLite's own UTF-16 conversion, so that bytes that are not UTF-8
// read alike; NULL as a null text. Shared by the record sets and the pass's
// own read, which must see the same values.

#include "core/store.h"
#include "core/utf8.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

namespace placeva {

inline QVariant sqliteCell(sqlite3_stmt *st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: return QVariant(qint64(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(st, i));
    case SQLITE_NULL: return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char *>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i)));
    default: {
        const void *text = sqlite3_column_text16(st, i);
        return QVariant(QString(static_cast<const QChar *>(text), sqlite3_column_bytes16(st, i) / 2));
    }
    }
}

// The same cell as stored: a text that reads alike as its bytes, else the
// value above. Only for a database that stores UTF-8 (`utf8Database`): in
// any other, asking for the bytes would convert the text in place and change
// what its UTF-16 reads as.
inline void storedCell(sqlite3_stmt *st, int i, bool utf8Database, StoredCell &out)
{
    // The cell's value once, then read without SQLite's connection mutex,
    // which each sqlite3_column_* call takes: sound while only this thread
    // uses the connection, as every reader here does.
    sqlite3_value *cell = sqlite3_column_value(st, i);
    switch (sqlite3_value_type(cell)) {
    case SQLITE_INTEGER:
        out.kind = StoredCell::Integer;
        out.integer = sqlite3_value_int64(cell);
        return;
    case SQLITE_FLOAT:
        out.kind = StoredCell::Real;
        out.real = sqlite3_value_double(cell);
        return;
    case SQLITE_NULL: out.kind = StoredCell::Null; return;
    case SQLITE_TEXT: {
        if (!utf8Database)
            break;
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(cell));
        const QByteArrayView bytes(text, sqlite3_value_bytes(cell));
        if (text && isUtf8(bytes, true)) {
            out.kind = StoredCell::Utf8;
            out.utf8 = bytes;
            return;
        }
        break;
    }
    default: break;
    }
    out.kind = StoredCell::Other;
    out.other = sqliteCell(st, i);
}

} // namespace placeva
