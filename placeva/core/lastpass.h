#pragma once
// What the main window's last statistics pass read and computed: the rows of
// both tables, the change factor as typed and the typed result. The chart, the
// exports, the report and the choice-list window read it here instead of from
// the main window's controls.

#include "core/stats.h"

#include <QObject>
#include <QString>
#include <QVector>

namespace placeva {

class LastPass : public QObject
{
    Q_OBJECT
public:
    explicit LastPass(QObject *parent = nullptr);

    // Runs the pass over these inputs, keeps them with the result and tells
    // every reader.
    void run(QVector<ApplicantRow> applicants, QVector<ReferenceRow> references, QString factorText);

    const QVector<ApplicantRow> &applicants() const { return m_applicants; }
    const QVector<ReferenceRow> &references() const { return m_references; }
    const QString &factorText() const { return m_factorText; }
    const PassResult &result() const { return m_result; }

signals:
    // After every pass, once the result is in place.
    void changed();

private:
    QVector<ApplicantRow> m_applicants;
    QVector<ReferenceRow> m_references;
    QString m_factorText;
    PassResult m_result;
};

} // namespace placeva
