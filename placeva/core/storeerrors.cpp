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

QString shown(const QString &path)
{
    return common::isolatedPath(path); // in its own order inside Persian text
}

QString shownName(const QString &name)
{
    return common::isolate(name);
}

StoreError makeError(StoreErrorKind kind, const QString &message, const QString &detail)
{
    return StoreError{kind, message, detail};
}

StoreError closedError()
{
    return makeError(StoreErrorKind::NoCurrentRecord, QStringLiteral("هيچ جدولي باز نيست."));
}

StoreError noCurrentError(const QString &path, const QString &table)
{
    return makeError(StoreErrorKind::NoCurrentRecord,
                     QStringLiteral("در جدول «%2» از پرونده «%1» رکورد جاري وجود ندارد.")
                         .arg(shown(path), shownName(table)));
}

StoreError missingColumnError(const QString &path, const QString &table, const QString &column)
{
    return makeError(StoreErrorKind::MissingColumn,
                     QStringLiteral("ستون «%3» در جدول «%2» از پرونده «%1» نيست.")
                         .arg(shown(path), shownName(table), shownName(column)));
}

StoreError notReadError(const QString &path, const QString &table, const QString &column)
{
    return makeError(StoreErrorKind::MissingColumn,
                     QStringLiteral("ستون «%3» از جدول «%2» در پرونده «%1» خوانده نشده است.")
                         .arg(shown(path), shownName(table), shownName(column)));
}

StoreError rowGoneError(const QString &path, const QString &table)
{
    return makeError(StoreErrorKind::RowGone,
                     QStringLiteral("رکورد جدول «%2» در پرونده «%1» پس از خواندن تغيير کرده يا پاک شده است؛ "
                                    "جدول را دوباره بخوانيد.")
                         .arg(shown(path), shownName(table)));
}

StoreError rowChangedError(const QString &path, const QString &table)
{
    return makeError(
        StoreErrorKind::RowGone,
        QStringLiteral("رکورد جدول «%2» در پرونده «%1» پس از خواندن در جاي ديگري (برنامه ديگر يا "
                       "پنجره ديگر) تغيير کرده است؛ نوشته نشد تا آن تغيير از دست نرود.")
            .arg(shown(path), shownName(table)));
}

StoreError rowDeletedError(const QString &path, const QString &table)
{
    return makeError(
        StoreErrorKind::RowGone,
        QStringLiteral("رکورد جدول «%2» در پرونده «%1» پس از خواندن در جاي ديگري (برنامه ديگر يا "
                       "پنجره ديگر) پاک شده است.")
            .arg(shown(path), shownName(table)));
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
                     QStringLiteral("جدول «%2» در پرونده «%1» شناسه رديف (⁨rowid⁩) ندارد، چون "
                                    "با "
                                    "⁨WITHOUT ROWID⁩ "
                                    "ساخته شده است؛ رکوردهاي آن از هم باز شناخته نمي شوند. جدول را بدون "
                                    "⁨WITHOUT ROWID⁩ بسازيد.")
                         .arg(shown(path), shownName(table)));
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
        return makeError(StoreErrorKind::Failed,
                         QStringLiteral("پرونده «%1» باز نشد: %2").arg(file, shownName(detail)), detail);
    case SqliteFull:
        return makeError(
            StoreErrorKind::DiskFull,
            QStringLiteral("براي نوشتن در پرونده «%1» جا نمانده است (ديسک پر است)؛ چيزي نوشته نشد.")
                .arg(file),
            detail);
    case SqliteCorrupt:
    case SqliteNotADb:
        return makeError(
            StoreErrorKind::NotDatabase,
            QStringLiteral(
                "پرونده «%1» يک پايگاه داده ⁨SQLite⁩ نيست يا آسيب ديده "
                "است.")
                .arg(file),
            detail);
    default: break;
    }
    if (writing)
        return makeError(StoreErrorKind::Failed,
                         QStringLiteral("نوشتن در جدول «%2» از پرونده «%1» انجام نشد: %3")
                             .arg(file, shownName(table), shownName(detail)),
                         detail);
    return makeError(StoreErrorKind::Failed,
                     QStringLiteral("خواندن جدول «%2» از پرونده «%1» انجام نشد: %3")
                         .arg(file, shownName(table), shownName(detail)),
                     detail);
}

} // namespace placeva::store_detail
