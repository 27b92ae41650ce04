#pragma once
// The statistics pass of the main window: every applicant's average,
// estimated rank, likely range and placement band, the counts per admission
// code and the summary figures. Plain data in, numbers and enums out; the
// windows, the exports and the report word them (gui/passtexts.h).

#include "core/cells.h"
#include "core/rankmodel.h"

#include <QString>
#include <QVector>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace placeva {

// The placement bands from the best ranks to the worst; NoRank where no rank
// could be estimated.
enum class Band : std::uint8_t {
    AllUniversities,
    GoodDay,
    PoorDayGoodEvening,
    Evening,
    LocalEveningVeryGoodPrivate,
    GoodPrivate,
    MiddlePrivate,
    PoorPrivate,
    Beyond, // past the last bound: admitted nowhere
    NoRank,
};

// The band bounds: a rank up to `upTo` (and past the bound before) falls in
// `band`; past the last bound in Band::Beyond.
struct BandBound
{
    std::int32_t upTo;
    Band band;
};
const std::array<BandBound, 8> &bandTable();

// The band of a rank; ranks below 1 fall in the first band.
Band bandOf(std::int32_t rank);
// The admission code of a band: 123, 23, 3, or 0 (also without a rank).
std::uint8_t admissionCode(Band band);

// One applicant as the pass found it.
struct ApplicantResult
{
    QString name;                     // column 0 as listed
    std::optional<double> average;    // Avg as a number; nothing where empty or not a number
    std::optional<std::int32_t> rank; // nothing where none can be estimated
    Band band = Band::NoRank;
    std::optional<LikelyRange> range; // nothing without a rank or too few reference results
    std::uint8_t code() const { return admissionCode(band); }
};

// The summary figures. Those the pass cannot compute hold nothing: the main
// window then shows them blank rather than a former pass's value.
struct PassSummary
{
    qsizetype count = 0;               // applicants
    std::optional<qsizetype> highest;  // index of the highest average, the later of equals
    std::optional<qsizetype> lowest;   // index of the lowest average, the later of equals
    std::optional<double> meanAverage; // over the applicants with an average
    std::optional<qint64> meanRank;    // rounded down, over the ranked applicants
    qint64 count123 = 0, count23 = 0, count3 = 0, count0 = 0; // per admission code
    // The reference table's typical leave-one-out error in ranks; nothing
    // where no reference point has two neighbours to be estimated from.
    std::optional<std::int64_t> typicalError;
};

struct PassResult
{
    QVector<ApplicantResult> applicants; // in the order read
    PassSummary summary;
    // The reference rows the estimate left out, counted by why.
    RankModel::LeftOut leftOut;
    // The rank model the pass estimated with, for every view that asks further.
    std::shared_ptr<const RankModel> model;
};

// An estimated rank as the lists and exports write it: "" where there is none.
QString rankText(const std::optional<std::int32_t> &rank);

// The whole pass over the applicant and reference rows, with the change
// factor as typed in the main window's box.
PassResult statisticsPass(const QVector<ApplicantRow> &applicants, const QVector<ReferenceRow> &references,
                          const QString &factorText);

// How many threads a pass may use: 0, the default, lets it choose by the
// machine's cores and the table's size (a class stays on the calling thread);
// a number above 0 forces that many at any size. The results are the same to
// the last bit whatever the count.
void setPassThreads(int threads);

// An earlier pass and what it ran over.
struct EarlierPass
{
    const PassResult *result = nullptr;
    const QVector<ApplicantRow> *applicants = nullptr;
    const QVector<ReferenceRow> *references = nullptr;
    QString factorText;
};

// The same pass, with the same results, taking over from an earlier one
// where the reference rows and the factor are exactly as they were: its rank
// model, and the results of the applicants whose rows are exactly as they
// were at the same place. A re-read after a row was stored elsewhere then
// costs a comparison for most rows.
PassResult statisticsPassAfter(const EarlierPass &earlier, const QVector<ApplicantRow> &applicants,
                               const QVector<ReferenceRow> &references, const QString &factorText);

} // namespace placeva
