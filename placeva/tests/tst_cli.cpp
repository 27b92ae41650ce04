// Placeva's command line driven as a script would drive it, and where the
// program keeps its data.
#include "bidi.h"
#include "core/choices.h"
#include "core/datalocation.h"
#include "gui/filemenu.h"
#include "gui/mainwindow.h"
#include "testsupport/testbank.h"

#include <QCryptographicHash>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace placeva;

namespace {

const char kApplicantsCsv[] = "Name,Dini,Adabiat,Zaban,Riazi,ZabanT,Madar,barname,system,zakhire,sakhteman\n"
                              "Sara,70,60,50,40,30,20,10,80,90,65\n";
const char kRefusedCsv[] = "Name,Dini,Adabiat,Zaban,Riazi,ZabanT,Madar,barname,system,zakhire,sakhteman\n"
                           "Sara,70,60,50,40,30,20,10,80,90,65\n"
                           "Reza,abc,60,50,40,30,20,10,80,90,65\n";

// Header rows as users misspell or mix them up.
const char kMisspeltCsv[] = "Name,Dyni,Adabiat,Zaban,Riazi,ZabanT,Madar,barname,system,zakhire,sakhteman\n"
                            "Sara,70,60,50,40,30,20,10,80,90,65\n";
const char kReferencesCsv[] = "Avg,Rotbeh\n70,100\n";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void commandLine_data();
    void commandLine();
    void exportEqualsTheMenus_data();
    void exportEqualsTheMenus();
    void whereTheDataIs_data();
    void whereTheDataIs();
    void openAnotherDatabase();
    void outputOnTheDatabase_data();
    void outputOnTheDatabase();
    void menuOutputOnTheDatabase_data();
    void menuOutputOnTheDatabase();
    void duplicatesCounted();
    void choiceListFile();

private:
    // Runs placeva with {db}, {dir} in the arguments replaced; stdout and
    // stderr are kept in m_out and m_err.
    int placeva(QStringList args);
    void seed() // three applicants, two reference results
    {
        QString error;
        QVERIFY2(
            testbank::exec(m_db,
                           testbank::standardTables()
                               + QStringList{"INSERT INTO Davtalab (Name, Avg) VALUES ('Ali', 62.5), "
                                             "('Mina', 48.25), ('=cmd', 30)",
                                             "INSERT INTO Formol (Avg, Rotbeh) VALUES (70, 100), (40, 5000)"},
                           &error),
            qPrintable(error));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
    QString m_platform; // QT_QPA_PLATFORM for the program; empty: none
    QString m_out, m_err;
};

void TestCli::init()
{
    m_dir.reset(new QTemporaryDir);
    m_db = m_dir->filePath("Bank.db");
    seed();
    write(m_dir->filePath("ok.csv"), kApplicantsCsv);
    write(m_dir->filePath("refused.csv"), kRefusedCsv);
    write(m_dir->filePath("junk.db"), "not a database at all\n");
    write(m_dir->filePath("header.csv"), "Name,Dini\n\n");
    QVERIFY(testbank::exec(m_dir->filePath("no-dini.db"),
                           {"CREATE TABLE Davtalab (Name TEXT, Adabiat REAL, Avg REAL)",
                            "CREATE TABLE Formol (Avg REAL, Rotbeh REAL)"}));
    write(m_dir->filePath("misspelt.csv"), kMisspeltCsv);
    write(m_dir->filePath("references.csv"), kReferencesCsv);
    write(m_dir->filePath("long-cell.csv"), "Name,Dini\nSara," + QByteArray(100000, '9') + "x\n");
    write(m_dir->filePath("choices.csv"), "Name,Hadd\nA,10\nB,\n");
    write(m_dir->filePath("bad-choices.csv"), "Name,Hadd\nA,10\nB,x\n");
}

int TestCli::placeva(QStringList args)
{
    for (QString &a : args)
        a.replace("{db}", m_db).replace("{dir}", m_dir->path());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM"); // the program must not need it for a command
    if (!m_platform.isEmpty()) {
        env.insert("QT_QPA_PLATFORM", m_platform);
        env.insert("QT_DEBUG_PLUGINS", "1"); // names every plugin folder looked into
    }
    env.insert("XDG_DATA_HOME", m_dir->filePath("data"));
    env.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_dir->path()); // for relative spellings
    p.start(PLACEVA_EXE, args);
    if (!p.waitForFinished(120000))
        return -1;
    m_out = QString::fromUtf8(p.readAllStandardOutput());
    m_err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void TestCli::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");   // on stdout (help, version) or stderr
    QTest::addColumn<QString>("output"); // a file that must then exist, or not ("!name")
    QTest::addColumn<int>("applicants"); // rows of Davtalab afterwards

    QTest::newRow("--help") << QStringList{"--help"} << 0 << QString("--export-results OUT.csv") << "" << 3;
    QTest::newRow("--help in Persian")
        << QStringList{"--help"} << 0 << QStringLiteral(u"استفاده: placeva") << "" << 3;
    QTest::newRow("--version") << QStringList{"--version"} << 0 << QString("placeva 1.") << "" << 3;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QStringLiteral(u"«\u2068\u200E--bogus\u2069» شناخته نشد")
                                    << "" << 3;
    QTest::newRow("stray word") << QStringList{"report.pdf"} << 2 << QStringLiteral(u"شناخته نشد") << "" << 3;
    QTest::newRow("option without its value") << QStringList{"--database", "{db}", "--report"} << 2
                                              << QStringLiteral(u"«\u2068\u200E--report\u2069» يک مقدار مي خواهد") << "" << 3;
    QTest::newRow("two commands") << QStringList{"--database",  "{db}",     "--export-applicants",
                                                 "{dir}/a.csv", "--report", "{dir}/r.pdf"}
                                  << 2 << QStringLiteral(u"تنها يک فرمان") << "!a.csv" << 3;
    QTest::newRow("--factor with an import")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/ok.csv", "--factor", "2"} << 2
        << QStringLiteral(u"«\u2068\u200E--factor\u2069» تنها همراه با «\u2068\u200E--export-results\u2069»") << "" << 3;
    QTest::newRow("--skip-refused with an export")
        << QStringList{"--database", "{db}", "--export-applicants", "{dir}/a.csv", "--skip-refused"} << 2
        << QString("--skip-refused") << "!a.csv" << 3;
    QTest::newRow("missing database")
        << QStringList{"--database", "{dir}/none.db", "--export-applicants", "{dir}/a.csv"} << 1
        << QStringLiteral(u"none.db\u2069» پيدا نشد") /* the path isolated */ << "!a.csv" << 3;
    QTest::newRow("not a database")
        << QStringList{"--database", "{dir}/junk.db", "--export-results", "{dir}/r.csv"} << 1
        << QStringLiteral(u"junk.db\u2069» يک پايگاه داده \u2068SQLite\u2069 نيست") << "!r.csv" << 3;
    QTest::newRow("export applicants")
        << QStringList{"--database", "{db}", "--export-applicants", "{dir}/a.csv"} << 0
        << QStringLiteral(u"3 رديف جدول %1").arg(common::isolate("Davtalab")) << "a.csv" << 3;
    QTest::newRow("export to a folder") << QStringList{"--database", "{db}", "--export-references", "{dir}"}
                                        << 1 << QStringLiteral(u"يک پوشه است") << "" << 3;
    QTest::newRow("report") << QStringList{"--database", "{db}", "--report", "{dir}/r.pdf", "--factor", "1.1"}
                            << 0 << QStringLiteral(u"گزارش در 1 صفحه") << "r.pdf" << 3;
    QTest::newRow("import") << QStringList{"--database", "{db}", "--import-applicants", "{dir}/ok.csv"} << 0
                            << QStringLiteral(u"1 رديف به جدول %1 افزوده شد").arg(common::isolate("Davtalab")) << "" << 4;
    QTest::newRow("refused row") << QStringList{"--database", "{db}", "--import-applicants",
                                                "{dir}/refused.csv"}
                                 << 1 << QStringLiteral(u"سطر 3، ستون «%1»").arg(common::isolate("Dini")) << "" << 3;
    QTest::newRow("refused row skipped")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/refused.csv", "--skip-refused"}
        << 0 << QStringLiteral(u"1 رديف به جدول %1 افزوده شد").arg(common::isolate("Davtalab")) << "" << 4;
    QTest::newRow("skipped rows counted")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/refused.csv", "--skip-refused"}
        << 0 << QStringLiteral(u"1 رديف ردشده کنار گذاشته شد") << "" << 4;
    QTest::newRow("--database twice")
        << QStringList{"--database",          "{db}",       "--database", "{dir}/junk.db",
                       "--export-applicants", "{dir}/a.csv"}
        << 2 << QStringLiteral(u"«\u2068\u200E--database\u2069» دو بار") << "!a.csv" << 3;
    QTest::newRow("--factor not a number")
        << QStringList{"--database", "{db}", "--export-results", "{dir}/r.csv", "--factor", "0x10"} << 2
        << QStringLiteral(u"«\u2068\u200E0x10\u2069» پذيرفته نيست: عددي بزرگتر از 0 و حداکثر 1000") << "!r.csv" << 3;
    QTest::newRow("--factor out of range")
        << QStringList{"--database", "{db}", "--report", "{dir}/r.pdf", "--factor", "1e-400"} << 2
        << QStringLiteral(u"«\u2068\u200E1e-400\u2069» پذيرفته نيست") << "!r.pdf" << 3;
    QTest::newRow("--factor in Persian digits")
        << QStringList{"--database", "{db}", "--export-results", "{dir}/r.csv", "--factor", u"۱٫۵"_qs} << 0
        << QStringLiteral(u"نتيجه محاسبه 3 داوطلب") << "r.csv" << 3;
    QTest::newRow("--skip-duplicates with an export")
        << QStringList{"--database", "{db}", "--export-results", "{dir}/r.csv", "--skip-duplicates"} << 2
        << QString("--skip-duplicates") << "!r.csv" << 3;
    QTest::newRow("unknown column named")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/misspelt.csv"} << 0
        << QStringLiteral(u"ستونهاي ناشناخته (ناديده گرفته مي شوند): «%1»").arg(common::isolate("Dyni")) << "" << 4;
    QTest::newRow("missing field named")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/misspelt.csv"} << 0
        << QStringLiteral(u"فيلدهاي بي ستون (خالي ذخيره مي شوند): Dini") << "" << 4;
    QTest::newRow("references as applicants")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/references.csv"} << 1
        << QStringLiteral(u"اين پرونده داوطلبان نيست") << "" << 3;
    QTest::newRow("applicants as references")
        << QStringList{"--database", "{db}", "--import-references", "{dir}/header.csv"} << 1
        << QStringLiteral(u"اين پرونده نتايج مرجع نيست") << "" << 3;
    QTest::newRow("header without rows")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/header.csv"} << 1
        << QStringLiteral(u"هيچ رديفي در پرونده نيست") << "" << 3;
    QTest::newRow("a long cell cut") << QStringList{"--database", "{db}", "--import-applicants",
                                                    "{dir}/long-cell.csv"}
                                     << 1 << QString(59, '9') + QChar(0x2026) << "" << 3;
    QTest::newRow("-") << QStringList{"--database", "{db}", "--export-applicants", "-"} << 0
                       << QString("Mina,") << "!-" << 3;
    QTest::newRow("/dev/stdout") << QStringList{"--database", "{db}", "--export-references", "/dev/stdout"}
                                 << 0 << QString("5000") << "" << 3;
    QTest::newRow("disk full") << QStringList{"--database", "{db}", "--export-results", "/dev/full"} << 1
                               << QStringLiteral(u"جاي خالي ديسک کافي نيست") << "" << 3;
    QTest::newRow("folder not there") << QStringList{"--database", "{db}", "--report", "{dir}/none/r.pdf"}
                                      << 1 << QStringLiteral(u"چنين پرونده يا پوشه اي پيدا نشد") << "" << 3;
    QTest::newRow("name too long") << QStringList{"--database", "{db}", "--export-applicants",
                                                  "{dir}/" + QString(300, 'a')}
                                   << 1 << QStringLiteral(u"نام آن بيش از اندازه بلند است") << "" << 3;
    QTest::newRow("export of a table without a field")
        << QStringList{"--database", "{dir}/no-dini.db", "--export-applicants", "{dir}/a.csv"} << 1
        << QStringLiteral(u"ستون «%1»").arg(common::isolate("Dini")) << "!a.csv" << 3;
    QTest::newRow("import from a folder")
        << QStringList{"--database", "{db}", "--import-references", "{dir}"} << 1
        << QStringLiteral(u"خوانده نشد: يک پرونده معمولي نيست") << "" << 3;
    QTest::newRow("import name too long")
        << QStringList{"--database", "{db}", "--import-applicants", "{dir}/" + QString(300, 'b')} << 1
        << QStringLiteral(u"خوانده نشد: نام آن بيش از اندازه بلند است") << "" << 3;
    QTest::newRow("missing import file")
        << QStringList{"--database", "{db}", "--import-references", "{dir}/none.csv"} << 1
        << QString("none.csv") << "" << 3;
    const QStringList choiceList{"--database", "{db}", "--choice-list", "{dir}/list.csv"};
    QTest::newRow("choice list") << choiceList + QStringList{"--applicant", "Ali", "--choices", ""} << 0 << ""
                                 << "list.csv" << 3;
    QTest::newRow("choice list, unknown applicant")
        << choiceList + QStringList{"--applicant", "Nobody", "--choices", ""} << 2
        << QStringLiteral(u"داوطلبي به نام «%1» در جدول %2 نيست.")
               .arg(common::isolate("Nobody"), common::isolate("Davtalab"))
        << "!list.csv" << 3;
    QTest::newRow("choice list, unknown choice")
        << choiceList + QStringList{"--applicant", "Ali", "--choices", "|X"} << 2 << QStringLiteral(u"«\u2068\u200EX\u2069»") << "!list.csv"
        << 3;
    QTest::newRow("choice list, eleven priorities")
        << choiceList + QStringList{"--applicant", "Ali", "--choices", QString(10, '|')} << 2 << QString("11")
        << "!list.csv" << 3;
    QTest::newRow("choice list without --choices")
        << choiceList + QStringList{"--applicant", "Ali"} << 2 << QString("--choices") << "!list.csv" << 3;
    QTest::newRow("--applicant without --choice-list")
        << QStringList{"--database", "{db}", "--export-results", "{dir}/r.csv", "--applicant", "Ali"} << 2
        << QString("--applicant") << "!r.csv" << 3;
    QTest::newRow("import choices")
        << QStringList{"--database", "{db}", "--import-choices", "{dir}/choices.csv"} << 0
        << QStringLiteral(u"27 رديف رفت و 2 رديف آمد") << "" << 3;
    QTest::newRow("import choices, a refused row")
        << QStringList{"--database", "{db}", "--import-choices", "{dir}/bad-choices.csv"} << 1
        << QStringLiteral(u"سطر 3، ستون «%1»").arg(common::isolate("Hadd")) << "" << 3;
    QTest::newRow("--skip-refused with --import-choices")
        << QStringList{"--database", "{db}", "--import-choices", "{dir}/bad-choices.csv", "--skip-refused"} << 2
        << QString("--skip-refused") << "" << 3;
    QTest::newRow("export choices") << QStringList{"--database", "{db}", "--export-choices", "{dir}/e.csv"} << 0
                                    << QStringLiteral(u"27 رديف جدول %1").arg(common::isolate("Entekhab")) << "e.csv" << 3;
}

// Ali ranks 1325 and, with two reference results, has no likely range: the
// estimate is the only possible rank.
void TestCli::choiceListFile()
{
    const QString choices = choiceNames().at(18) + u"|"_qs + choiceNames().at(17) + u"||"_qs + choiceNames().at(26);
    QCOMPARE(placeva({"--database", "{db}", "--choice-list", "{dir}/list.csv", "--applicant", "Ali", "--choices",
                      choices}),
             0);
    const QString want = u"اولويت,انتخاب,حد قبولي,پيش بيني,شانس قبولي (درصد),توضيح\r\n"
                         u"1,"_qs + choiceNames().at(18) + u",1600,قبولي محتمل,100,\r\n"
                         u"2,"_qs + choiceNames().at(17) + u",800,قبول نمي شود,0,بي اثر\r\n"
                         u"3,,,,,\r\n"
                         u"4,"_qs + choiceNames().at(26) + u",13000,قبولي محتمل,0,\r\n"_qs
        + u"5,,,,,\r\n6,,,,,\r\n7,,,,,\r\n8,,,,,\r\n9,,,,,\r\n10,,,,,\r\n"
          u",عدم قبولي,,,0,\r\n"_qs;
    QCOMPARE(readAll(m_dir->filePath("list.csv")), "\xEF\xBB\xBF" + want.toUtf8());
}

void TestCli::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(QString, output);
    QFETCH(int, applicants);

    QCOMPARE(placeva(args), status);
    QVERIFY2((m_out + m_err).contains(says), qPrintable((m_out + m_err).left(2000)));
    QVERIFY2(m_err.size() < 4000, "a message quotes a cell whole");
    if (status != 0)
        QVERIFY2(m_out.isEmpty(), "errors go to standard error");
    if (output.startsWith('!'))
        QVERIFY(!QFile::exists(m_dir->filePath(output.mid(1))));
    else if (!output.isEmpty())
        QVERIFY(QFileInfo(m_dir->filePath(output)).size() > 0);
    int rows = -1;
    testbank::run(m_db, [&](QSqlQuery &q) {
        return q.exec("SELECT COUNT(*) FROM Davtalab") && q.next() && ((rows = q.value(0).toInt()), true);
    });
    QCOMPARE(rows, applicants);
}

void TestCli::exportEqualsTheMenus_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<QString>("platform"); // a window system the program must not load
    QTest::newRow("--export-results") << "--export-results"
                                      << ""
                                      << "";
    // Exports run without any window system: a platform that does not exist
    // would end a program that tried to load one.
    QTest::newRow("--export-results, no such platform") << "--export-results"
                                                        << "1.3"
                                                        << "no-such-platform";
    QTest::newRow("--export-applicants, no such platform") << "--export-applicants"
                                                           << ""
                                                           << "no-such-platform";
    QTest::newRow("--export-results --factor 1.3") << "--export-results"
                                                   << "1.3"
                                                   << "";
    QTest::newRow("--export-applicants") << "--export-applicants"
                                         << ""
                                         << "";
    QTest::newRow("--export-references") << "--export-references"
                                         << ""
                                         << "";
}

void TestCli::exportEqualsTheMenus()
{
    QFETCH(QString, option);
    QFETCH(QString, factor);
    QFETCH(QString, platform);
    QStringList args{"--database", "{db}", option, "{dir}/cli.csv"};
    if (!factor.isEmpty())
        args << "--factor" << factor;
    m_platform = platform;
    const int status = placeva(args);
    m_platform.clear();
    QCOMPARE(status, 0);
    if (!platform.isEmpty())
        QVERIFY2(!m_err.contains("/platforms"), "a platform plugin was looked for");

    tk::MsgBox::setResponder([](const tk::MsgBox::Request &) { return tk::MsgBox::AnswerOk; });
    tk::FormSlot<MainWindow> slot;
    MainWindow *main = slot.ensure(m_dir->path());
    QVERIFY(main);
    if (!factor.isEmpty())
        main->Text1->setText(factor);
    main->reread();
    const QString menu = m_dir->filePath("menu.csv");
    if (option == "--export-results")
        QVERIFY(exportResultsToCsv(main->workspace(), main, menu));
    else
        QVERIFY(exportTableToCsv(
            main->workspace(), main,
            option == "--export-applicants" ? ImportTable::Applicants : ImportTable::References, menu));
    delete main;
    QCOMPARE(readAll(m_dir->filePath("cli.csv")), readAll(menu));
}

void TestCli::whereTheDataIs_data()
{
    QTest::addColumn<QString>("commandLine"); // relative to the scratch folder
    QTest::addColumn<bool>("besideProgram");  // a Bank.db beside the program
    QTest::addColumn<bool>("packaged");       // the packaged template is there
    QTest::addColumn<bool>("dataFolder");     // the user's data folder exists
    QTest::addColumn<QString>("opens");
    QTest::addColumn<bool>("notice");

    QTest::newRow("command line first") << "mine.db" << true << true << false << "mine.db" << false;
    QTest::newRow("beside the program") << "" << true << true << false << "usr/bin/Bank.db" << false;
    QTest::newRow("installed, first start") << "" << false << true << false << "data/Bank.db" << true;
    QTest::newRow("installed, later start") << "" << false << true << true << "data/Bank.db" << false;
    QTest::newRow("neither: reported missing beside the program")
        << "" << false << false << false << "usr/bin/Bank.db" << false;
}

void TestCli::whereTheDataIs()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, besideProgram);
    QFETCH(bool, packaged);
    QFETCH(bool, dataFolder);
    QFETCH(QString, opens);
    QFETCH(bool, notice);

    const QDir root(m_dir->filePath("root"));
    QVERIFY(root.mkpath("usr/bin") && root.mkpath("usr/share/placeva"));
    if (besideProgram)
        QVERIFY(QFile::copy(m_db, root.filePath("usr/bin/Bank.db")));
    if (packaged)
        QVERIFY(QFile::copy(m_db, root.filePath("usr/share/placeva/Bank.db")));
    if (dataFolder)
        QVERIFY(root.mkpath("data"));

    const DataChoice choice = chooseDatabase(commandLine.isEmpty() ? QString() : root.filePath(commandLine),
                                             root.filePath("usr/bin"), root.filePath("data"));
    QCOMPARE(choice.file, root.filePath(opens));
    QCOMPARE(!choice.notice.isEmpty(), notice);
    QVERIFY(choice.error.isEmpty());
    if (notice) {
        QVERIFY(choice.notice.contains(QDir::toNativeSeparators(choice.file)));
        QCOMPARE(readAll(choice.file), readAll(m_db)); // the template's copy
        QVERIFY(QFileInfo(choice.file).isWritable());
    }
}

void TestCli::openAnotherDatabase()
{
    QStringList messages;
    tk::MsgBox::setResponder([&](const tk::MsgBox::Request &r) {
        messages << r.text;
        return tk::MsgBox::AnswerOk;
    });
    tk::FormSlot<MainWindow> slot;
    MainWindow *main = slot.ensure(m_dir->path());
    QVERIFY(main);
    main->reread();
    // The caption names the file; the file menu's tooltip gives its whole path.
    const auto names = [main](const QString &file) {
        const QMenu *menu = main->menuBar()->findChild<QMenu *>("fileMenu");
        return main->windowTitle().endsWith(common::isolate(QFileInfo(file).fileName())) && menu
            && menu->menuAction()->toolTip() == QDir::toNativeSeparators(file);
    };
    QVERIFY(names(m_db));
    QVERIFY(main->menuBar()->findChild<QAction *>("openDatabase"));

    // A file that is not a database is refused with the start's message.
    QVERIFY(!main->openDatabase(m_dir->filePath("junk.db")));
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages.first().contains("junk.db"));
    QCOMPARE(main->List1->count(), 6);
    QVERIFY(names(m_db));

    const QString other = m_dir->filePath("other.db");
    QVERIFY(testbank::exec(other,
                           testbank::standardTables()
                               + QStringList{"INSERT INTO Davtalab (Name, Avg) VALUES ('Neda', 55)"}));
    QVERIFY(main->openDatabase(other));
    QCOMPARE(main->List1->items().value(0), QString("Neda"));
    QVERIFY(names(other));
    QCOMPARE(recentDatabases().value(0), QFileInfo(other).absoluteFilePath());
    delete main;
}

namespace {

QByteArray hashOf(const QString &path)
{
    return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256);
}

// The database's other names in the scratch folder: a link to it, a hard
// link, a folder to go through.
void spellDatabase(const QDir &dir)
{
    QVERIFY(dir.mkpath("sub"));
    QVERIFY(QFile::link(dir.filePath("Bank.db"), dir.filePath("link.db")));
    QCOMPARE(::link(QFile::encodeName(dir.filePath("Bank.db")), QFile::encodeName(dir.filePath("hard.db"))),
             0);
}

// Each spelling: the database option's value, then the output's.
void spellingRows(const QStringList &commands)
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("output");
    const std::pair<const char *, std::pair<const char *, const char *>> spellings[] = {
        {"path", {"{db}", "{db}"}},
        {"relative", {"{db}", "Bank.db"}},
        {"..", {"{db}", "sub/../Bank.db"}},
        {"link to it", {"{db}", "{dir}/link.db"}},
        {"link as the database", {"{dir}/link.db", "{db}"}},
        {"hard link", {"{db}", "hard.db"}},
        {"-journal", {"{db}", "{db}-journal"}},
        {"-wal", {"Bank.db", "sub/../Bank.db-wal"}},
    };
    for (const QString &command : commands) {
        for (const auto &[name, spelling] : spellings)
            QTest::addRow("%s %s", qPrintable(command), name)
                << command << QString(spelling.first) << QString(spelling.second);
    }
}

} // namespace

void TestCli::outputOnTheDatabase_data()
{
    spellingRows({"--export-results", "--export-applicants", "--export-references", "--report",
                  "--import-applicants"});
}

void TestCli::outputOnTheDatabase()
{
    QFETCH(QString, command);
    QFETCH(QString, database);
    QFETCH(QString, output);
    spellDatabase(QDir(m_dir->path()));
    const QByteArray before = hashOf(m_db);
    QCOMPARE(placeva({"--database", database, command, output}), 1);
    QVERIFY2(m_err.contains(QStringLiteral(u"بانک اطلاعات باز")) && m_err.contains("Bank.db"),
             qPrintable(m_err));
    QCOMPARE(hashOf(m_db), before);
    QVERIFY(!QFile::exists(m_db + "-wal"));
    QVERIFY(QFileInfo(m_dir->filePath("link.db")).isSymLink());
}

void TestCli::menuOutputOnTheDatabase_data()
{
    spellingRows(
        {"exportResults", "exportApplicants", "exportReferences", "saveReportPdf", "importApplicants"});
}

// The same through the file menu, the save dialog answered with the database.
void TestCli::menuOutputOnTheDatabase()
{
    QFETCH(QString, command);
    QFETCH(QString, database);
    QFETCH(QString, output);
    spellDatabase(QDir(m_dir->path()));
    const QByteArray before = hashOf(m_db);
    QStringList messages;
    tk::MsgBox::setResponder([&](const tk::MsgBox::Request &r) {
        messages << r.text;
        return tk::MsgBox::AnswerOk;
    });
    const auto spelt = [&](QString s) { return s.replace("{db}", m_db).replace("{dir}", m_dir->path()); };
    setFileChooser([&](QWidget *, const FileChoice &) { return spelt(output); });
    const QString was = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    {
        tk::FormSlot<MainWindow> slot;
        MainWindow *main = slot.ensure(spelt(database));
        QVERIFY(main);
        main->reread();
        messages.clear();
        QAction *action = main->findChild<QAction *>(command);
        QVERIFY(action);
        action->trigger();
        delete main;
    }
    QDir::setCurrent(was);
    setFileChooser({});
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(QStringLiteral(u"بانک اطلاعات باز")), qPrintable(messages.first()));
    QCOMPARE(hashOf(m_db), before);
}

void TestCli::duplicatesCounted()
{
    const QStringList import{"--database", "{db}", "--import-applicants", "{dir}/ok.csv"};
    QCOMPARE(placeva(import), 0);
    QVERIFY(!m_err.contains(QStringLiteral(u"همانند")));
    QCOMPARE(placeva(import), 0);
    QVERIFY2(m_err.contains(QStringLiteral(u"1 رديف همانند رديف هاي موجود است")), qPrintable(m_err));
    QCOMPARE(placeva(import + QStringList{"--skip-duplicates"}), 0);
    QVERIFY2(m_err.contains(QStringLiteral(u"0 رديف به جدول %1 افزوده شد").arg(common::isolate("Davtalab"))), qPrintable(m_err));
    int rows = -1;
    testbank::run(m_db, [&](QSqlQuery &q) {
        return q.exec("SELECT COUNT(*) FROM Davtalab") && q.next() && ((rows = q.value(0).toInt()), true);
    });
    QCOMPARE(rows, 5);
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
