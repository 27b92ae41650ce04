// Times Placeva's spreadsheet import and export at counsellor scale: a file of
// 100,000 applicants read, checked and stored in one transaction, then the
// table written back out. Prints milliseconds (median of several runs) and
// the targets. First, before anything else has grown the process, a file
// whose first line holds a great many cells: how soon it is refused and how
// much memory that takes beside the file.
//
// Usage: bench_csv [applicants] [runs]

#include "core/csvexport.h"
#include "core/csvimport.h"
#include "core/outputcheck.h"
#include "testsupport/testbank.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace placeva;

namespace {

// A spreadsheet as counsellors save one: Persian names, percentages with one
// decimal (some negative, some empty), an Avg column, UTF-8 with a BOM.
QByteArray makeFile(int applicants)
{
    QRandomGenerator g(20240615u + quint32(applicants));
    QString text = placeva::kApplicants.fieldNames().join(QLatin1Char(',')) + QStringLiteral("\r\n");
    const QString first[] = {QStringLiteral(u"علي"),  QStringLiteral(u"مريم"), QStringLiteral(u"رضا"),
                             QStringLiteral(u"زهرا"), QStringLiteral(u"پويا"), QStringLiteral(u"ژاله")};
    const QString last[] = {QStringLiteral(u"احمدي"), QStringLiteral(u"کريمي"), QStringLiteral(u"چگيني"),
                            QStringLiteral(u"گودرزي")};
    for (int i = 0; i < applicants; ++i) {
        text += first[g.bounded(6)] + QLatin1Char(' ') + last[g.bounded(4)] + QLatin1Char(' ')
            + QString::number(i);
        for (int s = 0; s < 10; ++s) {
            text += QLatin1Char(',');
            if (g.bounded(50) != 0)
                text += QString::number(g.bounded(-333, 1001) / 10.0);
        }
        text += QStringLiteral(",\r\n");
    }
    return QByteArray("\xef\xbb\xbf") + text.toUtf8();
}

// The process's peak resident memory so far, in bytes.
qint64 peakMemory()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// Plans the import of `bytes` in a child process of its own, whose peak
// memory is its own; prints how long that took, whether the file was
// refused, and the peak memory added beyond the file itself.
bool wideFile(const char *what, const QByteArray &bytes, bool refused)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child > 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    const qint64 before = peakMemory();
    QElapsedTimer t;
    t.start();
    const ImportReading reading = planImport(bytes, ImportTable::Applicants, QStringLiteral("wide.csv"));
    const double ms = double(t.nsecsElapsed()) / 1e6;
    const qint64 added = peakMemory() - before;
    if (bool(reading.plan) == refused) {
        std::fprintf(stderr, "%s: %s\n", what, refused ? "not refused" : qPrintable(reading.error));
        std::_Exit(1);
    }
    std::printf("wide: %s (%.1f MB) %s in %.1f ms, peak memory +%.1f MB (%.1f times the file)\n", what,
                double(bytes.size()) / 1e6, refused ? "refused" : "planned", ms, double(added) / 1e6,
                double(added) / double(bytes.size()));
    std::fflush(stdout);
    std::_Exit(0);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int applicants = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;

    // Rows of 999 cells under a header of one: each row is refused as
    // holding more cells than the header names.
    const QByteArray wideRow = QByteArray("a,").repeated(998) + "a\n";
    if (!wideFile("1 MB of 'a,'", QByteArray("a,").repeated(512 * 1024), true)
        || !wideFile("50 MB of ','", QByteArray(50 * 1000 * 1000, ','), true)
        || !wideFile("20 MB of rows of 999 cells", "Name\n" + wideRow.repeated(10000), false))
        return 1;

    QTemporaryDir dir;
    const QString csvPath = dir.filePath(QStringLiteral("applicants.csv"));
    {
        QFile f(csvPath);
        if (!f.open(QIODevice::WriteOnly) || f.write(makeFile(applicants)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(csvPath));
            return 1;
        }
    }

    std::vector<double> readCheck, store, importTotal, exportTotal;
    qint64 exportedBytes = 0;
    for (int run = 0; run < runs; ++run) {
        const QString folder = dir.filePath(QStringLiteral("run%1").arg(run));
        QDir().mkpath(folder);
        QString refused;
        if (!testbank::createStandardTables(QDir(folder).filePath(QStringLiteral("Bank.db")), &refused)) {
            std::fprintf(stderr, "Bank.db: %s\n", qPrintable(refused));
            return 1;
        }

        QElapsedTimer t;
        t.start();
        const ImportReading reading = readImportFile(csvPath, ImportTable::Applicants);
        const double planned = double(t.nsecsElapsed()) / 1e6;
        if (!reading.plan || reading.plan->rows.size() != applicants) {
            std::fprintf(stderr, "import plan failed: %s\n", qPrintable(reading.error));
            return 1;
        }
        if (const MaybeError error = storeImport(folder, *reading.plan)) {
            std::fprintf(stderr, "store failed: %s\n", qPrintable(error->message));
            return 1;
        }
        const double imported = double(t.nsecsElapsed()) / 1e6;
        readCheck.push_back(planned);
        store.push_back(imported - planned);
        importTotal.push_back(imported);

        t.restart();
        const CsvExport exported = exportTableCsv(folder, ImportTable::Applicants);
        const FileOutcome written = exported.error
            ? FileOutcome{}
            : writeOutput(QDir(folder).filePath(QStringLiteral("out.csv")), exported.bytes);
        const QString error = exported.error ? exported.error->message
            : written.ok()                   ? QString()
                                             : QStringLiteral("write failed (%1)").arg(written.systemText);
        exportTotal.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!error.isEmpty() || exported.rows != applicants) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
            return 1;
        }
        exportedBytes = exported.bytes.size();
    }

    std::printf("applicants: %d, runs: %d (median)\n", applicants, runs);
    std::printf(
        "import: read and check %.0f ms + store in one transaction %.0f ms = %.0f ms (target 3000 ms)\n",
        median(readCheck), median(store), median(importTotal));
    std::printf("export: read table and write %.1f MB file %.0f ms (target 1000 ms)\n",
                double(exportedBytes) / 1e6, median(exportTotal));
    return 0;
}
