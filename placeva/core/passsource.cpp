#include "core/passsource.h"

#include "core/sqlitecell.h"
#include "core/subjects.h"

#include <QAnyStringView>
#include <QFile>

#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <utility>

namespace placeva {

namespace {

struct Statement
{
    sqlite3_stmt *st = nullptr;
    Statement() = default;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement() { sqlite3_finalize(st); }
    void reset()
    {
        sqlite3_finalize(st);
        st = nullptr;
    }
};

// A cell as sqliteCell reads it, sharing the text of the row read before where it is unchanged:
// a re-read then allocates only for what changed.
QVariant cellLike(sqlite3_stmt *st, int i, const QVariant *before)
{
    if (before && before->typeId() == QMetaType::QString && sqlite3_column_type(st, i) == SQLITE_TEXT) {
        const QString &was = *static_cast<const QString *>(before->constData());
        // The stored bytes first, without SQLite's conversion: where they
        // decode to the same text and that text holds no replacement
        // character, they are valid UTF-8 without the two noncharacters
        // SQLite replaces, which its conversion gives alike.
        const char *bytes = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
        const QUtf8StringView utf8(bytes, sqlite3_column_bytes(st, i));
        if (!was.isNull() && QAnyStringView::equal(was, utf8) && !was.contains(QChar::ReplacementCharacter))
            return *before;
        const void *text = sqlite3_column_text16(st, i);
        const qsizetype length = sqlite3_column_bytes16(st, i) / 2;
        if (!was.isNull() && was.size() == length
            && std::memcmp(was.constData(), text, std::size_t(length) * 2) == 0)
            return *before;
        return QVariant(QString(static_cast<const QChar *>(text), length));
    }
    return sqliteCell(st, i);
}

const QVariant &first(const ApplicantRow &row)
{
    return row.name;
}
const QVariant &first(const ReferenceRow &row)
{
    return row.avg;
}

QByteArray quoted(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return (QLatin1Char('"') + q + QLatin1Char('"')).toUtf8();
}

} // namespace

struct PassSource::Impl
{
    sqlite3 *db = nullptr;
    QString path;
    quint64 device = 0, inode = 0; // the file the connection opened
    quint64 serial = 0;            // connections opened so far: versions of two never compare
    Columns columns;
    qint64 preparedFor = -1; // the layout version the statements were prepared for
    Statement applicants, references;

    ~Impl() { disconnect(); }

    void disconnect()
    {
        applicants.reset();
        references.reset();
        preparedFor = -1;
        sqlite3_close(db);
        db = nullptr;
    }

    // The connection, opened again when the path names another file.
    bool connect(const QString &file, const struct stat &st)
    {
        if (db && file == path && device == quint64(st.st_dev) && inode == quint64(st.st_ino))
            return true;
        disconnect();
        // Read-only and without waiting: a lock, like any failure, sends the
        // caller to the record sets, which wait and report.
        // Used from one thread only: no locking around every call.
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK) {
            disconnect();
            return false;
        }
        path = file;
        columns.schemaVersion = -1; // resolved on another file
        device = quint64(st.st_dev);
        inode = quint64(st.st_ino);
        ++serial;
        return true;
    }

    bool connectTo(const QString &file)
    {
        struct stat st
        { };
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 && S_ISREG(st.st_mode)
            && connect(file, st);
    }

    // A one-number pragma; -1 where it fails.
    qint64 pragma(const char *sql)
    {
        Statement s;
        if (sqlite3_prepare_v2(db, sql, -1, &s.st, nullptr) != SQLITE_OK || sqlite3_step(s.st) != SQLITE_ROW)
            return -1;
        return sqlite3_column_int64(s.st, 0);
    }

    bool exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    // The row id under a name the table does not use for a column, as the
    // record sets order by.
    QByteArray rowIdName(const QString &table)
    {
        Statement s;
        const QByteArray sql = "PRAGMA table_info(" + quoted(table) + ")";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &s.st, nullptr) != SQLITE_OK)
            return {};
        QStringList names;
        while (sqlite3_step(s.st) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s.st, 1)));
        for (const char *alias : {"rowid", "_rowid_", "oid"})
            if (!names.contains(QLatin1String(alias), Qt::CaseInsensitive))
                return alias;
        return {};
    }

    bool prepare(Statement &s, const QString &table, const QString &a, const QString &b)
    {
        const QByteArray id = rowIdName(table);
        if (id.isEmpty())
            return false;
        const QByteArray sql =
            "SELECT " + quoted(a) + ", " + quoted(b) + " FROM " + quoted(table) + " ORDER BY " + id;
        return sqlite3_prepare_v2(db, sql.constData(), -1, &s.st, nullptr) == SQLITE_OK;
    }

    // `before`: the rows read last time, whose texts are shared where alike.
    template <class Row> bool readAll(sqlite3_stmt *st, const QVector<Row> &before, QVector<Row> *rows)
    {
        sqlite3_reset(st);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const qsizetype k = rows->size();
            const Row *was = k < before.size() ? &before[k] : nullptr;
            rows->append(Row{cellLike(st, 0, was ? &first(*was) : nullptr), sqliteCell(st, 1)});
        }
        sqlite3_reset(st);
        return rc == SQLITE_DONE;
    }
};

PassSource::PassSource() : d(std::make_unique<Impl>()) { }
PassSource::~PassSource() = default;

FileStamp PassSource::stamp(const QString &path)
{
    FileStamp s;
    struct stat st
    { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)
        || !d->connect(path, st))
        return s;
    const qint64 version = d->pragma("PRAGMA data_version");
    if (version < 0)
        return s;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    // The connection's serial in the high bits: a version from another
    // connection never equals one from this.
    s.dataVersion = qint64(d->serial << 40) ^ version;
    s.known = true;
    return s;
}

qint64 PassSource::schemaVersion(const QString &path)
{
    return d->connectTo(path) ? d->pragma("PRAGMA schema_version") : -1;
}

void PassSource::setColumns(const Columns &columns)
{
    d->columns = columns;
    d->applicants.reset();
    d->references.reset();
    d->preparedFor = -1;
}

bool PassSource::read(const QString &path, QVector<ApplicantRow> *applicants,
                      QVector<ReferenceRow> *references)
{
    const Columns &c = d->columns;
    if (c.schemaVersion < 0 || !d->connectTo(path))
        return false;
    // One read transaction: the layout checked is the layout read.
    if (!d->exec("BEGIN"))
        return false;
    struct Ending
    {
        Impl *d;
        ~Ending() { d->exec("COMMIT"); }
    } ending{d.get()};
    if (d->pragma("PRAGMA schema_version") != c.schemaVersion)
        return false;
    if (d->preparedFor != c.schemaVersion) {
        d->applicants.reset();
        d->references.reset();
        if (!d->prepare(d->applicants, QString::fromLatin1(kDavtalab), c.applicantName, c.applicantAvg)
            || !d->prepare(d->references, QString::fromLatin1(kFormol), c.referenceAvg, c.referenceRank))
            return false;
        d->preparedFor = c.schemaVersion;
    }
    QVector<ApplicantRow> a;
    QVector<ReferenceRow> r;
    a.reserve(applicants->size() + 16);
    r.reserve(references->size() + 16);
    if (!d->readAll(d->applicants.st, *applicants, &a) || !d->readAll(d->references.st, *references, &r))
        return false;
    *applicants = std::move(a);
    *references = std::move(r);
    return true;
}

} // namespace placeva
