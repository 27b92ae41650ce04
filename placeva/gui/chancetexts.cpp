#include "gui/chancetexts.h"

#include "core/counsel.h"
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
    const ChoiceListLines lines =
        choiceListLines(pass.applicants.at(applicant), nearestErrorsOf(pass, applicant), priorities, table);
    const std::optional<ListChances> &chances = lines.chances;

    QString text;
    appendCsvRecord(text, choiceListHeaders());
    for (const SheetChoice &line : lines.priorities) {
        appendCsvRecord(text, {QString::number(line.priority), spreadsheetSafeText(line.choice),
                               line.limit ? QString::number(*line.limit) : QString(),
                               line.verdict ? verdictText(*line.verdict) : QString(),
                               line.chance ? QString::number(*line.chance) : QString(),
                               line.dead ? deadText() : QString()});
    }
    appendCsvRecord(text, {QString(), notAdmittedText(), QString(), QString(),
                           chances ? QString::number(chances->notAdmitted) : QString(),
                           chances && chances->noSafetyNet ? noSafetyNetText() : QString()});
    return csvFileBytes(text);
}

} // namespace placeva
