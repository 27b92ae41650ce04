// Times the command line's counselling sheets: `placeva --sheets FOLDER` on a
// made-up database of 1,000 applicants (Persian names, percentages from -33.3
// to 100) and 200 reference results, unless a count is given. Prints
// milliseconds, median of three runs, and the files written.
//
//   bench_sheets [applicants]
//   bench_sheets --sample out.pdf    one sheet, for the picture
//   bench_sheets --split             100 sheets in the process: their numbers, then their pages

#include "core/counsel.h"
#include "core/workspace.h"
#include "gui/sheet.h"
#include "testsupport/testbank.h"
#include "toolkit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace placeva;

namespace {

bool makeDatabase(const QString &file, int applicants)
{
    const char16_t *const first[] = {u"زهرا", u"علي", u"محمد", u"نگار", u"حسين", u"مريم", u"امير", u"ژاله"};
    const char16_t *const last[] = {u"کاظمي",  u"نوري",  u"حسيني",
                                    u"پژوهان", u"کريمي", u"عبدالحسين زاده خراساني"};
    QRandomGenerator g(20261208u);
    QStringList fields;
    for (const Field &f : kApplicants.subjects())
        fields << f.nameText();
    return testbank::createStandardTables(file) && testbank::run(file, [&](QSqlQuery &q) {
               q.prepare(QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (?, ?)"));
               for (int i = 0; i < 200; ++i) {
                   const double avg = 15 + i * 0.35 + g.bounded(100) / 100.0;
                   q.addBindValue(avg);
                   q.addBindValue(std::max(1, int((88 - avg) * (88 - avg) * 2.2) + int(g.bounded(200))));
                   if (!q.exec())
                       return false;
               }
               q.prepare(QStringLiteral("INSERT INTO Davtalab (Name, %1, Avg) VALUES (?%2, ?)")
                             .arg(fields.join(','), QStringLiteral(", ?").repeated(10)));
               for (int i = 0; i < applicants; ++i) {
                   q.addBindValue(QString::fromUtf16(first[g.bounded(8)]) + u' '
                                  + QString::fromUtf16(last[g.bounded(6)]));
                   Percentages p{};
                   const double level = g.bounded(-100, 800) / 10.0;
                   for (double &v : p) {
                       v = std::clamp(std::round(level + g.bounded(-250, 250) / 10.0), -33.3, 100.0);
                       q.addBindValue(v);
                   }
                   q.addBindValue(entryAverage(p).value_or(0));
                   if (!q.exec())
                       return false;
               }
               return true;
           });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tk::setupApplication(app);
    const QStringList args = app.arguments();
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Bank.db"));

    if (args.size() >= 3 && args.at(1) == QLatin1String("--sample")) {
        if (!makeDatabase(db, 30))
            return 1;
        Workspace ws(db);
        if (ws.load())
            return 1;
        ws.run(QStringLiteral("1.00"));
        QString error;
        const auto sheet = sheetFor(ws, 3, std::nullopt, &error);
        if (sheet)
            error = saveSheetPdf(*sheet, args.at(2));
        std::printf("%s\n", qPrintable(error.isEmpty() ? QStringLiteral("written") : error));
        return error.isEmpty() ? 0 : 1;
    }

    if (args.size() >= 2 && args.at(1) == QLatin1String("--split")) {
        if (!makeDatabase(db, 100))
            return 1;
        Workspace ws(db);
        if (ws.load())
            return 1;
        ws.run(QStringLiteral("1.00"));
        const auto records = readApplicantRecords(db);
        const ChoiceTableReading choices = readChoiceTable(db);
        QElapsedTimer t;
        t.start();
        std::vector<CounselSheet> sheets;
        for (qsizetype k = 0; k < 100; ++k)
            sheets.push_back(counselSheet(ws, k, records->at(k), choices));
        const double numbers = t.nsecsElapsed() / 1e6;
        t.restart();
        for (const CounselSheet &s : sheets) {
            QPdfWriter w(QStringLiteral("/dev/null"));
            w.setResolution(300);
            paintSheet(s, &w);
        }
        const double pdf = t.nsecsElapsed() / 1e6;
        std::printf("100 sheets: numbers %.0f ms, pages painted as PDF %.0f ms\n", numbers, pdf);
        return 0;
    }
    const int applicants = args.size() > 1 ? args.at(1).toInt() : 1000;
    if (!makeDatabase(db, applicants))
        return 1;
    std::vector<double> ms;
    qsizetype files = 0;
    for (int run = 0; run < 3; ++run) {
        const QString folder = dir.filePath(QStringLiteral("sheets%1").arg(run));
        QElapsedTimer timer;
        timer.start();
        QProcess p;
        p.start(QStringLiteral(PLACEVA_EXE),
                {QStringLiteral("--database"), db, QStringLiteral("--sheets"), folder});
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
            return 1;
        }
        ms.push_back(timer.nsecsElapsed() / 1e6);
        files = QDir(folder).entryList(QDir::Files).size();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s %10s\n", "step", "ms (median)");
    std::printf(
        "%-52s %10.0f\n",
        qPrintable(QStringLiteral("placeva --sheets, %1 applicants (%2 files)").arg(applicants).arg(files)),
        ms[1]);
    return 0;
}
