#include "bidi.h"
#include "core/datalocation.h"
#include "core/workspace.h"
#include "gui/chartparts.h"
#include "gui/charttexts.h"
#include "gui/chartwindow.h"
#include "gui/filetexts.h"

#include <QBuffer>
#include <QFileDialog>
#include <QPainter>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>

#include <algorithm>
#include <cmath>

namespace placeva {

using namespace chart_texts;
using namespace chart_parts;

namespace {

ChartWindow::FileChooser &fileChooser()
{
    static ChartWindow::FileChooser chooser;
    return chooser;
}

QString chooseWithDialog(QWidget *parent)
{
    QString caption = text(kSaveImage);
    caption.remove(QStringLiteral("..."));
    QFileDialog dialog(parent, caption);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setLayoutDirection(Qt::RightToLeft);
    dialog.setNameFilters({QStringLiteral("PNG (*.png)"), QStringLiteral("SVG (*.svg)")});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(filter.contains(QLatin1String("svg")) ? QStringLiteral("svg")
                                                                      : QStringLiteral("png"));
    });
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    dialog.selectFile(text(kChartMenu) + QStringLiteral(".png"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace

ChartWindow::FileChooser ChartWindow::setFileChooser(FileChooser chooser)
{
    FileChooser old = std::move(fileChooser());
    fileChooser() = std::move(chooser);
    return old;
}

void ChartWindow::Command1_Click()
{
    const FileChooser &chooser = fileChooser();
    const QString file = chooser ? chooser(this) : chooseWithDialog(this);
    if (!file.isEmpty())
        saveImage(file);
}

bool ChartWindow::saveImage(const QString &file)
{
    const QString database = m_ws->databaseFile();
    if (const DatabaseFile which = databaseFileNamed(file, database); which != DatabaseFile::None) {
        tk::MsgBox::show(this, QStringLiteral(u"خطا"), databaseClashText(file, database, which, false),
                         tk::MsgBox::Critical);
        return false;
    }
    const QString error = writeImage(file);
    if (error.isEmpty())
        return true;
    tk::MsgBox::show(this, QStringLiteral(u"خطا"),
                     QStringLiteral(u"تصوير ذخيره نشد:\n%1\n%2").arg(common::isolatedPath(file), error),
                     tk::MsgBox::Critical);
    return false;
}

QString ChartWindow::writeImage(const QString &file) const
{
    // Drawn into memory first, then written whole, so that a failed save
    // leaves no half-written picture behind and is never taken for success.
    const QSize size = Chart1->size();
    const QRect source = Chart1->viewport()->rect();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(m_chart->title());
        svg.setDescription(Chart1->accessibleDescription());
        QPainter painter;
        if (!painter.begin(&svg))
            return QStringLiteral("SVG");
        // Markers as vectors in a vector picture, stamped again once drawn.
        for (QScatterSeries *s : {referenceSeries, applicantSeries})
            drawMarkers(s, kMarkerSize);
        Chart1->render(&painter, QRectF(QPointF(0, 0), size), source);
        for (QScatterSeries *s : {referenceSeries, applicantSeries})
            stampMarkers(s, kMarkerSize);
        painter.end();
    } else {
        // At the size shown, times the screen's whole pixel ratio.
        const int scale = std::max(1, int(std::ceil(Chart1->devicePixelRatioF())));
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        Chart1->render(&painter, QRectF(QPointF(0, 0), size), source);
        painter.end();
        if (!image.save(&buffer, "PNG"))
            return QStringLiteral("PNG");
    }
    buffer.close();
    // The program's one whole-file writer: a file replaced only once complete.
    return writeFileWhole(file, buffer.data());
}

} // namespace placeva
