#include "gui/pdfpaint.h"

#include "toolkit.h"

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>
#include <memory>

namespace placeva {

namespace {

// Past this many texts the shapes kept for reuse are dropped; names are
// mostly seen once, bands and ranks again and again.
constexpr size_t kShapesKept = 4096;
// Numbers repeat less, but a class's averages and ranks are a few thousand
// at most; what a large report holds of them stays in reach.
constexpr size_t kNumberShapesKept = 32768;

} // namespace

QFont reportFont(double points, bool bold)
{
    QFont f(QString::fromLatin1(tk::kPersianFamily));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

Shaper::Shaper(const QFont &font, QPaintDevice *device)
    : m_font(font), m_device(device), m_metrics(font, device)
{ }

double Shaper::lineHeight() const
{
    constexpr int kReferenceDpi = 1200;
    QImage reference(1, 1, QImage::Format_Mono);
    reference.setDotsPerMeterX(qRound(kReferenceDpi / 0.0254));
    reference.setDotsPerMeterY(qRound(kReferenceDpi / 0.0254));
    return QFontMetricsF(m_font, &reference).height() * m_device->logicalDpiY() / kReferenceDpi;
}

double Shaper::width(const QString &text)
{
    return shape(text).width;
}

void PainterSurface::fillRect(const QRectF &rect, const QColor &color)
{
    m_painter.fillRect(rect, color);
}

void PainterSurface::drawLines(const QLineF *lines, int count, const QPen &pen)
{
    m_painter.save();
    m_painter.setPen(pen);
    m_painter.drawLines(lines, count);
    m_painter.restore();
}

void PainterSurface::drawGlyphRun(const QPointF &origin, const QGlyphRun &run)
{
    m_painter.drawGlyphRun(origin, run);
}

void Shaper::draw(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment)
{
    PainterSurface surface(painter);
    draw(surface, box, text, alignment);
}

void Shaper::draw(PageSurface &surface, const QRectF &box, const QString &text, Qt::Alignment alignment)
{
    if (text.isEmpty())
        return;
    // A print preview records pages as pictures, which keep a glyph run only
    // as its outlines: there the text is drawn from its layout.
    QPainter *painter = surface.painter();
    if (painter && painter->paintEngine() && painter->paintEngine()->type() != QPaintEngine::Pdf) {
        drawLaidOut(*painter, box, text, alignment);
        return;
    }
    Shape s = shape(text);
    if (s.width > box.width()) {
        // A text too wide is cut the same way in every row of its column
        // (an average with many decimals): the cut shape is kept by the text.
        auto found = m_cut.constFind(text);
        if (found == m_cut.cend() || found->width != box.width()) {
            if (size_t(m_cut.size()) >= kNumberShapesKept)
                m_cut.clear();
            const QString shorter = elided(text, box.width());
            found = m_cut.insert(text, Cut{box.width(), shorter.isEmpty() ? std::nullopt
                                                                           : std::optional(shape(shorter))});
        }
        if (!found->shape)
            return;
        s = *found->shape;
    }
    const double x = (alignment & Qt::AlignHCenter) ? box.center().x() - s.width / 2
        : (alignment & Qt::AlignLeft)               ? box.left()
                                                    : box.right() - s.width;
    const QPointF origin(x, box.center().y() - s.height / 2);
    for (const QGlyphRun &run : std::as_const(s.runs))
        surface.drawGlyphRun(origin, run);
}

void Shaper::drawLaidOut(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment)
{
    const bool recorded = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
    auto found = m_layouts.constFind(text);
    if (found == m_layouts.cend()) {
        if (size_t(m_layouts.size()) >= kShapesKept)
            m_layouts.clear();
        found = m_layouts.insert(text, newLayout(text, recorded));
    }
    std::shared_ptr<QTextLayout> layout = found.value();
    double w = layout->lineAt(0).naturalTextWidth();
    if (w > box.width()) {
        const QString shorter = m_metrics.elidedText(text, Qt::ElideRight, box.width());
        if (shorter.isEmpty())
            return;
        layout = newLayout(shorter, recorded);
        w = layout->lineAt(0).naturalTextWidth();
    }
    const double x = (alignment & Qt::AlignHCenter) ? box.center().x() - w / 2
        : (alignment & Qt::AlignLeft)               ? box.left()
                                                    : box.right() - w;
    layout->draw(&painter, QPointF(x, box.center().y() - layout->lineAt(0).height() / 2));
}

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool hasDigit(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), isDigit);
}

// The text with every digit 0: the pattern texts differing only in their digits share.
QString digitPattern(QString text)
{
    for (QChar &c : text) {
        if (isDigit(c))
            c = u'0';
    }
    return text;
}

std::unique_ptr<QTextLayout> layOut(const QString &laidOut, const QFont &font, QPaintDevice *device, bool rtl)
{
    auto layout = std::make_unique<QTextLayout>(laidOut, font, device);
    // Placed at the line's left whatever the direction; draw() aligns it.
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    layout->setTextOption(option);
    layout->setCacheEnabled(true); // its glyphs read or drawn without shaping it again
    layout->beginLayout();
    QTextLine line = layout->createLine();
    line.setLineWidth(1e6);
    layout->endLayout();
    return layout;
}

} // namespace

QString Shaper::laidOut(const QString &text) const
{
    // A left-to-right mark first: without a strong character before it a
    // leading minus sign is laid out on the digits' right.
    return tk::hasArabicScript(text) ? text : QChar(0x200E) + text;
}

Shaper::Shape Shaper::shape(const QString &text)
{
    // Texts with digits are kept apart: a long report's numbers, nearly all
    // different, would otherwise push its names and bands out again and again.
    const bool digits = hasDigit(text);
    QHash<QString, Shape> &kept = digits ? m_numberShapes : m_shapes;
    auto found = kept.constFind(text);
    if (found != kept.cend())
        return found.value();
    std::optional<Shape> made = fromPattern(text);
    if (made && digits) {
        // Made from its pattern, a number is kept only when seen before: a
        // likely range is new on nearly every row, and keeping each would
        // only push out the averages and ranks that do repeat.
        const size_t hash = qHash(text);
        size_t &seen = m_seenNumbers[hash % m_seenNumbers.size()];
        if (seen != hash) {
            seen = hash;
            return *std::move(made);
        }
    }
    if (size_t(kept.size()) >= (digits ? kNumberShapesKept : kShapesKept))
        kept.clear();
    return *kept.insert(text, made ? *std::move(made) : newShape(text));
}

std::shared_ptr<QTextLayout> Shaper::newLayout(const QString &text, bool recorded) const
{
    const bool rtl = tk::hasArabicScript(text);
    return layOut(recorded && rtl ? forPicture(text) : laidOut(text), m_font, m_device, rtl);
}

QString Shaper::forPicture(const QString &text) const
{
    // A picture keeps each piece of a line (a run of one direction and font)
    // as its characters and lays it out again, left to right, when it is
    // shown: a space or sign at a piece's edge would move to the wrong side
    // and a bracket of a fallback font would face the wrong way. Right-to-left
    // marks around such signs keep them right to left, and brackets the font
    // lacks are written mirrored, as they show on paper.
    const auto numeric = [&](qsizetype i) {
        if (i < 0 || i >= text.size())
            return false;
        const QChar::Direction d = text.at(i).direction();
        return d == QChar::DirEN || d == QChar::DirAN;
    };
    if (!m_primaryFont)
        m_primaryFont = QRawFont::fromFont(m_font);
    const QRawFont &font = *m_primaryFont;
    QString out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        const QChar::Direction d = c.direction();
        const bool neutral = d == QChar::DirWS || d == QChar::DirON || d == QChar::DirS
            || ((d == QChar::DirCS || d == QChar::DirES || d == QChar::DirET) && !numeric(i - 1)
                && !numeric(i + 1));
        if (c.hasMirrored() && !font.supportsCharacter(c))
            c = c.mirroredChar();
        constexpr QChar kRightToLeftMark(0x200F);
        if (neutral)
            out += kRightToLeftMark;
        out += c;
        if (neutral)
            out += kRightToLeftMark;
    }
    return out;
}

Shaper::Shape Shaper::newShape(const QString &text) const
{
    const std::unique_ptr<QTextLayout> layout =
        layOut(laidOut(text), m_font, m_device, tk::hasArabicScript(text));
    const QTextLine line = layout->lineAt(0);
    return Shape{layout->glyphRuns(), line.naturalTextWidth(), line.height()};
}

std::optional<Shaper::Shape> Shaper::fromPattern(const QString &text)
{
    if (!hasDigit(text) || !digitsExchangeable())
        return std::nullopt;
    const QString key = digitPattern(text);
    auto found = m_patterns.find(key);
    if (found == m_patterns.end()) {
        if (size_t(m_patterns.size()) >= kShapesKept)
            m_patterns.clear();
        found = m_patterns.insert(key, newPattern(key));
    }
    Pattern &pattern = found.value();
    if (pattern.state == Pattern::State::Bad)
        return std::nullopt;
    std::optional<Shape> exchanged = exchangeDigits(pattern, text);
    if (pattern.state == Pattern::State::Unchecked) {
        // The first text of a pattern is shaped in full as well: a font that
        // shapes some digit apart from the others keeps full shaping.
        const Shape full = newShape(text);
        const bool same = exchanged && exchanged->runs == full.runs && exchanged->width == full.width
            && exchanged->height == full.height;
        pattern.state = same ? Pattern::State::Good : Pattern::State::Bad;
        return full;
    }
    return exchanged;
}

Shaper::Pattern Shaper::newPattern(const QString &patternText) const
{
    Pattern pattern;
    const QString text = laidOut(patternText);
    const std::unique_ptr<QTextLayout> layout = layOut(text, m_font, m_device, tk::hasArabicScript(patternText));
    const QTextLine line = layout->lineAt(0);
    pattern.shape = Shape{layout->glyphRuns(), line.naturalTextWidth(), line.height()};
    // Where each digit's glyph went: a number's glyph run, found in the whole.
    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) != u'0') {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text.at(end) == u'0')
            ++end;
        const QList<QGlyphRun> own = layout->glyphRuns(int(i), int(end - i));
        if (own.size() != 1 || own.first().glyphIndexes().size() != end - i) {
            pattern.state = Pattern::State::Bad;
            return pattern;
        }
        const QGlyphRun &number = own.first();
        const QList<QPointF> numberAt = number.positions();
        // Left to right, as a number's digits are written.
        for (qsizetype k = 1; k < numberAt.size(); ++k) {
            if (!(numberAt.at(k - 1).x() < numberAt.at(k).x())) {
                pattern.state = Pattern::State::Bad;
                return pattern;
            }
        }
        // Its glyphs in the whole, among the runs of its font (a font's glyphs
        // of either direction make a run of their own). A zero-width mark
        // before the number stands where its first digit does.
        qsizetype r = 0;
        qsizetype g = -1;
        for (; r < pattern.shape.runs.size() && g < 0; ++r) {
            const QGlyphRun &run = pattern.shape.runs.at(r);
            if (run.rawFont() != number.rawFont())
                continue;
            const QList<QPointF> positions = run.positions();
            const QList<quint32> glyphs = run.glyphIndexes();
            for (g = positions.indexOf(numberAt.first()); g >= 0;
                 g = positions.indexOf(numberAt.first(), g + 1)) {
                if (positions.mid(g, numberAt.size()) == numberAt
                    && glyphs.mid(g, numberAt.size()) == number.glyphIndexes())
                    break;
            }
        }
        if (g < 0) {
            pattern.state = Pattern::State::Bad;
            return pattern;
        }
        --r;
        if (pattern.digitsOf.size() <= r)
            pattern.digitsOf.resize(r + 1);
        if (pattern.digitsOf.at(r).isEmpty())
            pattern.digitsOf[r] = number.rawFont().glyphIndexesForString(QStringLiteral("0123456789"));
        if (pattern.digitsOf.at(r).size() != 10) {
            pattern.state = Pattern::State::Bad;
            return pattern;
        }
        for (qsizetype k = 0; k < numberAt.size(); ++k)
            pattern.digitGlyphs.append({r, g + k});
        i = end;
    }
    return pattern;
}

std::optional<Shaper::Shape> Shaper::exchangeDigits(const Pattern &pattern, const QString &text)
{
    Shape shape = pattern.shape;
    QList<QList<quint32>> glyphs(shape.runs.size());
    qsizetype d = 0;
    for (const QChar c : text) {
        if (!isDigit(c))
            continue;
        if (d >= pattern.digitGlyphs.size())
            return std::nullopt;
        const auto [r, g] = pattern.digitGlyphs.at(d++);
        if (glyphs[r].isEmpty())
            glyphs[r] = shape.runs.at(r).glyphIndexes();
        glyphs[r][g] = pattern.digitsOf.at(r).at(c.unicode() - u'0');
    }
    if (d != pattern.digitGlyphs.size())
        return std::nullopt;
    for (qsizetype r = 0; r < shape.runs.size(); ++r) {
        if (!glyphs.at(r).isEmpty())
            shape.runs[r].setGlyphIndexes(glyphs.at(r));
    }
    return shape;
}

QString Shaper::elided(const QString &text, double width)
{
    if (hasDigit(text) && !digitsExchangeable())
        return m_metrics.elidedText(text, Qt::ElideRight, width);
    // Where a text is cut depends on its glyphs' widths alone, the same for
    // every digit: cut where its pattern is cut (a text without digits is
    // its own pattern).
    const QString pattern = digitPattern(text);
    const QString key = pattern + QChar(0) + QString::number(width, 'g', 17);
    auto found = m_elidedPatterns.constFind(key);
    if (found == m_elidedPatterns.cend()) {
        if (size_t(m_elidedPatterns.size()) >= kShapesKept)
            m_elidedPatterns.clear();
        found = m_elidedPatterns.insert(key, m_metrics.elidedText(pattern, Qt::ElideRight, width));
    }
    const QString &cut = found.value();
    qsizetype kept = 0;
    while (kept < cut.size() && kept < pattern.size() && cut.at(kept) == pattern.at(kept))
        ++kept;
    if (hasDigit(cut.mid(kept)))
        return m_metrics.elidedText(text, Qt::ElideRight, width);
    return text.left(kept) + cut.mid(kept);
}

bool Shaper::digitsExchangeable()
{
    if (!m_digitsExchangeable) {
        // Every digit beside every digit and the signs numbers are written
        // with, shaped in full and from the pattern of zeros.
        QString probe;
        for (int a = 0; a < 10; ++a) {
            for (int b = 0; b < 10; ++b)
                probe += QString::number(a) + QString::number(b);
        }
        const QStringList signs = {QStringLiteral("."), QStringLiteral("-"), QStringLiteral("+"),
                                   QStringLiteral(" "), QStringLiteral("/"), QStringLiteral(","),
                                   QString(QChar(0x2026)), QString(QChar(0x2212))};
        for (const QString &sign : signs) {
            for (int a = 0; a < 10; ++a)
                probe += sign + QString::number(a);
            probe += sign;
        }
        // Shaped with its digits and as zeros, every glyph stands where it
        // stood: no digit is wider than another or moves a neighbour.
        const Shape full = newShape(probe);
        const Shape zeros = newShape(digitPattern(probe));
        bool same = full.runs.size() == zeros.runs.size() && full.width == zeros.width;
        for (qsizetype r = 0; same && r < full.runs.size(); ++r) {
            same = full.runs.at(r).rawFont() == zeros.runs.at(r).rawFont()
                && full.runs.at(r).positions() == zeros.runs.at(r).positions();
        }
        m_digitsExchangeable = same;
    }
    return *m_digitsExchangeable;
}

} // namespace placeva
