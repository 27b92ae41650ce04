#include "core/figures.h"

#include "numbers.h"

namespace placeva {

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
