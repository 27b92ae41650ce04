#include "gui/entryform.h"

#include "bidi.h"
#include "numbers.h"

#include <utility>

namespace placeva {

namespace {

const QString kKeptSuffix = QStringLiteral(u"رکورد ذخيره نشد و آنچه نوشته ايد در پنجره مانده است.");
const QString kStay = QStringLiteral(u"ادامه ويرايش");
const QString kCloseUnstored = QStringLiteral(u"بستن بدون ذخيره");
const QString kMoveUnstored = QStringLiteral(u"رفتن بدون ذخيره");

} // namespace

// ---- bound boxes -----------------------------------------------------------

void BoundBoxes::bind(tk::TextBox *box, const QString &field, const QString &caption,
                      const QString &designText)
{
    QString name = caption;
    name.remove(QLatin1Char(':'));
    m_boxes.push_back(Bound{box, field, name.simplified(), designText, designText, QVariant()});
    box->setText(designText);
    box->clearUserEdited();
}

QList<ColumnRef> BoundBoxes::columns() const
{
    QList<ColumnRef> out;
    for (const Bound &b : m_boxes)
        out.append(ColumnRef(b.field));
    return out;
}

void BoundBoxes::show(const Recordset &records, bool keepTyped)
{
    const bool onRow = records.isNew() || records.absolutePosition() >= 0;
    for (Bound &b : m_boxes) {
        const QString before = b.box->text();
        const bool keep = keepTyped && typed(b);
        b.shownValue = onRow ? records.value(b.field) : QVariant();
        b.shown = onRow ? textForBox(b.shownValue) : b.designText;
        b.written = false;
        b.carried = keep && before != b.shown;
        b.box->setText(keep ? before : b.shown);
        b.box->setCursorPosition(0);
        b.box->clearUserEdited();
    }
}

bool BoundBoxes::typed(const Bound &b)
{
    return (b.box->userEdited() || b.carried) && b.box->text() != b.shown;
}

bool BoundBoxes::changed() const
{
    for (const Bound &b : m_boxes) {
        if (b.box->text() != b.shown)
            return true;
    }
    return false;
}

bool BoundBoxes::typedInto() const
{
    for (const Bound &b : m_boxes) {
        if (typed(b))
            return true;
    }
    return false;
}

MaybeError BoundBoxes::write(Recordset &records)
{
    std::vector<std::pair<Bound *, QVariant>> values;
    for (Bound &b : m_boxes) {
        const QString text = b.box->text();
        if (text == b.shown) {
            // Typed back to what it showed after an earlier write: undo that write.
            if (b.written)
                values.emplace_back(&b, b.shownValue);
            continue;
        }
        Converted converted = valueFromText(b.field, text);
        if (converted.error) {
            return StoreError{
                StoreErrorKind::Refused,
                QStringLiteral(
                    u"«%1» در کادر «%2» (ستون %3) عدد نيست؛ يک عدد بنويسيد يا کادر را خالي بگذاريد.")
                    .arg(common::isolate(text), b.caption, common::isolate(b.field)),
                converted.error->message};
        }
        values.emplace_back(&b, converted.value);
    }
    for (auto &[bound, value] : values) {
        if (auto error = records.setPendingValue(bound->field, value))
            return error;
        bound->written = true;
    }
    return std::nullopt;
}

// ---- the record window -----------------------------------------------------

EntryForm::EntryForm(const QString &folder, const QString &table, QWidget *parent)
    : tk::Form(parent), m_folder(folder), m_table(table)
{ }

EntryForm::~EntryForm() = default;

bool EntryForm::isAdding() const
{
    return Command2 && Command2->isEnabled();
}

void EntryForm::makeButtons(const std::array<QString, 9> &captions)
{
    tk::Button **buttons[9] = {&Command1, &Command2, &Command3, &Command4, &Command5,
                               &Command6, &Command7, &Command8, &Command9};
    for (int i = 0; i < 9; ++i) {
        auto *b = new tk::Button(this, captions[size_t(i)]);
        b->setObjectName(QStringLiteral("Command%1").arg(i + 1));
        b->setFont(tk::font(9, true));
        *buttons[i] = b;
    }
    // The design state; loading then enters one of the two states.
    Command2->setEnabled(false);
    // Enter stores, Escape closes through the close box's questions.
    setDefaultButton(Command3);
    setClosesOnEscape(true);
}

tk::Label *EntryForm::addressLabel(const char *name, int left, int top, int width)
{
    auto *label = new tk::Label(this, tk::webAddress());
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(tk::font(10, true));
    label->setForeColor(tk::rgb(128, 0, 128));
    label->setAlignment(Qt::AlignCenter);
    tk::place(label, left, top, width, 420);
    return label;
}

void EntryForm::placeButtonRows(int left, int top, int width, int height, int gap, int rowStep)
{
    // Right to left: Command1 .. Command4 above, Command8, 5, 6, 9 below.
    tk::Button *upper[4] = {Command1, Command2, Command3, Command4};
    tk::Button *lower[4] = {Command8, Command5, Command6, Command9};
    for (int i = 0; i < 4; ++i) {
        const int x = left + (3 - i) * (width + gap);
        tk::place(upper[i], x, top, width, height);
        tk::place(lower[i], x, top + rowStep, width, height);
    }
    // The focus walks the rows as they read, right to left.
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command8);
    setTabOrder(Command8, Command5);
    setTabOrder(Command5, Command6);
    setTabOrder(Command6, Command9);
}

void EntryForm::connectHandlers()
{
    tk::on(Command1, &tk::Button::clicked, this, [this] { Command1_Click(); });
    tk::on(Command2, &tk::Button::clicked, this, [this] { Command2_Click(); });
    tk::on(Command3, &tk::Button::clicked, this, [this] { Command3_Click(); });
    tk::on(Command4, &tk::Button::clicked, this, [this] { Command4_Click(); });
    tk::on(Command5, &tk::Button::clicked, this, [this] { Command5_Click(); });
    tk::on(Command6, &tk::Button::clicked, this, [this] { Command6_Click(); });
    tk::on(Command7, &tk::Button::clicked, this, [this] { Command7_Click(); });
    tk::on(Command8, &tk::Button::clicked, this, [this] { Command8_Click(); });
    tk::on(Command9, &tk::Button::clicked, this, [this] { Command9_Click(); });
}

void EntryForm::openTable()
{
    Ado1.setConnectionString(DataControl::connectionStringFor(m_folder));
    Ado1.setCommandType(DataControl::CommandTable);
    Ado1.setRecordSource(m_table);
    Ado1.setColumns(m_bound.columns());
    if (MaybeError error = Ado1.refresh()) {
        tk::MsgBox::show(nullptr, windowTitle(),
                         error->message + QLatin1Char('\n')
                             + QStringLiteral(u"پنجره «%1» باز نمي شود.").arg(windowTitle()),
                         tk::MsgBox::Critical);
        throw tk::LoadRefused();
    }
    m_bound.show(*Ado1.recordset());
}

void EntryForm::enterAddingState()
{
    Command2->setEnabled(true);
    Command1->setEnabled(false);
    Command4->setEnabled(false);
}

void EntryForm::enterBrowsingState()
{
    Command2->setEnabled(false);
    Command1->setEnabled(true);
    Command4->setEnabled(true);
}

bool EntryForm::hasRow() const
{
    const Recordset *records = Ado1.recordset();
    return records->isNew() || records->absolutePosition() >= 0;
}

void EntryForm::tellNoRow()
{
    const Recordset *records = Ado1.recordset();
    QString text;
    if (records->recordCount() > 0)
        text = QStringLiteral(u"رکورد جاري وجود ندارد. با دکمه هاي حرکت يک رکورد را انتخاب کنيد.");
    else if (records->isNew())
        text = QStringLiteral(u"جدول «%1» هنوز رکوردي ندارد. رکورد تازه را پر کنيد و دکمه «%2» را بزنيد.")
                   .arg(m_table, Command3->text());
    else
        text = QStringLiteral(u"جدول «%1» هنوز رکوردي ندارد. براي افزودن رکورد، دکمه «%2» را بزنيد.")
                   .arg(m_table, Command1->text());
    if (!records->isNew() && m_bound.typedInto())
        text += QLatin1Char('\n') + QStringLiteral(u"آنچه نوشته ايد در کادرها مي ماند.");
    tk::MsgBox::show(this, QStringLiteral(u"رکورد جاري"), text, tk::MsgBox::Information);
}

void EntryForm::tellNotStored(const StoreError &error)
{
    QString text = error.message;
    if (error.kind != StoreErrorKind::NoCurrentRecord)
        text += QLatin1Char('\n') + kKeptSuffix;
    tk::MsgBox::show(this, QStringLiteral(u"ذخيره نشد"), text, tk::MsgBox::Warning);
}

MaybeError EntryForm::averageFirst()
{
    try {
        Command7_Click();
    } catch (const std::exception &e) {
        return StoreError{StoreErrorKind::Refused,
                          QStringLiteral(u"ميانگين محاسبه نشد (%1)؛ رکورد بدون ميانگين درست ذخيره نمي شود.")
                              .arg(tk::errorReport(e)),
                          QString()};
    }
    return std::nullopt;
}

MaybeError EntryForm::storeBeforeLeaving()
{
    Recordset *records = Ado1.recordset();
    if (records->isNew() && !m_bound.typedInto()) {
        // Nobody typed into it: leaving must not add an empty row.
        records->cancel();
        return std::nullopt;
    }
    if (!hasRow() || (!records->isPending() && !m_bound.changed()))
        return std::nullopt;
    if (MaybeError error = averageFirst())
        return error;
    if (MaybeError error = m_bound.write(*records))
        return error;
    if (!records->isPending())
        return std::nullopt;
    return records->update();
}

bool EntryForm::askLeave(const StoreError &error, Leaving how)
{
    const QString question = how == Leaving::Close
        ? QStringLiteral(u"رکورد ذخيره نشد. به ويرايش ادامه مي دهيد، يا پنجره را مي بنديد و آنچه ذخيره نشده "
                         u"است کنار گذاشته مي شود؟")
        : QStringLiteral(u"رکورد ذخيره نشد. به ويرايش ادامه مي دهيد، يا به رکورد ديگر مي رويد و آنچه ذخيره "
                         u"نشده است کنار گذاشته مي شود؟");
    return tk::MsgBox::choose(this, QStringLiteral(u"ذخيره نشد"),
                              error.message + QLatin1Char('\n') + question, tk::MsgBox::Warning, kStay,
                              how == Leaving::Close ? kCloseUnstored : kMoveUnstored)
        == tk::MsgBox::No;
}

bool EntryForm::leaveRow(Leaving how)
{
    const MaybeError error = storeBeforeLeaving();
    if (!error)
        return true;
    if (!askLeave(*error, how))
        return false; // what was typed stays in the boxes
    Ado1.recordset()->cancel();
    return true;
}

void EntryForm::storeRecord()
{
    Recordset *records = Ado1.recordset();
    if (!hasRow()) {
        tellNoRow();
        return;
    }
    if (MaybeError error = m_bound.write(*records)) {
        tellNotStored(*error);
        return;
    }
    if (MaybeError error = records->update()) {
        tellNotStored(*error);
        return;
    }
    m_bound.show(*records);
    enterBrowsingState();
}

void EntryForm::moveTo(Move move)
{
    Recordset *records = Ado1.recordset();
    const bool storesNewRow = records->isNew() && m_bound.typedInto();
    if (records->recordCount() == 0 && !storesNewRow) {
        tellNoRow();
        return;
    }
    if (!leaveRow(Leaving::Move))
        return;
    MaybeError error;
    switch (move) {
    case Move::First: error = records->moveFirst(); break;
    case Move::Last: error = records->moveLast(); break;
    case Move::Next:
        error = records->moveNext();
        if (!error && records->isEOF())
            error = records->movePrevious();
        break;
    case Move::Previous:
        error = records->movePrevious();
        if (!error && records->isBOF())
            error = records->moveNext();
        break;
    }
    if (error) {
        if (error->kind == StoreErrorKind::NoCurrentRecord)
            tellNoRow();
        else
            tellNotStored(*error);
        // A failed store leaves the row and its boxes as they were.
        if (records->isPending())
            return;
    }
    m_bound.show(*records);
}

void EntryForm::Command1_Click()
{
    // What was typed where no row stood becomes the new row's content.
    const bool carry = !hasRow() && m_bound.typedInto();
    if (!leaveRow(Leaving::Move))
        return;
    Recordset *records = Ado1.recordset();
    if (MaybeError error = records->addNew()) {
        tellNotStored(*error);
        return;
    }
    m_bound.show(*records, carry);
    enterAddingState();
}

void EntryForm::Command2_Click()
{
    enterBrowsingState();
    Recordset *records = Ado1.recordset();
    if (!records->isNew())
        return;
    // The new row is dropped; the row that was current before it comes back.
    records->cancel();
    if (records->absolutePosition() < 0 && records->recordCount() > 0)
        records->moveFirst();
    m_bound.show(*records);
}

void EntryForm::Command3_Click()
{
    Command7_Click();
    storeRecord();
}

void EntryForm::Command4_Click()
{
    if (!hasRow()) {
        tellNoRow();
        return;
    }
    if (tk::MsgBox::show(this, QStringLiteral("Deleting..."), QStringLiteral("Are you sure?"),
                         tk::MsgBox::Question, tk::MsgBox::YesNo)
        != tk::MsgBox::Yes)
        return;
    Recordset *records = Ado1.recordset();
    if (MaybeError error = records->deleteCurrent()) {
        tk::MsgBox::show(this, QStringLiteral(u"حذف نشد"), error->message, tk::MsgBox::Warning);
        return;
    }
    if (MaybeError error = Ado1.refresh()) {
        // The row is gone from the file and from the rows at hand; show the
        // first of those.
        tk::MsgBox::show(this, QStringLiteral(u"خواندن دوباره جدول"), error->message, tk::MsgBox::Warning);
        records->moveFirst();
    }
    m_bound.show(*Ado1.recordset());
}

void EntryForm::Command5_Click()
{
    moveTo(Move::Next);
}
void EntryForm::Command6_Click()
{
    moveTo(Move::Previous);
}
void EntryForm::Command8_Click()
{
    moveTo(Move::Last);
}
void EntryForm::Command9_Click()
{
    moveTo(Move::First);
}

bool EntryForm::queryClose()
{
    Recordset *records = Ado1.recordset();
    if (!records->isOpen())
        return true;
    if (!hasRow() && m_bound.typedInto()) {
        // Typed where no row stood: it becomes a new row rather than be lost.
        if (MaybeError error = records->addNew())
            return askLeave(*error, Leaving::Close);
        m_bound.show(*records, true);
        enterAddingState();
    }
    // Closing keeps what was typed, as leaving the row for another would; a
    // refused store lets the user choose, so the window can always be left.
    return leaveRow(Leaving::Close);
}

void EntryForm::computeAverage(const TableFields &fields)
{
    try {
        txtAvg->setText(QStringLiteral("0"));
        txtAvg->setText(weightedAverageText(
            fields, [this](int i) { return common::leadingNumber(Text[size_t(i)]->text()); },
            [this](const QString &partial) { txtAvg->setText(partial); }));
    } catch (...) {
        txtAvg->setText(QString());
        throw;
    }
}

} // namespace placeva
