#include "core/choices.h"
#include "core/workspace.h"
#include "gui/chancetexts.h"
#include "gui/choicelist.h"
#include "gui/passtexts.h"
#include "numbers.h"
#include "testsupport/spoken.h"

#include <QFontMetrics>
#include <QtTest>

#include <memory>

using placeva::ChoiceList;

namespace {

const QString kNotAdmitted = QStringLiteral(u"عدم قبولي");
const QString kName1 = QStringLiteral(u"علي");
const QString kName2 = QStringLiteral(u"مريم");

// The main window's list layout: one row per applicant, a separator after each.
QStringList withSeparators(const QStringList &entries)
{
    QStringList rows;
    for (const QString &e : entries)
        rows << e << QString(28, QLatin1Char('-'));
    return rows;
}

QString choice(int position)
{
    return placeva::choiceNames().at(position - 1);
}

// An average the test pass estimates as the rank a text stands for (its
// leading number, rounded ties to even); none where that number overflows.
QString averageFor(const QString &rank)
{
    try {
        return QString::number(common::leadingNumber(rank), 'g', 17);
    } catch (const common::NumberError &) {
        return QString();
    }
}

// As the user picks a name: the entry is chosen, then the event comes.
void pickName(ChoiceList *form, int index)
{
    form->Combo1->setCurrentIndex(index);
    emit form->Combo1->activated(index);
}

} // namespace

class TestForm4 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void mohasebe_data();
    void mohasebe();
    void load_data();
    void load();
    void pick_data();
    void pick();
    void exitClosesOnlyThisWindow();
    void everythingFits();
    void verdicts_data();
    void verdicts();
    void chances_data();
    void chances();
    void tableChoices();

private:
    ChoiceList *open(const QStringList &names, const QStringList &ranks = {});

    // The main window's last pass, made to list the names and ranks given.
    void pass(const QStringList &list1Rows, const QStringList &list4Rows);

    std::unique_ptr<placeva::Workspace> workspace;
    tk::FormSlot<ChoiceList> slot;
    int messages = 0;
};

void TestForm4::init()
{
    // Every fault here is silent: any message box is a failure.
    messages = 0;
    tk::MsgBox::setResponder([this](const tk::MsgBox::Request &) {
        ++messages;
        return tk::MsgBox::AnswerOk;
    });
    workspace = std::make_unique<placeva::Workspace>();
}

void TestForm4::cleanup()
{
    delete slot.get();
    QCOMPARE(messages, 0);
}

void TestForm4::pass(const QStringList &list1Rows, const QStringList &list4Rows)
{
    // Rows given as the main window lists them, applicants at the even rows.
    // References (0, 0) and (1, 1) estimate every average as its own rank; an
    // empty average has none.
    QVector<placeva::ApplicantRow> applicants;
    for (qsizetype i = 0; i < list1Rows.size(); i += 2) {
        const QString rank = list4Rows.value(i);
        applicants.append({list1Rows[i], rank.isEmpty() ? QVariant() : QVariant(rank.toDouble())});
    }
    workspace->run(applicants, {{0.0, 0}, {1.0, 1}}, QStringLiteral("1"));
}

ChoiceList *TestForm4::open(const QStringList &list1Rows, const QStringList &list4Rows)
{
    pass(list1Rows, list4Rows);
    ChoiceList *form = slot.ensure(workspace.get());
    if (form)
        form->show();
    return form;
}

void TestForm4::mohasebe_data()
{
    QTest::addColumn<QString>("rank");
    QTest::addColumn<QList<int>>("chosen"); // positions in the offer, 0 for none
    QTest::addColumn<QString>("priority");
    QTest::addColumn<QString>("place");

    QTest::newRow("40 شمسي پور") << "40" << QList<int>{1} << "1" << choice(1);
    QTest::newRow("41 شمسي پور") << "41" << QList<int>{1} << "0" << kNotAdmitted;
    QTest::newRow("100 زنجان اميد به تکميل ظرفيت") << "100" << QList<int>{3, 27} << "2" << choice(27);
    QTest::newRow("13000 اميد به تکميل ظرفيت") << "13000" << QList<int>{27} << "1" << choice(27);
    QTest::newRow("13001 اميد به تکميل ظرفيت") << "13001" << QList<int>{27} << "0" << kNotAdmitted;
    QTest::newRow("0 اميد به تکميل ظرفيت") << "0" << QList<int>{27} << "0" << kNotAdmitted;
    QTest::newRow("empty اميد به تکميل ظرفيت") << "" << QList<int>{27} << "0" << kNotAdmitted;
    QTest::newRow("1 all empty") << "1" << QList<int>{} << "0" << kNotAdmitted;
    QTest::newRow("1 seventh") << "1" << QList<int>{0, 0, 0, 0, 0, 0, 18} << "7" << choice(18);
    QTest::newRow("500 tenth") << "500" << QList<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 27} << "10" << choice(27);
    // The first that admits decides, whatever the later limits.
    QTest::newRow("30 شيراز شمسي پور") << "30" << QList<int>{5, 1} << "1" << choice(5);
    QTest::newRow("160 بناب شيراز") << "160" << QList<int>{6, 5} << "2" << choice(5);
    QTest::newRow("1 شمال آمل صدرا تهران") << "1" << QList<int>{24, 18} << "2" << choice(18);
    // Halves go to the even neighbour; blanks are skipped wherever they stand.
    QTest::newRow("40.5 شمسي پور") << "40.5" << QList<int>{1} << "1" << choice(1);
    QTest::newRow("41.5 شمسي پور") << "41.5" << QList<int>{1} << "0" << kNotAdmitted;
    QTest::newRow(" 4 0x شمسي پور") << " 4 0x" << QList<int>{1} << "1" << choice(1);
    // Too large for 32 bits or for a double: admitted nowhere, and no error.
    QTest::newRow("2147483648 اميد به تکميل ظرفيت") << "2147483648" << QList<int>{27} << "0" << kNotAdmitted;
    QTest::newRow("1E400 اميد به تکميل ظرفيت") << "1E400" << QList<int>{27} << "0" << kNotAdmitted;
}

void TestForm4::mohasebe()
{
    QFETCH(QString, rank);
    QFETCH(QList<int>, chosen);
    QFETCH(QString, priority);
    QFETCH(QString, place);

    ChoiceList *form = open(withSeparators({kName1}), withSeparators({averageFor(rank)}));
    QVERIFY(form);
    for (int i = 0; i < chosen.size(); ++i)
        form->Combo2[size_t(i)]->setCurrentIndex(chosen.at(i) - 1);
    pickName(form, 0);
    // A former result must not survive a new computation.
    form->lbl1->setCaption(QStringLiteral("9"));
    form->lbl2->setCaption(choice(1));
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(form->lbl1->caption(), priority);
    QCOMPARE(form->lbl2->caption(), place);
    QCOMPARE(spokenName(form->lbl1), u"اولويت: "_qs + priority);
    QCOMPARE(spokenName(form->lbl2), u"مکان قبولي: "_qs + place);
}

void TestForm4::load_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("empty lists") << QStringList() << QStringList();
    QTest::newRow("three with a duplicate")
        << withSeparators({kName2, kName1, kName2}) << QStringList{kName2, kName1, kName2};
    QTest::newRow("empty name") << withSeparators({QString(), kName1}) << QStringList{QString(), kName1};
    QTest::newRow("no separator after the last")
        << withSeparators({kName1}) + QStringList{kName2} << QStringList{kName1, kName2};
}

void TestForm4::load()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, names);

    ChoiceList *form = open(rows);
    QVERIFY(form);
    QStringList offered;
    for (int i = 0; i < form->Combo1->count(); ++i)
        offered << form->Combo1->itemText(i);
    QCOMPARE(offered, names);
    QCOMPARE(form->Combo1->text(), QString());
    for (tk::ComboBox *combo : form->Combo2) {
        QCOMPARE(combo->count(), 27);
        QCOMPARE(combo->text(), QString());
    }
    // Nobody picked yet: no rank, so nothing admits.
    form->Combo2[0]->setCurrentIndex(26);
    form->Command1->click();
    QCOMPARE(form->Label2->caption(), QString());
    QCOMPARE(form->lbl2->caption(), kNotAdmitted);
}

void TestForm4::pick_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("ranks");
    QTest::addColumn<QList<int>>("picks");
    QTest::addColumn<QString>("shown");

    QTest::newRow("second") << QStringList{kName1, kName2} << QStringList{"120", "-100"} << QList<int>{1}
                            << "-100";
    QTest::newRow("duplicate shows the first one's rank")
        << QStringList{kName1, kName2, kName1} << QStringList{"120", "900", "35"} << QList<int>{2} << "120";
    QTest::newRow("trailing blank is another name") << QStringList{kName1, kName1 + QLatin1Char(' ')}
                                                    << QStringList{"120", "35"} << QList<int>{1} << "35";
    QTest::newRow("rank not estimated")
        << QStringList{kName1} << QStringList{QString()} << QList<int>{0} << "";
    QTest::newRow("a later pick replaces")
        << QStringList{kName1, kName2} << QStringList{"120", "900"} << QList<int>{1, 0} << "120";
}

void TestForm4::pick()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, ranks);
    QFETCH(QList<int>, picks);
    QFETCH(QString, shown);

    ChoiceList *form = open(withSeparators(names), withSeparators(ranks));
    QVERIFY(form);
    for (int index : picks)
        pickName(form, index);
    QCOMPARE(form->Label2->caption(), shown);
    // an empty value leaves the caption's words alone
    QCOMPARE(spokenName(form->Label2), shown.isEmpty() ? u"رتبه"_qs : u"رتبه: "_qs + shown);
}

void TestForm4::exitClosesOnlyThisWindow()
{
    tk::Form main;
    main.setAttribute(Qt::WA_DeleteOnClose, false);
    main.showModeless();
    ChoiceList *form = open(withSeparators({kName1}), withSeparators({"40"}));
    QVERIFY(form);
    pickName(form, 0);
    form->Combo2[0]->setCurrentIndex(0);
    QTimer::singleShot(0, form->Command2, [form] { QTest::mouseClick(form->Command2, Qt::LeftButton); });
    form->showModal(&main);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!slot.isLoaded());
    QVERIFY(main.isVisible());
    QVERIFY(!tk::programEnded());

    // The next opening starts afresh and copies the names as they are now.
    pass(withSeparators({kName1, kName2}), {});
    form = slot.ensure(workspace.get());
    QVERIFY(form);
    QCOMPARE(form->Combo1->count(), 2);
    QCOMPARE(form->Label2->caption(), QString());
    QCOMPARE(form->Combo2[0]->text(), QString());
}

void TestForm4::everythingFits()
{
    ChoiceList *form = open({});
    QVERIFY(form);
    std::vector<std::pair<tk::Label *, QWidget *>> rows{{form->nameCaption, form->Combo1},
                                                        {form->rankCaption, form->Label2},
                                                        {form->resultPriorityCaption, form->lbl1},
                                                        {form->resultPlaceCaption, form->lbl2}};
    for (size_t i = 0; i < 10; ++i)
        rows.emplace_back(form->priorityCaptions[i], form->Combo2[i]);
    for (const auto &[caption, box] : rows) {
        QVERIFY2(QFontMetrics(caption->font()).horizontalAdvance(caption->caption()) <= caption->width(),
                 qPrintable(caption->caption()));
        QVERIFY(caption->x() > box->geometry().right());
        QCOMPARE(box->accessibleName(), caption->caption().remove(QLatin1Char(':')));
    }
    // The longest choice stays whole in the boxes and in the result.
    for (tk::ComboBox *combo : form->Combo2)
        QVERIFY(combo->sizeHint().width() <= combo->width());
    for (const QString &c : placeva::choiceNames())
        QVERIFY(QFontMetrics(form->lbl2->font()).horizontalAdvance(c) <= form->lbl2->contentsRect().width());
}

// Left out one at a time, the inner reference points miss by 10, -5, 5, -10
// and 5 ranks: an applicant of average 47 ranks 99, likely 89 to 109; one of
// 45 ranks 105, likely 95 to 115.
void TestForm4::verdicts_data()
{
    QTest::addColumn<double>("average");
    QTest::addColumn<int>("priority");
    QTest::addColumn<int>("chosen"); // position in the offer, 0 for none
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QColor>("colour");

    using placeva::Verdict;
    using placeva::verdictText;
    QTest::newRow("99 بناب: worst 109 within 150")
        << 47.0 << 0 << 6 << verdictText(Verdict::Safe) << QColor(0, 120, 0);
    QTest::newRow("99 کرمان: estimate within 100, worst not")
        << 47.0 << 4 << 4 << verdictText(Verdict::Likely) << QColor(0, 0, 0);
    QTest::newRow("105 کرمان: only the best 95")
        << 45.0 << 9 << 4 << verdictText(Verdict::Reach) << QColor(176, 96, 0);
    QTest::newRow("99 زنجان: not even the best 89")
        << 47.0 << 2 << 3 << verdictText(Verdict::Out) << QColor(192, 0, 0);
    QTest::newRow("99 شمال آمل: no limit")
        << 47.0 << 1 << 24 << verdictText(Verdict::Out) << QColor(192, 0, 0);
    QTest::newRow("99 empty priority") << 47.0 << 3 << 0 << QString() << QColor(0, 0, 0);
}

void TestForm4::verdicts()
{
    QFETCH(double, average);
    QFETCH(int, priority);
    QFETCH(int, chosen);
    QFETCH(QString, verdict);
    QFETCH(QColor, colour);

    workspace->run({{u"P"_qs, average}},
                   {{10.0, 180}, {20.0, 170}, {30.0, 140}, {40.0, 120}, {50.0, 90}, {60.0, 80}, {70.0, 60}},
                   u"1"_qs);
    ChoiceList *form = slot.ensure(workspace.get());
    QVERIFY(form);
    form->show();
    tk::Label *label = form->verdicts[size_t(priority)];
    const QString words = form->priorityCaptions[size_t(priority)]->caption();
    // Chosen before the applicant is picked: no rank, nothing admits yet.
    form->Combo2[size_t(priority)]->setCurrentIndex(chosen - 1);
    QCOMPARE(label->caption(), chosen ? placeva::verdictText(placeva::Verdict::Out) : QString());
    form->Combo1->setCurrentIndex(0);
    emit form->Combo1->activated(0);
    QCOMPARE(label->caption(), verdict);
    QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    QCOMPARE(spokenName(label), verdict.isEmpty() ? words : words + u": "_qs + verdict);
    // A priority emptied again says nothing.
    form->Combo2[size_t(priority)]->setCurrentIndex(-1);
    QCOMPARE(label->caption(), QString());
    QCOMPARE(spokenName(label), words);
}

// The same reference table: average 47 ranks 99, its possible ranks are 89,
// 94, 104, 104 and 109, a fifth of the chance each; average 45 ranks 105,
// possibly 95, 100, 110, 110 or 115.
void TestForm4::chances_data()
{
    QTest::addColumn<QVariant>("average"); // invalid: no rank
    QTest::addColumn<QList<int>>("chosen"); // positions in the offer, 0 for none
    QTest::addColumn<QStringList>("shown"); // per priority: chance, then "x" where dead
    QTest::addColumn<QString>("nowhere");
    QTest::addColumn<bool>("noNet");

    const QVariant r99(47.0);
    QTest::newRow("99 کرمان") << r99 << QList<int>{4} << QStringList{"40"} << "60" << true;
    QTest::newRow("99 کرمان بناب") << r99 << QList<int>{4, 6} << QStringList{"40", "60"} << "0" << false;
    QTest::newRow("99 بناب کرمان: second dead")
        << r99 << QList<int>{6, 4} << QStringList{"100", "0x"} << "0" << false;
    QTest::newRow("99 empty then زنجان") << r99 << QList<int>{0, 3} << QStringList{"", "0"} << "100" << true;
    QTest::newRow("99 شمال آمل: no limit") << r99 << QList<int>{24} << QStringList{"0x"} << "100" << true;
    QTest::newRow("99 every priority empty") << r99 << QList<int>{} << QStringList{} << "100" << true;
    QTest::newRow("105 کرمان: 100 at the limit admitted")
        << QVariant(45.0) << QList<int>{4} << QStringList{"40"} << "60" << true;
    QTest::newRow("no rank: dead marks only")
        << QVariant() << QList<int>{6, 4} << QStringList{"", "x"} << "" << false;
}

void TestForm4::chances()
{
    QFETCH(QVariant, average);
    QFETCH(QList<int>, chosen);
    QFETCH(QStringList, shown);
    QFETCH(QString, nowhere);
    QFETCH(bool, noNet);

    workspace->run({{u"P"_qs, average}},
                  {{10.0, 180}, {20.0, 170}, {30.0, 140}, {40.0, 120}, {50.0, 90}, {60.0, 80}, {70.0, 60}},
                  u"1"_qs);
    ChoiceList *form = slot.ensure(workspace.get());
    QVERIFY(form);
    form->show();
    form->Combo1->setCurrentIndex(0);
    emit form->Combo1->activated(0);
    // Chosen after the pick: every priority's change is followed.
    for (int i = 0; i < chosen.size(); ++i)
        form->Combo2[size_t(i)]->setCurrentIndex(chosen.at(i) - 1);

    const auto spoken = [](const QString &words, const QString &value) {
        return value.isEmpty() ? words : words + u": "_qs + value;
    };
    for (size_t i = 0; i < 10; ++i) {
        QString want = shown.value(qsizetype(i));
        const bool dead = want.endsWith(QLatin1Char('x'));
        want.chop(dead ? 1 : 0);
        const QString chance = want.isEmpty() ? QString() : placeva::chanceText(want.toInt());
        const QString words = form->priorityCaptions[i]->caption();
        QCOMPARE(form->chances[i]->caption(), chance);
        QCOMPARE(spokenName(form->chances[i]), spoken(words, chance));
        QCOMPARE(spokenName(form->deadMarks[i]), spoken(words, dead ? placeva::deadText() : QString()));
        QCOMPARE(form->deadMarks[i]->toolTip().isEmpty(), !dead);
    }
    if (shown.value(1) == u"0x"_qs) // made dead by the first
        QVERIFY(form->deadMarks[1]->toolTip().contains(form->priorityCaptions[0]->caption()));
    const QString nowhereText = nowhere.isEmpty() ? QString() : placeva::chanceText(nowhere.toInt());
    QCOMPARE(spokenName(form->notAdmittedChance), spoken(kNotAdmitted, nowhereText));
    QCOMPARE(form->noSafetyNet->caption(), noNet ? placeva::noSafetyNetText() : QString());
    QCOMPARE(spokenName(form->noSafetyNet), form->noSafetyNet->caption());

    // A fresh opening shows nothing of this applicant.
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form = slot.ensure(workspace.get());
    QVERIFY(form);
    QCOMPARE(form->notAdmittedChance->caption(), QString());
    QCOMPARE(form->noSafetyNet->caption(), QString());
}

// This year's table in place of the built-in choices: its names offered,
// its limits deciding, a choice without a limit dead.
void TestForm4::tableChoices()
{
    ChoiceList *form = open(withSeparators({kName1}), withSeparators({"10"}));
    QVERIFY(form);
    form->offerChoices({{u"A"_qs, 10}, {u"B"_qs, std::nullopt}, {u"C"_qs, 9}});
    QCOMPARE(form->Combo2[9]->count(), 3);
    QCOMPARE(form->Combo2[9]->text(), QString());
    form->Combo1->setCurrentIndex(0);
    emit form->Combo1->activated(0);
    for (int i = 0; i < 3; ++i)
        form->Combo2[size_t(i)]->setCurrentIndex(2 - i); // C, B, A
    form->Command1->click();
    QCOMPARE(form->lbl1->caption(), u"3"_qs);
    QCOMPARE(form->lbl2->caption(), u"A"_qs);
    QVERIFY(form->IsAdmitted(u"A"_qs, 10) && !form->IsAdmitted(choice(27), 10));
    QCOMPARE(form->chances[2]->caption(), placeva::chanceText(100));
    QCOMPARE(form->deadMarks[1]->caption(), placeva::deadText());
}

QTEST_MAIN(TestForm4)
#include "tst_choicelist.moc"
