#include "core/datalocation.h"

#include "bidi.h"
#include "core/choicetable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace placeva {

QString bankFilePath(const QString &location)
{
    if (QFileInfo(location).isDir())
        return QDir(location).filePath(QLatin1String(kBankFileName));
    return location;
}

QString templateBankPath(const QString &programFolder)
{
    return QDir(programFolder)
        .absoluteFilePath(QStringLiteral("../share/placeva/") + QLatin1String(kBankFileName));
}

DataChoice chooseDatabase(const QString &commandLineFile, const QString &programFolder,
                          const QString &userDataFolder)
{
    DataChoice choice;
    const QString beside = QDir(programFolder).absoluteFilePath(QLatin1String(kBankFileName));
    const QString packaged = QDir::cleanPath(templateBankPath(programFolder));
    if (!commandLineFile.isEmpty()) {
        choice.file = QFileInfo(commandLineFile).absoluteFilePath();
    } else if (QFileInfo::exists(beside) || !QFileInfo(packaged).isFile() || userDataFolder.isEmpty()) {
        choice.file = beside;
    } else {
        choice.file = QDir::cleanPath(QDir(userDataFolder).absoluteFilePath(QLatin1String(kBankFileName)));
        // Only on the first start: a Bank.db the user removed later is then
        // reported missing rather than silently replaced by an empty one.
        if (!QFileInfo::exists(userDataFolder)) {
            const QString shown = common::isolatedPath(choice.file);
            if (!QDir().mkpath(userDataFolder) || !QFile::copy(packaged, choice.file)) {
                choice.error = QStringLiteral(u"پرونده «%1» ساخته نشد.").arg(shown);
            } else {
                // The packaged copy is read-only; the user's is not.
                QFile::setPermissions(
                    choice.file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
                choice.notice = QStringLiteral(u"اطلاعات شما در پرونده «%1» نگهداري مي شود.").arg(shown);
            }
        }
    }
    return choice;
}

MaybeError checkDatabase(const QString &file)
{
    const QString connection = DataControl::connectionStringFor(file);
    DataControl applicants, references;
    for (DataControl *control : {&applicants, &references}) {
        control->setConnectionString(connection);
        control->setCommandType(DataControl::CommandTable);
    }
    applicants.setRecordSource(QString::fromLatin1(kDavtalab));
    applicants.setColumns({ColumnRef(0), ColumnRef(kApplicants.field(FieldRole::Average).nameText())});
    references.setRecordSource(QString::fromLatin1(kFormol));
    references.setColumns({ColumnRef(kReferences.field(FieldRole::Average).nameText()),
                           ColumnRef(kReferences.field(FieldRole::Rank).nameText())});
    if (MaybeError error = applicants.refresh())
        return error;
    if (MaybeError error = references.refresh())
        return error;
    return checkChoiceTable(file);
}

namespace {
constexpr int kRecentCount = 6;
const char kRecentKey[] = "recentDatabases";
} // namespace

QStringList recentDatabases()
{
    return QSettings().value(QLatin1String(kRecentKey)).toStringList();
}

void rememberDatabase(const QString &file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    QStringList list = recentDatabases();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kRecentCount)
        list.removeLast();
    QSettings().setValue(QLatin1String(kRecentKey), list);
}

} // namespace placeva
