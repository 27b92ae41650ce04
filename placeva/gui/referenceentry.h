#pragma once
// The reference results of table Formol: eight subject percentages of an
// applicant of the 1387 exam, their weighted average and the rank obtained.
// The main window estimates ranks by interpolating between these rows.

#include "gui/entryform.h"

namespace placeva {

class ReferenceEntry : public EntryForm
{
    Q_OBJECT
public:
    // `folder` holds Bank.db.
    explicit ReferenceEntry(const QString &folder, QWidget *parent = nullptr);
    // On the workspace's open database.
    explicit ReferenceEntry(const Workspace &workspace, QWidget *parent = nullptr)
        : ReferenceEntry(workspace.location(), parent)
    { }
    ~ReferenceEntry() override;

    tk::Label *Label1 = nullptr; // the notice across the top
    // The captions beside Text(0) .. Text(7), txtAvg and Text1 (the rank).
    std::array<tk::Label *, kReferenceSubjectCount> TextLabel{};
    tk::Label *AvgLabel = nullptr;
    tk::Label *RankLabel = nullptr;
    tk::Label *Label9 = nullptr; // web address

    // Refuses a row without a rank; otherwise averages and stores it.
    void Command3_Click() override;
    // The weighted average of the eight boxes into txtAvg, the running total
    // kept as txtAvg's text.
    void Command7_Click() override;

protected:
    void formLoad() override;
};

} // namespace placeva
