#include "gui/chartwindow.h"

#include "core/workspace.h"
#include "gui/chartparts.h"
#include "gui/charttexts.h"
#include "gui/passtexts.h"
#include "numbers.h"

#include <QApplication>
#include <QCheckBox>
#include <QGraphicsItem>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
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

namespace {

void setCategoryTicks(QCategoryAxis *axis, const AxisTicks &ticks)
{
    for (const QString &label : axis->categoriesLabels())
        axis->remove(label);
    // Labels stand at the categories' upper ends: the first category ends
    // at the lowest tick.
    const double first = ticks.values.isEmpty() ? ticks.min : ticks.values.first();
    axis->setStartValue(std::min(ticks.min, first) - ticks.step * 1e-9);
    for (double v : ticks.values)
        axis->append(common::shortestText(v), v);
    axis->setRange(ticks.min, ticks.max);
}

// Exactly the same points, to the last bit.
bool samePoints(const QList<QPointF> &a, const QList<QPointF> &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const QPointF &p, const QPointF &q) {
               return p.x() == q.x() && p.y() == q.y();
           });
}

// A series given new points computes its whole geometry again (for the
// estimate's line, a stroke of every bend): points exactly as they are change
// nothing and are not given.
void setPoints(QXYSeries *series, const QList<QPointF> &points)
{
    if (!samePoints(series->points(), points))
        series->replace(points);
}

void hideFromLegend(QChart *chart, QLineSeries *series)
{
    for (QLegendMarker *m : chart->legend()->markers(series))
        m->setVisible(false);
}

} // namespace

namespace chart_parts {

void stampMarkers(QScatterSeries *series, qreal size)
{
    const qreal pen = series->pen().widthF();
    const int side = int(std::ceil(size + 2 * pen));
    // As sharp as the screen: drawn at its whole pixel ratio.
    const qreal ratio = std::max(1.0, std::ceil(qApp->devicePixelRatio()));
    QImage picture(QSize(side, side) * ratio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(series->pen());
    painter.setBrush(series->brush());
    // Where the item would stand: its outline included, half the outline's
    // width up and to the left of the point.
    const QRectF marker(side / 2.0 - (size + pen) / 2, side / 2.0 - (size + pen) / 2, size, size);
    if (series->markerShape() == QScatterSeries::MarkerShapeRectangle)
        painter.drawRect(marker);
    else
        painter.drawEllipse(marker);
    painter.end();
    series->setMarkerSize(side);
    series->setLightMarker(picture);
}

void drawMarkers(QScatterSeries *series, qreal size)
{
    series->setLightMarker(QImage());
    series->setMarkerSize(size);
}

} // namespace chart_parts

// The estimate's line and the band of likely ranks. Given as series points,
// Qt Charts strokes the whole of each new line and band edge for its hover
// area, and draws them again on every paint, even where only the target
// moved; this item keeps what it drew on the screen as a picture and only
// copies that while nothing changed. It takes no pointer events.
class LineItem : public QGraphicsItem
{
public:
    LineItem(QChart *chart, QLineSeries *line, QAreaSeries *band)
        : QGraphicsItem(chart), m_chart(chart), m_lineSeries(line), m_bandSeries(band)
    {
        setAcceptedMouseButtons(Qt::NoButton);
        setAcceptHoverEvents(false);
    }

    const QVector<QPointF> &line() const { return m_line; }
    const BandOutline &band() const { return m_band; }

    void setPoints(QVector<QPointF> line, BandOutline band)
    {
        m_line = std::move(line);
        m_band = std::move(band);
        m_placed = false;
        m_drawn = {};
        update();
    }
    void setPlot(const QRectF &plot)
    {
        if (plot == m_plot)
            return;
        prepareGeometryChange();
        m_plot = plot;
        m_drawn = {};
    }

    QRectF boundingRect() const override { return m_plot.adjusted(-1, -1, 1, 1); }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        if (place())
            m_drawn = {};
        const QTransform &world = painter->worldTransform();
        // A vector picture, or one drawn at another scale, is drawn anew.
        if (painter->paintEngine()->type() != QPaintEngine::Raster || world.type() > QTransform::TxTranslate) {
            draw(painter);
            return;
        }
        const Drawn now{world.dx(), world.dy(), painter->device()->devicePixelRatio(),
                        painter->testRenderHint(QPainter::Antialiasing), m_lineSeries->isVisible(),
                        m_bandSeries->isVisible(), m_lineSeries->pen(), m_bandSeries->pen(), m_bandSeries->brush()};
        // On whole pixels of the device, so that the copy lands where the
        // drawing would have.
        const QRectF bounds = world.mapRect(boundingRect());
        const QPoint origin(int(std::floor(bounds.left())), int(std::floor(bounds.top())));
        if (!(now == m_drawn) || m_picture.isNull()) {
            const QSize size = QSize(int(std::ceil(bounds.right())) - origin.x() + 1,
                                     int(std::ceil(bounds.bottom())) - origin.y() + 1)
                * now.ratio;
            // A picture beyond some 64 MB, or one that could not be had, is
            // not kept: drawn straight away instead.
            m_picture = qint64(size.width()) * size.height() <= (qint64(16) << 20)
                ? QImage(size, QImage::Format_ARGB32_Premultiplied)
                : QImage();
            if (m_picture.isNull()) {
                m_drawn = {};
                draw(painter);
                return;
            }
            m_picture.setDevicePixelRatio(now.ratio);
            m_picture.fill(Qt::transparent);
            QPainter p(&m_picture);
            p.setRenderHint(QPainter::Antialiasing, now.antialiased);
            p.setWorldTransform(world * QTransform::fromTranslate(-origin.x(), -origin.y()));
            draw(&p);
            p.end();
            m_drawn = now;
            m_origin = origin;
        }
        painter->save();
        painter->setWorldTransform(QTransform());
        painter->drawImage(m_origin, m_picture);
        painter->restore();
    }

private:
    // What the picture was drawn for.
    struct Drawn
    {
        qreal dx = 0, dy = 0, ratio = 0;
        bool antialiased = false, lineShown = false, bandShown = false;
        QPen linePen, bandPen;
        QBrush bandBrush;
        bool operator==(const Drawn &o) const
        {
            return dx == o.dx && dy == o.dy && ratio == o.ratio && antialiased == o.antialiased
                && lineShown == o.lineShown && bandShown == o.bandShown && linePen == o.linePen
                && bandPen == o.bandPen && bandBrush == o.bandBrush;
        }
    };

    void draw(QPainter *painter) const
    {
        painter->save();
        if (m_bandSeries->isVisible() && m_bandPixels.size() > 2) {
            painter->setClipRect(m_plot);
            painter->setPen(m_bandSeries->pen());
            painter->setBrush(m_bandSeries->brush());
            painter->drawPolygon(m_bandPixels, Qt::OddEvenFill);
        }
        if (m_lineSeries->isVisible() && !m_lineSegments.isEmpty()) {
            // Half a pixel more where the plot's edge falls inside a pixel, so
            // that a line along the edge shows whole, as the chart's series
            // clip theirs.
            const QPointF at = m_plot.topLeft();
            const qreal x1 = at.x() - int(at.x()), y1 = at.y() - int(at.y());
            const qreal x2 = m_plot.width() + 0.5 - int(m_plot.width() + 0.5);
            const qreal y2 = m_plot.height() + 0.5 - int(m_plot.height() + 0.5);
            painter->setClipRect(m_plot.adjusted(-x1, -y1, std::max(x1, x2), std::max(y1, y2)));
            painter->setPen(m_lineSeries->pen());
            painter->setBrush(Qt::NoBrush);
            // Segment by segment, each blended on its own as the series drew
            // them: one stroke of the whole line draws its many small bends
            // lighter, and takes longer.
            painter->drawLines(m_lineSegments);
        }
        painter->restore();
    }

    // Values to the chart's pixels: the chart maps two values, the rest
    // follow on the same straight scale (in powers of ten on a log axis).
    // True when the pixels changed.
    bool place()
    {
        const QList<QAbstractAxis *> vertical = m_chart->axes(Qt::Vertical, m_lineSeries);
        const bool logY = !vertical.isEmpty() && vertical.first()->type() == QAbstractAxis::AxisTypeLogValue;
        const QPointF a = m_chart->mapToPosition(QPointF(0, 1), m_lineSeries);
        const QPointF b = m_chart->mapToPosition(QPointF(1, 10), m_lineSeries);
        const double yTo = logY ? 1 : 9; // from 1 to 10, straight or in powers of ten
        const std::array<double, 5> scale{a.x(), b.x() - a.x(), a.y(), (b.y() - a.y()) / yTo, logY ? 1.0 : 0.0};
        if (m_placed && scale == m_scale)
            return false;
        m_placed = true;
        m_scale = scale;
        const auto pixels = [&](const QVector<QPointF> &values, QPolygonF &out, bool reversed) {
            for (qsizetype i = 0; i < values.size(); ++i) {
                const QPointF &v = values[reversed ? values.size() - 1 - i : i];
                if (logY && !(v.y() > 0))
                    return false; // no place on the axis: the whole is left out, as a series would
                const double y = logY ? std::log10(v.y()) : v.y() - 1;
                out.append(QPointF(scale[0] + scale[1] * v.x(), scale[2] + scale[3] * y));
            }
            return true;
        };
        QPolygonF line;
        m_lineSegments.clear();
        if (pixels(m_line, line, false))
            for (qsizetype i = 1; i < line.size(); ++i)
                m_lineSegments.append(QLineF(line[i - 1], line[i]));
        m_bandPixels.clear();
        if (!pixels(m_band.best, m_bandPixels, false) || !pixels(m_band.worst, m_bandPixels, true))
            m_bandPixels.clear();
        return true;
    }

    QChart *m_chart;
    QLineSeries *m_lineSeries;
    QAreaSeries *m_bandSeries;
    QVector<QPointF> m_line;
    BandOutline m_band;
    QRectF m_plot;
    bool m_placed = false;
    std::array<double, 5> m_scale{};
    QVector<QLineF> m_lineSegments;
    QPolygonF m_bandPixels;
    Drawn m_drawn;
    QImage m_picture;
    QPoint m_origin;
};

ChartWindow::ChartWindow(Workspace &workspace, tk::Form &mainWindow)
    : m_ws(&workspace), m_mainWindow(&mainWindow)
{
    setWindowTitle(text(kChartCaption));
    setLayoutDirection(Qt::RightToLeft);
    setBackColor(tk::rgb(224, 224, 224));
    resize(tk::px(14400), tk::px(10200));
    setMinimumSize(tk::px(9000), tk::px(6750));

    // Given at construction: a chart set later leaves the view's own first
    // chart to whoever set it.
    m_chart = new QChart;
    Chart1 = new QChartView(m_chart, this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setRenderHint(QPainter::Antialiasing);
    Chart1->setLayoutDirection(Qt::LeftToRight); // averages grow to the right
    buildChart();

    Label1 = new tk::Label(this, text(kTargetCaption));
    Label1->setObjectName(QStringLiteral("Label1"));
    Text1 = new tk::TextBox(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFixedWidth(tk::px(1800));
    Text1->setLayoutDirection(Qt::LeftToRight);
    tk::setCaptionFor(Label1, Text1);
    Label2 = new tk::Label(this, text(kRequiredCaption));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new tk::Label(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setForeColor(tk::rgb(0, 0, 128));
    Label3->setFont(tk::font(9, true));
    Label3->setMinimumWidth(tk::px(3600));
    Label3->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter); // beside its caption
    tk::setCaptionFor(Label2, Label3);
    Check1 = new QCheckBox(QStringLiteral(u"مقياس لگاريتمي"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Command1 = new tk::Button(this, text(kSaveImage));
    Command1->setObjectName(QStringLiteral("Command1"));
    Label4 = new tk::Label(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setForeColor(tk::rgb(128, 0, 0));
    Label4->setWordWrap(true); // two notes may not fit on one line

    auto *row = new QHBoxLayout;
    row->addWidget(Label1);
    row->addWidget(Text1);
    row->addSpacing(tk::px(240));
    row->addWidget(Label2);
    row->addWidget(Label3);
    row->addStretch(1);
    row->addWidget(Check1);
    row->addSpacing(tk::px(240));
    row->addWidget(Command1);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(tk::px(120), tk::px(120), tk::px(120), tk::px(120));
    column->addWidget(Chart1, 1);
    column->addWidget(Label4);
    column->addLayout(row);

    tk::on(Text1, &tk::TextBox::change, this, [this] { Text1_Change(); });
    tk::on(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
    tk::on(Command1, &tk::Button::clicked, this, [this] { Command1_Click(); });
    connect(m_ws, &Workspace::passChanged, this, [this] { tk::handle(this, [this] { followPass(); }); });

    Text1->setFocus(); // the one thing to type here
    setClosesOnEscape(true);
    followPass();
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::buildChart()
{
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setLocalizeNumbers(false);
    m_chart->setTitleFont(tk::font(11, true));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->legend()->setFont(tk::font(9));
    m_chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);

    // Stripes first so that everything else is drawn over their bounds.
    QPen boundPen(QColor(150, 150, 150));
    boundPen.setStyle(Qt::DashLine);
    boundPen.setWidthF(1);
    const QList<QGraphicsItem *> before = m_chart->childItems();
    for (QLineSeries *&line : m_bandLines) {
        line = new QLineSeries;
        line->setPen(boundPen);
        m_chart->addSeries(line);
    }
    // The line's own item goes on the series' level, made after the bounds
    // and before the markers: it stacks over the one, under the other.
    qreal seriesLevel = 0;
    for (QGraphicsItem *item : m_chart->childItems())
        if (!before.contains(item))
            seriesLevel = item->zValue();

    // Under the line and the markers, over the stripes' bounds.
    likelySeries = new QAreaSeries;
    likelySeries->setUpperSeries(new QLineSeries(likelySeries)); // the area owns neither edge
    likelySeries->setLowerSeries(new QLineSeries(likelySeries));
    likelySeries->setName(text(kLikelyBand));
    likelySeries->setPen(Qt::NoPen); // a gap in the band is a zero-height stretch: no edge may show it
    likelySeries->setBrush(QColor(30, 70, 160, 50));
    m_chart->addSeries(likelySeries);
    // Drawn from the series, an area's legend marker is an empty box; a
    // rectangle in the band's own colour says which colour is the band.
    for (QLegendMarker *m : m_chart->legend()->markers(likelySeries)) {
        m->setShape(QLegend::MarkerShapeRectangle);
        m->setPen(QPen(likelySeries->brush().color()));
    }

    estimateSeries = new QLineSeries;
    estimateSeries->setName(QStringLiteral(u"خط تخمين رتبه"));
    estimateSeries->setPen(QPen(QColor(30, 70, 160), 1.5));
    m_chart->addSeries(estimateSeries);
    m_lineItem = new LineItem(m_chart, estimateSeries, likelySeries);
    m_lineItem->setZValue(seriesLevel);
    m_lineItem->setPlot(m_chart->plotArea());
    for (QAbstractSeries *s : {static_cast<QAbstractSeries *>(estimateSeries), static_cast<QAbstractSeries *>(likelySeries)})
        connect(s, &QAbstractSeries::visibleChanged, m_chart, [this] { m_lineItem->update(); });

    targetLineSeries = new QLineSeries;
    QPen targetPen(QColor(200, 30, 30), 1.2);
    targetPen.setStyle(Qt::DotLine);
    targetLineSeries->setPen(targetPen);
    m_chart->addSeries(targetLineSeries);

    referenceSeries = new QScatterSeries;
    referenceSeries->setName(QStringLiteral(u"نتايج مرجع"));
    referenceSeries->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    referenceSeries->setColor(QColor(30, 70, 160));
    referenceSeries->setBorderColor(QColor(30, 70, 160));
    m_chart->addSeries(referenceSeries);

    applicantSeries = new QScatterSeries;
    applicantSeries->setName(QStringLiteral(u"داوطلبان"));
    applicantSeries->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    applicantSeries->setColor(QColor(240, 140, 20));
    applicantSeries->setBorderColor(QColor(150, 80, 0));
    m_chart->addSeries(applicantSeries);
    stampMarkers(referenceSeries, kMarkerSize);
    stampMarkers(applicantSeries, kMarkerSize);

    targetSeries = new QScatterSeries;
    targetSeries->setName(QStringLiteral(u"رتبه هدف"));
    targetSeries->setMarkerShape(QScatterSeries::MarkerShapeStar);
    targetSeries->setMarkerSize(16);
    targetSeries->setColor(QColor(200, 30, 30));
    targetSeries->setBorderColor(QColor(120, 0, 0));
    m_chart->addSeries(targetSeries);

    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setTitleText(QStringLiteral(u"ميانگين × ") + text(kFactorCaption));
    x->setTitleFont(tk::font(9, true));
    x->setLabelsFont(tk::font(8));
    m_xAxis = x;
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    for (QAbstractSeries *s : m_chart->series())
        s->attachAxis(m_xAxis);
    replaceRankAxis();

    for (QLineSeries *line : m_bandLines)
        hideFromLegend(m_chart, line);
    hideFromLegend(m_chart, targetLineSeries);

    for (qsizetype i = 0; i <= bandBounds().size(); ++i) {
        auto *t = new QGraphicsSimpleTextItem(m_chart);
        t->setFont(tk::font(8));
        t->setBrush(QColor(90, 90, 90));
        m_bandTexts.append(t);
    }
    m_noEstimateText = new QGraphicsSimpleTextItem(text(kNoEstimate), m_chart);
    m_noEstimateText->setFont(tk::font(14, true));
    m_noEstimateText->setBrush(QColor(160, 0, 0));
    m_noEstimateText->setZValue(100);

    connect(m_chart, &QChart::plotAreaChanged, this, [this](const QRectF &plot) {
        m_lineItem->setPlot(plot);
        if (m_placing)
            return;
        if (plot.width() != m_lineWidth)
            drawLine(); // as many bends and band samples as the new width needs
        thinMarkers();
        placeTexts();
    });
    connect(applicantSeries, &QXYSeries::clicked, this,
            [this](const QPointF &p) { tk::handle(this, [this, p] { applicantClicked(p); }); });
    // A stamped series takes the pointer over the whole plot, the upper one
    // keeping it from the lower: the window finds the marker under it itself.
    Chart1->viewport()->installEventFilter(this);
    connect(targetSeries, &QXYSeries::hovered, this, [this](const QPointF &, bool on) {
        if (on)
            QToolTip::showText(QCursor::pos(), targetToolTip(m_target.target, Label3->caption()), Chart1);
        else
            QToolTip::hideText();
    });
}

void ChartWindow::replaceRankAxis()
{
    QAbstractAxis *axis;
    if (Check1 && Check1->isChecked()) {
        auto *log = new QLogValueAxis;
        log->setBase(10);
        log->setLabelFormat(QStringLiteral("%.0f")); // whole powers of ten, no exponent
        log->setMinorTickCount(8);
        axis = log;
    } else {
        auto *linear = new QCategoryAxis;
        linear->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axis = linear;
    }
    axis->setReverse(true); // better ranks at the top
    axis->setTitleText(QStringLiteral(u"رتبه"));
    axis->setTitleFont(tk::font(9, true));
    axis->setLabelsFont(tk::font(8));
    if (m_yAxis) {
        m_chart->removeAxis(m_yAxis);
        // The chart drops the axis' drawing on its own time; deleting the
        // axis at once would leave its labels behind on the plot.
        m_yAxis->deleteLater();
    }
    m_yAxis = axis;
    m_axesShown = false;
    m_chart->addAxis(m_yAxis, Qt::AlignLeft);
    for (QAbstractSeries *s : m_chart->series())
        s->attachAxis(m_yAxis);
}

void ChartWindow::followPass()
{
    if (!m_mainWindow)
        return;
    const Workspace &pass = *m_ws;
    m_data = chartData(pass.result());
    m_listed = pass.result().applicants;
    m_rows = pass.applicants();
    QVector<QPointF> points(m_data.applicants.size());
    for (qsizetype i = 0; i < m_data.applicants.size(); ++i)
        points[i] = QPointF(m_data.applicants[i].x, m_data.applicants[i].rank);
    // A pass over the same rows and factor keeps its model and places every
    // applicant where it was: the markers then stay as they are.
    if (m_data.model != m_markersModel || !samePoints(points, m_applicantPoints))
        m_markersModel.reset();
    m_applicantPoints = std::move(points);
    measureData();

    const QString t = chartTitle(m_data.model.get());
    if (m_chart->title() != t)
        m_chart->setTitle(t); // even the same title lays the chart out again
    Chart1->setAccessibleName(t);
    Text1_Change(); // the target follows the pass too; lays the plot out
}

void ChartWindow::Text1_Change()
{
    m_target = m_data.model ? requiredAverage(*m_data.model, Text1->text()) : TargetAnswer{};
    Label3->setCaption(requiredAverageText(m_target));
    m_targetPoint.reset();
    if (m_target.kind == TargetAnswer::Found) {
        if (const std::optional<float> x = m_data.model->scaled(m_target.average()))
            m_targetPoint = QPointF(*x, m_target.rank);
    }
    layoutPlot();
}

void ChartWindow::Check1_Click()
{
    // Emptied first: a logarithmic axis must never see a rank of 0 or below.
    for (QAbstractSeries *s : m_chart->series())
        if (auto *xy = qobject_cast<QXYSeries *>(s))
            xy->clear();
    m_lineItem->setPoints({}, {});
    m_lineModel.reset();
    m_markersModel.reset();
    replaceRankAxis();
    measureData();
    layoutPlot();
}

void ChartWindow::measureData()
{
    m_extent = plotExtent(m_data.references, m_applicantPoints, Check1->isChecked());
    m_dataChanged = true;
}

void ChartWindow::layoutPlot()
{
    const PlotAxes axes = plotAxes(m_extent, m_targetPoint, Check1->isChecked());
    // A keystroke in the target box mostly moves the target alone: the rest
    // of the plot stays as it is unless the ranges change.
    if (m_dataChanged || !(axes == m_axes) || !m_axesShown) {
        m_dataChanged = false;
        m_placing = true; // one thinning at the end, not one per axis change
        if (!(axes == m_axes) || !m_axesShown) {
            m_lineModel.reset(); // given anew below
            m_axes = axes;
            setCategoryTicks(static_cast<QCategoryAxis *>(m_xAxis), m_axes.x);
            if (m_axes.logY)
                static_cast<QLogValueAxis *>(m_yAxis)->setRange(m_axes.y.min, m_axes.y.max);
            else
                setCategoryTicks(static_cast<QCategoryAxis *>(m_yAxis), m_axes.y);
            m_axesShown = true;
        }
        drawLine();
        const QVector<QList<QPointF>> bounds = boundLines(m_axes);
        for (qsizetype i = 0; i < bounds.size(); ++i)
            setPoints(m_bandLines[size_t(i)], bounds[i]);
        m_placing = false;
        thinMarkers();
        placeTexts();
    }
    setPoints(targetSeries, targetMarker(m_targetPoint, m_axes.logY));
    setPoints(targetLineSeries, targetLine(m_target, m_axes.x));
    updateDescription();
}

void ChartWindow::drawLine()
{
    if (!m_data.model)
        return;
    // The line and band follow from the model, the axes and the width alone.
    const double width = m_chart->plotArea().width();
    if (m_lineModel == m_data.model && m_lineAxes == m_axes && m_lineWidth == width)
        return;
    m_lineModel = m_data.model;
    m_lineAxes = m_axes;
    m_lineWidth = width;
    LineSeries s = lineSeries(*m_data.model, m_axes, m_lineWidth);
    m_lineItem->setPoints(std::move(s.line), std::move(s.band));
}

PlotMapping ChartWindow::mapping() const
{
    QSizeF size = m_chart->plotArea().size();
    if (size.isEmpty()) // not laid out yet: the view's size is near enough
        size = QSizeF(Chart1->size()) * 0.8;
    return plotMapping(size, m_axes);
}

void ChartWindow::thinMarkers()
{
    const PlotMapping m = mapping();
    if (m_markersModel && m_markersModel == m_data.model && m_markersMapping == m)
        return;
    m_markersModel = m_data.model;
    m_markersMapping = m;
    setPoints(applicantSeries, markers(m_applicantPoints, m));
    setPoints(referenceSeries, markers(m_data.references, m));
}

void ChartWindow::placeTexts()
{
    // Each band's text beside its stripe, right of the plot.
    const QRectF plot = m_chart->plotArea();
    const QVector<BandStripe> stripes = visibleStripes(m_axes.y.min, m_axes.y.max);
    QVector<double> heights;
    qreal widest = 0;
    for (qsizetype i = 0; i < stripes.size() && i < m_bandTexts.size(); ++i) {
        m_bandTexts[i]->setText(bandText(stripes[i].band));
        const QRectF r = m_bandTexts[i]->boundingRect();
        widest = std::max(widest, r.width());
        heights.append(r.height());
    }
    const QVector<std::optional<double>> tops = stripeTextTops(stripes, heights, plot, m_axes);
    for (qsizetype i = 0; i < m_bandTexts.size(); ++i) {
        QGraphicsSimpleTextItem *t = m_bandTexts[i];
        const std::optional<double> top = tops.value(i);
        t->setVisible(top.has_value());
        if (top) {
            t->setPos(plot.right() + 8, *top);
            t->setToolTip(t->text());
        }
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

void ChartWindow::updateDescription()
{
    const QString note = chartNote(m_data, Check1->isChecked(), m_extent.applicantsLeftOut,
                                   m_extent.referencesLeftOut);
    Chart1->setAccessibleDescription(chartDescription(m_data, !m_lineItem->band().best.isEmpty(), note,
                                                      m_target, Label3->caption()));
    Label4->setCaption(note);
    Label4->setVisible(!note.isEmpty());
}

const QVector<QPointF> &ChartWindow::lineDrawn() const
{
    return m_lineItem->line();
}

const BandOutline &ChartWindow::bandDrawn() const
{
    return m_lineItem->band();
}

QVector<qsizetype> ChartWindow::applicantsAt(QPointF value) const
{
    QVector<qsizetype> found = pointsAt(m_applicantPoints, mapping(), value);
    for (qsizetype &i : found)
        i = m_data.applicants[i].index;
    return found;
}

QVector<qsizetype> ChartWindow::referencesAt(QPointF value) const
{
    return pointsAt(m_data.references, mapping(), value);
}

QString ChartWindow::applicantsToolTip(QPointF value) const
{
    return placeva::applicantsToolTip(m_listed, m_rows, applicantsAt(value));
}

QString ChartWindow::referencesToolTip(QPointF value) const
{
    return placeva::referencesToolTip(m_data.references, referencesAt(value));
}

bool ChartWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Chart1->viewport() && event->type() == QEvent::MouseMove)
        showMarkerText(Chart1->mapToScene(static_cast<QMouseEvent *>(event)->position().toPoint()));
    return tk::Form::eventFilter(watched, event);
}

void ChartWindow::showMarkerText(QPointF scenePos)
{
    const QPointF at = m_chart->mapFromScene(scenePos);
    QString tip;
    // The applicants are drawn over the references.
    for (QScatterSeries *series : {applicantSeries, referenceSeries}) {
        const QList<QPointF> points = series->points();
        QVector<QPointF> positions(points.size());
        for (qsizetype i = 0; i < points.size(); ++i)
            positions[i] = m_chart->mapToPosition(points[i], series);
        if (const std::optional<qsizetype> i = markerAt(positions, at, series->markerSize())) {
            tip = series == applicantSeries ? applicantsToolTip(points[*i]) : referencesToolTip(points[*i]);
            break;
        }
    }
    if (!tip.isEmpty()) {
        QToolTip::showText(QCursor::pos(), tip, Chart1);
        m_markerTextShown = true;
    } else if (m_markerTextShown) {
        QToolTip::hideText();
        m_markerTextShown = false;
    }
}

void ChartWindow::applicantClicked(QPointF value)
{
    const QVector<qsizetype> at = applicantsAt(value);
    if (at.isEmpty() || !m_mainWindow)
        return;
    m_ws->pickApplicant(at.first());
}

} // namespace placeva
