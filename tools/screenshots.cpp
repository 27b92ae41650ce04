// Fills each window with sample input and saves what it shows as a PNG, so
// that the pictures in the README can be made again after a change.
#include "form1.h"
#include "form2.h"

#include <QApplication>
#include <QDir>
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tk::setupApplication(app);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    ranqorShots(dir);
    return 0;
}
