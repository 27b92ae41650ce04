// Child process for tst_store's kill test: adds rows to Davtalab through the
// Recordset as fast as it can and prints the rowid of every row whose save
// returned, one per line, until it is killed.
//
// Usage: store_writer <path/to/Bank.db>

#include "core/store.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: store_writer <Bank.db>\n");
        return 2;
    }
    placeva::DataControl control;
    control.setConnectionString(
        placeva::DataControl::connectionStringFor(QFileInfo(app.arguments().at(1)).absolutePath()));
    control.setCommandType(placeva::DataControl::CommandTable);
    control.setRecordSource(QString::fromLatin1(placeva::kDavtalab));
    if (auto error = control.refresh()) {
        std::fprintf(stderr, "%s\n", qPrintable(error->message));
        return 1;
    }
    placeva::Recordset *rs = control.recordset();
    for (qint64 n = 0;; ++n) {
        const QString name = QStringLiteral("writer %1").arg(n);
        if (auto error = rs->addNew(); error || (error = rs->setPendingText(QStringLiteral("Name"), name))
            || (error = rs->setPendingText(QStringLiteral("Avg"), QString::number(n % 100)))
            || (error = rs->update())) {
            std::fprintf(stderr, "%s\n", qPrintable(error->message));
            return 1;
        }
        std::printf("%lld %s\n", static_cast<long long>(rs->rowId()), qPrintable(name));
        std::fflush(stdout);
    }
}
