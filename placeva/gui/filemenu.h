#pragma once
// The main window's "file" menu: importing applicants and reference results
// from spreadsheet files, exporting both tables and the computed results, and
// printing or saving the report.

#include "core/csvimport.h"
#include "gui/filetexts.h"

#include <QString>

#include <functional>

class QWidget;

namespace tk {
class Form;
}

namespace placeva {

class Workspace;

// Adds the menu to the main window's menu bar (after whatever is there).
void installFileMenu(Workspace &workspace, tk::Form &window);

// What the items do once a file is chosen. Each tells the user how it went;
// true when it was done. A successful import re-reads and recomputes. Messages
// go over `parent`.
bool importCsv(Workspace &workspace, QWidget *parent, ImportTable table, const QString &path);
bool exportTableToCsv(Workspace &workspace, QWidget *parent, ImportTable table, const QString &path);
bool exportResultsToCsv(Workspace &workspace, QWidget *parent, const QString &path);
bool saveReportToPdf(Workspace &workspace, QWidget *parent, const QString &path);

// The file dialogs and the import preview, replaceable so that a test can
// drive the menu without a dialog. Each setter returns the previous one; an
// empty function restores the dialog.
struct FileChoice
{
    bool forSaving = false;
    QString title;
    QString suggestedName; // for saving
};
using FileChooser = std::function<QString(QWidget *parent, const FileChoice &choice)>;
FileChooser setFileChooser(FileChooser chooser);
// The chooser or, without one, the dialog; empty when the user cancelled.
// A suggested name ending in .db asks for a database file.
QString chooseFile(QWidget *parent, const FileChoice &choice);
// The confirmer may set the plan's skipDuplicates.
using ImportConfirmer = std::function<bool(QWidget *parent, ImportPlan &plan, const QString &path)>;
ImportConfirmer setImportConfirmer(ImportConfirmer confirmer);
// Shown instead of the progress dialogs (the command line's progress); false
// stops the work as the dialog's cancel does.
using ProgressShower = std::function<bool(const QString &label, qsizetype done, qsizetype all)>;
ProgressShower setProgressShower(ProgressShower shower);

} // namespace placeva
