#pragma once
// Where Placeva keeps its data. A build or a portable copy keeps Bank.db
// beside the program; an installed program must never write under /usr, so
// it keeps the user's Bank.db in the user's data folder, started from the
// empty database the package ships. No widgets.

#include "core/store.h"

#include <QString>
#include <QStringList>

namespace placeva {

// A database location is a folder that holds Bank.db or the file itself.
QString bankFilePath(const QString &location);

// The packaged empty database, found from the program's folder (bin/ beside
// share/) so that an unpacked package works where it is unpacked.
QString templateBankPath(const QString &programFolder);

struct DataChoice
{
    QString file;   // the database to open
    QString notice; // to tell the user once (the data folder was just made), else empty
    QString error;  // the data folder could not be made: the file is then not there
};

// In this order: `commandLineFile` when given; Bank.db beside the program
// when it exists; Bank.db in `userDataFolder` when the packaged template is
// there, copying the template when the folder does not exist yet; otherwise
// Bank.db beside the program, which the start then reports as missing.
DataChoice chooseDatabase(const QString &commandLineFile, const QString &programFolder,
                          const QString &userDataFolder);

// The checks the main window makes when it opens a file: both tables with the
// columns the statistics read. Nothing in the file is changed.
MaybeError checkDatabase(const QString &file);

// The last files opened, newest first, kept in the program's settings.
QStringList recentDatabases();
void rememberDatabase(const QString &file);

} // namespace placeva
