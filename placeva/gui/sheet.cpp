#include "gui/sheet.h"

#include "bidi.h"
#include "core/choices.h"
#include "core/choicetable.h"
#include "core/workspace.h"
#include "gui/chancetexts.h"
#include "gui/filetexts.h"
#include "gui/passtexts.h"
#include "gui/pdfpaint.h"
#include "gui/report.h"
#include "gui/resultsexport.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace placeva {

namespace {

constexpr double kTitlePoints = 16;
constexpr double kBodyPoints = 10.5;
// Smaller sizes for a text that does not fit its box at the body's size.
constexpr double kSmallPoints = 8.5;
constexpr double kTinyPoints = 6.5;

// Lengths in pixels at 96 dots per inch, scaled to the device.
constexpr double kPadding = 3;
constexpr double kBorder = 1;
constexpr double kGap = 10;
constexpr double kColumnGap = 14;

// The colours of the choice list's verdicts.
const QColor kSafe(0, 120, 0);
const QColor kLikely(0, 0, 0);
const QColor kReach(176, 96, 0);
const QColor kOut(192, 0, 0);

QColor verdictColour(Verdict v)
{
    switch (v) {
    case Verdict::Safe: return kSafe;
    case Verdict::Likely: return kLikely;
    case Verdict::Reach: return kReach;
    case Verdict::Out: break;
    }
    return kOut;
}

// The ten subjects by their Persian names: the reference table's captions
// where it has the subject, the three specialised ones by their own.
QString subjectName(int i)
{
    static const QStringList names = [] {
        QStringList out;
        const char16_t *specialised[] = {u"سيستم عامل", u"ذخيره و بازيابي", u"ساختمان داده ها"};
        int own = 0;
        for (const Field &f : kApplicants.subjects()) {
            QString name;
            for (const Field &r : kReferences.subjects()) {
                if (QLatin1String(r.name) == QLatin1String(f.name))
                    name = r.captionText().remove(QLatin1Char(':')).trimmed();
            }
            out << (name.isEmpty() ? QString::fromUtf16(specialised[own++]) : name);
        }
        return out;
    }();
    return names.value(i);
}

// Numbers drawn by themselves: the shaper lays them out left to right.
QString number(qint64 n)
{
    return QString::number(n);
}

QString signedNumber(qint64 n)
{
    return n > 0 ? QStringLiteral("+%1").arg(n) : QString::number(n);
}

// Words of a text in lines no wider than `width`; a word wider than a line
// stands on a line of its own (and is cut short when drawn).
QStringList wrapped(Shaper &shaper, const QString &text, double width,
                    const QString &separator = QStringLiteral(" "))
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(separator, Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + separator + word;
        if (!line.isEmpty() && shaper.width(longer) > width) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

struct Page
{
    QPainter &painter;
    double scale;
    double width;
    double height;
    double lineHeight;
    double rowHeight;
    double padding;
    double border;
    Shaper &title;
    Shaper &body;
    Shaper &bold;
    Shaper &small;
    Shaper &tiny;

    // A text in its box at the body's size, smaller where it does not fit,
    // cut short only where even the smallest does not.
    void fit(const QRectF &box, const QString &text, Qt::Alignment alignment, bool strong = false)
    {
        Shaper &first = strong ? bold : body;
        for (Shaper *s : {&first, &small, &tiny}) {
            if (s->width(text) <= box.width() || s == &tiny) {
                s->draw(painter, box, text, alignment);
                return;
            }
        }
    }

    // The size at which every text fits `width`: one size down a column.
    Shaper &sizeFor(const QStringList &texts, double width)
    {
        for (Shaper *s : {&body, &small}) {
            if (std::all_of(texts.cbegin(), texts.cend(),
                            [&](const QString &t) { return s->width(t) <= width; }))
                return *s;
        }
        return tiny;
    }

    // Bold caption at the right of the box, the value after it.
    void captioned(double left, double right, double top, const QString &caption, const QString &value)
    {
        const double w = std::min(bold.width(caption), right - left);
        bold.draw(painter, QRectF(right - w, top, w, lineHeight), caption, Qt::AlignRight);
        const double gap = lineHeight / 3;
        fit(QRectF(left, top, std::max(0.0, right - w - gap - left), lineHeight), value, Qt::AlignRight);
    }

    void heading(double left, double right, double top, const QString &text)
    {
        bold.draw(painter, QRectF(left, top, right - left, lineHeight), text, Qt::AlignRight);
        painter.save();
        painter.setPen(QPen(QColor(110, 110, 110), border));
        painter.drawLine(QLineF(left, top + lineHeight, right, top + lineHeight));
        painter.restore();
    }

    // A table from `right` leftwards: column c between edges[c + 1] and edges[c].
    std::vector<double> edges(double left, double right, const std::vector<double> &shares) const
    {
        std::vector<double> out{right};
        for (double share : shares)
            out.push_back(out.back() - share * (right - left));
        out.back() = left;
        return out;
    }

    QRectF cell(const std::vector<double> &e, size_t c, double top) const
    {
        return QRectF(e[c + 1] + padding, top, e[c] - e[c + 1] - 2 * padding, rowHeight);
    }

    void grid(const std::vector<double> &e, double top, int rows)
    {
        painter.save();
        painter.setPen(QPen(QColor(110, 110, 110), border, Qt::SolidLine, Qt::SquareCap));
        const double bottom = top + rows * rowHeight;
        for (int r = 0; r <= rows; ++r)
            painter.drawLine(QLineF(e.back(), top + r * rowHeight, e.front(), top + r * rowHeight));
        for (double x : e)
            painter.drawLine(QLineF(x, top, x, bottom));
        painter.restore();
    }

    void headerRow(const std::vector<double> &e, double top, const QStringList &captions)
    {
        painter.fillRect(QRectF(e.back(), top, e.front() - e.back(), rowHeight), QColor(224, 224, 224));
        for (size_t c = 0; c < size_t(captions.size()); ++c)
            fit(cell(e, c, top), captions.at(qsizetype(c)), Qt::AlignHCenter, true);
    }

    // A bar for a percentage: from the zero line leftwards for a positive
    // one, rightwards for a negative one; beyond 100 or -33.33 it fills its
    // side and ends in a mark.
    void bar(const QRectF &box, std::optional<double> value)
    {
        const double zero = box.right() - box.width() / 4;
        painter.save();
        painter.setPen(QPen(QColor(110, 110, 110), border));
        painter.drawLine(QLineF(zero, box.top() + padding, zero, box.bottom() - padding));
        if (value && *value != 0) {
            const bool negative = *value < 0;
            const double full = negative ? 100.0 / 3 : 100.0;
            const double share = std::min(std::abs(*value) / full, 1.0);
            const double room = negative ? box.right() - zero : zero - box.left();
            const double length = share * room;
            const QRectF shape = negative
                ? QRectF(zero, box.top() + 2 * padding, length, box.height() - 4 * padding)
                : QRectF(zero - length, box.top() + 2 * padding, length, box.height() - 4 * padding);
            painter.fillRect(shape, negative ? QColor(214, 96, 77) : QColor(67, 120, 180));
            if (std::abs(*value) > full) {
                const double x = negative ? shape.right() : shape.left();
                painter.setPen(QPen(Qt::black, 2 * border));
                painter.drawLine(QLineF(x, box.top() + padding, x, box.bottom() - padding));
            }
        }
        painter.restore();
    }
};

// Lines of a sentence in the small size, from `top`; where it ends.
double sentence(Page &p, const QString &text, double left, double right, double top)
{
    for (const QString &line : wrapped(p.small, text, right - left)) {
        p.small.draw(p.painter, QRectF(left, top, right - left, p.lineHeight), line, Qt::AlignRight);
        top += p.lineHeight;
    }
    return top;
}

// A given list as the choice list shows it: each priority's verdict, chance
// and dead mark, the chance of landing nowhere and the warning without a
// safety net.
double drawGivenList(Page &p, const CounselSheet &sheet, double left, double right, double top)
{
    const std::vector<double> e = p.edges(left, right, {0.11, 0.29, 0.23, 0.23, 0.14});
    p.headerRow(e, top,
                {QStringLiteral(u"اولويت"), QStringLiteral(u"انتخاب"), QStringLiteral(u"وضعيت"),
                 QStringLiteral(u"شانس"), QString()});
    QStringList verdicts, chances;
    for (const SheetChoice &c : sheet.choices) {
        verdicts << (c.verdict ? verdictText(*c.verdict) : QString());
        chances << (c.chance ? chanceText(*c.chance) : QString());
    }
    if (sheet.listOutcome)
        chances << chanceText(sheet.listOutcome->notAdmitted);
    Shaper &verdictSize = p.sizeFor(verdicts, p.cell(e, 2, top).width());
    Shaper &chanceSize = p.sizeFor(chances, p.cell(e, 3, top).width());
    double y = top + p.rowHeight;
    for (size_t i = 0; i < sheet.choices.size(); ++i) {
        const SheetChoice &c = sheet.choices[i];
        p.fit(p.cell(e, 0, y), number(c.priority), Qt::AlignHCenter);
        p.fit(p.cell(e, 1, y), c.choice, Qt::AlignRight);
        p.painter.save();
        if (c.verdict) {
            p.painter.setPen(verdictColour(*c.verdict));
            verdictSize.draw(p.painter, p.cell(e, 2, y), verdicts.at(qsizetype(i)), Qt::AlignRight);
        }
        p.painter.setPen(Qt::black);
        chanceSize.draw(p.painter, p.cell(e, 3, y), chances.at(qsizetype(i)), Qt::AlignRight);
        p.painter.setPen(kOut);
        if (c.dead)
            p.fit(p.cell(e, 4, y), deadText(), Qt::AlignHCenter);
        p.painter.restore();
        y += p.rowHeight;
    }
    // Landing nowhere: a row of its own under the priorities.
    p.painter.fillRect(QRectF(e.back(), y, e.front() - e.back(), p.rowHeight), QColor(240, 240, 240));
    p.fit(QRectF(e[3] + p.padding, y, e.front() - e[3] - 2 * p.padding, p.rowHeight), notAdmittedText(),
          Qt::AlignRight, true);
    if (sheet.listOutcome)
        chanceSize.draw(p.painter, p.cell(e, 3, y), chances.last(), Qt::AlignRight);
    p.grid(e, top, int(sheet.choices.size()) + 1);
    p.painter.save();
    p.painter.setPen(QPen(QColor(110, 110, 110), p.border));
    p.painter.drawRect(QRectF(e.back(), y, e.front() - e.back(), p.rowHeight));
    p.painter.restore();
    y += p.rowHeight + p.padding;
    if (sheet.listOutcome && sheet.listOutcome->noSafetyNet) {
        p.painter.save();
        p.painter.setPen(kOut);
        p.fit(QRectF(left, y, right - left, p.lineHeight), noSafetyNetText(), Qt::AlignRight, true);
        p.painter.restore();
        y += p.lineHeight;
    }
    return y;
}

// The sheet's choice list: the given priorities as the choice list shows
// them, or the choice table grouped by verdict.
double drawChoices(Page &p, const CounselSheet &sheet, double left, double right, double top, double bottom)
{
    p.heading(left, right, top, QStringLiteral(u"فهرست انتخابها"));
    top += p.lineHeight + p.padding * 2;
    if (sheet.givenChoices)
        return drawGivenList(p, sheet, left, right, top);
    if (sheet.choiceTableError)
        return sentence(p, sheet.choiceTableError->message, left, right, top);
    if (!sheet.result.rank) {
        p.fit(QRectF(left, top, right - left, p.lineHeight), noRankText(), Qt::AlignRight);
        return top + p.lineHeight;
    }
    if (sheet.choices.empty()) {
        p.fit(QRectF(left, top, right - left, p.lineHeight),
              QStringLiteral(u"هيچ انتخابي از جدول انتخاب رشته اين رتبه را نمي پذيرد."), Qt::AlignRight);
        return top + p.lineHeight;
    }
    // Each verdict's choices, the strictest first, in as many lines as they need.
    const QString separator = QStringLiteral(u"، ");
    const double captionWidth = (right - left) * 0.26;
    const double textWidth = right - left - captionWidth - p.padding * 2;
    for (Shaper *s : {&p.body, &p.small, &p.tiny}) {
        double need = 0;
        QList<std::pair<Verdict, QStringList>> groups;
        for (const SheetChoice &c : sheet.choices) {
            if (groups.isEmpty() || groups.last().first != *c.verdict)
                groups.append({*c.verdict, {}});
            groups.last().second << c.choice;
        }
        QList<std::pair<Verdict, QStringList>> lines;
        for (const auto &[verdict, names] : groups) {
            lines.append({verdict, wrapped(*s, names.join(separator), textWidth, separator)});
            need += lines.last().second.size() * p.lineHeight + p.padding * 2;
        }
        if (top + need > bottom && s != &p.tiny)
            continue;
        double y = top;
        for (const auto &[verdict, texts] : lines) {
            p.painter.save();
            p.painter.setPen(verdictColour(verdict));
            p.bold.draw(p.painter, QRectF(right - captionWidth, y, captionWidth, p.lineHeight),
                        verdictText(verdict), Qt::AlignRight);
            p.painter.restore();
            for (qsizetype i = 0; i < texts.size(); ++i) {
                if (y + p.lineHeight > bottom)
                    return y;
                const QString line = texts.at(i) + (i + 1 < texts.size() ? separator.trimmed() : QString());
                s->draw(p.painter, QRectF(left, y, textWidth, p.lineHeight), line, Qt::AlignRight);
                y += p.lineHeight;
            }
            y += p.padding * 2;
        }
        return y;
    }
    return top;
}

} // namespace

QString sheetMenuCaption()
{
    return QStringLiteral(u"کارنامه مشاوره داوطلب...");
}

QString sheetButtonCaption()
{
    return QStringLiteral(u"کارنامه مشاوره");
}

QString sheetTitle()
{
    QString title = sheetMenuCaption();
    return title.endsWith(QLatin1String("...")) ? title.chopped(3) : title;
}

std::optional<CounselSheet> sheetFor(const Workspace &workspace, qsizetype k,
                                     const std::optional<GivenList> &list, QString *error)
{
    const PassResult &pass = workspace.result();
    const auto fail = [&](const QString &why) -> std::optional<CounselSheet> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (k < 0 || k >= pass.applicants.size())
        return fail(QStringLiteral(u"داوطلبي انتخاب نشده است."));
    const std::optional<QVector<ApplicantRecord>> records = readApplicantRecords(workspace.location());
    if (!records)
        return fail(QStringLiteral(
            u"درصدهاي داوطلبان از جدول ⁨Davtalab⁩ خوانده نشد."));
    // The rows must be those the pass read, or the percentages would belong to someone else.
    if (records->size() != pass.applicants.size() || cellText(records->at(k).name) != pass.applicants[k].name)
        return fail(QStringLiteral(u"جدول ⁨Davtalab⁩ از آخرين محاسبه تغيير کرده است؛ دوباره "
                                   u"محاسبه "
                                   u"کنيد."));
    if (list) {
        ChoiceTableReading offered;
        offered.choices = list->choices;
        return counselSheet(workspace, k, records->at(k), offered, list->priorities);
    }
    return counselSheet(workspace, k, records->at(k), readChoiceTable(workspace.databaseFile()));
}

namespace {

// The sheet's text styles, shaped for one resolution.
struct SheetShapers
{
    explicit SheetShapers(QPaintDevice *device)
        : title(reportFont(kTitlePoints, true), device), body(reportFont(kBodyPoints), device),
          bold(reportFont(kBodyPoints, true), device), small(reportFont(kSmallPoints), device),
          tiny(reportFont(kTinyPoints), device)
    { }
    Shaper title;
    Shaper body;
    Shaper bold;
    Shaper small;
    Shaper tiny;
};

constexpr int kSheetDpi = 300;

QImage referenceDevice(int dpi)
{
    QImage image(1, 1, QImage::Format_Mono);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    return image;
}

bool paintSheetWith(const CounselSheet &sheet, QPagedPaintDevice *device, QDate today, SheetShapers &shapers);

} // namespace

// Shapes kept from one sheet to the next: headings, captions, subject names
// and sentences are the same on every sheet, and shaping them is most of a
// sheet's painting. Shaped for a stand-in device of the PDF's resolution, so
// that one store serves every sheet a thread paints.
class SheetShapes
{
public:
    SheetShapes() : m_reference(referenceDevice(kSheetDpi)), m_shapers(&m_reference) { }

    // The store's shapers where the device has their resolution.
    SheetShapers *shapersFor(const QPaintDevice *device)
    {
        return device->logicalDpiX() == m_reference.logicalDpiX()
                && device->logicalDpiY() == m_reference.logicalDpiY()
            ? &m_shapers
            : nullptr;
    }

private:
    QImage m_reference;
    SheetShapers m_shapers;
};

bool paintSheet(const CounselSheet &sheet, QPagedPaintDevice *device, QDate today)
{
    SheetShapers shapers(device);
    return paintSheetWith(sheet, device, today, shapers);
}

namespace {

bool paintSheetWith(const CounselSheet &sheet, QPagedPaintDevice *device, QDate today, SheetShapers &shapers)
{
    QPainter painter;
    if (!painter.begin(device))
        return false;
    Shaper &title = shapers.title;
    Shaper &body = shapers.body;
    Shaper &bold = shapers.bold;
    Shaper &small = shapers.small;
    Shaper &tiny = shapers.tiny;
    const double scale = device->logicalDpiY() / 96.0;
    const double lineHeight = std::max(body.lineHeight(), bold.lineHeight());
    Page p{painter,
           scale,
           double(device->width()),
           double(device->height()),
           lineHeight,
           lineHeight + 2 * kPadding * scale + kBorder * scale,
           kPadding * scale,
           kBorder * scale,
           title,
           body,
           bold,
           small,
           tiny};
    const double gap = kGap * scale;
    const double w = p.width;

    // The head: title, program and date, name, change factor.
    const double titleHeight = title.lineHeight();
    title.draw(painter, QRectF(0, 0, w, titleHeight), sheetTitle(), Qt::AlignHCenter);
    double y = titleHeight + gap / 2;
    body.draw(painter, QRectF(0, y, w / 2, lineHeight), QStringLiteral("Placeva"), Qt::AlignLeft);
    p.captioned(w / 2, w, y, QStringLiteral(u"تاريخ:"), persianDate(today));
    y += lineHeight;
    p.captioned(0, w, y, resultHeaders().at(0) + QLatin1Char(':'), sheet.name);
    y += lineHeight;
    p.captioned(0, w, y, factorCaption() + QLatin1Char(':'), sheet.factorShown);
    y += lineHeight + gap;

    // Right half: the percentages and their bars; left half: the estimate.
    const double half = (w - kColumnGap * scale) / 2;
    const double rightLeft = w - half;
    p.heading(rightLeft, w, y, QStringLiteral(u"درصدها"));
    p.heading(0, half, y, resultHeaders().at(2));
    y += lineHeight + 2 * p.padding;
    const double sectionTop = y;
    {
        const std::vector<double> e = p.edges(rightLeft, w, {0.34, 0.30, 0.36});
        double row = y;
        for (int i = 0; i < kApplicantSubjectCount; ++i, row += p.rowHeight) {
            p.fit(p.cell(e, 0, row), subjectName(i), Qt::AlignRight);
            p.fit(p.cell(e, 1, row), sheet.percentTexts[size_t(i)], Qt::AlignRight);
            p.bar(p.cell(e, 2, row), sheet.percentValues[size_t(i)]);
        }
        painter.fillRect(QRectF(e.back(), row, e.front() - e.back(), p.rowHeight), QColor(240, 240, 240));
        p.fit(p.cell(e, 0, row), resultHeaders().at(1), Qt::AlignRight, true);
        p.fit(p.cell(e, 1, row), sheet.averageText, Qt::AlignRight, true);
        p.grid(e, y, kApplicantSubjectCount + 1);
    }
    {
        double row = y;
        const ApplicantResult &a = sheet.result;
        p.captioned(0, half, row, resultHeaders().at(2) + QLatin1Char(':'),
                    a.rank ? number(*a.rank) : noRankText());
        row += lineHeight;
        const QString rangeCaption = QStringLiteral(u"بازه رتبه محتمل:");
        p.captioned(0, half, row, rangeCaption, a.range ? rangeText(a.range) : QStringLiteral(u"ندارد"));
        row += lineHeight;
        if (sheet.typicalError) {
            p.fit(QRectF(0, row, half, lineHeight), typicalErrorText(*sheet.typicalError), Qt::AlignRight);
            row += lineHeight;
        }
        const QString meaning = a.range
            ? QStringLiteral(u"يعني رتبه واقعي به احتمال زياد بين %1 و %2 است؛ اين بازه از خطاي تخمين "
                             u"نتايج مرجع نزديک به اين ميانگين به دست آمده است.")
                  .arg(common::isolate(number(a.range->best)), common::isolate(number(a.range->worst)))
            : QStringLiteral(u"نتايج مرجع نزديک به اين ميانگين براي تخمين بازه کافي نيست؛ رتبه تخميني را "
                             u"با احتياط بخوانيد.");
        for (const QString &line : wrapped(small, meaning, half)) {
            small.draw(painter, QRectF(0, row, half, lineHeight), line, Qt::AlignRight);
            row += lineHeight;
        }
        row += p.padding * 2;
        p.captioned(0, half, row, resultHeaders().last() + QLatin1Char(':'), bandText(a.band));
    }
    y = sectionTop + (kApplicantSubjectCount + 1) * p.rowHeight + gap;

    // Right half: ten more points; left half: the choices.
    p.heading(rightLeft, w, y, QStringLiteral(u"ده درصد بيشتر در يک درس"));
    const double lowerTop = y;
    y += lineHeight + 2 * p.padding;
    {
        const std::vector<double> e = p.edges(rightLeft, w, {0.32, 0.34, 0.34});
        p.headerRow(e, y, {QStringLiteral(u"درس"), resultHeaders().at(2), QStringLiteral(u"بهتر شدن رتبه")});
        double row = y + p.rowHeight;
        if (sheet.gains.empty()) {
            p.fit(QRectF(rightLeft, row, half, lineHeight),
                  QStringLiteral(u"درصدهاي اين داوطلب براي محاسبه خوانده نشد."), Qt::AlignRight);
        } else {
            for (const SubjectGain &g : sheet.gains) {
                p.fit(p.cell(e, 0, row), subjectName(g.subject), Qt::AlignRight);
                p.fit(p.cell(e, 1, row), g.rank ? number(*g.rank) : noRankText(), Qt::AlignRight);
                if (g.gain)
                    p.fit(p.cell(e, 2, row), signedNumber(*g.gain), Qt::AlignRight);
                row += p.rowHeight;
            }
            p.grid(e, y, int(sheet.gains.size()) + 1);
        }
    }
    drawChoices(p, sheet, 0, half, lowerTop, p.height);
    painter.end();
    return true;
}

} // namespace

QByteArray sheetPdf(const CounselSheet &sheet, QDate today, SheetShapes *shapes)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool painted = false;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kSheetDpi);
        writer.setPageLayout(reportPageLayout());
        writer.setTitle(sheetTitle() + QStringLiteral(" - ") + sheet.name);
        writer.setCreator(QStringLiteral("Placeva"));
        SheetShapers *kept = shapes ? shapes->shapersFor(&writer) : nullptr;
        if (kept) {
            painted = paintSheetWith(sheet, &writer, today, *kept);
        } else {
            SheetShapers shapers(&writer);
            painted = paintSheetWith(sheet, &writer, today, shapers);
        }
    }
    return painted ? buffer.data() : QByteArray();
}

QString saveSheetPdf(const CounselSheet &sheet, const QString &path)
{
    const QByteArray bytes = sheetPdf(sheet);
    if (bytes.isEmpty())
        return QStringLiteral(u"کارنامه براي پرونده «%1» ساخته نشد.")
            .arg(common::isolatedPath(QFileInfo(path).absoluteFilePath()));
    return writeFileWhole(path, bytes);
}

QString sheetFileName(qsizetype k, const QString &name)
{
    QString safe;
    for (const QChar c : name.trimmed()) {
        const bool unsafe = c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || QStringLiteral("/\\:*?\"<>|").contains(c);
        safe += unsafe ? QLatin1Char('_') : c;
    }
    while (safe.startsWith(QLatin1Char('.')))
        safe.remove(0, 1);
    // Within a file system's name limit, with room for the row and the ending.
    if (safe.toUtf8().size() > 180) {
        while (safe.toUtf8().size() > 180)
            safe.chop(1);
        if (!safe.isEmpty() && safe.back().isHighSurrogate())
            safe.chop(1);
    }
    const QString row = QStringLiteral("%1").arg(k + 1, 4, 10, QLatin1Char('0'));
    return (safe.isEmpty() ? row : row + QLatin1Char('-') + safe) + QStringLiteral(".pdf");
}

QString saveAllSheets(const Workspace &workspace, const QString &folder, const SheetProgress &progress,
                      qsizetype *written)
{
    if (written)
        *written = 0;
    const PassResult &pass = workspace.result();
    const QString shownFolder = common::isolatedPath(QFileInfo(folder).absoluteFilePath());
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return QStringLiteral(u"پوشه «%1» ساخته نشد.").arg(shownFolder);
    const std::optional<QVector<ApplicantRecord>> records = readApplicantRecords(workspace.location());
    if (!records)
        return QStringLiteral(
            u"درصدهاي داوطلبان از جدول ⁨Davtalab⁩ خوانده نشد.");
    if (records->size() != pass.applicants.size())
        return QStringLiteral(u"جدول ⁨Davtalab⁩ از آخرين محاسبه تغيير کرده است؛ دوباره "
                              u"محاسبه "
                              u"کنيد.");
    const ChoiceTableReading choices = readChoiceTable(workspace.databaseFile());
    const QDate today = QDate::currentDate();
    const QDir dir(folder);
    // The numbers are made here, the pages painted by the workers, each file
    // written here in row order as soon as its sheet is done.
    struct Job
    {
        CounselSheet sheet;
        QByteArray pdf;
        bool done = false;
    };
    std::mutex mutex;
    std::condition_variable wake;     // a job queued, or the end
    std::condition_variable finished; // a job done
    std::deque<std::shared_ptr<Job>> queued;
    bool stop = false;
    std::vector<std::thread> workers;
    // A thread per core, but no more than there are sheets, nor than a
    // handful: each keeps fonts and shapes of its own.
    const int threads =
        int(std::clamp<qsizetype>(std::min<qsizetype>(QThread::idealThreadCount(), 8), 1,
                                  std::max<qsizetype>(pass.applicants.size(), 1)));
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            SheetShapes shapes;
            for (;;) {
                std::shared_ptr<Job> job;
                {
                    std::unique_lock lock(mutex);
                    wake.wait(lock, [&] { return stop || !queued.empty(); });
                    if (stop)
                        return;
                    job = queued.front();
                    queued.pop_front();
                }
                QByteArray pdf = sheetPdf(job->sheet, today, &shapes);
                {
                    const std::lock_guard lock(mutex);
                    job->pdf = std::move(pdf);
                    job->done = true;
                }
                finished.notify_all();
            }
        });
    }
    const auto joinWorkers = qScopeGuard([&] {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        wake.notify_all();
        for (std::thread &w : workers)
            w.join();
    });
    // A few sheets ahead per worker, so that none waits while a file is written.
    const size_t ahead = size_t(threads) * 4;
    std::deque<std::shared_ptr<Job>> pending;
    qsizetype next = 0;
    for (qsizetype k = 0; k < pass.applicants.size(); ++k) {
        for (; next < pass.applicants.size() && pending.size() < ahead; ++next) {
            auto job = std::make_shared<Job>();
            job->sheet = counselSheet(workspace, next, records->at(next), choices);
            {
                const std::lock_guard lock(mutex);
                queued.push_back(job);
            }
            wake.notify_one();
            pending.push_back(std::move(job));
        }
        const std::shared_ptr<Job> job = pending.front();
        pending.pop_front();
        {
            std::unique_lock lock(mutex);
            finished.wait(lock, [&] { return job->done; });
        }
        const CounselSheet &sheet = job->sheet;
        const QString path = dir.filePath(sheetFileName(k, sheet.name));
        const QByteArray bytes = std::move(job->pdf);
        const QString error = bytes.isEmpty()
            ? QStringLiteral(u"کارنامه براي پرونده «%1» ساخته نشد.").arg(common::isolatedPath(path))
            : writeFileWhole(path, bytes);
        if (!error.isEmpty())
            return error;
        if (written)
            *written = k + 1;
        if (progress && !progress(k + 1, pass.applicants.size()))
            break;
    }
    return QString();
}

} // namespace placeva
