#pragma once
// A PDF file written directly, for pages of filled rectangles, lines and
// glyph runs: much faster than Qt's PDF engine for long reports, which
// positions every glyph on its own and scans each font's whole character map.
// Drawing is in the pixels of a QPdfWriter with the same page layout and
// resolution, so that a page laid out for one comes out the same here.
// TrueType fonts (with a `glyf` table) only: anything else makes it fail, and
// the caller writes the file through Qt instead.

#include "gui/pdfpaint.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPageLayout>
#include <QRawFont>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace placeva {

class PdfFonts;

// Draws pages' content in the PDF's operators for a PdfWriter, page after
// page: one for each thread that draws pages. The glyphs it drew go into the
// file's fonts when it is destroyed.
class PdfPageEncoder : public PageSurface
{
public:
    ~PdfPageEncoder() override;

    void fillRect(const QRectF &rect, const QColor &color) override;
    void drawLines(const QLineF *lines, int count, const QPen &pen) override;
    void drawGlyphRun(const QPointF &origin, const QGlyphRun &run) override;

    // The content drawn since the last call, ended; drawing goes on on a new page.
    std::string endPage();
    // A font it cannot embed was drawn in: the file cannot be written here.
    bool failed() const { return m_failed; }
    // Asked before a font not yet in the file is taken in, so that fonts are
    // numbered as the pages meet them whichever thread draws which page: it
    // waits for the pages before this one to be drawn. False: give up.
    void setBeforeNewFont(std::function<bool()> wait) { m_beforeNewFont = std::move(wait); }

    struct Face;

private:
    friend class PdfWriter;
    PdfPageEncoder(std::shared_ptr<PdfFonts> fonts, const std::string &pageStart);

    // A run drawn before, known by its positions' array, which it keeps
    // alive so that no other run's can take its place in memory.
    struct RunKey
    {
        const void *positions;
        qsizetype count;
        int face;
        double size;
        bool operator==(const RunKey &) const = default;
    };
    struct RunKeyHash
    {
        size_t operator()(const RunKey &k) const noexcept;
    };
    // How a run's glyphs are written at its places: left to right, each
    // after the pen's move to it, planned for glyphs of these widths.
    struct Piece
    {
        qsizetype glyph; // in the run
        int width;       // its advance, as planned
        int line;        // a line of the run that starts at it; -1: none
        quint32 movesBegin;
        quint32 movesEnd;
    };
    struct RunPlan
    {
        QList<QPointF> positions; // kept alive: no other run's places take their memory
        std::vector<Piece> pieces;
        std::vector<QPointF> lineStarts;
        std::string moves; // the pen's moves before the pieces
    };
    static constexpr size_t kPlansKept = 32768;

    RunPlan planned(int face, double size, const QList<quint32> &glyphs, const QList<QPointF> &positions,
                    qsizetype n);
    // Whether every glyph is as wide as the one planned for.
    bool fits(const RunPlan &plan, int face, const QList<quint32> &glyphs) const;
    void write(const RunPlan &plan, int face, const QList<quint32> &glyphs, const QPointF &origin);
    int faceFor(const QRawFont &font);
    void endText();

    std::shared_ptr<PdfFonts> m_fonts;
    std::function<bool()> m_beforeNewFont;
    std::string m_pageStart; // the page's matrix
    std::string m_page;      // the content of the page being drawn
    size_t m_pageCapacity = 0;
    QList<std::pair<QRawFont, int>> m_rawFonts; // a face for each size of it drawn in
    qsizetype m_lastFont = -1;
    std::vector<const Face *> m_faces;   // by face: what it found in the file's fonts
    std::vector<std::vector<bool>> m_used; // by face and glyph: drawn here
    int m_textFace = -1; // inside a text object: its face and size; -1 outside
    double m_textSize = 0;
    bool m_failed = false;
    std::unordered_map<RunKey, RunPlan, RunKeyHash> m_plans;
};

class PdfWriter : public PageSurface
{
public:
    PdfWriter(const QPageLayout &layout, int resolution);
    ~PdfWriter() override;

    void setTitle(const QString &title) { m_title = title; }
    void setCreator(const QString &creator) { m_creator = creator; }

    // Drawn here, on this thread, the pages are compressed on a second one.
    void fillRect(const QRectF &rect, const QColor &color) override;
    void drawLines(const QLineF *lines, int count, const QPen &pen) override;
    void drawGlyphRun(const QPointF &origin, const QGlyphRun &run) override;

    // Ends the page drawn so far and starts another.
    void newPage();
    // A font it cannot embed was drawn in: the file cannot be written here.
    bool failed() const;

    // Or drawn on other threads: each draws pages with an encoder of its own,
    // compresses them with packed(), and they are added here in their order.
    // The encoders go before finish().
    std::unique_ptr<PdfPageEncoder> newEncoder() const;
    static QByteArray packed(const std::string &content);
    void addPage(const QByteArray &packedContent);

    // The whole file; empty once failed.
    QByteArray finish();

private:
    int newObject();
    void startObject(int id);
    void writeStream(int id, const QByteArray &data, const QByteArray &dictionary = {});
    void writePacked(int id, const QByteArray &packed, const QByteArray &dictionary = {});
    void writePageObject(int contents);
    void endPage();
    void writeCompressed(bool all);
    void writeFace(const PdfPageEncoder::Face &face);

    QPageLayout m_layout;
    int m_resolution;
    QString m_title;
    QString m_creator;
    QByteArray m_file;
    QList<qint64> m_offsets; // by object, from 1
    QList<int> m_pageIds;
    std::string m_pageStart; // the page's matrix
    std::shared_ptr<PdfFonts> m_fonts;
    std::unique_ptr<PdfPageEncoder> m_own; // what is drawn here
    bool m_added = false;                  // pages came from other encoders
    class Compressor;
    std::unique_ptr<Compressor> m_compressor; // once a page is drawn here; null on a single core
};

} // namespace placeva
