#pragma once
// The chart of ranks against averages, beside the main window: the reference
// results and the line the estimate interpolates along, every applicant at
// its estimated rank, the band of likely ranks around the line, the placement
// band bounds, and the average a target rank needs. It redraws after every statistics pass of the main
// window.

#include "core/chartdata.h"
#include "core/targetrank.h"
#include "gui/chartseries.h"
#include "toolkit.h"

#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QAbstractAxis;
class QAreaSeries;
class QChart;
class QChartView;
class QCheckBox;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QScatterSeries;

namespace placeva {

class Workspace;
class LineItem;

// Adds the menu with the item that opens the chart window to the main window.
void installChartMenu(Workspace &workspace, tk::Form &mainWindow);

class ChartWindow;
// The main window's open chart window, if any.
ChartWindow *chartWindowOf(tk::Form &mainWindow);
// What the menu item does: opens the chart window, or brings the open one to
// the front. Nothing if the menu was not installed.
ChartWindow *openChartWindow(tk::Form &mainWindow);

class ChartWindow : public tk::Form
{
    Q_OBJECT
public:
    // Shows the workspace's passes; closes with the main window.
    ChartWindow(Workspace &workspace, tk::Form &mainWindow);
    ~ChartWindow() override;

    // Asks for the file to save the picture into; empty for none. Qt's own
    // file dialog unless replaced (tests answer without a dialog).
    using FileChooser = std::function<QString(QWidget *parent)>;
    static FileChooser setFileChooser(FileChooser chooser);

    // Redraws from what the workspace's last pass read.
    void followPass();
    // Saves the chart as shown: SVG where the name ends in ".svg", PNG
    // otherwise. False, after telling the user, when it could not be written.
    bool saveImage(const QString &file);

    const ChartData &data() const { return m_data; }
    const TargetAnswer &target() const { return m_target; }
    QChart *chart() const { return m_chart; }
    QChartView *view() const { return Chart1; }
    // The applicants (index k: the k-th of the pass) and the reference
    // points (index into data().references) drawn on the same plot pixel
    // as a value, in their order.
    QVector<qsizetype> applicantsAt(QPointF value) const;
    QVector<qsizetype> referencesAt(QPointF value) const;
    // The hover text for a marker of either kind.
    QString applicantsToolTip(QPointF value) const;
    QString referencesToolTip(QPointF value) const;
    // Applicants with an estimate that the plot cannot show (ranks of 0 or
    // below on the logarithmic axis).
    qsizetype applicantsLeftOut() const { return m_extent.applicantsLeftOut; }
    // The estimate's line and the band of likely ranks as drawn, in values;
    // the two series only name them in the legend.
    const QVector<QPointF> &lineDrawn() const;
    const BandOutline &bandDrawn() const;

    QChartView *Chart1 = nullptr;
    tk::Label *Label1 = nullptr;    // "رتبه هدف:"
    tk::TextBox *Text1 = nullptr;   // the target rank
    tk::Label *Label2 = nullptr;    // "ميانگين لازم:"
    tk::Label *Label3 = nullptr;    // the required average
    QCheckBox *Check1 = nullptr;    // logarithmic rank axis
    tk::Button *Command1 = nullptr; // save picture
    tk::Label *Label4 = nullptr;    // what the plot leaves out, if anything

    // The line and the band are drawn by lineItem; these two, without points,
    // give their pens, visibility and legend entries.
    QAreaSeries *likelySeries = nullptr; // best to worst likely rank along the line
    QScatterSeries *referenceSeries = nullptr;
    QLineSeries *estimateSeries = nullptr;
    QScatterSeries *applicantSeries = nullptr;
    QScatterSeries *targetSeries = nullptr;
    QLineSeries *targetLineSeries = nullptr;

    void Text1_Change();
    void Check1_Click();
    void Command1_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildChart();
    void replaceRankAxis();
    void measureData(); // the data's extent, after a pass or a change of axis
    void layoutPlot();  // ranges, axes, line, bands and target
    void drawLine();
    void thinMarkers(); // one marker per plot pixel
    void placeTexts();  // band texts and the no-estimate message
    void updateDescription();
    void applicantClicked(QPointF value);
    void showMarkerText(QPointF scenePos); // the hover text of the marker there, if any
    PlotMapping mapping() const;
    QString writeImage(const QString &file) const; // error text, empty on success

    Workspace *m_ws;
    QPointer<tk::Form> m_mainWindow; // gone with the main window
    ChartData m_data;
    QVector<ApplicantResult> m_listed;  // the pass's applicants
    QVector<ApplicantRow> m_rows;       // and their rows, for the averages as listed
    QVector<QPointF> m_applicantPoints; // (x, rank) of m_data.applicants
    TargetAnswer m_target;
    std::optional<QPointF> m_targetPoint;
    PlotExtent m_extent; // of the pass's points, without the target

    QChart *m_chart = nullptr;
    QAbstractAxis *m_xAxis = nullptr;
    QAbstractAxis *m_yAxis = nullptr;
    bool m_dataChanged = true;
    // What the line and band were drawn for, and the markers thinned for;
    // no model for none. Held, so that no later model can take its address.
    std::shared_ptr<const RankModel> m_lineModel;
    PlotAxes m_lineAxes;
    double m_lineWidth = 0;
    std::shared_ptr<const RankModel> m_markersModel;
    PlotMapping m_markersMapping;
    PlotAxes m_axes;         // as the axes show them
    bool m_axesShown = false; // false for an axis not yet given m_axes
    std::array<QLineSeries *, 8> m_bandLines{};
    LineItem *m_lineItem = nullptr; // a child of the chart
    QVector<QGraphicsSimpleTextItem *> m_bandTexts;
    QGraphicsSimpleTextItem *m_noEstimateText = nullptr;
    bool m_placing = false;
    bool m_markerTextShown = false;
};

} // namespace placeva
