#include "aboutwindow.h"
#include "estimatorwindow.h"
#include "testsupport/spoken.h"

#include <QtTest>

using ranqor::EstimatorWindow;

namespace {
constexpr std::uint32_t kWhite = 16777215, kGreen = 65280, kRed = 255;
}

class TestRanqor : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_messages.clear();
        m_ended = 0;
        tk::setEndHook([this] { ++m_ended; });
        tk::MsgBox::setResponder([this](const tk::MsgBox::Request &r) {
            m_messages << r.text;
            return tk::MsgBox::AnswerOk;
        });
        m_form = m_slot.ensure();
        QVERIFY(m_form);
        m_form->showModeless();
    }
    void cleanup()
    {
        if (m_slot.get())
            delete m_slot.get();
    }

    void designState()
    {
        QCOMPARE(m_form->windowTitle(),
                 QStringLiteral(u"تخمين رتبه کارداني به کارشناسي نرم افزار با توجه به درصدها"));
        QCOMPARE(m_form->size(), QSize(602, 507));
        for (tk::Label *l : {m_form->Label1, m_form->Label2, m_form->Label3, m_form->Label4, m_form->Label5})
            QCOMPARE(l->caption(), QString("0"));
        QCOMPARE(m_form->Text[0]->accessibleName(), QStringLiteral(u"معارف"));
        QCOMPARE(m_form->Text[9]->geometry().topLeft(), QPoint(16, 88));
        QCOMPARE(m_form->Text[0]->geometry().topLeft(), QPoint(416, 8));
    }

    void averages_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("average");
        const QStringList empty(10, QString());
        QTest::newRow("all empty") << empty << "0";
        QTest::newRow("all 100") << QStringList(10, "100") << "100";
        QTest::newRow("all -10") << QStringList(10, "-10") << "-10";
        QStringList only7 = empty;
        only7[6] = "100";
        QTest::newRow("Text7 100") << only7 << "22.2222222222222";
        QStringList only1 = empty;
        only1[0] = "100";
        QTest::newRow("Text1 100") << only1 << "5.55555555555556";
        QStringList only8 = empty;
        only8[7] = "30";
        QTest::newRow("Text8 30") << only8 << "2.77777777777778";
        QStringList only4 = empty;
        only4[3] = "18";
        QTest::newRow("Text4 18") << only4 << "3";
        QStringList letters = empty;
        letters[0] = "12abc";
        letters[1] = "abc";
        letters[2] = "-";
        QTest::newRow("12abc abc -") << letters << "0.666666666666667";
        QStringList persian = empty;
        persian[6] = QString::fromUtf8("۲۲٫۵");
        QTest::newRow("persian 22.5 in Text7") << persian << "5";
    }
    void averages()
    {
        QFETCH(QStringList, boxes);
        QFETCH(QString, average);
        for (int i = 0; i < 10; ++i)
            m_form->Text[size_t(i)]->setText(boxes[i]);
        QCOMPARE(m_form->Label1->caption(), average);
    }

    void allForty()
    {
        for (tk::TextBox *b : m_form->Text)
            b->setText("40");
        QCOMPARE(m_form->Label1->caption(), QString("40"));
        QCOMPARE(m_form->Label2->caption(), QString("32"));
        QCOMPARE(m_form->Label3->caption(), QString("30"));
        QCOMPARE(m_form->Label4->caption(), QString("38"));
        QCOMPARE(m_form->Label5->caption(), QString("52"));
    }

    void minusFiveTypedKeyByKey()
    {
        tk::TextBox *box = m_form->Text[2];
        QTest::keyClick(box, Qt::Key_Minus);
        QCOMPARE(box->backColor(), kWhite);
        QTest::keyClick(box, Qt::Key_5);
        QCOMPARE(box->backColor(), kRed);
        QCOMPARE(m_form->Label1->caption(), QString("-0.277777777777778"));
        for (tk::Label *l : {m_form->Label2, m_form->Label3, m_form->Label4, m_form->Label5})
            QCOMPARE(l->caption(), ranqor::notEligibleText());
    }

    void coloursFollowTheChangedBoxOnly()
    {
        m_form->Text[0]->setText("0.01");
        m_form->Text[1]->setText("-1");
        QCOMPARE(m_form->Text[0]->backColor(), kGreen);
        QCOMPARE(m_form->Text[1]->backColor(), kRed);
        m_form->Text[0]->setText("");
        QCOMPARE(m_form->Text[0]->backColor(), kWhite);
        QCOMPARE(m_form->Text[1]->backColor(), kRed);
        for (const char *zero : {"0", "0.0", "abc"}) {
            m_form->Text[1]->setText(zero);
            QCOMPARE(m_form->Text[1]->backColor(), kWhite);
        }
    }

    void onlyText7AtTwentyTwoAndAHalf()
    {
        m_form->Text[6]->setText("22.5");
        QCOMPARE(m_form->Label1->caption(), QString("5"));
        QCOMPARE(m_form->Label2->caption(), ranqor::notEligibleText());
        QCOMPARE(m_form->Label3->caption(), QString("27162"));
        QCOMPARE(m_form->Label4->caption(), ranqor::notEligibleText());
        QCOMPARE(m_form->Label5->caption(), ranqor::notEligibleText());
    }

    // The value labels hold the longest averages whole, beside their captions.
    void longestValuesShowWhole_data()
    {
        QTest::addColumn<QString>("text1");
        QTest::addColumn<QString>("average");
        QTest::newRow("-1") << "-1"
                            << "-0.0555555555555556";
        QTest::newRow("-0.1") << "-0.1"
                              << "-0.00555555555555556";
        QTest::newRow("-0.001") << "-0.001"
                                << "-5.55555555555556E-05";
        QTest::newRow("-1.6e-307") << "-1.6e-307"
                                   << "-8.88888888888889E-309";
        QTest::newRow("-1.7e308") << "-1.7e308"
                                  << "-9.44444444444444E+306";
    }
    void longestValuesShowWhole()
    {
        QFETCH(QString, text1);
        QFETCH(QString, average);
        m_form->Text[0]->setText(text1);
        QCOMPARE(m_form->Label1->caption(), average);
        const std::pair<tk::Label *, tk::Label *> rows[5] = {{m_form->Label6, m_form->Label1},
                                                             {m_form->Label7, m_form->Label2},
                                                             {m_form->Label8, m_form->Label3},
                                                             {m_form->Label9, m_form->Label4},
                                                             {m_form->Label10, m_form->Label5}};
        for (const auto &[caption, value] : rows) {
            for (tk::Label *l : {caption, value})
                QVERIFY2(QFontMetrics(l->font()).horizontalAdvance(l->caption()) <= l->contentsRect().width(),
                         qPrintable(l->objectName()));
            QVERIFY(!value->geometry().intersects(caption->geometry()));
            QCOMPARE(value->x(), 120); // the design's left edge
            // read as a screen reader does
            QCOMPARE(spokenName(value),
                     tk::captionWords(caption->caption()) + QStringLiteral(": ") + value->caption());
            QCOMPARE(spokenName(caption), caption->caption());
        }
        QCOMPARE(spokenName(m_form->Label1), u"ميانگين درصدها: "_qs + average);
        QCOMPARE(spokenName(m_form->Text[0]), u"معارف"_qs);
    }

    void nextEstimateEmptiesEveryBoxThroughItsChangeHandling_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("all 35") << QStringList(10, "35");
        // Text1-Text3 are emptied while Text4 still cannot be weighted: no
        // message, and they end white all the same.
        QStringList overflow(10, "40");
        overflow[3] = "1e308";
        QTest::newRow("all 40, Text4 1e308") << overflow;
    }
    void nextEstimateEmptiesEveryBoxThroughItsChangeHandling()
    {
        QFETCH(QStringList, boxes);
        for (int i = 0; i < 10; ++i)
            m_form->Text[size_t(i)]->setText(boxes[i]);
        QList<int> order;
        for (int i = 0; i < 10; ++i)
            connect(m_form->Text[size_t(i)], &tk::TextBox::change, this, [&order, i] { order << i; });
        // emptying an already empty box still runs its handling
        m_form->Text[4]->QLineEdit::setText("");
        order.clear();
        m_messages.clear();
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        QCOMPARE(order, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        for (tk::TextBox *b : m_form->Text) {
            QVERIFY(b->text().isEmpty());
            QCOMPARE(b->backColor(), kWhite);
        }
        QCOMPARE(m_form->Label1->caption(), QString("0"));
        for (tk::Label *l : {m_form->Label2, m_form->Label3, m_form->Label4, m_form->Label5})
            QCOMPARE(l->caption(), ranqor::notEligibleText());
        QCOMPARE(m_messages, QStringList());
    }

    void overflowIsReportedAndTheProgramGoesOn()
    {
        m_form->Text[0]->setText("10");
        const QString before = m_form->Label1->caption();
        const QString rankBefore = m_form->Label2->caption();
        m_form->Text[3]->setText("1e308"); // weighted 3: past the largest double
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains(QStringLiteral(u"سرريز")));
        QCOMPARE(m_form->Label1->caption(), before);
        QCOMPARE(m_form->Label2->caption(), rankBefore);
        QCOMPARE(m_form->Text[3]->backColor(), std::uint32_t(0xFFFFFFFF)); // the colour step never ran
        QCOMPARE(m_ended, 0);
        m_form->Text[3]->setText("20"); // and the window still computes
        QCOMPARE(m_form->Label1->caption(), QString("3.88888888888889"));
        QCOMPARE(m_form->Text[3]->backColor(), kGreen);
    }

    void aboutWindowOnceAtATime()
    {
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QPointer<ranqor::AboutWindow> first = m_form->aboutWindow();
        QVERIFY(first);
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QCOMPARE(m_form->aboutWindow(), first.data());
        QCOMPARE(first->Image1->pixmap().size(), QSize(693, 469));
        m_form->Text[6]->setText("100"); // the main window stays usable
        QCOMPARE(m_form->Label1->caption(), QString("22.2222222222222"));
        QTest::mouseClick(first->Command3, Qt::LeftButton);
        QTRY_VERIFY(first.isNull());
        QVERIFY(m_form->isVisible());
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QVERIFY(m_form->aboutWindow());
        QCOMPARE(m_form->aboutWindow()->Command3->text(), QStringLiteral(u"خروج"));
        delete m_form->aboutWindow();
    }

    // Escape closes the help window as its close box does; the main window stays.
    void escapeClosesTheAboutWindow()
    {
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QPointer<ranqor::AboutWindow> about = m_form->aboutWindow();
        QVERIFY(about);
        QTest::keyClick(about->Command3, Qt::Key_Escape);
        QTRY_VERIFY(about.isNull());
        QTest::keyClick(m_form->Text[0], Qt::Key_Escape);
        QVERIFY(m_form->isVisible());
    }

    void exitEndsAtOnceWithTheAboutWindow()
    {
        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        QPointer<ranqor::AboutWindow> about = m_form->aboutWindow();
        QPointer<EstimatorWindow> main = m_form;
        QTest::mouseClick(m_form->Command3, Qt::LeftButton);
        QCOMPARE(m_ended, 1);
        QTRY_VERIFY(about.isNull());
        QTRY_VERIFY(main.isNull());
    }

private:
    tk::FormSlot<EstimatorWindow> m_slot;
    EstimatorWindow *m_form = nullptr;
    QStringList m_messages;
    int m_ended = 0;
};

QTEST_MAIN(TestRanqor)
#include "tst_ranqor.moc"
