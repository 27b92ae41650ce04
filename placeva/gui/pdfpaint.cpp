#include "gui/pdfpaint.h"

#include "toolkit.h"

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>
#include <QStringList>
#include <QTextItem>
#include <QTextLayout>

#include <algorithm>
#include <memory>
#include <tuple>

namespace placeva {

namespace {

// Past this many texts the shapes kept for reuse are dropped; names are
// mostly seen once, bands and ranks again and again.
constexpr size_t kShapesKept = 4096;
// Numbers repeat less, but a class's averages and ranks are a few thousand
// at most; what a large report holds of them stays in reach.
constexpr size_t kNumberShapesKept = 32768;

// What `kept` holds for `key`, made by `make` where it holds nothing; kept
// whole up to `most` entries, then started again.
template <typename Value, typename Make>
typename QHash<QString, Value>::iterator keptOrMade(QHash<QString, Value> &kept, const QString &key,
                                                    size_t most, Make make)
{
    auto found = kept.find(key);
    if (found == kept.end()) {
        if (size_t(kept.size()) >= most)
            kept.clear();
        found = kept.insert(key, make());
    }
    return found;
}

} // namespace

void TextItemEngine::drawTextItem(const QPointF &at, const QTextItem &item)
{
    ++count;
    if (m_keep)
        items.append({at, item.text(), item.font(), item.width(), int(item.renderFlags())});
}

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
    if (recorded && drawPieces(painter, box, text, alignment, true))
        return;
    std::shared_ptr<QTextLayout> layout =
        keptOrMade(m_layouts, text, kShapesKept, [&] { return newLayout(text, recorded); }).value();
    double w = layout->lineAt(0).naturalTextWidth();
    if (w > box.width()) {
        const QString shorter = m_metrics.elidedText(text, Qt::ElideRight, box.width());
        if (shorter.isEmpty())
            return;
        layout = newLayout(shorter, recorded);
    }
    drawLayout(painter, box, *layout, alignment);
}

void Shaper::drawLayout(QPainter &painter, const QRectF &box, QTextLayout &layout, Qt::Alignment alignment)
{
    const double w = layout.lineAt(0).naturalTextWidth();
    const double x = (alignment & Qt::AlignHCenter) ? box.center().x() - w / 2
        : (alignment & Qt::AlignLeft)               ? box.left()
                                                    : box.right() - w;
    layout.draw(&painter, QPointF(x, box.center().y() - layout.lineAt(0).height() / 2));
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

namespace {

// A device like another whose painter takes its texts as a picture's would,
// and keeps what it was given.
class ItemRecorder : public QPaintDevice
{
public:
    explicit ItemRecorder(const QPaintDevice *like) : m_like(like) { }
    ~ItemRecorder() override = default;
    QPaintEngine *paintEngine() const override { return &m_engine; }
    QList<RecordedItem> take() { return std::exchange(m_engine.items, {}); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return m_like->width();
        case PdmHeight: return m_like->height();
        case PdmWidthMM: return m_like->widthMM();
        case PdmHeightMM: return m_like->heightMM();
        case PdmNumColors: return m_like->colorCount();
        case PdmDepth: return m_like->depth();
        case PdmDpiX: return m_like->logicalDpiX();
        case PdmDpiY: return m_like->logicalDpiY();
        case PdmPhysicalDpiX: return m_like->physicalDpiX();
        case PdmPhysicalDpiY: return m_like->physicalDpiY();
        case PdmDevicePixelRatio: return m_like->devicePixelRatio();
        case PdmDevicePixelRatioScaled: return int(m_like->devicePixelRatioF() * devicePixelRatioFScale());
        }
        return 0;
    }

private:
    const QPaintDevice *m_like;
    mutable TextItemEngine m_engine;
};

// A piece that shows nothing: direction marks and isolates only.
bool invisible(const RecordedItem &item)
{
    return item.width == 0 && std::all_of(item.text.cbegin(), item.text.cend(), [](QChar c) {
               const char16_t u = c.unicode();
               return u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E)
                   || (u >= 0x2066 && u <= 0x2069);
           });
}

// Where a layout drawn at `origin` puts its line: on 64ths of a pixel, cut towards zero.
double layoutGrid(double origin)
{
    return double(int(origin * 64)) / 64;
}

} // namespace

Shaper::Pieces Shaper::newPieces(const QString &patternText) const
{
    Pieces out;
    // Each digit numbered by its place, so that a piece's digits tell where in
    // the text the piece lies.
    QString probe = patternText;
    int place = 0;
    for (QChar &c : probe) {
        if (c == u'0')
            c = QChar(u'0' + place++ % 10);
    }
    const bool rtl = tk::hasArabicScript(probe);
    const QString written = rtl ? forPicture(probe) : laidOut(probe);
    const std::unique_ptr<QTextLayout> layout = layOut(written, m_font, m_device, rtl);
    out.written = written.size();
    out.width = layout->lineAt(0).naturalTextWidth();
    out.height = layout->lineAt(0).height();
    ItemRecorder recorder(m_device);
    QPainter painter;
    if (!painter.begin(&recorder)) {
        out.state = Pieces::State::Bad;
        return out;
    }
    layout->draw(&painter, QPointF(0, 0));
    painter.end();
    for (const RecordedItem &item : recorder.take()) {
        if (invisible(item))
            continue;
        Piece piece;
        piece.at = item.at;
        if (hasDigit(item.text)) {
            const qsizetype at = written.indexOf(item.text);
            if (at < 0 || written.indexOf(item.text, at + 1) >= 0) {
                out.state = Pieces::State::Bad;
                return out;
            }
            piece.start = at;
            piece.length = item.text.size();
        } else {
            // The same in every text of the pattern: laid out once.
            piece.text = item.text;
            piece.layout = layOut(piece.text, m_font, m_device, false);
            ItemRecorder own(m_device);
            QPainter ownPainter;
            if (!ownPainter.begin(&own)) {
                out.state = Pieces::State::Bad;
                return out;
            }
            piece.layout->draw(&ownPainter, QPointF(0, 0));
            ownPainter.end();
            const QList<RecordedItem> drawn = own.take();
            if (drawn.size() != 1) {
                out.state = Pieces::State::Bad;
                return out;
            }
            piece.baseline = drawn.first().at.y();
        }
        out.pieces.append(piece);
    }
    return out;
}

QFont Shaper::painterFont() const
{
    // Given whole: a painter fills what a font leaves open from its device's
    // font, and a picture keeps the difference (another fallback family).
    QFont font = m_font;
    font.setStyleHint(font.styleHint(), font.styleStrategy());
    font.setHintingPreference(font.hintingPreference());
    return font;
}

bool Shaper::drawPieces(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment,
                        bool mayCut)
{
    if (!hasDigit(text) || !digitsExchangeable())
        return false;
    const QString key = digitPattern(text);
    const auto found = keptOrMade(m_pieces, key, kShapesKept, [&] { return newPieces(key); });
    if (found->state == Pieces::State::Bad)
        return false;
    if (mayCut && found->width > box.width()) {
        // Cut where the text's pattern is cut, as on paper.
        const QString shorter = elided(text, box.width());
        if (!shorter.isEmpty() && !drawPieces(painter, box, shorter, alignment, false))
            drawLayout(painter, box, *newLayout(shorter, true), alignment);
        return true;
    }
    Pieces &pieces = found.value();
    const QString written = tk::hasArabicScript(text) ? forPicture(text) : laidOut(text);
    if (written.size() != pieces.written)
        return false;
    const double x = (alignment & Qt::AlignHCenter) ? box.center().x() - pieces.width / 2
        : (alignment & Qt::AlignLeft)               ? box.left()
                                                    : box.right() - pieces.width;
    const QPointF origin(x, box.center().y() - pieces.height / 2);
    const QPointF grid(layoutGrid(origin.x()), layoutGrid(origin.y()));
    const auto drawAll = [&](QPainter &on) {
        for (const Piece &piece : std::as_const(pieces.pieces)) {
            if (piece.layout)
                piece.layout->draw(&on, grid + piece.at - QPointF(0, piece.baseline));
            else
                on.drawText(grid + piece.at, written.mid(piece.start, piece.length), Qt::TextForceLeftToRight,
                            0);
        }
    };
    if (pieces.state == Pieces::State::Unchecked) {
        // The first text of a pattern is laid out whole as well: the pieces
        // must hand the picture what its layout would, or it is laid out.
        ItemRecorder recorder(m_device);
        QPainter check;
        if (!check.begin(&recorder)) {
            pieces.state = Pieces::State::Bad;
            return false;
        }
        newLayout(text, true)->draw(&check, origin);
        QList<RecordedItem> whole = recorder.take();
        whole.removeIf(invisible);
        check.setFont(painterFont());
        drawAll(check);
        check.end();
        pieces.state = recorder.take() == whole ? Pieces::State::Good : Pieces::State::Bad;
        if (pieces.state == Pieces::State::Bad)
            return false;
    }
    // The painter's font only where another shaper left its own: a picture
    // records each change.
    if (!m_painterFont || !painter.font().isCopyOf(*m_painterFont)) {
        painter.setFont(painterFont());
        m_painterFont = painter.font();
    }
    drawAll(painter);
    return true;
}

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

namespace {

// A line's glyph runs in an order of their own (left to right, then by font):
// Qt hands them over in the order of a hash, which differs from one run of
// the program to the next, and with it the file written from them.
QList<QGlyphRun> orderedRuns(QList<QGlyphRun> runs)
{
    const auto leftmost = [](const QGlyphRun &run) {
        const QList<QPointF> at = run.positions();
        double x = at.isEmpty() ? 0 : at.first().x();
        for (const QPointF &p : at)
            x = std::min(x, p.x());
        return x;
    };
    std::stable_sort(runs.begin(), runs.end(), [&](const QGlyphRun &a, const QGlyphRun &b) {
        const double ax = leftmost(a);
        const double bx = leftmost(b);
        if (ax != bx)
            return ax < bx;
        const QRawFont fa = a.rawFont();
        const QRawFont fb = b.rawFont();
        return std::tuple(fa.familyName(), fa.styleName(), fa.pixelSize(), int(a.isRightToLeft()))
            < std::tuple(fb.familyName(), fb.styleName(), fb.pixelSize(), int(b.isRightToLeft()));
    });
    return runs;
}

} // namespace

Shaper::Shape Shaper::newShape(const QString &text) const
{
    const std::unique_ptr<QTextLayout> layout =
        layOut(laidOut(text), m_font, m_device, tk::hasArabicScript(text));
    const QTextLine line = layout->lineAt(0);
    return Shape{orderedRuns(layout->glyphRuns()), line.naturalTextWidth(), line.height()};
}

std::optional<Shaper::Shape> Shaper::fromPattern(const QString &text)
{
    if (!hasDigit(text) || !digitsExchangeable())
        return std::nullopt;
    const QString key = digitPattern(text);
    const auto found = keptOrMade(m_patterns, key, kShapesKept, [&] { return newPattern(key); });
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
    pattern.shape = Shape{orderedRuns(layout->glyphRuns()), line.naturalTextWidth(), line.height()};
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
