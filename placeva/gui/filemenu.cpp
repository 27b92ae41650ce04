#include "gui/filemenu.h"

#include "core/csvexport.h"
#include "core/datalocation.h"
#include "core/workspace.h"
#include "gui/csvpreview.h"
#include "gui/filework.h"
#include "gui/report.h"
#include "gui/reportpreview.h"
#include "gui/resultsexport.h"
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

tk::MsgBox::Icon iconFor(FileWork::Level level)
{
    switch (level) {
    case FileWork::Level::Information: return tk::MsgBox::Information;
    case FileWork::Level::Warning: return tk::MsgBox::Warning;
    case FileWork::Level::Critical: break;
    }
    return tk::MsgBox::Critical;
}

// The file work told in message boxes over the main window, its progress in
// dialogs under a wait cursor.
class MenuWork : public FileWork
{
public:
    MenuWork(Workspace &workspace, QWidget *parent) : FileWork(workspace), m_parent(parent) { }

protected:
    void tell(const QString &title, const QString &text, Level level) override
    {
        tk::MsgBox::show(m_parent, title, text, iconFor(level));
    }
    bool confirmImport(ImportPlan &plan, const QString &path) override
    {
        return placeva::confirmImport(m_parent, plan, path);
    }
    std::unique_ptr<Phase> phase(const QString &label, qsizetype steps) override
    {
        class Busy : public Phase
        {
        public:
            Busy(QWidget *parent, const QString &label, qsizetype steps)
            {
                if (!label.isEmpty())
                    m_progress = std::make_unique<Progress>(parent, label, int(steps));
                QApplication::setOverrideCursor(Qt::WaitCursor);
            }
            ~Busy() override { QApplication::restoreOverrideCursor(); }
            bool step(qsizetype done) override { return !m_progress || m_progress->step(done); }

        private:
            std::unique_ptr<Progress> m_progress;
        };
        return std::make_unique<Busy>(m_parent, label, steps);
    }
    ReportProgress reportProgress(const QString &label) override
    {
        return progressShower()
            ? ReportProgress([label](int done, int all) { return progressShower()(label, done, all); })
            : reportProgressDialog(m_parent, label);
    }

private:
    QWidget *m_parent;
};

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

bool importCsv(Workspace &workspace, QWidget *parent, ImportTable table, const QString &path)
{
    return MenuWork(workspace, parent).importCsv(table, path);
}

bool exportTableToCsv(Workspace &workspace, QWidget *parent, ImportTable table, const QString &path)
{
    return MenuWork(workspace, parent).exportTable(table, path);
}

bool exportResultsToCsv(Workspace &workspace, QWidget *parent, const QString &path)
{
    return MenuWork(workspace, parent).exportResults(path);
}

bool saveReportToPdf(Workspace &workspace, QWidget *parent, const QString &path)
{
    return MenuWork(workspace, parent).saveReport(path);
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
            return
                [link, parent] { previewAndPrintReport(reportDataFor(*link), parent, link->databaseFile()); };
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
