// What an output may be: never the open database or SQLite's files beside
// it, whatever the spelling; devices and FIFOs written in place; the change
// factor a script gives; long texts cut in messages.
#include "core/outputcheck.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace placeva;

class TestOutputCheck : public QObject
{
    Q_OBJECT

private slots:
    void databaseFiles_data();
    void databaseFiles();
    void devicesWrittenInPlace();
    void factor_data();
    void factor();
    void quotedTexts_data();
    void quotedTexts();
};

void TestOutputCheck::databaseFiles_data()
{
    QTest::addColumn<QString>("database"); // relative to a scratch folder
    QTest::addColumn<QString>("output");
    QTest::addColumn<DatabaseFile>("names");

    const DatabaseFile db = DatabaseFile::Database;
    QTest::newRow("the path") << "Bank.db"
                              << "Bank.db" << db;
    QTest::newRow("through ..") << "Bank.db"
                                << "sub/../Bank.db" << db;
    QTest::newRow("a link to it") << "Bank.db"
                                  << "link.db" << db;
    QTest::newRow("a link as the database") << "link.db"
                                            << "Bank.db" << db;
    QTest::newRow("a hard link") << "Bank.db"
                                 << "hard.db" << db;
    QTest::newRow("a dangling link to the journal") << "Bank.db"
                                                    << "dangling" << DatabaseFile::Journal;
    QTest::newRow("-journal") << "Bank.db"
                              << "Bank.db-journal" << DatabaseFile::Journal;
    QTest::newRow("-wal of the link's target") << "link.db"
                                               << "sub/../Bank.db-wal" << DatabaseFile::Wal;
    QTest::newRow("-shm") << "Bank.db"
                          << "Bank.db-shm" << DatabaseFile::Shm;
    QTest::newRow("another file") << "Bank.db"
                                  << "out.csv" << DatabaseFile::None;
    QTest::newRow("a copy") << "Bank.db"
                            << "copy.db" << DatabaseFile::None;
    QTest::newRow("-journal of another") << "Bank.db"
                                         << "copy.db-journal" << DatabaseFile::None;
    QTest::newRow("standard output") << "Bank.db"
                                     << "-" << DatabaseFile::None;
}

void TestOutputCheck::databaseFiles()
{
    QFETCH(QString, database);
    QFETCH(QString, output);
    QFETCH(DatabaseFile, names);
    QTemporaryDir dir;
    const QDir d(dir.path());
    QVERIFY(d.mkdir("sub"));
    QFile bank(d.filePath("Bank.db"));
    QVERIFY(bank.open(QIODevice::WriteOnly) && bank.write("x") == 1);
    bank.close();
    QVERIFY(QFile::copy(d.filePath("Bank.db"), d.filePath("copy.db")));
    QVERIFY(QFile::link(d.filePath("Bank.db"), d.filePath("link.db")));
    QVERIFY(QFile::link(d.filePath("Bank.db-journal"), d.filePath("dangling")));
    QCOMPARE(::link(QFile::encodeName(d.filePath("Bank.db")), QFile::encodeName(d.filePath("hard.db"))), 0);

    const QString was = QDir::currentPath();
    QDir::setCurrent(dir.path()); // relative spellings
    const DatabaseFile got = databaseFileNamed(output, d.filePath(database));
    QDir::setCurrent(was);
    QCOMPARE(got, names);
}

void TestOutputCheck::devicesWrittenInPlace()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo), 0600), 0);
    QFile reader(fifo);
    // Opening for reading without a writer would block; read-write does not.
    QVERIFY(reader.open(QIODevice::ReadWrite));
    QVERIFY(writeOutput(fifo, "a,b\n").ok());
    char got[8] = {};
    QCOMPARE(::read(reader.handle(), got, sizeof got), ssize_t(4));
    QCOMPARE(QByteArray(got), QByteArray("a,b\n"));
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile()); // still the FIFO

    QCOMPARE(writeOutput(QStringLiteral("/dev/null"), "x").problem, FileProblem::None);
    QVERIFY(!QFileInfo(QStringLiteral("/dev/null")).isFile());
    QCOMPARE(writeOutput(QStringLiteral("/dev/full"), "x").problem, FileProblem::DiskFull);
    QCOMPARE(checkOutput(dir.path()).problem, FileProblem::Directory);
    QCOMPARE(checkOutput(dir.filePath("none/a.csv")).problem, FileProblem::NotFound);
    QCOMPARE(checkOutput(dir.filePath(QString(300, 'x'))).problem, FileProblem::NameTooLong);
}

void TestOutputCheck::factor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<FactorCheck>("check");
    QTest::addColumn<double>("value");
    const auto ok = [](const char *t, double v) {
        QTest::newRow(t) << QString::fromUtf8(t) << FactorCheck::Ok << v;
    };
    const auto bad = [](const char *t, FactorCheck c) {
        QTest::newRow(t) << QString::fromUtf8(t) << c << 0.0;
    };
    ok("1.1", 1.1);
    ok(" 2 ", 2);
    ok("1000", 1000);
    ok("1e-3", 0.001);
    ok("۱٫۵", 1.5);
    ok("١٫٢٥", 1.25);
    bad("abc", FactorCheck::NotNumber);
    bad("", FactorCheck::NotNumber);
    bad("nan", FactorCheck::NotNumber);
    bad("inf", FactorCheck::NotNumber);
    bad("0x10", FactorCheck::NotNumber);
    bad("1,1", FactorCheck::NotNumber);
    bad("2abc", FactorCheck::NotNumber);
    bad("0", FactorCheck::OutOfRange);
    bad("-1", FactorCheck::OutOfRange);
    bad("1e-400", FactorCheck::OutOfRange);
    bad("1000.5", FactorCheck::OutOfRange);
    bad("1e400", FactorCheck::OutOfRange);
}

void TestOutputCheck::factor()
{
    QFETCH(QString, text);
    QFETCH(FactorCheck, check);
    QFETCH(double, value);
    double got = 0;
    QCOMPARE(checkFactor(text, &got), check);
    if (check == FactorCheck::Ok)
        QCOMPARE(got, value);
}

void TestOutputCheck::quotedTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << "abc"
                           << "abc";
    QTest::newRow("exactly 60") << QString(60, 'a') << QString(60, 'a');
    QTest::newRow("10 MB") << QString(10 * 1024 * 1024, 'a') << QString(60, 'a') + QChar(0x2026);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // two UTF-16 units
    QTest::newRow("not halving a character")
        << QString(59, 'a') + emoji + "b" << QString(59, 'a') + QChar(0x2026);
}

void TestOutputCheck::quotedTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(cutForMessage(text), shown);
}

QTEST_MAIN(TestOutputCheck)
#include "tst_outputcheck.moc"
