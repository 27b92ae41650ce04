#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tk::setupApplication(app);
    // Bank.db lies beside the program.
    tk::FormSlot<placeva::Form1> main;
    if (placeva::Form1 *form = main.ensure(QCoreApplication::applicationDirPath()))
        form->showModeless();
    return tk::programEnded() || !main.isLoaded() ? 1 : app.exec();
}
