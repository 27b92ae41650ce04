#pragma once
// Placeva's open work: the database and where it came from, both tables as
// read (the record sets the statistics walk), the last statistics pass and
// the change factor it ran with. The main window, the data-entry windows, the
// menus, the chart, the report, the choice list and the command line are all
// given the one workspace; none reaches another window for data.

#include "core/datalocation.h"
#include "core/stats.h"
#include "core/store.h"

#include <QObject>
#include <QString>
#include <QVector>

namespace placeva {

// The change factor until someone types another.
inline constexpr char16_t kDefaultFactor[] = u"1.00";

class Workspace : public QObject
{
    Q_OBJECT
public:
    // `location` is a folder holding Bank.db or the database file itself.
    explicit Workspace(const QString &location = QString(), QObject *parent = nullptr);

    // Where the database was chosen from at start (the notice and the error
    // are told by whoever starts the program).
    const DataChoice &origin() const { return m_origin; }
    void setOrigin(const DataChoice &origin) { m_origin = origin; }

    const QString &location() const { return m_location; }
    QString databaseFile() const { return bankFilePath(m_location); }

    // The record sets the statistics read: Davtalab's first column and Avg,
    // Formol's Avg and Rotbeh.
    DataControl &applicantTable() { return m_applicants; }
    DataControl &referenceTable() { return m_references; }

    // Sets both record sets up on the location, then reads them.
    void setUp();
    MaybeError load();
    // Re-reads both tables so that what another window stored shows at once.
    MaybeError refresh();
    // Re-reads both tables and runs the pass again with the factor it ran with.
    MaybeError reread();
    // Opens another database file, checked as at start; the open one stays
    // when it fails. Remembered among the recent files; the caller re-reads.
    MaybeError open(const QString &location);

    // The statistics pass over the rows read, with this change factor.
    void run(const QString &factorText);
    // The same over rows given (a test's, or rows read elsewhere).
    void run(QVector<ApplicantRow> applicants, QVector<ReferenceRow> references, QString factorText);

    // What the last pass read and computed.
    const QVector<ApplicantRow> &applicants() const { return m_applicantRows; }
    const QVector<ReferenceRow> &references() const { return m_referenceRows; }
    const QString &factorText() const { return m_factorText; }
    const PassResult &result() const { return m_result; }

    // Asks whoever shows the lists to bring applicant k (in the order of the
    // last pass) forward.
    void pickApplicant(qsizetype k) { emit applicantPicked(k); }

signals:
    // After every pass, once the result is in place.
    void passChanged();
    // Another database file was opened.
    void locationChanged();
    void applicantPicked(qsizetype k);

private:
    DataChoice m_origin;
    QString m_location;
    DataControl m_applicants, m_references;
    QVector<ApplicantRow> m_applicantRows;
    QVector<ReferenceRow> m_referenceRows;
    QString m_factorText = QString::fromUtf16(kDefaultFactor);
    PassResult m_result;
};

} // namespace placeva
