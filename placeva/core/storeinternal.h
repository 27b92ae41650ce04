#pragma once
// What the store's parts share inside the core: the errors and their
// messages, the SQLite file's opening, write transaction and identity, and
// the checks of field values. Not for use outside the store.

#include "core/store.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace placeva::store_detail {

// SQLite's primary result codes that decide how a failure is reported.
enum SqliteCode {
    SqlitePerm = 3,
    SqliteBusy = 5,
    SqliteLocked = 6,
    SqliteReadOnly = 8,
    SqliteCorrupt = 11,
    SqliteFull = 13,
    SqliteCantOpen = 14,
    SqliteNotADb = 26,
};

// The store's errors, each with its message for the user (storeerrors.cpp).
StoreError makeError(StoreErrorKind kind, const QString &message, const QString &detail = {});
QString shown(const QString &path);
// A table's, column's or the engine's own word set off in Persian text.
QString shownName(const QString &name);
StoreError closedError();
StoreError noCurrentError(const QString &path, const QString &table);
StoreError missingColumnError(const QString &path, const QString &table, const QString &column);
StoreError notReadError(const QString &path, const QString &table, const QString &column);
StoreError rowGoneError(const QString &path, const QString &table);
StoreError rowChangedError(const QString &path, const QString &table);
StoreError rowDeletedError(const QString &path, const QString &table);
StoreError replacedError(const QString &path);
StoreError noRowIdsError(const QString &path, const QString &table);
StoreError sqlError(const QSqlError &error, const QString &path, const QString &table, bool writing);

// The SQLite file (sqlitefile.cpp).
QString quoted(const QString &identifier);
MaybeError openExisting(QSqlDatabase &db, const QString &path, const QString &table, int busyTimeout,
                        bool writing);
MaybeError readTableColumns(const QSqlDatabase &db, const QString &path, const QString &table,
                            QStringList *out);
std::optional<QString> findColumn(const QStringList &tableColumns, const QString &name);
QString connectionName();

// An explicit transaction that rolls back unless committed, so that a write
// that fails half-way leaves the file as it was.
class WriteTransaction
{
public:
    explicit WriteTransaction(const QSqlDatabase &db) : m_db(db) { }
    ~WriteTransaction()
    {
        if (m_open) {
            QSqlQuery q(m_db);
            q.exec(QStringLiteral("ROLLBACK"));
        }
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    // IMMEDIATE takes the write lock at once, so a lock held elsewhere is met
    // before anything is written.
    bool begin(QSqlError *error)
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            *error = q.lastError();
            return false;
        }
        m_open = true;
        return true;
    }

    bool commit(QSqlError *error)
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("COMMIT"))) {
            *error = q.lastError();
            return false;
        }
        m_open = false;
        return true;
    }

private:
    QSqlDatabase m_db;
    bool m_open = false;
};

// Which file a path names: device and inode. Unknown where the system does
// not tell, and then every check passes.
struct FileIdentity
{
    bool known = false;
    quint64 device = 0;
    quint64 inode = 0;

    static FileIdentity of(const QString &path)
    {
        FileIdentity id;
#ifdef Q_OS_UNIX
        struct stat st
        { };
        if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
            id.known = true;
            id.device = quint64(st.st_dev);
            id.inode = quint64(st.st_ino);
        }
#else
        Q_UNUSED(path);
#endif
        return id;
    }
};

// Field values (fieldvalues.cpp).
bool mayBeUndecodable(const QVariant &v);
bool isWholeInDoubleRange(double v);

} // namespace placeva::store_detail
