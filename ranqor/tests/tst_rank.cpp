#include "rank.h"

#include <QtTest>

using ranqor::rankCaption;

class TestRank : public QObject
{
    Q_OBJECT

private slots:
    void binding_data();
    void binding();
    void everyRowAtItsBounds();
    void tableRunsOnWithoutGaps();
    void ranksNeverImproveAsTheAverageFalls();
    void fieldsOfTheLastRunStay();
};

void TestRank::binding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("caption");
    const QString no = ranqor::notEligibleText();
    const struct
    {
        double v;
        const char *c;
    } rows[] = {
        {100, "1"},
        {47, "1"},
        {46.99, "2"},
        {46, "2"},
        {45.99, "3"},
        {45.5, "3"},
        {45.499, "4"},
        {45.49, "4"},
        {45.48, "5"},
        {45, "7"},
        {40, "32"},
        {39.8, "33"},
        {39.77, "34"},
        {39.76, "34"},
        {39, "45"},
        {38.5, "52"},
        {38.49, "53"},
        {34, "190"},
        {30, "459"},
        {20, "2929"},
        {12, "9940"},
        {11, "11608"},
        {10, "13171"},
        {8.66, "16613"},
        {8.65, "16614"},
        {5.65, "25154"},
        {5.5, "26359"},
        {5.37, "27403"},
        {45.495, "4"},
        // the four shifted values of an average of 40, and of 6.5 and 5
        {40.4, "30"},
        {39.5, "38"},
        {6.9, "21612"},
        {6.0, "24183"},
        {6.5, "22755"},
        {5.4, "27162"},
    };
    for (const auto &r : rows)
        QTest::newRow(qPrintable(QString::number(r.v, 'g', 17))) << r.v << QString::fromLatin1(r.c);
    for (double v : {5.369, 0.0, -3.0, 5.0, 4.5, 3.5, -1e300})
        QTest::newRow(qPrintable(QString::number(v, 'g', 17))) << v << no;
}

void TestRank::binding()
{
    QFETCH(double, value);
    QFETCH(QString, caption);
    QCOMPARE(rankCaption(value), caption);
}

// At a run's upper bound the run's first rank; between runs too; half a step
// above the threshold its last rank; just below the threshold the next run.
void TestRank::everyRowAtItsBounds()
{
    const auto table = ranqor::rankTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const ranqor::RankRow &row = table[i];
        const QString at = QString::number(row.threshold);
        if (row.fixedRank) {
            QCOMPARE(rankCaption(row.threshold), QString::number(row.fixedRank));
        } else {
            QVERIFY2(rankCaption(row.high) == QString::number(row.firstRank), qPrintable(at));
            QVERIFY2(rankCaption(row.high + 0.005) == QString::number(row.firstRank), qPrintable(at));
            const double step = (row.high - row.threshold) / (row.lastRank - row.firstRank);
            QVERIFY2(rankCaption(row.threshold + step / 2) == QString::number(row.lastRank), qPrintable(at));
            // exactly on the threshold the repeated subtraction may land one past
            const int onLow = rankCaption(row.threshold).toInt();
            QVERIFY2(onLow == row.lastRank || onLow == row.lastRank + 1, qPrintable(at));
        }
        const QString below = rankCaption(row.threshold - 0.001);
        if (i + 1 < table.size()) {
            const ranqor::RankRow &next = table[i + 1];
            const int expected = next.fixedRank ? next.fixedRank : next.firstRank;
            QVERIFY2(below == QString::number(expected), qPrintable(at));
        } else {
            QCOMPARE(below, ranqor::notEligibleText());
        }
    }
}

void TestRank::tableRunsOnWithoutGaps()
{
    const auto table = ranqor::rankTable();
    int previousLast = 3;
    for (size_t i = 3; i < table.size(); ++i) {
        QCOMPARE(int(table[i].firstRank), previousLast + 1);
        QCOMPARE(table[i].high, table[i - 1].threshold - 0.01);
        QVERIFY(table[i].lastRank - table[i].firstRank >= 4);
        previousLast = table[i].lastRank;
    }
    QCOMPARE(previousLast, 27402);
}

void TestRank::ranksNeverImproveAsTheAverageFalls()
{
    int previous = 1;
    for (int hundredths = 5000; hundredths >= 537; --hundredths) {
        const int rank = rankCaption(hundredths / 100.0).toInt();
        QVERIFY2(rank >= previous && rank <= 27403, qPrintable(QString::number(hundredths)));
        previous = rank;
    }
}

void TestRank::fieldsOfTheLastRunStay()
{
    ranqor::RankFields f;
    f.RankAverage = 40;
    f.LookupRank();
    QCOMPARE(f.SegLow, 39.77);
    QCOMPARE(f.SegHigh, 45.49);
    QCOMPARE(int(f.SegFirstRank), 4);
    QCOMPARE(int(f.SegLastRank), 33);
    f.RankAverage = 100; // a fixed rank leaves them as they were
    QCOMPARE(f.LookupRank(), QString("1"));
    QCOMPARE(int(f.SegLastRank), 33);
    f.RankAverage = 1; // so does a value below the table
    f.LookupRank();
    QCOMPARE(f.SegLow, 39.77);
}

QTEST_APPLESS_MAIN(TestRank)
#include "tst_rank.moc"
