// Test databases for Placeva: the two tables as an empty Bank.db holds them,
// and statements run on a file through a connection of their own. Free of
// QtTest so that the benchmarks and the screenshot tool can use it too.
#pragma once

#include "core/subjects.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>

namespace testbank {

inline QString applicantTable()
{
    return placeva::kApplicants.createTableSql();
}

inline QString referenceTable()
{
    return placeva::kReferences.createTableSql();
}

inline QStringList standardTables()
{
    return {applicantTable(), referenceTable()};
}

// Opens file on a connection of its own and runs work in one transaction,
// committed only when work returns true. The connection is removed whatever
// happens, so that callers never hold a file the program under test opens.
// The name is unique per call: tests and nested setups may overlap.
inline bool run(const QString &file, const std::function<bool(QSqlQuery &)> &work, QString *error = nullptr)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("testbank-%1").arg(serial.fetchAndAddRelaxed(1));
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (!db.open()) {
            why = file + QStringLiteral(": ") + db.lastError().text();
        } else if (!db.transaction()) {
            why = QStringLiteral("BEGIN: ") + db.lastError().text();
        } else {
            bool done = false;
            {
                QSqlQuery q(db);
                done = work(q);
                if (!done)
                    why = q.lastError().text();
            }
            if (done && !db.commit())
                why = QStringLiteral("COMMIT: ") + db.lastError().text();
            if (!done)
                db.rollback();
            if (!done && why.isEmpty())
                why = QStringLiteral("setup refused");
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (error)
        *error = why;
    return why.isEmpty();
}

// Runs statements in order, in one transaction; the error names the
// statement that failed.
inline bool exec(const QString &file, const QStringList &statements, QString *error = nullptr)
{
    QString failed;
    QString why;
    const bool ok = run(
        file,
        [&](QSqlQuery &q) {
            for (const QString &s : statements) {
                if (!q.exec(s)) {
                    failed = s;
                    return false;
                }
            }
            return true;
        },
        &why);
    if (error)
        *error = failed.isEmpty() ? why : failed + QStringLiteral(": ") + why;
    return ok;
}

// The connection the program's store opened last, for a test to set a limit
// on it (a full disk, a read-only file) as the engine would meet it.
inline QString newestStoreConnection()
{
    QString newest;
    qulonglong highest = 0;
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names) {
        if (!name.startsWith(QLatin1String("placeva-store-")))
            continue;
        const qulonglong n = name.section(QLatin1Char('-'), -1).toULongLong();
        if (n >= highest) {
            highest = n;
            newest = name;
        }
    }
    return newest;
}

// Runs one statement on the store's newest connection.
inline bool execOnStore(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(newestStoreConnection(), false));
    return q.exec(sql);
}

inline bool createStandardTables(const QString &file, QString *error = nullptr)
{
    return exec(file, standardTables(), error);
}

} // namespace testbank
