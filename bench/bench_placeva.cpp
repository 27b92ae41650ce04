// One whole activation of Placeva's main window on a large database: both
// tables re-read, the statistics pass, the four lists and nine labels shown.
// Then, at the large size, the activation against its floor: reading both
// tables through SQLite's C API alone, after a row was stored elsewhere, and
// an activation with nothing changed since the last pass.
#include "gui/mainwindow.h"
#include "testsupport/testbank.h"

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>
#include <vector>

namespace {

long maxRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Every cell of both tables fetched through SQLite's C API, as the type it is
// stored with: what any reader of the file pays at least.
double bareRead(const QByteArray &file)
{
    const auto t0 = std::chrono::steady_clock::now();
    sqlite3 *db = nullptr;
    volatile std::size_t sink = 0;
    // One thread: no locking of SQLite's own mutexes around every call.
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr)
        == SQLITE_OK) {
        for (const char *sql : {"SELECT * FROM Davtalab", "SELECT * FROM Formol"}) {
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
                continue;
            const int columns = sqlite3_column_count(st);
            std::size_t seen = 0;
            while (sqlite3_step(st) == SQLITE_ROW) {
                for (int c = 0; c < columns; ++c) {
                    switch (sqlite3_column_type(st, c)) {
                    case SQLITE_INTEGER: seen += std::size_t(sqlite3_column_int64(st, c)); break;
                    case SQLITE_FLOAT: seen += std::size_t(sqlite3_column_double(st, c) != 0); break;
                    case SQLITE_TEXT:
                        seen += std::size_t(sqlite3_column_text(st, c)[0])
                            + std::size_t(sqlite3_column_bytes(st, c));
                        break;
                    default: break;
                    }
                }
            }
            sqlite3_finalize(st);
            sink = sink + seen;
        }
    }
    sqlite3_close(db);
    return msSince(t0);
}

// A row stored by another connection, as another window or program would.
void storeElsewhere(const QByteArray &file, int round)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        const QByteArray sql = QByteArray("UPDATE Davtalab SET Avg = ") + QByteArray::number(20 + round)
            + " WHERE rowid = " + QByteArray::number(1 + 97 * round);
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
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
        const QByteArray file = QFile::encodeName(dir.filePath("Bank.db"));
        for (int run = 0; run < 7; ++run) {
            storeElsewhere(file, run); // else the activation has nothing to do
            const auto t0 = std::chrono::steady_clock::now();
            form->reread();
            form->repaint(); // the lists drawn, not just filled
            const auto t1 = std::chrono::steady_clock::now();
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%8d/%-15d %12.1f %12.1f %14ld\n", applicants, references, ms[ms.size() / 2], ms.back(),
                    maxRssMb() - before);
        if (applicants == 100'000) {
            // The bare read and the activation alternate, so that both see
            // the same machine; the ratio is of the medians.
            std::vector<double> bare, changed, computed, unchanged;
            for (int run = 0; run < 11; ++run) {
                bare.push_back(bareRead(file));
                storeElsewhere(file, 7 + run);
                auto t0 = std::chrono::steady_clock::now();
                form->reread();
                computed.push_back(msSince(t0));
                form->repaint();
                QCoreApplication::processEvents(); // what the activation left for later
                changed.push_back(msSince(t0));
                t0 = std::chrono::steady_clock::now();
                form->reread();
                QCoreApplication::processEvents(); // paints whatever the activation changed
                unchanged.push_back(msSince(t0));
            }
            const double floor = median(bare), after = median(changed);
            std::printf("bare read of both tables (SQLite C API): %.1f ms\n", floor);
            std::printf("activation after a change: %.1f ms (%.2f times the bare read), %ld MB extra\n",
                        after, after / floor, maxRssMb() - before);
            std::printf("activation with nothing changed: %.1f ms\n", median(unchanged));
            std::printf("  of the activation after a change: the re-read and the pass %.1f ms, the lists and "
                        "the window drawn %.1f ms\n",
                        median(computed), after - median(computed));
        }
        delete form;
    }
    return 0;
}
