#include "calculatorwindow.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const tk::ProgramInfo info{
        QStringLiteral("tallimo"), QStringLiteral(KT_VERSION),
        QStringLiteral(u"تاليمو: درصد يک درس از پاسخ هاي درست و نادرست، با نمره منفي.\n"
                       u"استفاده: tallimo [--help] [--version]\n"
                       u"  --help     همين راهنما\n"
                       u"  --version  نام و نسخه برنامه\n"),
        QStringLiteral(
            "Tallimo: a subject's percentage from right and wrong answers under negative marking.\n"
            "Usage: tallimo [--help] [--version]\n"
            "  --help     this help\n"
            "  --version  the program's name and version\n")};
    if (const auto status = tk::handleInfoOptions(tk::commandLineArguments(argc, argv), info))
        return *status;
    QApplication app(argc, argv);
    tk::setupApplication(app);
    tk::quitAfterFirstWindowIfAsked(app);

    tk::FormSlot<tallimo::CalculatorWindow> form1;
    tallimo::CalculatorWindow *form = form1.ensure();
    if (!form)
        return 1;
    form->showModeless();
    return tk::programEnded() ? 0 : app.exec();
}
