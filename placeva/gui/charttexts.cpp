#include "gui/charttexts.h"

#include "gui/chartparts.h"
#include "gui/passtexts.h"

#include <QStringList>

namespace placeva {

using namespace chart_texts;
using namespace chart_parts;

namespace {

QString factorText(const RankModel *model)
{
    return model ? model->changeFactor().shown() : QString();
}

} // namespace

QString chartTitle(const RankModel *model)
{
    return text(kChartCaption) + QStringLiteral(" (") + text(kFactorCaption) + QStringLiteral(": ")
        + factorText(model) + u')';
}

QString chartNote(const ChartData &data, bool logY, qsizetype applicantsLeftOut, qsizetype referencesLeftOut)
{
    QStringList notes;
    if (const QString leftOut = leftOutText(data.leftOut); !leftOut.isEmpty())
        notes << leftOut;
    if (data.model && data.model->typicalError())
        notes << typicalErrorText(*data.model->typicalError());
    if (logY && (applicantsLeftOut > 0 || referencesLeftOut > 0)) {
        notes << QStringLiteral(
                     u"در مقياس لگاريتمي %1 داوطلب و %2 نتيجه مرجع با رتبه صفر يا کمتر نشان داده نشده است.")
                     .arg(applicantsLeftOut)
                     .arg(referencesLeftOut);
    }
    return notes.join(u' ');
}

QString chartDescription(const ChartData &data, bool bandDrawn, const QString &note, const TargetAnswer &target,
                         const QString &required)
{
    QStringList parts;
    parts << QStringLiteral(u"محور افقي: ميانگين ضرب در %1 %2؛ محور عمودي: رتبه، رتبه بهتر در بالا.")
                 .arg(text(kFactorCaption), factorText(data.model.get()));
    if (data.status == RankModel::Status::Ready)
        parts << QStringLiteral(u"%1 نتيجه مرجع به صورت نقطه و خط تخمين رتبه از ميان آنها.")
                     .arg(data.references.size());
    else
        parts << QStringLiteral(u"%1 نتيجه مرجع؛ %2.").arg(data.references.size()).arg(text(kNoEstimate));
    parts << QStringLiteral(u"%1 داوطلب از %2 داوطلب با رتبه تخميني.")
                 .arg(data.applicants.size())
                 .arg(data.applicantCount);
    if (bandDrawn)
        parts << QStringLiteral(u"%1 به صورت ناحيه سايه دار دور خط تخمين.").arg(text(kLikelyBand));
    parts << QStringLiteral(u"خطوط افقي مرزهاي رتبه: %1.").arg(boundsText());
    if (!note.isEmpty())
        parts << note;
    if (target.kind != TargetAnswer::NotARank)
        parts << QStringLiteral(u"رتبه هدف %1، %2 %3.").arg(target.target).arg(text(kRequiredCaption), required);
    return parts.join(u' ');
}

QString applicantsToolTip(const QVector<ApplicantResult> &listed, const QVector<ApplicantRow> &rows,
                          const QVector<qsizetype> &at)
{
    QStringList lines;
    for (qsizetype i = 0; i < at.size() && i < kMostInToolTip; ++i) {
        // The pass's own range: nothing is estimated again for a tooltip.
        const ApplicantResult a = listed.value(at[i]);
        const std::optional<LikelyRange> &range = a.range;
        const QString rank = range ? text(kLikelyRank).arg(rankText(a.rank)).arg(range->best).arg(range->worst)
                                   : QStringLiteral(u"رتبه: ") + rankText(a.rank);
        lines << kRlm + a.name + QStringLiteral(u" \u2014 ميانگين: ") + averageText(rows.value(at[i]))
                + QStringLiteral(u" \u2014 ") + rank;
    }
    if (at.size() > kMostInToolTip)
        lines << kRlm + QStringLiteral(u"و %1 نفر ديگر").arg(at.size() - kMostInToolTip);
    return lines.join(u'\n');
}

QString referencesToolTip(const QVector<QPointF> &references, const QVector<qsizetype> &at)
{
    QStringList lines;
    for (qsizetype i = 0; i < at.size() && i < kMostInToolTip; ++i) {
        const QPointF &p = references[at[i]];
        lines << kRlm + QStringLiteral(u"نتيجه مرجع \u2014 ميانگين: ") + singleText(float(p.x()))
                + QStringLiteral(u" \u2014 رتبه: ") + QString::number(qint64(p.y()));
    }
    if (at.size() > kMostInToolTip)
        lines << kRlm + QStringLiteral(u"و %1 نتيجه ديگر").arg(at.size() - kMostInToolTip);
    return lines.join(u'\n');
}

QString targetToolTip(std::int32_t target, const QString &required)
{
    return kRlm + text(kTargetCaption) + u' ' + QString::number(target) + u'\n' + kRlm + text(kRequiredCaption)
        + u' ' + required;
}

} // namespace placeva
