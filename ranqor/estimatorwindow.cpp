#include "estimatorwindow.h"

#include "aboutwindow.h"
#include "numbers.h"

#include <vector>

using common::checkedAdd;
using common::checkedDiv;
using common::checkedMul;
using common::checkedSub;
using common::leadingNumber;

namespace ranqor {

namespace {

constexpr std::uint32_t kWhite = 16777215;
constexpr std::uint32_t kGreen = 65280;
constexpr std::uint32_t kRed = 255;
constexpr std::uint32_t kValueColour = 192;                    // dark red
constexpr std::uint32_t kCaptionColour = tk::rgb(0, 0, 128);   // navy
constexpr std::uint32_t kHeadingColour = tk::rgb(128, 0, 0);   // maroon
constexpr std::uint32_t kAddressColour = tk::rgb(128, 0, 128); // purple

// The subject captions, Text1 .. Text10 in order.
const char16_t *const kSubjectCaptions[10] = {
    u": معارف",      u": ادبيات",       u": زبان عمومي", u": رياضي و امار", u": زبان تخصصي",
    u": مدار منطقي", u": برنامه نويسي", u": سيستم عامل", u": ذخيره",        u": ساختمان داده",
};

tk::Label *makeLabel(QWidget *parent, const QString &caption, double points, std::uint32_t colour)
{
    auto *l = new tk::Label(parent, caption);
    l->setFont(tk::font(points, true));
    l->setForeColor(colour);
    return l;
}

} // namespace

EstimatorWindow::EstimatorWindow(QWidget *parent) : tk::Form(parent)
{
    setWindowTitle(QStringLiteral(u"تخمين رتبه کارداني به کارشناسي نرم افزار با توجه به درصدها"));
    setClientSize(9030, 7605);

    // Three columns of boxes, right to left; each caption stands right of its box.
    const int columnLeft[10] = {6240, 6240, 6240, 3120, 3120, 3120, 3120, 240, 240, 240};
    const int rowTop[10] = {120, 720, 1320, 120, 720, 1320, 1920, 120, 720, 1320};
    const int captionWidth[10] = {1740, 1740, 1740, 2040, 2040, 2040, 2040, 1800, 1800, 1800};
    for (int i = 0; i < 10; ++i) {
        auto *box = new tk::TextBox(this);
        box->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        box->setFont(tk::font(12, true));
        tk::place(box, columnLeft[i], rowTop[i], 975, 495);
        Text[size_t(i)] = box;

        auto *caption = makeLabel(this, QString::fromUtf16(kSubjectCaptions[i]), 13.5, kCaptionColour);
        caption->setObjectName(QStringLiteral("Label%1").arg(12 + i));
        caption->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
        tk::place(caption, columnLeft[i] + 975 + 45, rowTop[i], captionWidth[i], 495);
        tk::setCaptionFor(caption, box);
        SubjectLabel[size_t(i)] = caption;

        tk::on(box, &tk::TextBox::change, this, [this, i] { TextChange(i + 1); });
    }
    for (int i = 1; i < 10; ++i)
        setTabOrder(Text[size_t(i - 1)], Text[size_t(i)]);

    // Colour legend: white, green and red, each text just left of its square.
    struct Legend
    {
        tk::Shape **shape;
        tk::Label **label;
        std::uint32_t fill;
        const char16_t *text;
        int left;
        int textWidth;
    };
    const Legend legend[3] = {
        {&Shape5, &Label22, kWhite, u"سفيد يا صفر درصد", 8280, 2160},
        {&Shape7, &Label23, kGreen, u"مثبت", 5520, 900},
        {&Shape8, &Label24, kRed, u"منفي", 3000, 900},
    };
    for (const Legend &l : legend) {
        *l.shape = new tk::Shape(this);
        (*l.shape)->setFill(l.fill);
        tk::place(*l.shape, l.left, 2640, 375, 375);
        *l.label = makeLabel(this, QString::fromUtf16(l.text), 12, kCaptionColour);
        (*l.label)->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
        tk::place(*l.label, l.left - 60 - l.textWidth, 2595, l.textWidth, 465);
    }
    Shape5->setObjectName("Shape5");
    Shape7->setObjectName("Shape7");
    Shape8->setObjectName("Shape8");

    // Outlines of the result rows.
    const auto outline = [this](const char *name, int top) {
        auto *s = new tk::Shape(this);
        s->setObjectName(QString::fromLatin1(name));
        s->setOutline();
        tk::place(s, 1680, top, 6135, 615);
        return s;
    };
    Shape1 = outline("Shape1", 3240);
    Shape3 = outline("Shape3", 3840);
    Shape4 = outline("Shape4", 5040);
    Shape6 = outline("Shape6", 5640);
    Shape2 = outline("Shape2", 6240);

    // Result rows: value label on the left, its caption on the right. The
    // value label is as wide as the longest average the window can write (15
    // significant digits, a sign and a three-digit exponent); the caption,
    // right-aligned, takes what is left of the row.
    const QFont valueFont = tk::font(13.5, true);
    const int captionRight = tk::px(7710);
    const int valueLeft = tk::px(1800);
    const int valueWidth =
        QFontMetrics(valueFont).horizontalAdvance(QStringLiteral("-8.88888888888888E+308")) + 4;
    const int captionLeft = valueLeft + valueWidth + tk::px(60);
    const auto row = [&](tk::Label *&caption, tk::Label *&value, const char16_t *text, int top,
                         const char *captionName, const char *valueName) {
        caption = makeLabel(this, QString::fromUtf16(text), 13.5, kCaptionColour);
        caption->setObjectName(QString::fromLatin1(captionName));
        caption->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
        caption->setGeometry(captionLeft, tk::px(top - 60), captionRight - captionLeft, tk::px(480));
        value = makeLabel(this, QStringLiteral("0"), 13.5, kValueColour);
        value->setObjectName(QString::fromLatin1(valueName));
        value->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
        value->setGeometry(valueLeft, tk::px(top - 60), valueWidth, tk::px(480));
        tk::setCaptionFor(caption, value);
    };
    row(Label6, Label1, u": ميانگين درصدها", 3360, "Label6", "Label1");
    row(Label7, Label2, u": رتبه در سال 87", 3960, "Label7", "Label2");
    row(Label8, Label3, u": بهترين حالت", 5160, "Label8", "Label3");
    row(Label9, Label4, u": حالت متوسط", 5760, "Label9", "Label4");
    row(Label10, Label5, u": بدترين حالت", 6360, "Label10", "Label5");

    Label11 = makeLabel(this, QStringLiteral(u": رتبه در سال 88"), 13.5, kHeadingColour);
    Label11->setObjectName("Label11");
    Label11->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    tk::place(Label11, 4560, 4500, 3150, 480);

    Label25 = makeLabel(this, tk::webAddress(), 10, kAddressColour);
    Label25->setObjectName("Label25");
    Label25->setAlignment(Qt::AlignCenter);
    tk::place(Label25, 1680, 7005, 6135, 420);

    const auto button = [this](const char16_t *text, int top, const char *name) {
        auto *b = new tk::Button(this, QString::fromUtf16(text));
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(tk::font(8.25, true));
        tk::place(b, 120, top, 975, 735);
        return b;
    };
    Command2 = button(u"تخمين بعدي", 4200, "Command2");
    Command1 = button(u"راهنمايي", 5400, "Command1");
    Command3 = button(u"خروج", 6600, "Command3");
    setTabOrder(Text[9], Command2);
    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Command3);
    tk::on(Command1, &tk::Button::clicked, this, [this] { Command1_Click(); });
    tk::on(Command2, &tk::Button::clicked, this, [this] { Command2_Click(); });
    tk::on(Command3, &tk::Button::clicked, this, [this] { Command3_Click(); });
}

EstimatorWindow::~EstimatorWindow() = default;

AboutWindow *EstimatorWindow::aboutWindow() const
{
    return m_about.get();
}

void EstimatorWindow::ComputeAverage()
{
    double t[11];
    for (int i = 1; i <= 10; ++i)
        t[i] = leadingNumber(Text[size_t(i - 1)]->text());
    const double a4 = checkedMul(t[4], 3);
    const double a6 = checkedMul(t[6], 2);
    const double a7 = checkedMul(t[7], 4);
    // The three specialised subjects: their plain mean carries weight 5.
    const double a8 = checkedMul(checkedDiv((t[8] + t[9]) + t[10], 3), 5);
    const double s = t[1] + t[2] + t[3] + a4 + t[5] + a6 + a7 + a8;
    const double average = checkedDiv(s, 18);
    Label1->setCaption(common::shortestText(average));
}

tk::Label *EstimatorWindow::resultLabel(int mode) const
{
    switch (mode) {
    case 1: return Label2;
    case 2: return Label3;
    case 3: return Label4;
    case 4: return Label5;
    default: return nullptr;
    }
}

void EstimatorWindow::EstimateRank()
{
    if (tk::Label *label = resultLabel(RankMode))
        label->setCaption(LookupRank());
}

void EstimatorWindow::TextChange(int n)
{
    tk::TextBox *box = Text[size_t(n - 1)];
    ComputeAverage();
    if (leadingNumber(box->text()) < 0)
        box->setBackColor(kRed);
    if (leadingNumber(box->text()) == 0)
        box->setBackColor(kWhite);
    if (leadingNumber(box->text()) > 0)
        box->setBackColor(kGreen);

    RankAverage = leadingNumber(Label1->caption());
    RankMode = 1;
    EstimateRank();
    RankAverage = checkedAdd(leadingNumber(Label1->caption()), 0.4);
    RankMode = 2;
    EstimateRank();
    RankAverage = checkedSub(leadingNumber(Label1->caption()), 0.5);
    RankMode = 3;
    EstimateRank();
    RankAverage = checkedSub(leadingNumber(Label1->caption()), 1.5);
    RankMode = 4;
    EstimateRank();
}

void EstimatorWindow::Command1_Click()
{
    if (AboutWindow *about = m_about.ensure())
        about->showModeless();
}

void EstimatorWindow::Command2_Click()
{
    // Each assignment runs that box's whole change handling before the next.
    // Until the last box is empty the others may still hold a value that
    // cannot be computed (1e308 weighted 3): those passing states are no news
    // to the user, so their faults stay silent and the boxes whose handling
    // they stopped are handled again once all ten are empty.
    std::vector<int> stopped;
    {
        tk::SilentErrors silent;
        for (int n = 1; n <= 10; ++n) {
            const int before = silent.count();
            Text[size_t(n - 1)]->setText(QString());
            if (silent.count() != before)
                stopped.push_back(n);
        }
    }
    for (int n : stopped)
        TextChange(n);
}

void EstimatorWindow::Command3_Click()
{
    tk::endProgram();
}

} // namespace ranqor
