// Fills each window with sample input and saves what it shows as a PNG, so
// that the pictures in the README can be made again after a change.
#include "aboutwindow.h"
#include "calculatorwindow.h"
#include "core/workspace.h"
#include "estimatorwindow.h"
#include "gui/chartwindow.h"
#include "gui/choicelist.h"
#include "gui/mainwindow.h"
#include "testsupport/testbank.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPainter>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace {

void save(QWidget *w, const QString &dir, const QString &name)
{
    w->show();
    w->raise();
    QApplication::processEvents();
    w->grab().save(QDir(dir).filePath(name));
}

void ranqorShots(const QString &dir)
{
    tk::FormSlot<ranqor::EstimatorWindow> slot;
    ranqor::EstimatorWindow *f = slot.ensure();
    // One negative percentage: the average is as long as an applicant's can
    // get, and the picture shows it whole.
    f->Text[0]->setText(QStringLiteral("-1"));
    save(f, dir, "ranqor.png");
    f->Command1_Click();
    save(f->aboutWindow(), dir, "ranqor-about.png");
    delete f->aboutWindow();
    delete f;
}

void tallimoShots(const QString &dir)
{
    tk::FormSlot<tallimo::CalculatorWindow> slot;
    tallimo::CalculatorWindow *f = slot.ensure();
    f->Text1->setText("20");
    f->Text2->setText("5");
    f->Text3->setText("25");
    f->Command1->click();
    save(f, dir, "tallimo.png");
    delete f;
}

// A small database of made-up applicants and reference results.
void fillSampleBank(const QString &file)
{
    testbank::createStandardTables(file);
    testbank::run(file, [](QSqlQuery &q) {
        const struct
        {
            double avg;
            int rank;
        } refs[] = {{45, 5}, {40, 30}, {35, 150}, {30, 450}, {25, 1200}, {20, 3000}, {15, 6500}, {10, 12000}};
        for (const auto &r : refs)
            q.exec(QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (%1, %2)").arg(r.avg).arg(r.rank));
        // A result stored without its rank: the window names it under the lists.
        q.exec(QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (50, NULL)"));
        const struct
        {
            const char16_t *name;
            double avg;
        } people[] = {{u"علي رضايي", 41.5},  {u"مريم احمدي", 33.2},  {u"حسين کريمي", 27.9},
                      {u"زهرا محمدي", 22.4}, {u"سارا حسيني", 37.05}, {u"رضا موسوي", 12.6},
                      {u"نرگس کاظمي", 8.3}};
        for (const auto &p : people) {
            q.prepare("INSERT INTO Davtalab (Name, Avg) VALUES (?, ?)");
            q.addBindValue(QString::fromUtf16(p.name));
            q.addBindValue(p.avg);
            q.exec();
        }
        return true;
    });
}

void placevaShots(const QString &dir)
{
    QTemporaryDir bank;
    fillSampleBank(bank.filePath("Bank.db"));
    tk::FormSlot<placeva::MainWindow> slot;
    placeva::MainWindow *f = slot.ensure(bank.path());
    f->showModeless();
    f->List2->setListIndex(4);
    save(f, dir, "placeva.png");
    delete f;
}

// The pictures show the windows at their designed size, whatever screen
// Xvfb was given; the laptop's picture sets its own.
const QRect kDesktop(0, 0, 1920, 1080);

// A laptop's screen, 1366 × 768 with a 40-pixel panel at its foot, and the
// main window opened on it: smaller than designed, its lists giving up rows.
void laptopShot(const QString &dir)
{
    const QRect screen(0, 0, 1366, 768);
    const QRect area(0, 0, 1366, 728);
    tk::setAvailableArea(area);
    QTemporaryDir bank;
    fillSampleBank(bank.filePath("Bank.db"));
    tk::FormSlot<placeva::MainWindow> slot;
    placeva::MainWindow *f = slot.ensure(bank.path());
    f->move(283, 0);
    f->showModeless();
    f->List2->setListIndex(4);
    QApplication::processEvents();
    const QImage window = f->grab().toImage();
    const QMargins frame = tk::frameAllowance(f);

    QImage shot(screen.size(), QImage::Format_RGB32);
    shot.fill(QColor(58, 110, 165));
    QPainter p(&shot);
    p.fillRect(QRect(0, area.bottom() + 1, screen.width(), screen.height() - area.height()), QColor(40, 40, 40));
    const QRect outer(f->pos(), f->size().grownBy(frame));
    p.fillRect(outer, QColor(210, 210, 210));
    p.setPen(Qt::black);
    p.setFont(tk::font(9, true));
    p.drawText(QRect(outer.left() + 8, outer.top(), outer.width() - 16, frame.top()),
               Qt::AlignVCenter | Qt::AlignRight, f->windowTitle());
    p.drawImage(outer.topLeft() + QPoint(frame.left(), frame.top()), window);
    p.end();
    shot.save(QDir(dir).filePath("placeva-laptop.png"));
    delete f;
    tk::setAvailableArea(kDesktop);
}

// Qt's file dialog as the report's "save as PDF" opens it: Persian captions,
// file names, sizes and dates in their own order.
void fileDialogShot(const QString &dir)
{
    QTemporaryDir folder;
    const char *files[] = {"01-main-start.png", "Bank.db", "class-a-results.csv", "Gozaresh.pdf"};
    for (const char *name : files) {
        QFile f(folder.filePath(QString::fromLatin1(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(1500, 'x'));
    }
    QFile persian(folder.filePath(QStringLiteral(u"گزارش کلاس.pdf")));
    if (persian.open(QIODevice::WriteOnly))
        persian.write(QByteArray(52000, 'x'));
    QFileDialog dialog(nullptr, QStringLiteral(u"ذخيره گزارش به PDF"), folder.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("PDF (*.pdf)"), QStringLiteral(u"همه پرونده ها (*)")});
    dialog.selectNameFilter(QStringLiteral(u"همه پرونده ها (*)"));
    dialog.setViewMode(QFileDialog::Detail);
    dialog.selectFile(QStringLiteral("Gozaresh.pdf"));
    dialog.resize(860, 440);
    dialog.show();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    dialog.grab().save(QDir(dir).filePath("placeva-file-dialog.png"));
}

// Invented applicants and reference results: ranks falling steeply as the
// average rises, with the scatter real results have.
void fillChartBank(const QString &file)
{
    testbank::createStandardTables(file);
    testbank::run(file, [](QSqlQuery &q) {
        QRandomGenerator g(88);
        const auto rankAt = [](double avg) { return 16000.0 * std::exp(-0.085 * (avg + 5)); };
        for (int i = 0; i < 36; ++i) {
            const double avg = -5 + i * 1.7 + g.bounded(100) / 100.0;
            const int rank = std::max(1, int(rankAt(avg) * (0.9 + g.bounded(20) / 100.0)));
            q.prepare("INSERT INTO Formol (Avg, Rotbeh) VALUES (?, ?)");
            q.addBindValue(avg);
            q.addBindValue(rank);
            q.exec();
        }
        const QStringList first{QStringLiteral(u"کيان"),   QStringLiteral(u"مريم"),
                                QStringLiteral(u"سينا"),   QStringLiteral(u"ياسمن"),
                                QStringLiteral(u"کامران"), QStringLiteral(u"نيلوفر"),
                                QStringLiteral(u"پويا"),   QStringLiteral(u"شيرين"),
                                QStringLiteral(u"کاوه"),   QStringLiteral(u"يگانه")};
        const QStringList last{QStringLiteral(u"کريمي"),  QStringLiteral(u"رحيمي"),
                               QStringLiteral(u"يزدي"),   QStringLiteral(u"کاظمي"),
                               QStringLiteral(u"نيکنام"), QStringLiteral(u"شيرازي"),
                               QStringLiteral(u"کرماني"), QStringLiteral(u"يوسفي")};
        for (int i = 0; i < 400; ++i) {
            const double avg =
                std::round((g.bounded(2) ? 18 + g.bounded(3500) / 100.0 : 5 + g.bounded(6000) / 100.0) * 100)
                / 100;
            q.prepare("INSERT INTO Davtalab (Name, Avg) VALUES (?, ?)");
            q.addBindValue(first[g.bounded(int(first.size()))] + u' ' + last[g.bounded(int(last.size()))]);
            q.addBindValue(avg);
            q.exec();
        }
        return true;
    });
}

// Lets a chart finish replacing its axes before it is drawn.
void saveSettled(QWidget *w, const QString &dir, const QString &name)
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    w->grab().save(QDir(dir).filePath(name));
}

// The chart needs more points than the lists to show its shape.
void chartShots(const QString &dir)
{
    QTemporaryDir bank;
    fillChartBank(bank.filePath("Bank.db"));
    tk::FormSlot<placeva::MainWindow> slot;
    placeva::MainWindow *main = slot.ensure(bank.path());
    main->showModeless();
    placeva::ChartWindow *chart = placeva::openChartWindow(*main);
    chart->Text1->setText(QStringLiteral("500"));
    saveSettled(chart, dir, "placeva-chart.png");
    chart->Check1->setChecked(true);
    saveSettled(chart, dir, "placeva-chart-log.png");
    delete main;
}

// The choice list with a verdict and a chance beside every filled priority,
// for an applicant whose range spans several limits; two priorities can never
// count (one after a looser choice, one without a limit), and none admits
// the worst likely rank.
void choiceListShots(const QString &dir)
{
    QTemporaryDir bank;
    fillChartBank(bank.filePath("Bank.db"));
    tk::FormSlot<placeva::MainWindow> slot;
    placeva::MainWindow *main = slot.ensure(bank.path());
    main->showModeless();
    const auto &applicants = main->workspace().result().applicants;
    int pick = 0;
    for (int i = 0; i < applicants.size(); ++i) {
        const auto &a = applicants[i];
        if (a.rank && a.range && *a.rank > 1450 && *a.rank < 1600 && a.range->best < 1200) {
            pick = i;
            break;
        }
    }
    tk::FormSlot<placeva::ChoiceList> choices;
    placeva::ChoiceList *f = choices.ensure(&main->workspace());
    f->show();
    f->Combo1->setCurrentIndex(pick);
    emit f->Combo1->activated(pick);
    const int chosen[] = {17, 20, 19, 18, 22, 0, 0, 24}; // positions in the offer, 0 for none
    for (size_t i = 0; i < std::size(chosen); ++i)
        f->Combo2[i]->setCurrentIndex(chosen[i] - 1);
    f->Command1_Click();
    save(f, dir, "placeva-form4.png");
    delete f;
    delete main;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tk::setupApplication(app);
    tk::setAvailableArea(kDesktop);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    ranqorShots(dir);
    tallimoShots(dir);
    placevaShots(dir);
    laptopShot(dir);
    fileDialogShot(dir);
    chartShots(dir);
    choiceListShots(dir);
    return 0;
}
