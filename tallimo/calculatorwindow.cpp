#include "calculatorwindow.h"

#include "numbers.h"

#include <QPainter>
#include <QPixmap>

namespace tallimo {

namespace {

// The design's caption font; the number boxes keep the program's default.
constexpr double kCaptionPoints = 8.25;

// The caption labels share one right edge (in twips) so that their
// right-aligned Persian texts line up however long each one is.
constexpr int kCaptionRight = 4050;
constexpr int kRowHeight = 285;

// The percentage under negative marking, as the caption Label4 shows it.
// Throws common::NumberError for an empty or non-numeric box, a total of 0 or
// a value too large for a double.
QString percentCaption(const QString &correct, const QString &wrong, const QString &questions)
{
    const double c = common::strictNumber(correct);
    const double x = common::checkedMul(c, 3);
    const double w = common::strictNumber(wrong);
    // Kept in exactly this order, one rounding per operation: it fixes the
    // last bit of the percentage and so decides which way an exact half goes
    // (37 right out of 40 gives 92.50000000000001 and so 93).
    double y = common::checkedSub(x, w);
    y = common::checkedMul(y, 0.01);
    y = common::checkedMul(y, 100);
    y = common::checkedDiv(y, 3);
    const double t = common::strictNumber(questions);
    double p = common::checkedDiv(y, t);
    p = common::checkedMul(p, 100);
    // Ties go to the even neighbour; a negative zero prints as " 0".
    const double r = common::roundHalfEven(p);
    return QStringLiteral("% ") + common::signReservingText(r);
}

void placeCaption(tk::Label *label, int left, int top)
{
    label->setFont(tk::font(kCaptionPoints));
    // Absolute: Qt would otherwise mirror the alignment for Persian text and
    // push it away from its box.
    label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    tk::place(label, left, top, kCaptionRight - left, kRowHeight);
}

void placeNumberBox(tk::TextBox *box, int top)
{
    box->setAlignment(Qt::AlignRight);
    tk::place(box, 480, top, 975, kRowHeight);
}

// Draws a percent sign on a rounded tile, from shapes rather than a font so
// that it looks the same on every machine.
QPixmap iconPicture(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(0x2E, 0x8B, 0x57));
    tile.setColorAt(1, QColor(0x1B, 0x5E, 0x3B));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    QPen stroke(Qt::white, 7, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(stroke);
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(46, 14), QPointF(18, 50));
    painter.drawEllipse(QPointF(20, 20), 7, 7);
    painter.drawEllipse(QPointF(44, 44), 7, 7);
    return picture;
}

} // namespace

QIcon windowIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(iconPicture(size));
    return icon;
}

CalculatorWindow::CalculatorWindow(QWidget *parent) : tk::Form(parent)
{
    setWindowTitle(tk::webAddress());
    setWindowIcon(windowIcon());
    setClientSize(4260, 2550);

    // Created in tab order: correct, wrong, questions, then the button.
    Text1 = new tk::TextBox(this);
    placeNumberBox(Text1, 360);
    Text2 = new tk::TextBox(this);
    placeNumberBox(Text2, 840);
    Text3 = new tk::TextBox(this);
    placeNumberBox(Text3, 1320);

    Label1 = new tk::Label(this, QStringLiteral(u"تعداد سوالات درست"));
    placeCaption(Label1, 2520, 360);
    Label2 = new tk::Label(this, QStringLiteral(u"تعداد سوالات غلط"));
    placeCaption(Label2, 2640, 840);
    Label3 = new tk::Label(this, QStringLiteral(u"تعداد سوالات آن درس"));
    placeCaption(Label3, 2400, 1320);
    // Screen readers then name each box by what it holds.
    tk::setCaptionFor(Label1, Text1);
    tk::setCaptionFor(Label2, Text2);
    tk::setCaptionFor(Label3, Text3);

    Command1 = new tk::Button(this, QStringLiteral(u"محاسبه"));
    Command1->setFont(tk::font(kCaptionPoints));
    tk::place(Command1, 2640, 1800, 1095, 375);

    Label4 = new tk::Label(this);
    Label4->setFont(tk::font(kCaptionPoints));
    tk::place(Label4, 360, 1920, 1215, 255);

    Label5 = new tk::Label(this, tk::webAddress());
    Label5->setFont(tk::font(kCaptionPoints, true));
    tk::place(Label5, 1200, 2280, 2160, 255);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Command1);

    tk::on(Command1, &tk::Button::clicked, this, [this] { Command1_Click(); });
    setDefaultButton(Command1);
}

void CalculatorWindow::Command1_Click()
{
    const QString correct = Text1->text();
    const QString wrong = Text2->text();
    const QString questions = Text3->text();
    // One step: any fault abandons the whole computation without a message.
    // The result is then emptied rather than kept, since an old percentage
    // beside new inputs would read as theirs.
    QString caption;
    tk::skipOnError([&] { caption = percentCaption(correct, wrong, questions); });
    Label4->setCaption(caption);
}

} // namespace tallimo
