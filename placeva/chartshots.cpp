// Saves the chart window on a made-up database as the README shows it:
// cmake -DKT_SHOTS=ON, then xvfb-run bin/chartshots docs/
#include "chartwindow.h"
#include "form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cmath>

namespace {

// Invented applicants and reference results: ranks falling steeply as the
// average rises, with the scatter real results have.
void fillSampleBank(const QString &file)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "chart-sample");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.exec("CREATE TABLE Davtalab (Name TEXT, Dini REAL, Adabiat REAL, Zaban REAL, Riazi REAL, ZabanT REAL, "
               "Madar REAL, barname REAL, system REAL, zakhire REAL, sakhteman REAL, Avg REAL)");
        q.exec("CREATE TABLE Formol (Dini REAL, Adabiat REAL, Zaban REAL, Riazi REAL, ZabanT REAL, Madar REAL, "
               "barname REAL, takh REAL, Avg REAL, Rotbeh INTEGER)");
        db.transaction();
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
        const QStringList first{QStringLiteral(u"کيان"), QStringLiteral(u"مريم"), QStringLiteral(u"سينا"),
                                QStringLiteral(u"ياسمن"), QStringLiteral(u"کامران"), QStringLiteral(u"نيلوفر"),
                                QStringLiteral(u"پويا"), QStringLiteral(u"شيرين"), QStringLiteral(u"کاوه"),
                                QStringLiteral(u"يگانه")};
        const QStringList last{QStringLiteral(u"کريمي"), QStringLiteral(u"رحيمي"), QStringLiteral(u"يزدي"),
                               QStringLiteral(u"کاظمي"), QStringLiteral(u"نيکنام"), QStringLiteral(u"شيرازي"),
                               QStringLiteral(u"کرماني"), QStringLiteral(u"يوسفي")};
        for (int i = 0; i < 400; ++i) {
            const double avg = std::round((g.bounded(2) ? 18 + g.bounded(3500) / 100.0 : 5 + g.bounded(6000) / 100.0) * 100) / 100;
            q.prepare("INSERT INTO Davtalab (Name, Avg) VALUES (?, ?)");
            q.addBindValue(first[g.bounded(int(first.size()))] + u' ' + last[g.bounded(int(last.size()))]);
            q.addBindValue(avg);
            q.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase("chart-sample");
}

void save(QWidget *w, const QString &dir, const QString &name)
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        // What the event loop would delete by now (a replaced axis' drawing).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    w->grab().save(QDir(dir).filePath(name));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tk::setupApplication(app);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QTemporaryDir bank;
    fillSampleBank(bank.filePath("Bank.db"));
    tk::FormSlot<placeva::Form1> slot;
    placeva::Form1 *main = slot.ensure(bank.path());
    if (!main)
        return 1;
    main->showModeless();
    placeva::ChartWindow *chart = placeva::openChartWindow(*main);
    if (!chart)
        return 1;
    chart->Text1->setText(QStringLiteral("500"));
    save(chart, out, "placeva-chart.png");
    chart->Check1->setChecked(true);
    save(chart, out, "placeva-chart-log.png");
    delete main;
    return 0;
}
