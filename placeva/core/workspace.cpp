#include "core/workspace.h"

#include "core/subjects.h"

#include <utility>

namespace placeva {

namespace {

// The rows of an open table, walked to its end as the pass does.
template <class Row> QVector<Row> readRows(Recordset *rs)
{
    QVector<Row> rows;
    if (!rs)
        return rows;
    rows.reserve(rs->recordCount());
    if (rs->recordCount() != 0)
        rs->moveFirst();
    while (!rs->isEOF()) {
        rows.append(Row{rs->value(0), rs->value(1)});
        if (rs->moveNext())
            break;
    }
    return rows;
}

} // namespace

Workspace::Workspace(const QString &location, QObject *parent)
    : QObject(parent), m_location(location), m_result(statisticsPass({}, {}, m_factorText))
{
    m_origin.file = bankFilePath(location);
}

MaybeError Workspace::load()
{
    setUp();
    return refresh();
}

void Workspace::setUp()
{
    m_haveRead = false;
    m_source.setColumns({});
    const QString connection = DataControl::connectionStringFor(m_location);
    m_applicants.setConnectionString(connection);
    m_references.setConnectionString(connection);
    m_applicants.setCommandType(DataControl::CommandTable);
    m_applicants.setRecordSource(QString::fromLatin1(kDavtalab));
    m_references.setCommandType(DataControl::CommandTable);
    m_references.setRecordSource(QString::fromLatin1(kFormol));
    // Only what the statistics read: the first column, whatever it is called.
    m_applicants.setColumns({ColumnRef(0), ColumnRef(kApplicants.field(FieldRole::Average).nameText())});
    m_references.setColumns({ColumnRef(kReferences.field(FieldRole::Average).nameText()),
                             ColumnRef(kReferences.field(FieldRole::Rank).nameText())});
}

MaybeError Workspace::refresh()
{
    const QString file = databaseFile();
    // Taken before reading: a change after it shows as another stamp next
    // time, even where this read already saw it.
    const FileStamp now = m_source.stamp(file);
    if (m_haveRead && now.sameAs(m_readStamp))
        return std::nullopt; // the rows read are the file's rows
    m_readStamp = now;
    if (m_source.read(file, &m_readApplicants, &m_readReferences)) {
        m_haveRead = true;
        return std::nullopt;
    }
    // The record sets resolve the columns and report what fails; the layout
    // version is taken before them, so that a change during the read is
    // noticed by the next.
    const qint64 layout = m_source.schemaVersion(file);
    for (DataControl *control : {&m_applicants, &m_references}) {
        if (MaybeError error = control->refresh()) {
            m_readStamp = {};
            return error;
        }
    }
    m_readApplicants = readRows<ApplicantRow>(m_applicants.recordset());
    m_readReferences = readRows<ReferenceRow>(m_references.recordset());
    m_haveRead = true;
    const Recordset *a = m_applicants.recordset();
    const Recordset *r = m_references.recordset();
    m_source.setColumns({a->fieldName(0), a->fieldName(1), r->fieldName(0), r->fieldName(1), layout});
    return std::nullopt;
}

bool Workspace::upToDate(const QString &factorText)
{
    return m_passStamp.known && factorText == m_factorText
        && m_source.stamp(databaseFile()).sameAs(m_passStamp);
}

MaybeError Workspace::reread()
{
    if (upToDate(m_factorText))
        return std::nullopt;
    if (MaybeError error = refresh())
        return error;
    run(m_factorText);
    return std::nullopt;
}

MaybeError Workspace::open(const QString &location)
{
    if (MaybeError error = checkDatabase(bankFilePath(location)))
        return error;
    m_location = location;
    m_haveRead = false;
    m_passStamp = {};
    m_source.setColumns({});
    const QString connection = DataControl::connectionStringFor(m_location);
    m_applicants.setConnectionString(connection);
    m_references.setConnectionString(connection);
    rememberDatabase(bankFilePath(m_location));
    emit locationChanged();
    return std::nullopt;
}

void Workspace::run(const QString &factorText)
{
    // The rows of the last refresh; where the record sets were read without
    // one (at a window's start), theirs.
    if (!m_haveRead) {
        run(readRows<ApplicantRow>(m_applicants.recordset()),
            readRows<ReferenceRow>(m_references.recordset()), factorText);
        return;
    }
    pass(m_readApplicants, m_readReferences, factorText, m_readStamp);
}

void Workspace::run(QVector<ApplicantRow> applicants, QVector<ReferenceRow> references, QString factorText)
{
    pass(std::move(applicants), std::move(references), std::move(factorText), {});
}

void Workspace::pass(QVector<ApplicantRow> applicants, QVector<ReferenceRow> references, QString factorText,
                     const FileStamp &stamp)
{
    m_passStamp = stamp;
    // Rows still as the last pass found them keep its results.
    m_result = statisticsPassAfter(EarlierPass{&m_result, &m_applicantRows, &m_referenceRows, m_factorText},
                                   applicants, references, factorText);
    m_applicantRows = std::move(applicants);
    m_referenceRows = std::move(references);
    m_factorText = std::move(factorText);
    emit passChanged();
}

} // namespace placeva
