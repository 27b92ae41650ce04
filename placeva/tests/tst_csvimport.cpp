#include "core/choicetable.h"
#include "core/csvexport.h"
#include "core/csvimport.h"
#include "core/datalocation.h"
#include "gui/choicelist.h"
#include "gui/csvpreview.h"
#include "gui/filemenu.h"
#include "gui/mainwindow.h"
#include "gui/passtexts.h"
#include "gui/resultsexport.h"
#include "testsupport/rawdb.h"
#include "testsupport/spoken.h"
#include "testsupport/testbank.h"
#include "numbers.h"

#include <QAction>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <csignal>
#include <limits>
#include <sys/resource.h>

using namespace placeva;

Q_DECLARE_METATYPE(placeva::ImportTable)
Q_DECLARE_METATYPE(placeva::TextEncoding)

namespace {

QString dataFile(const char *name)
{
    return QStringLiteral(CSV_TEST_DATA "/") + QLatin1String(name);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray fileHash(const QString &path)
{
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

using testbank::RawDb;

void makeBank(const QString &path)
{
    QString error;
    QVERIFY2(testbank::createStandardTables(path, &error), qPrintable(error));
}

// The file size limit of the process, so that writing past it fails as on a
// full disk; the old limit comes back when it goes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a killed process
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    bool m_ok = false;
};

QString plannedRow(const ImportPlan &plan, int row)
{
    QStringList cells;
    for (int i = 0; i < plan.fields.size(); ++i) {
        const QVariant &v = plan.rows.at(row).at(i);
        cells << plan.fields.at(i) + QLatin1Char('=') + (v.isNull() ? QStringLiteral("NULL") : v.toString());
    }
    return cells.join(QLatin1Char(' '));
}

QStringList lines(const QList<int> &numbers)
{
    QStringList out;
    for (int n : numbers)
        out << QString::number(n);
    return out;
}

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headers_data();
    void headers();
    void files_data();
    void files();
    void refusalsNameLineColumnAndReason();
    void manyRowsInFileOrder();
    void wideRecordsAndCancel_data();
    void wideRecordsAndCancel();
    void storedAsTheWindowsStore_data();
    void storedAsTheWindowsStore();
    void allOrNothing_data();
    void allOrNothing();
    void storedInGroupsAsOneByOne_data();
    void storedInGroupsAsOneByOne();
    void roundTrip_data();
    void roundTrip();
    void resultsExport();
    void exportFailures_data();
    void exportFailures();
    void storedCellsExported_data();
    void storedCellsExported();
    void exportedInParts_data();
    void exportedInParts();
    void cellsReadAsNumbers_data();
    void cellsReadAsNumbers();
    void cellsKeepALeadingByteOrderMark();
    void menuItems();
    void importFromTheMenu_data();
    void importFromTheMenu();
    void previewShowsThePlan();
    void previewConfirmsAndCancels_data();
    void previewConfirmsAndCancels();
    void previewWarnsOfMisfitsAndDuplicates();
    void choiceImport_data();
    void choiceImport();
    void choiceTableChecks_data();
    void choiceTableChecks();

private:
    MainWindow *openMain();
    QString bank() const { return m_dir->filePath(QStringLiteral("Bank.db")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    tk::FormSlot<MainWindow> m_main;
    QStringList m_messages;
};

void TestCsvImport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    makeBank(bank());
    m_messages.clear();
    tk::MsgBox::setResponder([this](const tk::MsgBox::Request &r) {
        m_messages << r.text;
        return tk::MsgBox::AnswerOk;
    });
    tk::setEndHook([] {});
}

void TestCsvImport::cleanup()
{
    delete m_main.get();
    setFileChooser({});
    setImportConfirmer({});
    QFile::setPermissions(bank(), QFile::ReadOwner | QFile::WriteOwner);
    m_dir.reset();
}

MainWindow *TestCsvImport::openMain()
{
    MainWindow *f = m_main.ensure(m_dir->path());
    if (f)
        f->showModeless();
    return f;
}

void TestCsvImport::headers_data()
{
    QTest::addColumn<ImportTable>("table");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("field");
    const auto A = ImportTable::Applicants;
    const auto R = ImportTable::References;
    QTest::newRow("field name") << A << "Dini"
                                << "Dini";
    QTest::newRow("field name in other case") << A << " SAKHTEMAN "
                                              << "sakhteman";
    QTest::newRow("caption") << A << "Andishe Eslami :"
                             << "Dini";
    QTest::newRow("caption without colon") << A << "Zakhire va Bazyabi"
                                           << "zakhire";
    QTest::newRow("caption, colon without blank") << A << "Name:"
                                                  << "Name";
    QTest::newRow("average caption") << A << "Miyangin :"
                                     << "Avg";
    QTest::newRow("reference caption for a shared field")
        << A << QString::fromUtf16(u"معارف اسلامي:") << "Dini";
    QTest::newRow("reference caption") << R << QString::fromUtf16(u"رتبه داوطلب:") << "Rotbeh";
    QTest::newRow("reference caption, Farsi yeh")
        << R << QString::fromUtf16(u"\u0631\u06cc\u0627\u0636\u06cc \u0648 \u0622\u0645\u0627\u0631:")
        << "Riazi";
    QTest::newRow("reference caption, non-joiner")
        << R << QString::fromUtf16(u"\u0628\u0631\u0646\u0627\u0645\u0647\u200c\u0633\u0627\u0632\u064a :")
        << "barname";
    QTest::newRow("rank is no applicant field") << A << "Rotbeh"
                                                << "";
    QTest::newRow("name is no reference field") << R << "Name"
                                                << "";
    QTest::newRow("system is no reference field") << R << "System Amel :"
                                                  << "";
    QTest::newRow("unknown") << A << "Comment"
                             << "";
    QTest::newRow("empty") << A << ""
                           << "";
}

void TestCsvImport::headers()
{
    QFETCH(ImportTable, table);
    QFETCH(QString, header);
    QFETCH(QString, field);
    QCOMPARE(fieldForHeader(table, header), field);
}

void TestCsvImport::files_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<ImportTable>("table");
    QTest::addColumn<QString>("error"); // a part of the message; empty when there is a plan
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("accepted");
    QTest::addColumn<int>("refused");
    QTest::addColumn<int>("blank");
    QTest::addColumn<QStringList>("unknown");
    QTest::addColumn<QStringList>("absent");
    QTest::addColumn<QStringList>("avgDiffers");
    QTest::addColumn<QString>("firstRow");

    const auto A = ImportTable::Applicants;
    const auto R = ImportTable::References;
    const QStringList none;
    const QStringList tenAbsent{"Zaban", "ZabanT", "Madar", "barname", "system", "zakhire", "sakhteman"};

    QTest::newRow("UTF-8 BOM, comma, CRLF, field names")
        << dataFile("applicants-bom-comma.csv") << A << "" << TextEncoding::Utf8WithBom << "," << 3 << 0 << 0
        << none << none << none
        << QString::fromUtf16(u"Name=علي رضايي Dini=50 Adabiat=40 Zaban=30 "
                              u"Riazi=20 ZabanT=10 Madar=33.3 barname=-5 system=12 zakhire=45 sakhteman=60 "
                              u"Avg=23.9777777777778");
    QTest::newRow("UTF-8, semicolon, LF, captions, Persian digits")
        << dataFile("applicants-semicolon-captions.csv") << A << "" << TextEncoding::Utf8 << ";" << 2 << 0
        << 0 << none << none << none
        << QString::fromUtf16(
               u"Name=پرويز Dini=50 Adabiat=40 Zaban=30 Riazi=20 ZabanT=10 "
               u"Madar=33.3 barname=-5 system=12 zakhire=45 sakhteman=60 Avg=23.9777777777778");
    QTest::newRow("Windows-1256, tab")
        << dataFile("applicants-1256-tab.csv") << A << "" << TextEncoding::Windows1256 << "\t" << 2 << 0 << 0
        << none << QStringList{"Adabiat", "Zaban", "ZabanT", "Madar", "barname", "zakhire", "sakhteman"}
        << none
        << QString::fromUtf16(u"Name=پژمان چگيني Dini=50 Riazi=20 "
                              u"system=100 Avg=15.3703703703704");
    QTest::newRow("quotes, CR line ends")
        << dataFile("applicants-quoted.csv") << A << "" << TextEncoding::Utf8 << "," << 4 << 0 << 0 << none
        << QStringList{"Adabiat", "Zaban", "ZabanT", "Madar", "barname", "system", "zakhire", "sakhteman"}
        << none << QStringLiteral("Name=Rezaei, Ali Dini=10 Riazi=20 Avg=3.88888888888889");
    QTest::newRow("refused rows, blank lines, a differing average")
        << dataFile("applicants-refused.csv") << A << "" << TextEncoding::Utf8 << "," << 4 << 4 << 2
        << QStringList{"Comment"} << tenAbsent << QStringList{"8"}
        << QStringLiteral("Name=ok1 Dini=10 Adabiat=10 Riazi=10 Avg=2.77777777777778");
    QTest::newRow("reference captions typed on a Persian keyboard")
        << dataFile("references-captions.csv") << R << "" << TextEncoding::Utf8WithBom << "," << 2 << 0 << 0
        << none << none << none
        << QStringLiteral(
               "Dini=100 Adabiat=100 Zaban=100 Riazi=100 ZabanT=100 Madar=100 barname=100 takh=100 Avg=100 "
               "Rotbeh=1");
    QTest::newRow("reference ranks") << dataFile("references-ranks.csv") << R << "" << TextEncoding::Utf8
                                     << "," << 3 << 4 << 0 << none
                                     << QStringList{"Dini",   "Adabiat", "Zaban",  "Riazi",
                                                    "ZabanT", "Madar",   "barname"}
                                     << none << QStringLiteral("takh=100 Avg=27.7777777777778 Rotbeh=-3");

    const auto wrong = [&](const char *name, const char *file, ImportTable table, const QString &error) {
        QTest::newRow(name) << dataFile(file) << table << error << TextEncoding::Utf8 << "," << 0 << 0 << 0
                            << none << none << none << QString();
    };
    wrong("empty file", "empty.csv", A, QString::fromUtf16(u"خالي"));
    wrong("only blank lines", "blank.csv", A, QString::fromUtf16(u"خالي"));
    wrong("a spreadsheet's own format", "not-text.csv", A, QStringLiteral("CSV"));
    wrong("control characters", "control-chars.csv", A, QStringLiteral("CSV"));
    wrong("UTF-16", "utf16.csv", A, QStringLiteral("UTF-16"));
    wrong("no known column", "no-known-column.csv", A, QStringLiteral("Davtalab"));
    wrong("applicants as references", "applicants-1256-tab.csv", R, QStringLiteral("Rotbeh"));
    wrong("references without ranks", "references-no-rank.csv", R, QStringLiteral("Rotbeh"));
    wrong("quote never closed", "unclosed-quote.csv", A, QStringLiteral(" 3 "));
    wrong("one field named twice", "duplicate-column.csv", A, QStringLiteral("Andishe Eslami :"));
    wrong("no such file", "not-there.csv", A, QStringLiteral("not-there.csv"));
}

void TestCsvImport::files()
{
    QFETCH(QString, file);
    QFETCH(ImportTable, table);
    QFETCH(QString, error);
    const ImportReading reading = readImportFile(file, table);
    QVERIFY(!reading.cancelled);
    if (!error.isEmpty()) {
        QVERIFY(!reading.plan);
        QVERIFY2(reading.error.contains(error), qPrintable(reading.error));
        return;
    }
    QVERIFY2(reading.plan, qPrintable(reading.error));
    const ImportPlan &plan = *reading.plan;
    QFETCH(TextEncoding, encoding);
    QFETCH(QString, separator);
    QFETCH(int, accepted);
    QFETCH(int, refused);
    QFETCH(int, blank);
    QFETCH(QStringList, unknown);
    QFETCH(QStringList, absent);
    QFETCH(QStringList, avgDiffers);
    QFETCH(QString, firstRow);
    QCOMPARE(plan.encoding, encoding);
    QCOMPARE(QString(plan.separator), separator);
    QCOMPARE(plan.rows.size(), accepted);
    QCOMPARE(plan.refusedRows, refused);
    QCOMPARE(plan.blankRows, blank);
    QCOMPARE(plan.unknownHeaders(), unknown);
    QCOMPARE(plan.absentFields, absent);
    QCOMPARE(lines(plan.avgDiffersOnLines), avgDiffers);
    QCOMPARE(plannedRow(plan, 0), firstRow);
}

void TestCsvImport::refusalsNameLineColumnAndReason()
{
    const ImportReading a = readImportFile(dataFile("applicants-refused.csv"), ImportTable::Applicants);
    QVERIFY(a.plan);
    QStringList got;
    for (const ImportRefusal &r : a.plan->refusals)
        got << QStringLiteral("%1 %2").arg(r.line).arg(r.column);
    QCOMPARE(got, (QStringList{"3 Dini", "5 Dini", "6 ", "9 Avg"}));
    QVERIFY(a.plan->refusals.at(0).reason.contains(QStringLiteral("abc")));
    QVERIFY(a.plan->refusals.at(1).reason.contains(QStringLiteral("12abc")));
    QVERIFY(a.plan->refusals.at(2).reason.contains(QStringLiteral(" 7 ")));
    QVERIFY(a.plan->refusals.at(3).reason.contains(QString::fromUtf16(u"سرريز")));
    QStringList accepted;
    for (int i = 0; i < a.plan->rows.size(); ++i)
        accepted << a.plan->rows.at(i).at(0).toString();
    QCOMPARE(accepted, (QStringList{"ok1", "differs", "short", "persian"}));

    const ImportReading r = readImportFile(dataFile("references-ranks.csv"), ImportTable::References);
    QVERIFY(r.plan);
    got.clear();
    for (const ImportRefusal &x : r.plan->refusals)
        got << QStringLiteral("%1 %2").arg(x.line).arg(x.column);
    QCOMPARE(got, (QStringList{"2 Rotbeh", "3 Rotbeh", "4 Rotbeh", "7 Rotbeh"}));
    // The reference window's own words for a rank that reads as 0.
    QCOMPARE(r.plan->refusals.at(0).reason, QString::fromUtf16(u"رتبه داوطلب وارد نشده است"));
    QCOMPARE(r.plan->refusals.at(2).reason, QString::fromUtf16(u"رتبه داوطلب وارد نشده است"));
    QVERIFY(r.plan->refusals.at(3).reason.contains(QStringLiteral("12abc")));
    QStringList ranks;
    for (const QVariantList &row : r.plan->rows)
        ranks << row.last().toString();
    QCOMPARE(ranks, (QStringList{"-3", "0.5", "123"}));
}

// What reaches the file: numbers as numbers, empty cells and absent columns
// as NULL, the average always computed.
void TestCsvImport::wideRecordsAndCancel_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("stopFrom");  // keepGoing says stop when asked with this share done or more
    QTest::addColumn<QString>("error"); // a part of the message; "cancelled"; empty: a plan

    const QByteArray wideHeader = "Name" + QByteArray(999, ',') + "\nAli\n";
    QByteArray manyRows = "Name\n";
    for (int i = 0; i < 30000; ++i)
        manyRows += "Ali\n";
    const int never = 1001;
    QTest::newRow("header of 1000 cells") << wideHeader << never << "";
    QTest::newRow("header of 1001 cells") << "Name" + QByteArray(1000, ',') + "\nAli\n" << never << "1000";
    QTest::newRow("row of 1001 cells")
        << "Name\nAli" + QByteArray(1000, ',') << never << QString::fromUtf16(u"سطر 2 ");
    QTest::newRow("1 MB of a,") << QByteArray("a,").repeated(512 * 1024) << never
                                << QString::fromUtf16(u"سطر 1 ");
    QTest::newRow("cancel while reading") << manyRows << 0 << "cancelled";
    QTest::newRow("cancel while matching the header") << wideHeader << 0 << "cancelled";
    QTest::newRow("cancel while checking rows") << manyRows << 501 << "cancelled";
    QTest::newRow("never cancelled") << manyRows << never << "";
}

// Rows are checked in batches beside the reading: across many batches every
// row, refusal and blank line is counted once, in the file's order.
void TestCsvImport::manyRowsInFileOrder()
{
    QByteArray csv = "Name,Dini,Riazi\n";
    QList<int> refusedLines;
    int line = 1, blanks = 0;
    for (int i = 0; i < 30000; ++i) {
        if (i % 777 == 5) {
            csv += " ,\n";
            ++line;
            ++blanks;
        }
        ++line;
        if (i % 1000 == 999) {
            csv += "r" + QByteArray::number(i) + ",x,1\n";
            refusedLines << line;
        } else {
            csv += "r" + QByteArray::number(i) + "," + QByteArray::number(i % 20) + ".5,1\n";
        }
    }
    const ImportReading reading = planImport(csv, ImportTable::Applicants, QStringLiteral("rows.csv"));
    QVERIFY(reading.plan);
    const ImportPlan &plan = *reading.plan;
    QCOMPARE(plan.blankRows, blanks);
    QCOMPARE(plan.refusedRows, refusedLines.size());
    QList<int> lines;
    for (const ImportRefusal &r : plan.refusals)
        lines << r.line;
    QCOMPARE(lines, refusedLines);
    QCOMPARE(plan.rows.size(), 30000 - refusedLines.size());
    for (qsizetype k = 0, i = 0; k < plan.rows.size(); ++k, ++i) {
        if (i % 1000 == 999)
            ++i;
        if (plan.rows.at(k).at(0).toString() != QStringLiteral("r%1").arg(i))
            QFAIL(qPrintable(plan.rows.at(k).at(0).toString()));
    }
}

void TestCsvImport::wideRecordsAndCancel()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, stopFrom);
    QFETCH(QString, error);
    int asked = -1;
    bool ordered = true; // the share done never goes back
    const ImportReading reading =
        planImport(bytes, ImportTable::Applicants, QStringLiteral("wide.csv"), [&](int p) {
            ordered = ordered && p >= asked && p <= 1000;
            asked = p;
            return p < stopFrom;
        });
    QVERIFY(ordered);
    QCOMPARE(reading.cancelled, error == QLatin1String("cancelled"));
    if (reading.cancelled)
        QVERIFY(!reading.plan);
    else if (error.isEmpty())
        QVERIFY2(reading.plan && reading.plan->rows.size() >= 1, qPrintable(reading.error));
    else
        QVERIFY2(!reading.plan && reading.error.contains(error)
                     && reading.error.contains(QLatin1String("1000")),
                 qPrintable(reading.error));
}

void TestCsvImport::storedAsTheWindowsStore_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<ImportTable>("table");
    QTest::addColumn<QString>("rows");
    QTest::newRow("quotes")
        << dataFile("applicants-quoted.csv") << ImportTable::Applicants
        << QStringLiteral("Rezaei, Ali:QString|10:double|NULL|NULL|20:double|NULL|NULL|NULL|NULL|NULL|NULL|"
                          "3.88888888888889:double\n"
                          "He said \"hi\":QString|1:double|NULL|NULL|2:double|NULL|NULL|NULL|NULL|NULL|NULL|"
                          "0.388888888888889:double\n"
                          "two\nlines:QString|3:double|NULL|NULL|4:double|NULL|NULL|NULL|NULL|NULL|NULL|"
                          "0.833333333333333:double\n"
                          "=1+1:QString|5:double|NULL|NULL|6:double|NULL|NULL|NULL|NULL|NULL|NULL|"
                          "1.27777777777778:double");
    QTest::newRow("ranks")
        << dataFile("references-ranks.csv") << ImportTable::References
        << QStringLiteral(
               "NULL|NULL|NULL|NULL|NULL|NULL|NULL|100:double|27.7777777777778:double|-3:qlonglong\n"
               "NULL|NULL|NULL|NULL|NULL|NULL|NULL|100:double|27.7777777777778:double|0.5:double\n"
               "NULL|NULL|NULL|NULL|NULL|NULL|NULL|100:double|27.7777777777778:double|123:qlonglong");
}

void TestCsvImport::storedAsTheWindowsStore()
{
    QFETCH(QString, file);
    QFETCH(ImportTable, table);
    QFETCH(QString, rows);
    const ImportReading reading = readImportFile(file, table);
    QVERIFY(reading.plan);
    QVERIFY(!storeImport(m_dir->path(), *reading.plan));
    RawDb db(bank());
    QCOMPARE(db.dump(importTableName(table)), rows);
}

void TestCsvImport::allOrNothing_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<StoreErrorKind>("kind");
    QTest::newRow("trigger refuses row 700") << "trigger" << StoreErrorKind::Failed;
    QTest::newRow("another program holds the lock") << "lock" << StoreErrorKind::Locked;
    QTest::newRow("cancelled at row 500") << "cancel" << StoreErrorKind::Failed;
    QTest::newRow("disk full") << "full" << StoreErrorKind::Failed;
    QTest::newRow("database at its page limit") << "page limit" << StoreErrorKind::DiskFull;
    QTest::newRow("database vanished") << "vanished" << StoreErrorKind::MissingFile;
    QTest::newRow("read-only database") << "read-only" << StoreErrorKind::ReadOnly;
}

void TestCsvImport::allOrNothing()
{
    QFETCH(QString, obstacle);
    QFETCH(StoreErrorKind, kind);
    {
        RawDb db(bank());
        QVERIFY(db.exec(
            QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES ('before 1', 10), ('before 2', 20)")));
    }
    QString csv = QStringLiteral("Name,Dini,Riazi\n");
    for (int i = 1; i <= 2000; ++i)
        csv += QStringLiteral("row %1,%2,%3\n").arg(i).arg(i % 100).arg((i * 7) % 100);
    const ImportReading reading =
        planImport(csv.toUtf8(), ImportTable::Applicants, QStringLiteral("rows.csv"));
    QVERIFY(reading.plan);
    QCOMPARE(reading.plan->rows.size(), 2000);

    std::unique_ptr<RawDb> other;
    if (obstacle == QLatin1String("trigger")) {
        RawDb(bank()).exec(
            QStringLiteral("CREATE TRIGGER stop BEFORE INSERT ON Davtalab WHEN NEW.Name = 'row 700' "
                           "BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END"));
    } else if (obstacle == QLatin1String("lock")) {
        other = std::make_unique<RawDb>(bank());
        QVERIFY(other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
    } else if (obstacle == QLatin1String("vanished")) {
        QVERIFY(QFile::remove(bank()));
    } else if (obstacle == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(bank(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if (QFileInfo(bank()).isWritable())
            QSKIP("permissions do not bind this user (root)");
    }
    const QByteArray hash = fileHash(bank());

    bool cancelled = false;
    MaybeError error;
    const auto keepGoing = [&](qsizetype written) {
        if (obstacle == QLatin1String("page limit") && written == 0) {
            // The store's own connection, its transaction begun: the file may
            // not grow by a page, as on a full disk (the limit cannot go
            // below the pages already there).
            for (const QString &name : QSqlDatabase::connectionNames())
                QSqlQuery(QSqlDatabase::database(name, false))
                    .exec(QStringLiteral("PRAGMA max_page_count = 1"));
        }
        return obstacle != QLatin1String("cancel") || written < 500;
    };
    if (obstacle == QLatin1String("full")) {
        FileSizeLimit limit(rlim_t(QFileInfo(bank()).size()));
        QVERIFY(limit.ok());
        error = storeImport(m_dir->path(), *reading.plan, keepGoing, &cancelled);
    } else {
        error = storeImport(m_dir->path(), *reading.plan, keepGoing, &cancelled);
    }
    QVERIFY(error);
    QCOMPARE(error->kind, kind);
    QCOMPARE(cancelled, obstacle == QLatin1String("cancel"));
    QVERIFY2(error->message.contains(QDir::toNativeSeparators(bank())), qPrintable(error->message));
    other.reset();

    if (obstacle == QLatin1String("vanished")) {
        QVERIFY(!QFile::exists(bank())); // never created
        return;
    }
    QCOMPARE(fileHash(bank()), hash);
    RawDb db(bank());
    QCOMPARE(db.dump(QStringLiteral("Davtalab")),
             QStringLiteral("before 1:QString|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|10:double\n"
                            "before 2:QString|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|20:double"));
}

// Rows go to SQLite several to a statement: the same rows, row ids and
// triggers, row by row, as storing them one by one, also where a row among
// them holds a value only Qt binds.
void TestCsvImport::storedInGroupsAsOneByOne_data()
{
    QTest::addColumn<int>("blobAt"); // -1: none
    QTest::newRow("numbers and texts") << -1;
    QTest::newRow("a blob in the second group") << 25;
}

void TestCsvImport::storedInGroupsAsOneByOne()
{
    QFETCH(int, blobAt);
    ImportPlan plan;
    plan.fields = QStringList{QStringLiteral("Name"), QStringLiteral("Dini"), QStringLiteral("Avg")};
    for (int i = 0; i < 47; ++i) {
        const QVariant name = i == blobAt ? QVariant(QByteArray("\xff,\"", 3))
            : i % 9 == 4                  ? QVariant(QMetaType::fromType<QString>())
                                          : QVariant(QStringLiteral(u"نام %1").arg(i));
        plan.rows.append({name, QVariant(i / 3.0), i % 5 ? QVariant(qlonglong(i)) : QVariant()});
    }
    const QStringList setup{
        QStringLiteral("CREATE TABLE log (id, name)"),
        QStringLiteral("CREATE TRIGGER logged AFTER INSERT ON Davtalab BEGIN "
                       "INSERT INTO log VALUES (NEW.rowid, NEW.Name); END")};
    for (const QString &sql : setup)
        QVERIFY(RawDb(bank()).exec(sql));
    QVERIFY(!storeImport(m_dir->path(), plan));

    QTemporaryDir one;
    const QString single = one.filePath(QStringLiteral("Bank.db"));
    makeBank(single);
    RawDb expected(single);
    for (const QString &sql : setup)
        QVERIFY(expected.exec(sql));
    for (const QVariantList &row : std::as_const(plan.rows))
        QVERIFY(expected.exec(QStringLiteral("INSERT INTO Davtalab (Name, Dini, Avg) VALUES (?, ?, ?)"), row));
    RawDb got(bank());
    for (const QString &table : {QStringLiteral("Davtalab"), QStringLiteral("log")})
        QCOMPARE(got.dump(table), expected.dump(table));
    QCOMPARE(got.count(QStringLiteral("log")), 47);
}

// A table written out and read into an empty database comes back the same,
// row by row, in the same order.
void TestCsvImport::roundTrip_data()
{
    QTest::addColumn<ImportTable>("table");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("applicants") << ImportTable::Applicants
                                << QStringList{dataFile("applicants-bom-comma.csv"),
                                               dataFile("applicants-quoted.csv"),
                                               dataFile("applicants-1256-tab.csv"),
                                               dataFile("applicants-semicolon-captions.csv"),
                                               dataFile("applicants-refused.csv"),
                                               QStringLiteral("names")};
    QTest::newRow("reference results")
        << ImportTable::References
        << QStringList{dataFile("references-captions.csv"), dataFile("references-ranks.csv")};
}

void TestCsvImport::roundTrip()
{
    QFETCH(ImportTable, table);
    QFETCH(QStringList, files);
    for (const QString &file : files) {
        ImportReading reading;
        if (file == QLatin1String("names")) {
            // Names a spreadsheet would take for formulas, and other awkward ones.
            QString csv = QStringLiteral("Name,Dini,zakhire\n");
            for (const char *name :
                 {"=1+1", "'x", "'=x", "-Ali", "+98", "@me", "-5", "a \"b\", c", " blank ", "tab\tin", ""})
                csv += QLatin1Char('"')
                    + QString::fromUtf8(name).replace(QLatin1Char('"'), QLatin1String("\"\""))
                    + QStringLiteral("\",1e-7,123456789012345\n");
            reading = planImport(csv.toUtf8(), table, file);
        } else {
            reading = readImportFile(file, table);
        }
        QVERIFY2(reading.plan, qPrintable(file + reading.error));
        QVERIFY(!storeImport(m_dir->path(), *reading.plan));
    }
    const QString name = importTableName(table);
    const QString original = RawDb(bank()).dump(name);
    QVERIFY(original.count(QLatin1Char('\n')) >= 4);

    const CsvExport exported = exportTableCsv(m_dir->path(), table);
    QVERIFY(!exported.error);
    QVERIFY(exported.bytes.startsWith("\xef\xbb\xbf"));
    const QString path = m_dir->filePath(QStringLiteral("out.csv"));
    QVERIFY(writeFileWhole(path, exported.bytes).isEmpty());

    QTemporaryDir second;
    makeBank(second.filePath(QStringLiteral("Bank.db")));
    const ImportReading back = readImportFile(path, table);
    QVERIFY(back.plan);
    QCOMPARE(back.plan->refusedRows, 0);
    QVERIFY(back.plan->avgDiffersOnLines.isEmpty());
    QCOMPARE(back.plan->rows.size(), exported.rows);
    QVERIFY(!storeImport(second.path(), *back.plan));
    QCOMPARE(RawDb(second.filePath(QStringLiteral("Bank.db"))).dump(name), original);
}

void TestCsvImport::resultsExport()
{
    {
        RawDb db(bank());
        // Left out one at a time, the five inner points miss by 10, -5, 5,
        // -10 and 5 ranks: every range runs from 10 better to 10 worse.
        QVERIFY(
            db.exec(QStringLiteral("INSERT INTO Formol (Avg, Rotbeh) VALUES (10, 900), (20, 810), (30, 700), "
                                   "(40, 600), (50, 490), (60, 400), (70, 300)")));
        QVERIFY(db.exec(
            QStringLiteral("INSERT INTO Davtalab (Name, Avg) VALUES ('=A', 35), ('B', 100), ('C', NULL)")));
    }
    MainWindow *main = openMain();
    QVERIFY(main);
    main->Text1->setText(QStringLiteral("1.10"));
    main->Command1_Click();
    const QString path = m_dir->filePath(QStringLiteral("results.csv"));
    QVERIFY(exportResultsToCsv(main->workspace(), main, path));
    const DecodedText text = decodeText(fileBytes(path));
    QCOMPARE(text.encoding, TextEncoding::Utf8WithBom);
    const QStringList got = text.text.split(QStringLiteral("\r\n"));
    QCOMPARE(got.value(0), QString::fromUtf16(u"ميزان تغييرات,1.10"));
    QCOMPARE(got.value(1), resultHeaders().join(QLatin1Char(',')));
    QCOMPARE(got.value(2),
             QStringLiteral("'=A,35,615,605,625,")
                 + bandText(main->workspace().result().applicants.at(0).band));
    QCOMPARE(got.value(3),
             QStringLiteral("B,100,-100,-110,-90,")
                 + bandText(main->workspace().result().applicants.at(1).band));
    QCOMPARE(got.value(4),
             QStringLiteral("C,,,,,") + bandText(main->workspace().result().applicants.at(2).band));
    QCOMPARE(got.size(), 6); // and the final line end
    QCOMPARE(m_messages.size(), 1);
}

// Texts are written as their stored bytes where those read the same through
// SQLite's UTF-16 conversion, and as that conversion reads them otherwise.
void TestCsvImport::storedCellsExported_data()
{
    QTest::addColumn<QString>("stored"); // an SQL value
    QTest::addColumn<bool>("utf16");     // a database that stores UTF-16
    QTest::addColumn<QByteArray>("written");
    const std::tuple<const char *, const char *, QByteArray> rows[] = {
        {"Persian", "'\u067E\u0631'", "\xd9\xbe\xd8\xb1"},
        {"bytes that are no UTF-8", "CAST(X'D9BEFF41' AS TEXT)", "\xd9\xbe\xef\xbf\xbd" "A"},
        {"a lone continuation byte", "CAST(X'80' AS TEXT)", "\xc2\x80"},
        {"U+FFFE", "CAST(X'EFBFBE' AS TEXT)", "\xef\xbf\xbd"},
        {"U+FFFF and a comma", "CAST(X'EFBFBF2C' AS TEXT)", "\"\xef\xbf\xbd,\""},
        {"a NUL inside", "CAST(X'610062' AS TEXT)", QByteArray("a\0b", 3)},
        {"a blob", "X'FF2C22'", "\"\xef\xbf\xbd,\"\"\""},
        {"a formula", "'=SUM(1)'", "'=SUM(1)"},
        {"a number as text", "'-5'", "-5"},
        {"an apostrophe and a line break", "'''' || char(10)", "\"''\n\""},
        {"a leading U+FEFF", "CAST(X'EFBBBF41' AS TEXT)", "\xef\xbb\xbf" "A"},
        {"quotes and a comma", "'a,\"b\"'", "\"a,\"\"b\"\"\""},
        {"empty text", "''", ""},
        {"NULL", "NULL", ""},
        {"whole number", "-9223372036854775807", "-9223372036854775807"},
        {"real", "0.1", "0.1"},
        {"negative zero", "-0.0", "0"},
    };
    for (const auto &[name, stored, written] : rows) {
        QTest::newRow(name) << QString::fromUtf8(stored) << false << written;
        if (QByteArrayView(stored).startsWith("CAST(")) // bytes a UTF-16 database reads as UTF-16
            continue;
        QTest::newRow(qPrintable(QStringLiteral("%1, UTF-16 database").arg(QLatin1String(name))))
            << QString::fromUtf8(stored) << true << written;
    }
    QTest::newRow("U+FFFE, stored as UTF-16") << QStringLiteral("CAST(X'FEFF' AS TEXT)") << true
                                               << QByteArray("\xef\xbf\xbe");
}

void TestCsvImport::storedCellsExported()
{
    QFETCH(QString, stored);
    QFETCH(bool, utf16);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    {
        RawDb db(dir.filePath(QStringLiteral("Bank.db")));
        if (utf16)
            QVERIFY(db.exec(QStringLiteral("PRAGMA encoding = 'UTF-16le'")));
        QVERIFY(db.exec(QStringLiteral("CREATE TABLE Davtalab (Name, Dini)"))); // no type: kept as given
        QVERIFY(db.exec(QStringLiteral("INSERT INTO Davtalab VALUES (%1, 1)").arg(stored)));
    }
    const CsvExport exported = exportTableCsv(dir.path(), ImportTable::Applicants);
    QVERIFY(!exported.error);
    QCOMPARE(exported.bytes, "\xef\xbb\xbfName,Dini\r\n" + written + ",1\r\n");
}

// A large table is read in two parts side by side; its file is the one a
// table of the same rows read in one part gives, wherever the row ids lie.
void TestCsvImport::exportedInParts_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("pragma"); // run before the table is made
    QTest::newRow("row ids spread") << "spread" << QString();
    QTest::newRow("UTF-16 database") << "spread" << QStringLiteral("PRAGMA encoding = 'UTF-16le'");
    QTest::newRow("WAL: read in one part") << "spread" << QStringLiteral("PRAGMA journal_mode = WAL");
    QTest::newRow("one row before the middle") << "one first" << QString();
    QTest::newRow("the largest and smallest row ids") << "extremes" << QString();
}

void TestCsvImport::exportedInParts()
{
    QFETCH(QString, layout);
    QFETCH(QString, pragma);
    const QString cells[] = {QStringLiteral("'\u067E\u0631 ' || %1"), QStringLiteral("CAST(X'D9BEFF41' AS TEXT)"),
                             QStringLiteral("X'FF2C22'"), QStringLiteral("'=SUM(%1)'"),
                             QStringLiteral("'a,\"b\"' || char(10)"), QStringLiteral("NULL"),
                             QStringLiteral("''"), QStringLiteral("%1 - 9223372036854775807"),
                             QStringLiteral("%1 / 7.0")};
    constexpr int kRows = 300;
    const auto rowId = [&](int i) -> qint64 {
        if (layout == QLatin1String("one first"))
            return i == 0 ? 1 : 1000000 + i;
        if (layout == QLatin1String("extremes"))
            return i == 0 ? std::numeric_limits<qint64>::min() + 1
                : i == kRows - 1 ? std::numeric_limits<qint64>::max()
                                 : qint64(i) * 1000;
        return qint64(i) * 100;
    };
    QTemporaryDir dense, sparse;
    for (QTemporaryDir *dir : {&dense, &sparse}) {
        RawDb db(dir->filePath(QStringLiteral("Bank.db")));
        if (!pragma.isEmpty())
            QVERIFY(db.exec(pragma));
        QVERIFY(db.exec(QStringLiteral("CREATE TABLE Davtalab (Name, Dini, Avg REAL)")));
        QVERIFY(db.exec(QStringLiteral("BEGIN")));
        for (int i = 0; i < kRows; ++i) {
            const auto cell = [&](size_t k) { return QString(cells[k % std::size(cells)]).replace(QLatin1String("%1"), QString::number(i)); };
            QVERIFY(db.exec(QStringLiteral("INSERT INTO Davtalab (rowid, Name, Dini, Avg) VALUES (?, %1, %2, ?)")
                                .arg(cell(size_t(i)), cell(size_t(i) + 4)),
                            {dir == &dense ? qint64(i + 1) : rowId(i), i * 0.01}));
        }
        QVERIFY(db.exec(QStringLiteral("COMMIT")));
    }
    const CsvExport whole = exportTableCsv(dense.path(), ImportTable::Applicants);
    const CsvExport parts = exportTableCsv(sparse.path(), ImportTable::Applicants);
    QVERIFY(!whole.error && !parts.error);
    QCOMPARE(parts.rows, kRows);
    QCOMPARE(whole.rows, kRows);
    QVERIFY(parts.bytes == whole.bytes);

    // Both parts are read where they can be, the later one on a thread of its own.
    DataControl control;
    control.setConnectionString(DataControl::connectionStringFor(sparse.path()));
    control.setCommandType(DataControl::CommandTable);
    control.setRecordSource(QStringLiteral("Davtalab"));
    std::atomic<int> rows[2] = {0, 0};
    const Qt::HANDLE caller = QThread::currentThreadId();
    std::atomic<bool> laterOnCaller = false;
    QVERIFY(!control.refreshEachStored([&](int part, const StoredCell *, int) {
        ++rows[part];
        laterOnCaller = laterOnCaller || (part == 1 && QThread::currentThreadId() == caller);
    }));
    QCOMPARE(rows[0] + rows[1], kRows);
    QCOMPARE(rows[1] > 0, !pragma.contains(QLatin1String("WAL")));
    QVERIFY(!laterOnCaller);
}

// Cells are read from their bytes, plain decimals without a text: as the
// strict parse reads their text.
void TestCsvImport::cellsReadAsNumbers_data()
{
    QTest::addColumn<QByteArray>("cell");
    for (const char *cell : {"12", "12.", ".5", "+5", "-0", "007", "0.1", "-33.3", "4503599627370497",
                             "9007199254740993", "1e3", "&H1F", " 12 ", "\xdb\xb1\xdb\xb2", "1.2.3", "--5",
                             "+-5", "5-", "-", ".", "", "1 2", "12\xc2\xa0", "\xef\xbb\xbf" "12"})
        QTest::newRow(cell) << QByteArray(cell);
    QTest::newRow("64 digits") << QByteArray(64, '9');
    QTest::newRow("400 digits") << "1" + QByteArray(400, '0');
}

void TestCsvImport::cellsReadAsNumbers()
{
    QFETCH(QByteArray, cell);
    const QString text = utf8CellText(cell).trimmed();
    const Converted got = numberFromUtf8(QStringLiteral("Dini"), cell);
    const Converted expected = valueFromText(QStringLiteral("Dini"), utf8CellText(cell));
    if (text.isEmpty()) {
        QVERIFY(got.value.isNull() && !got.error);
        return;
    }
    double strict = 0;
    try {
        strict = common::strictNumber(text);
    } catch (const common::NumberError &) {
        QVERIFY(got.error && expected.error);
        QCOMPARE(got.error->message, expected.error->message);
        return;
    }
    QVERIFY(!got.error);
    QCOMPARE(got.value.toDouble(), strict);
    const bool whole = std::trunc(strict) == strict && std::fabs(strict) <= 9007199254740992.0;
    QCOMPARE(got.value.typeId(), whole ? int(QMetaType::LongLong) : int(QMetaType::Double));
    QCOMPARE(expected.value, got.value);
}

// A cell keeps a leading U+FEFF as the decoded file has it.
void TestCsvImport::cellsKeepALeadingByteOrderMark()
{
    const ImportReading reading = planImport("Name,Dini\n\xef\xbb\xbf" "Ali,1\n", ImportTable::Applicants,
                                             QStringLiteral("bom.csv"));
    QVERIFY(reading.plan && reading.plan->rows.size() == 1);
    QCOMPARE(reading.plan->rows.at(0).at(0).toString(), QChar(0xFEFF) + QStringLiteral("Ali"));
}

void TestCsvImport::exportFailures_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("folder that is not there") << "missing";
    QTest::newRow("a folder's name") << "folder";
    QTest::newRow("disk full") << "full";
}

void TestCsvImport::exportFailures()
{
    QFETCH(QString, where);
    {
        RawDb db(bank());
        for (int i = 0; i < 300; ++i)
            QVERIFY(db.exec(
                QStringLiteral("INSERT INTO Davtalab (Name, Dini, Avg) VALUES ('n%1', %1, %1)").arg(i)));
    }
    MainWindow *main = openMain();
    QVERIFY(main);
    QString path = m_dir->filePath(QStringLiteral("old.csv"));
    QVERIFY(writeBytes(path, "what was there\n"));
    bool ok = true;
    if (where == QLatin1String("missing")) {
        path = m_dir->filePath(QStringLiteral("no/such/folder/out.csv"));
        ok = exportTableToCsv(main->workspace(), main, ImportTable::Applicants, path);
        QVERIFY(!QFile::exists(path));
    } else if (where == QLatin1String("folder")) {
        path = m_dir->path();
        ok = exportTableToCsv(main->workspace(), main, ImportTable::Applicants, path);
    } else {
        FileSizeLimit limit(100);
        QVERIFY(limit.ok());
        ok = exportTableToCsv(main->workspace(), main, ImportTable::Applicants, path);
    }
    QVERIFY(!ok);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.at(0).contains(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())),
             qPrintable(m_messages.at(0)));
    QCOMPARE(fileBytes(m_dir->filePath(QStringLiteral("old.csv"))), QByteArray("what was there\n"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2); // Bank.db, old.csv: no leftovers
}

void TestCsvImport::menuItems()
{
    MainWindow *main = openMain();
    QVERIFY(main);
    QMenu *menu = main->findChild<QMenu *>(QStringLiteral("fileMenu"));
    QVERIFY(menu);
    QCOMPARE(main->menuBar()->actions().value(0), menu->menuAction());
    QCOMPARE(menu->title().remove(u'&'), QString::fromUtf16(u"فايل")); // with its mnemonic
    QVERIFY(menu->title().contains(u'&'));
    QStringList captions, keys;
    for (QAction *a : menu->actions()) {
        QVERIFY(a->isSeparator() || a->text().contains(u'&'));
        captions << a->text().remove(u'&');
        keys << a->shortcut().toString(QKeySequence::PortableText);
    }
    QCOMPARE(
        captions,
        (QStringList{QString::fromUtf16(u"باز کردن بانک اطلاعات..."), QString::fromUtf16(u"پرونده هاي اخير"),
                     QString(), QString::fromUtf16(u"ورود داوطلبان از CSV..."),
                     QString::fromUtf16(u"ورود نتايج مرجع از CSV..."),
                     QString::fromUtf16(u"خروجي داوطلبان به CSV..."),
                     QString::fromUtf16(u"خروجي نتايج مرجع به CSV..."),
                     QString::fromUtf16(u"خروجي نتيجه محاسبه به CSV..."), QString::fromUtf16(u"چاپ گزارش..."),
                     QString::fromUtf16(u"ذخيره گزارش به PDF..."), QString::fromUtf16(u"ورود جدول انتخاب ها از CSV..."),
                     QString::fromUtf16(u"خروجي جدول انتخاب ها به CSV..."), QString(),
                     QString::fromUtf16(u"کارنامه مشاوره داوطلب...")}));
    QCOMPARE(keys, (QStringList{"Ctrl+O", "", "", "Ctrl+I", "", "", "", "Ctrl+E", "Ctrl+P", "", "", "", "", ""}));
}

// The items, with the file dialogs and the preview replaced.
void TestCsvImport::importFromTheMenu_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("previews");
    QTest::addColumn<int>("applicants");
    QTest::addColumn<int>("references");
    QTest::newRow("applicants, confirmed")
        << "importApplicants" << dataFile("applicants-bom-comma.csv") << true << 1 << 3 << 0;
    QTest::newRow("applicants, cancelled")
        << "importApplicants" << dataFile("applicants-bom-comma.csv") << false << 1 << 0 << 0;
    QTest::newRow("references, confirmed")
        << "importReferences" << dataFile("references-ranks.csv") << true << 1 << 0 << 3;
    QTest::newRow("not a text file") << "importApplicants" << dataFile("not-text.csv") << true << 0 << 0 << 0;
    QTest::newRow("file dialog closed") << "importApplicants" << QString() << true << 0 << 0 << 0;
}

void TestCsvImport::importFromTheMenu()
{
    QFETCH(QString, action);
    QFETCH(QString, file);
    QFETCH(bool, confirm);
    QFETCH(int, previews);
    QFETCH(int, applicants);
    QFETCH(int, references);
    MainWindow *main = openMain();
    QVERIFY(main);
    int chosen = 0, shown = 0;
    setFileChooser([&](QWidget *, const FileChoice &choice) {
        ++chosen;
        return choice.forSaving ? QString() : file;
    });
    setImportConfirmer([&](QWidget *, const ImportPlan &plan, const QString &path) {
        ++shown;
        return confirm && path == file && !plan.rows.isEmpty();
    });
    QAction *a = main->findChild<QAction *>(action);
    QVERIFY(a);
    a->trigger();
    QCOMPARE(chosen, 1);
    QCOMPARE(shown, previews);
    RawDb db(bank());
    QCOMPARE(db.count(QStringLiteral("Davtalab")), applicants);
    QCOMPARE(db.count(QStringLiteral("Formol")), references);
    // The window re-read and recomputed after storing.
    QCOMPARE(main->workspace().applicants().size(), applicants);
    QCOMPARE(main->workspace().references().size(), references);
    QCOMPARE(main->List1->count(), 2 * applicants);
    const bool stored = applicants + references > 0;
    const bool told = stored || previews == 0;
    QCOMPARE(m_messages.size(), told && !file.isEmpty() ? 1 : 0);
}

void TestCsvImport::previewShowsThePlan()
{
    const ImportReading reading = readImportFile(dataFile("applicants-refused.csv"), ImportTable::Applicants);
    QVERIFY(reading.plan);
    CsvPreviewDialog dialog(*reading.plan, QStringLiteral("/x/applicants-refused.csv"));
    QCOMPARE(dialog.confirmButton()->text(), QString::fromUtf16(u"تاييد"));
    QCOMPARE(dialog.cancelButton()->text(), QString::fromUtf16(u"انصراف"));
    QVERIFY(dialog.confirmButton()->isEnabled());
    const QString summary = dialog.summaryText();
    for (const QString &part :
         {QStringLiteral("/x/applicants-refused.csv"), QStringLiteral("UTF-8"), QStringLiteral("(,)"),
          QStringLiteral("Comment"), QStringLiteral("Avg"), QStringLiteral("sakhteman")})
        QVERIFY2(summary.contains(part), qPrintable(part));
    // each figure is read with its caption
    const QList<tk::Label *> labels = dialog.findChildren<tk::Label *>();
    const auto encoding = std::find_if(labels.begin(), labels.end(), [](const tk::Label *l) {
        return l->caption().remove(QChar(0x200E)) == QLatin1String("UTF-8");
    });
    QVERIFY(encoding != labels.end());
    QCOMPARE(spokenName(*encoding).remove(QChar(0x200E)), u"کدگذاري: UTF-8"_qs);
    QCOMPARE(dialog.columnTable()->rowCount(), 6);
    QCOMPARE(dialog.columnTable()->item(5, 0)->text().remove(QChar(0x200E)), QStringLiteral("Comment"));
    QCOMPARE(dialog.columnTable()->item(4, 1)->text().remove(QChar(0x200E)), QStringLiteral("Avg"));
    QCOMPARE(dialog.refusalTable()->rowCount(), 4);
    QCOMPARE(dialog.refusalTable()->item(3, 0)->text().remove(QChar(0x200E)), QStringLiteral("9"));
    QCOMPARE(dialog.refusalTable()->item(3, 1)->text().remove(QChar(0x200E)), QStringLiteral("Avg"));

    // Nothing to add: only cancelling is left.
    const ImportReading none =
        planImport("Name,Dini\nA,x\n", ImportTable::Applicants, QStringLiteral("a.csv"));
    QVERIFY(none.plan);
    CsvPreviewDialog empty(*none.plan, QStringLiteral("a.csv"));
    QVERIFY(!empty.confirmButton()->isEnabled());
    QVERIFY(empty.cancelButton()->isEnabled());
}

// The real preview dialog on the import's way, answered by its buttons.
void TestCsvImport::previewConfirmsAndCancels_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("confirm") << true;
    QTest::newRow("cancel") << false;
}

void TestCsvImport::previewConfirmsAndCancels()
{
    QFETCH(bool, confirm);
    MainWindow *main = openMain();
    QVERIFY(main);
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<CsvPreviewDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        (confirm ? dialog->confirmButton() : dialog->cancelButton())->click();
    });
    QCOMPARE(importCsv(main->workspace(), main, ImportTable::Applicants, dataFile("applicants-1256-tab.csv")),
             confirm);
    QVERIFY(seen);
    QCOMPARE(RawDb(bank()).count(QStringLiteral("Davtalab")), confirm ? 2 : 0);
    QCOMPARE(main->List1->count(), confirm ? 4 : 0);
}

// A misspelt header shows as one warning; rows already stored are counted
// and left out when the box says so.
void TestCsvImport::previewWarnsOfMisfitsAndDuplicates()
{
    const ImportReading stored =
        planImport("Name,Dyni,Riazi\nSara,1,2\n", ImportTable::Applicants, QStringLiteral("a.csv"));
    QVERIFY(stored.plan);
    QVERIFY(!storeImport(m_dir->path(), *stored.plan));
    const QString file = m_dir->filePath(QStringLiteral("again.csv"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("Name,Dyni,Riazi\nSara,1,2\nReza,3,4\n") > 0);
    f.close();
    MainWindow *main = openMain();
    QVERIFY(main);
    QString summary;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<CsvPreviewDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->skipDuplicatesBox())
            return;
        summary = dialog->summaryText();
        dialog->skipDuplicatesBox()->setChecked(true);
        dialog->confirmButton()->click();
    });
    QVERIFY(importCsv(main->workspace(), main, ImportTable::Applicants, file));
    const QStringList lines = summary.split('\n');
    QVERIFY2(std::any_of(lines.begin(), lines.end(),
                         [](const QString &l) { return l.contains("Dyni") && l.contains("Dini"); }),
             qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral(u"1 رديف همانند رديف هاي موجود است")), qPrintable(summary));
    QCOMPARE(RawDb(bank()).count(QStringLiteral("Davtalab")), 2);
}

// This year's choices: every row checked, the table replaced whole or not at
// all, the preview told how many rows go and come, the choice list offering
// the stored rows.
void TestCsvImport::choiceImport_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QStringList>("refused"); // "line column"
    QTest::addColumn<QStringList>("stored");  // "name=limit" afterwards; empty: the built-in choices stand

    QTest::newRow("names, an empty and the largest limit")
        << QByteArray("Name,Hadd\nA,100\n B ,\nC,2147483647\n") << QStringList()
        << QStringList{"A=100", "B=", "C=2147483647"};
    QTest::newRow("captions as headers, semicolons, Persian digits")
        << (kChoiceFields[0].captionText() + u";"_qs + kChoiceFields[1].captionText() + u"\nA;"_qs
            + QChar(0x06F1) + QChar(0x06F2) + u"\n"_qs)
               .toUtf8()
        << QStringList() << QStringList{"A=12"};
    QTest::newRow("every refusal, nothing stored")
        << QByteArray("Name,Hadd\nA,100\nA,5\n ,7\nD,0\nE,2147483648\nF,12.5\nG,abc\nH,-3\nI,1,x\n")
        << QStringList{"3 Name", "4 Name", "5 Hadd", "6 Hadd", "7 Hadd", "8 Hadd", "9 Hadd", "10 "}
        << QStringList();
}

void TestCsvImport::choiceImport()
{
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, stored);
    const QString file = m_dir->filePath(QStringLiteral("choices.csv"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(csv);
    }
    MainWindow *main = openMain();
    QVERIFY(main);
    int goes = -2, comes = -2;
    bool storable = false;
    setImportConfirmer([&](QWidget *, ImportPlan &plan, const QString &) {
        goes = plan.replacedRows;
        comes = int(plan.rows.size());
        QStringList got;
        for (const ImportRefusal &r : plan.refusals)
            got << QString::number(r.line) + QLatin1Char(' ') + r.column;
        [&] { QCOMPARE(got, refused); }();
        storable = CsvPreviewDialog(plan, file).confirmButton()->isEnabled();
        return true; // even where the dialog would not let it
    });
    // Twice: first the built-in choices go, then the rows the first import stored.
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(importCsv(main->workspace(), main, ImportTable::Choices, file), refused.isEmpty());
        QCOMPARE(goes, round == 0 || !refused.isEmpty() ? 27 : int(stored.size()));
        QCOMPARE(storable, refused.isEmpty());
        const ChoiceTableReading reading = readChoiceTable(bank());
        QVERIFY(!reading.error);
        QCOMPARE(reading.builtIn, stored.isEmpty());
        QStringList rows;
        for (const ChoiceRow &c : reading.choices)
            rows << c.name + QLatin1Char('=') + (c.limit ? QString::number(*c.limit) : QString());
        if (!stored.isEmpty())
            QCOMPARE(rows, stored);
    }
    QCOMPARE(comes, int(refused.isEmpty() ? stored.size() : 1));

    // The export writes the table back as it was read.
    const QString out = m_dir->filePath(QStringLiteral("out.csv"));
    QVERIFY(exportTableToCsv(main->workspace(), main, ImportTable::Choices, out));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.value(0), QStringLiteral("Name,Hadd"));
    QCOMPARE(lines.size() - 2, stored.isEmpty() ? 27 : stored.size());

    // The choice list offers them in table order.
    bool offered = false;
    QTimer::singleShot(0, this, [&] {
        ChoiceList *form = main->choiceList();
        if (!form)
            return;
        offered = form->Combo2[0]->count() == (stored.isEmpty() ? 27 : stored.size())
            && form->Combo2[9]->itemText(0) == (stored.isEmpty() ? choiceNames().at(0) : u"A"_qs);
        form->Command2->click();
    });
    main->Command5_Click();
    QVERIFY(offered);
}

// Entekhab is optional, but where it is there it is checked like the others.
void TestCsvImport::choiceTableChecks_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("opens");
    QTest::newRow("no table") << QString() << true;
    QTest::newRow("columns in another order, an extra one")
        << "CREATE TABLE Entekhab (x, Hadd INTEGER, Name TEXT)" << true;
    QTest::newRow("without Hadd") << "CREATE TABLE Entekhab (Name TEXT)" << false;
    QTest::newRow("without row ids")
        << "CREATE TABLE Entekhab (Name TEXT PRIMARY KEY, Hadd INTEGER) WITHOUT ROWID" << false;
}

void TestCsvImport::choiceTableChecks()
{
    QFETCH(QString, table);
    QFETCH(bool, opens);
    if (!table.isEmpty()) {
        QString error;
        QVERIFY2(testbank::exec(bank(), {table}, &error), qPrintable(error));
    }
    QCOMPARE(!checkDatabase(bank()), opens);
    QCOMPARE(!readChoiceTable(bank()).error, opens);
}

QTEST_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
