#pragma once
// The file menu's work without its windows: importing applicants or reference
// results from a spreadsheet file (or replacing this year's choice table),
// exporting the tables and the computed results, saving the report as PDF. How the user is told, asked and shown
// progress is left to a subclass: the menu's message boxes, preview and
// progress dialogs, or the command line's standard error. No widgets.

#include "core/csvimport.h"
#include "core/workspace.h"
#include "gui/report.h"

#include <QString>

#include <memory>

namespace placeva {

class FileWork
{
public:
    enum class Level {
        Information,
        Warning,
        Critical
    };

    // A stretch of work of a number of steps; the user may stop it.
    class Phase
    {
    public:
        virtual ~Phase() = default;
        // False once the user stopped the work.
        virtual bool step(qsizetype done) = 0;
    };

    explicit FileWork(Workspace &workspace) : m_ws(workspace) { }
    virtual ~FileWork() = default;

    // Each tells how it went; true when it was done. A successful import
    // re-reads and recomputes.
    bool importCsv(ImportTable table, const QString &path);
    bool exportTable(ImportTable table, const QString &path);
    bool exportResults(const QString &path);
    bool saveReport(const QString &path);

protected:
    virtual void tell(const QString &title, const QString &text, Level level) = 0;
    // The import's preview: false stores nothing. It may mark duplicates to skip.
    virtual bool confirmImport(ImportPlan &plan, const QString &path) = 0;
    // Work of `steps` steps under `label` (no label, no steps: a short wait).
    virtual std::unique_ptr<Phase> phase(const QString &label, qsizetype steps) = 0;
    virtual ReportProgress reportProgress(const QString &label) = 0;

    Workspace &m_ws;

private:
    void tell(const char16_t *title, const QString &text, Level level);
    // An output on the open database, or one that cannot be written, is
    // refused (and told) before any work is done for it.
    bool refusedOutput(const char16_t *title, const QString &path);
};

} // namespace placeva
