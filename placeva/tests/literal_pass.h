#pragma once
// A plain, step-by-step statistics pass: every applicant re-reads and
// bubble-sorts the reference rows and searches its segment linearly, and the
// highest/lowest choice compares every applicant with every other. Slow on
// purpose; the differential test and the benchmark hold the real pass to it.

#include "stats.h"

namespace placeva::literal {

PassResult statisticsPass(const QVector<ApplicantRow> &applicants,
                          const QVector<ReferenceRow> &references,
                          const QString &factorText);

} // namespace placeva::literal
