#pragma once
// "Data Input": the applicants of table Davtalab, one at a time: the name, the
// ten subject percentages and their weighted average.

#include "gui/entryform.h"

namespace placeva {

class ApplicantEntry : public EntryForm
{
    Q_OBJECT
public:
    // `folder` holds Bank.db.
    explicit ApplicantEntry(const QString &folder, QWidget *parent = nullptr);
    // On the workspace's open database.
    explicit ApplicantEntry(const Workspace &workspace, QWidget *parent = nullptr)
        : ApplicantEntry(workspace.location(), parent)
    { }
    ~ApplicantEntry() override;

    // The captions beside Text1, Text(0) .. Text(9) and txtAvg.
    tk::Label *NameLabel = nullptr;
    std::array<tk::Label *, kApplicantSubjectCount> TextLabel{};
    tk::Label *AvgLabel = nullptr;
    tk::Label *Label12 = nullptr; // web address

    // The weighted average of the ten boxes into txtAvg. The running total is
    // kept as txtAvg's text, so each partial sum is rounded to its text.
    void Command7_Click() override;

protected:
    void formLoad() override;
};

} // namespace placeva
