#include "aboutwindow.h"

#include <QPixmap>

namespace ranqor {

AboutWindow::AboutWindow(QWidget *parent) : tk::Form(parent)
{
    setWindowTitle(QStringLiteral(u"در مورد نرم افزار"));
    setClientSize(10005, 7080);
    setBackColor(16777215);
    setLayoutDirection(Qt::RightToLeft);

    // The picture is a little wider than the window; its right edge is cut.
    Image1 = new tk::ImageBox(this);
    Image1->setObjectName("Image1");
    Image1->setPicture(QPixmap(QStringLiteral(":/ranqor/about.jpg")));
    Image1->move(0, 0);
    Image1->setFocusPolicy(Qt::NoFocus);

    Command3 = new tk::Button(this, QStringLiteral(u"خروج"));
    Command3->setObjectName("Command3");
    Command3->setFont(tk::font(10, true));
    Command3->setGeometry(tk::px(360), tk::px(6240), tk::px(975), tk::px(735));
    Command3->setFocus();
    tk::on(Command3, &tk::Button::clicked, this, [this] { Command3_Click(); });
    setClosesOnEscape(true);
}

void AboutWindow::Command3_Click()
{
    close();
}

} // namespace ranqor
