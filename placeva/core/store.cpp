#include "core/store.h"

#include "core/datalocation.h"
#include "core/outputcheck.h"

#include "bidi.h"
#include "numbers.h"

#include <QHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

namespace {

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

QString shown(const QString &path)
{
    return common::isolatedPath(path); // in its own order inside Persian text
}

StoreError makeError(StoreErrorKind kind, const QString &message, const QString &detail = {})
{
    return StoreError{kind, message, detail};
}

StoreError closedError()
{
    return makeError(StoreErrorKind::NoCurrentRecord, QStringLiteral("هيچ جدولي باز نيست."));
}

StoreError noCurrentError(const QString &path, const QString &table)
{
    return makeError(
        StoreErrorKind::NoCurrentRecord,
        QStringLiteral("در جدول «%2» از پرونده «%1» رکورد جاري وجود ندارد.").arg(shown(path), table));
}

StoreError missingColumnError(const QString &path, const QString &table, const QString &column)
{
    return makeError(
        StoreErrorKind::MissingColumn,
        QStringLiteral("ستون «%3» در جدول «%2» از پرونده «%1» نيست.").arg(shown(path), table, column));
}

StoreError notReadError(const QString &path, const QString &table, const QString &column)
{
    return makeError(StoreErrorKind::MissingColumn,
                     QStringLiteral("ستون «%3» از جدول «%2» در پرونده «%1» خوانده نشده است.")
                         .arg(shown(path), table, column));
}

StoreError rowGoneError(const QString &path, const QString &table)
{
    return makeError(StoreErrorKind::RowGone,
                     QStringLiteral("رکورد جدول «%2» در پرونده «%1» پس از خواندن تغيير کرده يا پاک شده است؛ "
                                    "جدول را دوباره بخوانيد.")
                         .arg(shown(path), table));
}

StoreError rowChangedError(const QString &path, const QString &table)
{
    return makeError(
        StoreErrorKind::RowGone,
        QStringLiteral("رکورد جدول «%2» در پرونده «%1» پس از خواندن در جاي ديگري (برنامه ديگر يا "
                       "پنجره ديگر) تغيير کرده است؛ نوشته نشد تا آن تغيير از دست نرود.")
            .arg(shown(path), table));
}

StoreError rowDeletedError(const QString &path, const QString &table)
{
    return makeError(
        StoreErrorKind::RowGone,
        QStringLiteral("رکورد جدول «%2» در پرونده «%1» پس از خواندن در جاي ديگري (برنامه ديگر يا "
                       "پنجره ديگر) پاک شده است.")
            .arg(shown(path), table));
}

StoreError replacedError(const QString &path)
{
    return makeError(StoreErrorKind::Replaced,
                     QStringLiteral("پرونده «%1» پس از باز شدن پاک يا با پرونده ديگري جايگزين شده است؛ "
                                    "چيزي در آن نوشته نشد.")
                         .arg(shown(path)));
}

StoreError noRowIdsError(const QString &path, const QString &table)
{
    return makeError(StoreErrorKind::NoRowIds,
                     QStringLiteral("جدول «%2» در پرونده «%1» شناسه رديف (rowid) ندارد، چون با WITHOUT ROWID "
                                    "ساخته شده است؛ رکوردهاي آن از هم باز شناخته نمي شوند. جدول را بدون "
                                    "WITHOUT ROWID بسازيد.")
                         .arg(shown(path), table));
}

// Turns a database failure into the report the user sees. The engine's own
// code decides the kind; its text goes along as the detail.
StoreError sqlError(const QSqlError &error, const QString &path, const QString &table, bool writing)
{
    const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    const QString file = shown(path);
    switch (ok ? code : -1) {
    case SqliteBusy:
    case SqliteLocked:
        return makeError(
            StoreErrorKind::Locked,
            QStringLiteral("پرونده «%1» در دست برنامه ديگري قفل است؛ کمي بعد دوباره امتحان کنيد.").arg(file),
            detail);
    case SqlitePerm:
    case SqliteReadOnly:
        return makeError(
            StoreErrorKind::ReadOnly,
            QStringLiteral("نوشتن در پرونده «%1» ممکن نيست، چون پرونده يا پوشه آن فقط خواندني است.")
                .arg(file),
            detail);
    case SqliteCantOpen:
        if (writing)
            return makeError(
                StoreErrorKind::ReadOnly,
                QStringLiteral("نوشتن در پرونده «%1» ممکن نيست، چون پرونده يا پوشه آن فقط خواندني است.")
                    .arg(file),
                detail);
        return makeError(StoreErrorKind::Failed, QStringLiteral("پرونده «%1» باز نشد: %2").arg(file, detail),
                         detail);
    case SqliteFull:
        return makeError(
            StoreErrorKind::DiskFull,
            QStringLiteral("براي نوشتن در پرونده «%1» جا نمانده است (ديسک پر است)؛ چيزي نوشته نشد.")
                .arg(file),
            detail);
    case SqliteCorrupt:
    case SqliteNotADb:
        return makeError(StoreErrorKind::NotDatabase,
                         QStringLiteral("پرونده «%1» يک پايگاه داده SQLite نيست يا آسيب ديده است.").arg(file),
                         detail);
    default: break;
    }
    if (writing)
        return makeError(
            StoreErrorKind::Failed,
            QStringLiteral("نوشتن در جدول «%2» از پرونده «%1» انجام نشد: %3").arg(file, table, detail),
            detail);
    return makeError(StoreErrorKind::Failed,
                     QStringLiteral("خواندن جدول «%2» از پرونده «%1» انجام نشد: %3").arg(file, table, detail),
                     detail);
}

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
                         QStringLiteral("جدول «%2» در پرونده «%1» نيست.").arg(shown(path), table));
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

// A text cell the driver decoded with replacement characters may hold bytes
// that are not UTF-8; only its bytes tell whether it is unchanged.
bool mayBeUndecodable(const QVariant &v)
{
    return v.typeId() == QMetaType::QString && v.toString().contains(QChar::ReplacementCharacter);
}

bool isWholeInDoubleRange(double v)
{
    constexpr double limit = 9007199254740992.0; // 2^53: every whole double below is exact
    return std::isfinite(v) && v == std::trunc(v) && std::fabs(v) <= limit;
}

} // namespace

// ---------------------------------------------------------------------------
// Field conversions

FieldKind fieldKind(const QString &field)
{
    return isNumberField(field) ? FieldKind::Number : FieldKind::Text;
}

Converted valueFromText(const QString &field, const QString &text)
{
    if (fieldKind(field) == FieldKind::Text)
        return {QVariant(text), std::nullopt};
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {QVariant(), std::nullopt};
    double number = 0;
    try {
        number = common::strictNumber(trimmed);
    } catch (const common::NumberError &) {
        return {QVariant(),
                makeError(StoreErrorKind::Refused,
                          QStringLiteral("«%2» براي ستون «%1» عدد نيست.")
                              .arg(cutForMessage(field), cutForMessage(text)))};
    }
    if (isWholeInDoubleRange(number))
        return {QVariant(static_cast<qint64>(number)), std::nullopt};
    return {QVariant(number), std::nullopt};
}

QString textForBox(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return common::shortestText(value.toDouble());
    case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
    default: return value.toString();
    }
}

// ---------------------------------------------------------------------------
// Recordset

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
    MaybeError selectRow(const QSqlDatabase &db, qint64 id, QList<QVariant> *out, bool writing) const;
    MaybeError readRawText(const QSqlDatabase &db, qint64 id, const QVariant *row, RawCells *out,
                           bool writing) const;
    MaybeError checkWritable(const QSqlDatabase &db, int row) const;
    MaybeError beginWrite(const QSqlDatabase &db, WriteTransaction *transaction) const;

    MaybeError store();
    MaybeError settle();
    MaybeError removeCurrent();
};

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
                QStringLiteral("راه انداز QSQLITE براي خواندن پرونده «%1» پيدا نشد.").arg(shown(path)));
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
                    return makeError(StoreErrorKind::MissingColumn,
                                     QStringLiteral("جدول «%2» در پرونده «%1» ستوني در جايگاه %3 ندارد.")
                                         .arg(shown(path), table, QString::number(column.position)));
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
            QStringLiteral("جدول «%2» در پرونده «%1» شناسه رديف (rowid) ندارد.").arg(shown(path), table));
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
    if (auto error = load())
        return error;
    pos = count() > 0 ? 0 : -1;
    return std::nullopt;
}

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

    // Sizing the arrays up front keeps the read loop free of reallocations.
    if (query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table))) && query.next()) {
        const qsizetype expected = query.value(0).toLongLong();
        rowIds.reserve(expected);
        values.reserve(expected * fields.size());
    }
    query.finish();

    QStringList columnList;
    columnList.reserve(fields.size());
    for (const QString &field : fields)
        columnList.append(quoted(field));
    const QString sql = QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1")
                            .arg(rowIdName, columnList.join(QLatin1String(", ")), quoted(table));
    if (!query.exec(sql))
        return sqlError(query.lastError(), path, table, false);
    const int n = int(fields.size());
    QList<int> undecodable; // rows to read the bytes of
    while (query.next()) {
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
    for (int row : std::as_const(undecodable)) {
        RawCells cells;
        if (auto error = readRawText(database, rowIds.at(row), &stored(row, 0), &cells, false))
            return error;
        rawText.insert(rowIds.at(row), cells);
    }
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
                                 .arg(shown(path), table, QStringLiteral("rowid")));
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

MaybeError Recordset::moveFirst()
{
    if (!d->isOpen())
        return closedError();
    if (auto error = d->settle())
        return error;
    d->gap = false;
    d->pos = d->count() > 0 ? 0 : -1;
    return std::nullopt;
}

MaybeError Recordset::moveLast()
{
    if (!d->isOpen())
        return closedError();
    if (auto error = d->settle())
        return error;
    d->gap = false;
    d->pos = d->count() - 1;
    return std::nullopt;
}

MaybeError Recordset::moveNext()
{
    if (!d->isOpen())
        return closedError();
    if (auto error = d->settle())
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
    if (!d->isOpen())
        return closedError();
    if (auto error = d->settle())
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

// ---------------------------------------------------------------------------
// DataControl

DataControl::DataControl() = default;
DataControl::~DataControl() = default;

QString DataControl::connectionStringFor(const QString &folder)
{
    QString path = bankFilePath(folder);
    const bool needsQuotes = path.contains(QLatin1Char(';')) || path.startsWith(QLatin1Char('"'))
        || path.startsWith(QLatin1Char('\'')) || path != path.trimmed();
    if (needsQuotes)
        path = QLatin1Char('"') + path.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    return QStringLiteral("Data Source=") + path;
}

std::optional<QString> DataControl::dataSource(const QString &connectionString)
{
    const QString &s = connectionString;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype keyStart = i;
        while (i < n && s.at(i) != QLatin1Char('=') && s.at(i) != QLatin1Char(';'))
            ++i;
        const QString key = s.mid(keyStart, i - keyStart).simplified();
        if (i >= n || s.at(i) == QLatin1Char(';')) { // a part without "=": skip it
            ++i;
            continue;
        }
        ++i; // past '='
        while (i < n && s.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && (s.at(i) == QLatin1Char('"') || s.at(i) == QLatin1Char('\''))) {
            const QChar quote = s.at(i++);
            while (i < n) {
                if (s.at(i) == quote) {
                    if (i + 1 < n && s.at(i + 1) == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s.at(i++);
            }
            while (i < n && s.at(i) != QLatin1Char(';'))
                ++i;
        } else {
            const qsizetype valueStart = i;
            while (i < n && s.at(i) != QLatin1Char(';'))
                ++i;
            value = s.mid(valueStart, i - valueStart).trimmed();
        }
        ++i; // past ';'
        if (key.compare(QLatin1String("data source"), Qt::CaseInsensitive) == 0)
            return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
    }
    return std::nullopt;
}

void DataControl::setConnectionString(const QString &text)
{
    m_connectionString = text;
}
QString DataControl::connectionString() const
{
    return m_connectionString;
}
void DataControl::setCommandType(int type)
{
    m_commandType = type;
}
int DataControl::commandType() const
{
    return m_commandType;
}
void DataControl::setRecordSource(const QString &table)
{
    m_recordSource = table;
}
QString DataControl::recordSource() const
{
    return m_recordSource;
}
void DataControl::setColumns(const QList<ColumnRef> &columns)
{
    m_columns = columns;
}
QList<ColumnRef> DataControl::columns() const
{
    return m_columns;
}
void DataControl::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = std::max(0, milliseconds);
}
int DataControl::busyTimeout() const
{
    return m_busyTimeout;
}
Recordset *DataControl::recordset()
{
    return &m_recordset;
}
const Recordset *DataControl::recordset() const
{
    return &m_recordset;
}

MaybeError DataControl::refresh()
{
    const std::optional<QString> source = dataSource(m_connectionString);
    if (!source)
        return makeError(
            StoreErrorKind::BadConnection,
            QStringLiteral("در متن اتصال «%1» نام پرونده (Data Source) نيامده است.").arg(m_connectionString));
    if (m_commandType != CommandTable)
        return makeError(StoreErrorKind::BadConnection,
                         QStringLiteral("نوع فرمان %1 پذيرفته نيست؛ منبع داده بايد نام يک جدول باشد (نوع 2).")
                             .arg(m_commandType));
    if (m_recordSource.isEmpty())
        return makeError(StoreErrorKind::BadConnection, QStringLiteral("منبع داده (نام جدول) خالي است."));

    const QFileInfo info(*source);
    const QString path = info.absoluteFilePath();
    if (!info.exists())
        return makeError(StoreErrorKind::MissingFile,
                         QStringLiteral("پرونده پايگاه داده «%1» پيدا نشد.").arg(shown(path)));
    if (!info.isFile())
        return makeError(StoreErrorKind::MissingFile,
                         QStringLiteral("«%1» يک پرونده معمولي نيست.").arg(shown(path)));

    auto fresh = std::make_unique<Recordset::Impl>();
    if (auto error = fresh->open(path, m_recordSource, m_columns, m_busyTimeout))
        return error; // the old snapshot stays; fresh closes its connection
    m_recordset.d = std::move(fresh);
    return std::nullopt;
}

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
