#pragma once
// The computed-results spreadsheet: the change factor on a line above the
// header, then one row per applicant of a statistics pass (name, average,
// estimated rank, best and worst likely rank, band). The menu and the command
// line write the same bytes.

#include "core/csvexport.h"
#include "core/stats.h"

#include <QStringList>
#include <QVector>

namespace placeva {

// The column headers of the computed results file.
QStringList resultHeaders();

// The pass over these applicant rows (for the averages as listed).
CsvExport resultsCsv(const PassResult &pass, const QVector<ApplicantRow> &applicants);

} // namespace placeva
