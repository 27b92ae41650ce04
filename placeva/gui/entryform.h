#pragma once
// The record window behind Placeva's two data-entry windows: a data control
// over one table, text boxes bound to the fields of its current row, and nine
// buttons that add, store, delete and move between rows in two button states.
// ApplicantEntry (applicants) and ReferenceEntry (reference results) differ only in their boxes,
// their average and one check before storing.

#include "core/store.h"
#include "core/workspace.h"
#include "toolkit.h"

#include <array>
#include <vector>

namespace placeva {

// Text boxes bound to fields of a record set's current row. A box shows its
// field when the cursor arrives on a row; a box whose text then differs from
// what it showed is written into the pending row before the row is stored.
class BoundBoxes
{
public:
    // `caption` names the box in messages; `designText` is what the box shows
    // while the cursor stands on no row.
    void bind(tk::TextBox *box, const QString &field, const QString &caption, const QString &designText = {});

    // The fields, for the data control to read (a missing one refuses the open).
    QList<ColumnRef> columns() const;

    // Shows the current row, a new row as empty boxes, or the design texts
    // where there is no row; forgets what was typed before, unless
    // `keepTyped`: then the boxes the user typed into keep their text as the
    // new row's content.
    void show(const Recordset &records, bool keepTyped = false);

    // Some box differs from what it showed.
    bool changed() const;
    // Some box that the user typed into differs from what it showed.
    bool typedInto() const;

    // Writes the changed boxes into the pending row. Every text is converted
    // before anything is set, so a refused box leaves the row as it was; the
    // refusal names the box and its field.
    MaybeError write(Recordset &records);

private:
    struct Bound
    {
        tk::TextBox *box;
        QString field;
        QString caption;
        QString designText;
        QString shown;        // the text the box got when the row was shown
        QVariant shownValue;  // the value behind it
        bool written = false; // set into the pending row since it was shown
        bool carried = false; // kept from before, counts as typed
    };
    static bool typed(const Bound &b);
    std::vector<Bound> m_boxes;
};

class EntryForm : public tk::Form
{
    Q_OBJECT
public:
    ~EntryForm() override;

    QString folder() const { return m_folder; }
    // The adding state: "cancel" enabled, "add" and "delete" disabled.
    bool isAdding() const;
    const BoundBoxes &boundBoxes() const { return m_bound; }

    DataControl Ado1;
    // Text(0) .. Text(9), the subject boxes in the order the average walks
    // them; a window with fewer subjects leaves the rest null.
    std::array<tk::TextBox *, kApplicantSubjectCount> Text{};
    tk::TextBox *Text1 = nullptr;
    tk::TextBox *txtAvg = nullptr;
    tk::Button *Command1 = nullptr; // add
    tk::Button *Command2 = nullptr; // cancel the new record
    tk::Button *Command3 = nullptr; // average, then store
    tk::Button *Command4 = nullptr; // delete
    tk::Button *Command5 = nullptr; // next
    tk::Button *Command6 = nullptr; // previous
    tk::Button *Command7 = nullptr; // average
    tk::Button *Command8 = nullptr; // last
    tk::Button *Command9 = nullptr; // first

    void Command1_Click();
    void Command2_Click();
    virtual void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    virtual void Command7_Click() = 0;
    void Command8_Click();
    void Command9_Click();

protected:
    EntryForm(const QString &folder, const QString &table, QWidget *parent);

    // The weighted average of `fields`' subjects from Text(0).. into txtAvg.
    // The running total is kept as txtAvg's text, so each partial sum is
    // rounded to its text; a failure empties txtAvg (a partial sum is no
    // average) and goes on to the caller.
    void computeAverage(const TableFields &fields);

    // Makes the nine buttons with these captions, Command1 first. Made after
    // the boxes, so that the tab order runs down the column first.
    void makeButtons(const std::array<QString, 9> &captions);
    // Two rows of four below the column, Command1 and Command8 rightmost.
    void placeButtonRows(int left, int top, int width, int height, int gap, int rowStep);
    // The publisher's web address across the foot of the window.
    tk::Label *addressLabel(const char *name, int left, int top, int width);
    void connectHandlers();

    // Opens the table and shows its first row; a failure is told to the user
    // and refuses the window.
    void openTable();
    // Stores the current row as it stands in the boxes (the second half of
    // Command3), then enters the browsing state.
    void storeRecord();
    void enterAddingState();
    void enterBrowsingState();

    bool queryClose() override;

    BoundBoxes m_bound;

private:
    enum class Move {
        First,
        Next,
        Previous,
        Last
    };
    enum class Leaving {
        Close,
        Move
    };
    void moveTo(Move move);
    // Before the cursor leaves the row or the window closes: an untouched new
    // row is dropped; a changed row gets its average, as "Save" gives it, and
    // is stored. Returns what refused the store.
    MaybeError storeBeforeLeaving();
    // The average into txtAvg; a failure (an overflow) is returned, not thrown.
    MaybeError averageFirst();
    // storeBeforeLeaving(); when that is refused the user chooses between
    // staying (false) and leaving without the unstored changes (true).
    bool leaveRow(Leaving how);
    bool askLeave(const StoreError &error, Leaving how);
    bool hasRow() const;
    void tellNoRow();
    void tellNotStored(const StoreError &error);

    QString m_folder;
    QString m_table;
};

} // namespace placeva
