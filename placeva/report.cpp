#include "report.h"

#include "csvexport.h"
#include "form1.h"
#include "toolkit.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QCalendar>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace placeva {

namespace {

constexpr double kBodyPoints = 10;
constexpr double kFootPoints = 9;

QFont reportFont(double points, bool bold = false)
{
    QFont f(QString::fromLatin1(tk::kPersianFamily));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QPageLayout reportPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 12),
                       QPageLayout::Millimeter);
}

QTextBlockFormat rightToLeft(Qt::Alignment alignment = Qt::AlignRight | Qt::AlignAbsolute)
{
    QTextBlockFormat f;
    f.setLayoutDirection(Qt::RightToLeft);
    f.setAlignment(alignment);
    return f;
}

QTextCharFormat charFormat(double points, bool bold = false)
{
    QTextCharFormat f;
    f.setFont(reportFont(points, bold));
    return f;
}

// Lengths in a document's formats are in pixels at 96 dots per inch; the
// layout scales them to the device.
QTextTableFormat tableFormat()
{
    QTextTableFormat f;
    f.setLayoutDirection(Qt::RightToLeft); // first column on the right
    f.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
    f.setCellPadding(3);
    f.setCellSpacing(0);
    f.setBorder(1);
    f.setBorderCollapse(true);
    f.setBorderBrush(QColor(110, 110, 110));
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    return f;
}

// Fills the table's cells row after row from the cursor's cell on. A cell
// without Persian reads left to right, so that "-100" is not shown as "100-".
void fillRow(QTextCursor &cursor, const QStringList &cells, const QTextCharFormat &format,
             Qt::Alignment alignment = Qt::AlignRight | Qt::AlignAbsolute)
{
    for (const QString &cell : cells) {
        QTextBlockFormat block = rightToLeft(alignment);
        if (!tk::hasArabicScript(cell))
            block.setLayoutDirection(Qt::LeftToRight);
        cursor.setBlockFormat(block);
        cursor.insertText(cell, format);
        cursor.movePosition(QTextCursor::NextCell);
    }
}

QString pageFoot(int page, int pages)
{
    return QStringLiteral(u"صفحه %1 از %2").arg(page).arg(pages);
}

double footHeight(QPagedPaintDevice *device)
{
    return 2.2 * kFootPoints * device->logicalDpiY() / 72.0;
}

} // namespace

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

ReportData reportDataFor(const Form1 &main, QDate today)
{
    ReportData data;
    data.title = QStringLiteral(u"گزارش داوطلبان");
    data.date = persianDate(today);
    data.factorCaption = main.Label5->caption();
    data.factorText = main.lastFactorText();
    const tk::Label *captions[9] = {main.Label6,  main.Label7,  main.Label8,  main.Label9, main.Label10,
                                    main.Label11, main.Label12, main.Label13, main.Label15};
    for (size_t i = 0; i < 9; ++i)
        data.figures.append({captions[i]->caption(), main.lbl[i]->caption()});
    data.headers = resultHeaders();
    const PassResult &pass = main.lastPass();
    const qsizetype rows = std::min({pass.list1.size(), pass.list2.size(), pass.list4.size(), pass.list5.size()});
    data.rows.reserve(rows / 2);
    for (qsizetype k = 0; k < rows; k += 2)
        data.rows.append({pass.list1.at(k), pass.list2.at(k), pass.list4.at(k), pass.list5.at(k)});
    return data;
}

std::unique_ptr<QTextDocument> reportDocument(const ReportData &data, QPagedPaintDevice *device)
{
    // The layout is made only once the text is in: laid out while rows are
    // added, a table spanning pages costs time with the square of its rows.
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(reportFont(kBodyPoints));
    QTextOption option = doc->defaultTextOption();
    option.setTextDirection(Qt::RightToLeft);
    doc->setDefaultTextOption(option);
    doc->setDocumentMargin(0);

    QTextCursor cursor(doc.get());
    cursor.setBlockFormat(rightToLeft(Qt::AlignHCenter));
    cursor.insertText(data.title, charFormat(16, true));

    QTextBlockFormat line = rightToLeft();
    line.setTopMargin(8);
    cursor.insertBlock(line);
    cursor.insertText(QStringLiteral(u"تاريخ: "), charFormat(kBodyPoints, true));
    cursor.insertText(data.date, charFormat(kBodyPoints));
    cursor.insertBlock(rightToLeft());
    cursor.insertText(data.factorCaption + QStringLiteral(": "), charFormat(kBodyPoints, true));
    cursor.insertText(data.factorText, charFormat(kBodyPoints));

    QTextBlockFormat gap = rightToLeft();
    gap.setTopMargin(6);
    cursor.insertBlock(gap);

    // The summary figures: caption and value side by side.
    QTextTableFormat figuresFormat = tableFormat();
    figuresFormat.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 70),
                                             QTextLength(QTextLength::PercentageLength, 30)});
    QTextTable *figures = cursor.insertTable(int(data.figures.size()), 2, figuresFormat);
    QTextCursor cell = figures->cellAt(0, 0).firstCursorPosition();
    for (const auto &figure : data.figures)
        fillRow(cell, {figure.first, figure.second}, charFormat(kBodyPoints));
    cursor = QTextCursor(doc.get());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock(gap);

    // Every applicant; the header row repeats at the top of each page.
    QTextTableFormat rowsFormat = tableFormat();
    rowsFormat.setHeaderRowCount(1);
    rowsFormat.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 30),
                                          QTextLength(QTextLength::PercentageLength, 21),
                                          QTextLength(QTextLength::PercentageLength, 13),
                                          QTextLength(QTextLength::PercentageLength, 36)});
    QTextTable *table = cursor.insertTable(int(data.rows.size()) + 1, int(data.headers.size()), rowsFormat);
    for (int c = 0; c < data.headers.size(); ++c) {
        QTextTableCellFormat shade;
        shade.setBackground(QColor(224, 224, 224));
        table->cellAt(0, c).setFormat(shade);
    }
    cell = table->cellAt(0, 0).firstCursorPosition();
    fillRow(cell, data.headers, charFormat(kBodyPoints, true), Qt::AlignHCenter);
    const QTextCharFormat body = charFormat(kBodyPoints);
    for (const QStringList &row : data.rows)
        fillRow(cell, row, body);

    doc->documentLayout()->setPaintDevice(device);
    doc->setPageSize(QSizeF(device->width(), device->height() - footHeight(device)));
    return doc;
}

int paintReport(const ReportData &data, QPagedPaintDevice *device)
{
    const std::unique_ptr<QTextDocument> doc = reportDocument(data, device);
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    const QSizeF page = doc->pageSize();
    const int pages = doc->pageCount();
    QTextOption footOption(Qt::AlignHCenter | Qt::AlignVCenter);
    footOption.setTextDirection(Qt::RightToLeft);
    const QFont foot = reportFont(kFootPoints);
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device->newPage())
            return 0;
        painter.save();
        const QRectF area(0, i * page.height(), page.width(), page.height());
        painter.translate(0, -area.top());
        painter.setClipRect(area);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = area;
        doc->documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(foot);
        painter.drawText(QRectF(0, page.height(), page.width(), footHeight(device)), pageFoot(i + 1, pages),
                         footOption);
    }
    painter.end();
    return pages;
}

QString saveReportPdf(const ReportData &data, const QString &path, int *pages)
{
    if (pages)
        *pages = 0;
    // Painted into memory first, then written whole: the PDF writer does not
    // notice a write the disk took only in part.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int written = 0;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setPageLayout(reportPageLayout());
        writer.setTitle(data.title);
        writer.setCreator(QStringLiteral("Placeva"));
        written = paintReport(data, &writer);
    }
    if (written == 0)
        return QStringLiteral(u"گزارش براي پرونده «%1» ساخته نشد.")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    const QString error = writeFileWhole(path, buffer.data());
    if (error.isEmpty() && pages)
        *pages = written;
    return error;
}

void previewAndPrintReport(const ReportData &data, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(reportPageLayout());
    printer.setDocName(data.title);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral(u"پيش نمايش چاپ گزارش"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&data](QPrinter *p) { paintReport(data, p); });
    preview.exec();
}

} // namespace placeva
