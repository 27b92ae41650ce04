#pragma once
// Placeva's mock choice-list window: pick an applicant by name to see the
// estimated rank, fill in up to ten choices in order of priority, and learn
// which priority, if any, admits that rank.

#include "core/choices.h"
#include "core/stats.h"
#include "toolkit.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace placeva {

class Workspace;

class ChoiceList : public tk::Form
{
    Q_OBJECT
public:
    // The workspace's last pass: the names and ranks as the main window's
    // lists show them. Read at load and when a name is picked.
    explicit ChoiceList(const Workspace *workspace, QWidget *parent = nullptr);

    tk::ComboBox *Combo1;                    // applicant names
    tk::Label *Label2;                       // the picked applicant's rank
    std::array<tk::ComboBox *, 10> Combo2{}; // one choice per priority
    tk::Label *lbl1;                         // the admitting priority, or "0"
    tk::Label *lbl2;                         // the admitting choice
    tk::Button *Command1;                    // "Mohasebe"
    tk::Button *Command2;                    // "Exit"
    tk::Button *sheetButton;                 // the counselling sheet of the picked applicant and list
    tk::Label *Label16;                      // the publisher's web address
    // Captions beside the controls.
    tk::Label *nameCaption, *rankCaption, *resultPriorityCaption, *resultPlaceCaption;
    std::array<tk::Label *, 10> priorityCaptions{};
    // Beside each priority, what its choice says for the picked applicant:
    // empty for an empty priority.
    std::array<tk::Label *, 10> verdicts{};
    // Beside each verdict, the chance that the list lands at that priority;
    // beside that, "dead" marks a priority that can never be the admitting
    // one, its tooltip telling why. Empty without an applicant's rank.
    std::array<tk::Label *, 10> chances{};
    std::array<tk::Label *, 10> deadMarks{};
    // The chance of landing nowhere, and the warning that not even the worst
    // likely rank is admitted anywhere.
    tk::Label *notAdmittedCaption, *notAdmittedChance, *noSafetyNet;

    void Combo1_Click();
    void Command1_Click();
    void Command2_Click();
    // Each priority's verdict, chance and dead mark, and the list's chances.
    void showVerdicts();
    void sheetButton_Click();
    // Admission by the choices this window offers.
    bool IsAdmitted(const QString &choice, std::int32_t rank) const;
    // Offers these choices in every priority list, none chosen (this year's
    // table of the database; the built-in choices until told).
    void offerChoices(const ChoiceTable &choices);

protected:
    void formLoad() override;

private:
    QPointer<const Workspace> m_pass;
    std::optional<LikelyRange> m_range; // the picked applicant's, as the pass found it
    std::optional<std::int32_t> m_rank; // the picked applicant's estimate
    std::vector<std::int64_t> m_errors; // what the likely range is taken from
    ChoiceTable m_choices = builtInChoices();
};

} // namespace placeva
