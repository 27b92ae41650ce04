#include "core/counsel.h"

#include "core/choices.h"
#include "core/store.h"
#include "core/workspace.h"
#include "numbers.h"

#include <algorithm>

namespace placeva {

std::optional<QVector<ApplicantRecord>> readApplicantRecords(const QString &location)
{
    DataControl control;
    control.setConnectionString(DataControl::connectionStringFor(location));
    control.setCommandType(DataControl::CommandTable);
    control.setRecordSource(kApplicants.tableName());
    QList<ColumnRef> columns{ColumnRef(0)};
    for (const Field &f : kApplicants.subjects())
        columns.append(ColumnRef(f.nameText()));
    control.setColumns(columns);
    if (control.refresh())
        return std::nullopt;
    Recordset *rs = control.recordset();
    QVector<ApplicantRecord> rows;
    rows.reserve(rs->recordCount());
    if (rs->recordCount() != 0)
        rs->moveFirst();
    while (!rs->isEOF()) {
        ApplicantRecord row;
        row.name = rs->value(0);
        for (int i = 0; i < kApplicantSubjectCount; ++i)
            row.subjects[size_t(i)] = rs->value(i + 1);
        rows.append(row);
        if (rs->moveNext())
            break;
    }
    return rows;
}

std::optional<double> subjectValue(const QVariant &stored)
{
    try {
        return common::leadingNumber(textForBox(stored));
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

std::optional<double> entryAverage(const Percentages &percentages)
{
    try {
        // Stored from the box's text, so read back from it.
        const QString text = weightedAverageText(kApplicants, [&](int i) { return percentages[size_t(i)]; });
        return common::leadingNumber(text);
    } catch (const common::NumberError &) {
        return std::nullopt;
    }
}

std::vector<SubjectGain> tenMorePoints(const RankModel &model, const Percentages &percentages,
                                       std::optional<std::int32_t> currentRank)
{
    std::vector<SubjectGain> gains;
    for (int i = 0; i < kApplicantSubjectCount; ++i) {
        Percentages raised = percentages;
        double &p = raised[size_t(i)];
        if (p < 100)
            p = std::min(p + 10, 100.0);
        SubjectGain g;
        g.subject = i;
        if (const std::optional<double> average = entryAverage(raised))
            g.rank = model.estimate(*average);
        if (g.rank && currentRank)
            g.gain = std::int64_t(*currentRank) - *g.rank;
        gains.push_back(g);
    }
    std::stable_sort(gains.begin(), gains.end(), [](const SubjectGain &a, const SubjectGain &b) {
        if (a.gain.has_value() != b.gain.has_value())
            return a.gain.has_value();
        return a.gain && *a.gain > *b.gain;
    });
    return gains;
}

ChoiceListLines choiceListLines(const ApplicantResult &applicant,
                                const std::vector<std::int64_t> &nearestErrors, const QStringList &priorities,
                                const ChoiceTable &table)
{
    std::vector<PriorityLimit> list;
    for (const QString &choice : priorities)
        list.push_back({!choice.isEmpty(), admissionLimit(choice, table)});
    const std::vector<std::optional<DeadPriority>> dead = deadPriorities(list);
    ChoiceListLines lines;
    lines.chances = listChances(list, applicant.rank, nearestErrors);
    for (qsizetype i = 0; i < priorities.size(); ++i) {
        SheetChoice line;
        line.priority = int(i) + 1;
        line.choice = priorities.at(i);
        line.limit = list[size_t(i)].limit;
        // The rank as the choice list's "Mohasebe" reads it: without an estimate, 0.
        line.verdict = choiceVerdict(line.choice, applicant.rank.value_or(0), applicant.range, table);
        if (lines.chances)
            line.chance = lines.chances->percent[size_t(i)];
        line.dead = dead[size_t(i)];
        lines.priorities.push_back(line);
    }
    return lines;
}

namespace {

// A given list as ten priorities, the missing ones empty.
QStringList tenPriorities(QStringList priorities)
{
    priorities = priorities.mid(0, 10);
    while (priorities.size() < 10)
        priorities.append(QString());
    return priorities;
}

} // namespace

std::vector<SheetChoice> sheetChoices(const ApplicantResult &applicant,
                                      const std::optional<QStringList> &priorities, const ChoiceTable &table,
                                      const std::vector<std::int64_t> &nearestErrors)
{
    if (priorities)
        return choiceListLines(applicant, nearestErrors, tenPriorities(*priorities), table).priorities;
    std::vector<SheetChoice> lines;
    if (!applicant.rank)
        return lines;
    for (const ChoiceRow &row : table) {
        SheetChoice line;
        line.choice = row.name;
        line.limit = row.limit;
        line.verdict = admissionVerdict(line.limit, *applicant.rank, applicant.range);
        if (*line.verdict != Verdict::Out)
            lines.push_back(line);
    }
    // A choice with a limit admits something, so every line kept has one.
    std::stable_sort(lines.begin(), lines.end(), [](const SheetChoice &a, const SheetChoice &b) {
        if (*a.verdict != *b.verdict)
            return *a.verdict < *b.verdict;
        return a.limit.value_or(0) < b.limit.value_or(0);
    });
    return lines;
}

CounselSheet counselSheet(const Workspace &workspace, qsizetype k, const ApplicantRecord &record,
                          const ChoiceTableReading &choices, const std::optional<QStringList> &priorities)
{
    const PassResult &pass = workspace.result();
    CounselSheet sheet;
    sheet.result = pass.applicants.value(k);
    sheet.name = sheet.result.name;
    sheet.averageText = cellText(workspace.applicants().value(k).avg);
    sheet.typicalError = pass.summary.typicalError;
    sheet.factorShown = pass.model ? pass.model->changeFactor().shown() : workspace.factorText();
    Percentages values{};
    bool readable = true;
    for (size_t i = 0; i < record.subjects.size(); ++i) {
        sheet.percentTexts[i] = textForBox(record.subjects[i]);
        sheet.percentValues[i] = subjectValue(record.subjects[i]);
        readable = readable && sheet.percentValues[i];
        values[i] = sheet.percentValues[i].value_or(0);
    }
    if (readable && pass.model)
        sheet.gains = tenMorePoints(*pass.model, values, sheet.result.rank);
    sheet.givenChoices = priorities.has_value();
    sheet.choiceTableError = choices.error;
    if (priorities) {
        ChoiceListLines lines = choiceListLines(sheet.result, nearestErrorsOf(pass, k),
                                                tenPriorities(*priorities), choices.choices);
        sheet.choices = std::move(lines.priorities);
        sheet.listOutcome = lines.chances;
    } else if (!choices.error) {
        sheet.choices = sheetChoices(sheet.result, std::nullopt, choices.choices);
    }
    return sheet;
}

std::optional<qsizetype> findApplicant(const PassResult &pass, const QString &name)
{
    for (qsizetype k = 0; k < pass.applicants.size(); ++k) {
        if (pass.applicants[k].name == name)
            return k;
    }
    return std::nullopt;
}

} // namespace placeva
