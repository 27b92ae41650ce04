#include "gui/referenceentry.h"

#include "core/subjects.h"
#include "numbers.h"

using common::leadingNumber;

namespace placeva {

namespace {

constexpr std::uint32_t kCaptionColour = tk::rgb(0, 0, 128);
constexpr std::uint32_t kNoticeColour = tk::rgb(128, 0, 0);

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

ReferenceEntry::ReferenceEntry(const QString &folder, QWidget *parent)
    : EntryForm(folder, QString::fromLatin1(kFormol), parent)
{
    setWindowTitle(QStringLiteral(u"اطلاعات تکميلي فرمول"));
    setClientSize(7395, 8790);
    setBackColor(tk::rgb(224, 224, 224));

    Label1 = new tk::Label(
        this,
        QStringLiteral(u"توجه کنيد که اطلاعات زير بايد مربوط به داوطلبان کنکور سال 1387 باشد در غير اين صورت "
                       u"بين داده ها ناسازگاري به وجود مي آيد هر چه تعداد داوطلبين بيشتر باشد رتبه تقريبي "
                       u"داوطلبين کنکور 88  نيز دقيق تر محاسبه ميشود"));
    Label1->setObjectName("Label1");
    Label1->setFont(tk::font(10, true));
    Label1->setForeColor(kNoticeColour);
    Label1->setWordWrap(true);
    rightToLeft(Label1);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignTop);
    tk::place(Label1, 240, 120, 6915, 1200);

    const QString design = QStringLiteral("0");
    const auto row = [this, &design](tk::TextBox *box, const Field &field, int index) {
        const int top = kFirstRow + index * kRowStep;
        box->setFont(tk::font(10, true));
        box->setAlignment(Qt::AlignRight);
        box->setTypedLimit(5);
        tk::place(box, kBoxLeft, top, kBoxWidth, kRowHeight);
        auto *label = new tk::Label(this, field.captionText());
        label->setFont(tk::font(10, true));
        label->setForeColor(kCaptionColour);
        rightToLeft(label);
        tk::place(label, kLabelLeft, top, kLabelWidth, kRowHeight);
        tk::setCaptionFor(label, box);
        m_bound.bind(box, field.nameText(), label->text(), design);
        return label;
    };

    const std::span<const Field> subjects = kReferences.subjects();
    for (int i = 0; i < kReferenceSubjectCount; ++i) {
        auto *box = new tk::TextBox(this);
        box->setObjectName(QStringLiteral("Text(%1)").arg(i));
        Text[size_t(i)] = box;
        TextLabel[size_t(i)] = row(box, subjects[size_t(i)], i);
    }

    makeButtons({QStringLiteral(u"اضافه کردن"), QStringLiteral(u"انصراف"), QStringLiteral(u"ذخيره و ويرايش"),
                 QStringLiteral(u"حذف"), QStringLiteral(">>"), QStringLiteral("<<"),
                 QStringLiteral(u"محاسبه ميانگين"), QStringLiteral(">>>>"), QStringLiteral("<<<<")});
    tk::place(Command7, kBoxLeft, kFirstRow + 8 * kRowStep - 30, kBoxWidth, kRowHeight + 60);

    txtAvg = new tk::TextBox(this);
    txtAvg->setObjectName("txtAvg");
    // Only the average computation writes it.
    txtAvg->setReadOnly(true);
    AvgLabel = row(txtAvg, kReferences.field(FieldRole::Average), 9);

    Text1 = new tk::TextBox(this);
    Text1->setObjectName("Text1");
    RankLabel = row(Text1, kReferences.field(FieldRole::Rank), 10);

    setTabOrder(Text[7], Command7);
    setTabOrder(Command7, txtAvg);
    setTabOrder(txtAvg, Text1);
    setTabOrder(Text1, Command1);
    placeButtonRows(322, 6900, 1575, 450, 150, 585);

    Label9 = addressLabel("Label9", 322, 8160, 6750);

    connectHandlers();
}

ReferenceEntry::~ReferenceEntry() = default;

void ReferenceEntry::formLoad()
{
    openTable();
    enterBrowsingState();
    centreOver(nullptr);
}

void ReferenceEntry::Command3_Click()
{
    if (leadingNumber(Text1->text()) == 0) {
        tk::MsgBox::show(this, QStringLiteral("Warning"), QStringLiteral(u"رتبه داوطلب وارد نشده است"),
                         tk::MsgBox::Information);
        return;
    }
    Command7_Click();
    storeRecord();
}

void ReferenceEntry::Command7_Click()
{
    computeAverage(kReferences);
}

} // namespace placeva
