// Times the counsellors' report saved as PDF: made-up applicants (Persian
// names, long averages, ranks, bands), 100,000 unless a count is given.
// Prints milliseconds, median of three runs, and the pages written; then the
// print preview's recording of every page (what it shows is drawn on demand),
// and the floor of that recording: as many text items, each a plain
// drawText of a short number, recorded into the same preview's pages.
//
//   bench_report [applicants] [--pdf-only]   (--pdf-only: without the preview)
//   bench_report --sample out.pdf [applicants]   writes one (48: the picture)
//   bench_report --preview-sample out.png [page] [applicants]
//                                 the print preview's page (from 1) as shown

#include "core/rankrange.h"
#include "gui/passtexts.h"
#include "gui/pdfpaint.h"
#include "gui/report.h"
#include "toolkit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintEngine>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

using namespace placeva;

namespace {

ReportData madeUp(int applicants)
{
    const char16_t *const first[] = {u"زهرا", u"علي",  u"محمد", u"نگار",  u"حسين",  u"مريم",
                                     u"امير", u"ژاله", u"پويا", u"بهرام", u"کيوان", u"رضا"};
    const char16_t *const last[] = {u"کاظمي", u"نوري",  u"حسيني",  u"پژوهان",
                                    u"کريمي", u"احمدي", u"گودرزي", u"رضايي",
                                    u"صادقي", u"مرادي", u"چگيني",  u"عبدالحسين زاده خراساني"};
    const char16_t *const bands[] = {u"روزانه خوب",      u"روزانه بد و شبانه خوب",
                                     u"شبانه",           u"شبانه(بومي) و غير انتفاعي خيلي خوب",
                                     u"غير انتفاعي خوب", u"غير انتفاعي متوسط",
                                     u"غير انتفاعي بد",  u"متاسفانه.."};
    ReportData data;
    data.title = QStringLiteral(u"گزارش داوطلبان");
    data.date = persianDate(QDate(2026, 12, 8));
    data.factorCaption = QStringLiteral(u"ميزان تغييرات");
    data.factorText = QStringLiteral("1.00");
    data.typicalError = typicalErrorText(57);
    data.headers = reportHeaders();
    QRandomGenerator g(20241208u);
    double sum = 0;
    for (int i = 0; i < applicants; ++i) {
        const double average = g.bounded(-270, 2160) / 27.0;
        sum += average;
        const int rank = std::max(1, int((80 - average) * 200));
        data.rows.append(
            {QString::fromUtf16(first[g.bounded(12)]) + u' ' + QString::fromUtf16(last[g.bounded(12)]),
             QString::number(average, 'g', 15), QString::number(rank),
             rangeText(LikelyRange{rank - 60 - g.bounded(40), rank + 50 + g.bounded(60)}),
             QString::fromUtf16(bands[std::min(7, rank / 2000)])});
    }
    const QString none = QStringLiteral("-");
    data.figures = {
        {QStringLiteral(u"تعداد داوطلبان:"), QString::number(applicants)},
        {QStringLiteral(u"نفر اول"), applicants ? data.rows.first().first() : none},
        {QStringLiteral(u"نفر آخر"), applicants ? data.rows.last().first() : none},
        {QStringLiteral(u"ميانگين کل داوطلبان"), QString::number(applicants ? sum / applicants : 0, 'f', 2)},
        {QStringLiteral(u"ميانگين کل رتبه داوطلبان"), QStringLiteral("1821")},
        {QStringLiteral(u"تعداد افراد ي که روزانه و شبانه قبول ميشوند"), QString::number(applicants / 5)},
        {QStringLiteral(u"تعداد افرادي که فقط شبانه و غيرانتفاعي قبول ميشوند"),
         QString::number(applicants / 6)},
        {QStringLiteral(u"تعداد افرادي که فقط غير انتفاعي قبول ميشوند"), QString::number(applicants / 2)},
        {QStringLiteral(u"تعداد افرادي که قبول نمي شوند"), QString::number(applicants / 20)},
    };
    return data;
}

// A printer that takes the pages as a print preview's pictures would (its
// engine says it is one) and only counts the text items it is handed.
class ItemCounter : public QPrinter
{
public:
    ItemCounter() : QPrinter(QPrinter::HighResolution)
    {
        m_like.setPageLayout(reportPageLayout());
        setEngines(&m_print, &m_paint);
    }
    qsizetype items() const { return m_paint.count; }
    int pages() const { return m_print.pages; }

private:
    class Print : public QPrintEngine
    {
    public:
        explicit Print(const QPrinter &like) : m_like(like) { }
        void setProperty(PrintEnginePropertyKey, const QVariant &) override { }
        QVariant property(PrintEnginePropertyKey) const override { return QVariant(); }
        bool newPage() override
        {
            ++pages;
            return true;
        }
        bool abort() override { return false; }
        int metric(QPaintDevice::PaintDeviceMetric metric) const override
        {
            switch (metric) {
            case QPaintDevice::PdmWidth: return m_like.width();
            case QPaintDevice::PdmHeight: return m_like.height();
            case QPaintDevice::PdmWidthMM: return m_like.widthMM();
            case QPaintDevice::PdmHeightMM: return m_like.heightMM();
            case QPaintDevice::PdmNumColors: return m_like.colorCount();
            case QPaintDevice::PdmDepth: return m_like.depth();
            case QPaintDevice::PdmDpiX: return m_like.logicalDpiX();
            case QPaintDevice::PdmDpiY: return m_like.logicalDpiY();
            case QPaintDevice::PdmPhysicalDpiX: return m_like.physicalDpiX();
            case QPaintDevice::PdmPhysicalDpiY: return m_like.physicalDpiY();
            case QPaintDevice::PdmDevicePixelRatio: return 1;
            case QPaintDevice::PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
            }
            return 0;
        }
        QPrinter::PrinterState printerState() const override { return QPrinter::Active; }
        int pages = 1;

    private:
        const QPrinter &m_like;
    };
    QPrinter m_like{QPrinter::HighResolution};
    TextItemEngine m_paint{false}; // only counts
    Print m_print{m_like};
};

// User and system time of the whole process so far.
double processorMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tk::setupApplication(app);

    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1) == QLatin1String("--sample")) {
        int pages = 0;
        const QString error =
            saveReportPdf(madeUp(args.size() > 3 ? args.at(3).toInt() : 48), args.at(2), &pages);
        std::printf("%s\n", qPrintable(error.isEmpty() ? QStringLiteral("%1 pages").arg(pages) : error));
        return error.isEmpty() ? 0 : 1;
    }
    if (args.size() >= 3 && args.at(1) == QLatin1String("--preview-sample")) {
        const ReportData data = madeUp(args.size() > 4 ? args.at(4).toInt() : 48);
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageLayout(reportPageLayout());
        QPrintPreviewWidget preview(&printer);
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested,
                         [&](QPrinter *p) { paintReport(data, p); });
        preview.setViewMode(QPrintPreviewWidget::SinglePageView);
        preview.resize(1200, 1600);
        preview.show();
        preview.updatePreview();
        preview.setCurrentPage(args.size() > 3 ? args.at(3).toInt() : 1);
        preview.setZoomMode(QPrintPreviewWidget::FitInView);
        QApplication::processEvents();
        return preview.grab().save(args.at(2)) ? 0 : 1;
    }
    const bool pdfOnly = args.contains(QLatin1String("--pdf-only"));
    const int applicants = args.size() > 1 && args.at(1) != QLatin1String("--pdf-only") ? args.at(1).toInt() : 100000;
    const ReportData data = madeUp(applicants);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    const auto median = [](const std::function<void()> &step) {
        std::vector<double> ms;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer timer;
            timer.start();
            step();
            ms.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        return ms[1];
    };
    int pages = 0;
    // The pages are drawn on a thread per core: the processor time of all
    // threads beside the clock's shows how much of the work ran side by side.
    std::vector<double> cpuMs;
    const double pdfMs = median([&] {
        const double before = processorMs();
        saveReportPdf(data, path, &pages);
        cpuMs.push_back(processorMs() - before);
    });
    std::sort(cpuMs.begin(), cpuMs.end());
    std::printf("%-52s %10s\n", "step", "ms (median)");
    std::printf("%-52s %10.0f\n",
                qPrintable(QStringLiteral("PDF of %1 applicants (%2 pages, %3 KB)")
                               .arg(applicants)
                               .arg(pages)
                               .arg(QFileInfo(path).size() / 1024)),
                pdfMs);
    std::printf("%-52s %10.0f\n", "the same, processor time of all threads", cpuMs[1]);

    if (pdfOnly)
        return 0;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
    QPrintPreviewWidget preview(&printer);
    QObject::connect(&preview, &QPrintPreviewWidget::paintRequested,
                     [&](QPrinter *p) { paintReport(data, p); });
    const double previewMs = median([&] { preview.updatePreview(); });
    std::printf("%-52s %10.0f\n",
                qPrintable(QStringLiteral("print preview's pages (%1)").arg(preview.pageCount())), previewMs);

    // The floor: the same number of text items on as many pages, each the
    // cheapest a painter records (a short Latin number, one script item).
    ItemCounter counter;
    paintReport(data, &counter);
    const qsizetype items = counter.items();
    const int floorPages = counter.pages();
    QStringList numbers;
    for (int n = 0; n < 100; ++n)
        numbers.append(QString::number(1000 + n * 89));
    QPrintPreviewWidget bare(&printer);
    QObject::connect(&bare, &QPrintPreviewWidget::paintRequested, [&](QPrinter *p) {
        QPainter painter(p);
        const double rowHeight = p->height() / 50.0;
        for (int page = 0; page < floorPages; ++page) {
            if (page > 0)
                p->newPage();
            const qsizetype first = items * page / floorPages;
            const qsizetype last = items * (page + 1) / floorPages;
            for (qsizetype i = first; i < last; ++i)
                painter.drawText(QPointF(double((i - first) % 5) * p->width() / 5,
                                         double((i - first) / 5 % 50) * rowHeight),
                                 numbers.at(i % numbers.size()));
        }
    });
    const double floorMs = median([&] { bare.updatePreview(); });
    std::printf("%-52s %10.0f\n",
                qPrintable(QStringLiteral("print preview's floor: %1 plain texts (%2 pages)")
                               .arg(items)
                               .arg(bare.pageCount())),
                floorMs);
    return 0;
}
