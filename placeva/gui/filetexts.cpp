#include "gui/filetexts.h"

#include "bidi.h"

#include <QDir>
#include <QFileInfo>

namespace placeva {

QString isolated(const QString &text)
{
    return common::isolate(text); // one rule for every isolated run
}

QString shownFile(const QString &path)
{
    if (isStandardOutput(path))
        return path;
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString fileReason(const FileOutcome &outcome)
{
    QString reason;
    switch (outcome.problem) {
    case FileProblem::None: return QString();
    case FileProblem::PermissionDenied: reason = QStringLiteral(u"اجازه دسترسي به آن نيست"); break;
    case FileProblem::NotFound: reason = QStringLiteral(u"چنين پرونده يا پوشه اي پيدا نشد"); break;
    case FileProblem::NameTooLong: reason = QStringLiteral(u"نام آن بيش از اندازه بلند است"); break;
    case FileProblem::NotRegular: reason = QStringLiteral(u"يک پرونده معمولي نيست"); break;
    case FileProblem::Directory: reason = QStringLiteral(u"يک پوشه است، نه پرونده"); break;
    case FileProblem::DiskFull: reason = QStringLiteral(u"جاي خالي ديسک کافي نيست"); break;
    case FileProblem::Other: reason = QStringLiteral(u"سيستم آن را نپذيرفت"); break;
    }
    if (!outcome.systemText.isEmpty())
        reason += QStringLiteral(" (%1)").arg(isolated(outcome.systemText));
    return reason;
}

QString outputRefusalText(const QString &path, const FileOutcome &outcome)
{
    if (outcome.problem == FileProblem::Directory)
        return QStringLiteral(u"«%1» يک پوشه است، نه پرونده.").arg(isolated(shownFile(path)));
    return QStringLiteral(u"پرونده «%1» نوشته نشد: %2.").arg(isolated(shownFile(path)), fileReason(outcome));
}

QString databaseClashText(const QString &path, const QString &databaseFile, DatabaseFile which, bool input)
{
    const QString file = isolated(shownFile(path));
    const QString database = isolated(shownFile(databaseFile));
    const QString what = which == DatabaseFile::Database
        ? QStringLiteral(u"«%1» همان بانک اطلاعات باز «%2» است").arg(file, database)
        : QStringLiteral(u"«%1» پرونده %3 بانک اطلاعات باز «%2» است که SQLite کنار آن نگه مي دارد")
              .arg(file, database, isolated(databaseFileSuffix(which)));
    return what
        + (input ? QStringLiteral(u"، نه پرونده CSV؛ هيچ رديفي افزوده نشد.")
                 : QStringLiteral(u"؛ چيزي نوشته نشد و بانک اطلاعات دست نخورد."));
}

QString writeFileWhole(const QString &path, const QByteArray &bytes)
{
    const FileOutcome written = writeOutput(path, bytes);
    return written.ok() ? QString() : outputRefusalText(path, written);
}

QString noRowsText()
{
    return QStringLiteral(u"هيچ رديفي در پرونده نيست");
}

QString duplicateRowsText(qsizetype count)
{
    return QStringLiteral(u"%1 رديف همانند رديف هاي موجود است").arg(count);
}

} // namespace placeva
