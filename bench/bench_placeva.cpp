// One whole activation of Placeva's main window on a large database: both
// tables re-read, the statistics pass, the four lists and nine labels shown.
#include "gui/mainwindow.h"
#include "testsupport/testbank.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

long maxRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

bool makeBank(const QString &file, int applicants, int references)
{
    QString error;
    const bool ok = testbank::createStandardTables(file, &error)
        && testbank::run(
                        file,
                        [&](QSqlQuery &q) {
                            QRandomGenerator g(7);
                            q.prepare("INSERT INTO Davtalab VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
                            for (int i = 0; i < applicants; ++i) {
                                q.addBindValue(QStringLiteral(u"داوطلب %1").arg(i));
                                for (int s = 0; s < 10; ++s)
                                    q.addBindValue(g.bounded(-3000, 10000) / 100.0);
                                q.addBindValue(g.bounded(-1000, 6000) / 100.0);
                                q.exec();
                            }
                            q.prepare("INSERT INTO Formol VALUES (?,?,?,?,?,?,?,?,?,?)");
                            for (int i = 0; i < references; ++i) {
                                for (int s = 0; s < 8; ++s)
                                    q.addBindValue(g.bounded(0, 10000) / 100.0);
                                const double avg = g.bounded(0, 6000) / 100.0;
                                q.addBindValue(avg);
                                q.addBindValue(int(30000 - avg * 450 + g.bounded(200)));
                                q.exec();
                            }
                            return true;
                        },
                        &error);
    if (!ok)
        std::fprintf(stderr, "Bank.db: %s\n", qPrintable(error));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tk::setupApplication(app);
    std::printf("%-24s %12s %12s %14s\n", "applicants/references", "median ms", "max ms", "extra MB");
    for (const auto &[applicants, references] : {std::pair{10'000, 1'000}, std::pair{100'000, 10'000}}) {
        QTemporaryDir dir;
        if (!makeBank(dir.filePath("Bank.db"), applicants, references))
            return 1;
        const long before = maxRssMb();
        tk::FormSlot<placeva::MainWindow> slot;
        placeva::MainWindow *form = slot.ensure(dir.path());
        form->showModeless();
        std::vector<double> ms;
        for (int run = 0; run < 7; ++run) {
            const auto t0 = std::chrono::steady_clock::now();
            form->reread();
            form->repaint(); // the lists drawn, not just filled
            const auto t1 = std::chrono::steady_clock::now();
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%8d/%-15d %12.1f %12.1f %14ld\n", applicants, references, ms[ms.size() / 2], ms.back(),
                    maxRssMb() - before);
        delete form;
    }
    return 0;
}
