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

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace placeva {

class PdfWriter : public PageSurface
{
public:
    PdfWriter(const QPageLayout &layout, int resolution);
    ~PdfWriter() override;

    void setTitle(const QString &title) { m_title = title; }
    void setCreator(const QString &creator) { m_creator = creator; }

    void fillRect(const QRectF &rect, const QColor &color) override;
    void drawLines(const QLineF *lines, int count, const QPen &pen) override;
    void drawGlyphRun(const QPointF &origin, const QGlyphRun &run) override;

    // Ends the page drawn so far and starts another.
    void newPage();
    // A font it cannot embed was drawn in: the file cannot be written here.
    bool failed() const { return m_failed; }
    // The whole file; empty once failed.
    QByteArray finish();

    struct Face;

private:
    // A run's glyphs at one height, from where the first stands.
    struct RunLine
    {
        double x = 0;
        double y = 0;
        std::string text; // the text matrix's operator and the glyphs
    };
    static constexpr size_t kRunsKept = 32768;

    std::vector<RunLine> encodedRun(Face *face, double size, const QList<quint32> &glyphs,
                                    const QList<QPointF> &positions, qsizetype n);
    int faceFor(const QRawFont &font);
    void endText();
    void endPage();
    int newObject();
    void startObject(int id);
    void writeStream(int id, const QByteArray &data, const QByteArray &dictionary = {});
    void writePacked(int id, const QByteArray &packed, const QByteArray &dictionary = {});
    void writeCompressed(bool all);
    void writeFace(const Face &face);

    QPageLayout m_layout;
    int m_resolution;
    QString m_title;
    QString m_creator;
    QByteArray m_file;
    QList<qint64> m_offsets; // by object, from 1
    QList<int> m_pageIds;
    std::string m_page;      // the content of the page being drawn
    std::string m_pageStart; // the page's matrix
    class Compressor;
    std::unique_ptr<Compressor> m_compressor; // null on a single core
    std::vector<std::unique_ptr<Face>> m_faces;
    QList<std::pair<QRawFont, int>> m_fonts; // a face for each size of it drawn in
    qsizetype m_lastFont = -1;
    int m_textFace = -1; // inside a text object: its face and size; -1 outside
    double m_textSize = 0;
    bool m_failed = false;
    // Runs written before, by their font, size, glyphs and places.
    std::unordered_map<std::string, std::vector<RunLine>> m_runs;
    std::string m_runKey;
};

} // namespace placeva
