#include "gui/applicantentry.h"

#include "core/subjects.h"
#include "numbers.h"

namespace placeva {

namespace {

constexpr std::uint32_t kCaptionColour = tk::rgb(0, 0, 128);

// The column: boxes on the left, their captions to their right.
constexpr int kBoxLeft = 1500;
constexpr int kBoxWidth = 2400;
constexpr int kLabelLeft = 4020;
constexpr int kLabelWidth = 2640;
constexpr int kFirstRow = 240;
constexpr int kRowStep = 495;
constexpr int kRowHeight = 360;

} // namespace

ApplicantEntry::ApplicantEntry(const QString &folder, QWidget *parent)
    : EntryForm(folder, QString::fromLatin1(kDavtalab), parent)
{
    setWindowTitle(QStringLiteral("Data Input"));
    setClientSize(7530, 8850);
    setBackColor(tk::rgb(224, 224, 224));

    const auto row = [this](tk::TextBox *box, const Field &field, int index) {
        const int top = kFirstRow + index * kRowStep;
        box->setFont(tk::font(10, true));
        tk::place(box, kBoxLeft, top, kBoxWidth, kRowHeight);
        auto *label = new tk::Label(this, field.captionText());
        label->setFont(tk::font(10, true));
        label->setForeColor(kCaptionColour);
        label->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
        tk::place(label, kLabelLeft, top, kLabelWidth, kRowHeight);
        tk::setCaptionFor(label, box);
        m_bound.bind(box, field.nameText(), label->text());
        return label;
    };

    Text1 = new tk::TextBox(this);
    Text1->setObjectName("Text1");
    NameLabel = row(Text1, kApplicants.field(FieldRole::Name), 0);
    const std::span<const Field> subjects = kApplicants.subjects();
    for (int i = 0; i < kApplicantSubjectCount; ++i) {
        auto *box = new tk::TextBox(this);
        box->setObjectName(QStringLiteral("Text(%1)").arg(i));
        box->setAlignment(Qt::AlignRight);
        box->setTypedLimit(5);
        Text[size_t(i)] = box;
        TextLabel[size_t(i)] = row(box, subjects[size_t(i)], 1 + i);
    }

    makeButtons({QStringLiteral("Ezafe Kardan"), QStringLiteral("Enseraf"), QStringLiteral("Save"),
                 QStringLiteral("Delete"), QStringLiteral(">>"), QStringLiteral("<<"),
                 QStringLiteral("Mohasebe Miyangin"), QStringLiteral(">>>>"), QStringLiteral("<<<<")});
    tk::place(Command7, kBoxLeft, kFirstRow + 11 * kRowStep - 30, kBoxWidth, kRowHeight + 60);

    txtAvg = new tk::TextBox(this);
    txtAvg->setObjectName("txtAvg");
    txtAvg->setAlignment(Qt::AlignRight);
    txtAvg->setTypedLimit(5);
    AvgLabel = row(txtAvg, kApplicants.field(FieldRole::Average), 12);
    setTabOrder(Text[9], Command7);
    setTabOrder(Command7, txtAvg);
    setTabOrder(txtAvg, Command1);

    placeButtonRows(300, 6720, 1620, 450, 150, 585);

    Label12 = addressLabel("Label12", 300, 8160, 6930);

    connectHandlers();
}

ApplicantEntry::~ApplicantEntry() = default;

void ApplicantEntry::formLoad()
{
    openTable();
    // Ready for the next applicant at once.
    Command1_Click();
}

void ApplicantEntry::Command7_Click()
{
    computeAverage(kApplicants);
}

} // namespace placeva
