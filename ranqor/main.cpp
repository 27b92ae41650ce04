#include "estimatorwindow.h"
#include "startup.h"

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
    return tk::runSingleWindowProgram<ranqor::EstimatorWindow>(argc, argv, info);
}
