#include "bidi.h"
#include "core/datalocation.h"
#include "core/outputcheck.h"
#include "core/storeinternal.h"
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

// ---------------------------------------------------------------------------
// Bulk append

namespace {

// A connection of its own for one bulk write, removed when done.
class OwnConnection
{
public:
    OwnConnection() : m_name(connectionName()) { }
    ~OwnConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    OwnConnection(const OwnConnection &) = delete;
    OwnConnection &operator=(const OwnConnection &) = delete;

    QSqlDatabase add() { return QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name); }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

} // namespace

namespace {

// appendRows, or with `replace` replaceRows (its create statement).
MaybeError writeRows(const QString &filePath, const QString &table, const QStringList &fields,
                     const QList<QVariantList> &rows, const std::function<bool(qsizetype)> &keepGoing,
                     bool *cancelled, const std::optional<QString> &replace)
{
    if (cancelled)
        *cancelled = false;
    const QFileInfo info(filePath);
    const QString path = info.absoluteFilePath();
    if (!info.exists())
        return makeError(StoreErrorKind::MissingFile,
                         QStringLiteral("پرونده پايگاه داده «%1» پيدا نشد.").arg(shown(path)));
    if (!info.isFile())
        return makeError(StoreErrorKind::MissingFile,
                         QStringLiteral("«%1» يک پرونده معمولي نيست.").arg(shown(path)));
    if (fields.isEmpty())
        return makeError(StoreErrorKind::Failed,
                         QStringLiteral("براي نوشتن در جدول «%2» از پرونده «%1» ستوني نام برده نشده است.")
                             .arg(shown(path), table));
    for (const QVariantList &row : rows) {
        if (row.size() != fields.size())
            return makeError(StoreErrorKind::Failed,
                             QStringLiteral("شمار مقدارهاي يک رديف با شمار ستونهاي جدول «%2» از پرونده «%1» "
                                            "نمي خواند.")
                                 .arg(shown(path), table));
    }

    OwnConnection connection;
    {
        QSqlDatabase db = connection.add();
        if (!db.isValid())
            return makeError(
                StoreErrorKind::Failed,
                QStringLiteral("راه انداز QSQLITE براي خواندن پرونده «%1» پيدا نشد.").arg(shown(path)));
        if (auto error = openExisting(db, path, table, DataControl::DefaultBusyTimeoutMs, true))
            return error;
    }
    const QSqlDatabase db = connection.db();

    // The table and every named column must be there; the names as the table
    // spells them.
    QStringList tableColumns;
    bool create = false;
    if (auto error = readTableColumns(db, path, table, &tableColumns)) {
        if (!replace || error->kind != StoreErrorKind::MissingTable)
            return error;
        create = true; // as its create statement spells the columns
        tableColumns = fields;
    }
    QStringList names;
    for (const QString &field : fields) {
        const std::optional<QString> found = findColumn(tableColumns, field);
        if (!found)
            return missingColumnError(path, table, field);
        names.append(quoted(*found));
    }

    WriteTransaction transaction(db);
    QSqlError error;
    if (!transaction.begin(&error))
        return sqlError(error, path, table, true);
    if (replace) {
        QSqlQuery clear(db);
        if (!clear.exec(create ? *replace : QStringLiteral("DELETE FROM %1").arg(quoted(table))))
            return sqlError(clear.lastError(), path, table, true);
    }
    QSqlQuery insert(db);
    const QStringList marks(names.size(), QStringLiteral("?"));
    if (!insert.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(quoted(table), names.join(QLatin1String(", ")), marks.join(QLatin1String(", ")))))
        return sqlError(insert.lastError(), path, table, true);
    const int n = int(names.size());
    // The user may stop at any moment; the transaction then stores nothing.
    const auto stopped = [&] {
        if (cancelled)
            *cancelled = true;
        return makeError(StoreErrorKind::Failed,
                         QStringLiteral("نوشتن در جدول «%2» از پرونده «%1» لغو شد؛ هيچ رديفي افزوده نشد.")
                             .arg(shown(path), table));
    };
    constexpr qsizetype kAskEvery = 500;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (keepGoing && r % kAskEvery == 0 && !keepGoing(r))
            return stopped();
        const QVariantList &row = rows.at(r);
        for (int i = 0; i < n; ++i)
            insert.bindValue(i, row.at(i));
        if (!insert.exec())
            return sqlError(insert.lastError(), path, table, true);
    }
    insert.finish();
    if (keepGoing && !keepGoing(rows.size()))
        return stopped();
    if (!transaction.commit(&error))
        return sqlError(error, path, table, true);
    return std::nullopt;
}

} // namespace

MaybeError appendRows(const QString &filePath, const QString &table, const QStringList &fields,
                      const QList<QVariantList> &rows, const std::function<bool(qsizetype)> &keepGoing,
                      bool *cancelled)
{
    return writeRows(filePath, table, fields, rows, keepGoing, cancelled, std::nullopt);
}

MaybeError replaceRows(const QString &filePath, const QString &table, const QStringList &fields,
                       const QList<QVariantList> &rows, const QString &createSql,
                       const std::function<bool(qsizetype)> &keepGoing, bool *cancelled)
{
    return writeRows(filePath, table, fields, rows, keepGoing, cancelled, createSql);
}

} // namespace placeva
