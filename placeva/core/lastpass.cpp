#include "core/lastpass.h"

#include <utility>

namespace placeva {

LastPass::LastPass(QObject *parent) : QObject(parent), m_result(statisticsPass({}, {}, QString())) { }

void LastPass::run(QVector<ApplicantRow> applicants, QVector<ReferenceRow> references, QString factorText)
{
    m_result = statisticsPass(applicants, references, factorText);
    m_applicants = std::move(applicants);
    m_references = std::move(references);
    m_factorText = std::move(factorText);
    emit changed();
}

} // namespace placeva
