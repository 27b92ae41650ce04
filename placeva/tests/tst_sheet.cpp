#include "core/choices.h"
#include "core/choicetable.h"
#include "core/counsel.h"
#include "core/store.h"
#include "core/workspace.h"
#include "gui/chancetexts.h"
#include "gui/choicelist.h"
#include "gui/filemenu.h"
#include "gui/mainwindow.h"
#include "gui/passtexts.h"
#include "gui/sheet.h"
#include "testsupport/literal_pass.h"
#include "testsupport/pdftext.h"
#include "testsupport/testbank.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace placeva;

namespace {

constexpr double kWeights[] = {1, 1, 1, 3, 1, 2, 4, 5.0 / 3, 5.0 / 3, 5.0 / 3};

// The gains worked out the long way: each raised average summed in its
// 15-digit text, its rank from the literal pass of one applicant.
std::vector<SubjectGain> plainGains(const Percentages &p, const QVector<ReferenceRow> &refs,
                                    const QString &factor, std::optional<std::int32_t> current)
{
    std::vector<SubjectGain> out;
    for (int i = 0; i < 10; ++i) {
        Percentages raised = p;
        if (raised[size_t(i)] < 100)
            raised[size_t(i)] = std::min(raised[size_t(i)] + 10, 100.0);
        double total = 0;
        for (int j = 0; j < 10; ++j)
            total = QString::number(kWeights[j] * raised[size_t(j)] + total, 'g', 15).toDouble();
        const double avg = QString::number(total / 18, 'g', 15).toDouble();
        const QString rank =
            literal::statisticsPass({ApplicantRow{QStringLiteral("x"), avg}}, refs, factor).list4.value(0);
        SubjectGain g{i, std::nullopt, std::nullopt};
        if (!rank.isEmpty())
            g.rank = rank.toInt();
        if (g.rank && current)
            g.gain = std::int64_t(*current) - *g.rank;
        out.push_back(g);
    }
    std::stable_sort(out.begin(), out.end(), [](const SubjectGain &a, const SubjectGain &b) {
        if (!a.gain || !b.gain)
            return a.gain.has_value() && !b.gain.has_value();
        return *a.gain > *b.gain;
    });
    return out;
}

QString gainsText(const std::vector<SubjectGain> &gains)
{
    QStringList parts;
    for (const SubjectGain &g : gains)
        parts << QStringLiteral("%1:%2:%3")
                     .arg(g.subject)
                     .arg(g.rank ? QString::number(*g.rank) : QStringLiteral("-"))
                     .arg(g.gain ? QString::number(*g.gain) : QStringLiteral("-"));
    return parts.join(' ');
}

QStringList choiceNamesOf(const std::vector<SheetChoice> &lines)
{
    QStringList names;
    for (const SheetChoice &c : lines)
        names << c.choice;
    return names;
}

QString subjectValues(const QStringList &p)
{
    return p.join(QStringLiteral(", "));
}

} // namespace

class TestSheet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gainsEqualPlainOnRandomTables();
    void choiceTableGroupedByVerdict();
    void fileNames_data();
    void fileNames();
    void readBackFromThePdf_data();
    void readBackFromThePdf();
    void onePagePerApplicantOfARandomTable();
    void commandLine_data();
    void commandLine();
    void fromTheFileMenuAndTheChoiceList();
    void fromAListsContextMenu_data();
    void fromAListsContextMenu();
    void withoutAListThisYearsChoiceTable_data();
    void withoutAListThisYearsChoiceTable();
    void givenListAsTheChoiceListShowsIt_data();
    void givenListAsTheChoiceListShowsIt();

private:
    // Davtalab rows: name and ten percentages (SQL literals), Avg as the entry window computes it.
    void seed(const QList<std::pair<QString, QStringList>> &applicants);
    // Ali alone, his estimate and likely range in *ws, and Entekhab made
    // around them: Far admits not even the best likely rank, Reach only that,
    // Near the estimate, Wide and Wider every likely rank, NoLimit none.
    void seedAliWithChoicesAround(Workspace &ws);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
    QStringList m_messages;
};

void TestSheet::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_db = m_dir->filePath(QStringLiteral("Bank.db"));
    m_messages.clear();
    tk::MsgBox::setResponder([this](const tk::MsgBox::Request &r) {
        m_messages << r.text;
        return r.buttons == tk::MsgBox::Choice ? tk::MsgBox::Yes : tk::MsgBox::AnswerOk;
    });
    tk::setEndHook([] {});
}

void TestSheet::cleanup()
{
    setFileChooser({});
    m_dir.reset();
}

void TestSheet::seed(const QList<std::pair<QString, QStringList>> &applicants)
{
    QStringList sql = testbank::standardTables();
    // Thirty reference results from (20, 9000) to (78, 30), unevenly spaced.
    QStringList refs;
    for (int i = 0; i < 30; ++i)
        refs << QStringLiteral("(%1, %2)").arg(20 + 2 * i).arg(9000 - 300 * i + (i % 3) * 40);
    sql << QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES ") + refs.join(',');
    QStringList fields;
    for (const Field &f : kApplicants.subjects())
        fields << f.nameText();
    for (const auto &[name, p] : applicants) {
        Percentages values{};
        for (int i = 0; i < 10; ++i)
            values[size_t(i)] = subjectValue(p.value(i)).value_or(0);
        const QString avg = QString::number(entryAverage(values).value_or(0), 'g', 17);
        QString quoted = name;
        quoted.replace('\'', QStringLiteral("''"));
        sql << QStringLiteral("INSERT INTO Davtalab (Name, %1, Avg) VALUES ('%2', %3, %4)")
                   .arg(fields.join(','), quoted, subjectValues(p), avg);
    }
    QString error;
    QVERIFY2(testbank::exec(m_db, sql, &error), qPrintable(error));
}

void TestSheet::gainsEqualPlainOnRandomTables()
{
    QRandomGenerator random(20);
    const QStringList factors = {"1.00", "1.1", "0.9", "2x"};
    for (int table = 0; table < 60; ++table) {
        QVector<ReferenceRow> refs;
        const int n = int(random.bounded(0, 12));
        for (int i = 0; i < n; ++i)
            refs.append({random.bounded(-10, 110) + random.bounded(4) * 0.25, int(random.bounded(1, 20000))});
        if (n > 3 && random.bounded(4) == 0)
            refs[1].avg = refs[0].avg; // an equal-average segment
        const QString factor = factors.at(table % factors.size());
        const RankModel model(refs, factor);
        for (int applicant = 0; applicant < 10; ++applicant) {
            Percentages p{};
            for (double &v : p) {
                const int pick = int(random.bounded(10));
                v = pick == 0 ? 100 : pick == 1 ? 95 : pick == 2 ? -33.3 : random.bounded(-400, 1050) / 10.0;
            }
            const double avg = entryAverage(p).value_or(0);
            const std::optional<std::int32_t> current = model.estimate(avg);
            const auto got = tenMorePoints(model, p, current);
            const auto want = plainGains(p, refs, factor, current);
            QCOMPARE(gainsText(got), gainsText(want));
        }
    }
}

void TestSheet::choiceTableGroupedByVerdict()
{
    ApplicantResult a;
    a.rank = 300;
    a.range = LikelyRange{150, 450};
    const std::vector<SheetChoice> lines = sheetChoices(a, std::nullopt);
    QVERIFY(!lines.empty());
    for (size_t i = 0; i < lines.size(); ++i) {
        QVERIFY(lines[i].verdict && *lines[i].verdict != Verdict::Out);
        QCOMPARE(*lines[i].verdict, admissionVerdict(lines[i].limit, 300, a.range));
        if (i > 0 && *lines[i].verdict == *lines[i - 1].verdict)
            QVERIFY(*lines[i - 1].limit <= *lines[i].limit);
        else if (i > 0)
            QVERIFY(*lines[i - 1].verdict < *lines[i].verdict);
    }
    // A given list keeps its ten priorities, the empty ones without a verdict.
    const std::vector<SheetChoice> given = sheetChoices(a, QStringList{choiceNames().at(0), QString()});
    QCOMPARE(given.size(), size_t(10));
    QCOMPARE(given[0].verdict, std::optional<Verdict>(Verdict::Out));
    QVERIFY(!given[1].verdict && !given[9].verdict);
}

void TestSheet::fileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("file");
    QTest::newRow("plain") << "Ali" << 0 << "0001-Ali.pdf";
    QTest::newRow("slashes and colons") << "a/b\\c:d*?" << 41 << "0042-a_b_c_d__.pdf";
    QTest::newRow("empty") << "" << 2 << "0003.pdf";
    QTest::newRow("hidden") << "..x" << 0 << "0001-x.pdf";
    QTest::newRow("control") << "a\nb" << 0 << "0001-a_b.pdf";
    QTest::newRow("long") << QString(300, 'n') << 0 << "0001-" + QString(180, 'n') + ".pdf";
}

void TestSheet::fileNames()
{
    QFETCH(QString, name);
    QFETCH(int, k);
    QFETCH(QString, file);
    QCOMPARE(sheetFileName(k, name), file);
}

void TestSheet::readBackFromThePdf_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("percentages");
    QTest::addColumn<QStringList>("priorities"); // none: no list given
    const QStringList typical{"60", "55", "70", "48", "62", "51", "45", "40", "38", "52"};
    const QStringList extreme{"-33.3", "1e6", "-33.3", "100", "0", "-5", "12.5", "100", "99.99", "-33.3"};
    const QString longName = QStringLiteral("Seyed Abdolhossein ").repeated(6).left(100);
    // The ten longest choices, every one a line of its own.
    QStringList longest = choiceNames();
    std::stable_sort(longest.begin(), longest.end(),
                     [](const QString &a, const QString &b) { return a.size() > b.size(); });
    longest = longest.mid(0, 10);
    QTest::newRow("typical") << "Sara" << typical << QStringList();
    QTest::newRow("100-character name") << longName << typical << QStringList();
    QTest::newRow("negative and huge") << "Reza" << extreme << QStringList();
    QTest::newRow("empty cells") << "Nima" << QStringList{"NULL", "NULL", "50",   "NULL", "NULL",
                                                          "NULL", "90",   "NULL", "NULL", "NULL"}
                                 << QStringList();
    QTest::newRow("100-character name, negative and huge, ten priorities") << longName << extreme << longest;
    QTest::newRow("typical, ten priorities") << "Sara" << typical << longest;
    QTest::newRow("beyond the best reference: a negative likely rank")
        << "Kian" << QStringList(10, QStringLiteral("81")) << QStringList();
}

void TestSheet::readBackFromThePdf()
{
    QFETCH(QString, name);
    QFETCH(QStringList, percentages);
    QFETCH(QStringList, priorities);
    seed({{name, percentages}});
    Workspace ws(m_db);
    QVERIFY(!ws.load());
    ws.run(QStringLiteral("1.00"));
    QString error;
    std::optional<GivenList> list;
    if (!priorities.isEmpty())
        list = GivenList{priorities, builtInChoices()};
    const std::optional<CounselSheet> sheet = sheetFor(ws, 0, list, &error);
    QVERIFY2(sheet, qPrintable(error));
    const QString pdf = m_dir->filePath(QStringLiteral("sheet.pdf"));
    QCOMPARE(saveSheetPdf(*sheet, pdf), QString());
    QCOMPARE(testbank::pdfPageObjects(pdf), 1);

    const QString text = testbank::pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QVERIFY2(text.contains(name), "the whole name, not cut short");
    QVERIFY(sheet->result.rank);
    QStringList numbers{QString::number(*sheet->result.rank)};
    if (sheet->result.range)
        numbers << QString::number(sheet->result.range->best) << QString::number(sheet->result.range->worst);
    else
        QVERIFY(percentages.contains("1e6"));
    QCOMPARE(sheet->gains.size(), size_t(10));
    for (const SubjectGain &g : sheet->gains)
        numbers << (g.rank ? QString::number(*g.rank) : QString());
    for (const QString &n : percentages)
        numbers << (n == "NULL" ? QString() : textForBox(n.toDouble()));
    if (QTest::currentDataTag() == QLatin1String("beyond the best reference: a negative likely rank"))
        QVERIFY(sheet->result.range && sheet->result.range->best < 0);
    for (const QString &n : numbers) {
        QVERIFY2(
            text.contains(QRegularExpression("(^|[^\\d.])" + QRegularExpression::escape(n) + "($|[^\\d.])")),
            qPrintable(n + " missing from:\n" + text));
        // Its minus on the left of the digits, also inside a Persian sentence.
        if (n.startsWith('-'))
            QVERIFY2(!text.contains(
                         QRegularExpression("(^|[^\\d.])" + QRegularExpression::escape(n.mid(1)) + "-")),
                     qPrintable(n + " reads backwards in:\n" + text));
    }
    QVERIFY(text.contains(QString::fromUtf16(u"کارنامه مشاوره داوطلب")));
    // Every choice in full, a given list's whole.
    for (const SheetChoice &c : sheet->choices)
        QVERIFY2(text.contains(c.choice), qPrintable(c.choice + " missing from:\n" + text));
    QCOMPARE(sheet->choices.size(), priorities.isEmpty() ? sheet->choices.size() : size_t(10));
}

void TestSheet::onePagePerApplicantOfARandomTable()
{
    QRandomGenerator random(7);
    QList<std::pair<QString, QStringList>> applicants;
    const QStringList names = {QString::fromUtf16(u"مريم کاظمي"), "a/b", "", QString(100, QChar(0x0634)),
                               "x y"};
    for (int i = 0; i < 25; ++i) {
        QStringList p;
        for (int s = 0; s < 10; ++s)
            p << (random.bounded(8) == 0 ? "1e6" : QString::number(random.bounded(-333, 1000) / 10.0));
        applicants.append({names.at(i % names.size()) + (i % 2 ? QString::number(i) : QString()), p});
    }
    seed(applicants);
    Workspace ws(m_db);
    QVERIFY(!ws.load());
    ws.run(QStringLiteral("1.05"));
    const QString folder = m_dir->filePath(QStringLiteral("sheets"));
    qsizetype written = 0;
    QCOMPARE(saveAllSheets(ws, folder, {}, &written), QString());
    QCOMPARE(written, qsizetype(applicants.size()));
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), applicants.size());
    for (const QString &f : files)
        QVERIFY2(testbank::pdfPageObjects(QDir(folder).filePath(f)) == 1, qPrintable(f));

    // Painted on several threads from shapes kept between sheets, each file
    // reads as its applicant's sheet made alone.
    for (qsizetype k = 0; k < applicants.size(); ++k) {
        QString error;
        const std::optional<CounselSheet> sheet = sheetFor(ws, k, std::nullopt, &error);
        QVERIFY2(sheet, qPrintable(error));
        const QString alone = m_dir->filePath(QStringLiteral("alone.pdf"));
        QCOMPARE(saveSheetPdf(*sheet, alone), QString());
        const QString expected = testbank::pdfText(alone);
        if (expected.isEmpty())
            QSKIP("pdftotext is not installed");
        QCOMPARE(testbank::pdfText(QDir(folder).filePath(sheetFileName(k, sheet->name))), expected);
    }

    // Stopped after the third, it has written the first three and no more.
    const QString stopped = m_dir->filePath(QStringLiteral("stopped"));
    QCOMPARE(saveAllSheets(ws, stopped, [](qsizetype done, qsizetype) { return done < 3; }, &written),
             QString());
    QCOMPARE(written, qsizetype(3));
    QCOMPARE(QDir(stopped).entryList(QDir::Files, QDir::Name),
             (QStringList{sheetFileName(0, applicants[0].first), sheetFileName(1, applicants[1].first),
                          sheetFileName(2, applicants[2].first)}));
}

void TestSheet::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("output");
    QTest::newRow("one sheet") << QStringList{"--sheet", "{dir}/s.pdf", "--applicant", "Ali"} << 0 << ""
                               << "s.pdf";
    QTest::newRow("with choices and factor")
        << QStringList{"--sheet",  "{dir}/s.pdf", "--applicant",
                       "Ali",      "--choices",   QString::fromUtf16(u"شيراز|بناب"),
                       "--factor", "1.1"}
        << 0 << ""
        << "s.pdf";
    QTest::newRow("a choice not in this year's table")
        << QStringList{"--sheet", "{dir}/s.pdf", "--applicant", "Ali", "--choices", "Nowhere U"} << 2
        << "Nowhere U"
        << "!s.pdf";
    QTest::newRow("unknown applicant")
        << QStringList{"--sheet", "{dir}/s.pdf", "--applicant", "Nobody"} << 2 << "Nobody"
        << "!s.pdf";
    QTest::newRow("no applicant") << QStringList{"--sheet", "{dir}/s.pdf"} << 2 << "--applicant"
                                  << "!s.pdf";
    QTest::newRow("applicant without sheet")
        << QStringList{"--report", "{dir}/s.pdf", "--applicant", "Ali"} << 2 << "--applicant"
        << "!s.pdf";
    QTest::newRow("all sheets") << QStringList{"--sheets", "{dir}/out"} << 0 << "2"
                                << "out/0002-Mina.pdf";
}

void TestSheet::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(QString, output);
    seed({{"Ali", {"60", "55", "70", "48", "62", "51", "45", "40", "38", "52"}},
          {"Mina", {"20", "30", "10", "25", "15", "22", "18", "12", "9", "30"}}});
    for (QString &a : args)
        a.replace("{dir}", m_dir->path());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM"); // a command needs no display
    env.insert("XDG_DATA_HOME", m_dir->filePath("data"));
    p.setProcessEnvironment(env);
    p.start(PLACEVA_EXE, QStringList{"--database", m_db} + args);
    QVERIFY(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), status);
    QVERIFY2(err.contains(says), qPrintable(err));
    if (output.startsWith('!'))
        QVERIFY(!QFile::exists(m_dir->filePath(output.mid(1))));
    else
        QCOMPARE(testbank::pdfPageObjects(m_dir->filePath(output)), 1);
}

void TestSheet::fromTheFileMenuAndTheChoiceList()
{
    seed({{"Ali", {"60", "55", "70", "48", "62", "51", "45", "40", "38", "52"}}});
    tk::FormSlot<MainWindow> slot;
    MainWindow *main = slot.ensure(m_dir->path());
    QVERIFY(main);
    main->showModeless();
    const QString pdf = m_dir->filePath(QStringLiteral("menu.pdf"));
    setFileChooser([&](QWidget *, const FileChoice &c) {
        return c.suggestedName == QLatin1String("0001-Ali.pdf") ? pdf : QString();
    });
    auto *action = main->findChild<QAction *>(QStringLiteral("counselSheet"));
    QVERIFY(action);
    action->trigger(); // nobody selected yet
    QVERIFY(!QFile::exists(pdf));
    main->List4->setListIndex(1); // the separator under Ali belongs to Ali
    action->trigger();
    QCOMPARE(testbank::pdfPageObjects(pdf), 1);

    QFile::remove(pdf);
    tk::FormSlot<ChoiceList> listSlot;
    ChoiceList &list = *listSlot.ensure(&main->workspace());
    list.Combo1->setCurrentIndex(0);
    list.Combo2[0]->setCurrentIndex(4);
    list.sheetButton->click();
    QVERIFY2(testbank::pdfPageObjects(pdf) == 1, qPrintable(m_messages.join('\n')));
    const QString text = testbank::pdfText(pdf);
    if (!text.isEmpty())
        QVERIFY(text.contains(list.Combo2[0]->text()));
    delete listSlot.get();
    delete slot.get();
}

void TestSheet::seedAliWithChoicesAround(Workspace &ws)
{
    seed({{"Ali", {"60", "55", "70", "48", "62", "51", "45", "40", "38", "52"}}});
    QVERIFY(!ws.load());
    ws.run(QStringLiteral("1.00"));
    const ApplicantResult &a = ws.result().applicants.value(0);
    QVERIFY(a.rank && a.range && a.range->best < *a.rank && *a.rank < a.range->worst);
    QString error;
    QVERIFY2(
        testbank::exec(m_db,
                       {"CREATE TABLE Entekhab (Name TEXT, Hadd INTEGER)",
                        QStringLiteral("INSERT INTO Entekhab VALUES ('Wider', %1), ('Near', %2), ('Far', %3),"
                                       " ('NoLimit', NULL), ('Reach', %4), ('Wide', %5)")
                            .arg(a.range->worst + 2000)
                            .arg(*a.rank)
                            .arg(a.range->best / 2)
                            .arg(a.range->best)
                            .arg(a.range->worst + 1000)},
                       &error),
        qPrintable(error));
}

void TestSheet::fromAListsContextMenu_data()
{
    QTest::addColumn<int>("list");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("file"); // empty: no menu, no sheet
    QTest::newRow("List1 name row of Mina") << 0 << 2 << "0002-Mina.pdf";
    QTest::newRow("List4 separator under Ali") << 2 << 1 << "0001-Ali.pdf";
    QTest::newRow("List5 below the rows") << 3 << 40 << "";
}

void TestSheet::fromAListsContextMenu()
{
    QFETCH(int, list);
    QFETCH(int, row);
    QFETCH(QString, file);
    seed({{"Ali", {"60", "55", "70", "48", "62", "51", "45", "40", "38", "52"}},
          {"Mina", {"20", "30", "10", "25", "15", "22", "18", "12", "9", "30"}}});
    tk::FormSlot<MainWindow> slot;
    MainWindow *main = slot.ensure(m_dir->path());
    QVERIFY(main);
    main->showModeless();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QStringList asked;
    setFileChooser([&](QWidget *, const FileChoice &c) {
        asked << c.suggestedName;
        return m_dir->filePath(c.suggestedName);
    });
    tk::ListBox *box = QList<tk::ListBox *>{main->List1, main->List2, main->List4, main->List5}.at(list);
    const QModelIndex index = box->model()->index(row, 0);
    const QPoint at =
        index.isValid() ? box->visualRect(index).center() : QPoint(5, box->viewport()->height() - 2);
    // The menu runs its own loop: the user picks its item once it shows.
    QStringList items;
    QTimer pick;
    pick.setInterval(20);
    connect(&pick, &QTimer::timeout, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        pick.stop();
        for (QAction *a : menu->actions())
            items << a->text();
        menu->setActiveAction(menu->actions().value(0));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    pick.start();
    emit box->customContextMenuRequested(at);
    pick.stop();
    if (file.isEmpty()) {
        QVERIFY(items.isEmpty() && asked.isEmpty());
    } else {
        QCOMPARE(items, QStringList{sheetMenuCaption()});
        QCOMPARE(asked, QStringList{file});
        QCOMPARE(testbank::pdfPageObjects(m_dir->filePath(file)), 1);
        // The row the menu was for is selected in every list.
        for (const tk::ListBox *l : {main->List1, main->List2, main->List4, main->List5})
            QCOMPARE(l->listIndex(), row);
    }
    delete slot.get();
}

void TestSheet::withoutAListThisYearsChoiceTable_data()
{
    QTest::addColumn<QString>("table"); // "around": made around the estimate
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QString>("says");
    QTest::newRow("this year's table, grouped, strictest first")
        << "around" << QStringList{"Wide", "Wider", "Near", "Reach"} << "";
    QTest::newRow("no table: the built-in choices") << "" << QStringList() << "";
    QTest::newRow("table without Hadd") << "CREATE TABLE Entekhab (Name TEXT)" << QStringList() << "Hadd";
    QTest::newRow("empty table") << "CREATE TABLE Entekhab (Name TEXT, Hadd INTEGER)" << QStringList() << "";
}

void TestSheet::withoutAListThisYearsChoiceTable()
{
    QFETCH(QString, table);
    QFETCH(QStringList, choices);
    QFETCH(QString, says);
    Workspace ws(m_db);
    seedAliWithChoicesAround(ws);
    if (table != QLatin1String("around")) {
        QString error;
        QVERIFY2(testbank::exec(m_db, {"DROP TABLE Entekhab"}, &error), qPrintable(error));
        if (!table.isEmpty())
            QVERIFY2(testbank::exec(m_db, {table}, &error), qPrintable(error));
    }
    QString error;
    const std::optional<CounselSheet> sheet = sheetFor(ws, 0, std::nullopt, &error);
    QVERIFY2(sheet, qPrintable(error));
    if (table.isEmpty())
        QCOMPARE(choiceNamesOf(sheet->choices), choiceNamesOf(sheetChoices(sheet->result, std::nullopt)));
    else
        QCOMPARE(choiceNamesOf(sheet->choices), choices);
    QCOMPARE(bool(sheet->choiceTableError), !says.isEmpty());

    const QString pdf = m_dir->filePath(QStringLiteral("sheet.pdf"));
    QCOMPARE(saveSheetPdf(*sheet, pdf), QString());
    QCOMPARE(testbank::pdfPageObjects(pdf), 1);
    const QString text = testbank::pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QVERIFY(!text.contains("Far") && !text.contains("NoLimit"));
    for (const QString &c : choices)
        QVERIFY2(text.contains(c), qPrintable(text));
    if (!says.isEmpty())
        QVERIFY2(text.contains(says), qPrintable(text));
}

// The sheet beside the choice list window, both given the same list.
void TestSheet::givenListAsTheChoiceListShowsIt_data()
{
    QTest::addColumn<QStringList>("priorities");
    QTest::newRow("Near Wide") << QStringList{"Near", "Wide"};
    QTest::newRow("Wide Near: second dead") << QStringList{"Wide", "Near"};
    QTest::newRow("Far NoLimit Reach: no safety net") << QStringList{"Far", "NoLimit", "Reach"};
    QTest::newRow("empty then Wider") << QStringList{"", "Wider"};
}

void TestSheet::givenListAsTheChoiceListShowsIt()
{
    QFETCH(QStringList, priorities);
    Workspace ws(m_db);
    seedAliWithChoicesAround(ws);
    const ChoiceTableReading table = readChoiceTable(ws.databaseFile());
    tk::FormSlot<ChoiceList> slot;
    ChoiceList &form = *slot.ensure(&ws);
    form.offerChoices(table.choices);
    form.Combo1->setCurrentIndex(0);
    emit form.Combo1->activated(0);
    for (int i = 0; i < priorities.size(); ++i)
        form.Combo2[size_t(i)]->setCurrentIndex(int(form.Combo2[size_t(i)]->findText(priorities.at(i))));

    QString error;
    const std::optional<CounselSheet> sheet = sheetFor(ws, 0, GivenList{priorities, table.choices}, &error);
    QVERIFY2(sheet, qPrintable(error));
    QCOMPARE(sheet->choices.size(), size_t(10));
    QStringList shown; // every caption the window shows beside the priorities
    for (size_t i = 0; i < 10; ++i) {
        const SheetChoice &c = sheet->choices[i];
        QCOMPARE(c.choice, form.Combo2[i]->text());
        QCOMPARE(c.verdict ? verdictText(*c.verdict) : QString(), form.verdicts[i]->caption());
        QCOMPARE(c.chance ? chanceText(*c.chance) : QString(), form.chances[i]->caption());
        QCOMPARE(c.dead ? deadText() : QString(), form.deadMarks[i]->caption());
        shown << form.verdicts[i]->caption() << form.deadMarks[i]->caption();
    }
    QVERIFY(sheet->listOutcome);
    QCOMPARE(chanceText(sheet->listOutcome->notAdmitted), form.notAdmittedChance->caption());
    QCOMPARE(sheet->listOutcome->noSafetyNet ? noSafetyNetText() : QString(), form.noSafetyNet->caption());
    shown << form.noSafetyNet->caption();

    const QString pdf = m_dir->filePath(QStringLiteral("sheet.pdf"));
    QCOMPARE(saveSheetPdf(*sheet, pdf), QString());
    QCOMPARE(testbank::pdfPageObjects(pdf), 1);
    const QString text = testbank::pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    shown.removeAll(QString());
    for (const QString &caption : shown)
        QVERIFY2(text.contains(caption), qPrintable(caption + " missing from:\n" + text));
    // The chances as many as the window shows, beside the column's header and landing nowhere.
    const auto chances = std::count_if(sheet->choices.cbegin(), sheet->choices.cend(),
                                       [](const SheetChoice &c) { return c.chance.has_value(); });
    QCOMPARE(text.count(QRegularExpression(QString::fromUtf16(u"شانس(?!ي)"))), chances + 2);
    delete slot.get();
}

QTEST_MAIN(TestSheet)
#include "tst_sheet.moc"
