#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tk::setupApplication(app);
    tk::FormSlot<ranqor::Form1> main;
    if (ranqor::Form1 *form = main.ensure())
        form->showModeless();
    return tk::programEnded() ? 0 : app.exec();
}
