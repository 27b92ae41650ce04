#pragma once
// A plain, step-by-step statistics pass: every applicant re-reads and
// bubble-sorts the reference rows and searches its segment linearly, and the
// highest/lowest choice compares every applicant with every other. Slow on
// purpose; the differential test and the benchmark hold the real pass to it.

#include "core/stats.h"

namespace placeva::literal {

// What the main window shows of a pass: four lists with the applicant at row
// 2k and a separator at 2k+1, and the captions of lbl1 .. lbl9 ("" where the
// pass sets nothing).
struct PassTexts
{
    QStringList list1, list2, list4, list5;
    QString lbl[9];
    QString referenceNote;
};

// The typed result over these applicant rows written out as those texts.
PassTexts texts(const PassResult &result, const QVector<ApplicantRow> &applicants);

PassTexts statisticsPass(const QVector<ApplicantRow> &applicants, const QVector<ReferenceRow> &references,
                         const QString &factorText);

} // namespace placeva::literal
