#include "form2.h"

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

// Fields and captions of Text(0) .. Text(9).
const char *const kFields[10] = {"Dini",   "Adabiat", "Zaban",   "Riazi",  "ZabanT",
                                 "Madar",  "barname", "system",  "zakhire", "sakhteman"};
const char *const kCaptions[10] = {"Andishe Eslami :", "Adabiyat :",       "Zaban Omoomi :",
                                   "Riazi Va Amar :",  "Zaban Takhasosi :", "Madar Manteghi :",
                                   "Barname Sazi :",   "System Amel :",    "Zakhire va Bazyabi :",
                                   "Sakhteman Dadeha :"};

// The column: boxes on the left, their captions to their right.
constexpr int kBoxLeft = 1500;
constexpr int kBoxWidth = 2400;
constexpr int kLabelLeft = 4020;
constexpr int kLabelWidth = 2640;
constexpr int kFirstRow = 240;
constexpr int kRowStep = 495;
constexpr int kRowHeight = 360;

} // namespace

Form2::Form2(const QString &folder, QWidget *parent)
    : EntryForm(folder, QString::fromLatin1(kDavtalab), parent)
{
    setWindowTitle(QStringLiteral("Data Input"));
    setClientSize(7530, 8850);
    setBackColor(tk::rgb(224, 224, 224));

    const auto row = [this](tk::TextBox *box, const char *caption, int index) {
        const int top = kFirstRow + index * kRowStep;
        box->setFont(tk::font(10, true));
        tk::place(box, kBoxLeft, top, kBoxWidth, kRowHeight);
        auto *label = new tk::Label(this, QString::fromLatin1(caption));
        label->setFont(tk::font(10, true));
        label->setForeColor(kCaptionColour);
        label->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
        tk::place(label, kLabelLeft, top, kLabelWidth, kRowHeight);
        tk::setCaptionFor(label, box);
        return label;
    };

    Text1 = new tk::TextBox(this);
    Text1->setObjectName("Text1");
    NameLabel = row(Text1, "Name :", 0);
    m_bound.bind(Text1, QStringLiteral("Name"), NameLabel->text());
    for (int i = 0; i < 10; ++i) {
        auto *box = new tk::TextBox(this);
        box->setObjectName(QStringLiteral("Text(%1)").arg(i));
        box->setAlignment(Qt::AlignRight);
        box->setTypedLimit(5);
        Text[size_t(i)] = box;
        TextLabel[size_t(i)] = row(box, kCaptions[i], 1 + i);
        m_bound.bind(box, QString::fromLatin1(kFields[i]), TextLabel[size_t(i)]->text());
    }

    makeButtons({QStringLiteral("Ezafe Kardan"), QStringLiteral("Enseraf"), QStringLiteral("Save"),
                 QStringLiteral("Delete"), QStringLiteral(">>"), QStringLiteral("<<"),
                 QStringLiteral("Mohasebe Miyangin"), QStringLiteral(">>>>"), QStringLiteral("<<<<")});
    tk::place(Command7, kBoxLeft, kFirstRow + 11 * kRowStep - 30, kBoxWidth, kRowHeight + 60);

    txtAvg = new tk::TextBox(this);
    txtAvg->setObjectName("txtAvg");
    txtAvg->setAlignment(Qt::AlignRight);
    txtAvg->setTypedLimit(5);
    AvgLabel = row(txtAvg, "Miyangin :", 12);
    m_bound.bind(txtAvg, QStringLiteral("Avg"), AvgLabel->text());
    setTabOrder(Text[9], Command7);
    setTabOrder(Command7, txtAvg);
    setTabOrder(txtAvg, Command1);

    placeButtonRows(300, 6720, 1620, 450, 150, 585);

    Label12 = addressLabel("Label12", 300, 8160, 6930);

    connectHandlers();
}

Form2::~Form2() = default;

void Form2::formLoad()
{
    openTable();
    // Ready for the next applicant at once.
    Command1_Click();
}

void Form2::Command7_Click()
{
    try {
        txtAvg->setText(QStringLiteral("0"));
        for (int i = 0; i <= 9; ++i) {
            const double w = applicantWeight(i);
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
