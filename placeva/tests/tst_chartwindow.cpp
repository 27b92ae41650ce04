// The chart window beside the main window: opened once from the menu,
// following every pass, selecting list rows, saving pictures.

#include "gui/charttexts.h"
#include "gui/chartwindow.h"
#include "gui/mainwindow.h"
#include "testsupport/spoken.h"
#include "testsupport/testbank.h"

#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtTest>

using namespace placeva;

namespace {

QString t(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// Runs statements on the test's own database file, in one transaction.
void exec(const QString &file, const QStringList &statements)
{
    QString error;
    QVERIFY2(testbank::exec(file, statements, &error), qPrintable(error));
}

QString applicant(const QString &name, double avg)
{
    return QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES ('%1', %2)")
        .arg(name)
        .arg(avg, 0, 'g', 17);
}

QString reference(double avg, int rank)
{
    return QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (%1, %2)").arg(avg).arg(rank);
}

QAction *chartMenuItem(MainWindow *main)
{
    for (QAction *a : main->menuBar()->actions())
        if (a->menu() && a->menu()->title().remove(u'&') == t(chart_texts::kChartMenu) && !a->menu()->actions().isEmpty())
            return a->menu()->actions().first();
    return nullptr;
}

// Lets the chart lay itself out, as it does before the user sees it.
void settle(ChartWindow *w)
{
    QVERIFY(QTest::qWaitForWindowExposed(w));
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Types like a keyboard, Persian digits too.
void type(QWidget *box, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

int chartWindowCount()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<ChartWindow *>(w) && w->isVisible())
            ++n;
    return n;
}

} // namespace

class TestChartWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_bank = m_dir->filePath("Bank.db");
        m_messages.clear();
        tk::setEndHook([] {});
        tk::MsgBox::setResponder([this](const tk::MsgBox::Request &r) {
            m_messages << r.text;
            return tk::MsgBox::AnswerOk;
        });
        exec(m_bank, testbank::standardTables());
    }
    void cleanup()
    {
        ChartWindow::setFileChooser({});
        QPointer<ChartWindow> chart = m_slot.get() ? chartWindowOf(*m_slot.get()) : nullptr;
        QPointer<QChart> plot = chart ? chart->chart() : nullptr;
        delete m_slot.get();
        QVERIFY(chart.isNull());
        QVERIFY(plot.isNull());
        QTRY_COMPARE(chartWindowCount(), 0);
    }

    void menuOpensOneWindow();
    void followsEveryPass();
    void markersWhereTheListsRankThem();
    void markersFollowAPassThatKeepsTheModel();
    void clickSelectsTheListRow_data();
    void clickSelectsTheListRow();
    void manyOnOnePixel();
    void hoverTexts_data();
    void hoverTexts();
    void targetOnEveryKeystroke_data();
    void targetOnEveryKeystroke();
    void fewerThanTwoReferences();
    void lineDrawnWhereTheAxesPutIt_data();
    void lineDrawnWhereTheAxesPutIt();
    void logarithmicAxisLeavesOutRanksBelow1();
    void likelyRangeInHoverAndNote_data();
    void likelyRangeInHoverAndNote();
    void saves_data();
    void saves();
    void svgDrawsMarkersAsVectors();
    void closesWithTheMainWindow();

private:
    MainWindow *open(const QStringList &rows)
    {
        exec(m_bank, rows);
        MainWindow *f = m_slot.ensure(m_dir->path());
        if (f)
            f->showModeless();
        return f;
    }
    ChartWindow *openChart(MainWindow *main)
    {
        QAction *item = chartMenuItem(main);
        if (!item)
            return nullptr;
        item->trigger();
        ChartWindow *w = chartWindowOf(*main);
        if (w)
            settle(w);
        return w;
    }
    QPoint markerPosition(ChartWindow *w, QPointF value)
    {
        const QPointF scene = w->chart()->mapToPosition(value, w->applicantSeries);
        return w->view()->mapFromScene(scene);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bank;
    tk::FormSlot<MainWindow> m_slot;
    QStringList m_messages;
};

void TestChartWindow::menuOpensOneWindow()
{
    MainWindow *main = open({reference(30, 500), reference(40, 100), applicant("Ali", 35)});
    QVERIFY(main);
    QAction *item = chartMenuItem(main);
    QVERIFY(item);
    QCOMPARE(item->text().remove(u'&'), t(chart_texts::kChartMenuItem)); // with its mnemonic
    QCOMPARE(chartWindowOf(*main), nullptr);

    item->trigger();
    QPointer<ChartWindow> first = chartWindowOf(*main);
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->windowTitle(), t(chart_texts::kChartCaption));
    QVERIFY(main->isVisible()); // modeless: the main window stays
    first->showMinimized();
    item->trigger();
    QCOMPARE(chartWindowOf(*main), first.data());
    QVERIFY(!first->isMinimized());
    QCOMPARE(chartWindowCount(), 1);

    // Closed, it opens anew.
    first->close();
    QTRY_VERIFY(first.isNull());
    QCOMPARE(chartWindowOf(*main), nullptr);
    item->trigger();
    QVERIFY(chartWindowOf(*main));
    QCOMPARE(chartWindowCount(), 1);
    QVERIFY(m_messages.isEmpty());
}

void TestChartWindow::followsEveryPass()
{
    MainWindow *main =
        open({reference(30, 500), reference(40, 100), applicant("Ali", 35), applicant("Sara", 45)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    const QString title = w->chart()->title();
    QVERIFY2(title.startsWith(t(chart_texts::kChartCaption)) && title.contains(t(chart_texts::kFactorCaption))
                 && title.contains(QStringLiteral(": 1.00)")),
             qPrintable(title));
    QCOMPARE(w->view()->accessibleName(), title);
    QCOMPARE(w->data().applicants.size(), 2);
    QCOMPARE(w->data().references.size(), 2);

    // "Mohasebe" with another factor.
    main->Text1->setText(QStringLiteral("1.10"));
    QCOMPARE(w->data().factor, 1.0); // nothing until the pass
    main->Command1_Click();
    QCOMPARE(w->data().factor, 1.1);
    QVERIFY(w->chart()->title().contains(QStringLiteral(": 1.10)")));
    QCOMPARE(w->applicantSeries->points().first(), QPointF(double(35.0f * 1.1f), 160));

    // A re-read on activation: rows stored by another window count.
    exec(m_bank, {applicant("Reza", 38), reference(50, 20)});
    QVERIFY(main->reread());
    QCOMPARE(w->data().applicants.size(), 3);
    QCOMPARE(w->data().references.size(), 3);
    QCOMPARE(w->data().applicantCount, 3);
    const QString description = w->view()->accessibleDescription();
    QVERIFY2(description.contains(QStringLiteral(u"3 نتيجه مرجع")), qPrintable(description));
    QVERIFY2(description.contains(QStringLiteral("1.1")), qPrintable(description));
    QVERIFY(m_messages.isEmpty());
}

void TestChartWindow::markersWhereTheListsRankThem()
{
    MainWindow *main = open(
        {reference(30, 500), reference(40, 100), reference(20, 900), applicant("a", 25), applicant("b", 33.5),
         QStringLiteral("INSERT INTO Davtalab (Name) VALUES ('no average')"), applicant("c", -5)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    const QList<QPointF> drawn = w->applicantSeries->points();
    QCOMPARE(drawn.size(), 3);
    for (const QPointF &p : drawn) {
        const QVector<qsizetype> at = w->applicantsAt(p);
        QCOMPARE(at.size(), 1);
        QCOMPARE(QString::number(p.y()), main->List4->itemText(int(2 * at.first())));
        QCOMPARE(p.x(), main->List2->itemText(int(2 * at.first())).toDouble());
    }
    // The estimate's line passes through every reference point.
    const QList<QPointF> line = w->lineDrawn();
    for (const QPointF &r : {QPointF(20, 900), QPointF(30, 500), QPointF(40, 100)})
        QVERIFY(line.contains(r));
}

void TestChartWindow::markersFollowAPassThatKeepsTheModel()
{
    MainWindow *main = open({reference(30, 500), reference(40, 100), applicant("a", 35)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    const RankModel *model = w->data().model.get();
    const QList<QPointF> line = w->lineDrawn();

    // Same reference rows and factor: the pass keeps its model, yet the new
    // and the moved applicant are drawn where the lists rank them.
    exec(m_bank, {applicant("b", 38), QStringLiteral("UPDATE Davtalab SET Avg = 32 WHERE Name = 'a'")});
    QVERIFY(main->reread());
    QCOMPARE(w->data().model.get(), model);
    QCOMPARE(w->applicantSeries->points(), (QList<QPointF>{{32, 420}, {38, 180}}));
    QCOMPARE(w->lineDrawn(), line);
}

void TestChartWindow::clickSelectsTheListRow_data()
{
    QTest::addColumn<int>("applicant");
    QTest::newRow("first") << 0;
    QTest::newRow("second") << 1;
    QTest::newRow("last") << 2;
}

void TestChartWindow::clickSelectsTheListRow()
{
    QFETCH(int, applicant);
    MainWindow *main = open({reference(30, 500), reference(40, 100), ::applicant("a", 31),
                             ::applicant("b", 35), ::applicant("c", 39)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    const ChartApplicant &a = w->data().applicants[applicant];
    const QPoint at = markerPosition(w, QPointF(a.x, a.rank));
    QVERIFY(w->view()->viewport()->rect().contains(at));
    QTest::mouseClick(w->view()->viewport(), Qt::LeftButton, {}, at);
    // The user then comes back to the main window: the selection stays.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(main, &activate);
    for (tk::ListBox *l : {main->List1, main->List2, main->List4, main->List5})
        QCOMPARE(l->listIndex(), 2 * applicant);
    QVERIFY(m_messages.isEmpty());
}

void TestChartWindow::manyOnOnePixel()
{
    QStringList rows{reference(30, 500), reference(40, 100)};
    for (int i = 0; i < 3000; ++i)
        rows << applicant(QStringLiteral("n%1").arg(i), 35);
    rows << applicant(QStringLiteral("other"), 31);
    MainWindow *main = open(rows);
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    QCOMPARE(w->applicantSeries->count(), 2);
    const QPointF crowded(35, 300);
    QCOMPARE(w->applicantsAt(crowded).size(), 3000);
    const QString tip = w->applicantsToolTip(crowded);
    QVERIFY2(tip.contains(QStringLiteral("n0")) && tip.contains(QStringLiteral("n4"))
                 && !tip.contains(QStringLiteral("n5")),
             qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral(u"و 2995 نفر ديگر")), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("35")) && tip.contains(QStringLiteral("300")), qPrintable(tip));

    // A click on the crowded marker selects the first of them.
    QTest::mouseClick(w->view()->viewport(), Qt::LeftButton, {}, markerPosition(w, crowded));
    QCOMPARE(main->List1->listIndex(), 0);
}

void TestChartWindow::hoverTexts_data()
{
    QTest::addColumn<QPointF>("marker");
    QTest::addColumn<QPoint>("offset"); // from the marker's centre, in pixels
    QTest::addColumn<bool>("applicant");
    QTest::addColumn<bool>("shown");
    QTest::newRow("applicant") << QPointF(35, 300) << QPoint(0, 0) << true << true;
    QTest::newRow("reference under the applicants") << QPointF(40, 100) << QPoint(0, 0) << false << true;
    QTest::newRow("reference, its marker's corner") << QPointF(30, 500) << QPoint(3, -3) << false << true;
    QTest::newRow("beside every marker") << QPointF(35, 300) << QPoint(25, 0) << true << false;
}

void TestChartWindow::hoverTexts()
{
    QFETCH(QPointF, marker);
    QFETCH(QPoint, offset);
    QFETCH(bool, applicant);
    QFETCH(bool, shown);
    MainWindow *main = open({reference(30, 500), reference(40, 100), ::applicant("a", 35)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    QWidget *viewport = w->view()->viewport();
    const auto moveTo = [&](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
    };
    moveTo(markerPosition(w, QPointF(35, 300))); // a text showing before
    QVERIFY(QToolTip::isVisible());
    moveTo(markerPosition(w, marker) + offset);
    if (shown)
        QCOMPARE(QToolTip::text(), applicant ? w->applicantsToolTip(marker) : w->referencesToolTip(marker));
    else
        QTRY_VERIFY(!QToolTip::isVisible());
    QToolTip::hideText();
}

void TestChartWindow::targetOnEveryKeystroke_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<QString>("oneLess"); // shown after a backspace
    const QString unreachable = t(chart_texts::kUnreachable);
    QTest::newRow("300") << "300"
                         << "34.99" << true << unreachable;
    QTest::newRow("Persian digits") << QStringLiteral(u"۳۰۰") << "34.99" << true << unreachable;
    QTest::newRow("1005") << "1005"
                          << "17.37" << true << "39.99";
    QTest::newRow("unreachable") << "20" << unreachable << false << unreachable;
    QTest::newRow("not a rank") << "30a"
                                << "" << false << unreachable;
}

void TestChartWindow::targetOnEveryKeystroke()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, drawn);
    // Ranks fall to 100 at 40, then stay flat: 20 is out of reach.
    MainWindow *main =
        open({reference(30, 500), reference(40, 100), reference(100, 100), applicant("a", 35)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    QCOMPARE(w->Text1->accessibleName(), QStringLiteral(u"رتبه هدف"));
    QCOMPARE(w->Label1->buddy(), w->Text1);
    type(w->Text1, typed);
    QCOMPARE(w->Label3->caption(), shown);
    QCOMPARE(w->targetSeries->count(), drawn ? 1 : 0);
    if (drawn)
        QVERIFY(w->view()->accessibleDescription().contains(shown));

    // One keystroke less: updated at once.
    QFETCH(QString, oneLess);
    QTest::keyClick(w->Text1, Qt::Key_Backspace);
    QCOMPARE(w->Label3->caption(), oneLess);
    QCOMPARE(spokenName(w->Label3), u"ميانگين لازم: "_qs + oneLess); // as a screen reader reads it

    // After a pass with another factor the answer follows.
    type(w->Text1, typed.right(1));
    main->Text1->setText(QStringLiteral("abc"));
    main->Command1_Click();
    QCOMPARE(w->Label3->caption(), shown.isEmpty() ? QString() : t(chart_texts::kUnreachable));
}

void TestChartWindow::fewerThanTwoReferences()
{
    MainWindow *main = open({reference(30, 500), applicant("a", 35)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    QCOMPARE(w->lineDrawn().size(), 0);
    QCOMPARE(w->applicantSeries->count(), 0);
    QCOMPARE(w->referenceSeries->count(), 1);
    QVERIFY(w->view()->accessibleDescription().contains(t(chart_texts::kNoEstimate)));
    type(w->Text1, QStringLiteral("300"));
    QCOMPARE(w->Label3->caption(), t(chart_texts::kNoEstimate));

    // A second row and the line is there.
    exec(m_bank, {reference(40, 100)});
    QVERIFY(main->reread());
    QVERIFY(w->lineDrawn().size() >= 2);
    QCOMPARE(w->Label3->caption(), QStringLiteral("34.99"));
    QVERIFY(!w->view()->accessibleDescription().contains(t(chart_texts::kNoEstimate)));

    // A row without its rank is left out, and the note says so as the main window does.
    QVERIFY(w->Label4->isHidden());
    exec(m_bank, {QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (50, NULL)")});
    QVERIFY(main->reread());
    QCOMPARE(w->referenceSeries->count(), 2);
    QCOMPARE(w->Label3->caption(), QStringLiteral("34.99"));
    QVERIFY(!w->Label4->isHidden());
    QCOMPARE(w->Label4->caption(), main->Label17->caption());
    QVERIFY(w->view()->accessibleDescription().contains(main->Label17->caption()));
}

void TestChartWindow::lineDrawnWhereTheAxesPutIt_data()
{
    QTest::addColumn<bool>("logarithmic");
    QTest::newRow("linear") << false;
    QTest::newRow("logarithmic") << true;
}

// The window draws the line itself: it must stay on the chart's scale as the
// plot is resized and the axis changes, and still be named in the legend.
void TestChartWindow::lineDrawnWhereTheAxesPutIt()
{
    QFETCH(bool, logarithmic);
    MainWindow *main = open({reference(30, 500), reference(40, 100)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    w->Check1->setChecked(logarithmic);
    for (QAbstractSeries *s : {static_cast<QAbstractSeries *>(w->estimateSeries),
                               static_cast<QAbstractSeries *>(w->likelySeries)}) {
        const QList<QLegendMarker *> legend = w->chart()->legend()->markers(s);
        QCOMPARE(legend.size(), 1);
        QVERIFY(legend.first()->isVisible());
        QCOMPARE(legend.first()->label(), s->name());
    }
    // Taller alone, the line keeps its points and only the scale changes.
    for (QSize grow : {QSize(0, 0), QSize(0, 250), QSize(300, 0)}) {
        w->resize(w->size() + grow);
        settle(w);
        // The line's colour at its point halfway (32, 420), on the pixel or
        // beside it, the line being a pixel and a half wide.
        const QImage image = w->view()->grab().toImage();
        const QPoint at = w->view()->mapFromScene(w->chart()->mapToPosition(QPointF(32, 420), w->estimateSeries));
        int bluest = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const QColor c = image.pixelColor(at + QPoint(dx, dy));
                bluest = std::max(bluest, c.blue() - c.red());
            }
        QVERIFY2(bluest > 100, qPrintable(QStringLiteral("%1 at %2,%3").arg(bluest).arg(at.x()).arg(at.y())));
    }
}

void TestChartWindow::logarithmicAxisLeavesOutRanksBelow1()
{
    // 45 extrapolates to -100 and 42.5 to 0: no place on a log axis.
    MainWindow *main = open({reference(30, 500), reference(40, 100), applicant("a", 35), applicant("b", 45),
                             applicant("c", 42.5), applicant("d", 20)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    QCOMPARE(w->applicantSeries->count(), 4);
    QVERIFY(w->Label4->isHidden());

    w->Check1->setChecked(true);
    settle(w);
    QCOMPARE(w->chart()->axes(Qt::Vertical).size(), 1);
    QCOMPARE(w->chart()->axes(Qt::Vertical).first()->type(), QAbstractAxis::AxisTypeLogValue);
    QCOMPARE(w->applicantSeries->count(), 2);
    for (const QPointF &p : w->applicantSeries->points())
        QVERIFY(p.y() >= 1);
    for (const QPointF &p : w->lineDrawn())
        QVERIFY(p.y() >= 1);
    QCOMPARE(w->applicantsLeftOut(), 2);
    QVERIFY(!w->Label4->isHidden());
    QVERIFY2(w->Label4->caption().contains(u'2'), qPrintable(w->Label4->caption()));
    QVERIFY(w->view()->accessibleDescription().contains(w->Label4->caption()));

    w->Check1->setChecked(false);
    QCOMPARE(w->applicantSeries->count(), 4);
    QVERIFY(w->Label4->isHidden());
    QVERIFY(m_messages.isEmpty());
}

void TestChartWindow::likelyRangeInHoverAndNote_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("rankText");
    QTest::addColumn<QString>("note");
    // Every second point 600 ranks worse: each leave-one-out error is +600
    // or -600, so the range is 600 either side and the typical error 600.
    QStringList zigzag{applicant("a", 20)};
    for (int j = 0; j < 10; ++j)
        zigzag << reference(10 * j, 5000 + 600 * (j % 2));
    QTest::newRow("zigzag, 8 error points")
        << zigzag << QStringLiteral(u"رتبه 5000 (بازه محتمل 4400 تا 5600)")
        << QStringLiteral(u"خطاي معمول تخمين: 600 رتبه");
    QTest::newRow("two reference points: no range")
        << QStringList{reference(30, 500), reference(40, 100), applicant("a", 35)}
        << QStringLiteral(u"رتبه: 300") << QString();
}

void TestChartWindow::likelyRangeInHoverAndNote()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, rankText);
    QFETCH(QString, note);
    MainWindow *main = open(rows);
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    const ChartApplicant &a = w->data().applicants.first();
    const QString tip = w->applicantsToolTip(QPointF(a.x, a.rank));
    QVERIFY2(tip.endsWith(QStringLiteral(u" \u2014 ") + rankText), qPrintable(tip));
    QCOMPARE(w->bandDrawn().best.size() > 0, !note.isEmpty());
    QCOMPARE(w->Label4->isHidden(), note.isEmpty());
    if (note.isEmpty())
        return;
    QCOMPARE(w->Label4->caption(), note);
    QAccessibleInterface *chart = QAccessible::queryAccessibleInterface(w->view());
    QVERIFY(chart && chart->text(QAccessible::Description).contains(note));
    // The band stays on the plot on a logarithmic axis.
    w->Check1->setChecked(true);
    settle(w);
    QVERIFY(w->bandDrawn().best.size() > 0);
    for (const QPointF &p :
         w->bandDrawn().best + w->bandDrawn().worst)
        QVERIFY(p.y() >= 1);
    QVERIFY(m_messages.isEmpty());
}

void TestChartWindow::saves_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format"); // empty: nothing written
    QTest::newRow("chart.png") << "chart.png" << QByteArray("PNG");
    QTest::newRow("chart.svg") << "chart.svg" << QByteArray("SVG");
    QTest::newRow("CHART.SVG") << "CHART.SVG" << QByteArray("SVG");
    QTest::newRow("no suffix") << "chart" << QByteArray("PNG");
    QTest::newRow("missing folder") << "no/such/folder/chart.png" << QByteArray();
    QTest::newRow("the open database") << "{bank}" << QByteArray();
    QTest::newRow("cancelled") << "" << QByteArray();
}

void TestChartWindow::saves()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    MainWindow *main = open({reference(30, 500), reference(40, 100), applicant(QStringLiteral(u"مريم"), 35)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    QTemporaryDir out;
    const QString file = name.isEmpty() ? QString() : name == "{bank}" ? m_bank : out.filePath(name);
    const auto contents = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray bank = contents(m_bank);
    int asked = 0;
    ChartWindow::setFileChooser([&](QWidget *) {
        ++asked;
        return file;
    });
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(asked, 1);

    if (format.isEmpty()) {
        QCOMPARE(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        QCOMPARE(m_messages.size(), name.isEmpty() ? 0 : 1); // a failure is told, a cancel is not
        if (!name.isEmpty())
            QVERIFY(m_messages.first().contains(QDir::toNativeSeparators(file)));
        QCOMPARE(contents(m_bank), bank);
        return;
    }
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    if (format == "PNG") {
        QVERIFY(bytes.startsWith("\x89PNG"));
        const QImage image = QImage::fromData(bytes, "PNG");
        const QSize shown = w->view()->size();
        QVERIFY(!image.isNull());
        QCOMPARE(image.width() % shown.width(), 0);
        QCOMPARE(image.height() * shown.width(), shown.height() * image.width()); // a whole multiple
        // The chart was drawn: title, axes, markers in several colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 20, QByteArray::number(colours.size()));
        image.save(QDir::temp().filePath("tst_chartwindow.png"));
    } else {
        const QString svg = QString::fromUtf8(bytes);
        QVERIFY(svg.contains(QStringLiteral("<svg")));
        QVERIFY(svg.contains(QStringLiteral("<title>") + w->chart()->title().toHtmlEscaped()));
        QVERIFY(svg.contains(QStringLiteral(u"مريم")) == false); // names are in tooltips only
    }
}

// The window stamps raster pictures of its markers; a vector file must not.
void TestChartWindow::svgDrawsMarkersAsVectors()
{
    MainWindow *main = open({reference(30, 500), reference(40, 100), applicant("a", 35)});
    QVERIFY(main);
    ChartWindow *w = openChart(main);
    QVERIFY(w);
    QTemporaryDir out;
    QVERIFY(w->saveImage(out.filePath("chart.svg")));
    QFile f(out.filePath("chart.svg"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("<image"));
    QVERIFY(!w->referenceSeries->lightMarker().isNull()); // stamped again for the screen
}

void TestChartWindow::closesWithTheMainWindow()
{
    MainWindow *main = open({reference(30, 500), reference(40, 100)});
    QVERIFY(main);
    QPointer<ChartWindow> w = openChart(main);
    QVERIFY(w);
    QPointer<MainWindow> guard(main);
    main->close();
    QTRY_VERIFY(w.isNull());
    QTRY_VERIFY(guard.isNull());
}

QTEST_MAIN(TestChartWindow)
#include "tst_chartwindow.moc"
