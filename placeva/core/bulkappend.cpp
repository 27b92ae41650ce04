#include "bidi.h"
#include "core/datalocation.h"
#include "core/outputcheck.h"
#include "core/storeinternal.h"
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
#include <QStringEncoder>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

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

// The insert straight through SQLite on the connection's own handle, inside
// its transaction: Qt's binding by position makes a parameter name for every
// value, which costs more than SQLite's whole insert. Values are bound as Qt's
// SQLite driver binds them (a null text or an invalid value as NULL, a text as
// UTF-16, a number as itself) and failures reported in its words, so the file
// and the messages are the same. A row holding any other kind of value goes
// through Qt.
//
// Rows go kRowsAtOnce to a statement where they can: SQLite inserts the rows
// of one statement one after another as separate statements would (the same
// row ids, triggers and constraints row by row), but starts and ends the
// statement once, which is a third of its work for a row of a dozen values.
class DirectInsert
{
public:
    static constexpr int kRowsAtOnce = 20; // a divisor of the store's 500 rows between questions

    DirectInsert(const QSqlDatabase &db, const QString &sql, const QString &valuesList, int columns)
        : m_columns(std::max(columns, 0))
    {
        const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        m_db = *static_cast<sqlite3 *const *>(handle.constData());
        if (!m_db)
            return;
        m_one = prepare(sql, columns);
        if (!m_one)
            return;
        QString many = sql;
        for (int r = 1; r < kRowsAtOnce; ++r)
            many += QLatin1String(", ") + valuesList;
        m_many = prepare(many, columns * kRowsAtOnce); // none where SQLite allows fewer values
        m_utf8.resize(size_t(m_columns) * (m_many ? kRowsAtOnce : 1));
    }
    ~DirectInsert()
    {
        sqlite3_finalize(m_one);
        sqlite3_finalize(m_many);
    }
    DirectInsert(const DirectInsert &) = delete;
    DirectInsert &operator=(const DirectInsert &) = delete;

    bool ready() const { return m_one != nullptr; }
    bool manyAtOnce() const { return m_many != nullptr; }

    // Nothing when the row holds a value bound otherwise: nothing of it is
    // stored then, and it goes through Qt.
    std::optional<std::optional<QSqlError>> insert(const QVariantList &row) { return run(m_one, &row, 1); }
    // kRowsAtOnce rows from `rows`; nothing when one of them holds a value
    // bound otherwise: none of them is stored then.
    std::optional<std::optional<QSqlError>> insertMany(const QVariantList *rows)
    {
        return run(m_many, rows, kRowsAtOnce);
    }

private:
    sqlite3_stmt *prepare(const QString &sql, int parameters) const
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare16_v2(m_db, sql.utf16(), int(sql.size() * sizeof(QChar)), &st, nullptr) != SQLITE_OK
            || sqlite3_bind_parameter_count(st) != parameters) {
            sqlite3_finalize(st);
            return nullptr;
        }
        return st;
    }

    std::optional<std::optional<QSqlError>> run(sqlite3_stmt *st, const QVariantList *rows, int count)
    {
        int rc = SQLITE_OK;
        int at = 1;
        for (int r = 0; r < count && rc == SQLITE_OK; ++r) {
            const QVariantList &row = rows[r];
            for (qsizetype i = 0; i < row.size() && rc == SQLITE_OK; ++i, ++at) {
                const std::optional<int> bound = bind(st, at, row.at(i));
                if (!bound) {
                    sqlite3_clear_bindings(st);
                    return std::nullopt;
                }
                rc = *bound;
            }
        }
        if (rc != SQLITE_OK)
            return failure("Unable to bind parameters", QSqlError::StatementError, rc);
        rc = sqlite3_step(st);
        // Reset at once, so that nothing of it is left open when the
        // transaction ends and the next row starts from a reset statement.
        const int reset = sqlite3_reset(st);
        if (rc == SQLITE_DONE || rc == SQLITE_ROW)
            return std::optional<QSqlError>();
        return failure("Unable to fetch row", QSqlError::ConnectionError, reset);
    }

    // SQLite's result, or nothing for a value it is not given here.
    std::optional<int> bind(sqlite3_stmt *st, int at, const QVariant &v)
    {
        switch (v.typeId()) {
        case QMetaType::Double:
            if (v.isNull())
                break;
            return sqlite3_bind_double(st, at, *static_cast<const double *>(v.constData()));
        case QMetaType::LongLong:
            if (v.isNull())
                break;
            return sqlite3_bind_int64(st, at, *static_cast<const qlonglong *>(v.constData()));
        case QMetaType::Int:
            if (v.isNull())
                break;
            return sqlite3_bind_int(st, at, *static_cast<const int *>(v.constData()));
        case QMetaType::QString: {
            const QString *text = static_cast<const QString *>(v.constData());
            if (v.isNull() || text->isNull())
                break;
            // As UTF-8 into a buffer of the parameter's, kept until the row is
            // stored: SQLite's own conversion allocates for every text. A text
            // with surrogates goes as UTF-16, since the two conversions may
            // differ on a lone one, and so does one that starts with what
            // SQLite takes for a byte-order mark, which it reads as such.
            const bool asUtf16 = text->startsWith(QChar(0xFEFF)) || text->startsWith(QChar(0xFFFE))
                || std::any_of(text->cbegin(), text->cend(), [](QChar c) { return c.isSurrogate(); });
            if (!asUtf16) {
                std::string &utf8 = m_utf8[size_t(at - 1)];
                utf8.resize(size_t(m_encoder.requiredSpace(text->size())));
                char *end = m_encoder.appendToBuffer(utf8.data(), *text);
                return sqlite3_bind_text(st, at, utf8.data(), int(end - utf8.data()), SQLITE_STATIC);
            }
            return sqlite3_bind_text16(st, at, text->unicode(), int(text->size() * sizeof(QChar)),
                                       SQLITE_STATIC);
        }
        case QMetaType::QByteArray:
            if (v.isNull() || static_cast<const QByteArray *>(v.constData())->isNull())
                break;
            return std::nullopt;
        default:
            if (v.isNull())
                break;
            return std::nullopt;
        }
        return sqlite3_bind_null(st, at);
    }
    static QString translated(const char *text) { return QCoreApplication::translate("QSQLiteResult", text); }
    QSqlError failure(const char *what, QSqlError::ErrorType type, int code) const
    {
        return QSqlError(translated(what), QString(static_cast<const QChar *>(sqlite3_errmsg16(m_db))), type,
                         QString::number(code));
    }

    const int m_columns;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_one = nullptr;
    sqlite3_stmt *m_many = nullptr; // kRowsAtOnce rows a statement
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    std::vector<std::string> m_utf8; // by parameter
};

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
                             .arg(shown(path), shownName(table)));
    for (const QVariantList &row : rows) {
        if (row.size() != fields.size())
            return makeError(StoreErrorKind::Failed,
                             QStringLiteral("شمار مقدارهاي يک رديف با شمار ستونهاي جدول «%2» از پرونده «%1» "
                                            "نمي خواند.")
                                 .arg(shown(path), shownName(table)));
    }

    OwnConnection connection;
    {
        QSqlDatabase db = connection.add();
        if (!db.isValid())
            return makeError(
                StoreErrorKind::Failed,
                QStringLiteral(
                    "راه انداز ⁨QSQLITE⁩ براي خواندن پرونده «%1» پيدا "
                    "نشد.")
                    .arg(shown(path)));
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
    const QString valuesList = QLatin1Char('(') + marks.join(QLatin1String(", ")) + QLatin1Char(')');
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                            .arg(quoted(table), names.join(QLatin1String(", ")), valuesList)))
        return sqlError(insert.lastError(), path, table, true);
    const int n = int(names.size());
    // The user may stop at any moment; the transaction then stores nothing.
    const auto stopped = [&] {
        if (cancelled)
            *cancelled = true;
        return makeError(StoreErrorKind::Failed,
                         QStringLiteral("نوشتن در جدول «%2» از پرونده «%1» لغو شد؛ هيچ رديفي افزوده نشد.")
                             .arg(shown(path), shownName(table)));
    };
    constexpr qsizetype kAskEvery = 500;
    static_assert(kAskEvery % DirectInsert::kRowsAtOnce == 0);
    DirectInsert direct(db, insert.lastQuery(), valuesList, n);
    // Rows kRowsAtOnce at a time until a group holds a value bound through
    // Qt; that group, and the rows after the last whole group, one by one.
    qsizetype oneByOneUntil = 0;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (keepGoing && r % kAskEvery == 0 && !keepGoing(r))
            return stopped();
        if (direct.manyAtOnce() && r >= oneByOneUntil && rows.size() - r >= DirectInsert::kRowsAtOnce) {
            if (const auto done = direct.insertMany(rows.constData() + r)) {
                if (*done)
                    return sqlError(**done, path, table, true);
                r += DirectInsert::kRowsAtOnce - 1;
                continue;
            }
            oneByOneUntil = r + DirectInsert::kRowsAtOnce;
        }
        const QVariantList &row = rows.at(r);
        if (direct.ready()) {
            if (const auto done = direct.insert(row)) {
                if (*done)
                    return sqlError(**done, path, table, true);
                continue;
            }
        }
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
