#include "gui/mainwindow.h"

#include "bidi.h"
#include "core/choicetable.h"
#include "core/datalocation.h"
#include "gui/applicantentry.h"
#include "gui/chartwindow.h"
#include "gui/choicelist.h"
#include "gui/databasemenu.h"
#include "gui/filemenu.h"
#include "gui/passtexts.h"
#include "gui/referenceentry.h"
#include "gui/sheetmenu.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>

#include <limits>

namespace placeva {

namespace {

constexpr std::uint32_t kGrey = tk::rgb(224, 224, 224);

const char16_t kNoReferenceHint[] =
    u"براي تخمين رتبه، نتايج مرجع را با «⁨takmike Formool⁩» يا «ورود نتايج مرجع از ⁨CSV⁩...» وارد کنيد";

tk::Label *header(QWidget *parent, const char *name, const char *caption, int left)
{
    auto *l = new tk::Label(parent, QString::fromLatin1(caption));
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(tk::font(9, true));
    tk::place(l, left, 120, 1800, 300);
    return l;
}

tk::ListBox *list(QWidget *parent, const char *name, int left, int width, int height)
{
    auto *l = new tk::ListBox(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(tk::font(9, true));
    tk::place(l, left, 480, width, height);
    return l;
}

} // namespace

MainWindow::MainWindow(const QString &folder, QWidget *parent) : MainWindow(*new Workspace(folder), parent)
{
    m_ownWorkspace.reset(&m_ws);
}

MainWindow::MainWindow(Workspace &workspace, QWidget *parent)
    : tk::Form(parent), Ado1(workspace.applicantTable()), Ado2(workspace.referenceTable()), m_ws(workspace)
{
    // Connected first: the lists are filled before any other reader hears of the pass.
    connect(&m_ws, &Workspace::passChanged, this, &MainWindow::showPass);
    connect(&m_ws, &Workspace::locationChanged, this, &MainWindow::showFileInTitle);
    connect(&m_ws, &Workspace::applicantPicked, this, &MainWindow::selectApplicant);
    showFileInTitle();
    setClientSize(11775, 10860);
    setBackColor(kGrey);

    Label1 = header(this, "Label1", "Asami ", 1560);
    Label2 = header(this, "Label2", "Miangin", 3960);
    Label4 = header(this, "Label4", "Rotbe Shoma", 5640);
    Label14 = header(this, "Label14", "University Info", 8280);

    List1 = list(this, "List1", 840, 2415, 5580);
    List2 = list(this, "List2", 3240, 2175, 5520);
    List4 = list(this, "List4", 5400, 1935, 5520);
    List5 = list(this, "List5", 7320, 3615, 5580);
    List5->setRightToLeft(true); // the bands are Persian sentences
    List1->setAccessibleName(Label1->caption().trimmed());
    List2->setAccessibleName(Label2->caption());
    List4->setAccessibleName(Label4->caption());
    List5->setAccessibleName(Label14->caption());
    tk::on(List1, &tk::ListBox::click, this, [this] { List1_Click(); });
    tk::on(List2, &tk::ListBox::click, this, [this] { List2_Click(); });
    tk::on(List4, &tk::ListBox::click, this, [this] { List4_Click(); });
    tk::on(List5, &tk::ListBox::click, this, [this] { List5_Click(); });
    tk::ListBox::scrollTogether({List1, List2, List4, List5});

    // In the gap between the lists and the frame; hidden while every
    // reference row takes part.
    Label17 = new tk::Label(this);
    Label17->setObjectName("Label17");
    Label17->setFont(tk::font(8.25, true));
    Label17->setForeColor(tk::rgb(128, 0, 0));
    Label17->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    tk::place(Label17, 840, 6120, 10095, 420);
    Label17->hide();

    Frame1 = new tk::Frame(this, QStringLiteral(u"اطلاعات بيشتر"));
    Frame1->setObjectName("Frame1");
    Frame1->setAlignment(Qt::AlignRight);
    Frame1->setFont(tk::font(9, true));
    tk::place(Frame1, 120, 6600, 11415, 2775);
    {
        QPalette p = Frame1->palette();
        p.setColor(QPalette::Window, tk::color(kGrey));
        Frame1->setPalette(p);
    }

    // Description and value on one line; the description ends where its value
    // starts (it may reach further left than its design position to fit).
    // The captions, in the order of lbl1 .. lbl9, are figureCaptions().
    struct Figure
    {
        tk::Label **desc;
        const char *descName;
        int left, top, valueLeft, valueWidth;
    };
    const Figure figures[kFigureCount] = {
        {&Label6, "Label6", 1680, 360, 2880, 2400},    {&Label7, "Label7", 2160, 960, 2880, 2400},
        {&Label8, "Label8", 2160, 1560, 2880, 2400},   {&Label9, "Label9", 1320, 2160, 2880, 2400},
        {&Label10, "Label10", 7800, 360, 9960, 1380},  {&Label11, "Label11", 6360, 840, 9960, 1380},
        {&Label12, "Label12", 5640, 1320, 9960, 1380}, {&Label13, "Label13", 6120, 1800, 9960, 1380},
        {&Label15, "Label15", 7080, 2280, 9960, 1380},
    };
    const QFont figureFont = tk::font(8.25, true);
    const QFontMetrics fm(figureFont);
    for (int i = 0; i < int(kFigureCount); ++i) {
        const Figure &f = figures[i];
        auto *desc = new tk::Label(Frame1, figureCaptions()[size_t(i)]);
        desc->setObjectName(QString::fromLatin1(f.descName));
        desc->setFont(figureFont);
        desc->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
        const int right = tk::px(f.valueLeft) - 6;
        const int left = std::min(tk::px(f.left), right - fm.horizontalAdvance(desc->caption()) - 4);
        desc->setGeometry(left, tk::px(f.top), right - left, tk::px(420));
        *f.desc = desc;

        auto *value = new tk::Label(Frame1, i == 8 ? QStringLiteral("Label16") : QStringLiteral("Label14"));
        value->setObjectName(QStringLiteral("lbl%1").arg(i + 1));
        value->setFont(figureFont);
        value->setForeColor(tk::rgb(0, 0, 128));
        value->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter);
        tk::place(value, f.valueLeft, f.top, f.valueWidth, 420);
        tk::setCaptionFor(desc, value);
        lbl[size_t(i)] = value;
    }

    Label5 = new tk::Label(this, QString::fromUtf16(kFactorCaption));
    Label5->setObjectName("Label5");
    Label5->setFont(tk::font(9, true));
    Label5->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    tk::place(Label5, 1560, 9360, 1380, 405);
    Text1 = new tk::TextBox(this);
    Text1->setObjectName("Text1");
    Text1->setText(QString::fromUtf16(kDefaultFactor));
    tk::place(Text1, 3000, 9360, 4575, 405);
    tk::setCaptionFor(Label5, Text1);

    Label3 = new tk::Label(this, tk::webAddress());
    Label3->setObjectName("Label3");
    Label3->setForeColor(tk::rgb(128, 0, 128));
    tk::place(Label3, 8160, 9480, 3400, 300);

    const auto button = [this](const char *name, const char *caption, int left) {
        auto *b = new tk::Button(this, QString::fromLatin1(caption));
        b->setObjectName(QString::fromLatin1(name));
        tk::place(b, left, 10080, 2040, 495);
        return b;
    };
    Command2 = button("Command2", "Exit", 120);
    Command3 = button("Command3", "takmike Formool", 2400);
    Command1 = button("Command1", "Mohasebe", 4680);
    Command4 = button("Command4", "Voroode Darsad", 7200);
    Command5 = button("Command5", "Entekhab Shahr", 9720);
    tk::on(Command1, &tk::Button::clicked, this, [this] { Command1_Click(); });
    tk::on(Command2, &tk::Button::clicked, this, [this] { Command2_Click(); });
    tk::on(Command3, &tk::Button::clicked, this, [this] { Command3_Click(); });
    tk::on(Command4, &tk::Button::clicked, this, [this] { Command4_Click(); });
    tk::on(Command5, &tk::Button::clicked, this, [this] { Command5_Click(); });

    // The counsellors' menus: files and reports, then the chart.
    installFileMenu(m_ws, *this);
    installSheetItems(m_ws, *this, {List1, List2, List4, List5});
    installDatabaseItems(*this, [this](const QString &file) { return openDatabase(file); });
    installChartMenu(m_ws, *this);
    tk::giveMnemonics(menuBar());
    showFileInTitle();

    // On a screen too small for the designed window the lists give up rows.
    setElastic({List1, List2, List4, List5});
    List1->setFocus(); // the keyboard starts at the names
}

MainWindow::~MainWindow() = default;

void MainWindow::showFileInTitle()
{
    // The caption names the file; its whole path is in the file menu's tooltip.
    const QFileInfo file(m_ws.databaseFile());
    setWindowTitle(QStringLiteral(u"نرم افزار تخمين رتبه آزمون کارداني به کارشناسي سال 88 - ")
                   + QStringLiteral(u"وب سايت") + QStringLiteral(" Kardani Tools ") + tk::webAddress()
                   + QStringLiteral(" - ") + common::isolate(file.fileName()));
    if (QMenu *menu = findChild<QMenu *>(QStringLiteral("fileMenu")))
        menu->menuAction()->setToolTip(QDir::toNativeSeparators(file.absoluteFilePath()));
}

bool MainWindow::openDatabase(const QString &location)
{
    if (const MaybeError error = m_ws.open(location)) {
        tk::MsgBox::show(this, QStringLiteral(u"خطا"), error->message, tk::MsgBox::Critical);
        return false;
    }
    return reread();
}

ApplicantEntry *MainWindow::applicantEntry() const
{
    return m_applicantEntry.get();
}
ReferenceEntry *MainWindow::referenceEntry() const
{
    return m_referenceEntry.get();
}
ChoiceList *MainWindow::choiceList() const
{
    return m_choiceList.get();
}

void MainWindow::formLoad()
{
    // A table that cannot be read is told to the user and ends the program.
    m_ws.setUp();
    if (const MaybeError error = m_ws.refresh()) {
        tk::MsgBox::show(this, QStringLiteral(u"خطا"), error->message, tk::MsgBox::Critical);
        tk::endProgram();
    }
}

void MainWindow::formActivate()
{
    reread();
}

bool MainWindow::reread()
{
    // Nothing to read or compute again while the file and the factor are
    // certainly as the last pass found them; the lists start afresh with
    // nothing selected, as after a rebuild.
    if (m_ws.upToDate(Text1->text())) {
        for (tk::ListBox *l : {List1, List2, List4, List5})
            l->setListIndex(-1);
        return true;
    }
    // Re-read both tables so that what another window stored shows at once.
    // A failure now is reported; the window keeps what it showed.
    if (const MaybeError error = m_ws.refresh()) {
        tk::MsgBox::show(this, QStringLiteral(u"خطا"), error->message, tk::MsgBox::Critical);
        return false;
    }
    Command1_Click();
    return true;
}

void MainWindow::Command1_Click()
{
    m_ws.run(Text1->text());
}

void MainWindow::showPass()
{
    // Each list holds the applicant at row 2k and a separator at 2k+1. The
    // rows' texts are made when shown or read, from the pass kept in the
    // workspace, so that a pass over many applicants costs only what is seen.
    const PassResult &r = m_ws.result();
    const int rows = int(std::min<qsizetype>(2 * r.applicants.size(), std::numeric_limits<int>::max() - 1));
    const auto applicant = [this](int row) -> const ApplicantResult * {
        const QVector<ApplicantResult> &all = m_ws.result().applicants;
        return row % 2 == 0 && row / 2 < all.size() ? &all[row / 2] : nullptr;
    };
    const QString separator = listSeparator();
    const QString wideSeparator = bandSeparator();
    List1->setRows(rows, [applicant, separator](int row) {
        const ApplicantResult *a = applicant(row);
        return a ? a->name : separator;
    });
    List2->setRows(rows, [this, separator](int row) {
        const QVector<ApplicantRow> &read = m_ws.applicants();
        return row % 2 == 0 ? averageText(read.value(row / 2)) : separator;
    });
    List4->setRows(
        rows,
        [applicant, separator](int row) {
            const ApplicantResult *a = applicant(row);
            return a ? rankText(a->rank) : separator;
        },
        [applicant](int row) {
            const ApplicantResult *a = applicant(row);
            return a && a->range ? QStringLiteral(u"بازه محتمل ") + rangeText(a->range) : QString();
        });
    List5->setRows(rows, [applicant, wideSeparator](int row) {
        const ApplicantResult *a = applicant(row);
        return a ? bandText(a->band) : wideSeparator;
    });
    const std::array<QString, kFigureCount> figures = figureTexts(r);
    for (size_t i = 0; i < lbl.size(); ++i)
        lbl[i]->setCaption(figures[i]);
    // Without a readable reference result no rank can be estimated: the line
    // says what to do instead.
    const bool noReference = m_ws.references().size() <= r.leftOut.total();
    const QString line = noReference ? QString::fromUtf16(kNoReferenceHint) : leftOutText(r.leftOut);
    Label17->setCaption(line);
    Label17->setAccessibleName(line);
    Label17->setVisible(!line.isEmpty());
}

void MainWindow::Command2_Click()
{
    tk::endProgram();
}

void MainWindow::Command3_Click()
{
    if (ReferenceEntry *form = m_referenceEntry.ensure(m_ws)) {
        form->centreOver(nullptr);
        form->showModal(this);
    }
}

void MainWindow::Command4_Click()
{
    if (ApplicantEntry *form = m_applicantEntry.ensure(m_ws)) {
        form->centreOver(this);
        form->showModal(this);
    }
}

void MainWindow::Command5_Click()
{
    // This year's choices as the file holds them now.
    const ChoiceTableReading choices = readChoiceTable(m_ws.databaseFile());
    if (choices.error) {
        tk::MsgBox::show(this, QStringLiteral(u"خطا"), choices.error->message, tk::MsgBox::Critical);
        return;
    }
    if (ChoiceList *form = m_choiceList.ensure(&m_ws)) {
        form->offerChoices(choices.choices);
        form->centreOver(this);
        form->showModal(this);
    }
}

void MainWindow::selectApplicant(qsizetype k)
{
    // Coming back to this window re-reads and rebuilds the lists; that
    // activation runs first, so the row selected now stays selected.
    takeActivation();
    // The lists follow each other: selecting the name selects the row in all four.
    List1->setListIndex(int(2 * k));
}

// A click in one list selects the same row in the other three; a list already
// on that row raises nothing, which ends the round.
void MainWindow::List1_Click()
{
    List2->setListIndex(List1->listIndex());
    List4->setListIndex(List1->listIndex());
    List5->setListIndex(List1->listIndex());
}

void MainWindow::List2_Click()
{
    List1->setListIndex(List2->listIndex());
    List4->setListIndex(List2->listIndex());
    List5->setListIndex(List2->listIndex());
}

void MainWindow::List4_Click()
{
    List2->setListIndex(List4->listIndex());
    List1->setListIndex(List4->listIndex());
    List5->setListIndex(List4->listIndex());
}

void MainWindow::List5_Click()
{
    List2->setListIndex(List5->listIndex());
    List1->setListIndex(List5->listIndex());
    List4->setListIndex(List5->listIndex());
}

} // namespace placeva
