// Fills each window with sample input and saves what it shows as a PNG, so
// that the pictures in the README can be made again after a change.
#include "form1.h"
#include "form2.h"
#include "placeva/form1.h"
#include "tallimo/form1.h"

#include <QApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

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
    tk::FormSlot<ranqor::Form1> slot;
    ranqor::Form1 *f = slot.ensure();
    const char *values[10] = {"40", "52", "36", "-5", "48", "30", "45", "20", "0", "33.3"};
    for (int i = 0; i < 10; ++i)
        f->Text[size_t(i)]->setText(QString::fromLatin1(values[i]));
    save(f, dir, "ranqor.png");
    f->Command1_Click();
    save(f->aboutWindow(), dir, "ranqor-about.png");
    delete f->aboutWindow();
    delete f;
}

void tallimoShots(const QString &dir)
{
    tk::FormSlot<tallimo::Form1> slot;
    tallimo::Form1 *f = slot.ensure();
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
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "sample");
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.exec("CREATE TABLE Davtalab (Name TEXT, Dini REAL, Adabiat REAL, Zaban REAL, Riazi REAL, ZabanT REAL, "
               "Madar REAL, barname REAL, system REAL, zakhire REAL, sakhteman REAL, Avg REAL)");
        q.exec("CREATE TABLE Formol (Dini REAL, Adabiat REAL, Zaban REAL, Riazi REAL, ZabanT REAL, Madar REAL, "
               "barname REAL, takh REAL, Avg REAL, Rotbeh INTEGER)");
        const struct { double avg; int rank; } refs[] = {{45, 5}, {40, 30}, {35, 150}, {30, 450},
                                                         {25, 1200}, {20, 3000}, {15, 6500}, {10, 12000}};
        for (const auto &r : refs)
            q.exec(QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (%1, %2)").arg(r.avg).arg(r.rank));
        const struct { const char16_t *name; double avg; } people[] = {
            {u"علي رضايي", 41.5}, {u"مريم احمدي", 33.2}, {u"حسين کريمي", 27.9}, {u"زهرا محمدي", 22.4},
            {u"سارا حسيني", 37.05}, {u"رضا موسوي", 12.6}, {u"نرگس کاظمي", 8.3}};
        for (const auto &p : people) {
            q.prepare("INSERT INTO Davtalab (Name, Avg) VALUES (?, ?)");
            q.addBindValue(QString::fromUtf16(p.name));
            q.addBindValue(p.avg);
            q.exec();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("sample");
}

void placevaShots(const QString &dir)
{
    QTemporaryDir bank;
    fillSampleBank(bank.filePath("Bank.db"));
    tk::FormSlot<placeva::Form1> slot;
    placeva::Form1 *f = slot.ensure(bank.path());
    f->showModeless();
    f->List2->setListIndex(4);
    save(f, dir, "placeva.png");
    delete f;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tk::setupApplication(app);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    ranqorShots(dir);
    tallimoShots(dir);
    placevaShots(dir);
    return 0;
}
