#include "bidi.h"
#include "core/datalocation.h"
#include "core/workspace.h"
#include "gui/chartparts.h"
#include "gui/charttexts.h"
#include "gui/chartwindow.h"
#include "gui/filetexts.h"
#include "gui/passtexts.h"
#include "numbers.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>

#include <algorithm>
#include <cmath>

namespace placeva {

using namespace chart_texts;
using namespace chart_parts;

QString ChartWindow::title() const
{
    return text(kChartCaption) + QStringLiteral(" (") + text(kFactorCaption) + QStringLiteral(": ")
        + (m_data.model ? m_data.model->changeFactor().number() : QString()) + u')';
}

void ChartWindow::updateDescription()
{
    const QString factor = m_data.model ? m_data.model->changeFactor().number() : QString();
    QStringList parts;
    parts << QStringLiteral(u"محور افقي: ميانگين ضرب در %1 %2؛ محور عمودي: رتبه، رتبه بهتر در بالا.")
                 .arg(text(kFactorCaption), factor);
    if (m_data.status == RankModel::Status::Ready)
        parts << QStringLiteral(u"%1 نتيجه مرجع به صورت نقطه و خط تخمين رتبه از ميان آنها.")
                     .arg(m_data.references.size());
    else
        parts << QStringLiteral(u"%1 نتيجه مرجع؛ %2.").arg(m_data.references.size()).arg(text(kNoEstimate));
    parts << QStringLiteral(u"%1 داوطلب از %2 داوطلب با رتبه تخميني.")
                 .arg(m_data.applicants.size())
                 .arg(m_data.applicantCount);
    if (likelySeries->upperSeries()->count() > 0)
        parts << QStringLiteral(u"%1 به صورت ناحيه سايه دار دور خط تخمين.").arg(text(kLikelyBand));
    parts << QStringLiteral(u"خطوط افقي مرزهاي رتبه: %1.").arg(boundsText());
    QStringList notes;
    if (const QString leftOut = leftOutText(m_data.leftOut); !leftOut.isEmpty())
        notes << leftOut;
    if (m_data.model && m_data.model->typicalError())
        notes << typicalErrorText(*m_data.model->typicalError());
    if (Check1->isChecked() && (m_applicantsLeftOut > 0 || m_referencesLeftOut > 0)) {
        notes << QStringLiteral(
                     u"در مقياس لگاريتمي %1 داوطلب و %2 نتيجه مرجع با رتبه صفر يا کمتر نشان داده نشده است.")
                     .arg(m_applicantsLeftOut)
                     .arg(m_referencesLeftOut);
    }
    const QString note = notes.join(u' ');
    parts << notes;
    if (m_target.kind != TargetAnswer::NotARank)
        parts << QStringLiteral(u"رتبه هدف %1، %2 %3.")
                     .arg(m_target.target)
                     .arg(Label2->caption(), Label3->caption());
    Chart1->setAccessibleDescription(parts.join(u' '));
    Label4->setCaption(note);
    Label4->setVisible(!note.isEmpty());
}

QString ChartWindow::applicantsToolTip(QPointF value) const
{
    const QVector<qsizetype> at = drawnAt(value);
    QStringList lines;
    for (qsizetype i = 0; i < at.size() && i < kMostInToolTip; ++i) {
        // Ranges only for the few shown: a pass does not wait for all of them.
        const ChartApplicant &a = m_data.applicants[at[i]];
        // The pass's own range: nothing is estimated again for a tooltip.
        const ApplicantResult listed = m_listed.value(a.index);
        const std::optional<LikelyRange> &range = listed.range;
        const QString rank = range
            ? text(kLikelyRank).arg(rankText(listed.rank)).arg(range->best).arg(range->worst)
            : QStringLiteral(u"رتبه: ") + rankText(listed.rank);
        lines << kRlm + listed.name + QStringLiteral(u" \u2014 ميانگين: ")
                + averageText(m_rows.value(a.index)) + QStringLiteral(u" \u2014 ") + rank;
    }
    if (at.size() > kMostInToolTip)
        lines << kRlm + QStringLiteral(u"و %1 نفر ديگر").arg(at.size() - kMostInToolTip);
    return lines.join(u'\n');
}

QString ChartWindow::referencesToolTip(QPointF value) const
{
    const QVector<qsizetype> at = referencesAt(value);
    QStringList lines;
    for (qsizetype i = 0; i < at.size() && i < kMostInToolTip; ++i) {
        const QPointF &p = m_data.references[at[i]];
        lines << kRlm + QStringLiteral(u"نتيجه مرجع \u2014 ميانگين: ") + singleText(float(p.x()))
                + QStringLiteral(u" \u2014 رتبه: ") + QString::number(qint64(p.y()));
    }
    if (at.size() > kMostInToolTip)
        lines << kRlm + QStringLiteral(u"و %1 نتيجه ديگر").arg(at.size() - kMostInToolTip);
    return lines.join(u'\n');
}

} // namespace placeva
