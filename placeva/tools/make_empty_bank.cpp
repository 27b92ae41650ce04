// Build-time tool: writes an empty Bank.db with the tables Davtalab and
// Formol, so that a fresh build of Placeva has a file to open. A file that is
// already there is never touched; it may hold the user's rows.
//
// Usage: make_empty_bank <path/to/Bank.db>   (a name that starts with "-": ./-name)

#include "core/subjects.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

namespace {

bool createSchema(const QString &path, QString *error)
{
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make_empty_bank"));
        db.setDatabaseName(path);
        if (!db.open()) {
            *error = db.lastError().text();
            ok = false;
        } else {
            QSqlQuery q(db);
            for (const placeva::TableFields *table : {&placeva::kApplicants, &placeva::kReferences}) {
                if (!q.exec(table->createTableSql())) {
                    *error = q.lastError().text();
                    ok = false;
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make_empty_bank"));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // An option is never taken for a file name: "--help" would otherwise
    // leave a database called "--help" wherever it was asked.
    const bool help =
        args.size() == 2 && (args.at(1) == QLatin1String("--help") || args.at(1) == QLatin1String("-h"));
    if (args.size() != 2 || args.at(1).startsWith(QLatin1Char('-'))) {
        std::fprintf(help ? stdout : stderr, "usage: make_empty_bank <path/to/Bank.db>\n");
        return help ? 0 : 2;
    }
    const QString target = QFileInfo(args.at(1)).absoluteFilePath();
    if (QFileInfo::exists(target))
        return 0;

    // Built beside the target and renamed into place: the target either does
    // not exist or is complete, and rename never replaces a file that
    // appeared meanwhile.
    const QString temporary = target + QStringLiteral(".new");
    QFile::remove(temporary);
    QString error;
    if (!createSchema(temporary, &error)) {
        QFile::remove(temporary);
        std::fprintf(stderr, "make_empty_bank: %s: %s\n", qPrintable(temporary), qPrintable(error));
        return 1;
    }
    if (!QFile::rename(temporary, target)) {
        QFile::remove(temporary);
        if (QFileInfo::exists(target))
            return 0;
        std::fprintf(stderr, "make_empty_bank: cannot create %s\n", qPrintable(target));
        return 1;
    }
    return 0;
}
