#include "calculatorwindow.h"
#include "testsupport/spoken.h"

#include <QApplication>
#include <QFontMetrics>
#include <QtTest>

#include <memory>

class TestTallimo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void percentage_data();
    void percentage();
    void cannotCompute_data();
    void cannotCompute();
    void typingAndClicking();
    void captionsFitBesideTheirBoxes();
    void enterComputes();

private:
    void compute(const QString &correct, const QString &wrong, const QString &questions);

    std::unique_ptr<tallimo::CalculatorWindow> form;
    int messages = 0;
};

void TestTallimo::init()
{
    // Any message box at all is a fault: failures are silent.
    messages = 0;
    tk::MsgBox::setResponder([this](const tk::MsgBox::Request &) {
        ++messages;
        return tk::MsgBox::AnswerOk;
    });
    form = std::make_unique<tallimo::CalculatorWindow>();
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    form->show();
}

void TestTallimo::cleanup()
{
    form.reset();
    QCOMPARE(messages, 0);
}

void TestTallimo::compute(const QString &correct, const QString &wrong, const QString &questions)
{
    form->Text1->setText(correct);
    form->Text2->setText(wrong);
    form->Text3->setText(questions);
    form->Command1->click();
}

void TestTallimo::percentage_data()
{
    QTest::addColumn<QString>("correct");
    QTest::addColumn<QString>("wrong");
    QTest::addColumn<QString>("questions");
    QTest::addColumn<QString>("shown");

    QTest::newRow("20 5 25") << "20"
                             << "5"
                             << "25"
                             << "%  73";
    // Exact halves go to the even neighbour, both ways and below zero.
    QTest::newRow("1 0 8") << "1"
                           << "0"
                           << "8"
                           << "%  12";
    QTest::newRow("3 0 8") << "3"
                           << "0"
                           << "8"
                           << "%  38";
    QTest::newRow("0 31.5 100") << "0"
                                << "31.5"
                                << "100"
                                << "% -10";
    // The step-by-step order leaves 92.50000000000001, not 92.5.
    QTest::newRow("37 0 40") << "37"
                             << "0"
                             << "40"
                             << "%  93";
    QTest::newRow("0 3 10") << "0"
                            << "3"
                            << "10"
                            << "% -10";
    // -0.5 rounds to a negative zero, which must not print as "-0".
    QTest::newRow("0 1.5 100") << "0"
                               << "1.5"
                               << "100"
                               << "%  0";
    QTest::newRow("10 0 10") << "10"
                             << "0"
                             << "10"
                             << "%  100";
    QTest::newRow(" 7.5 |0 |10") << " 7.5"
                                 << "0 "
                                 << "10"
                                 << "%  75";
    QTest::newRow("persian digits") << u"۲۰"_qs << u"۵"_qs << u"۲۵"_qs << "%  73";
    QTest::newRow("persian decimal separator") << u"۷٫۵"_qs << u"٠"_qs << "10"
                                               << "%  75";
}

void TestTallimo::percentage()
{
    QFETCH(QString, correct);
    QFETCH(QString, wrong);
    QFETCH(QString, questions);
    QFETCH(QString, shown);

    compute(correct, wrong, questions);
    QCOMPARE(form->Label4->caption(), shown);
    QCOMPARE(spokenName(form->Label4), shown); // no caption: named by its value
}

void TestTallimo::cannotCompute_data()
{
    QTest::addColumn<QString>("correct");
    QTest::addColumn<QString>("wrong");
    QTest::addColumn<QString>("questions");

    QTest::newRow("empty correct") << ""
                                   << "5"
                                   << "25";
    // An empty box is not read as 0, even with the others valid.
    QTest::newRow("empty wrong") << "20"
                                 << ""
                                 << "25";
    QTest::newRow("empty questions") << "20"
                                     << "5"
                                     << "";
    QTest::newRow("20x 5 25") << "20x"
                              << "5"
                              << "25";
    QTest::newRow("20 5 0") << "20"
                            << "5"
                            << "0";
    QTest::newRow("0 0 0") << "0"
                           << "0"
                           << "0";
    QTest::newRow("1E400 0 25") << "1E400"
                                << "0"
                                << "25";
    QTest::newRow("1E308 0 25") << "1E308"
                                << "0"
                                << "25";
    QTest::newRow("1E300 0 1E-300") << "1E300"
                                    << "0"
                                    << "1E-300";
}

void TestTallimo::cannotCompute()
{
    QFETCH(QString, correct);
    QFETCH(QString, wrong);
    QFETCH(QString, questions);

    compute("20", "5", "25");
    QCOMPARE(form->Label4->caption(), QStringLiteral("%  73"));
    // The old result must go: left standing it would read as the new one's.
    compute(correct, wrong, questions);
    QCOMPARE(form->Label4->caption(), QString());
}

void TestTallimo::typingAndClicking()
{
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->Text1->setFocus();

    // Typed as a keyboard user would: Tab goes box by box, then to the button.
    for (const char *typed : {"37", "0", "40"}) {
        QTest::keyClicks(QApplication::focusWidget(), typed);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), form->Command1);
    QCOMPARE(form->Text2->text(), QStringLiteral("0"));
    QCOMPARE(form->Text3->text(), QStringLiteral("40"));
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(form->Label4->caption(), QStringLiteral("%  93"));

    form->Text2->selectAll();
    QTest::keyClick(form->Text2, Qt::Key_Backspace);
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(form->Label4->caption(), QString());
}

void TestTallimo::captionsFitBesideTheirBoxes()
{
    const std::pair<tk::Label *, tk::TextBox *> rows[] = {
        {form->Label1, form->Text1}, {form->Label2, form->Text2}, {form->Label3, form->Text3}};
    for (const auto &[label, box] : rows) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->caption()) <= label->width(), qPrintable(label->caption()));
        QVERIFY(metrics.height() <= label->height());
        QVERIFY(label->x() > box->geometry().right());
        QVERIFY(form->rect().contains(label->geometry()));
        QCOMPARE(box->accessibleName(), label->caption());
        QCOMPARE(spokenName(label), label->caption());
    }
    const QFontMetrics bold(form->Label5->font());
    QVERIFY(bold.horizontalAdvance(form->Label5->caption()) <= form->Label5->width());
    QVERIFY(form->rect().contains(form->Label5->geometry()));
}

// Enter in any box presses "محاسبه".
void TestTallimo::enterComputes()
{
    form->Text1->setText("20");
    form->Text2->setText("5");
    form->Text3->setText("25");
    form->Text3->setFocus();
    QTest::keyClick(form->Text3, Qt::Key_Return);
    QCOMPARE(form->Label4->caption(), QStringLiteral("%  73"));
}

QTEST_MAIN(TestTallimo)
#include "tst_tallimo.moc"
