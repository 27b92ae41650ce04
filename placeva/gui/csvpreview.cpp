#include "gui/csvpreview.h"

#include "bidi.h"
#include "gui/filetexts.h"
#include "toolkit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace placeva {

namespace {

QTableWidget *table(const QStringList &headers, int rows, QWidget *parent)
{
    auto *t = new QTableWidget(rows, int(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setWordWrap(false);
    return t;
}

// A text without Persian keeps its own order in the right-to-left dialog
// ("Name :" would otherwise show as ": Name").
QString inOwnOrder(const QString &text)
{
    if (text.isEmpty() || tk::hasArabicScript(text))
        return text;
    return QChar(0x200E) + text + QChar(0x200E);
}

QTableWidgetItem *item(const QString &text)
{
    auto *i = new QTableWidgetItem(inOwnOrder(text));
    i->setTextAlignment(Qt::AlignLeading | Qt::AlignVCenter); // the right edge here
    return i;
}

// A few line numbers, then how many more.
QString lineList(const QList<int> &lines)
{
    constexpr int shown = 10;
    QStringList parts;
    for (int i = 0; i < lines.size() && i < shown; ++i)
        parts << QString::number(lines.at(i));
    QString text = parts.join(QStringLiteral(u"، "));
    if (lines.size() > shown)
        text += QStringLiteral(u" و %1 سطر ديگر").arg(lines.size() - shown);
    return text;
}

// Column headers as a message lists them, each cut to a readable length.
QString quotedList(const QStringList &texts)
{
    QStringList out;
    for (const QString &t : texts)
        out << cutForMessage(t);
    return out.join(QStringLiteral(u"، "));
}

} // namespace

CsvPreviewDialog::CsvPreviewDialog(const ImportPlan &plan, const QString &filePath, QWidget *parent)
    : QDialog(parent)
{
    setLayoutDirection(Qt::RightToLeft);
    const bool replaces = plan.table == ImportTable::Choices;
    setWindowTitle(plan.table == ImportTable::Applicants ? QStringLiteral(u"پيش نمايش ورود داوطلبان")
                       : replaces                        ? QStringLiteral(u"پيش نمايش ورود جدول انتخاب ها")
                                                         : QStringLiteral(u"پيش نمايش ورود نتايج مرجع"));
    auto *layout = new QVBoxLayout(this);

    auto *form = new QFormLayout;
    const auto add = [&](const QString &caption, const QString &value) {
        auto *l = new tk::Label(this, inOwnOrder(value));
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *c = new tk::Label(this, caption);
        tk::setCaptionFor(c, l);
        form->addRow(c, l);
        m_summary << l;
    };
    add(QStringLiteral(u"پرونده:"), common::isolatedPath(filePath));
    add(QStringLiteral(u"جدول:"), importTableName(plan.table));
    add(QStringLiteral(u"کدگذاري:"), encodingName(plan.encoding));
    add(QStringLiteral(u"جداکننده:"), separatorName(plan.separator));
    if (replaces) {
        // The whole table goes; what comes is the file's rows.
        add(QStringLiteral(u"رديفهايي که مي روند:"),
            plan.replacedRows >= 0 ? QString::number(plan.replacedRows) : QString());
        add(QStringLiteral(u"رديفهايي که مي آيند:"), QString::number(plan.rows.size()));
    } else {
        add(QStringLiteral(u"رديفهايي که افزوده مي شوند:"), QString::number(plan.rows.size()));
    }
    add(QStringLiteral(u"رديفهاي ردشده:"), QString::number(plan.refusedRows));
    if (plan.blankRows > 0)
        add(QStringLiteral(u"سطرهاي خالي (ناديده):"), QString::number(plan.blankRows));
    layout->addLayout(form);

    QStringList notes;
    // One warning line for both, so that a misspelt header shows as the
    // column ignored beside the field left empty.
    QStringList misfits;
    const QStringList unknown = plan.unknownHeaders();
    if (!unknown.isEmpty())
        misfits
            << QStringLiteral(u"اين ستونها شناخته نشدند و ناديده گرفته مي شوند: %1").arg(quotedList(unknown));
    if (!plan.absentFields.isEmpty())
        misfits << QStringLiteral(u"اين فيلدها در پرونده ستوني ندارند و خالي ذخيره مي شوند: %1")
                       .arg(plan.absentFields.join(QStringLiteral(u"، ")));
    if (!misfits.isEmpty())
        notes << misfits.join(QStringLiteral(u"؛ "));
    if (!plan.duplicateRows.isEmpty())
        notes << duplicateRowsText(plan.duplicateRows.size()) + QLatin1Char('.');
    const QString avg = kApplicants.field(FieldRole::Average).nameText(); // Formol's has the same name
    if (replaces)
        notes << QStringLiteral(u"همه رديفهاي جدول %1 با رديفهاي اين پرونده جايگزين مي شود، و تنها اگر هيچ "
                                u"رديفي رد نشده باشد.")
                     .arg(importTableName(plan.table));
    else
        notes << QStringLiteral(u"ميانگين (%1) هر رديف همان گونه که پنجره ورود اطلاعات حساب مي کند از درصدها "
                            u"محاسبه و ذخيره مي شود.")
                 .arg(avg);
    if (!plan.avgDiffersOnLines.isEmpty())
        notes << QStringLiteral(u"ستون %3 پرونده در %1 رديف با ميانگين محاسبه شده فرق دارد (سطر %2)؛ "
                                u"ميانگين محاسبه شده ذخيره مي شود.")
                     .arg(plan.avgDiffersOnLines.size())
                     .arg(lineList(plan.avgDiffersOnLines))
                     .arg(avg);
    for (const QString &note : std::as_const(notes)) {
        auto *l = new QLabel(note, this);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        layout->addWidget(l);
        m_summary << l;
    }

    auto *columnsBox = new QGroupBox(QStringLiteral(u"ستونهاي پرونده"), this);
    auto *columnsLayout = new QVBoxLayout(columnsBox);
    m_columns = table({QStringLiteral(u"ستون پرونده"), QStringLiteral(u"فيلد جدول")},
                      int(plan.columns.size()), columnsBox);
    for (int r = 0; r < plan.columns.size(); ++r) {
        const ImportColumn &c = plan.columns.at(r);
        m_columns->setItem(r, 0, item(c.header));
        m_columns->setItem(r, 1,
                           item(c.field.isEmpty() ? QStringLiteral(u"(ناديده گرفته مي شود)") : c.field));
    }
    m_columns->resizeColumnToContents(0);
    columnsLayout->addWidget(m_columns);
    layout->addWidget(columnsBox, 3);

    auto *refusedBox = new QGroupBox(QStringLiteral(u"رديفهاي ردشده"), this);
    auto *refusedLayout = new QVBoxLayout(refusedBox);
    const int listed = int(std::min<qsizetype>(plan.refusals.size(), kListedRefusals));
    m_refusals =
        table({QStringLiteral(u"سطر"), QStringLiteral(u"ستون"), QStringLiteral(u"دليل")}, listed, refusedBox);
    for (int r = 0; r < listed; ++r) {
        const ImportRefusal &refusal = plan.refusals.at(r);
        m_refusals->setItem(r, 0, item(QString::number(refusal.line)));
        m_refusals->setItem(r, 1, item(refusal.column));
        m_refusals->setItem(r, 2, item(refusal.reason));
    }
    m_refusals->resizeColumnToContents(0);
    m_refusals->resizeColumnToContents(1);
    refusedLayout->addWidget(m_refusals);
    if (plan.refusals.size() > listed) {
        auto *more = new QLabel(
            QStringLiteral(u"و %1 مورد ديگر که فهرست نشده است.").arg(plan.refusals.size() - listed),
            refusedBox);
        refusedLayout->addWidget(more);
        m_summary << more;
    }
    if (plan.refusals.isEmpty())
        refusedBox->hide();
    layout->addWidget(refusedBox, 2);

    if (!plan.duplicateRows.isEmpty()) {
        m_skipDuplicates = new QCheckBox(QStringLiteral(u"رديفهاي همانند افزوده نشوند"), this);
        layout->addWidget(m_skipDuplicates);
    }

    auto *buttons = new QDialogButtonBox(this);
    m_confirm = buttons->addButton(QStringLiteral(u"تاييد"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral(u"انصراف"), QDialogButtonBox::RejectRole);
    // A table of choices is replaced whole or not at all.
    const bool storable = !plan.rows.isEmpty() && !(replaces && plan.refusedRows > 0);
    m_confirm->setEnabled(storable);
    m_cancel->setDefault(!storable);
    m_confirm->setDefault(storable);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    resize(760, plan.refusals.isEmpty() ? 620 : 780);
}

bool CsvPreviewDialog::skipDuplicates() const
{
    return m_skipDuplicates && m_skipDuplicates->isChecked();
}

QString CsvPreviewDialog::summaryText() const
{
    QStringList lines;
    for (const QLabel *l : m_summary)
        lines << l->text().remove(QChar(0x200E));
    return lines.join(QLatin1Char('\n'));
}

} // namespace placeva
