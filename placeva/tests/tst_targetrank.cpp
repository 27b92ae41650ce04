// The average a target rank needs, held to the statistics pass itself: every
// hundredth from -33.33 to 100 listed as an applicant, the smallest one whose
// listed rank is the target or better.

#include "core/stats.h"
#include "core/targetrank.h"
#include "gui/charttexts.h"
#include "gui/passtexts.h"
#include "numbers.h"
#include "testsupport/literal_pass.h"

#include <QRandomGenerator>
#include <QTest>

using namespace placeva;

namespace {

const QString kNoEstimate = QString::fromUtf16(chart_texts::kNoEstimate);
const QString kUnreachable = QString::fromUtf16(chart_texts::kUnreachable);

// "30:500 40:100" -> two Formol rows.
QVector<ReferenceRow> references(const QString &text)
{
    QVector<ReferenceRow> rows;
    for (const QString &pair : text.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(u':');
        rows.append({parts[0].toDouble(), parts[1].toDouble()});
    }
    return rows;
}

// Every hundredth of the searched range as an applicant, its average typed
// with two decimals (a TEXT) or stored as a REAL.
QVector<ApplicantRow> everyHundredth(bool asText)
{
    QVector<ApplicantRow> rows;
    rows.reserve(kHighestHundredth - kLowestHundredth + 1);
    for (int h = kLowestHundredth; h <= kHighestHundredth; ++h) {
        const double avg = h / 100.0;
        rows.append({QString::number(h), asText ? QVariant(common::fixed2Text(avg)) : QVariant(avg)});
    }
    return rows;
}

// The plain search: the first listed applicant whose rank is the target or
// better; its average as the list shows it with two decimals.
QString plainSearch(const literal::PassTexts &pass, qint64 target)
{
    for (qsizetype k = 0; 2 * k < pass.list4.size(); ++k) {
        const QString &rank = pass.list4[2 * k];
        if (!rank.isEmpty() && rank.toLongLong() <= target)
            return common::fixed2Text(common::leadingNumber(pass.list2[2 * k]));
    }
    return kUnreachable;
}

QVector<ReferenceRow> randomReferences(QRandomGenerator &g)
{
    const int n = g.bounded(8) == 0 ? 2 : g.bounded(2, g.bounded(2) ? 8 : 40);
    const bool monotone = g.bounded(3) == 0;
    QVector<ReferenceRow> rows;
    for (int i = 0; i < n; ++i) {
        // A small pool of averages, for ties; some negative.
        const double avg = g.bounded(-20, 110) / (g.bounded(3) == 0 ? 3.0 : 2.0);
        const int rank =
            monotone ? std::max(1, int((100 - avg) * 150)) + g.bounded(0, 3) : g.bounded(-500, 25000);
        rows.append({avg, rank});
    }
    return rows;
}

} // namespace

class TstTargetRank : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void answer_data();
    void answer();
    void everyHundredthReadsBackAsItself();
    void againstThePass();
    void againstTheLiteralMethod();
};

void TstTargetRank::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("rank"); // 0: not a target rank

    QTest::newRow("300") << "300" << qint64(300);
    QTest::newRow("1") << "1" << qint64(1);
    QTest::newRow("2147483647") << "2147483647" << qint64(2147483647);
    QTest::newRow("surrounded by blanks") << "  300 " << qint64(300);
    QTest::newRow("tab and line feed") << "\t300\n" << qint64(300);
    QTest::newRow("Persian digits") << QStringLiteral(u"۳۰۰") << qint64(300);
    QTest::newRow("Arabic-Indic digits") << QStringLiteral(u"٣٠٠") << qint64(300);
    QTest::newRow("mixed digit sets") << QStringLiteral(u"3۰٠") << qint64(300);
    QTest::newRow("leading zeros") << "000000000000000000042" << qint64(42);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("blanks only") << "   " << qint64(0);
    QTest::newRow("0") << "0" << qint64(0);
    QTest::newRow("000") << "000" << qint64(0);
    QTest::newRow("2147483648") << "2147483648" << qint64(0);
    QTest::newRow("99999999999999999999") << "99999999999999999999" << qint64(0);
    QTest::newRow("plus sign") << "+300" << qint64(0);
    QTest::newRow("minus sign") << "-300" << qint64(0);
    QTest::newRow("decimal point") << "300.0" << qint64(0);
    QTest::newRow("Arabic decimal separator") << QStringLiteral(u"۳۰۰٫۵") << qint64(0);
    QTest::newRow("blank inside") << "3 00" << qint64(0);
    QTest::newRow("trailing letter") << "300a" << qint64(0);
    QTest::newRow("exponent") << "3e2" << qint64(0);
    QTest::newRow("hexadecimal") << "&H12C" << qint64(0);
    QTest::newRow("fullwidth digits") << QStringLiteral(u"３００") << qint64(0);
}

void TstTargetRank::parse()
{
    QFETCH(QString, text);
    QFETCH(qint64, rank);
    const std::optional<std::int32_t> got = parseTargetRank(text);
    QCOMPARE(got.has_value(), rank != 0);
    if (got)
        QCOMPARE(qint64(*got), rank);
}

void TstTargetRank::answer_data()
{
    QTest::addColumn<QString>("refs");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("shown");

    const QString two = QStringLiteral("30:500 40:100");
    // 500 - 40 * (35 - 30) = 300; at 34.99 the estimate is 300.4, listed as 300.
    QTest::newRow("rounding to the rank counts") << two << "1.00"
                                                 << "300"
                                                 << "34.99";
    QTest::newRow("Persian digits") << two << "1.00" << QStringLiteral(u"۳۰۰") << "34.99";
    QTest::newRow("factor 1.10") << two << "1.10"
                                 << "160"
                                 << "34.99";
    QTest::newRow("extrapolated past the last point") << two << "1.00"
                                                      << "1"
                                                      << "42.47";
    QTest::newRow("a rank no average reaches") << "30:500 40:400 50:450"
                                               << "1"
                                               << "1" << kUnreachable;
    QTest::newRow("ranks rising with the average") << "30:100 40:500"
                                                   << "1"
                                                   << "1"
                                                   << "-33.33";
    QTest::newRow("every average qualifies") << two << "1"
                                             << "2147483647"
                                             << "-33.33";
    QTest::newRow("only the range's top") << "0:20000 100:1"
                                          << "1"
                                          << "1"
                                          << "100.00";
    QTest::newRow("flat results") << "30:5000 40:5000"
                                  << "1"
                                  << "100" << kUnreachable;
    // Averages up to 30 fall on the first segment, of two equal averages.
    QTest::newRow("equal averages first, no estimate below") << "30:100 30:900 40:1000"
                                                             << "1"
                                                             << "950"
                                                             << "30.01";
    QTest::newRow("equal averages only") << "30:100 30:900"
                                         << "1"
                                         << "1000" << kUnreachable;
    QTest::newRow("negative factor") << "30:100 40:500"
                                     << "-1"
                                     << "1"
                                     << "-27.53";
    QTest::newRow("factor 0: one rank for all") << two << "0"
                                                << "1700"
                                                << "-33.33";
    QTest::newRow("factor 0: not reached") << two << "abc"
                                           << "1699" << kUnreachable;
    QTest::newRow("factor beyond single precision") << two << "1e40"
                                                    << "1700"
                                                    << "0.00";
    QTest::newRow("no reference rows") << ""
                                       << "1"
                                       << "300" << kNoEstimate;
    QTest::newRow("one reference row") << "30:500"
                                       << "1"
                                       << "300" << kNoEstimate;
    QTest::newRow("factor past the double range") << two << "1e400"
                                                  << "300" << kNoEstimate;
    QTest::newRow("not a rank comes first") << ""
                                            << "1"
                                            << "abc"
                                            << "";
    QTest::newRow("empty target") << two << "1"
                                  << ""
                                  << "";
    QTest::newRow("0 is no rank") << two << "1"
                                  << "0"
                                  << "";
}

void TstTargetRank::answer()
{
    QFETCH(QString, refs);
    QFETCH(QString, factor);
    QFETCH(QString, target);
    QFETCH(QString, shown);
    const RankModel estimator(references(refs), factor);
    const TargetAnswer a = requiredAverage(estimator, target);
    QCOMPARE(requiredAverageText(a), shown);
    if (a.kind == TargetAnswer::Found) {
        QCOMPARE(estimator.estimate(a.average()), std::optional<std::int32_t>(a.rank));
        QVERIFY(a.rank <= a.target);
    }
}

void TstTargetRank::everyHundredthReadsBackAsItself()
{
    // The searched average is the double a stored or typed "x.yz" reads as,
    // and its text is that "x.yz" again.
    for (int h = kLowestHundredth; h <= kHighestHundredth; ++h) {
        const QString shown = common::fixed2Text(hundredthsAverage(h));
        QVERIFY2(common::leadingNumber(shown) == hundredthsAverage(h), qPrintable(shown));
        QVERIFY2(shown.toDouble() == hundredthsAverage(h), qPrintable(shown));
        QCOMPARE(qRound(shown.toDouble() * 100), h);
    }
}

void TstTargetRank::againstThePass()
{
    const QString factors[] = {"1.00", "1.1", "0.9", "-1", "0", "2.5", "0.333", "abc"};
    for (quint32 seed = 1; seed <= 60; ++seed) {
        QRandomGenerator g(seed);
        const QVector<ReferenceRow> refs = randomReferences(g);
        const QString &factor = factors[g.bounded(int(std::size(factors)))];
        const bool asText = g.bounded(2) == 0;
        const QVector<ApplicantRow> hundredths = everyHundredth(asText);
        const literal::PassTexts pass = literal::texts(statisticsPass(hundredths, refs, factor), hundredths);
        const RankModel estimator(refs, factor);

        QVector<qint64> targets{1, 2147483647};
        for (int i = 0; i < 6; ++i) {
            // Ranks the pass listed, and their neighbours.
            const QString listed = pass.list4[2 * g.bounded(int(pass.list4.size() / 2))];
            if (!listed.isEmpty())
                targets << std::max<qint64>(1, listed.toLongLong() + g.bounded(-1, 2));
            targets << g.bounded(1, 30000);
        }
        for (qint64 target : std::as_const(targets)) {
            const QByteArray where =
                "seed " + QByteArray::number(seed) + " target " + QByteArray::number(target);
            const QString got = requiredAverageText(requiredAverage(estimator, QString::number(target)));
            QVERIFY2(got == plainSearch(pass, target), where + " got " + got.toUtf8());
        }
    }
}

void TstTargetRank::againstTheLiteralMethod()
{
    // The step-by-step method on a few small tables: each hundredth a pass
    // of its own that sorts and searches the reference rows afresh.
    for (quint32 seed = 100; seed < 104; ++seed) {
        QRandomGenerator g(seed);
        QVector<ReferenceRow> refs;
        const int n = g.bounded(2, 12);
        for (int i = 0; i < n; ++i)
            refs.append({g.bounded(-10, 30) * 2.5, g.bounded(-100, 12000)});
        const QString factor = seed % 2 ? QStringLiteral("1.00") : QStringLiteral("1.05");
        const RankModel estimator(refs, factor);
        const QVector<ApplicantRow> hundredths = everyHundredth(true);
        literal::PassTexts pass;
        for (const ApplicantRow &one : hundredths) {
            const literal::PassTexts r = literal::statisticsPass({one}, refs, factor);
            pass.list2 << r.list2;
            pass.list4 << r.list4;
        }
        for (qint64 target : {1, 40, 100, 350, 600, 800, 2000, 5000, 11000}) {
            const QByteArray where =
                "seed " + QByteArray::number(seed) + " target " + QByteArray::number(target);
            QVERIFY2(requiredAverageText(requiredAverage(estimator, std::int32_t(target)))
                         == plainSearch(pass, target),
                     where);
        }
    }
}

QTEST_GUILESS_MAIN(TstTargetRank)
#include "tst_targetrank.moc"
