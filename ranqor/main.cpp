#include "estimatorwindow.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const tk::ProgramInfo info{
        QStringLiteral("ranqor"), QStringLiteral(KT_VERSION),
        QStringLiteral(u"رنکور: تخمين رتبه آزمون کارداني به کارشناسي از درصد ده درس.\n"
                       u"استفاده: ranqor [--help] [--version]\n"
                       u"  --help     همين راهنما\n"
                       u"  --version  نام و نسخه برنامه\n"),
        QStringLiteral("Ranqor: estimates the associate-to-bachelor exam rank from ten subject percentages.\n"
                       "Usage: ranqor [--help] [--version]\n"
                       "  --help     this help\n"
                       "  --version  the program's name and version\n")};
    if (const auto status = tk::handleInfoOptions(tk::commandLineArguments(argc, argv), info))
        return *status;
    QApplication app(argc, argv);
    tk::setupApplication(app);
    tk::quitAfterFirstWindowIfAsked(app);
    tk::FormSlot<ranqor::EstimatorWindow> main;
    if (ranqor::EstimatorWindow *form = main.ensure())
        form->showModeless();
    return tk::programEnded() ? 0 : app.exec();
}
