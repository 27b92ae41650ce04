// The road of one applicant through Placeva, as a user walks it: typed and
// saved in the data-entry window, listed with rank and band in the main
// window, and tried against a choice list.
#include "gui/applicantentry.h"
#include "gui/choicelist.h"
#include "gui/mainwindow.h"
#include "testsupport/testbank.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace placeva;

class TestRoad : public QObject
{
    Q_OBJECT

private slots:
    void applicantFromEntryToAdmission();
};

void TestRoad::applicantFromEntryToAdmission()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY2(testbank::exec(dir.filePath("Bank.db"),
                            testbank::standardTables() << "INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500)"
                                                       << "INSERT INTO Formol (Avg, Rotbeh) VALUES (40, 100)",
                            &error),
             qPrintable(error));
    tk::setEndHook([] {});
    QStringList messages;
    tk::MsgBox::setResponder([&](const tk::MsgBox::Request &r) {
        messages << r.text;
        return tk::MsgBox::Yes;
    });

    tk::FormSlot<MainWindow> slot;
    MainWindow *main = slot.ensure(dir.path());
    QVERIFY(main);
    main->showModeless();
    QCOMPARE(main->List1->count(), 0);

    // 1-2. "Voroode Darsad": a new, empty record; the name and ten
    // percentages typed; "Save" computes the average and stores the record.
    const QString name = QStringLiteral(u"مينا کاظمي");
    QString average;
    bool startedEmpty = false;
    // What the window shows is recorded and checked after it has closed, so
    // that a failed check cannot leave a modal window open.
    QTimer::singleShot(0, main, [&] {
        ApplicantEntry *entry = main->applicantEntry();
        if (!entry)
            return;
        startedEmpty = entry->Text1->text().isEmpty();
        for (QChar c : name) // typed key by key, as a Persian keyboard sends it
            QTest::sendKeyEvent(QTest::Click, entry->Text1, Qt::Key_unknown, QString(c), Qt::NoModifier);
        for (tk::TextBox *box : entry->Text)
            QTest::keyClicks(box, "35");
        QTest::mouseClick(entry->Command3, Qt::LeftButton);
        average = entry->txtAvg->text();
        entry->close(); // 3. closing returns to the main window
    });
    QTest::mouseClick(main->Command4, Qt::LeftButton);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    QVERIFY(startedEmpty);
    QVERIFY(qAbs(average.toDouble() - 35) < 1e-9);

    // 4. Re-read and recomputed: name, average, rank and band.
    QCOMPARE(main->List1->count(), 2);
    QCOMPARE(main->List1->itemText(0), name);
    QCOMPARE(main->List4->itemText(0), QString("300"));
    QCOMPARE(main->List5->itemText(0), QStringLiteral(u"روزانه بد و شبانه خوب"));
    QCOMPARE(main->lbl[0]->caption(), QString("1"));
    QCOMPARE(main->lbl[5]->caption(), QString("1"));

    // 5. "Entekhab Shahr": the applicant picked, two choices, "Mohasebe".
    QString priority, place, rank;
    QTimer::singleShot(0, main, [&] {
        ChoiceList *choices = main->choiceList();
        if (!choices)
            return;
        choices->Combo1->setCurrentIndex(0);
        emit choices->Combo1->activated(0);
        rank = choices->Label2->caption();
        choices->Combo2[0]->setCurrentIndex(choices->Combo2[0]->findText(QStringLiteral(u"شيراز")));
        choices->Combo2[1]->setCurrentIndex(choices->Combo2[1]->findText(QStringLiteral(u"شيراز_ش")));
        QTest::mouseClick(choices->Command1, Qt::LeftButton);
        priority = choices->lbl1->caption();
        place = choices->lbl2->caption();
        QTest::mouseClick(choices->Command2, Qt::LeftButton);
    });
    QTest::mouseClick(main->Command5, Qt::LeftButton);
    QCOMPARE(rank, QString("300"));
    QCOMPARE(priority, QString("2"));
    QCOMPARE(place, QStringLiteral(u"شيراز_ش"));
    QVERIFY(main->isVisible());
    delete main;
}

QTEST_MAIN(TestRoad)
#include "tst_road.moc"
