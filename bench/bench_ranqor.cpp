// One keystroke in Ranqor: the change handling of a box, i.e. the average,
// the colour and the four rank estimates, with every label written.
#include "estimatorwindow.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tk::setupApplication(app);
    tk::FormSlot<ranqor::EstimatorWindow> slot;
    ranqor::EstimatorWindow *form = slot.ensure();
    form->showModeless();

    // Averages whose four estimates count deepest into the longest runs.
    struct Case
    {
        const char *name;
        const char *text;
    };
    const Case cases[] = {
        {"average 40 (short runs)", "40"},
        {"average 20", "20"},
        {"average 7.17 (longest runs, worst case)", "7.17"},
    };
    std::printf("%-42s %12s %12s\n", "keystroke", "median ms", "99th pct ms");
    for (const Case &c : cases) {
        for (tk::TextBox *box : form->Text)
            box->setText(QString::fromLatin1(c.text));
        std::vector<double> ms;
        for (int i = 0; i < 3000; ++i) {
            // alternate the text ("40", "40 ") so that every assignment is a
            // real change while the value, and so the work, stays the same
            const QString text = QString::fromLatin1(c.text) + QLatin1String(i % 2 ? " " : "");
            const auto t0 = std::chrono::steady_clock::now();
            form->Text[3]->setText(text);
            const auto t1 = std::chrono::steady_clock::now();
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-42s %12.4f %12.4f\n", c.name, ms[ms.size() / 2], ms[ms.size() * 99 / 100]);
    }
    delete form;
    return 0;
}
