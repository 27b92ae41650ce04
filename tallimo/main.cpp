#include "calculatorwindow.h"
#include "startup.h"

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
    return tk::runSingleWindowProgram<tallimo::CalculatorWindow>(argc, argv, info);
}
