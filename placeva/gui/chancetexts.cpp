#include "gui/chancetexts.h"

#include "core/csv.h"
#include "core/stats.h"
#include "gui/passtexts.h"

namespace placeva {

QString chanceText(int percent)
{
    return QStringLiteral(u"شانس: %1%").arg(percent);
}

QString deadText()
{
    return QStringLiteral(u"بي اثر");
}

QString deadReason(const DeadPriority &dead, const QStringList &priorityCaptions)
{
    if (!dead.byEarlier)
        return QStringLiteral(u"اين انتخاب حد قبولي ندارد و هيچ رتبه اي را نمي پذيرد");
    return QStringLiteral(u"%1 هر رتبه اي را که اين انتخاب مي پذيرد زودتر مي پذيرد").arg(priorityCaptions.value(*dead.byEarlier));
}

QString noSafetyNetText()
{
    return QStringLiteral(u"هيچ اولويتي بدترين رتبه محتمل را نمي پذيرد");
}

QStringList choiceListHeaders()
{
    return QStringLiteral(u"اولويت,انتخاب,حد قبولي,پيش بيني,شانس قبولي (درصد),توضيح").split(QLatin1Char(','));
}

QByteArray choiceListCsv(const PassResult &pass, qsizetype applicant, const QStringList &priorities,
                         const ChoiceTable &table)
{
    const ApplicantResult &a = pass.applicants.at(applicant);
    std::vector<PriorityLimit> list;
    for (const QString &choice : priorities)
        list.push_back({!choice.isEmpty(), admissionLimit(choice, table)});
    const std::vector<std::optional<DeadPriority>> dead = deadPriorities(list);
    const std::optional<ListChances> chances = listChances(list, a.rank, nearestErrorsOf(pass, applicant));

    QString text;
    appendCsvRecord(text, choiceListHeaders());
    for (qsizetype i = 0; i < priorities.size(); ++i) {
        const QString &choice = priorities.at(i);
        const std::optional<std::int32_t> limit = admissionLimit(choice, table);
        // The verdict as the choice list shows it: without an estimate the rank reads as 0.
        const std::optional<Verdict> verdict = choiceVerdict(choice, a.rank.value_or(0), a.range, table);
        const std::optional<int> percent = chances ? chances->percent[size_t(i)] : std::nullopt;
        appendCsvRecord(text, {QString::number(i + 1), spreadsheetSafeText(choice),
                               limit ? QString::number(*limit) : QString(),
                               verdict ? verdictText(*verdict) : QString(),
                               percent ? QString::number(*percent) : QString(),
                               dead[size_t(i)] ? deadText() : QString()});
    }
    appendCsvRecord(text, {QString(), notAdmittedText(), QString(), QString(),
                           chances ? QString::number(chances->notAdmitted) : QString(),
                           chances && chances->noSafetyNet ? noSafetyNetText() : QString()});
    return csvFileBytes(text);
}

} // namespace placeva
