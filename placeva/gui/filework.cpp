#include "gui/filework.h"

#include "bidi.h"
#include "core/choicetable.h"
#include "core/csvexport.h"
#include "core/datalocation.h"
#include "core/subjects.h"
#include "gui/filetexts.h"
#include "gui/report.h"
#include "gui/resultsexport.h"

namespace placeva {

namespace {

const char16_t kImportTitle[] = u"ورود از CSV";
const char16_t kExportTitle[] = u"خروجي CSV";
const char16_t kReportTitle[] = u"گزارش";

QString shown(const QString &path)
{
    return shownFile(path);
}

// An output on the open database, or one that cannot be written, is refused
// before any work is done for it.
QString outputRefusal(const Workspace &ws, const QString &path)
{
    const QString database = ws.databaseFile();
    QString text;
    if (const DatabaseFile which = databaseFileNamed(path, database); which != DatabaseFile::None)
        text = databaseClashText(path, database, which, false);
    else if (const FileOutcome checked = checkOutput(path); !checked.ok())
        text = outputRefusalText(path, checked);
    return text;
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

} // namespace

void FileWork::tell(const char16_t *title, const QString &text, Level level)
{
    tell(QString::fromUtf16(title), text, level);
}

bool FileWork::refusedOutput(const char16_t *title, const QString &path)
{
    const QString text = outputRefusal(m_ws, path);
    if (text.isEmpty())
        return false;
    tell(title, text, Level::Critical);
    return true;
}

bool FileWork::importCsv(ImportTable table, const QString &path)
{
    const QString database = m_ws.databaseFile();
    if (const DatabaseFile which = databaseFileNamed(path, database); which != DatabaseFile::None) {
        tell(kImportTitle, databaseClashText(path, database, which, true), Level::Warning);
        return false;
    }
    ImportReading reading;
    {
        const std::unique_ptr<Phase> progress =
            phase(QStringLiteral(u"خواندن و وارسي پرونده «%1»...").arg(isolated(shown(path))), 1000);
        reading = readImportFile(path, table, [&](int permille) { return progress->step(permille); });
    }
    if (reading.cancelled)
        return false; // the user stopped it: nothing was stored
    if (!reading.plan) {
        const QString why = reading.wrongTable ? wrongTableText(path, table)
            : !reading.file.ok() ? QStringLiteral(u"پرونده «%1» خوانده نشد: %2.")
                                       .arg(isolated(shown(path)), fileReason(reading.file))
                                 : reading.error;
        tell(kImportTitle, why + QStringLiteral(u"\nهيچ رديفي افزوده نشد."), Level::Warning);
        return false;
    }
    ImportPlan &plan = *reading.plan;
    if (plan.rows.isEmpty() && plan.refusedRows == 0) {
        tell(kImportTitle, QStringLiteral(u"%1: «%2»").arg(noRowsText(), isolated(shown(path))),
             Level::Warning);
        return false;
    }
    const bool replaces = table == ImportTable::Choices;
    if (replaces) {
        const ChoiceTableReading current = readChoiceTable(m_ws.databaseFile());
        if (current.error) {
            tell(kImportTitle, current.error->message + QStringLiteral(u"\nهيچ رديفي افزوده نشد."),
                 Level::Critical);
            return false;
        }
        plan.replacedRows = current.storedRows;
    }
    markDuplicates(m_ws.location(), plan);
    if (!confirmImport(plan, path) || plan.rows.isEmpty() || (replaces && plan.refusedRows > 0))
        return false;
    const qsizetype storing = plan.rowsToStore();

    MaybeError error;
    bool cancelled = false;
    {
        const std::unique_ptr<Phase> progress =
            phase((replaces ? QStringLiteral(u"جايگزيني رديف هاي جدول %2 با %1 رديف...")
                            : QStringLiteral(u"افزودن %1 رديف به جدول %2..."))
                      .arg(storing)
                      .arg(common::isolate(importTableName(table))),
                  storing);
        error = storeImport(
            m_ws.location(), plan, [&](qsizetype written) { return progress->step(written); }, &cancelled);
    }
    if (error) {
        if (cancelled)
            tell(kImportTitle, QStringLiteral(u"ورود داده لغو شد؛ هيچ رديفي افزوده نشد."),
                 Level::Information);
        else
            tell(kImportTitle, error->message + QStringLiteral(u"\nهيچ رديفي افزوده نشد."), Level::Critical);
        return false;
    }
    if (const MaybeError reread = m_ws.reread())
        tell(kImportTitle, reread->message, Level::Critical);
    if (replaces)
        tell(kImportTitle,
             QStringLiteral(u"جدول %1 جايگزين شد: %2 رديف رفت و %3 رديف آمد.")
                 .arg(isolated(importTableName(table)))
                 .arg(plan.replacedRows)
                 .arg(plan.rows.size()),
             Level::Information);
    else
        tell(kImportTitle,
             QStringLiteral(u"%1 رديف به جدول %2 افزوده شد.").arg(storing).arg(isolated(importTableName(table))),
             Level::Information);
    return true;
}

bool FileWork::exportTable(ImportTable table, const QString &path)
{
    if (refusedOutput(kExportTitle, path))
        return false;
    QString error;
    CsvExport file;
    {
        const std::unique_ptr<Phase> busy = phase(QString(), 0);
        file = exportTableCsv(m_ws.location(), table);
        error = file.error ? file.error->message : writeFileWhole(path, file.bytes);
    }
    if (!error.isEmpty()) {
        tell(kExportTitle, error, Level::Critical);
        return false;
    }
    tell(kExportTitle,
         QStringLiteral(u"%1 رديف جدول %2 در پرونده «%3» نوشته شد.")
             .arg(file.rows)
             .arg(isolated(importTableName(table)), isolated(shown(path))),
         Level::Information);
    return true;
}

bool FileWork::exportResults(const QString &path)
{
    if (refusedOutput(kExportTitle, path))
        return false;
    const CsvExport file = resultsCsv(m_ws.result(), m_ws.applicants());
    const QString error = writeFileWhole(path, file.bytes);
    if (!error.isEmpty()) {
        tell(kExportTitle, error, Level::Critical);
        return false;
    }
    tell(kExportTitle,
         QStringLiteral(u"نتيجه محاسبه %1 داوطلب در پرونده «%2» نوشته شد.")
             .arg(file.rows)
             .arg(isolated(shown(path))),
         Level::Information);
    return true;
}

bool FileWork::saveReport(const QString &path)
{
    // Checked before the pages are drawn, which takes a while.
    if (refusedOutput(kReportTitle, path))
        return false;
    int pages = 0;
    const QString label = QStringLiteral(u"گزارش ذخيره مي شود...");
    QString error;
    {
        // The progress box closes here, before the result is told: left
        // open, its modality would leave the message's button dead under it.
        const ReportProgress progress = reportProgress(label);
        error = saveReportPdf(reportDataFor(m_ws), path, &pages, progress);
    }
    if (error.isEmpty() && pages == 0)
        return false; // cancelled: nothing written, nothing to tell
    if (!error.isEmpty()) {
        tell(kReportTitle, error, Level::Critical);
        return false;
    }
    tell(kReportTitle,
         QStringLiteral(u"گزارش در %1 صفحه در پرونده «%2» ذخيره شد.").arg(pages).arg(isolated(shown(path))),
         Level::Information);
    return true;
}

} // namespace placeva
