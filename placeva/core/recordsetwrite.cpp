#include "bidi.h"
#include "core/datalocation.h"
#include "core/outputcheck.h"
#include "core/recordsetimpl.h"
#include "numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace placeva {

using namespace store_detail;

MaybeError Recordset::Impl::checkWritable(const QSqlDatabase &database, int row) const
{
    const qint64 id = rowIds.at(row);
    const RawCells raw = rawText.value(id);
    QString where = rowIdName + QStringLiteral(" = ?");
    QList<QVariant> binds{id};
    for (int i = 0; i < fields.size(); ++i) {
        const QString column = quoted(fields.at(i));
        if (raw.contains(i)) {
            where += QStringLiteral(" AND typeof(%1) = 'text' AND CAST(%1 AS BLOB) = ?").arg(column);
            binds.append(raw.value(i));
            continue;
        }
        const QVariant &v = stored(row, i);
        // The driver binds an empty byte array as NULL; compare such a blob literally.
        if (v.typeId() == QMetaType::QByteArray && !v.isNull() && v.toByteArray().isEmpty()) {
            where += QStringLiteral(" AND %1 = X''").arg(column);
            continue;
        }
        where += QStringLiteral(" AND %1 IS ?").arg(column);
        binds.append(v);
    }
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT count(*), (SELECT count(*) FROM %1 WHERE %2 = ?) FROM %1 WHERE %3")
                      .arg(quoted(table), rowIdName, where));
    query.addBindValue(id);
    for (const QVariant &v : std::as_const(binds))
        query.addBindValue(v);
    if (!query.exec() || !query.next())
        return sqlError(query.lastError(), path, table, true);
    const bool same = query.value(0).toInt() == 1;
    const bool there = query.value(1).toInt() == 1;
    query.finish();
    if (same)
        return std::nullopt;
    return there ? rowChangedError(path, table) : rowDeletedError(path, table);
}

// Every write starts here: only into the file that was opened, and with the
// engine's cached pages dropped, so that a file rewritten in place is read
// afresh rather than overwritten with what the cache remembers.
MaybeError Recordset::Impl::beginWrite(const QSqlDatabase &database, WriteTransaction *transaction) const
{
    const FileIdentity now = FileIdentity::of(path);
    if (opened.known && (!now.known || now.device != opened.device || now.inode != opened.inode))
        return replacedError(path);
    {
        QSqlQuery shrink(database);
        shrink.exec(QStringLiteral("PRAGMA shrink_memory"));
    }
    QSqlError error;
    if (!transaction->begin(&error))
        return sqlError(error, path, table, true);
    return std::nullopt;
}

// Writes the pending row. Everything happens inside one transaction and the
// snapshot changes only after COMMIT succeeded.
MaybeError Recordset::Impl::store()
{
    const QSqlDatabase database = db();
    WriteTransaction transaction(database);
    if (auto error = beginWrite(database, &transaction))
        return error;

    QStringList names;
    QList<QVariant> newValues;
    for (int i = 0; i < fields.size(); ++i) {
        if (bufferSet.at(i)) {
            names.append(quoted(fields.at(i)));
            newValues.append(buffer.at(i));
        }
    }

    QSqlQuery query(database);
    qint64 id = -1;
    if (pending == Pending::New) {
        if (names.isEmpty()) {
            query.prepare(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(table)));
        } else {
            QStringList marks(names.size(), QStringLiteral("?"));
            query.prepare(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(quoted(table), names.join(QLatin1String(", ")), marks.join(QLatin1String(", "))));
            for (const QVariant &v : std::as_const(newValues))
                query.addBindValue(v);
        }
        if (!query.exec())
            return sqlError(query.lastError(), path, table, true);
        bool ok = false;
        id = query.lastInsertId().toLongLong(&ok);
        if (!ok)
            return makeError(StoreErrorKind::Failed,
                             QStringLiteral("نوشتن در جدول «%2» از پرونده «%1» انجام نشد: %3")
                                 .arg(shown(path), shownName(table), shownName(QStringLiteral("rowid"))));
    } else {
        id = rowIds.at(pos);
        if (auto changed = checkWritable(database, pos))
            return changed;
        if (!names.isEmpty()) {
            for (QString &name : names)
                name += QStringLiteral(" = ?");
            query.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                              .arg(quoted(table), names.join(QLatin1String(", ")), rowIdName));
            for (const QVariant &v : std::as_const(newValues))
                query.addBindValue(v);
            query.addBindValue(id);
            if (!query.exec())
                return sqlError(query.lastError(), path, table, true);
            if (query.numRowsAffected() != 1)
                return rowGoneError(path, table);
        }
    }
    query.finish();

    // Read the row back: defaults and the column types decide what was stored.
    QList<QVariant> row;
    if (auto readError = selectRow(database, id, &row, true))
        return readError;
    RawCells raw;
    if (auto readError = readRawText(database, id, row.constData(), &raw, true))
        return readError;
    QSqlError error;
    if (!transaction.commit(&error))
        return sqlError(error, path, table, true);

    if (pending == Pending::New) {
        rowIds.append(id);
        values.append(row);
        pos = count() - 1;
        gap = false;
    } else {
        for (int i = 0; i < fields.size(); ++i)
            values[qsizetype(pos) * fields.size() + i] = row.at(i);
    }
    if (raw.isEmpty())
        rawText.remove(id);
    else
        rawText.insert(id, raw);
    clearBuffer();
    return std::nullopt;
}

// Before the cursor moves: a pending row is stored; a new row on which
// nothing was set is dropped, so that browsing never adds empty rows.
MaybeError Recordset::Impl::settle()
{
    if (pending == Pending::None)
        return std::nullopt;
    if (pending == Pending::New && !dirty()) {
        pos = posBeforeNew;
        gap = gapBeforeNew;
        clearBuffer();
        return std::nullopt;
    }
    return store();
}

MaybeError Recordset::Impl::removeCurrent()
{
    const QSqlDatabase database = db();
    WriteTransaction transaction(database);
    if (auto error = beginWrite(database, &transaction))
        return error;
    if (auto changed = checkWritable(database, pos))
        return changed;
    QSqlQuery query(database);
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quoted(table), rowIdName));
    query.addBindValue(rowIds.at(pos));
    if (!query.exec())
        return sqlError(query.lastError(), path, table, true);
    if (query.numRowsAffected() != 1)
        return rowGoneError(path, table);
    query.finish();
    QSqlError error;
    if (!transaction.commit(&error))
        return sqlError(error, path, table, true);

    rawText.remove(rowIds.at(pos));
    rowIds.remove(pos);
    values.remove(qsizetype(pos) * fields.size(), fields.size());
    gap = true; // pos now names the row after the deleted one
    clearBuffer();
    return std::nullopt;
}

} // namespace placeva
