#pragma once
// One applicant's counselling sheet in numbers: the ten percentages as the
// data-entry window reads them, the estimate, likely range and band of the
// last pass, which subject's ten more points would move the rank most, and
// what the choices say. No sentences: gui/sheet words and paints it.

#include "core/chances.h"
#include "core/choicetable.h"
#include "core/rankrange.h"
#include "core/stats.h"
#include "core/subjects.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace placeva {

class Workspace;

// One applicant's row of Davtalab: column 0 and the ten subjects, as stored.
struct ApplicantRecord
{
    QVariant name;
    std::array<QVariant, kApplicantSubjectCount> subjects;
};

// Every row of Davtalab in the order the statistics pass reads them. Nothing
// when the table cannot be read.
std::optional<QVector<ApplicantRecord>> readApplicantRecords(const QString &location);

// A subject's percentage as the data-entry window reads it from its box: the
// stored value's box text by the leading-number parse (an empty cell is 0).
// Nothing when the number overflows.
std::optional<double> subjectValue(const QVariant &stored);

using Percentages = std::array<double, kApplicantSubjectCount>;

// The weighted average as the data-entry window computes and stores it;
// nothing on an arithmetic fault.
std::optional<double> entryAverage(const Percentages &percentages);

// What ten more points in one subject would do.
struct SubjectGain
{
    int subject = 0;                  // 0 .. 9, in the table's order
    std::optional<std::int32_t> rank; // the rank the raised average reaches
    std::optional<std::int64_t> gain; // current estimate minus that rank
};

// The subject raised by ten points, at most to 100 (one at 100 or above is
// left as it is), averaged as the data-entry window does and estimated by the
// model; sorted by gain, largest first, ties in subject order, subjects
// without a gain last.
std::vector<SubjectGain> tenMorePoints(const RankModel &model, const Percentages &percentages,
                                       std::optional<std::int32_t> currentRank);

// One line of the sheet's choice list: a priority of a given list (priority
// from 1) or a choice of the choice table (priority 0).
struct SheetChoice
{
    int priority = 0;
    QString choice;
    std::optional<std::int32_t> limit;
    std::optional<Verdict> verdict; // nothing for an empty priority
    // A given list's: the whole-percent chance that the list lands here
    // (nothing for an empty priority or without an estimate), and whether this
    // priority can never be the admitting one.
    std::optional<int> chance;
    std::optional<DeadPriority> dead;
};

// A given list priority by priority as the choice list shows it: the verdict
// as "Mohasebe" reads the rank (without an estimate, 0), the chances and the
// dead priorities; and the chances of the whole list (nothing without an
// estimate). The sheet and the choice list's spreadsheet share it.
struct ChoiceListLines
{
    std::vector<SheetChoice> priorities;
    std::optional<ListChances> chances;
};
ChoiceListLines choiceListLines(const ApplicantResult &applicant,
                                const std::vector<std::int64_t> &nearestErrors, const QStringList &priorities,
                                const ChoiceTable &table);

// The ten priorities given, as choiceListLines; without priorities, the
// choices of the table that are safe, likely or a reach for the estimate,
// grouped in that order, strictest (lowest limit) first within each group
// (none without an estimate).
std::vector<SheetChoice> sheetChoices(const ApplicantResult &applicant,
                                      const std::optional<QStringList> &priorities,
                                      const ChoiceTable &table = builtInChoices(),
                                      const std::vector<std::int64_t> &nearestErrors = {});

struct CounselSheet
{
    QString name;
    std::array<QString, kApplicantSubjectCount> percentTexts; // as the entry window's boxes show them
    std::array<std::optional<double>, kApplicantSubjectCount> percentValues;
    QString averageText; // the stored average's own text
    ApplicantResult result;
    std::optional<std::int64_t> typicalError;
    QString factorShown;
    std::vector<SubjectGain> gains; // empty when the percentages cannot be read
    bool givenChoices = false;
    std::vector<SheetChoice> choices;
    std::optional<ListChances> listOutcome; // a given list's chances, with an estimate
    MaybeError choiceTableError;            // its choice table could not be read: no choices
};

// Applicant k of the workspace's last pass with its record, the choices read
// from the database (or those a list was picked from) and `priorities` when a
// list is given.
CounselSheet counselSheet(const Workspace &workspace, qsizetype k, const ApplicantRecord &record,
                          const ChoiceTableReading &choices,
                          const std::optional<QStringList> &priorities = std::nullopt);

// The first applicant of the last pass with exactly this name, as the choice
// list's name list finds them.
std::optional<qsizetype> findApplicant(const PassResult &pass, const QString &name);

} // namespace placeva
