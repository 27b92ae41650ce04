#pragma once
// The counsellors' report: title, date in the Persian calendar, change factor,
// the nine summary figures and a table of every applicant, laid out right to
// left on as many pages as it needs, the table's header on every page and a
// page number at the foot. Printed through a print preview or saved as PDF.

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;
class QWidget;

namespace placeva {

struct ReportData
{
    QString title;
    QString date;
    QString factorCaption;
    QString factorText;
    QString typicalError;                   // told beside the change factor; empty without one
    QString note;                           // the reference rows the estimate left out; empty when none
    QList<QPair<QString, QString>> figures; // caption, value
    QStringList headers;                    // see reportHeaders()
    QList<QStringList> rows;                // one per applicant, as the headers
};

// The applicant table's columns: name, average, estimated rank, likely range, band.
QStringList reportHeaders();

// yyyy/MM/dd in the Solar Hijri calendar.
QString persianDate(QDate date);

class Workspace;

// What the workspace's last statistics pass found, with the change factor it used.
ReportData reportDataFor(const Workspace &workspace, QDate today = QDate::currentDate());

// Told after each page with the pages painted and the whole count; returning
// false stops the work.
using ReportProgress = std::function<bool(int done, int pages)>;

// Paints every page on the device; returns how many (0 if it could not paint
// or `progress` stopped it; a printer is then asked to drop the job).
int paintReport(const ReportData &data, QPagedPaintDevice *device, const ReportProgress &progress = {});

// Writes the report as a PDF file, whole or not at all. Returns the message
// for the user, empty on success; *pages tells how many pages were written.
// Stopped by `progress`, it writes nothing and returns an empty message with
// *pages 0.
QString saveReportPdf(const ReportData &data, const QString &path, int *pages = nullptr,
                      const ReportProgress &progress = {});

// A progress dialog over `parent` that opens once the work takes a moment; its
// cancel button makes the function return false. It lives as long as the
// function.
ReportProgress reportProgressDialog(QWidget *parent, const QString &label);

// The print preview, from which the user prints; printing to a file that is
// the open database (or one of SQLite's files beside it) is refused.
void previewAndPrintReport(const ReportData &data, QWidget *parent, const QString &databaseFile = QString());

} // namespace placeva
