#include "gui/mainwindow.h"
#include "gui/passtexts.h"
#include "testsupport/spoken.h"
#include "testsupport/testbank.h"

#include <QAccessible>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using placeva::MainWindow;

namespace {

// Runs statements on a database file of the test's own.
void exec(const QString &file, const QStringList &statements)
{
    QString error;
    QVERIFY2(testbank::exec(file, statements, &error), qPrintable(error));
}

// A window with a tk::Form of its own, opened modal over the main window and
// closed at once: what returning from a data-entry window does.
void openAndCloseModalOver(tk::Form *main)
{
    auto *other = new tk::Form;
    QTimer::singleShot(0, other, [other] { other->close(); });
    other->showModal(main);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_bank = m_dir->filePath("Bank.db");
        m_messages.clear();
        m_ended = 0;
        tk::setEndHook([this] { ++m_ended; });
        tk::MsgBox::setResponder([this](const tk::MsgBox::Request &r) {
            m_messages << r.text;
            return tk::MsgBox::AnswerOk;
        });
    }
    void cleanup() { delete m_slot.get(); }

    void startFailures_data();
    void startFailures();
    void designBeforeTheFirstPass();
    void passAtStart();
    void emptyTables();
    void factorWaitsForThePass();
    void activationReReadsBothTables();
    void activationSeesEveryChange_data();
    void activationSeesEveryChange();
    void unreadableReferenceRowsNamed();
    void listsMoveTogether_data();
    void listsMoveTogether();
    void firstColumnIsListedWhateverItIs();
    void rankRowsCarryTheirLikelyRange();
    void exitEndsTheProgram();

private:
    MainWindow *open()
    {
        MainWindow *f = m_slot.ensure(m_dir->path());
        if (f)
            f->showModeless();
        return f;
    }
    void standardTables(const QStringList &more = {}) { exec(m_bank, testbank::standardTables() + more); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bank;
    tk::FormSlot<MainWindow> m_slot;
    QStringList m_messages;
    int m_ended = 0;
};

void TestMainWindow::startFailures_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QByteArray>("fileBytes"); // written instead when not empty
    QTest::addColumn<QString>("named");        // what the message must name
    QTest::newRow("missing file") << QStringList() << QByteArray() << "Bank.db";
    QTest::newRow("not a database") << QStringList() << QByteArray("this is a text file, not a database\n")
                                    << "Bank.db";
    QTest::newRow("missing Formol") << QStringList{testbank::applicantTable()} << QByteArray() << "Formol";
    QTest::newRow("missing Davtalab")
        << QStringList{testbank::referenceTable()} << QByteArray() << "Davtalab";
    QTest::newRow("Davtalab without Avg")
        << QStringList{QStringLiteral("CREATE TABLE Davtalab (Name TEXT, Dini REAL)"),
                       testbank::referenceTable()}
        << QByteArray() << "Avg";
    QTest::newRow("Formol without Rotbeh")
        << QStringList{testbank::applicantTable(),
                       QStringLiteral("CREATE TABLE Formol (Avg REAL, takh REAL)")}
        << QByteArray() << "Rotbeh";
    QTest::newRow("Formol WITHOUT ROWID")
        << QStringList{testbank::applicantTable(),
                       QStringLiteral(
                           "CREATE TABLE Formol (Avg REAL, Rotbeh INTEGER PRIMARY KEY) WITHOUT ROWID")}
        << QByteArray() << "WITHOUT ROWID";
}

void TestMainWindow::startFailures()
{
    QFETCH(QStringList, setup);
    QFETCH(QByteArray, fileBytes);
    QFETCH(QString, named);
    if (!setup.isEmpty())
        exec(m_bank, setup);
    if (!fileBytes.isEmpty()) {
        QFile f(m_bank);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(fileBytes);
    }
    const bool existed = QFile::exists(m_bank);
    const QByteArray before = existed ? [&] { QFile f(m_bank); f.open(QIODevice::ReadOnly); return f.readAll(); }() : QByteArray();

    QVERIFY(!open());
    QCOMPARE(m_ended, 1);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(named), qPrintable(m_messages.first()));
    QVERIFY2(m_messages.first().contains(QDir::toNativeSeparators(m_bank))
                 || m_messages.first().contains(m_bank),
             qPrintable(m_messages.first()));
    // nothing created or changed
    QCOMPARE(QFile::exists(m_bank), existed);
    if (existed) {
        QFile f(m_bank);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
}

void TestMainWindow::designBeforeTheFirstPass()
{
    standardTables();
    MainWindow *f = m_slot.ensure(m_dir->path());
    QVERIFY(f);
    // The client area keeps its size; a menu bar above it adds its height.
    const QMenuBar *bar = f->findChild<QMenuBar *>();
    const int barHeight = bar ? bar->height() : 0;
    QCOMPARE(f->size(), QSize(785, 724 + barHeight));
    QCOMPARE(f->List1->pos(), QPoint(56, 32 + barHeight));
    QCOMPARE(f->Text1->text(), QString("1.00"));
    QCOMPARE(f->lbl[0]->caption(), QString("Label14"));
    QCOMPARE(f->lbl[8]->caption(), QString("Label16"));
    QCOMPARE(f->List5->layoutDirection(), Qt::RightToLeft);
    QCOMPARE(f->List1->layoutDirection(), Qt::LeftToRight);
    QCOMPARE(f->Text1->accessibleName(), QStringLiteral(u"ميزان تغييرات"));
    const QStringList order{"Command2", "Command3", "Command1", "Command4", "Command5"};
    int x = -1;
    for (const QString &name : order) {
        auto *b = f->findChild<tk::Button *>(name);
        QVERIFY(b->x() > x);
        x = b->x();
    }
}

void TestMainWindow::passAtStart()
{
    standardTables({"INSERT INTO Formol (Avg, Rotbeh) VALUES (40, 100)",
                    "INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('Ali', 35)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('O''Brien', 45)"});
    MainWindow *f = open();
    QVERIFY(f);
    QCOMPARE(f->List1->items(),
             (QStringList{"Ali", placeva::listSeparator(), "O'Brien", placeva::listSeparator()}));
    QCOMPARE(f->List2->itemText(0), QString("35"));
    QCOMPARE(f->List4->itemText(0), QString("300"));
    QCOMPARE(f->List5->itemText(0), QStringLiteral(u"روزانه بد و شبانه خوب"));
    QCOMPARE(f->List4->itemText(2), QString("-100"));
    QCOMPARE(f->List5->itemText(2), QStringLiteral(u"تمام دانشگاهها"));
    QCOMPARE(f->List5->itemText(3), placeva::bandSeparator());
    QCOMPARE(f->lbl[0]->caption(), QString("2"));
    QCOMPARE(f->lbl[1]->caption(), QString("O'Brien"));
    QCOMPARE(f->lbl[2]->caption(), QString("Ali"));
    QCOMPARE(f->lbl[3]->caption(), QString("40.00"));
    QCOMPARE(f->lbl[5]->caption(), QString("2"));
    // every figure read as a screen reader does, its caption first
    QCOMPARE(spokenName(f->lbl[0]), u"تعداد داوطلبان: 2"_qs);
    const tk::Label *captions[9] = {f->Label6,  f->Label7,  f->Label8,  f->Label9, f->Label10,
                                    f->Label11, f->Label12, f->Label13, f->Label15};
    for (size_t i = 0; i < 9; ++i) {
        QCOMPARE(spokenName(f->lbl[i]),
                 tk::captionWords(captions[i]->caption()) + QStringLiteral(": ") + f->lbl[i]->caption());
        QCOMPARE(spokenName(captions[i]), captions[i]->caption());
    }
    QVERIFY(m_messages.isEmpty());
}

void TestMainWindow::emptyTables()
{
    standardTables();
    MainWindow *f = open();
    QVERIFY(f);
    for (tk::ListBox *l : {f->List1, f->List2, f->List4, f->List5})
        QCOMPARE(l->count(), 0);
    const QStringList expected{"0", "", "", "", "", "0", "0", "0", "0"};
    for (int i = 0; i < 9; ++i)
        QCOMPARE(f->lbl[size_t(i)]->caption(), expected[i]);
}

void TestMainWindow::factorWaitsForThePass()
{
    standardTables({"INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500)",
                    "INSERT INTO Formol (Avg, Rotbeh) VALUES (40, 100)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('Sara', 35)"});
    MainWindow *f = open();
    QVERIFY(f);
    QCOMPARE(f->List4->itemText(0), QString("300"));
    f->Text1->clear();
    QTest::keyClicks(f->Text1, "1.10");
    QCOMPARE(f->List4->itemText(0), QString("300"));
    QTest::mouseClick(f->Command1, Qt::LeftButton);
    QCOMPARE(f->List4->itemText(0), QString("160"));
    QCOMPARE(f->List2->itemText(0), QString("35")); // averages stay raw
    QCOMPARE(f->lbl[3]->caption(), QString("35.00"));
}

void TestMainWindow::activationReReadsBothTables()
{
    standardTables({"INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500)",
                    "INSERT INTO Formol (Avg, Rotbeh) VALUES (40, 100)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('Sara', 35)"});
    MainWindow *f = open();
    QVERIFY(f);
    f->List1->setListIndex(0);
    exec(m_bank,
         {"INSERT INTO Davtalab (Name, Avg) VALUES ('Reza', 38)",
          "UPDATE Formol SET Rotbeh = 200 WHERE Avg = 40"});
    QCOMPARE(f->List1->count(), 2); // nothing re-read yet
    openAndCloseModalOver(f);
    QCOMPARE(f->List1->count(), 4);
    QCOMPARE(f->List1->itemText(2), QString("Reza"));
    QCOMPARE(f->List4->itemText(0), QString("350")); // the changed reference row counts
    QCOMPARE(f->List1->listIndex(), -1);             // the lists were rebuilt
    QCOMPARE(f->lbl[0]->caption(), QString("2"));
}

// An activation may skip its work only where nothing can have changed; every
// kind of change still shows, and with none the pass does not run again.
void TestMainWindow::activationSeesEveryChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("names"); // the applicants listed afterwards
    QTest::addColumn<QString>("rank");      // the first applicant's
    QTest::newRow("nothing") << "nothing" << QStringList{"Sara"} << "300";
    QTest::newRow("another window's store") << "window" << QStringList{"Sara", "Reza"} << "300";
    QTest::newRow("a reference row stored elsewhere") << "reference" << QStringList{"Sara"} << "350";
    QTest::newRow("another process's write") << "process" << QStringList{"Sara", "Neda"} << "300";
    QTest::newRow("a replaced file") << "replaced" << QStringList{"Mina"} << "300";
    QTest::newRow("a table rebuilt with another first column") << "rebuilt" << QStringList{"A7"} << "300";
    QTest::newRow("a changed factor") << "factor" << QStringList{"Sara"} << "160";
}

void TestMainWindow::activationSeesEveryChange()
{
    QFETCH(QString, change);
    QFETCH(QStringList, names);
    QFETCH(QString, rank);
    const QStringList references{"INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500)",
                                 "INSERT INTO Formol (Avg, Rotbeh) VALUES (40, 100)"};
    standardTables(references + QStringList{"INSERT INTO Davtalab (Name, Avg) VALUES ('Sara', 35)"});
    MainWindow *f = open();
    QVERIFY(f);
    openAndCloseModalOver(f); // the rows and the stamp of a pass in place
    f->List1->setListIndex(0);
    QSignalSpy passes(&f->workspace(), &placeva::Workspace::passChanged);

    if (change == "window") {
        placeva::DataControl other;
        other.setConnectionString(placeva::DataControl::connectionStringFor(m_dir->path()));
        other.setCommandType(placeva::DataControl::CommandTable);
        other.setRecordSource("Davtalab");
        QVERIFY(!other.refresh());
        placeva::Recordset *rs = other.recordset();
        QVERIFY(!rs->addNew() && !rs->setPendingText("Name", "Reza") && !rs->setPendingText("Avg", "35"));
        QVERIFY(!rs->update());
    } else if (change == "reference") {
        exec(m_bank, {"UPDATE Formol SET Rotbeh = 200 WHERE Avg = 40"});
    } else if (change == "process") {
        const QString csv = m_dir->filePath("more.csv");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Name,Dini,Adabiat,Zaban,Riazi,ZabanT,Madar,barname,system,zakhire,sakhteman\n"
                   "Neda,70,60,50,40,30,20,10,80,90,65\n");
        file.close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", m_dir->filePath("data"));
        env.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
        p.setProcessEnvironment(env);
        p.start(PLACEVA_EXE, {"--database", m_bank, "--import-applicants", csv});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    } else if (change == "replaced") {
        const QString other = m_dir->filePath("other.db");
        exec(other,
             testbank::standardTables() + references
                 + QStringList{"INSERT INTO Davtalab (Name, Avg) VALUES ('Mina', 35)"});
        QCOMPARE(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(m_bank).constData()), 0);
    } else if (change == "rebuilt") {
        exec(m_bank,
             {"DROP TABLE Davtalab", "CREATE TABLE Davtalab (Code TEXT, Name TEXT, Avg REAL)",
              "INSERT INTO Davtalab VALUES ('A7', 'Sara', 35)"});
    } else if (change == "factor") {
        f->Text1->setText("1.10");
    }
    openAndCloseModalOver(f);

    QCOMPARE(passes.count(), change == "nothing" ? 0 : 1);
    QStringList listed;
    for (int row = 0; row < f->List1->count(); row += 2)
        listed << f->List1->itemText(row);
    QCOMPARE(listed, names);
    QCOMPARE(f->List4->itemText(0), rank);
    for (tk::ListBox *l : {f->List1, f->List2, f->List4, f->List5})
        QCOMPARE(l->listIndex(), -1); // as after a rebuild, also where nothing changed
}

void TestMainWindow::unreadableReferenceRowsNamed()
{
    standardTables({"INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500), (NULL, 7), ('abc', 9), (40, 100)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('Sara', 35)"});
    MainWindow *f = open();
    QVERIFY(f);
    QCOMPARE(f->List4->itemText(0), QString("300")); // the two readable rows still estimate
    const QString note = QStringLiteral(u"2 رديف جدول ⁨Formol⁩ در تخمين رتبه به کار نرفت: ميانگين "
                                        u"يا "
                                        u"رتبه 1 رديف خالي "
                                        u"است، ميانگين يا رتبه 1 رديف عدد نيست.");
    QVERIFY(f->Label17->isVisible());
    QCOMPARE(f->Label17->caption(), note);
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(f->Label17);
    QVERIFY(a);
    QCOMPARE(a->text(QAccessible::Name), note);
    // Under the lists, above the frame, clear of both.
    QVERIFY(f->Label17->geometry().top() > f->List1->geometry().bottom());
    QVERIFY(f->Label17->geometry().bottom() < f->Frame1->geometry().top());
    QVERIFY(m_messages.isEmpty()); // no dialog

    exec(m_bank, {"DELETE FROM Formol WHERE Avg IS NULL OR Avg = 'abc'"});
    openAndCloseModalOver(f);
    QVERIFY(!f->Label17->isVisible());
    QCOMPARE(f->List4->itemText(0), QString("300"));
}

void TestMainWindow::listsMoveTogether_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("row");
    for (const char *l : {"List1", "List2", "List4", "List5"})
        for (int row : {0, 3, 5})
            QTest::newRow(qPrintable(QStringLiteral("%1 row %2").arg(l).arg(row))) << QString(l) << row;
}

void TestMainWindow::listsMoveTogether()
{
    QFETCH(QString, list);
    QFETCH(int, row);
    standardTables({"INSERT INTO Formol (Avg, Rotbeh) VALUES (30, 500)",
                    "INSERT INTO Formol (Avg, Rotbeh) VALUES (40, 100)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('a', 31)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('b', 32)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('c', 33)"});
    MainWindow *f = open();
    QVERIFY(f);
    auto *clicked = f->findChild<tk::ListBox *>(list);
    const QRect rect = clicked->visualRect(clicked->model()->index(row, 0));
    QTest::mouseClick(clicked->viewport(), Qt::LeftButton, {}, rect.center());
    for (tk::ListBox *l : {f->List1, f->List2, f->List4, f->List5})
        QCOMPARE(l->listIndex(), row);
    QVERIFY(m_messages.isEmpty());
}

void TestMainWindow::firstColumnIsListedWhateverItIs()
{
    exec(m_bank,
         {"CREATE TABLE Davtalab (Code INTEGER, Avg TEXT, Name TEXT, Extra BLOB)",
          "CREATE TABLE Formol (Rotbeh REAL, Note TEXT, Avg TEXT)",
          "INSERT INTO Davtalab (Code, Avg, Name) VALUES (7, '30', 'Mina')",
          "INSERT INTO Formol (Rotbeh, Avg) VALUES (500, '30')",
          "INSERT INTO Formol (Rotbeh, Avg) VALUES (100, '40')"});
    MainWindow *f = open();
    QVERIFY(f);
    QCOMPARE(f->List1->itemText(0), QString("7"));
    QCOMPARE(f->List4->itemText(0), QString("500"));
}

void TestMainWindow::exitEndsTheProgram()
{
    standardTables();
    MainWindow *f = open();
    QVERIFY(f);
    QPointer<MainWindow> guard(f);
    QTest::mouseClick(f->Command2, Qt::LeftButton);
    QCOMPARE(m_ended, 1);
    QTRY_VERIFY(guard.isNull());
}

QTEST_MAIN(TestMainWindow)
// The inner reference points miss by 10, -5, 5, -10 and 5 when left out, so
// a rank of 650 is likely between 640 and 660; separators and unranked rows
// carry no tooltip, and a pass without a range leaves none behind.
void TestMainWindow::rankRowsCarryTheirLikelyRange()
{
    standardTables({"INSERT INTO Formol (Avg, Rotbeh) VALUES (10, 900), (20, 810), (30, 700), (40, 600), "
                    "(50, 490), (60, 400), (70, 300)",
                    "INSERT INTO Davtalab (Name, Avg) VALUES ('A', 35), ('B', NULL)"});
    MainWindow *f = open();
    QVERIFY(f);
    const auto tip = [f](int row) {
        return f->List4->model()->index(row, 0).data(Qt::ToolTipRole).toString();
    };
    QCOMPARE(tip(0), QString::fromUtf16(u"بازه محتمل ") + placeva::rangeText(placeva::LikelyRange{640, 660}));
    QCOMPARE(tip(1), QString());
    QCOMPARE(tip(2), QString());
    exec(m_bank, {"DELETE FROM Formol WHERE Avg > 30"});
    QVERIFY(f->reread());
    QCOMPARE(f->List4->itemText(0), QStringLiteral("645")); // still ranked, by three points
    QCOMPARE(tip(0), QString());
}

#include "tst_mainwindow.moc"
