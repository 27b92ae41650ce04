#pragma once
// The dialog that shows what an import would do before anything is stored:
// the encoding and separator found, which column fills which field, how many
// rows will be added, and every refused row with its line, column and reason.

#include "core/csvimport.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace placeva {

class CsvPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    // Refused cells beyond this many are counted, not listed.
    static constexpr int kListedRefusals = 2000;

    CsvPreviewDialog(const ImportPlan &plan, const QString &filePath, QWidget *parent = nullptr);

    QPushButton *confirmButton() const { return m_confirm; }
    QPushButton *cancelButton() const { return m_cancel; }
    QTableWidget *columnTable() const { return m_columns; }
    QTableWidget *refusalTable() const { return m_refusals; }
    // Shown only when some rows are identical to rows already stored.
    QCheckBox *skipDuplicatesBox() const { return m_skipDuplicates; }
    bool skipDuplicates() const;
    // The figures and notes above the tables, as shown.
    QString summaryText() const;

private:
    QList<QLabel *> m_summary;
    QTableWidget *m_columns = nullptr;
    QTableWidget *m_refusals = nullptr;
    QPushButton *m_confirm = nullptr;
    QPushButton *m_cancel = nullptr;
    QCheckBox *m_skipDuplicates = nullptr;
};

} // namespace placeva
