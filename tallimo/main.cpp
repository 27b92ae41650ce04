#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tk::setupApplication(app);

    tk::FormSlot<tallimo::Form1> form1;
    tallimo::Form1 *form = form1.ensure();
    if (!form)
        return 1;
    form->showModeless();
    return tk::programEnded() ? 0 : app.exec();
}
