#include "form3.h"

#include "csv.h"
#include "numbers.h"

using common::checkedAdd;
using common::checkedDiv;
using common::checkedMul;
using common::leadingNumber;
using common::shortestText;

namespace placeva {

namespace {

constexpr std::uint32_t kCaptionColour = tk::rgb(0, 0, 128);
constexpr std::uint32_t kNoticeColour = tk::rgb(128, 0, 0);

// Fields and captions of Text(0) .. Text(7).
const char *const kFields[8] = {"Dini", "Adabiat", "Zaban", "Riazi", "ZabanT", "Madar", "barname", "takh"};
const char16_t *const kCaptions[8] = {
    u"معارف اسلامي:", u"ادبيات :",     u"زبان عمومي:",  u"رياضي و آمار:",
    u"زبان تخصصي:",   u"مدار منطقي:", u"برنامه سازي:", u"دروس تخصصي:",
};

// The column under the notice: boxes on the left, captions to their right.
constexpr int kBoxLeft = 1560;
constexpr int kBoxWidth = 2400;
constexpr int kLabelLeft = 4080;
constexpr int kLabelWidth = 1860;
constexpr int kFirstRow = 1440;
constexpr int kRowStep = 495;
constexpr int kRowHeight = 360;

// Persian captions read right to left and keep to the right edge.
void rightToLeft(QLabel *label)
{
    label->setLayoutDirection(Qt::RightToLeft);
    label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
}

} // namespace

Form3::Form3(const QString &folder, QWidget *parent)
    : EntryForm(folder, QString::fromLatin1(kFormol), parent)
{
    setWindowTitle(QStringLiteral(u"اطلاعات تکميلي فرمول"));
    setClientSize(7395, 8790);
    setBackColor(tk::rgb(224, 224, 224));

    Label1 = new tk::Label(this, QStringLiteral(u"توجه کنيد که اطلاعات زير بايد مربوط به داوطلبان کنکور سال 1387 باشد در غير اين صورت بين داده ها ناسازگاري به وجود مي آيد هر چه تعداد داوطلبين بيشتر باشد رتبه تقريبي داوطلبين کنکور 88  نيز دقيق تر محاسبه ميشود"));
    Label1->setObjectName("Label1");
    Label1->setFont(tk::font(10, true));
    Label1->setForeColor(kNoticeColour);
    Label1->setWordWrap(true);
    rightToLeft(Label1);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignTop);
    tk::place(Label1, 240, 120, 6915, 1200);

    const auto row = [this](tk::TextBox *box, const QString &caption, int index) {
        const int top = kFirstRow + index * kRowStep;
        box->setFont(tk::font(10, true));
        box->setAlignment(Qt::AlignRight);
        box->setTypedLimit(5);
        tk::place(box, kBoxLeft, top, kBoxWidth, kRowHeight);
        auto *label = new tk::Label(this, caption);
        label->setFont(tk::font(10, true));
        label->setForeColor(kCaptionColour);
        rightToLeft(label);
        tk::place(label, kLabelLeft, top, kLabelWidth, kRowHeight);
        tk::setCaptionFor(label, box);
        return label;
    };

    const QString design = QStringLiteral("0");
    for (int i = 0; i < 8; ++i) {
        auto *box = new tk::TextBox(this);
        box->setObjectName(QStringLiteral("Text(%1)").arg(i));
        Text[size_t(i)] = box;
        TextLabel[size_t(i)] = row(box, QString::fromUtf16(kCaptions[i]), i);
        m_bound.bind(box, QString::fromLatin1(kFields[i]), TextLabel[size_t(i)]->text(), design);
    }

    makeButtons({QStringLiteral(u"اضافه کردن"), QStringLiteral(u"انصراف"),
                 QStringLiteral(u"ذخيره و ويرايش"), QStringLiteral(u"حذف"), QStringLiteral(">>"),
                 QStringLiteral("<<"), QStringLiteral(u"محاسبه ميانگين"), QStringLiteral(">>>>"),
                 QStringLiteral("<<<<")});
    tk::place(Command7, kBoxLeft, kFirstRow + 8 * kRowStep - 30, kBoxWidth, kRowHeight + 60);

    txtAvg = new tk::TextBox(this);
    txtAvg->setObjectName("txtAvg");
    // Only the average computation writes it.
    txtAvg->setReadOnly(true);
    AvgLabel = row(txtAvg, QStringLiteral(u"ميانگين دروس:"), 9);
    m_bound.bind(txtAvg, QStringLiteral("Avg"), AvgLabel->text(), design);

    Text1 = new tk::TextBox(this);
    Text1->setObjectName("Text1");
    RankLabel = row(Text1, QStringLiteral(u"رتبه داوطلب:"), 10);
    m_bound.bind(Text1, QStringLiteral("Rotbeh"), RankLabel->text(), design);

    setTabOrder(Text[7], Command7);
    setTabOrder(Command7, txtAvg);
    setTabOrder(txtAvg, Text1);
    setTabOrder(Text1, Command1);
    placeButtonRows(322, 6900, 1575, 450, 150, 585);

    Label9 = addressLabel("Label9", 322, 8160, 6750);

    connectHandlers();
}

Form3::~Form3() = default;

void Form3::formLoad()
{
    openTable();
    enterBrowsingState();
    centreOver(nullptr);
}

void Form3::Command3_Click()
{
    if (leadingNumber(Text1->text()) == 0) {
        tk::MsgBox::show(this, QStringLiteral("Warning"), QStringLiteral(u"رتبه داوطلب وارد نشده است"),
                         tk::MsgBox::Information);
        return;
    }
    Command7_Click();
    storeRecord();
}

void Form3::Command7_Click()
{
    try {
        txtAvg->setText(QStringLiteral("0"));
        for (int i = 0; i <= 7; ++i) {
            const double w = referenceWeight(i);
            const double term = checkedMul(w, leadingNumber(Text[size_t(i)]->text()));
            txtAvg->setText(shortestText(checkedAdd(term, leadingNumber(txtAvg->text()))));
        }
        txtAvg->setText(shortestText(checkedDiv(leadingNumber(txtAvg->text()), 18)));
    } catch (...) {
        // A partial sum is no average: it must never be shown or stored.
        txtAvg->setText(QString());
        throw;
    }
}

} // namespace placeva
