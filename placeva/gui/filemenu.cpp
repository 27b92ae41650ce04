#include "gui/filemenu.h"

#include "core/choicetable.h"
#include "core/csvexport.h"
#include "core/datalocation.h"
#include "gui/csvpreview.h"
#include "core/workspace.h"
#include "gui/resultsexport.h"
#include "gui/report.h"
#include "toolkit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QStandardPaths>

#include <memory>
#include <utility>

namespace placeva {

namespace {

FileChooser &fileChooser()
{
    static FileChooser chooser;
    return chooser;
}

ImportConfirmer &importConfirmer()
{
    static ImportConfirmer confirmer;
    return confirmer;
}

// The folder the last file was chosen in, for the next dialog.
QString &lastFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString chooseFile(QWidget *parent, const FileChoice &choice)
{
    if (fileChooser())
        return fileChooser()(parent, choice);
    if (lastFolder().isEmpty())
        lastFolder() = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const bool pdf = choice.suggestedName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    const bool database = choice.suggestedName.endsWith(QLatin1String(".db"), Qt::CaseInsensitive);
    QFileDialog dialog(parent, choice.title, lastFolder());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (choice.forSaving) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(pdf ? QStringLiteral("pdf") : QStringLiteral("csv"));
        dialog.selectFile(choice.suggestedName);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setNameFilters(pdf            ? QStringList{QStringLiteral("PDF (*.pdf)")}
                              : database ? QStringList{QStringLiteral(u"بانک اطلاعات (*.db *.sqlite)"),
                                                       QStringLiteral(u"همه پرونده ها (*)")}
                                         : QStringList{QStringLiteral(u"پرونده هاي CSV (*.csv *.txt)"),
                                                       QStringLiteral(u"همه پرونده ها (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder() = QFileInfo(path).absolutePath();
    return path;
}

namespace {

bool confirmImport(QWidget *parent, ImportPlan &plan, const QString &path)
{
    if (importConfirmer())
        return importConfirmer()(parent, plan, path);
    CsvPreviewDialog dialog(plan, path, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    plan.skipDuplicates = dialog.skipDuplicates();
    return true;
}

ProgressShower &progressShower()
{
    static ProgressShower shower;
    return shower;
}

// Long work shows its progress only once it has taken a moment.
class Progress
{
public:
    Progress(QWidget *parent, const QString &label, int maximum) : m_label(label), m_maximum(maximum)
    {
        if (progressShower())
            return;
        m_dialog = std::make_unique<QProgressDialog>(label, QStringLiteral(u"انصراف"), 0, maximum, parent);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(700);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setValue(0);
    }
    // False once the user cancelled.
    bool step(qsizetype value)
    {
        if (!m_dialog)
            return progressShower()(m_label, value, m_maximum);
        if (value != m_dialog->value())
            m_dialog->setValue(int(std::min<qsizetype>(value, m_dialog->maximum())));
        return !m_dialog->wasCanceled();
    }

private:
    QString m_label;
    int m_maximum;
    std::unique_ptr<QProgressDialog> m_dialog;
};

const char16_t kImportTitle[] = u"ورود از CSV";
const char16_t kExportTitle[] = u"خروجي CSV";
const char16_t kReportTitle[] = u"گزارش";

void tell(QWidget *parent, const char16_t *title, const QString &text, tk::MsgBox::Icon icon)
{
    tk::MsgBox::show(parent, QString::fromUtf16(title), text, icon);
}

QString shown(const QString &path)
{
    return shownFile(path);
}

// An output on the open database, or one that cannot be written, is refused
// before any work is done for it.
bool outputRefused(Workspace &ws, QWidget *parent, const char16_t *title, const QString &path)
{
    const QString database = ws.databaseFile();
    QString text;
    if (const DatabaseFile which = databaseFileNamed(path, database); which != DatabaseFile::None)
        text = databaseClashText(path, database, which, false);
    else if (const FileOutcome checked = checkOutput(path); !checked.ok())
        text = outputRefusalText(path, checked);
    if (text.isEmpty())
        return false;
    tell(parent, title, text, tk::MsgBox::Critical);
    return true;
}

// A header that names another table's columns.
QString wrongTableText(const QString &path, ImportTable table)
{
    const QString file = isolated(shown(path));
    if (table == ImportTable::Applicants)
        return QStringLiteral(u"سطر عنوان پرونده «%1» ستون نام داوطلب (%2) ندارد؛ اين پرونده داوطلبان نيست، "
                              u"شايد نتايج مرجع است.")
            .arg(file, isolated(kApplicants.field(FieldRole::Name).nameText()));
    return QStringLiteral(u"سطر عنوان پرونده «%1» نه ستون %2 دارد نه %3؛ اين پرونده نتايج مرجع نيست، "
                          u"شايد داوطلبان است.")
        .arg(file, isolated(kReferences.field(FieldRole::Average).nameText()),
             isolated(kReferences.field(FieldRole::Rank).nameText()));
}

void chooseAndImport(Workspace &ws, QWidget *parent, ImportTable table, const QString &title)
{
    const QString path = chooseFile(parent, FileChoice{false, title, QString()});
    if (!path.isEmpty())
        importCsv(ws, parent, table, path);
}

void chooseAndExport(QWidget *parent, const QString &title, const QString &suggested,
                     const std::function<bool(const QString &)> &write)
{
    const QString path = chooseFile(parent, FileChoice{true, title, suggested});
    if (!path.isEmpty())
        write(path);
}

} // namespace

FileChooser setFileChooser(FileChooser chooser)
{
    return std::exchange(fileChooser(), std::move(chooser));
}

ImportConfirmer setImportConfirmer(ImportConfirmer confirmer)
{
    return std::exchange(importConfirmer(), std::move(confirmer));
}

ProgressShower setProgressShower(ProgressShower shower)
{
    return std::exchange(progressShower(), std::move(shower));
}

bool importCsv(Workspace &ws, QWidget *parent, ImportTable table, const QString &path)
{
    const QString database = ws.databaseFile();
    if (const DatabaseFile which = databaseFileNamed(path, database); which != DatabaseFile::None) {
        tell(parent, kImportTitle, databaseClashText(path, database, which, true), tk::MsgBox::Warning);
        return false;
    }
    ImportReading reading;
    {
        Progress progress(parent, QStringLiteral(u"خواندن و وارسي پرونده «%1»...").arg(isolated(shown(path))),
                          1000);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        reading = readImportFile(path, table, [&](int permille) { return progress.step(permille); });
        QApplication::restoreOverrideCursor();
    }
    if (reading.cancelled)
        return false; // the user stopped it: nothing was stored
    if (!reading.plan) {
        const QString why = reading.wrongTable ? wrongTableText(path, table)
            : !reading.file.ok() ? QStringLiteral(u"پرونده «%1» خوانده نشد: %2.")
                                       .arg(isolated(shown(path)), fileReason(reading.file))
                                 : reading.error;
        tell(parent, kImportTitle, why + QStringLiteral(u"\nهيچ رديفي افزوده نشد."), tk::MsgBox::Warning);
        return false;
    }
    ImportPlan &plan = *reading.plan;
    if (plan.rows.isEmpty() && plan.refusedRows == 0) {
        tell(parent, kImportTitle, QStringLiteral(u"%1: «%2»").arg(noRowsText(), isolated(shown(path))),
             tk::MsgBox::Warning);
        return false;
    }
    const bool replaces = table == ImportTable::Choices;
    if (replaces) {
        const ChoiceTableReading current = readChoiceTable(ws.databaseFile());
        if (current.error) {
            tell(parent, kImportTitle, current.error->message + QStringLiteral(u"\nهيچ رديفي افزوده نشد."),
                 tk::MsgBox::Critical);
            return false;
        }
        plan.replacedRows = current.storedRows;
    }
    markDuplicates(ws.location(), plan);
    if (!confirmImport(parent, plan, path) || plan.rows.isEmpty() || (replaces && plan.refusedRows > 0))
        return false;
    const qsizetype storing = plan.rowsToStore();

    MaybeError error;
    bool cancelled = false;
    {
        Progress progress(
            parent,
            QStringLiteral(u"افزودن %1 رديف به جدول %2...").arg(storing).arg(importTableName(table)),
            int(storing));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        error = storeImport(
            ws.location(), plan, [&](qsizetype written) { return progress.step(written); }, &cancelled);
        QApplication::restoreOverrideCursor();
    }
    if (error) {
        if (cancelled)
            tell(parent, kImportTitle, QStringLiteral(u"ورود داده لغو شد؛ هيچ رديفي افزوده نشد."),
                 tk::MsgBox::Information);
        else
            tell(parent, kImportTitle, error->message + QStringLiteral(u"\nهيچ رديفي افزوده نشد."),
                 tk::MsgBox::Critical);
        return false;
    }
    if (const MaybeError reread = ws.reread())
        tell(parent, kImportTitle, reread->message, tk::MsgBox::Critical);
    if (replaces)
        tell(parent, kImportTitle,
             QStringLiteral(u"جدول %1 جايگزين شد: %2 رديف رفت و %3 رديف آمد.")
                 .arg(importTableName(table))
                 .arg(plan.replacedRows)
                 .arg(plan.rows.size()),
             tk::MsgBox::Information);
    else
        tell(parent, kImportTitle,
             QStringLiteral(u"%1 رديف به جدول %2 افزوده شد.").arg(storing).arg(importTableName(table)),
             tk::MsgBox::Information);
    return true;
}

bool exportTableToCsv(Workspace &ws, QWidget *parent, ImportTable table, const QString &path)
{
    if (outputRefused(ws, parent, kExportTitle, path))
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CsvExport file = exportTableCsv(ws.location(), table);
    const QString error = file.error ? file.error->message : writeFileWhole(path, file.bytes);
    QApplication::restoreOverrideCursor();
    if (!error.isEmpty()) {
        tell(parent, kExportTitle, error, tk::MsgBox::Critical);
        return false;
    }
    tell(parent, kExportTitle,
         QStringLiteral(u"%1 رديف جدول %2 در پرونده «%3» نوشته شد.")
             .arg(file.rows)
             .arg(importTableName(table), isolated(shown(path))),
         tk::MsgBox::Information);
    return true;
}

bool exportResultsToCsv(Workspace &ws, QWidget *parent, const QString &path)
{
    if (outputRefused(ws, parent, kExportTitle, path))
        return false;
    const CsvExport file = resultsCsv(ws.result(), ws.applicants());
    const QString error = writeFileWhole(path, file.bytes);
    if (!error.isEmpty()) {
        tell(parent, kExportTitle, error, tk::MsgBox::Critical);
        return false;
    }
    tell(parent, kExportTitle,
         QStringLiteral(u"نتيجه محاسبه %1 داوطلب در پرونده «%2» نوشته شد.").arg(file.rows).arg(isolated(shown(path))),
         tk::MsgBox::Information);
    return true;
}

bool saveReportToPdf(Workspace &ws, QWidget *parent, const QString &path)
{
    // Checked before the pages are drawn, which takes a while.
    if (outputRefused(ws, parent, kReportTitle, path))
        return false;
    int pages = 0;
    const QString label = QStringLiteral(u"گزارش ذخيره مي شود...");
    QString error;
    {
        // The progress box closes here, before the result is told: left
        // open, its modality would leave the message's button dead under it.
        const ReportProgress progress = progressShower()
            ? ReportProgress([label](int done, int all) { return progressShower()(label, done, all); })
            : reportProgressDialog(parent, label);
        error = saveReportPdf(reportDataFor(ws), path, &pages, progress);
    }
    if (error.isEmpty() && pages == 0)
        return false; // cancelled: nothing written, nothing to tell
    if (!error.isEmpty()) {
        tell(parent, kReportTitle, error, tk::MsgBox::Critical);
        return false;
    }
    tell(parent, kReportTitle,
         QStringLiteral(u"گزارش در %1 صفحه در پرونده «%2» ذخيره شد.").arg(pages).arg(isolated(shown(path))),
         tk::MsgBox::Information);
    return true;
}

void installFileMenu(Workspace &ws, tk::Form &window)
{
    struct Item
    {
        const char *name;
        const char16_t *caption;
        QKeyCombination key;
    };
    const Item items[] = {
        {"importApplicants", u"ورود داوطلبان از CSV...", QKeyCombination(Qt::CTRL | Qt::Key_I)},
        {"importReferences", u"ورود نتايج مرجع از CSV...", QKeyCombination()},
        {"exportApplicants", u"خروجي داوطلبان به CSV...", QKeyCombination()},
        {"exportReferences", u"خروجي نتايج مرجع به CSV...", QKeyCombination()},
        {"exportResults", u"خروجي نتيجه محاسبه به CSV...", QKeyCombination(Qt::CTRL | Qt::Key_E)},
        {"printReport", u"چاپ گزارش...", QKeyCombination(Qt::CTRL | Qt::Key_P)},
        {"saveReportPdf", u"ذخيره گزارش به PDF...", QKeyCombination()},
        {"importChoices", u"ورود جدول انتخاب ها از CSV...", QKeyCombination()},
        {"exportChoices", u"خروجي جدول انتخاب ها به CSV...", QKeyCombination()},
    };
    QMenu *menu = window.menuBar()->addMenu(QStringLiteral(u"فايل"));
    menu->setObjectName(QStringLiteral("fileMenu"));
    menu->setLayoutDirection(Qt::RightToLeft);
    Workspace *link = &ws;
    tk::Form *parent = &window;
    const auto handler = [link, parent](int index, const QString &caption) -> std::function<void()> {
        switch (index) {
        case 0:
            return
                [link, parent, caption] { chooseAndImport(*link, parent, ImportTable::Applicants, caption); };
        case 1:
            return
                [link, parent, caption] { chooseAndImport(*link, parent, ImportTable::References, caption); };
        case 2:
            return [link, parent, caption] {
                chooseAndExport(parent, caption, QStringLiteral("Davtalab.csv"),
                                [link, parent](const QString &p) {
                                    return exportTableToCsv(*link, parent, ImportTable::Applicants, p);
                                });
            };
        case 3:
            return [link, parent, caption] {
                chooseAndExport(parent, caption, QStringLiteral("Formol.csv"),
                                [link, parent](const QString &p) {
                                    return exportTableToCsv(*link, parent, ImportTable::References, p);
                                });
            };
        case 4:
            return [link, parent, caption] {
                chooseAndExport(
                    parent, caption, QStringLiteral("Natayej.csv"),
                    [link, parent](const QString &p) { return exportResultsToCsv(*link, parent, p); });
            };
        case 5:
            return [link, parent] {
                previewAndPrintReport(reportDataFor(*link), parent, link->databaseFile());
            };
        case 7:
            return [link, parent, caption] { chooseAndImport(*link, parent, ImportTable::Choices, caption); };
        case 8:
            return [link, parent, caption] {
                chooseAndExport(parent, caption, QStringLiteral("Entekhab.csv"),
                                [link, parent](const QString &p) {
                                    return exportTableToCsv(*link, parent, ImportTable::Choices, p);
                                });
            };
        default:
            return [link, parent, caption] {
                chooseAndExport(
                    parent, caption, QStringLiteral("Gozaresh.pdf"),
                    [link, parent](const QString &p) { return saveReportToPdf(*link, parent, p); });
            };
        }
    };
    for (int i = 0; i < int(std::size(items)); ++i) {
        const QString caption = QString::fromUtf16(items[i].caption);
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(items[i].name));
        if (items[i].key.key() != Qt::Key_unknown)
            action->setShortcut(QKeySequence(items[i].key));
        // The dialogs' titles are the captions without the dots.
        const QString title = caption.endsWith(QLatin1String("...")) ? caption.chopped(3) : caption;
        const std::function<void()> run = handler(i, title);
        QObject::connect(action, &QAction::triggered, parent, [parent, run] { tk::handle(parent, run); });
    }
}

} // namespace placeva
