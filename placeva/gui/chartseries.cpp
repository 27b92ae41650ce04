#include "bidi.h"
#include "core/datalocation.h"
#include "core/workspace.h"
#include "gui/chartparts.h"
#include "gui/charttexts.h"
#include "gui/chartwindow.h"
#include "gui/filetexts.h"
#include "gui/passtexts.h"
#include "numbers.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>

#include <algorithm>
#include <cmath>

namespace placeva {

using namespace chart_texts;
using namespace chart_parts;

void ChartWindow::drawLine()
{
    if (!m_data.model)
        return;
    QVector<QPointF> line = estimateLine(*m_data.model, m_xTicks.min, m_xTicks.max);
    m_lineWidth = m_chart->plotArea().width();
    const double step = (m_xTicks.max - m_xTicks.min) / std::max(100.0, m_lineWidth) * 3;

    // The likely range changes along the line as other reference results
    // come nearest: sampled every few pixels as well as at the line's bends.
    BandOutline band = bandOutline(likelyBand(*m_data.model, line, step));
    if (Check1->isChecked()) {
        // Straight in ranks is curved on a log axis: points every few pixels.
        line = clampBelow(densify(line, step), m_yTicks.min);
        band.best = clampBelow(densify(band.best, step), m_yTicks.min);
        band.worst = clampBelow(densify(band.worst, step), m_yTicks.min);
    }
    estimateSeries->replace(line);
    likelySeries->upperSeries()->replace(band.best);
    likelySeries->lowerSeries()->replace(band.worst);
}

PlotMapping ChartWindow::mapping() const
{
    PlotMapping m;
    QSizeF size = m_chart->plotArea().size();
    if (size.isEmpty()) // not laid out yet: the view's size is near enough
        size = QSizeF(Chart1->size()) * 0.8;
    m.size = size;
    m.xMin = m_xTicks.min;
    m.xMax = m_xTicks.max;
    m.yMin = m_yTicks.min;
    m.yMax = m_yTicks.max;
    m.logY = Check1->isChecked();
    return m;
}

void ChartWindow::thinMarkers()
{
    const PlotMapping m = mapping();
    m_keptApplicants = onePerPixel(m_applicantPoints, m);
    QList<QPointF> points;
    points.reserve(m_keptApplicants.size());
    for (qsizetype i : std::as_const(m_keptApplicants))
        points.append(m_applicantPoints[i]);
    applicantSeries->replace(points);

    m_keptReferences = onePerPixel(m_data.references, m);
    points.clear();
    for (qsizetype i : std::as_const(m_keptReferences))
        points.append(m_data.references[i]);
    referenceSeries->replace(points);
}

void ChartWindow::placeTexts()
{
    const QRectF plot = m_chart->plotArea();
    const bool logY = Check1->isChecked();
    const auto rankToY = [&](double rank) {
        if (logY) {
            const double a = std::log10(m_yTicks.min), b = std::log10(m_yTicks.max);
            return plot.top() + (std::log10(rank) - a) / (b - a) * plot.height();
        }
        return plot.top() + (rank - m_yTicks.min) / (m_yTicks.max - m_yTicks.min) * plot.height();
    };

    // Each band's text beside its stripe, right of the plot; a stripe too
    // thin for its text gives way to the one above it.
    const QVector<BandStripe> stripes = visibleStripes(m_yTicks.min, m_yTicks.max);
    qreal widest = 0;
    for (QGraphicsSimpleTextItem *t : std::as_const(m_bandTexts))
        t->hide();
    qreal lowestBottom = -HUGE_VAL;
    for (qsizetype i = 0; i < stripes.size() && i < m_bandTexts.size(); ++i) {
        QGraphicsSimpleTextItem *t = m_bandTexts[i];
        t->setText(bandText(stripes[i].band));
        const QRectF r = t->boundingRect();
        widest = std::max(widest, r.width());
        const double centre = (rankToY(stripes[i].from) + rankToY(stripes[i].to)) / 2;
        const double top = centre - r.height() / 2;
        if (top < lowestBottom || !std::isfinite(top))
            continue;
        t->setPos(plot.right() + 8, top);
        t->setToolTip(t->text());
        t->show();
        lowestBottom = top + r.height();
    }
    // Room for the texts on the right, once it is known how wide they are.
    QMargins margins = m_chart->margins();
    const int right = int(std::ceil(widest)) + 16;
    if (margins.right() != right) {
        margins.setRight(right);
        m_chart->setMargins(margins);
    }

    const bool noEstimate = m_data.status != RankModel::Status::Ready;
    m_noEstimateText->setVisible(noEstimate);
    if (noEstimate) {
        const QRectF r = m_noEstimateText->boundingRect();
        m_noEstimateText->setPos(plot.center() - r.center());
    }
}

QVector<qsizetype> ChartWindow::drawnAt(QPointF value) const
{
    QVector<qsizetype> found;
    const PlotMapping m = mapping();
    const std::optional<QPoint> pixel = m.pixel(value);
    if (!pixel)
        return found;
    for (qsizetype i = 0; i < m_applicantPoints.size(); ++i)
        if (m.pixel(m_applicantPoints[i]) == pixel)
            found.append(i);
    return found;
}

QVector<qsizetype> ChartWindow::applicantsAt(QPointF value) const
{
    QVector<qsizetype> found = drawnAt(value);
    for (qsizetype &i : found)
        i = m_data.applicants[i].index;
    return found;
}

QVector<qsizetype> ChartWindow::referencesAt(QPointF value) const
{
    QVector<qsizetype> found;
    const PlotMapping m = mapping();
    const std::optional<QPoint> pixel = m.pixel(value);
    if (!pixel)
        return found;
    for (qsizetype i = 0; i < m_data.references.size(); ++i)
        if (m.pixel(m_data.references[i]) == pixel)
            found.append(i);
    return found;
}

} // namespace placeva
