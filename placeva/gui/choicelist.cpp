#include "gui/choicelist.h"

#include "core/chances.h"
#include "core/choices.h"
#include "core/counsel.h"
#include "core/workspace.h"
#include "gui/chancetexts.h"
#include "gui/passtexts.h"
#include "gui/sheet.h"
#include "gui/sheetmenu.h"

namespace placeva {

namespace {

constexpr double kPoints = 9;
constexpr std::uint32_t kBackColour = tk::rgb(224, 224, 224);
constexpr std::uint32_t kAddressColour = tk::rgb(0, 0, 128);
// Verdict colours, dark enough to read on the grey background.
constexpr std::uint32_t kSafeColour = tk::rgb(0, 120, 0);
constexpr std::uint32_t kLikelyColour = tk::rgb(0, 0, 0);
constexpr std::uint32_t kReachColour = tk::rgb(176, 96, 0);
constexpr std::uint32_t kOutColour = tk::rgb(192, 0, 0);

// Columns in twips: the dead marks, the chances and the verdicts on the left,
// then the boxes, their captions right of them, sharing one right edge so that
// the right-aligned Persian captions line up. The left columns widen the
// window; the rest keeps its arrangement, shifted right by them.
constexpr int kDeadLeft = 240;
constexpr int kDeadWidth = 720;
constexpr int kChanceLeft = kDeadLeft + kDeadWidth + 60;
constexpr int kChanceWidth = 1200;
constexpr int kVerdictLeft = kChanceLeft + kChanceWidth + 60;
constexpr int kVerdictWidth = 1380;
constexpr int kShift = kVerdictLeft + kVerdictWidth - 240;
constexpr int kClientWidth = 6180 + kShift;
constexpr int kBoxLeft = 360 + kShift;
constexpr int kBoxWidth = 3960;
constexpr int kCaptionLeft = 4440 + kShift;
constexpr int kCaptionRight = 5880 + kShift;
constexpr int kRowHeight = 330;
constexpr int kFirstPriorityTop = 1260;
constexpr int kPriorityStep = 450;
// The line of landing nowhere and the warning under the priorities.
constexpr int kNotAdmittedTop = kFirstPriorityTop + 10 * kPriorityStep;
constexpr int kWarningTop = kNotAdmittedTop + kPriorityStep;
constexpr int kRowsAdded = 2 * kPriorityStep;

const char16_t *const kPriorityCaptions[10] = {
    u"اولويت اول", u"اولويت دوم",  u"اولويت سوم",  u"اولويت چهارم", u"اولويت پنجم",
    u"اولويت ششم", u"اولويت هفتم", u"اولويت هشتم", u"اولويت نهم",   u"اولويت دهم",
};

tk::Label *makeLabel(QWidget *parent, const QString &caption)
{
    auto *label = new tk::Label(parent, caption);
    label->setFont(tk::font(kPoints));
    // Absolute: Qt would otherwise mirror the alignment of Persian text and
    // push it away from the control it names.
    label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    return label;
}

// A label that shows a result, framed so that it reads as a field even while
// it is empty.
tk::Label *makeValue(QWidget *parent, Qt::Alignment alignment)
{
    auto *label = new tk::Label(parent);
    label->setFont(tk::font(kPoints, true));
    label->setAlignment(alignment | Qt::AlignAbsolute | Qt::AlignVCenter);
    label->setStyleSheet(QStringLiteral("QLabel { background: white; border: 1px solid #a0a0a0;"
                                        " border-radius: 2px; padding: 0 4px; }"));
    return label;
}

tk::ComboBox *makeCombo(QWidget *parent)
{
    auto *combo = new tk::ComboBox(parent);
    combo->setFont(tk::font(kPoints));
    // The entries are Persian: they read from the right, in the box and in
    // its drop-down.
    combo->setLayoutDirection(Qt::RightToLeft);
    return combo;
}

void captionBeside(tk::Label *caption, QWidget *box, int top)
{
    tk::place(caption, kCaptionLeft, top, kCaptionRight - kCaptionLeft, kRowHeight);
    tk::setCaptionFor(caption, box);
}

} // namespace

ChoiceList::ChoiceList(const Workspace *workspace, QWidget *parent) : tk::Form(parent), m_pass(workspace)
{
    setWindowTitle(QStringLiteral(u"انتخاب رشته مجازي"));
    setClientSize(kClientWidth, 8070 + kRowsAdded);
    setBackColor(kBackColour);

    // Created in tab order: the name, the ten priorities, then the buttons.
    Combo1 = makeCombo(this);
    tk::place(Combo1, kBoxLeft, 240, kBoxWidth, kRowHeight);
    nameCaption = makeLabel(this, QStringLiteral(u"نام:"));
    captionBeside(nameCaption, Combo1, 240);

    Label2 = makeValue(this, Qt::AlignRight);
    tk::place(Label2, kBoxLeft + kBoxWidth - 1560, 720, 1560, kRowHeight);
    rankCaption = makeLabel(this, QStringLiteral(u"رتبه:"));
    captionBeside(rankCaption, Label2, 720);

    for (size_t i = 0; i < Combo2.size(); ++i) {
        const int top = kFirstPriorityTop + int(i) * kPriorityStep;
        Combo2[i] = makeCombo(this);
        tk::place(Combo2[i], kBoxLeft, top, kBoxWidth, kRowHeight);
        priorityCaptions[i] = makeLabel(this, QString::fromUtf16(kPriorityCaptions[i]));
        captionBeside(priorityCaptions[i], Combo2[i], top);
        // Read as "<priority>: <verdict>"; the caption stays the list's own.
        verdicts[i] = makeLabel(this, QString());
        verdicts[i]->setFont(tk::font(kPoints, true));
        verdicts[i]->setObjectName(QStringLiteral("verdict%1").arg(i));
        tk::place(verdicts[i], kVerdictLeft, top, kVerdictWidth, kRowHeight);
        verdicts[i]->setValueCaption(priorityCaptions[i]);
        chances[i] = makeLabel(this, QString());
        chances[i]->setObjectName(QStringLiteral("chance%1").arg(i));
        tk::place(chances[i], kChanceLeft, top, kChanceWidth, kRowHeight);
        chances[i]->setValueCaption(priorityCaptions[i]);
        deadMarks[i] = makeLabel(this, QString());
        deadMarks[i]->setForeColor(kOutColour);
        deadMarks[i]->setObjectName(QStringLiteral("dead%1").arg(i));
        tk::place(deadMarks[i], kDeadLeft, top, kDeadWidth, kRowHeight);
        deadMarks[i]->setValueCaption(priorityCaptions[i]);
    }
    notAdmittedCaption = makeLabel(this, notAdmittedText());
    tk::place(notAdmittedCaption, kCaptionLeft, kNotAdmittedTop, kCaptionRight - kCaptionLeft, kRowHeight);
    notAdmittedChance = makeLabel(this, QString());
    tk::place(notAdmittedChance, kChanceLeft, kNotAdmittedTop, kChanceWidth, kRowHeight);
    notAdmittedChance->setValueCaption(notAdmittedCaption);
    noSafetyNet = makeLabel(this, QString());
    noSafetyNet->setFont(tk::font(kPoints, true));
    noSafetyNet->setForeColor(kOutColour);
    tk::place(noSafetyNet, kDeadLeft, kWarningTop, kCaptionRight - kDeadLeft, kRowHeight);

    // The result line reads from the right: priority, then the place.
    const int resultTop = kFirstPriorityTop + 10 * kPriorityStep + 120 + kRowsAdded;
    resultPriorityCaption = makeLabel(this, QStringLiteral(u"اولويت:"));
    tk::place(resultPriorityCaption, 5040 + kShift, resultTop, kCaptionRight - 5040 - kShift, kRowHeight);
    lbl1 = makeValue(this, Qt::AlignHCenter);
    tk::place(lbl1, 4440 + kShift, resultTop, 540, kRowHeight);
    resultPlaceCaption = makeLabel(this, QStringLiteral(u"مکان قبولي:"));
    tk::place(resultPlaceCaption, 3120 + kShift, resultTop, 1260, kRowHeight);
    lbl2 = makeValue(this, Qt::AlignRight);
    tk::place(lbl2, kBoxLeft, resultTop, 3120 + kShift - 60 - kBoxLeft, kRowHeight);
    tk::setCaptionFor(resultPriorityCaption, lbl1);
    tk::setCaptionFor(resultPlaceCaption, lbl2);

    const int buttonTop = resultTop + kRowHeight + 300;
    Command1 = new tk::Button(this, QStringLiteral("Mohasebe"));
    Command1->setFont(tk::font(kPoints));
    tk::place(Command1, 3420 + kShift, buttonTop, 1560, 450);
    Command2 = new tk::Button(this, QStringLiteral("Exit"));
    Command2->setFont(tk::font(kPoints));
    tk::place(Command2, 1200 + kShift, buttonTop, 1560, 450);
    sheetButton = new tk::Button(this, sheetButtonCaption());
    sheetButton->setObjectName(QStringLiteral("sheetButton"));
    sheetButton->setFont(tk::font(kPoints));
    tk::place(sheetButton, 360, buttonTop, 1200 + kShift - 480, 450);

    Label16 = new tk::Label(this, tk::webAddress());
    Label16->setFont(tk::font(kPoints, true));
    Label16->setForeColor(kAddressColour);
    Label16->setAlignment(Qt::AlignCenter);
    tk::place(Label16, 360, 7500 + kRowsAdded, kClientWidth - 2 * 360, kRowHeight);

    offerChoices(m_choices);

    tk::on(Combo1, &tk::ComboBox::click, this, [this] { Combo1_Click(); });
    for (tk::ComboBox *combo : Combo2)
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { showVerdicts(); });
    tk::on(Command1, &tk::Button::clicked, this, [this] { Command1_Click(); });
    tk::on(Command2, &tk::Button::clicked, this, [this] { Command2_Click(); });
    tk::on(sheetButton, &tk::Button::clicked, this, [this] { sheetButton_Click(); });
    setDefaultButton(Command1);
    setClosesOnEscape(true);
}

void ChoiceList::formLoad()
{
    Label2->setCaption(QString());
    m_range.reset();
    m_rank.reset();
    m_errors.clear();
    showVerdicts();
    Combo1->clear();
    if (!m_pass)
        return;
    for (const ApplicantResult &a : m_pass->result().applicants)
        Combo1->addItem(a.name);
}

void ChoiceList::Combo1_Click()
{
    if (!m_pass)
        return;
    const QString name = Combo1->text();
    // Two applicants of one name cannot be told apart here: the first decides.
    const QVector<ApplicantResult> &applicants = m_pass->result().applicants;
    for (qsizetype i = 0; i < applicants.size(); ++i) {
        const ApplicantResult &a = applicants[i];
        if (a.name == name) {
            Label2->setCaption(rankText(a.rank));
            m_range = a.range;
            m_rank = a.rank;
            m_errors = nearestErrorsOf(m_pass->result(), i);
            showVerdicts();
            return;
        }
    }
}

void ChoiceList::Command1_Click()
{
    lbl1->setCaption(QStringLiteral("0"));
    lbl2->setCaption(notAdmittedText());
    if (!m_rank)
        return;
    QStringList priorities;
    for (const tk::ComboBox *combo : Combo2)
        priorities.append(combo->text());
    if (const std::optional<int> first = firstAdmitting(priorities, *m_rank, m_choices)) {
        lbl1->setCaption(QString::number(*first + 1));
        lbl2->setCaption(priorities.at(*first));
    }
}

void ChoiceList::showVerdicts()
{
    // The picked applicant's estimate, as "Mohasebe" admits by it (the
    // verdicts read none as 0); the sheet and the spreadsheet compute the
    // list the same way.
    ApplicantResult applicant;
    applicant.rank = m_rank;
    applicant.range = m_range;
    QStringList priorities, captions;
    for (size_t i = 0; i < Combo2.size(); ++i) {
        priorities.append(Combo2[i]->text());
        captions.append(priorityCaptions[i]->caption());
    }
    const ChoiceListLines lines = choiceListLines(applicant, m_errors, priorities, m_choices);
    for (size_t i = 0; i < Combo2.size(); ++i) {
        const SheetChoice &line = lines.priorities[i];
        tk::Label *label = verdicts[i];
        label->setCaption(line.verdict ? verdictText(*line.verdict) : QString());
        switch (line.verdict.value_or(Verdict::Likely)) {
        case Verdict::Safe: label->setForeColor(kSafeColour); break;
        case Verdict::Reach: label->setForeColor(kReachColour); break;
        case Verdict::Out: label->setForeColor(kOutColour); break;
        case Verdict::Likely: label->setForeColor(kLikelyColour); break;
        }
        chances[i]->setCaption(line.chance ? chanceText(*line.chance) : QString());
        deadMarks[i]->setCaption(line.dead ? deadText() : QString());
        deadMarks[i]->setToolTip(line.dead ? deadReason(*line.dead, captions) : QString());
    }
    const std::optional<ListChances> &outcome = lines.chances;
    notAdmittedChance->setCaption(outcome ? chanceText(outcome->notAdmitted) : QString());
    noSafetyNet->setCaption(outcome && outcome->noSafetyNet ? noSafetyNetText() : QString());
}

void ChoiceList::sheetButton_Click()
{
    if (!m_pass)
        return;
    // The applicant the name list found, as "Mohasebe" reads them.
    const std::optional<qsizetype> k = findApplicant(m_pass->result(), Combo1->text());
    if (!k || Combo1->currentIndex() < 0) {
        tk::MsgBox::show(this, sheetTitle(), QStringLiteral(u"ابتدا نام داوطلب را انتخاب کنيد."),
                         tk::MsgBox::Information);
        return;
    }
    QStringList priorities;
    for (const tk::ComboBox *combo : Combo2)
        priorities.append(combo->text());
    makeSheet(*m_pass, this, *k, GivenList{priorities, m_choices});
}

void ChoiceList::Command2_Click()
{
    close();
}

bool ChoiceList::IsAdmitted(const QString &choice, std::int32_t rank) const
{
    return isAdmitted(choice, rank, m_choices);
}

void ChoiceList::offerChoices(const ChoiceTable &choices)
{
    m_choices = choices;
    for (tk::ComboBox *combo : Combo2) {
        const QSignalBlocker quiet(combo); // one refresh below, not one per entry
        combo->clear();
        for (const ChoiceRow &c : m_choices)
            combo->addItem(c.name);
        combo->setCurrentIndex(-1);
    }
    showVerdicts();
}

} // namespace placeva
