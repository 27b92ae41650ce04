#include "bidi.h"
#include "core/datalocation.h"
#include "core/outputcheck.h"
#include "core/recordsetimpl.h"
#include "core/sqlitecell.h"
#include "numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <sqlite3.h>
#include <exception>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace placeva {

using namespace store_detail;

MaybeError Recordset::Impl::open(const QString &filePath, const QString &tableName,
                                 const QList<ColumnRef> &columns, int busyTimeout)
{
    path = filePath;
    table = tableName;
    opened = FileIdentity::of(path);
    const QString name = connectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection = name; // from here on the destructor removes it
        if (!db.isValid())
            return makeError(
                StoreErrorKind::Failed,
                QStringLiteral(
                    "راه انداز ⁨QSQLITE⁩ براي خواندن پرونده «%1» پيدا "
                    "نشد.")
                    .arg(shown(path)));
        if (auto error = openExisting(db, path, table, busyTimeout, false))
            return error;
        // Opening is lazy; the first read tells whether this is a database.
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA schema_version")) || !check.next())
            return sqlError(check.lastError(), path, table, false);
    }

    QStringList tableColumns;
    if (auto error = readTableColumns(db(), path, table, &tableColumns))
        return error;

    if (columns.isEmpty()) {
        fields = tableColumns;
    } else {
        for (const ColumnRef &column : columns) {
            if (column.position >= 0) {
                if (column.position >= tableColumns.size())
                    return makeError(
                        StoreErrorKind::MissingColumn,
                        QStringLiteral("جدول «%2» در پرونده «%1» ستوني در جايگاه %3 ندارد.")
                            .arg(shown(path), shownName(table), QString::number(column.position)));
                fields.append(tableColumns.at(column.position));
                continue;
            }
            const std::optional<QString> found = findColumn(tableColumns, column.name);
            if (!found)
                return missingColumnError(path, table, column.name);
            fields.append(*found);
        }
    }

    // A table may have a column named rowid; SQLite then still knows the row
    // identity under one of its other names.
    for (const char *alias : {"rowid", "_rowid_", "oid"}) {
        const QString candidate = QLatin1String(alias);
        if (!tableColumns.contains(candidate, Qt::CaseInsensitive)) {
            rowIdName = candidate;
            break;
        }
    }
    if (rowIdName.isEmpty())
        return makeError(
            StoreErrorKind::NoRowIds,
            QStringLiteral(
                "جدول «%2» در پرونده «%1» شناسه رديف (⁨rowid⁩) ندارد.")
                .arg(shown(path), shownName(table)));
    {
        // A table made WITHOUT ROWID has no rowid under any name.
        QSqlQuery probe(db());
        if (!probe.exec(QStringLiteral("SELECT %1 FROM %2 LIMIT 0").arg(rowIdName, quoted(table)))) {
            if (probe.lastError().nativeErrorCode().toInt() == 1) // SQLITE_ERROR: no such column
                return noRowIdsError(path, table);
            return sqlError(probe.lastError(), path, table, false);
        }
    }

    clearBuffer();
    if (fieldsOnly)
        return std::nullopt;
    if (auto error = load())
        return error;
    pos = count() > 0 ? 0 : -1;
    return std::nullopt;
}

namespace {

// A select straight through SQLite on the connection's own handle: Qt's
// query makes and caches a value for every cell through several layers,
// which costs several times SQLite's own reading. The cells are made as Qt's
// SQLite driver makes them (NULL a null text, a whole number a 64-bit
// integer, a real a double, a text through SQLite's UTF-16 conversion, a blob
// its bytes) and a failure is reported in its words. Where the handle or the
// statement cannot be had, the caller reads through Qt.
struct DirectSelect
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;

    DirectSelect(const QSqlDatabase &database, const QString &sql)
    {
        const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        db = *static_cast<sqlite3 *const *>(handle.constData());
        if (!db
            || sqlite3_prepare16_v2(db, sql.utf16(), int(sql.size() * sizeof(QChar)), &st, nullptr) != SQLITE_OK)
            finish();
    }
    ~DirectSelect() { finish(); }
    DirectSelect(const DirectSelect &) = delete;
    DirectSelect &operator=(const DirectSelect &) = delete;

    bool ready() const { return st != nullptr; }
    int step() { return sqlite3_step(st); }
    void finish()
    {
        sqlite3_finalize(st);
        st = nullptr;
    }

    QVariant cell(int i) const { return sqliteCell(st, i); }

    QSqlError failure() const
    {
        const int code = sqlite3_reset(st);
        return QSqlError(QCoreApplication::translate("QSQLiteResult", "Unable to fetch row"),
                         QString(static_cast<const QChar *>(sqlite3_errmsg16(db))), QSqlError::ConnectionError,
                         QString::number(code));
    }
};

} // namespace

MaybeError Recordset::Impl::load()
{
    const QSqlDatabase database = db();
    // One read transaction: the bytes read after the rows are those rows' bytes.
    struct ReadTransaction
    {
        QSqlDatabase db;
        bool open = QSqlQuery(db).exec(QStringLiteral("BEGIN"));
        ~ReadTransaction()
        {
            if (open)
                QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        }
    } reading{database};
    QSqlQuery query(database);
    query.setForwardOnly(true);

    // Sizing the arrays up front keeps the read loop free of reallocations;
    // rows handed on one by one are not kept.
    if (!each && !eachStored && query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table))) && query.next()) {
        const qsizetype expected = query.value(0).toLongLong();
        rowIds.reserve(expected);
        values.reserve(expected * fields.size());
    }
    query.finish();

    QStringList columnList;
    columnList.reserve(fields.size());
    for (const QString &field : fields)
        columnList.append(quoted(field));
    if (eachStored)
        return loadStored(database, columnList.join(QLatin1String(", ")), reading.open);
    const QString sql = QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1")
                            .arg(rowIdName, columnList.join(QLatin1String(", ")), quoted(table));
    const int n = int(fields.size());
    QList<int> undecodable; // rows to read the bytes of
    DirectSelect direct(database, sql);
    if (direct.ready() && each) {
        QList<QVariant> row(n);
        int rc;
        while ((rc = direct.step()) == SQLITE_ROW) {
            for (int i = 1; i <= n; ++i)
                row[i - 1] = direct.cell(i);
            each(row.constData(), n);
        }
        if (rc != SQLITE_DONE)
            return sqlError(direct.failure(), path, table, false);
    } else if (direct.ready()) {
        int rc;
        while ((rc = direct.step()) == SQLITE_ROW) {
            rowIds.append(sqlite3_column_int64(direct.st, 0));
            bool raw = false;
            for (int i = 1; i <= n; ++i) {
                values.append(direct.cell(i));
                raw = raw || mayBeUndecodable(values.constLast());
            }
            if (raw)
                undecodable.append(count() - 1);
        }
        if (rc != SQLITE_DONE)
            return sqlError(direct.failure(), path, table, false);
    } else {
        if (!query.exec(sql))
            return sqlError(query.lastError(), path, table, false);
        QList<QVariant> row(each ? n : 0);
        while (query.next()) {
            if (each) {
                for (int i = 1; i <= n; ++i)
                    row[i - 1] = query.value(i);
                each(row.constData(), n);
                continue;
            }
            rowIds.append(query.value(0).toLongLong());
            bool raw = false;
            for (int i = 1; i <= n; ++i) {
                values.append(query.value(i));
                raw = raw || mayBeUndecodable(values.constLast());
            }
            if (raw)
                undecodable.append(count() - 1);
        }
        if (query.lastError().isValid())
            return sqlError(query.lastError(), path, table, false);
        query.finish();
    }
    direct.finish(); // a statement still open would block COMMIT
    for (int row : std::as_const(undecodable)) {
        RawCells cells;
        if (auto error = readRawText(database, rowIds.at(row), &stored(row, 0), &cells, false))
            return error;
        rawText.insert(rowIds.at(row), cells);
    }
    return std::nullopt;
}

namespace {

// The later part of a table read side by side with the earlier one: a
// read-only connection of its own, its statement's first step taken on the
// calling thread (so that its read began before the thread starts), the rest
// stepped on a thread of its own.
class LaterPart
{
public:
    LaterPart(const QString &path, const QByteArray &sql, qint64 after)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
                != SQLITE_OK
            || sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_st, nullptr) != SQLITE_OK
            || sqlite3_bind_int64(m_st, 1, after) != SQLITE_OK)
            return;
        m_rc = sqlite3_step(m_st); // no waiting for a lock: a writer waiting for ours would wait for it
    }
    ~LaterPart()
    {
        if (m_thread.joinable())
            m_thread.join();
        sqlite3_finalize(m_st);
        sqlite3_close(m_db);
    }
    LaterPart(const LaterPart &) = delete;
    LaterPart &operator=(const LaterPart &) = delete;

    bool started() const { return m_rc == SQLITE_ROW || m_rc == SQLITE_DONE; }

    void start(int n, bool utf8, const std::function<void(int, const StoredCell *, int)> &row)
    {
        m_thread = std::thread([this, n, utf8, &row] {
            try {
                QList<StoredCell> cells(n);
                while (m_rc == SQLITE_ROW) {
                    for (int i = 1; i <= n; ++i)
                        storedCell(m_st, i, utf8, cells[i - 1]);
                    row(1, cells.constData(), n);
                    m_rc = sqlite3_step(m_st);
                }
            } catch (...) {
                m_failure = std::current_exception();
            }
        });
    }

    // Once every row is read: rethrows what the thread threw; SQLite's
    // failure in the words of Qt's driver, or none.
    std::optional<QSqlError> finish()
    {
        m_thread.join();
        if (m_failure)
            std::rethrow_exception(m_failure);
        if (m_rc == SQLITE_DONE)
            return std::nullopt;
        const int code = sqlite3_reset(m_st);
        return QSqlError(QCoreApplication::translate("QSQLiteResult", "Unable to fetch row"),
                         QString(static_cast<const QChar *>(sqlite3_errmsg16(m_db))), QSqlError::ConnectionError,
                         QString::number(code));
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_st = nullptr;
    int m_rc = SQLITE_ERROR;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

// Where a table of at least this span of row ids is read in two parts.
constexpr qint64 kSplitSpan = 8192;

} // namespace

MaybeError Recordset::Impl::loadStored(const QSqlDatabase &database, const QString &columnList, bool inTransaction)
{
    const int n = int(fields.size());
    // The rows in stored order, or those of one part.
    const auto select = [&](const QString &where) {
        return QStringLiteral("SELECT ") + rowIdName + QStringLiteral(", ") + columnList + QStringLiteral(" FROM ")
            + quoted(table) + where + QStringLiteral(" ORDER BY ") + rowIdName;
    };
    const QString sql = select(QString());
    bool utf8 = false;
    bool wal = true;
    {
        QSqlQuery pragma(database);
        utf8 = pragma.exec(QStringLiteral("PRAGMA encoding")) && pragma.next()
            && pragma.value(0).toString() == QLatin1String("UTF-8");
        wal = !pragma.exec(QStringLiteral("PRAGMA journal_mode")) || !pragma.next()
            || pragma.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    }
    QList<StoredCell> row(n);

    // A large table in two parts, each read and handed on by a thread of its
    // own. Both must read the same file: this connection's read transaction
    // holds its shared lock from the span's query on, so no writer commits
    // until both parts are read (not so in WAL mode, where a writer commits
    // beside readers: read in one part there).
    if (inTransaction && !wal) {
        // Each bound by a query of its own: SQLite finds a lone min() or max()
        // of the row id at the end of the table, but scans it for both.
        const QString from = QStringLiteral(" FROM ") + quoted(table) + QLatin1Char(')');
        DirectSelect span(database, QStringLiteral("SELECT (SELECT min(") + rowIdName + QLatin1Char(')') + from
                              + QStringLiteral(", (SELECT max(") + rowIdName + QLatin1Char(')') + from);
        if (span.ready() && span.step() == SQLITE_ROW && sqlite3_column_type(span.st, 0) == SQLITE_INTEGER) {
            const qint64 first = sqlite3_column_int64(span.st, 0);
            const qint64 last = sqlite3_column_int64(span.st, 1);
            const quint64 width = quint64(last) - quint64(first);
            span.finish();
            if (width >= quint64(kSplitSpan)) {
                const qint64 middle = qint64(quint64(first) + width / 2);
                // The earlier part stops at the middle itself: SQLite's test of
                // an upper bound costs more than the row id's own comparison.
                DirectSelect earlier(database, sql);
                LaterPart later(path, select(QStringLiteral(" WHERE ") + rowIdName + QStringLiteral(" > ?")).toUtf8(),
                                middle);
                // The later connection opened the file by its path: still the
                // one this connection opened, not one put in its place since.
                const FileIdentity now = FileIdentity::of(path);
                const bool sameFile = opened.known && now.known && now.device == opened.device
                    && now.inode == opened.inode;
                if (earlier.ready() && later.started() && sameFile) {
                    later.start(n, utf8, eachStored);
                    int rc;
                    while ((rc = earlier.step()) == SQLITE_ROW && sqlite3_column_int64(earlier.st, 0) <= middle) {
                        for (int i = 1; i <= n; ++i)
                            storedCell(earlier.st, i, utf8, row[i - 1]);
                        eachStored(0, row.constData(), n);
                    }
                    const std::optional<QSqlError> laterFailed = later.finish();
                    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
                        return sqlError(earlier.failure(), path, table, false);
                    if (laterFailed)
                        return sqlError(*laterFailed, path, table, false);
                    return std::nullopt;
                }
            }
        }
    }

    DirectSelect direct(database, sql);
    if (direct.ready()) {
        int rc;
        while ((rc = direct.step()) == SQLITE_ROW) {
            for (int i = 1; i <= n; ++i)
                storedCell(direct.st, i, utf8, row[i - 1]);
            eachStored(0, row.constData(), n);
        }
        if (rc != SQLITE_DONE)
            return sqlError(direct.failure(), path, table, false);
        return std::nullopt;
    }
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return sqlError(query.lastError(), path, table, false);
    while (query.next()) {
        for (int i = 1; i <= n; ++i) {
            row[i - 1].kind = StoredCell::Other;
            row[i - 1].other = query.value(i);
        }
        eachStored(0, row.constData(), n);
    }
    if (query.lastError().isValid())
        return sqlError(query.lastError(), path, table, false);
    return std::nullopt;
}

MaybeError Recordset::Impl::selectRow(const QSqlDatabase &database, qint64 id, QList<QVariant> *out,
                                      bool writing) const
{
    QStringList columnList;
    for (const QString &field : fields)
        columnList.append(quoted(field));
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                      .arg(columnList.join(QLatin1String(", ")), quoted(table), rowIdName));
    query.addBindValue(id);
    if (!query.exec())
        return sqlError(query.lastError(), path, table, writing);
    if (!query.next()) {
        if (query.lastError().isValid())
            return sqlError(query.lastError(), path, table, writing);
        return rowGoneError(path, table);
    }
    out->clear();
    for (int i = 0; i < fields.size(); ++i)
        out->append(query.value(i));
    query.finish(); // a statement still running would block COMMIT
    return std::nullopt;
}

MaybeError Recordset::Impl::readRawText(const QSqlDatabase &database, qint64 id, const QVariant *row,
                                        RawCells *out, bool writing) const
{
    out->clear();
    for (int i = 0; i < fields.size(); ++i) {
        if (!mayBeUndecodable(row[i]))
            continue;
        QSqlQuery query(database);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT CAST(%1 AS BLOB) FROM %2 WHERE %3 = ?")
                          .arg(quoted(fields.at(i)), quoted(table), rowIdName));
        query.addBindValue(id);
        if (!query.exec() || !query.next())
            return query.lastError().isValid() ? sqlError(query.lastError(), path, table, writing)
                                               : rowGoneError(path, table);
        out->insert(i, query.value(0).toByteArray());
    }
    return std::nullopt;
}

// The row must still hold what was read, compared as the file stores it, so
// that a row another program changed, or whose rowid it reused, is never
// overwritten or removed, while a row nobody touched always passes, whatever
// its bytes or numbers look like as text.
Recordset::Recordset() : d(std::make_unique<Impl>()) { }
Recordset::~Recordset() = default;

bool Recordset::isOpen() const
{
    return d->isOpen();
}
QString Recordset::filePath() const
{
    return d->path;
}
QString Recordset::tableName() const
{
    return d->table;
}
int Recordset::recordCount() const
{
    return d->count();
}

bool Recordset::isBOF() const
{
    if (!d->isOpen() || (d->count() == 0 && d->pending != Impl::Pending::New))
        return true;
    return d->pending != Impl::Pending::New && !d->gap && d->pos < 0;
}

bool Recordset::isEOF() const
{
    if (!d->isOpen() || (d->count() == 0 && d->pending != Impl::Pending::New))
        return true;
    return d->pending != Impl::Pending::New && !d->gap && d->pos >= d->count();
}

int Recordset::absolutePosition() const
{
    return d->hasCurrent() ? d->pos : -1;
}
qint64 Recordset::rowId() const
{
    return d->hasCurrent() ? d->rowIds.at(d->pos) : -1;
}

// Every move first stores the row being edited, as leaving a row does.
MaybeError Recordset::Impl::openAndSettled()
{
    if (!isOpen())
        return closedError();
    return settle();
}

MaybeError Recordset::moveFirst()
{
    if (auto error = d->openAndSettled())
        return error;
    d->gap = false;
    d->pos = d->count() > 0 ? 0 : -1;
    return std::nullopt;
}

MaybeError Recordset::moveLast()
{
    if (auto error = d->openAndSettled())
        return error;
    d->gap = false;
    d->pos = d->count() - 1;
    return std::nullopt;
}

MaybeError Recordset::moveNext()
{
    if (auto error = d->openAndSettled())
        return error;
    if (d->gap) {
        d->gap = false;
        return std::nullopt;
    }
    if (d->count() == 0 || d->pos >= d->count())
        return noCurrentError(d->path, d->table);
    ++d->pos;
    return std::nullopt;
}

MaybeError Recordset::movePrevious()
{
    if (auto error = d->openAndSettled())
        return error;
    if (d->gap) {
        d->gap = false;
        --d->pos;
        return std::nullopt;
    }
    if (d->count() == 0 || d->pos < 0)
        return noCurrentError(d->path, d->table);
    --d->pos;
    return std::nullopt;
}

int Recordset::fieldCount() const
{
    return int(d->fields.size());
}

QString Recordset::fieldName(int index) const
{
    return index >= 0 && index < d->fields.size() ? d->fields.at(index) : QString();
}

int Recordset::fieldIndex(const QString &name) const
{
    for (int i = 0; i < d->fields.size(); ++i) {
        if (d->fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant Recordset::value(int index) const
{
    if (index < 0 || index >= d->fields.size())
        return QVariant();
    if (d->pending != Impl::Pending::None && d->bufferSet.at(index))
        return d->buffer.at(index);
    return storedValue(index);
}

QVariant Recordset::value(const QString &field) const
{
    return value(fieldIndex(field));
}

QVariant Recordset::storedValue(int index) const
{
    if (index < 0 || index >= d->fields.size() || !d->hasCurrent())
        return QVariant();
    return d->stored(d->pos, index);
}

QVariant Recordset::storedValue(const QString &field) const
{
    return storedValue(fieldIndex(field));
}

bool Recordset::isPending() const
{
    return d->pending != Impl::Pending::None;
}
bool Recordset::isNew() const
{
    return d->pending == Impl::Pending::New;
}
bool Recordset::isDirty() const
{
    return d->pending != Impl::Pending::None && d->dirty();
}

MaybeError Recordset::setPendingValue(int index, const QVariant &value)
{
    if (!d->isOpen())
        return closedError();
    if (index < 0 || index >= d->fields.size())
        return notReadError(d->path, d->table, QString::number(index));
    if (d->pending == Impl::Pending::None) {
        if (!d->hasCurrent())
            return noCurrentError(d->path, d->table);
        d->pending = Impl::Pending::Edit;
    }
    d->buffer[index] = value;
    d->bufferSet[index] = true;
    return std::nullopt;
}

MaybeError Recordset::setPendingValue(const QString &field, const QVariant &value)
{
    if (!d->isOpen())
        return closedError();
    const int index = fieldIndex(field);
    if (index < 0)
        return notReadError(d->path, d->table, field);
    return setPendingValue(index, value);
}

MaybeError Recordset::setPendingText(const QString &field, const QString &text)
{
    if (!d->isOpen())
        return closedError();
    const int index = fieldIndex(field);
    if (index < 0)
        return notReadError(d->path, d->table, field);
    Converted converted = valueFromText(d->fields.at(index), text);
    if (converted.error)
        return converted.error;
    return setPendingValue(index, converted.value);
}

MaybeError Recordset::addNew()
{
    if (!d->isOpen())
        return closedError();
    if (d->pending == Impl::Pending::New && !d->dirty())
        return std::nullopt; // already on an empty new row
    if (auto error = d->settle())
        return error;
    d->posBeforeNew = d->pos;
    d->gapBeforeNew = d->gap;
    d->clearBuffer();
    d->pending = Impl::Pending::New;
    return std::nullopt;
}

MaybeError Recordset::update()
{
    if (!d->isOpen())
        return closedError();
    if (d->pending == Impl::Pending::None)
        return d->hasCurrent() ? std::nullopt : MaybeError(noCurrentError(d->path, d->table));
    return d->store();
}

MaybeError Recordset::deleteCurrent()
{
    if (!d->isOpen())
        return closedError();
    if (d->pending == Impl::Pending::New) {
        cancel();
        return std::nullopt;
    }
    if (!d->onStoredRow())
        return noCurrentError(d->path, d->table);
    return d->removeCurrent();
}

void Recordset::cancel()
{
    if (d->pending == Impl::Pending::New) {
        d->pos = d->posBeforeNew;
        d->gap = d->gapBeforeNew;
    }
    d->clearBuffer();
}

} // namespace placeva
