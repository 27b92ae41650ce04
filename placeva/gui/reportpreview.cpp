#include "gui/reportpreview.h"

#include "gui/filetexts.h"
#include "toolkit.h"

#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <memory>

namespace placeva {

ReportProgress reportProgressDialog(QWidget *parent, const QString &label)
{
    // Deleted with the function, unless its parent went first.
    auto dialog = std::shared_ptr<QPointer<QProgressDialog>>(
        new QPointer<QProgressDialog>(new QProgressDialog(label, QStringLiteral(u"انصراف"), 0, 1, parent)),
        [](QPointer<QProgressDialog> *p) {
            delete p->data();
            delete p;
        });
    QProgressDialog *d = *dialog;
    d->setWindowTitle(QStringLiteral(u"گزارش"));
    d->setLayoutDirection(Qt::RightToLeft);
    d->setWindowModality(Qt::WindowModal);
    d->setMinimumDuration(500);
    d->setAutoReset(false);
    d->setAutoClose(false);
    d->setValue(0);
    return [dialog](int done, int pages) {
        QProgressDialog *d = *dialog;
        if (!d)
            return true;
        if (d->maximum() != pages)
            d->setMaximum(pages);
        d->setValue(done);
        return !d->wasCanceled();
    };
}

void previewAndPrintReport(const ReportData &data, QWidget *parent, const QString &databaseFile)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(reportPageLayout());
    printer.setDocName(data.title);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral(u"پيش نمايش چاپ گزارش"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter *p) {
        // The printer opens its file only once painting begins.
        const QString file = p->outputFileName();
        if (!file.isEmpty()) {
            if (const DatabaseFile which = databaseFileNamed(file, databaseFile);
                which != DatabaseFile::None) {
                tk::MsgBox::show(&preview, QStringLiteral(u"گزارش"),
                                 databaseClashText(file, databaseFile, which, false), tk::MsgBox::Critical);
                return;
            }
        }
        paintReport(data, p,
                    reportProgressDialog(&preview, QStringLiteral(u"صفحه هاي گزارش آماده مي شود...")));
    });
    preview.exec();
}

} // namespace placeva
