#include "gui/passtexts.h"

#include "bidi.h"
#include "gui/charttexts.h"
#include "numbers.h"

namespace placeva {

QString listSeparator()
{
    static const QString s(28, u'-');
    return s;
}

QString bandSeparator()
{
    static const QString s(43, u'-');
    return s;
}

QString noRankText()
{
    return QStringLiteral(u"رتبه قابل تخمين نيست");
}

QString leftOutText(const RankModel::LeftOut &leftOut)
{
    if (leftOut.total() == 0)
        return {};
    QStringList why;
    if (leftOut.empty > 0)
        why << QStringLiteral(u"ميانگين يا رتبه %1 رديف خالي است").arg(leftOut.empty);
    if (leftOut.notANumber > 0)
        why << QStringLiteral(u"ميانگين يا رتبه %1 رديف عدد نيست").arg(leftOut.notANumber);
    if (leftOut.outOfRange > 0)
        why << QStringLiteral(u"ميانگين يا رتبه %1 رديف بيرون از محدوده است").arg(leftOut.outOfRange);
    return QStringLiteral(
               u"%1 رديف جدول ⁨Formol⁩ در تخمين رتبه به کار نرفت: %2.")
        .arg(leftOut.total())
        .arg(why.join(QStringLiteral(u"، ")));
}

QString bandText(Band band)
{
    switch (band) {
    case Band::AllUniversities: return QStringLiteral(u"تمام دانشگاهها");
    case Band::GoodDay: return QStringLiteral(u"روزانه خوب");
    case Band::PoorDayGoodEvening: return QStringLiteral(u"روزانه بد و شبانه خوب");
    case Band::Evening: return QStringLiteral(u"شبانه");
    case Band::LocalEveningVeryGoodPrivate: return QStringLiteral(u"شبانه(بومي) و غير انتفاعي خيلي خوب");
    case Band::GoodPrivate: return QStringLiteral(u"غير انتفاعي خوب");
    case Band::MiddlePrivate: return QStringLiteral(u"غير انتفاعي متوسط");
    case Band::PoorPrivate: return QStringLiteral(u"غير انتفاعي بد");
    case Band::Beyond: return QStringLiteral(u"متاسفانه..");
    case Band::NoRank: break;
    }
    return noRankText();
}

QString bestRankText(const std::optional<LikelyRange> &range)
{
    return range ? QString::number(range->best) : QString();
}

QString worstRankText(const std::optional<LikelyRange> &range)
{
    return range ? QString::number(range->worst) : QString();
}

QString rangeText(const std::optional<LikelyRange> &range)
{
    if (!range)
        return QString();
    // Each number isolated left to right, so that a minus sign stays on its
    // left within right-to-left text.
    return QStringLiteral(u"%1 تا %2")
        .arg(common::isolate(QString::number(range->best)), common::isolate(QString::number(range->worst)));
}

QString typicalErrorText(std::int64_t ranks)
{
    return QStringLiteral(u"خطاي معمول تخمين: %1 رتبه").arg(ranks);
}

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Safe: return QStringLiteral(u"قبولي مطمئن");
    case Verdict::Likely: return QStringLiteral(u"قبولي محتمل");
    case Verdict::Reach: return QStringLiteral(u"قبولي شانسي");
    case Verdict::Out: break;
    }
    return QStringLiteral(u"قبول نمي شود");
}

QString requiredAverageText(const TargetAnswer &answer)
{
    switch (answer.kind) {
    case TargetAnswer::NotARank: return {};
    case TargetAnswer::NoEstimate: return QString::fromUtf16(chart_texts::kNoEstimate);
    case TargetAnswer::Unreachable: return QString::fromUtf16(chart_texts::kUnreachable);
    case TargetAnswer::Found: break;
    }
    return common::fixed2Text(answer.average());
}

QString boundsText()
{
    QStringList bounds;
    for (const BandBound &b : bandTable())
        bounds << QString::number(b.upTo);
    const QString last = bounds.takeLast();
    return bounds.join(QStringLiteral(u"، ")) + QStringLiteral(u" و ") + last;
}

QString factorCaption()
{
    return QString::fromUtf16(kFactorCaption);
}

const std::array<QString, kFigureCount> &figureCaptions()
{
    static const std::array<QString, kFigureCount> captions{
        QStringLiteral(u"تعداد داوطلبان:"),
        QStringLiteral(u"نفر اول"),
        QStringLiteral(u"نفر آخر"),
        QStringLiteral(u"ميانگين کل داوطلبان"),
        QStringLiteral(u"ميانگين کل رتبه داوطلبان"),
        QStringLiteral(u"تعداد افراد ي که روزانه و شبانه قبول ميشوند"),
        QStringLiteral(u"تعداد افرادي که فقط شبانه و غيرانتفاعي قبول ميشوند"),
        QStringLiteral(u"تعداد افرادي که فقط غير انتفاعي قبول ميشوند"),
        QStringLiteral(u"تعداد افرادي که قبول نمي شوند"),
    };
    return captions;
}

std::array<QString, kFigureCount> figureTexts(const PassResult &pass)
{
    const PassSummary &s = pass.summary;
    const auto nameAt = [&pass](const std::optional<qsizetype> &k) {
        return k ? pass.applicants.at(*k).name : QString();
    };
    return {
        QString::number(s.count),
        nameAt(s.highest),
        nameAt(s.lowest),
        s.meanAverage ? common::fixed2Text(*s.meanAverage) : QString(),
        s.meanRank ? QString::number(*s.meanRank) : QString(),
        QString::number(s.count123),
        QString::number(s.count23),
        QString::number(s.count3),
        QString::number(s.count0),
    };
}

} // namespace placeva
