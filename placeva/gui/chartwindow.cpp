#include "gui/chartwindow.h"

#include "core/datalocation.h"
#include "core/workspace.h"
#include "gui/charttexts.h"
#include "gui/filetexts.h"
#include "gui/passtexts.h"
#include "bidi.h"
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

namespace {

QString text(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// Right-to-left mark: a line that starts with a Latin name still reads
// right to left.
const QChar kRlm(0x200F);

constexpr int kMostTicks = 10;
constexpr int kMostInToolTip = 5;

// The plot reaches a little beyond the outermost points so that their
// markers are not cut in half.
std::pair<double, double> padded(double lo, double hi)
{
    const double pad = hi > lo ? (hi - lo) * 0.03 : std::max(std::abs(lo) * 0.05, 1.0);
    return {lo - pad, hi + pad};
}

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

void hideFromLegend(QChart *chart, QLineSeries *series)
{
    for (QLegendMarker *m : chart->legend()->markers(series))
        m->setVisible(false);
}

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

// Keeps the chart window of one main window: at most one, closed with it.
class ChartMenu : public QObject
{
public:
    ChartMenu(Workspace &workspace, tk::Form &mainWindow)
        : QObject(&mainWindow), m_ws(workspace), m_mainWindow(mainWindow)
    {
        setObjectName(QStringLiteral("placevaChartMenu"));
    }
    ~ChartMenu() override { delete m_window.get(); }

    ChartWindow *window() const { return m_window.get(); }
    ChartWindow *open()
    {
        ChartWindow *w = m_window.ensure(m_ws, m_mainWindow);
        if (w) {
            w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
            w->showModeless();
        }
        return w;
    }

private:
    Workspace &m_ws;
    tk::Form &m_mainWindow;
    tk::FormSlot<ChartWindow> m_window;
};

ChartMenu *chartMenuOf(tk::Form &mainWindow)
{
    for (QObject *child : mainWindow.children())
        if (auto *menu = dynamic_cast<ChartMenu *>(child))
            return menu;
    return nullptr;
}

} // namespace

void installChartMenu(Workspace &workspace, tk::Form &mainWindow)
{
    auto *keeper = new ChartMenu(workspace, mainWindow);
    tk::Form *window = &mainWindow;
    QMenu *menu = window->menuBar()->addMenu(text(kChartMenu));
    QAction *item = menu->addAction(text(kChartMenuItem));
    QObject::connect(item, &QAction::triggered, keeper,
                     [window] { tk::handle(window, [window] { openChartWindow(*window); }); });
    // The chart shows the main window's pass; it goes when that window goes.
    QObject::connect(window, &tk::Form::closed, keeper, [keeper] {
        if (ChartWindow *w = keeper->window())
            w->close();
    });
}

ChartWindow *chartWindowOf(tk::Form &mainWindow)
{
    const ChartMenu *menu = chartMenuOf(mainWindow);
    return menu ? menu->window() : nullptr;
}

ChartWindow *openChartWindow(tk::Form &mainWindow)
{
    ChartMenu *menu = chartMenuOf(mainWindow);
    return menu ? menu->open() : nullptr;
}

ChartWindow::FileChooser ChartWindow::setFileChooser(FileChooser chooser)
{
    FileChooser old = std::move(fileChooser());
    fileChooser() = std::move(chooser);
    return old;
}

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
    for (QLineSeries *&line : m_bandLines) {
        line = new QLineSeries;
        line->setPen(boundPen);
        m_chart->addSeries(line);
    }

    // Under the line and the markers, over the stripes' bounds.
    likelySeries = new QAreaSeries;
    likelySeries->setUpperSeries(new QLineSeries(likelySeries)); // the area owns neither edge
    likelySeries->setLowerSeries(new QLineSeries(likelySeries));
    likelySeries->setName(text(kLikelyBand));
    likelySeries->setPen(Qt::NoPen); // a gap in the band is a zero-height stretch: no edge may show it
    likelySeries->setBrush(QColor(30, 70, 160, 50));
    m_chart->addSeries(likelySeries);

    estimateSeries = new QLineSeries;
    estimateSeries->setName(QStringLiteral(u"خط تخمين رتبه"));
    estimateSeries->setPen(QPen(QColor(30, 70, 160), 1.5));
    m_chart->addSeries(estimateSeries);

    targetLineSeries = new QLineSeries;
    QPen targetPen(QColor(200, 30, 30), 1.2);
    targetPen.setStyle(Qt::DotLine);
    targetLineSeries->setPen(targetPen);
    m_chart->addSeries(targetLineSeries);

    referenceSeries = new QScatterSeries;
    referenceSeries->setName(QStringLiteral(u"نتايج مرجع"));
    referenceSeries->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    referenceSeries->setMarkerSize(7);
    referenceSeries->setColor(QColor(30, 70, 160));
    referenceSeries->setBorderColor(QColor(30, 70, 160));
    m_chart->addSeries(referenceSeries);

    applicantSeries = new QScatterSeries;
    applicantSeries->setName(QStringLiteral(u"داوطلبان"));
    applicantSeries->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    applicantSeries->setMarkerSize(7);
    applicantSeries->setColor(QColor(240, 140, 20));
    applicantSeries->setBorderColor(QColor(150, 80, 0));
    m_chart->addSeries(applicantSeries);

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
        if (m_placing)
            return;
        if (plot.width() != m_lineWidth)
            drawLine(); // as many bends and band samples as the new width needs
        thinMarkers();
        placeTexts();
    });
    connect(applicantSeries, &QXYSeries::clicked, this,
            [this](const QPointF &p) { tk::handle(this, [this, p] { applicantClicked(p); }); });
    connect(applicantSeries, &QXYSeries::hovered, this, [this](const QPointF &p, bool on) {
        if (on)
            QToolTip::showText(QCursor::pos(), applicantsToolTip(p), Chart1);
        else
            QToolTip::hideText();
    });
    connect(referenceSeries, &QXYSeries::hovered, this, [this](const QPointF &p, bool on) {
        if (on)
            QToolTip::showText(QCursor::pos(), referencesToolTip(p), Chart1);
        else
            QToolTip::hideText();
    });
    connect(targetSeries, &QXYSeries::hovered, this, [this](const QPointF &, bool on) {
        if (on)
            QToolTip::showText(QCursor::pos(),
                               kRlm + Label1->caption() + u' ' + QString::number(m_target.target) + u'\n'
                                   + kRlm + Label2->caption() + u' ' + Label3->caption(),
                               Chart1);
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
    m_applicantPoints.resize(m_data.applicants.size());
    for (qsizetype i = 0; i < m_data.applicants.size(); ++i)
        m_applicantPoints[i] = QPointF(m_data.applicants[i].x, m_data.applicants[i].rank);
    measureData();

    const QString t = title();
    m_chart->setTitle(t);
    Chart1->setAccessibleName(t);
    Text1_Change(); // the target follows the pass too; lays the plot out
}

QString ChartWindow::title() const
{
    return text(kChartCaption) + QStringLiteral(" (") + text(kFactorCaption) + QStringLiteral(": ")
        + (m_data.model ? m_data.model->changeFactor().number() : QString()) + u')';
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
    likelySeries->upperSeries()->clear();
    likelySeries->lowerSeries()->clear();
    replaceRankAxis();
    measureData();
    layoutPlot();
}

void ChartWindow::Command1_Click()
{
    const FileChooser &chooser = fileChooser();
    const QString file = chooser ? chooser(this) : chooseWithDialog(this);
    if (!file.isEmpty())
        saveImage(file);
}

void ChartWindow::measureData()
{
    // Ranges over everything drawn as a point; ranks of 0 and below have no
    // place on a logarithmic axis.
    const bool logY = Check1->isChecked();
    Extent e;
    const auto take = [&](QPointF p) {
        e.xLo = std::min(e.xLo, p.x());
        e.xHi = std::max(e.xHi, p.x());
        if (logY && p.y() < 1)
            return false;
        e.yLo = std::min(e.yLo, p.y());
        e.yHi = std::max(e.yHi, p.y());
        return true;
    };
    m_referencesLeftOut = 0;
    for (const QPointF &p : std::as_const(m_data.references))
        m_referencesLeftOut += take(p) ? 0 : 1;
    m_applicantsLeftOut = 0;
    for (const QPointF &p : std::as_const(m_applicantPoints))
        m_applicantsLeftOut += take(p) ? 0 : 1;
    m_extent = e;
    m_dataChanged = true;
}

void ChartWindow::layoutPlot()
{
    const bool logY = Check1->isChecked();
    Extent e = m_extent;
    if (m_targetPoint) {
        e.xLo = std::min(e.xLo, m_targetPoint->x());
        e.xHi = std::max(e.xHi, m_targetPoint->x());
        if (!(logY && m_targetPoint->y() < 1)) {
            e.yLo = std::min(e.yLo, m_targetPoint->y());
            e.yHi = std::max(e.yHi, m_targetPoint->y());
        }
    }
    if (e.xLo > e.xHi) {
        e.xLo = 0;
        e.xHi = 100;
    }
    if (e.yLo > e.yHi) {
        e.yLo = 1;
        e.yHi = bandBounds().last();
    }
    const auto [xFrom, xTo] = padded(e.xLo, e.xHi);
    const AxisTicks xTicks = niceTicks(xFrom, xTo, kMostTicks);
    const auto [yFrom, yTo] = padded(e.yLo, e.yHi);
    const AxisTicks yTicks = logY ? logTicks(e.yLo, e.yHi) : niceTicks(yFrom, yTo, kMostTicks, 1);
    const auto same = [](const AxisTicks &a, const AxisTicks &b) {
        return a.min == b.min && a.max == b.max && a.values == b.values;
    };

    // A keystroke in the target box mostly moves the target alone: the rest
    // of the plot stays as it is unless the ranges change.
    if (m_dataChanged || !same(xTicks, m_xTicks) || !same(yTicks, m_yTicks)) {
        m_dataChanged = false;
        m_placing = true; // one thinning at the end, not one per axis change
        m_xTicks = xTicks;
        m_yTicks = yTicks;
        setCategoryTicks(static_cast<QCategoryAxis *>(m_xAxis), m_xTicks);
        if (logY)
            static_cast<QLogValueAxis *>(m_yAxis)->setRange(m_yTicks.min, m_yTicks.max);
        else
            setCategoryTicks(static_cast<QCategoryAxis *>(m_yAxis), m_yTicks);
        drawLine();
        for (qsizetype i = 0; i < bandBounds().size(); ++i) {
            const double b = bandBounds()[i];
            if (b > m_yTicks.min && b < m_yTicks.max)
                m_bandLines[size_t(i)]->replace({QPointF(m_xTicks.min, b), QPointF(m_xTicks.max, b)});
            else
                m_bandLines[size_t(i)]->clear();
        }
        m_placing = false;
        thinMarkers();
        placeTexts();
    }

    if (m_targetPoint && !(logY && m_targetPoint->y() < 1))
        targetSeries->replace({*m_targetPoint});
    else
        targetSeries->clear();
    if (m_target.kind == TargetAnswer::Found || m_target.kind == TargetAnswer::Unreachable)
        targetLineSeries->replace(
            {QPointF(m_xTicks.min, m_target.target), QPointF(m_xTicks.max, m_target.target)});
    else
        targetLineSeries->clear();
    updateDescription();
}

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

void ChartWindow::updateDescription()
{
    const QString factor = m_data.model ? m_data.model->changeFactor().number() : QString();
    QStringList parts;
    parts << QStringLiteral(u"محور افقي: ميانگين ضرب در %1 %2؛ محور عمودي: رتبه، رتبه بهتر در بالا.")
                 .arg(text(kFactorCaption), factor);
    if (m_data.status == RankModel::Status::Ready)
        parts << QStringLiteral(u"%1 نتيجه مرجع به صورت نقطه و خط تخمين رتبه از ميان آنها.")
                     .arg(m_data.references.size());
    else
        parts << QStringLiteral(u"%1 نتيجه مرجع؛ %2.").arg(m_data.references.size()).arg(text(kNoEstimate));
    parts << QStringLiteral(u"%1 داوطلب از %2 داوطلب با رتبه تخميني.")
                 .arg(m_data.applicants.size())
                 .arg(m_data.applicantCount);
    if (likelySeries->upperSeries()->count() > 0)
        parts << QStringLiteral(u"%1 به صورت ناحيه سايه دار دور خط تخمين.").arg(text(kLikelyBand));
    parts << QStringLiteral(u"خطوط افقي مرزهاي رتبه: %1.").arg(boundsText());
    QStringList notes;
    if (const QString leftOut = leftOutText(m_data.leftOut); !leftOut.isEmpty())
        notes << leftOut;
    if (m_data.model && m_data.model->typicalError())
        notes << typicalErrorText(*m_data.model->typicalError());
    if (Check1->isChecked() && (m_applicantsLeftOut > 0 || m_referencesLeftOut > 0)) {
        notes << QStringLiteral(
                     u"در مقياس لگاريتمي %1 داوطلب و %2 نتيجه مرجع با رتبه صفر يا کمتر نشان داده نشده است.")
                     .arg(m_applicantsLeftOut)
                     .arg(m_referencesLeftOut);
    }
    const QString note = notes.join(u' ');
    parts << notes;
    if (m_target.kind != TargetAnswer::NotARank)
        parts << QStringLiteral(u"رتبه هدف %1، %2 %3.")
                     .arg(m_target.target)
                     .arg(Label2->caption(), Label3->caption());
    Chart1->setAccessibleDescription(parts.join(u' '));
    Label4->setCaption(note);
    Label4->setVisible(!note.isEmpty());
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

QString ChartWindow::applicantsToolTip(QPointF value) const
{
    const QVector<qsizetype> at = drawnAt(value);
    QStringList lines;
    for (qsizetype i = 0; i < at.size() && i < kMostInToolTip; ++i) {
        // Ranges only for the few shown: a pass does not wait for all of them.
        const ChartApplicant &a = m_data.applicants[at[i]];
        // The pass's own range: nothing is estimated again for a tooltip.
        const ApplicantResult listed = m_listed.value(a.index);
        const std::optional<LikelyRange> &range = listed.range;
        const QString rank = range
            ? text(kLikelyRank).arg(rankText(listed.rank)).arg(range->best).arg(range->worst)
            : QStringLiteral(u"رتبه: ") + rankText(listed.rank);
        lines << kRlm + listed.name + QStringLiteral(u" \u2014 ميانگين: ")
                + averageText(m_rows.value(a.index)) + QStringLiteral(u" \u2014 ") + rank;
    }
    if (at.size() > kMostInToolTip)
        lines << kRlm + QStringLiteral(u"و %1 نفر ديگر").arg(at.size() - kMostInToolTip);
    return lines.join(u'\n');
}

QString ChartWindow::referencesToolTip(QPointF value) const
{
    const QVector<qsizetype> at = referencesAt(value);
    QStringList lines;
    for (qsizetype i = 0; i < at.size() && i < kMostInToolTip; ++i) {
        const QPointF &p = m_data.references[at[i]];
        lines << kRlm + QStringLiteral(u"نتيجه مرجع \u2014 ميانگين: ") + singleText(float(p.x()))
                + QStringLiteral(u" \u2014 رتبه: ") + QString::number(qint64(p.y()));
    }
    if (at.size() > kMostInToolTip)
        lines << kRlm + QStringLiteral(u"و %1 نتيجه ديگر").arg(at.size() - kMostInToolTip);
    return lines.join(u'\n');
}

void ChartWindow::applicantClicked(QPointF value)
{
    const QVector<qsizetype> at = applicantsAt(value);
    if (at.isEmpty() || !m_mainWindow)
        return;
    m_ws->pickApplicant(at.first());
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
        Chart1->render(&painter, QRectF(QPointF(0, 0), size), source);
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

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    if (out.write(buffer.data()) != buffer.data().size()) {
        const QString e = out.errorString();
        out.cancelWriting();
        return e;
    }
    if (!out.commit())
        return out.errorString();
    return {};
}

} // namespace placeva
