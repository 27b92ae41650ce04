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
    return open({}, {});
}

MaybeError DataControl::refreshEach(const std::function<void(const QVariant *cells, int count)> &row)
{
    return open(row, {});
}

MaybeError DataControl::refreshEachStored(
    const std::function<void(int part, const StoredCell *cells, int count)> &row)
{
    return open({}, row);
}

MaybeError DataControl::refreshFields()
{
    return open({}, {}, false);
}

MaybeError DataControl::open(const std::function<void(const QVariant *cells, int count)> &row,
                             const std::function<void(int part, const StoredCell *cells, int count)> &stored,
                             bool rows)
{
    const std::optional<QString> source = dataSource(m_connectionString);
    if (!source)
        return makeError(
            StoreErrorKind::BadConnection,
            QStringLiteral(
                "در متن اتصال «%1» نام پرونده (⁨Data Source⁩) نيامده است.")
                .arg(m_connectionString));
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
    fresh->each = row;
    fresh->eachStored = stored;
    fresh->fieldsOnly = !rows;
    if (auto error = fresh->open(path, m_recordSource, m_columns, m_busyTimeout))
        return error; // the old snapshot stays; fresh closes its connection
    m_recordset.d = std::move(fresh);
    return std::nullopt;
}

} // namespace placeva
