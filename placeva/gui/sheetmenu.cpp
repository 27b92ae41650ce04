#include "gui/sheetmenu.h"

#include "bidi.h"
#include "core/outputcheck.h"
#include "core/workspace.h"
#include "gui/filemenu.h"
#include "gui/filetexts.h"
#include "gui/report.h"
#include "gui/sheet.h"
#include "toolkit.h"

#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace placeva {

void makeSheet(const Workspace &workspace, QWidget *parent, qsizetype k, const std::optional<GivenList> &list)
{
    const QString title = sheetTitle();
    QString error;
    const std::optional<CounselSheet> sheet = sheetFor(workspace, k, list, &error);
    if (!sheet) {
        tk::MsgBox::show(parent, title, error, tk::MsgBox::Warning);
        return;
    }
    const tk::MsgBox::Answer answer =
        tk::MsgBox::choose(parent, title, QStringLiteral(u"کارنامه «%1» ذخيره شود يا چاپ؟").arg(sheet->name),
                           tk::MsgBox::Question, QStringLiteral(u"ذخيره به PDF"), QStringLiteral(u"چاپ"));
    if (answer == tk::MsgBox::No) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageLayout(reportPageLayout());
        printer.setDocName(title);
        QPrintPreviewDialog preview(&printer, parent);
        preview.setWindowTitle(title);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [&sheet](QPrinter *p) { paintSheet(*sheet, p); });
        preview.exec();
        return;
    }
    const QString path = chooseFile(parent, FileChoice{true, title, sheetFileName(k, sheet->name)});
    if (path.isEmpty())
        return;
    // Never over the open database, nor into what cannot take a file.
    const QString database = workspace.databaseFile();
    QString refusal;
    if (const DatabaseFile which = databaseFileNamed(path, database); which != DatabaseFile::None)
        refusal = databaseClashText(path, database, which, false);
    else if (const FileOutcome checked = checkOutput(path); !checked.ok())
        refusal = outputRefusalText(path, checked);
    if (!refusal.isEmpty()) {
        tk::MsgBox::show(parent, title, refusal, tk::MsgBox::Critical);
        return;
    }
    const QString saveError = saveSheetPdf(*sheet, path);
    if (!saveError.isEmpty())
        tk::MsgBox::show(parent, title, saveError, tk::MsgBox::Critical);
    else
        tk::MsgBox::show(parent, title,
                         QStringLiteral(u"کارنامه در پرونده «%1» ذخيره شد.")
                             .arg(common::isolatedPath(QFileInfo(path).absoluteFilePath())),
                         tk::MsgBox::Information);
}

void installSheetItems(const Workspace &workspace, tk::Form &window, const QList<tk::ListBox *> &lists)
{
    const Workspace *ws = &workspace;
    tk::Form *parent = &window;
    tk::ListBox *first = lists.value(0);
    const auto sheetForRow = [ws, parent](int row) {
        if (row < 0)
            tk::MsgBox::show(parent, sheetTitle(), QStringLiteral(u"ابتدا داوطلبي را در فهرست انتخاب کنيد."),
                             tk::MsgBox::Information);
        else
            makeSheet(*ws, parent, row / 2);
    };
    QMenu *fileMenu = window.menuBar()->findChild<QMenu *>(QStringLiteral("fileMenu"));
    if (!fileMenu)
        fileMenu = window.menuBar()->addMenu(QStringLiteral(u"فايل"));
    fileMenu->addSeparator();
    QAction *item = fileMenu->addAction(sheetMenuCaption());
    item->setObjectName(QStringLiteral("counselSheet"));
    QObject::connect(item, &QAction::triggered, parent, [parent, first, sheetForRow] {
        tk::handle(parent, [&] { sheetForRow(first ? first->listIndex() : -1); });
    });
    for (tk::ListBox *list : lists) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(list, &QWidget::customContextMenuRequested, parent,
                         [parent, list, sheetForRow](QPoint at) {
                             const int row = list->indexAt(at).row();
                             if (row < 0)
                                 return;
                             list->setListIndex(row); // the row the menu is for, selected in every list
                             QMenu menu(parent);
                             menu.setLayoutDirection(Qt::RightToLeft);
                             QAction *action = menu.addAction(sheetMenuCaption());
                             if (menu.exec(list->viewport()->mapToGlobal(at)) == action)
                                 tk::handle(parent, [&] { sheetForRow(row); });
                         });
    }
}

} // namespace placeva
