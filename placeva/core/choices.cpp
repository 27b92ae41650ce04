#include "core/choices.h"

#include "numbers.h"

#include <array>
#include <string_view>

namespace placeva {

namespace {

struct Choice
{
    std::u16string_view name;
    std::optional<std::int32_t> limit;
};

// Offering order and limits. The limits do not grow with the position: a
// later choice may admit fewer ranks than an earlier one. "شمال آمل" has
// never had a limit, so it is offered but admits nobody.
constexpr std::array<Choice, 27> kChoices{{
    {u"شمسي پور", 40},
    {u"شريعتي", 40},
    {u"زنجان", 75},
    {u"کرمان", 100},
    {u"شيراز", 200},
    {u"بناب", 150},
    {u"بيرجند", 300},
    {u"بجنورد", 300},
    {u"شمسي پور_ش", 240},
    {u"شريعتي_ش", 240},
    {u"زنجان_ش", 300},
    {u"کرمان_ش", 250},
    {u"شيراز_ش", 400},
    {u"بناب_ش", 350},
    {u"بيرجند_ش", 450},
    {u"بجنورد_ش", 450},
    {u"علم و فرهنگ تهران", 500},
    {u"صدرا تهران", 800},
    {u"پاسارگاد شيراز", 1600},
    {u"سجاد مشهد", 1200},
    {u"جهاد اهواز", 3500},
    {u"جهاد اصفهان", 1700},
    {u"علامه رفيعي قزوين", 1800},
    {u"شمال آمل", std::nullopt},
    {u"هاتف زاهدان", 11000},
    {u"بهار مشهد", 8000},
    {u"اميد به تکميل ظرفيت", 13000},
}};

} // namespace

const ChoiceTable &builtInChoices()
{
    static const ChoiceTable table = [] {
        ChoiceTable rows;
        for (const Choice &c : kChoices)
            rows.append({QString::fromUtf16(c.name.data(), qsizetype(c.name.size())), c.limit});
        return rows;
    }();
    return table;
}

const QStringList &choiceNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const ChoiceRow &c : builtInChoices())
            list.append(c.name);
        return list;
    }();
    return names;
}

std::optional<std::int32_t> admissionLimit(const QString &choice, const ChoiceTable &table)
{
    for (const ChoiceRow &c : table) {
        if (c.name == choice)
            return c.limit;
    }
    return std::nullopt;
}

bool isAdmitted(const QString &choice, std::int32_t rank, const ChoiceTable &table)
{
    if (rank < 1)
        return false;
    const std::optional<std::int32_t> limit = admissionLimit(choice, table);
    return limit && rank <= *limit;
}

std::optional<int> firstAdmitting(const QStringList &priorities, std::int32_t rank, const ChoiceTable &table)
{
    for (int i = 0; i < priorities.size(); ++i) {
        if (isAdmitted(priorities.at(i), rank, table))
            return i;
    }
    return std::nullopt;
}

std::optional<Verdict> choiceVerdict(const QString &choice, std::int32_t rank,
                                     const std::optional<LikelyRange> &range, const ChoiceTable &table)
{
    if (choice.isEmpty())
        return std::nullopt;
    return admissionVerdict(admissionLimit(choice, table), rank, range);
}

QString notAdmittedText()
{
    return QStringLiteral(u"عدم قبولي");
}

} // namespace placeva
