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

namespace placeva::store_detail {

// Table and column names come from the user's file: always quote them.
QString quoted(const QString &identifier)
{
    QString out = identifier;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// Opens `path` on `db` without ever creating it: mode=rw makes SQLite refuse
// a file that vanished after the existence check.
MaybeError openExisting(QSqlDatabase &db, const QString &path, const QString &table, int busyTimeout,
                        bool writing)
{
    db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout));
    if (!db.open())
        return sqlError(db.lastError(), path, table, writing);
    return std::nullopt;
}

// The table's columns as it spells them; a missing table is an error.
MaybeError readTableColumns(const QSqlDatabase &db, const QString &path, const QString &table,
                            QStringList *out)
{
    QSqlQuery info(db);
    info.setForwardOnly(true);
    if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table))))
        return sqlError(info.lastError(), path, table, false);
    while (info.next())
        out->append(info.value(1).toString());
    if (info.lastError().isValid())
        return sqlError(info.lastError(), path, table, false);
    if (out->isEmpty())
        return makeError(StoreErrorKind::MissingTable,
                         QStringLiteral("جدول «%2» در پرونده «%1» نيست.").arg(shown(path), shownName(table)));
    return std::nullopt;
}

// A column by name, compared as SQL compares names (case-insensitively).
std::optional<QString> findColumn(const QStringList &tableColumns, const QString &name)
{
    const auto found = std::find_if(tableColumns.cbegin(), tableColumns.cend(), [&](const QString &c) {
        return c.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (found == tableColumns.cend())
        return std::nullopt;
    return *found;
}

QString connectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("placeva-store-%1").arg(++counter);
}

} // namespace placeva::store_detail
