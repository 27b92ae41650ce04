#include "gui/report.h"

#include "bidi.h"
#include "core/workspace.h"
#include "gui/filetexts.h"
#include "gui/passtexts.h"
#include "gui/pdfpaint.h"
#include "gui/pdfwriter.h"
#include "gui/resultsexport.h"
#include "numbers.h"
#include "toolkit.h"

#include <QBuffer>
#include <QCalendar>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScopeGuard>
#include <QProgressDialog>
#include <QTextLayout>
#include <QThread>
#include <QVarLengthArray>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace placeva {

namespace {

constexpr double kTitlePoints = 16;
constexpr double kBodyPoints = 10;
constexpr double kFootPoints = 9;
constexpr int kPdfResolution = 300;

// Lengths in pixels at 96 dots per inch, as on screen; scaled to the device.
constexpr double kPadding = 3;
constexpr double kBorder = 1;
constexpr double kTitleGap = 8;
constexpr double kTableGap = 6;

// Shares of the width, the first column on the right.
const std::vector<double> kFigureColumns = {0.70, 0.30};
const std::vector<double> kApplicantColumns = {0.24, 0.11, 0.13, 0.17, 0.35};

QString pageFoot(int page, int pages)
{
    return QStringLiteral(u"صفحه %1 از %2").arg(page).arg(pages);
}

// Where everything goes, in the device's pixels. Every row of a table has the
// same height, so that the rows on each page follow from their count.
struct Geometry
{
    double scale = 1;
    double width = 0;
    double bodyHeight = 0; // above the foot
    double footHeight = 0;
    double padding = 0;
    double border = 0;
    double lineHeight = 0;
    double rowHeight = 0;
    double titleHeight = 0;
    double tableTop = 0;   // of the applicants' header row on the first page
    int firstPageRows = 0; // -1: the table starts on the second page
    int pageRows = 1;

    int pageCount(qsizetype rows) const
    {
        if (firstPageRows >= 0 && rows <= firstPageRows)
            return 1;
        const qsizetype rest = rows - std::max(firstPageRows, 0);
        return 1 + std::max(1, int((rest + pageRows - 1) / pageRows));
    }

    // The applicants on `page` (from 0): the first and one past the last.
    std::pair<qsizetype, qsizetype> rowsOn(int page, qsizetype rows) const
    {
        const qsizetype first = std::max(firstPageRows, 0);
        if (page == 0)
            return {0, std::min(first, rows)};
        const qsizetype begin = first + qsizetype(page - 1) * pageRows;
        return {std::min(begin, rows), std::min(begin + pageRows, rows)};
    }
};

Geometry geometryFor(const ReportData &data, QPaintDevice *device, Shaper &title, Shaper &body, Shaper &bold)
{
    Geometry g;
    g.scale = device->logicalDpiY() / 96.0;
    g.width = device->width();
    g.footHeight = 2.2 * kFootPoints * device->logicalDpiY() / 72.0;
    g.bodyHeight = device->height() - g.footHeight;
    g.padding = kPadding * g.scale;
    g.border = kBorder * g.scale;
    g.lineHeight = std::max(body.lineHeight(), bold.lineHeight());
    g.rowHeight = g.lineHeight + 2 * g.padding + g.border;
    g.titleHeight = title.lineHeight();
    double y = g.titleHeight + kTitleGap * g.scale + (data.note.isEmpty() ? 2 : 3) * g.lineHeight
        + kTableGap * g.scale;
    if (!data.figures.isEmpty())
        y += data.figures.size() * g.rowHeight + kTableGap * g.scale;
    g.tableTop = y;
    g.firstPageRows = int(std::floor((g.bodyHeight - y - g.rowHeight) / g.rowHeight));
    g.pageRows = std::max(1, int(std::floor((g.bodyHeight - g.rowHeight) / g.rowHeight)));
    return g;
}

// Column edges from right to left: column c lies between edges[c + 1] and edges[c].
std::vector<double> columnEdges(const std::vector<double> &shares, qsizetype columns, double width)
{
    std::vector<double> edges{width};
    for (qsizetype c = 0; c < columns; ++c) {
        const double share = qsizetype(shares.size()) == columns ? shares[size_t(c)] : 1.0 / double(columns);
        edges.push_back(edges.back() - share * width);
    }
    edges.back() = 0;
    return edges;
}

// The lines of a table `rows` high whose top is at `top`.
void drawGrid(PageSurface &surface, const Geometry &g, double top, int rows, const std::vector<double> &edges)
{
    QVarLengthArray<QLineF, 128> lines;
    const double bottom = top + rows * g.rowHeight;
    for (int r = 0; r <= rows; ++r)
        lines.append(QLineF(0, top + r * g.rowHeight, g.width, top + r * g.rowHeight));
    for (double x : edges)
        lines.append(QLineF(x, top, x, bottom));
    surface.drawLines(lines.constData(), int(lines.size()),
                      QPen(QColor(110, 110, 110), g.border, Qt::SolidLine, Qt::SquareCap));
}

void drawRow(PageSurface &surface, const Geometry &g, double top, const QStringList &cells,
             const std::vector<double> &edges, Shaper &shaper, Qt::Alignment alignment)
{
    const qsizetype columns = std::min(cells.size(), qsizetype(edges.size()) - 1);
    for (qsizetype c = 0; c < columns; ++c) {
        const QRectF box(edges[size_t(c + 1)] + g.padding, top,
                         edges[size_t(c)] - edges[size_t(c + 1)] - 2 * g.padding, g.rowHeight);
        shaper.draw(surface, box, cells.at(c), alignment);
    }
}

// A caption in bold with its value after it, both at the right: the
// caption's colon on its left, as Persian puts it, then a space.
void drawCaptioned(PageSurface &surface, const Geometry &g, double top, const QString &caption,
                   const QString &value, Shaper &bold, Shaper &body)
{
    const QString words = caption.trimmed();
    const double captionWidth = std::min(bold.width(words), g.width);
    const double gap = g.lineHeight / 3;
    bold.draw(surface, QRectF(g.width - captionWidth, top, captionWidth, g.lineHeight), words,
              Qt::AlignRight);
    body.draw(surface, QRectF(0, top, std::max(0.0, g.width - captionWidth - gap), g.lineHeight), value,
              Qt::AlignRight);
}

} // namespace

QPageLayout reportPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 12),
                       QPageLayout::Millimeter);
}

QString persianDate(QDate date)
{
    QCalendar calendar(QCalendar::System::Jalali);
    if (!calendar.isValid())
        calendar = QCalendar(); // a Qt built without it: the date still shows
    const QCalendar::YearMonthDay ymd = calendar.partsFromDate(date);
    return QStringLiteral("%1/%2/%3")
        .arg(ymd.year, 4, 10, QLatin1Char('0'))
        .arg(ymd.month, 2, 10, QLatin1Char('0'))
        .arg(ymd.day, 2, 10, QLatin1Char('0'));
}

QStringList reportHeaders()
{
    const QStringList results = resultHeaders();
    return {results.at(0), results.at(1), results.at(2), QStringLiteral(u"بازه رتبه محتمل"), results.last()};
}

namespace {
// The report shows averages with two decimals (the exports keep every digit);
// a text that is no number stays as it is.
QString reportAverage(const QString &average)
{
    if (average.trimmed().isEmpty())
        return average;
    try {
        return common::fixed2Text(common::leadingNumber(average));
    } catch (const std::exception &) {
        return average;
    }
}
} // namespace

ReportData reportDataFor(const Workspace &pass, QDate today)
{
    ReportData data;
    data.title = QStringLiteral(u"گزارش داوطلبان");
    data.date = persianDate(today);
    data.factorCaption = factorCaption();
    const PassResult &result = pass.result();
    data.factorText = result.model ? result.model->changeFactor().shown() : pass.factorText();
    data.note = leftOutText(result.leftOut);
    const std::array<QString, kFigureCount> values = figureTexts(result);
    for (size_t i = 0; i < kFigureCount; ++i)
        data.figures.append({figureCaptions()[i], values[i]});
    if (result.summary.typicalError)
        data.typicalError = typicalErrorText(*result.summary.typicalError);
    data.headers = reportHeaders();
    data.rows.reserve(result.applicants.size());
    for (qsizetype i = 0; i < result.applicants.size(); ++i) {
        const ApplicantResult &a = result.applicants[i];
        data.rows.append({a.name, reportAverage(averageText(pass.applicants().value(i))), rankText(a.rank),
                          rangeText(a.range), bandText(a.band)});
    }
    return data;
}

namespace {

struct ReportShapers
{
    explicit ReportShapers(QPaintDevice *device)
        : title(reportFont(kTitlePoints, true), device), body(reportFont(kBodyPoints), device),
          bold(reportFont(kBodyPoints, true), device), foot(reportFont(kFootPoints), device)
    { }
    Shaper title;
    Shaper body;
    Shaper bold;
    Shaper foot;
};

// What every page shares: where everything goes and how many pages.
struct Pages
{
    Geometry g;
    std::vector<double> figureEdges;
    std::vector<double> rowEdges;
    int count = 0;
};

Pages pagesFor(const ReportData &data, QPaintDevice *device, ReportShapers &shapers)
{
    Pages p;
    p.g = geometryFor(data, device, shapers.title, shapers.body, shapers.bold);
    p.figureEdges = columnEdges(kFigureColumns, 2, p.g.width);
    p.rowEdges = columnEdges(kApplicantColumns, data.headers.size(), p.g.width);
    p.count = p.g.pageCount(data.rows.size());
    return p;
}

// Draws `page` (from 0) on `surface`.
void paintPage(const ReportData &data, const Pages &p, ReportShapers &shapers, PageSurface &surface, int page)
{
    Shaper &title = shapers.title;
    Shaper &body = shapers.body;
    Shaper &bold = shapers.bold;
    const Geometry &g = p.g;
    double top = 0;
    if (page == 0) {
        title.draw(surface, QRectF(0, 0, g.width, g.titleHeight), data.title, Qt::AlignHCenter);
        top = g.titleHeight + kTitleGap * g.scale;
        drawCaptioned(surface, g, top, QStringLiteral(u"تاريخ: "), data.date, bold, body);
        top += g.lineHeight;
        const QString factor = data.typicalError.isEmpty() ? data.factorText
                                                           : common::isolate(data.factorText)
                + QStringLiteral(u"   (") + data.typicalError + QLatin1Char(')');
        drawCaptioned(surface, g, top, data.factorCaption + QStringLiteral(": "), factor, bold, body);
        top += g.lineHeight;
        if (!data.note.isEmpty()) {
            body.draw(surface, QRectF(0, top, g.width, g.lineHeight), data.note, Qt::AlignRight);
            top += g.lineHeight;
        }
        top += kTableGap * g.scale;
        const double figuresTop = top;
        for (const auto &figure : data.figures) {
            drawRow(surface, g, top, {figure.first, figure.second}, p.figureEdges, body, Qt::AlignRight);
            top += g.rowHeight;
        }
        if (!data.figures.isEmpty())
            drawGrid(surface, g, figuresTop, int(data.figures.size()), p.figureEdges);
        top = g.tableTop;
    }
    // The applicants, under the header row that every page repeats.
    if (page > 0 || g.firstPageRows >= 0) {
        const auto [begin, end] = g.rowsOn(page, data.rows.size());
        surface.fillRect(QRectF(0, top, g.width, g.rowHeight), QColor(224, 224, 224));
        drawRow(surface, g, top, data.headers, p.rowEdges, bold, Qt::AlignHCenter);
        double y = top + g.rowHeight;
        for (qsizetype r = begin; r < end; ++r, y += g.rowHeight)
            drawRow(surface, g, y, data.rows.at(r), p.rowEdges, body, Qt::AlignRight);
        drawGrid(surface, g, top, int(end - begin) + 1, p.rowEdges);
    }
    shapers.foot.draw(surface, QRectF(0, g.bodyHeight, g.width, g.footHeight), pageFoot(page + 1, p.count),
                      Qt::AlignHCenter);
}

// Draws every page on `surface`, laid out for `device`; `newPage` starts each
// page after the first, `pageDone` is told after each. Returns how many pages,
// 0 if either said no.
int paintPages(const ReportData &data, QPaintDevice *device, ReportShapers &shapers, PageSurface &surface,
               const std::function<bool()> &newPage, const ReportProgress &pageDone)
{
    const Pages p = pagesFor(data, device, shapers);
    for (int page = 0; page < p.count; ++page) {
        if (page > 0 && !newPage())
            return 0;
        paintPage(data, p, shapers, surface, page);
        if (pageDone && !pageDone(page + 1, p.count))
            return 0;
    }
    return p.count;
}

// The report written as PDF directly; nothing where a font cannot be
// embedded that way (*stopped tells a stop from `progress`). The pages are
// drawn and compressed on a thread per core, each with fonts and shapes of
// its own, and added to the file here in their order, as `progress` is told.
std::optional<QByteArray> directPdf(const ReportData &data, int *written, bool *stopped,
                                    const ReportProgress &progress)
{
    PdfWriter pdf(reportPageLayout(), kPdfResolution);
    pdf.setTitle(data.title);
    pdf.setCreator(QStringLiteral("Placeva"));
    const int threads = std::clamp(QThread::idealThreadCount(), 1, 4);
    // A few pages ahead per thread, no more: memory stays small whatever the report.
    const int ahead = threads * 4;

    std::mutex mutex;
    std::condition_variable changed;
    int pages = -1;        // known once a thread has laid the pages out
    int next = 0;          // the next page a thread takes
    int added = 0;         // pages in the file
    int drawnBelow = 0;    // every page before it drawn
    std::vector<bool> drawn;
    std::map<int, QByteArray> packed; // drawn and compressed, not yet in the file
    bool stop = false;
    bool failed = false;

    std::vector<std::unique_ptr<PdfPageEncoder>> encoders;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        encoders.push_back(pdf.newEncoder());
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, encoder = encoders[size_t(t)].get()] {
            // Laid out for Qt's PDF writer, as a file written through it would be.
            QBuffer unused;
            QPdfWriter layout(&unused);
            layout.setResolution(kPdfResolution);
            layout.setPageLayout(reportPageLayout());
            ReportShapers shapers(&layout);
            const Pages laid = pagesFor(data, &layout, shapers);
            int page = -1;
            // Fonts are numbered as the pages meet them.
            encoder->setBeforeNewFont([&] {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || failed || drawnBelow >= page; });
                return !stop && !failed;
            });
            {
                const std::lock_guard lock(mutex);
                if (pages < 0) {
                    pages = laid.count;
                    drawn.assign(size_t(pages), false);
                }
            }
            changed.notify_all();
            for (;;) {
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stop || failed || next >= pages || next < added + ahead; });
                    if (stop || failed || next >= pages)
                        return;
                    page = next++;
                }
                paintPage(data, laid, shapers, *encoder, page);
                const std::string content = encoder->endPage();
                if (encoder->failed()) {
                    {
                        const std::lock_guard lock(mutex);
                        failed = true;
                    }
                    changed.notify_all();
                    return;
                }
                {
                    const std::lock_guard lock(mutex);
                    drawn[size_t(page)] = true;
                    while (drawnBelow < pages && drawn[size_t(drawnBelow)])
                        ++drawnBelow;
                }
                changed.notify_all();
                QByteArray bytes = PdfWriter::packed(content);
                {
                    const std::lock_guard lock(mutex);
                    packed.emplace(page, std::move(bytes));
                }
                changed.notify_all();
            }
        });
    }
    const auto stopWorkers = [&] {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (std::thread &w : workers)
            w.join();
        workers.clear();
    };
    const auto joinWorkers = qScopeGuard(stopWorkers);

    *written = 0;
    for (int page = 0;; ++page) {
        QByteArray bytes;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return failed || (pages >= 0 && page >= pages) || packed.count(page); });
            if (failed || page >= pages)
                break;
            auto found = packed.find(page);
            bytes = std::move(found->second);
            packed.erase(found);
        }
        pdf.addPage(bytes);
        {
            const std::lock_guard lock(mutex);
            added = page + 1;
        }
        changed.notify_all();
        if (progress && !progress(page + 1, pages)) {
            *stopped = true;
            break;
        }
    }
    stopWorkers();
    encoders.clear(); // their glyphs into the file's fonts
    if (failed)
        return std::nullopt;
    if (*stopped)
        return QByteArray();
    *written = pages;
    return pdf.finish();
}

} // namespace

int paintReport(const ReportData &data, QPagedPaintDevice *device, const ReportProgress &progress)
{
    ReportShapers shapers(device);
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    PainterSurface surface(painter);
    const int pages = paintPages(
        data, device, shapers, surface, [&] { return device->newPage(); },
        [&](int done, int total) {
            if (progress && !progress(done, total)) {
                // A printer is asked to drop the job; the preview keeps what it has.
                auto *printer = dynamic_cast<QPrinter *>(device);
                if (printer && printer->paintEngine() && printer->paintEngine()->type() != QPaintEngine::Picture)
                    printer->abort();
                return false;
            }
            return true;
        });
    painter.end();
    return pages;
}

QString saveReportPdf(const ReportData &data, const QString &path, int *pages, const ReportProgress &progress)
{
    if (pages)
        *pages = 0;
    // Painted into memory first, then written whole: the PDF writer does not
    // notice a write the disk took only in part.
    int written = 0;
    bool stopped = false;
    if (std::optional<QByteArray> direct = directPdf(data, &written, &stopped, progress)) {
        if (stopped)
            return QString();
        if (written == 0)
            return QStringLiteral(u"گزارش براي پرونده «%1» ساخته نشد.")
                .arg(common::isolatedPath(QFileInfo(path).absoluteFilePath()));
        const QString error = writeFileWhole(path, *direct);
        if (error.isEmpty() && pages)
            *pages = written;
        return error;
    }
    // A font the direct writer cannot embed: through Qt's PDF writer.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    written = 0;
    stopped = false;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfResolution);
        writer.setPageLayout(reportPageLayout());
        writer.setTitle(data.title);
        writer.setCreator(QStringLiteral("Placeva"));
        written = paintReport(data, &writer, [&](int done, int total) {
            stopped = progress && !progress(done, total);
            return !stopped;
        });
    }
    if (stopped)
        return QString();
    if (written == 0)
        return QStringLiteral(u"گزارش براي پرونده «%1» ساخته نشد.")
            .arg(common::isolatedPath(QFileInfo(path).absoluteFilePath()));
    const QString error = writeFileWhole(path, buffer.data());
    if (error.isEmpty() && pages)
        *pages = written;
    return error;
}

} // namespace placeva
