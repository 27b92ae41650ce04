#pragma once
// The counselling sheet: one A4 page per applicant, right to left, with the
// percentages and their bars, the estimate and how sure it is, the band, the
// ten-more-points table and the choices. Saved as PDF (real text) or printed;
// made from the main window, the choice list (gui/sheetmenu.h) and the
// command line.

#include "core/counsel.h"

#include <QDate>
#include <QString>

#include <functional>
#include <optional>

class QPagedPaintDevice;

namespace placeva {

class Workspace;

// The file menu's and the list's item, and the choice list's button.
QString sheetMenuCaption();
QString sheetButtonCaption();
QString sheetTitle();

// A choice list as the choice list or the command line gives it: up to ten
// priorities and the choices they were picked from.
struct GivenList
{
    QStringList priorities;
    ChoiceTable choices;
};

// Applicant k of the workspace's last pass with the ten percentages read from
// the database now, and the given list or else this year's choice table read
// now; nothing (with the reason in *error) when Davtalab cannot be read or no
// longer holds the rows the pass read.
std::optional<CounselSheet> sheetFor(const Workspace &workspace, qsizetype k,
                                     const std::optional<GivenList> &list, QString *error);

// Paints the sheet on one page; false when the device could not be painted.
bool paintSheet(const CounselSheet &sheet, QPagedPaintDevice *device, QDate today = QDate::currentDate());
// Shapes one thread keeps from sheet to sheet (defined in sheet.cpp).
class SheetShapes;
// The sheet as a PDF file's bytes; empty when it could not be painted.
QByteArray sheetPdf(const CounselSheet &sheet, QDate today = QDate::currentDate(), SheetShapes *shapes = nullptr);
// Writes the PDF whole or not at all; the message for the user, empty on success.
QString saveSheetPdf(const CounselSheet &sheet, const QString &path);

// A file name for applicant k (from 0): the row from 1 and the name, with
// characters unsafe in a file name replaced.
QString sheetFileName(qsizetype k, const QString &name);

// Writes one sheet per applicant of the last pass into `folder`, painted on
// a thread per core and written in row order. `progress` is told after each;
// false stops. The message for the user (how many were
// written, or why not); *written counts the files.
using SheetProgress = std::function<bool(qsizetype done, qsizetype all)>;
QString saveAllSheets(const Workspace &workspace, const QString &folder, const SheetProgress &progress,
                      qsizetype *written = nullptr);

} // namespace placeva
