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
    for (DataControl *control : {&m_applicants, &m_references})
        if (MaybeError error = control->refresh())
            return error;
    return std::nullopt;
}

MaybeError Workspace::reread()
{
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
    const QString connection = DataControl::connectionStringFor(m_location);
    m_applicants.setConnectionString(connection);
    m_references.setConnectionString(connection);
    rememberDatabase(bankFilePath(m_location));
    emit locationChanged();
    return std::nullopt;
}

void Workspace::run(const QString &factorText)
{
    run(readRows<ApplicantRow>(m_applicants.recordset()), readRows<ReferenceRow>(m_references.recordset()),
        factorText);
}

void Workspace::run(QVector<ApplicantRow> applicants, QVector<ReferenceRow> references, QString factorText)
{
    m_result = statisticsPass(applicants, references, factorText);
    m_applicantRows = std::move(applicants);
    m_referenceRows = std::move(references);
    m_factorText = std::move(factorText);
    emit passChanged();
}

} // namespace placeva
