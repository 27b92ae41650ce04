#include "core/stats.h"
#include "gui/passtexts.h"
#include "testsupport/literal_pass.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <cstring>
#include <optional>

using namespace placeva;

namespace {

const QString NoRank = QStringLiteral(u"رتبه قابل تخمين نيست");
const QString Sep = QString(28, u'-');
const QString WideSep = QString(43, u'-');

// "null" is NULL, "empty" an empty text, "'x" the text x, otherwise a REAL.
QVariant cell(const QString &token)
{
    if (token == u"null")
        return QVariant();
    if (token == u"empty")
        return QString();
    if (token.startsWith(u'\''))
        return token.mid(1);
    bool ok = false;
    const double d = token.toDouble(&ok);
    return ok ? QVariant(d) : QVariant(token);
}

// "30:500 40:100" -> two Formol rows.
QVector<ReferenceRow> references(const QString &text)
{
    QVector<ReferenceRow> rows;
    for (const QString &pair : text.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(u':');
        rows.append({cell(parts[0]), cell(parts[1])});
    }
    return rows;
}

// "A=35;B='12.5" -> two Davtalab rows (the second average a TEXT).
QVector<ApplicantRow> applicants(const QString &text)
{
    QVector<ApplicantRow> rows;
    for (const QString &item : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(u'=');
        rows.append({cell(item.left(eq)), cell(item.mid(eq + 1))});
    }
    return rows;
}

QStringList captions(const literal::PassTexts &r)
{
    return QStringList(std::begin(r.lbl), std::end(r.lbl));
}

// The pass as the main window shows it.
literal::PassTexts pass(const QVector<ApplicantRow> &people, const QVector<ReferenceRow> &refs,
                        const QString &factor)
{
    return literal::texts(statisticsPass(people, refs, factor), people);
}

} // namespace

class TstStats : public QObject
{
    Q_OBJECT

private slots:
    void placementBand_data();
    void placementBand();
    void factorShown_data();
    void factorShown();
    void estimate_data();
    void estimate();
    void noEstimate_data();
    void noEstimate();
    void pointsKeepReadingOrder();
    void leftOutRows_data();
    void leftOutRows();
    void listLayout();
    void labels_data();
    void labels();
    void rowsWithoutNameOrAverage();
    void sumPastDoubleRange();
    void countsPastInt16();
    void rankTotalPast2to31();
    void differential();
    void earlierPassTakenOver();
    void sameOnAnyThreads_data();
    void sameOnAnyThreads();
};

void TstStats::placementBand_data()
{
    QTest::addColumn<int>("rank");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");

    const QString b[] = {
        QStringLiteral(u"تمام دانشگاهها"),
        QStringLiteral(u"روزانه خوب"),
        QStringLiteral(u"روزانه بد و شبانه خوب"),
        QStringLiteral(u"شبانه"),
        QStringLiteral(u"شبانه(بومي) و غير انتفاعي خيلي خوب"),
        QStringLiteral(u"غير انتفاعي خوب"),
        QStringLiteral(u"غير انتفاعي متوسط"),
        QStringLiteral(u"غير انتفاعي بد"),
        QStringLiteral(u"متاسفانه.."),
    };
    QTest::newRow("-2147483648") << INT32_MIN << b[0] << 123;
    QTest::newRow("0") << 0 << b[0] << 123;
    QTest::newRow("1") << 1 << b[0] << 123;
    QTest::newRow("40") << 40 << b[0] << 123;
    QTest::newRow("41") << 41 << b[1] << 123;
    QTest::newRow("100") << 100 << b[1] << 123;
    QTest::newRow("101") << 101 << b[2] << 123;
    QTest::newRow("350") << 350 << b[2] << 123;
    QTest::newRow("351") << 351 << b[3] << 23;
    QTest::newRow("600") << 600 << b[3] << 23;
    QTest::newRow("601") << 601 << b[4] << 3;
    QTest::newRow("800") << 800 << b[4] << 3;
    QTest::newRow("801") << 801 << b[5] << 3;
    QTest::newRow("2000") << 2000 << b[5] << 3;
    QTest::newRow("2001") << 2001 << b[6] << 3;
    QTest::newRow("5000") << 5000 << b[6] << 3;
    QTest::newRow("5001") << 5001 << b[7] << 3;
    QTest::newRow("11000") << 11000 << b[7] << 3;
    QTest::newRow("11001") << 11001 << b[8] << 0;
    QTest::newRow("2147483647") << INT32_MAX << b[8] << 0;
}

// The report and the results export show the factor as typed only where the
// whole text is the number the estimate scaled by.
void TstStats::factorShown_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("value");
    QTest::newRow("1.10") << "1.10"
                          << "1.10" << 1.1;
    QTest::newRow("2x") << "2x"
                        << "2" << 2.0;
    QTest::newRow("abc") << "abc"
                         << "0" << 0.0;
    QTest::newRow("1e400") << "1e400"
                           << "1e400" << 0.0;
}

void TstStats::factorShown()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(double, value);
    const PassResult r = statisticsPass({}, {}, typed);
    QCOMPARE(r.model->changeFactor().shown(), shown);
    QCOMPARE(r.model->factor(), value);
}

void TstStats::placementBand()
{
    QFETCH(int, rank);
    QFETCH(QString, text);
    QFETCH(int, code);
    QCOMPARE(bandText(bandOf(rank)), text);
    QCOMPARE(int(admissionCode(bandOf(rank))), code);
}

void TstStats::estimate_data()
{
    QTest::addColumn<QString>("refs");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<double>("avg");
    QTest::addColumn<int>("rank");

    const QString two = QStringLiteral("30:500 40:100");
    QTest::newRow("35 factor 1.00") << two << "1.00" << 35.0 << 300;
    QTest::newRow("35 factor 1.10") << two << "1.10" << 35.0 << 160;
    QTest::newRow("35 reverse order") << "40:100 30:500"
                                      << "1.00" << 35.0 << 300;
    QTest::newRow("45 beyond the last, below 0") << two << "1.00" << 45.0 << -100;
    QTest::newRow("20 before the first") << two << "1.00" << 20.0 << 900;
    QTest::newRow("-10 negative average") << two << "1.00" << -10.0 << 2100;
    QTest::newRow("30 on a point") << two << "1.00" << 30.0 << 500;
    QTest::newRow("40 on a point") << two << "1.00" << 40.0 << 100;
    QTest::newRow("35 factor abc") << two << "abc" << 35.0 << 1700;
    QTest::newRow("35 factor -1") << two << "-1" << 35.0 << 3100;
    QTest::newRow("0 factor 1e40") << two << "1e40" << 0.0 << 1700;
    QTest::newRow("45 inner segment") << "50:50 20:1000 40:100 30:500"
                                      << "1" << 45.0 << 75;
    QTest::newRow("30 on an inner point") << "20:1000 30:500 40:100 50:50"
                                          << "1" << 30.0 << 500;
    QTest::newRow("35 tie read 500 then 450") << "30:500 30:450 40:100"
                                              << "1" << 35.0 << 275;
    QTest::newRow("35 tie read 450 then 500") << "30:450 30:500 40:100"
                                              << "1" << 35.0 << 300;
    QTest::newRow("1 half to even") << "0:0 2:1"
                                    << "1" << 1.0 << 0;
    QTest::newRow("3 half to even") << "0:0 2:1"
                                    << "1" << 3.0 << 2;
    QTest::newRow("5 half to even") << "0:0 2:1"
                                    << "1" << 5.0 << 2;
    QTest::newRow("1000.1 single precision") << "1000:0 1001:100000000"
                                             << "1" << 1000.1 << 9997559;
    QTest::newRow("text reference rows") << "'30:'500 '40:'100"
                                         << "1" << 35.0 << 300;
    QTest::newRow("text Avg in Formol left out") << "'x:500 40:100 50:10"
                                                 << "1" << 45.0 << 55;
    QTest::newRow("NULL Rotbeh in Formol left out") << "30:500 40:100 50:null"
                                                    << "1" << 35.0 << 300;
    QTest::newRow("empty Avg in Formol left out") << "empty:1 30:500 40:100"
                                                  << "1" << 35.0 << 300;
    QTest::newRow("Rotbeh beyond 32 bits left out") << "30:500 35:3e9 40:100"
                                                    << "1" << 35.0 << 300;
}

void TstStats::estimate()
{
    QFETCH(QString, refs);
    QFETCH(QString, factor);
    QFETCH(double, avg);
    QFETCH(int, rank);
    const RankModel e(references(refs), factor);
    QCOMPARE(e.status(), RankModel::Status::Ready);
    const std::optional<std::int32_t> got = e.estimate(avg);
    QVERIFY(got.has_value());
    QCOMPARE(*got, rank);
}

void TstStats::noEstimate_data()
{
    QTest::addColumn<QString>("refs");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<double>("avg");

    const QString two = QStringLiteral("30:500 40:100");
    QTest::newRow("empty table") << ""
                                 << "1.00" << 35.0;
    QTest::newRow("single row") << "30:500"
                                << "1.00" << 35.0;
    QTest::newRow("30 on equal averages") << "30:500 30:450 40:100"
                                          << "1" << 30.0;
    QTest::newRow("25 before equal averages") << "30:500 30:450 40:100"
                                              << "1" << 25.0;
    QTest::newRow("factor 1e400") << two << "1e400" << 35.0;
    QTest::newRow("scaled beyond single") << two << "1e40" << 35.0;
    QTest::newRow("average beyond single") << two << "1" << 1e39;
    QTest::newRow("rank beyond 32 bits") << "0:0 1:2000000000"
                                         << "1" << 2.0;
    QTest::newRow("rank difference overflows") << "0:-2000000000 1:2000000000"
                                               << "1" << 0.5;
    QTest::newRow("one row left of two") << "30:500 40:null"
                                         << "1" << 35.0;
    QTest::newRow("Rotbeh beyond 32 bits") << "30:500 40:3e9"
                                           << "1" << 35.0;
    QTest::newRow("no row left") << "'x:500 empty:100"
                                 << "1" << 35.0;
}

void TstStats::noEstimate()
{
    QFETCH(QString, refs);
    QFETCH(QString, factor);
    QFETCH(double, avg);
    QCOMPARE(RankModel(references(refs), factor).estimate(avg), std::nullopt);
    // The pass lists no rank, no band and counts nothing for it.
    const literal::PassTexts r = pass({{QStringLiteral("A"), avg}}, references(refs), factor);
    QCOMPARE(r.list4, QStringList({QString(), Sep}));
    QCOMPARE(r.list5, QStringList({NoRank, WideSep}));
    QCOMPARE(captions(r).mid(4), QStringList({"", "0", "0", "0", "0"}));
}

void TstStats::pointsKeepReadingOrder()
{
    const RankModel e(references("40:100 30:500 35:1 30:450"), "1.5");
    QCOMPARE(e.factor(), 1.5);
    QStringList got;
    for (const RankModel::Point &p : e.points())
        got << QString::number(p.avg) + u':' + QString::number(p.rotbeh);
    QCOMPARE(got, QStringList({"30:500", "30:450", "35:1", "40:100"}));
}

void TstStats::leftOutRows_data()
{
    QTest::addColumn<QString>("refs");
    QTest::addColumn<int>("points");
    QTest::addColumn<QVector<qsizetype>>("leftOut"); // empty, not a number, out of range

    using Counts = QVector<qsizetype>;
    QTest::newRow("all readable") << "30:500 '40:'100" << 2 << Counts{0, 0, 0};
    QTest::newRow("NULL and empty") << "null:1 2:empty 30:500" << 1 << Counts{2, 0, 0};
    QTest::newRow("text, number with junk") << "'x:1 2:'12a 30:500 40:100" << 2 << Counts{0, 2, 0};
    QTest::newRow("blank beside text counts as blank") << "null:'x" << 0 << Counts{1, 0, 0};
    QTest::newRow("beyond single, beyond 32 bits") << "1e39:1 2:3e9 30:500" << 1 << Counts{0, 0, 2};
    QTest::newRow("one of each") << "null:1 'x:1 1e39:1" << 0 << Counts{1, 1, 1};
}

void TstStats::leftOutRows()
{
    QFETCH(QString, refs);
    QFETCH(int, points);
    QFETCH(QVector<qsizetype>, leftOut);
    const RankModel e(references(refs), QStringLiteral("1"));
    QCOMPARE(e.points().size(), points);
    const RankModel::LeftOut &got = e.leftOut();
    QCOMPARE(QVector<qsizetype>({got.empty, got.notANumber, got.outOfRange}), leftOut);
    // The pass names them; each reason only when it applies.
    const QString note = leftOutText(statisticsPass({}, references(refs), QStringLiteral("1")).leftOut);
    QCOMPARE(note.isEmpty(), got.total() == 0);
    QCOMPARE(note.startsWith(QString::number(got.total()) + QLatin1Char(' ')), got.total() > 0);
    const auto reasons = std::count_if(leftOut.begin(), leftOut.end(), [](qsizetype n) { return n > 0; });
    QCOMPARE(note.count(QStringLiteral(u"رديف")), reasons > 0 ? 1 + reasons : 0);
}

void TstStats::listLayout()
{
    const literal::PassTexts r =
        pass(applicants("Ali=35;Reza=45;Sara=10.25"), references("30:500 40:100"), "1.00");
    QCOMPARE(r.list1, QStringList({"Ali", Sep, "Reza", Sep, "Sara", Sep}));
    QCOMPARE(r.list2, QStringList({"35", Sep, "45", Sep, "10.25", Sep}));
    QCOMPARE(r.list4, QStringList({"300", Sep, "-100", Sep, "1290", Sep}));
    QCOMPARE(r.list5,
             QStringList({bandText(bandOf(300)), WideSep, bandText(bandOf(1)), WideSep,
                          bandText(bandOf(1290)), WideSep}));
    QCOMPARE(captions(r), QStringList({"3", "Reza", "Sara", "30.08", "496", "2", "0", "1", "0"}));
}

void TstStats::labels_data()
{
    QTest::addColumn<QString>("people");
    QTest::addColumn<QString>("refs");
    QTest::addColumn<QStringList>("lbl");

    const QString two = QStringLiteral("30:500 40:100");
    QTest::newRow("no applicants") << "" << two << QStringList{"0", "", "", "", "", "0", "0", "0", "0"};
    QTest::newRow("10.4 and 10.4") << "A=10.4;B=10.4"
                                   << "0:0 100:10000"
                                   << QStringList{"2", "B", "B", "10.40", "1040", "0", "0", "2", "0"};
    QTest::newRow("ranks 100 and 101")
        << "A=100;B=101"
        << "0:0 1000:1000" << QStringList{"2", "B", "A", "100.50", "100", "2", "0", "0", "0"};
    QTest::newRow("one applicant") << "A=12" << two
                                   << QStringList{"1", "A", "A", "12.00", "1220", "0", "0", "1", "0"};
    QTest::newRow("shared highest") << "A=38;B=32;C=38" << two
                                    << QStringList{"3", "C", "B", "36.00", "260", "2", "1", "0", "0"};
    QTest::newRow("shared lowest") << "A=32;B=38;C=32" << two
                                   << QStringList{"3", "B", "C", "34.00", "340", "1", "2", "0", "0"};
    QTest::newRow("empty Formol") << "A=12;B=15"
                                  << "" << QStringList{"2", "B", "A", "13.50", "", "0", "0", "0", "0"};
    QTest::newRow("no average anywhere")
        << "A=null;B=empty;C='abc" << two << QStringList{"3", "", "", "", "", "0", "0", "0", "0"};
    QTest::newRow("text averages") << "A=' 12.5 ;B='7" << two
                                   << QStringList{"2", "A", "B", "9.75", "1310", "0", "0", "2", "0"};
    QTest::newRow("some without rank")
        << "A=30;B=35"
        << "30:500 30:450 40:100" << QStringList{"2", "B", "A", "32.50", "275", "1", "0", "0", "0"};
    QTest::newRow("negative averages")
        << "A=-5;B=-7.5" << two << QStringList{"2", "A", "B", "-6.25", "1950", "0", "0", "2", "0"};
    QTest::newRow("0.3 and 0.30000000000000004 list alike")
        << "A=0.3;B=0.30000000000000004" << two
        << QStringList{"2", "B", "B", "0.30", "1688", "0", "0", "2", "0"};
    QTest::newRow("every code") << "A=40;B=351;C=601;D=11001"
                                << "0:0 100000:100000"
                                << QStringList{"4", "D", "A", "2998.25", "2998", "1", "1", "1", "1"};
}

void TstStats::labels()
{
    QFETCH(QString, people);
    QFETCH(QString, refs);
    QFETCH(QStringList, lbl);
    const literal::PassTexts r = pass(applicants(people), references(refs), "1.00");
    QCOMPARE(captions(r), lbl);
}

void TstStats::rowsWithoutNameOrAverage()
{
    const QVector<ApplicantRow> rows = {
        {QVariant(), 12.0},
        {QStringLiteral("B"), QVariant()},
        {QStringLiteral("C"), QString()},
        {QStringLiteral("D"), QStringLiteral("abc")},
        {QVariant(qlonglong(42)), QVariant(qlonglong(15))},
    };
    const literal::PassTexts r = pass(rows, references("0:0 100:1000"), "1.00");
    QCOMPARE(r.list1, QStringList({"", Sep, "B", Sep, "C", Sep, "D", Sep, "42", Sep}));
    QCOMPARE(r.list2, QStringList({"12", Sep, "", Sep, "", Sep, "abc", Sep, "15", Sep}));
    QCOMPARE(r.list4, QStringList({"120", Sep, "", Sep, "", Sep, "", Sep, "150", Sep}));
    QCOMPARE(r.list5.size(), 10);
    QCOMPARE(r.list5.mid(2, 6), QStringList({NoRank, WideSep, NoRank, WideSep, NoRank, WideSep}));
    QCOMPARE(captions(r), QStringList({"5", "42", "", "13.50", "135", "2", "0", "0", "0"}));
}

void TstStats::sumPastDoubleRange()
{
    // 1.7976931348623157e308 lists as 1.79769313486232E+308, which does not
    // read back as a double.
    const literal::PassTexts r =
        pass(applicants("A=1e308;B=1.7976931348623157e308;C=1e308"), references("30:500 40:100"), "1.00");
    QCOMPARE(r.list2[2], QStringLiteral("1.79769313486232E+308"));
    QCOMPARE(r.lbl[1], QStringLiteral("B"));
    QCOMPARE(r.lbl[2], QStringLiteral("C"));
    QVERIFY2(r.lbl[3].startsWith(u"12658977116"), qPrintable(r.lbl[3]));
    QCOMPARE(r.lbl[3].size(), 309 + 3);
    QCOMPARE(r.lbl[4], QString());
}

void TstStats::countsPastInt16()
{
    const QVector<ApplicantRow> rows(40000, ApplicantRow{QStringLiteral("A"), 10.0});
    const literal::PassTexts r = pass(rows, references("0:0 100:100"), "1");
    QCOMPARE(r.lbl[0], QStringLiteral("40000"));
    QCOMPARE(r.lbl[5], QStringLiteral("40000"));
}

void TstStats::rankTotalPast2to31()
{
    const literal::PassTexts r = pass(applicants("A=1;B=1;C=1"), references("0:0 1:2000000000"), "1");
    QCOMPARE(r.lbl[4], QStringLiteral("2000000000"));
    QCOMPARE(r.lbl[8], QStringLiteral("3"));
}

namespace {

QVariant randomAverage(QRandomGenerator &g)
{
    switch (g.bounded(26)) {
    case 0: return QVariant();
    case 1: return QString();
    case 2: return QStringLiteral("abc");
    case 3: return QString::number(g.bounded(-10, 60)) + QStringLiteral(".5");
    case 4: return qlonglong(g.bounded(-10, 60));
    case 5: return 1e39;
    case 6: return g.bounded(-2000, 6000) / 100.0;
    case 7: return g.bounded(2) ? 0.1 + 0.2 : 0.3; // list alike
    case 8: return g.bounded(2) ? QStringLiteral(" 7.5 ") : QStringLiteral("\r12");
    default: return g.bounded(-20, 120) / 2.0; // a small pool, for ties
    }
}

QVector<ReferenceRow> randomReferences(QRandomGenerator &g)
{
    const int n = g.bounded(5) == 0 ? g.bounded(2) : g.bounded(2, g.bounded(2) ? 12 : 60);
    QVector<ReferenceRow> rows;
    for (int i = 0; i < n; ++i) {
        QVariant rotbeh = g.bounded(1, 20000);
        switch (g.bounded(30)) {
        case 0: rotbeh = g.bounded(2) ? 2000000000 : -2000000000; break;
        case 1: rotbeh = QString::number(g.bounded(1, 900)); break;
        case 2: rotbeh = 1500.5; break;
        case 3: rotbeh = g.bounded(2) ? QVariant(3e9) : QVariant(QString()); break;
        }
        rows.append({double(g.bounded(0, 50)) / 2.0 + (g.bounded(4) == 0 ? 0.3 : 0.0), rotbeh});
    }
    if (n > 0 && g.bounded(5) == 0)
        rows[g.bounded(n)] = g.bounded(2) ? ReferenceRow{QVariant(), 10} : ReferenceRow{5.0, "x"};
    return rows;
}

} // namespace

void TstStats::differential()
{
    const QString factors[] = {"1.00", "1.1", "0.9", "abc", "-1", "1e40", "1e400", "0", " 1.2x", ""};
    for (quint32 seed = 1; seed <= 800; ++seed) {
        QRandomGenerator g(seed);
        QVector<ApplicantRow> people;
        const int n = g.bounded(10) == 0 ? 0 : g.bounded(1, 40);
        for (int i = 0; i < n; ++i)
            people.append({g.bounded(12) == 0 ? QVariant() : QVariant(QString::number(i)), randomAverage(g)});
        const QVector<ReferenceRow> refs = randomReferences(g);
        const QString &factor = factors[g.bounded(int(std::size(factors)))];

        const literal::PassTexts fast = pass(people, refs, factor);
        const literal::PassTexts slow = literal::statisticsPass(people, refs, factor);
        const QByteArray where = "seed " + QByteArray::number(seed);
        QVERIFY2(fast.list1 == slow.list1, where);
        QVERIFY2(fast.list2 == slow.list2, where);
        QVERIFY2(fast.list4 == slow.list4, where);
        QVERIFY2(fast.list5 == slow.list5, where);
        QVERIFY2(captions(fast) == captions(slow), where);
        QVERIFY2(fast.referenceNote == slow.referenceNote, where);
    }
}

// A pass that takes over an earlier one's results gives exactly a fresh
// pass's, whatever changed in between: a cell's value or only its type, a
// row added in front or dropped, a reference row, the factor.
void TstStats::earlierPassTakenOver()
{
    const QString factors[] = {"1.00", "1.1", "abc"};
    for (quint32 seed = 1; seed <= 400; ++seed) {
        QRandomGenerator g(seed);
        QVector<ApplicantRow> people;
        const int n = g.bounded(1, 30);
        for (int i = 0; i < n; ++i)
            people.append({QVariant(QString::number(i)), randomAverage(g)});
        QVector<ReferenceRow> refs = randomReferences(g);
        QString factor = factors[g.bounded(3)];
        const PassResult earlier = statisticsPass(people, refs, factor);

        QVector<ApplicantRow> now = people;
        QVector<ReferenceRow> nowRefs = refs;
        QString nowFactor = factor;
        const int at = g.bounded(n);
        switch (g.bounded(7)) {
        case 0: now[at].avg = randomAverage(g); break;
        case 1: now[at].avg = QString::number(cellNumber(now[at].avg).value_or(3)); break;
        case 2:
            now[at].avg = now[at].avg.typeId() == QMetaType::Double ? -now[at].avg.toDouble() : 0.0;
            break;
        case 3: now.prepend({QVariant("new"), randomAverage(g)}); break;
        case 4: now.remove(at); break;
        case 5:
            if (!nowRefs.isEmpty())
                nowRefs[g.bounded(int(nowRefs.size()))].rotbeh = g.bounded(1, 20000);
            break;
        default: nowFactor = factors[g.bounded(3)]; break;
        }
        const PassResult taken =
            statisticsPassAfter(EarlierPass{&earlier, &people, &refs, factor}, now, nowRefs, nowFactor);
        const PassResult fresh = statisticsPass(now, nowRefs, nowFactor);
        const QByteArray where = "seed " + QByteArray::number(seed);
        const literal::PassTexts a = literal::texts(taken, now), b = literal::texts(fresh, now);
        QVERIFY2(a.list1 == b.list1 && a.list2 == b.list2 && a.list4 == b.list4 && a.list5 == b.list5, where);
        QVERIFY2(captions(a) == captions(b) && a.referenceNote == b.referenceNote, where);
        for (qsizetype i = 0; i < now.size(); ++i) {
            const std::optional<LikelyRange> x = taken.applicants[i].range, y = fresh.applicants[i].range;
            QVERIFY2(x.has_value() == y.has_value() && (!x || (x->best == y->best && x->worst == y->worst)),
                     where);
        }
    }
}

namespace {

bool sameBits(const std::optional<double> &a, const std::optional<double> &b)
{
    return a.has_value() == b.has_value() && (!a || std::memcmp(&*a, &*b, sizeof(double)) == 0);
}

// Where two passes differ, to the last bit of every number; empty where they do not.
QByteArray firstDifference(const PassResult &a, const PassResult &b)
{
    if (a.applicants.size() != b.applicants.size())
        return "row count";
    for (qsizetype i = 0; i < a.applicants.size(); ++i) {
        const ApplicantResult &x = a.applicants[i], &y = b.applicants[i];
        const bool sameRange = x.range.has_value() == y.range.has_value()
            && (!x.range || (x.range->best == y.range->best && x.range->worst == y.range->worst));
        if (x.name != y.name || !sameBits(x.average, y.average) || x.rank != y.rank || x.band != y.band
            || !sameRange)
            return "row " + QByteArray::number(i);
    }
    const PassSummary &s = a.summary, &t = b.summary;
    if (s.count != t.count || s.highest != t.highest || s.lowest != t.lowest || s.meanRank != t.meanRank
        || !sameBits(s.meanAverage, t.meanAverage) || s.typicalError != t.typicalError)
        return "summary";
    if (s.count123 != t.count123 || s.count23 != t.count23 || s.count3 != t.count3 || s.count0 != t.count0)
        return "counts per code";
    if (a.leftOut.empty != b.leftOut.empty || a.leftOut.notANumber != b.leftOut.notANumber
        || a.leftOut.outOfRange != b.leftOut.outOfRange)
        return "reference rows left out";
    return {};
}

} // namespace

void TstStats::sameOnAnyThreads_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("references");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<int>("threads"); // 0: as many as the pass chooses
    QTest::addColumn<bool>("takenOver");
    QTest::newRow("3000 rows, 2 threads") << 3000 << 300 << "1.00" << 2 << false;
    QTest::newRow("3000 rows, 3 threads") << 3000 << 300 << "1.1" << 3 << false;
    QTest::newRow("300 rows, 4 threads") << 300 << 40 << "1" << 4 << false;
    QTest::newRow("5000 rows after an earlier pass, 2 threads") << 5000 << 300 << "1.00" << 2 << true;
    QTest::newRow("2000 rows, no reference row, 2 threads") << 2000 << 0 << "1" << 2 << false;
    QTest::newRow("2000 rows, factor 1e400, 2 threads") << 2000 << 300 << "1e400" << 2 << false;
    QTest::newRow("40000 rows, threads as chosen") << 40000 << 3000 << "0.9" << 0 << false;
}

// A pass shares its rows out among threads and gives exactly what one thread
// gives: every result, the counts, the mean (a sum of doubles, in row order),
// the highest and lowest of ties.
void TstStats::sameOnAnyThreads()
{
    QFETCH(int, rows);
    QFETCH(int, references);
    QFETCH(QString, factor);
    QFETCH(int, threads);
    QFETCH(bool, takenOver);

    QRandomGenerator g(quint32(rows + references));
    QVector<ApplicantRow> people;
    for (int i = 0; i < rows; ++i) {
        // Large and small numbers mixed, so that a sum in another order differs.
        QVariant avg = g.bounded(3) == 0
            ? QVariant(g.bounded(1, 1000) * std::pow(10.0, g.bounded(10, 17)) + g.bounded(100) / 7.0)
            : randomAverage(g);
        people.append({g.bounded(20) == 0 ? QVariant() : QVariant(QString::number(i)), avg});
    }
    QVector<ReferenceRow> refs;
    for (int i = 0; i < references; ++i)
        refs.append({g.bounded(-2000, 12000) / 100.0 + (i % 50 == 0 ? 0.3 : 0.0),
                     i % 97 == 0 ? QVariant(QStringLiteral("x")) : QVariant(g.bounded(1, 40000))});

    std::optional<PassResult> earlier;
    QVector<ApplicantRow> earlierPeople = people;
    if (takenOver) {
        setPassThreads(1);
        earlier = statisticsPass(earlierPeople, refs, factor);
        for (int i = 0; i < rows; i += 7)
            people[i].avg = randomAverage(g);
    }
    const auto run = [&](int count) {
        setPassThreads(count);
        return earlier ? statisticsPassAfter(EarlierPass{&*earlier, &earlierPeople, &refs, factor}, people,
                                             refs, factor)
                       : statisticsPass(people, refs, factor);
    };
    const PassResult alone = run(1);
    const PassResult shared = run(threads);
    setPassThreads(0);
    const QByteArray difference = firstDifference(alone, shared);
    QVERIFY2(difference.isEmpty(), difference);
    QVERIFY(alone.summary.highest && alone.summary.meanAverage);
}

QTEST_GUILESS_MAIN(TstStats)
#include "tst_stats.moc"
