// Placeva as a counsellor meets it on a laptop: the windows fit a small
// screen, the keyboard reaches everything, the lists scroll as one, the first
// start says what to do, and a path in a message reads in its own order.
#include "bidi.h"
#include "core/csvimport.h"
#include "core/datalocation.h"
#include "gui/applicantentry.h"
#include "gui/chartwindow.h"
#include "gui/choicelist.h"
#include "gui/csvpreview.h"
#include "gui/mainwindow.h"
#include "gui/referenceentry.h"
#include "testsupport/testbank.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenuBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace placeva;

namespace {

// 1280 × 720 less a 40-pixel panel at the foot.
const QRect kLaptop(0, 0, 1280, 680);

// The window's frame and every button it shows lie inside the area.
void checkInside(QWidget *window, const QRect &area)
{
    const QRect outer(window->pos(), window->size().grownBy(tk::frameAllowance(window)));
    QVERIFY2(area.contains(outer), qPrintable(window->metaObject()->className()));
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        if (!b->isVisibleTo(window))
            continue;
        const QRect shown(b->mapTo(window, QPoint(0, 0)), b->size());
        QVERIFY2(window->rect().contains(shown), qPrintable(b->text()));
    }
}

} // namespace

class TestLaptop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tk::setupApplication(*qApp); }
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QStringList rows = testbank::standardTables();
        rows << "INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500), (40, 100)";
        for (int i = 0; i < 60; ++i)
            rows << QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES ('a%1', %2)").arg(i).arg(20 + i / 3.0);
        QVERIFY(testbank::exec(m_dir->filePath("Bank.db"), rows));
        tk::setEndHook([] {});
        tk::MsgBox::setResponder([](const tk::MsgBox::Request &) { return tk::MsgBox::No; });
    }
    void cleanup()
    {
        tk::setAvailableArea(std::nullopt);
        delete m_main.get();
    }

    void windowsFitTheScreen_data();
    void windowsFitTheScreen();
    void mainWindowKeepsItsDesignOnALargeScreen();
    void listsScrollAsOne();
    void firstStartSaysWhatToDo_data();
    void firstStartSaysWhatToDo();
    void keyboard_data();
    void keyboard();
    void pathsInMessagesReadInOrder();

private:
    MainWindow *openMain()
    {
        MainWindow *f = m_main.ensure(m_dir->path());
        if (f)
            f->showModeless();
        return f;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    tk::FormSlot<MainWindow> m_main;
};

void TestLaptop::windowsFitTheScreen_data()
{
    QTest::addColumn<QString>("window");
    for (const char *w : {"main", "applicants", "references", "choices", "chart", "import preview"})
        QTest::newRow(w) << QString(w);
}

void TestLaptop::windowsFitTheScreen()
{
    QFETCH(QString, window);
    tk::setAvailableArea(kLaptop);
    MainWindow *main = openMain();
    QVERIFY(main);
    std::unique_ptr<QWidget> other;
    QWidget *shown = main;
    if (window == "applicants")
        other.reset(new ApplicantEntry(m_dir->path()));
    else if (window == "references")
        other.reset(new ReferenceEntry(m_dir->path()));
    else if (window == "choices")
        other.reset(new ChoiceList(&main->workspace()));
    else if (window == "chart")
        shown = openChartWindow(*main);
    if (window == "import preview") {
        const ImportReading reading =
            readImportFile(QStringLiteral(CSV_TEST_DATA "/applicants-refused.csv"), ImportTable::Applicants);
        QVERIFY(reading.plan);
        other.reset(new CsvPreviewDialog(*reading.plan, QStringLiteral("/x/a.csv")));
    }
    if (other) {
        other->setAttribute(Qt::WA_DeleteOnClose, false);
        shown = other.get();
        shown->show();
    }
    QVERIFY(shown);
    checkInside(shown, kLaptop);
    if (window == "main") {
        // The lists gave up rows; the line under them and the frame keep their order.
        QVERIFY(main->minimumSize() != main->maximumSize());
        QVERIFY(main->List1->height() < tk::px(5580));
        QVERIFY(main->List1->height() >= main->List2->height());
        QVERIFY(main->Label17->geometry().top() > main->List1->geometry().bottom());
        QVERIFY(main->Frame1->geometry().top() > main->Label17->geometry().bottom());
        QCOMPARE(main->Command5->y(), main->Command2->y());
    }
}

void TestLaptop::mainWindowKeepsItsDesignOnALargeScreen()
{
    tk::setAvailableArea(QRect(0, 0, 1920, 1040));
    MainWindow *main = openMain();
    QVERIFY(main);
    QCOMPARE(main->size(), QSize(785, 724 + main->menuBar()->height()));
    QCOMPARE(main->minimumSize(), main->maximumSize());
    QCOMPARE(main->List1->geometry(), QRect(56, 32 + main->menuBar()->height(), 161, 372));
}

void TestLaptop::listsScrollAsOne()
{
    MainWindow *main = openMain();
    QVERIFY(main);
    QTRY_VERIFY(main->List5->verticalScrollBar()->maximum() > 30);
    main->List5->verticalScrollBar()->setValue(30);
    for (tk::ListBox *l : {main->List1, main->List2, main->List4, main->List5})
        QCOMPARE(l->verticalScrollBar()->value(), 30);
    main->selectApplicant(2); // from code: the lists follow back to the row
    for (tk::ListBox *l : {main->List1, main->List2, main->List4, main->List5})
        QCOMPARE(l->verticalScrollBar()->value(), main->List1->verticalScrollBar()->value());
}

void TestLaptop::firstStartSaysWhatToDo_data()
{
    QTest::addColumn<QStringList>("references");
    QTest::addColumn<bool>("hint");
    QTest::newRow("none") << QStringList() << true;
    QTest::newRow("none readable") << QStringList{"(NULL, 7)", "('abc', 9)"} << true;
    QTest::newRow("two readable") << QStringList{"(30, 500)", "(40, 100)"} << false;
}

void TestLaptop::firstStartSaysWhatToDo()
{
    QFETCH(QStringList, references);
    QFETCH(bool, hint);
    QStringList sql{"DELETE FROM Formol"};
    for (const QString &r : references)
        sql << "INSERT INTO Formol (Avg, Rotbeh) VALUES " + r;
    QVERIFY(testbank::exec(m_dir->filePath("Bank.db"), sql));
    MainWindow *main = openMain();
    QVERIFY(main);
    const QString said = main->Label17->caption().remove(QChar(0x2068)).remove(QChar(0x2069));
    const QString expected = QString::fromUtf16(u"براي تخمين رتبه، نتايج مرجع را با «takmike Formool» يا «ورود نتايج "
                                                u"مرجع از CSV...» وارد کنيد");
    QCOMPARE(said == expected, hint);
    if (hint)
        QVERIFY(main->Label17->isVisible());
}

// Enter presses each window's natural button, Escape closes the secondary ones.
void TestLaptop::keyboard_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("pressed"); // the button's caption, "" for none
    QTest::addColumn<bool>("closes");
    QTest::newRow("applicants, Enter") << "applicants" << int(Qt::Key_Return) << "Save" << false;
    QTest::newRow("applicants, Escape") << "applicants" << int(Qt::Key_Escape) << "" << true;
    QTest::newRow("references, Enter") << "references" << int(Qt::Key_Return) << u"ذخيره و ويرايش"_qs << false;
    QTest::newRow("references, Escape") << "references" << int(Qt::Key_Escape) << "" << true;
    QTest::newRow("choices, Enter") << "choices" << int(Qt::Key_Return) << "Mohasebe" << false;
    QTest::newRow("choices, Escape") << "choices" << int(Qt::Key_Escape) << "" << true;
    QTest::newRow("chart, Escape") << "chart" << int(Qt::Key_Escape) << "" << true;
    QTest::newRow("main, Escape") << "main" << int(Qt::Key_Escape) << "" << false;
}

void TestLaptop::keyboard()
{
    QFETCH(QString, window);
    QFETCH(int, key);
    QFETCH(QString, pressed);
    QFETCH(bool, closes);
    MainWindow *main = openMain();
    QVERIFY(main);
    QCOMPARE(main->focusWidget(), main->List1); // the keyboard starts at the names
    tk::Form *form = main;
    if (window == "applicants")
        form = new ApplicantEntry(m_dir->path());
    else if (window == "references")
        form = new ReferenceEntry(m_dir->path());
    else if (window == "choices")
        form = new ChoiceList(&main->workspace());
    else if (window == "chart")
        form = openChartWindow(*main);
    QVERIFY(form);
    QPointer<tk::Form> guard(form);
    if (form != main && window != "chart")
        QVERIFY(tk::FormLoader::load(form));
    form->show();
    QString seen;
    for (QPushButton *b : form->findChildren<QPushButton *>())
        connect(b, &QPushButton::pressed, this, [&seen, b] { seen = b->text(); });
    for (QPushButton *b : form->findChildren<QPushButton *>())
        connect(b, &QPushButton::clicked, this, [&seen, b] { seen = b->text(); });
    QWidget *target = form->findChild<QLineEdit *>();
    if (!target)
        target = form;
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QCOMPARE(seen, pressed);
    QCOMPARE(guard.isNull() || !guard->isVisible(), closes);
    if (guard && form != main)
        delete guard.data();
}

void TestLaptop::pathsInMessagesReadInOrder()
{
    // A data folder given with a trailing separator: one separator in the
    // file's path, and the path isolated in the first start's message.
    const QDir root(m_dir->filePath("root"));
    QVERIFY(root.mkpath("usr/bin") && root.mkpath("usr/share/placeva"));
    QVERIFY(QFile::copy(m_dir->filePath("Bank.db"), root.filePath("usr/share/placeva/Bank.db")));
    const DataChoice choice =
        chooseDatabase(QString(), root.filePath("usr/bin"), root.filePath("data") + QLatin1Char('/'));
    QCOMPARE(choice.file, root.filePath("data/Bank.db"));
    QVERIFY2(choice.notice.contains(common::isolate(QDir::toNativeSeparators(choice.file))),
             qPrintable(choice.notice));
    QVERIFY(!choice.notice.contains(QStringLiteral("//")));
}

QTEST_MAIN(TestLaptop)
#include "tst_laptop.moc"
