#pragma once
// One cell as Qt's SQLite driver makes it, read straight through SQLite: text
// through SQLite's own UTF-16 conversion, so that bytes that are not UTF-8
// read alike; NULL as a null text. Shared by the record sets and the pass's
// own read, which must see the same values.

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

} // namespace placeva
