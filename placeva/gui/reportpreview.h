#pragma once
// The report on the screen: its progress dialog and the print preview from
// which the user prints.

#include "gui/report.h"

class QWidget;

namespace placeva {

// A progress dialog over `parent` that opens once the work takes a moment; its
// cancel button makes the function return false. It lives as long as the
// function.
ReportProgress reportProgressDialog(QWidget *parent, const QString &label);

// The print preview, from which the user prints; printing to a file that is
// the open database (or one of SQLite's files beside it) is refused.
void previewAndPrintReport(const ReportData &data, QWidget *parent, const QString &databaseFile = QString());

} // namespace placeva
