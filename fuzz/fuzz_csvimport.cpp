// Feeds arbitrary bytes to the spreadsheet import: encoding detection,
// decoding, separator detection, parsing, header matching and the row checks,
// for both tables. Nothing may crash, and what comes out must hold together:
// a parsed table written back and read again gives the same cells, and a
// plan's rows each hold one value per field written.
#include "core/csv.h"
#include "core/csvimport.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkRoundTrip(const placeva::CsvTable &table)
{
    if (table.unclosedQuoteLine > 0 || table.tooWideLine > 0 || table.cancelled)
        return;
    QString out;
    for (const placeva::CsvRecord &r : table.records)
        placeva::appendCsvRecord(out, r.fields);
    const placeva::CsvTable again = placeva::parseCsv(out, QLatin1Char(','));
    check(again.unclosedQuoteLine == 0 && again.records.size() == table.records.size());
    for (qsizetype i = 0; i < table.records.size(); ++i) {
        const QStringList &fields = table.records.at(i).fields;
        check(again.records.at(i).fields == fields);
        for (const QString &f : fields)
            check(placeva::fromSpreadsheetSafeText(placeva::spreadsheetSafeText(f)) == f);
    }
}

void checkPlan(const placeva::ImportReading &reading)
{
    check(!reading.cancelled);
    if (!reading.plan) {
        check(!reading.error.isEmpty());
        return;
    }
    const placeva::ImportPlan &plan = *reading.plan;
    check(plan.columns.size() <= placeva::kMaxCsvFields);
    for (const QVariantList &row : plan.rows)
        check(row.size() == plan.fields.size());
    for (const placeva::ImportRefusal &r : plan.refusals)
        check(r.line > plan.headerLine && !r.reason.isEmpty());
    check(plan.refusedRows <= plan.refusals.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const placeva::DecodedText decoded = placeva::decodeText(bytes);
    if (decoded.problem == placeva::TextProblem::None) {
        const QChar separator = placeva::detectSeparator(decoded.text);
        checkRoundTrip(placeva::parseCsv(decoded.text, separator, placeva::kMaxCsvFields));
    }
    int asked = -1;
    const auto keepGoing = [&asked](int permille) {
        check(permille >= asked && permille <= 1000); // the share done never goes back
        asked = permille;
        return true;
    };
    checkPlan(
        placeva::planImport(bytes, placeva::ImportTable::Applicants, QStringLiteral("fuzz.csv"), keepGoing));
    asked = -1;
    checkPlan(
        placeva::planImport(bytes, placeva::ImportTable::References, QStringLiteral("fuzz.csv"), keepGoing));
    asked = -1;
    checkPlan(placeva::planImport(bytes, placeva::ImportTable::Choices, QStringLiteral("fuzz.csv"), keepGoing));
    return 0;
}
