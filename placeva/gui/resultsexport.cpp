#include "gui/resultsexport.h"

#include "core/csv.h"
#include "gui/passtexts.h"

namespace placeva {

QStringList resultHeaders()
{
    return {QStringLiteral(u"نام داوطلب"),        QStringLiteral(u"ميانگين"),
            QStringLiteral(u"رتبه تخميني"),       QStringLiteral(u"بهترين رتبه محتمل"),
            QStringLiteral(u"بدترين رتبه محتمل"), QStringLiteral(u"وضعيت قبولي")};
}

CsvExport resultsCsv(const PassResult &pass, const QVector<ApplicantRow> &applicants)
{
    CsvExport result;
    QString text;
    const QString factor = pass.model ? pass.model->changeFactor().shown() : QString();
    appendCsvRecord(text, {factorCaption(), spreadsheetSafeText(factor)});
    appendCsvRecord(text, resultHeaders());
    for (qsizetype i = 0; i < pass.applicants.size(); ++i) {
        const ApplicantResult &a = pass.applicants[i];
        appendCsvRecord(text,
                        {spreadsheetSafeText(a.name), spreadsheetSafeText(averageText(applicants.value(i))),
                         spreadsheetSafeText(rankText(a.rank)), bestRankText(a.range), worstRankText(a.range),
                         spreadsheetSafeText(bandText(a.band))});
        ++result.rows;
    }
    result.bytes = csvFileBytes(text);
    return result;
}

} // namespace placeva
