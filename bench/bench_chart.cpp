// Times the chart window on 100,000 applicants and 10,000 reference rows:
// the redraw after a statistics pass (the pass, the chart's rebuild and a
// full paint) and one keystroke in the target rank box (the search for the
// required average and the plot's update). Prints milliseconds, median of
// several runs. Runs without a display (offscreen) unless one is chosen.

#include "core/stats.h"
#include "core/targetrank.h"
#include "gui/chartwindow.h"
#include "gui/mainwindow.h"
#include "testsupport/testbank.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <limits>
#include <vector>

using namespace placeva;

namespace {

// Averages with two decimals (many on one pixel), reference results whose
// ranks fall as averages rise but zigzag from row to row. Empty when the
// file was filled, else why not.
QString fillBank(const QString &file, int applicants, int references)
{
    QString error;
    testbank::run(
        file,
        [&](QSqlQuery &q) {
            // Only the columns the main window and the chart read.
            q.exec("CREATE TABLE Davtalab (Name TEXT, Avg REAL)");
            q.exec("CREATE TABLE Formol (Avg REAL, Rotbeh INTEGER)");
            QRandomGenerator g(20240601u);
            q.prepare("INSERT INTO Davtalab (Name, Avg) VALUES (?, ?)");
            for (int i = 0; i < applicants; ++i) {
                q.addBindValue(QStringLiteral("Applicant %1").arg(i));
                q.addBindValue(g.bounded(-1000, 8000) / 100.0);
                q.exec();
            }
            q.prepare("INSERT INTO Formol (Avg, Rotbeh) VALUES (?, ?)");
            for (int i = 0; i < references; ++i) {
                const double avg = g.bounded(0, 8000) / 100.0;
                q.addBindValue(avg);
                q.addBindValue(std::max(1, int((80.0 - avg) * 400.0) + g.bounded(-50, 50)));
                q.exec();
            }
            return true;
        },
        &error);
    return error;
}

double medianMs(int runs, const std::function<void()> &step)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The same in this thread's processor time, which other programs on a busy
// machine disturb far less than the clock.
double medianCpuMs(int runs, const std::function<void()> &step)
{
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const double start = now();
        step();
        ms.push_back(now() - start);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Lets the chart lay itself out and paints the whole window, as the screen
// would show it.
void paint(ChartWindow *w)
{
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w->grab();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tk::setupApplication(app);

    const int applicants = 100000, references = 10000;
    QTemporaryDir dir;
    if (const QString error = fillBank(dir.filePath("Bank.db"), applicants, references); !error.isEmpty()) {
        std::fprintf(stderr, "Bank.db: %s\n", qPrintable(error));
        return 1;
    }
    tk::FormSlot<MainWindow> slot;
    MainWindow *main = slot.ensure(dir.path());
    if (!main)
        return 1;
    main->showModeless();
    ChartWindow *chart = openChartWindow(*main);
    if (!chart)
        return 1;
    paint(chart);
    // The chart as drawn, to compare one build's picture with another's.
    if (const QString file = qEnvironmentVariable("BENCH_CHART_PICTURE"); !file.isEmpty()) {
        chart->view()->grab().save(file);
        chart->Check1->setChecked(true);
        paint(chart);
        chart->view()->grab().save(QString(file).replace(QLatin1String(".png"), QLatin1String("-log.png")));
        chart->Check1->setChecked(false);
        paint(chart);
    }
    std::printf("%d applicants, %d reference rows; markers drawn: %lld of %lld applicants\n", applicants,
                references, qlonglong(chart->applicantSeries->count()),
                qlonglong(chart->data().applicants.size()));

    std::printf("%-52s %10s\n", "step", "ms (median)");
    std::printf("%-52s %10.1f\n", "pass alone (statistics, no window)", medianMs(5, [&] {
                    statisticsPass(main->workspace().applicants(), main->workspace().references(),
                                   main->workspace().factorText());
                }));
    std::printf("%-52s %10.1f\n", "chart rebuild and paint after a pass", medianMs(5, [&] {
                    chart->followPass();
                    paint(chart);
                }));
    // What the band of likely ranks adds: its samples and ranges alone, and
    // the same rebuild with the band not drawn (alternating, so that both
    // see the same load).
    {
        const RankModel &estimator = *main->workspace().result().model;
        const QVector<QPointF> line = estimateLine(estimator, 0, 80);
        std::printf("%-52s %10.2f\n", "  of which the likely band (samples, ranges, outline)",
                    medianMs(9, [&] { bandOutline(likelyBand(estimator, line, 80.0 / 800 * 3)); }));
        std::vector<double> with, without;
        for (int i = 0; i < 7; ++i) {
            for (bool shown : {true, false}) {
                chart->likelySeries->setVisible(shown);
                (shown ? with : without).push_back(medianMs(1, [&] {
                    chart->followPass();
                    paint(chart);
                }));
            }
        }
        chart->likelySeries->setVisible(true);
        std::sort(with.begin(), with.end());
        std::sort(without.begin(), without.end());
        std::printf("%-52s %10.1f\n", "  rebuild and paint, band drawn (alternating)", with[3]);
        std::printf("%-52s %10.1f\n", "  rebuild and paint, band not drawn (alternating)", without[3]);
    }
    std::printf("%-52s %10.1f\n", "\"Mohasebe\": pass, lists, chart, paint", medianMs(5, [&] {
                    main->Command1_Click();
                    paint(chart);
                }));
    // With the factor unchanged the pass takes over every estimate; a changed
    // factor estimates every applicant again.
    int flip = 0;
    std::printf("%-52s %10.1f\n", "  the same, the factor changed each time", medianMs(5, [&] {
                    main->Text1->setText(++flip % 2 ? QStringLiteral("1.05") : QStringLiteral("1.00"));
                    main->Command1_Click();
                    paint(chart);
                }));
    std::printf("%-52s %10.1f\n", "  the same, the factor changed, thread CPU time", medianCpuMs(5, [&] {
                    main->Text1->setText(++flip % 2 ? QStringLiteral("1.05") : QStringLiteral("1.00"));
                    main->Command1_Click();
                    paint(chart);
                }));
    main->Text1->setText(QStringLiteral("1.00"));
    main->Command1_Click();
    chart->Check1->setChecked(true);
    paint(chart);
    std::printf("%-52s %10.1f\n", "  the same on the logarithmic axis", medianMs(5, [&] {
                    main->Command1_Click();
                    paint(chart);
                }));
    chart->Check1->setChecked(false);

    // One keystroke: the required average and the plot's update, then the paint.
    const QString targets[] = {"5000", "500", "50", "5", "1"};
    int k = 0;
    std::printf("%-52s %10.2f\n", "keystroke: required average and plot update",
                medianMs(9, [&] { chart->Text1->setText(targets[k++ % 5]); }));
    std::printf("%-52s %10.2f\n", "keystroke and the repaint of what it changed", medianMs(9, [&] {
                    chart->Text1->setText(targets[k++ % 5]);
                    QApplication::processEvents();
                }));
    std::printf("%-52s %10.2f\n", "keystroke and a paint of the whole window", medianMs(9, [&] {
                    chart->Text1->setText(targets[k++ % 5]);
                    paint(chart);
                }));

    // The search alone, on its slowest inputs: a target no average reaches,
    // and a factor that makes every estimate but one overflow.
    const RankModel estimator(main->workspace().references(), QStringLiteral("1.00"));
    std::printf("%-52s %10.2f\n", "search: target reached at once (2147483647)",
                medianMs(9, [&] { requiredAverage(estimator, 2147483647); }));
    std::printf("%-52s %10.2f\n", "search: unreachable (every hundredth tried)",
                medianMs(9, [&] { requiredAverage(estimator, std::numeric_limits<std::int32_t>::min()); }));
    const RankModel overflowing(main->workspace().references(), QStringLiteral("1e40"));
    std::printf("%-52s %10.2f\n", "search: factor 1e40 (every estimate but one fails)",
                medianMs(9, [&] { requiredAverage(overflowing, std::numeric_limits<std::int32_t>::min()); }));

    delete main;
    return 0;
}
