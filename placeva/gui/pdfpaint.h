#pragma once
// What the printed pages share: the Persian font at a size and texts shaped
// once for a device and drawn right to left (Persian) or left to right
// (numbers) in a box. The page itself: reportPageLayout() in gui/report.h.

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QPaintEngine>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QColor;
class QLineF;
class QPaintDevice;
class QPainter;
class QPen;
class QTextLayout;

namespace placeva {

QFont reportFont(double points, bool bold = false);

// What a painter hands a print preview's picture for each piece of text.
struct RecordedItem
{
    QPointF at;
    QString text;
    QFont font;
    double width = 0;
    int flags = 0;

    bool operator==(const RecordedItem &other) const
    {
        return at == other.at && text == other.text && font == other.font && width == other.width
            && flags == other.flags;
    }
};

// A paint engine that says it is a picture's, as a print preview's is, so that
// a painter hands it each text item as the preview would get it; it draws
// nothing and keeps the items (or, told not to, only counts them).
class TextItemEngine : public QPaintEngine
{
public:
    explicit TextItemEngine(bool keep = true) : QPaintEngine(QPaintEngine::AllFeatures), m_keep(keep) { }
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override { }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override { }
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override { }
    void drawPath(const QPainterPath &) override { }
    void drawTextItem(const QPointF &at, const QTextItem &item) override;
    Type type() const override { return QPaintEngine::Picture; }

    QList<RecordedItem> items;
    qsizetype count = 0;

private:
    bool m_keep;
};

// Where pages are drawn: through a painter (printer, preview, Qt's PDF) or
// into a PDF written directly (gui/pdfwriter.h).
class PageSurface
{
public:
    virtual ~PageSurface() = default;
    virtual void fillRect(const QRectF &rect, const QColor &color) = 0;
    virtual void drawLines(const QLineF *lines, int count, const QPen &pen) = 0;
    virtual void drawGlyphRun(const QPointF &origin, const QGlyphRun &run) = 0;
    // The painter behind it, if any.
    virtual QPainter *painter() { return nullptr; }
};

class PainterSurface : public PageSurface
{
public:
    explicit PainterSurface(QPainter &painter) : m_painter(painter) { }
    void fillRect(const QRectF &rect, const QColor &color) override;
    void drawLines(const QLineF *lines, int count, const QPen &pen) override;
    void drawGlyphRun(const QPointF &origin, const QGlyphRun &run) override;
    QPainter *painter() override { return &m_painter; }

private:
    QPainter &m_painter;
};

// Texts of one font shaped for the device, each on one line. Persian reads
// right to left; a text without it left to right, so that "-100" is not
// shown as "100-". A text shaped once is drawn again from its shape, and a
// text that differs from one shaped before only in its digits (ranks,
// averages, ranges: most of a report's cells) takes that shape with the
// digits' glyphs exchanged, where the font gives every digit the same width
// and no digit a neighbour-dependent form (checked on the font, and on each
// such pattern against the text shaped in full).
class Shaper
{
public:
    Shaper(const QFont &font, QPaintDevice *device);

    // Measured at a fixed resolution, so that the pages break at the same
    // rows on a printer as in the PDF, whatever their resolutions.
    double lineHeight() const;
    double width(const QString &text);

    // Draws the text in `box` (padding already taken off), vertically centred,
    // at its right or centre (or its left with Qt::AlignLeft); a text too wide
    // is cut short with an ellipsis.
    void draw(PageSurface &surface, const QRectF &box, const QString &text, Qt::Alignment alignment);
    void draw(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment);

private:
    struct Shape
    {
        QList<QGlyphRun> runs; // positions from the line's top left
        double width = 0;
        double height = 0;
    };
    // A text with every digit 0, shaped, and where each digit's glyph is.
    struct Pattern
    {
        enum class State { Unchecked, Good, Bad } state = State::Unchecked;
        Shape shape;
        QList<std::pair<qsizetype, qsizetype>> digitGlyphs; // run, glyph; in the text's order
        QList<QList<quint32>> digitsOf;                     // by run: the glyphs of 0 to 9
    };

    // A print preview's picture keeps a text as the pieces its layout drew
    // (a run of one script and direction each), with their characters, and
    // lays each out again when shown. Texts differing only in their digits
    // share where those pieces go: a piece with digits is drawn by
    // QPainter::drawText, one without from its own layout, so that a number
    // is never laid out whole nor kept, and pieces that show nothing (the
    // marks around a number) are left out.
    struct Piece
    {
        QPointF at;                          // its baseline's left, from the line's top left
        QString text;                        // a piece without digits: its characters
        std::shared_ptr<QTextLayout> layout; // and itself laid out, drawn from its
        double baseline = 0;                 // top left, its baseline this far down
        qsizetype start = 0;                 // else where it lies in the text written for the picture
        qsizetype length = 0;
    };
    struct Pieces
    {
        enum class State { Unchecked, Good, Bad } state = State::Unchecked;
        QList<Piece> pieces;
        qsizetype written = 0; // the length of the text written for the picture
        double width = 0;
        double height = 0;
    };

    void drawLaidOut(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment);
    bool drawPieces(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment,
                    bool mayCut);
    Pieces newPieces(const QString &patternText) const;
    QFont painterFont() const;
    static void drawLayout(QPainter &painter, const QRectF &box, QTextLayout &layout,
                           Qt::Alignment alignment);
    std::shared_ptr<QTextLayout> newLayout(const QString &text, bool recorded) const;
    QString forPicture(const QString &text) const;
    Shape shape(const QString &text);
    Shape newShape(const QString &text) const;
    QString laidOut(const QString &text) const;
    std::optional<Shape> fromPattern(const QString &text);
    Pattern newPattern(const QString &patternText) const;
    static std::optional<Shape> exchangeDigits(const Pattern &pattern, const QString &text);
    QString elided(const QString &text, double width);
    bool digitsExchangeable();

    QFont m_font;
    QPaintDevice *m_device;
    QFontMetricsF m_metrics;
    QHash<QString, Shape> m_shapes;
    QHash<QString, Shape> m_numberShapes; // texts with digits
    std::vector<size_t> m_seenNumbers = std::vector<size_t>(size_t(1) << 15); // by hash: the last such text seen
    QHash<QString, std::shared_ptr<QTextLayout>> m_layouts;
    QHash<QString, Pattern> m_patterns;
    QHash<QString, Pieces> m_pieces;          // by digit pattern
    std::optional<QFont> m_painterFont;       // what the painter was last given by this shaper
    QHash<QString, QString> m_elidedPatterns; // by pattern and width
    struct Cut
    {
        double width = 0;           // the box it was cut for
        std::optional<Shape> shape; // none: not even the ellipsis fits
    };
    QHash<QString, Cut> m_cut; // texts too wide, by themselves
    std::optional<bool> m_digitsExchangeable;
    mutable std::optional<QRawFont> m_primaryFont; // the family's own, without fallbacks
};

} // namespace placeva
