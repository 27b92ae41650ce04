#pragma once
// Where the windows make a counselling sheet: the main window's file-menu
// item and its lists' context menu, and the choice list's button.

#include "gui/sheet.h"

#include <QList>
#include <QStringList>

#include <optional>

class QWidget;

namespace tk {
class Form;
class ListBox;
} // namespace tk

namespace placeva {

class Workspace;

// For applicant k (and the choice list's priorities when given) asks whether
// to save a PDF or print, then does it, telling the user.
void makeSheet(const Workspace &workspace, QWidget *parent, qsizetype k,
               const std::optional<GivenList> &list = std::nullopt);

// The main window's file-menu item and each list's context menu: a sheet for
// the applicant of the selected row (rows 2k and 2k + 1 are applicant k).
void installSheetItems(const Workspace &workspace, tk::Form &window, const QList<tk::ListBox *> &lists);

} // namespace placeva
