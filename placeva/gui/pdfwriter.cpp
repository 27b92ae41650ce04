#include "gui/pdfwriter.h"

#include <QColor>
#include <QGlyphRun>
#include <QLineF>
#include <QPen>
#include <QRectF>

#include <libdeflate.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>

namespace placeva {

namespace {

// Object numbers fixed before any page is written.
constexpr int kCatalog = 1;
constexpr int kPages = 2;
constexpr int kResources = 3;
constexpr int kInfo = 4;

// Page content is written at a fast compression level: its text repeats much.
constexpr int kCompression = 1;

quint16 u16(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    return quint16(quint8(b[at]) << 8 | quint8(b[at + 1]));
}

qint16 s16(const QByteArray &b, qsizetype at)
{
    return qint16(u16(b, at));
}

quint32 u32(const QByteArray &b, qsizetype at)
{
    return quint32(u16(b, at)) << 16 | u16(b, at + 2);
}

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v >> 8));
    b.append(char(v & 0xff));
}

void put32(QByteArray &b, quint32 v)
{
    put16(b, quint16(v >> 16));
    put16(b, quint16(v & 0xffff));
}

void putText(std::string &out, const char *text)
{
    out.append(text);
}

// Writes v's digits ending at `end`; returns where they start.
char *intText(char *end, long long v)
{
    char *at = end;
    const bool negative = v < 0;
    unsigned long long u = negative ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        *--at = char('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (negative)
        *--at = '-';
    return at;
}

template <class Out>
void putInt(Out &out, long long v)
{
    char buf[24];
    const char *at = intText(buf + sizeof buf, v);
    out.append(at, buf + sizeof buf - at);
}

// A number as PDF writes it: at most `decimals` places (up to 6), no
// trailing zeros. Digits by division by constants alone, which compiles to
// multiplications: most of a page's bytes are numbers.
template <class Out>
void putNumber(Out &out, double v, int decimals = 4)
{
    static constexpr long long kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    decimals = std::clamp(decimals, 0, 6);
    if (!std::isfinite(v) || std::abs(v) > 1e12)
        v = 0;
    const double scaled = v * double(kPowers[decimals]);
    const long long n = static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    unsigned long long u = n < 0 ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    if (decimals == 4) {
        // Places on the page, the most of them: the fraction's four digits at once.
        char buf[40];
        char *at = buf + 20;
        char *const point = at;
        unsigned long long whole = u / 10000;
        const unsigned fraction = unsigned(u % 10000);
        do {
            *--at = char('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        if (n < 0)
            *--at = '-';
        char *end = point;
        if (fraction != 0) {
            end[0] = '.';
            end[1] = char('0' + fraction / 1000);
            end[2] = char('0' + fraction / 100 % 10);
            end[3] = char('0' + fraction / 10 % 10);
            end[4] = char('0' + fraction % 10);
            end += 5;
            while (end[-1] == '0')
                --end;
        }
        out.append(at, end - at);
        return;
    }
    char buf[48];
    char *const end = buf + sizeof buf;
    char *at = end;
    int digits = decimals;
    while (digits > 0 && u % 10 == 0) {
        u /= 10;
        --digits;
    }
    if (digits > 0) {
        for (; digits > 0; --digits, u /= 10)
            *--at = char('0' + u % 10);
        *--at = '.';
    }
    do {
        *--at = char('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (n < 0)
        *--at = '-';
    out.append(at, end - at);
}

template <class Out>
void putHex4(Out &out, quint16 v)
{
    static const char digits[] = "0123456789ABCDEF";
    const char hex[4] = {digits[v >> 12], digits[(v >> 8) & 15], digits[(v >> 4) & 15], digits[v & 15]};
    out.append(hex, 4);
}

// zlib's stream, as a FlateDecode filter reads it; a compressor kept for
// each thread that compresses.
QByteArray deflated(const char *data, qsizetype size, int level)
{
    struct Free
    {
        void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
    };
    thread_local std::unique_ptr<libdeflate_compressor, Free> compressor;
    thread_local int compressorLevel = -1;
    if (!compressor || compressorLevel != level) {
        compressor.reset(libdeflate_alloc_compressor(level));
        compressorLevel = level;
        if (!compressor)
            throw std::bad_alloc();
    }
    QByteArray out(qsizetype(libdeflate_zlib_compress_bound(compressor.get(), size_t(size))), Qt::Uninitialized);
    const size_t written = libdeflate_zlib_compress(compressor.get(), data, size_t(size), out.data(), size_t(out.size()));
    out.truncate(qsizetype(written));
    return out;
}

// A text string in UTF-16 with its byte order mark, as hex.
QByteArray textString(const QString &text)
{
    QByteArray out = "<FEFF";
    for (QChar c : text)
        putHex4(out, c.unicode());
    out.append('>');
    return out;
}

template <class Out>
void putColor(Out &out, const QColor &color, const char *op)
{
    putNumber(out, color.redF(), 4);
    out.push_back(' ');
    putNumber(out, color.greenF(), 4);
    out.push_back(' ');
    putNumber(out, color.blueF(), 4);
    out.push_back(' ');
    putText(out, op);
    out.push_back('\n');
}

} // namespace

// One font file, embedded once whatever the sizes it is drawn at; glyphs keep
// their numbers, those never drawn are left empty.
struct PdfPageEncoder::Face
{
    int fontId = 0; // the Type0 font's object, once the file is finished
    QByteArray name;
    // What tells it from another font: sizes of one face share it.
    QString family;
    QString style;
    int weight = 0;
    QFont::Style slant = QFont::StyleNormal;
    QHash<QByteArray, QByteArray> tables;
    quint16 unitsPerEm = 1000;
    bool longLoca = false;
    int glyphCount = 0;
    std::vector<int> widths;  // in thousandths of the size, by glyph
    std::vector<bool> used;   // by glyph
    std::vector<quint32> loca; // glyph offsets into glyf, one more than glyphs

    // Reads the tables it needs; false for a font it cannot embed.
    bool load(const QRawFont &font)
    {
        for (const char *tag : {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cvt ", "fpgm", "prep", "cmap",
                                "OS/2"}) {
            const QByteArray table = font.fontTable(tag);
            if (!table.isEmpty())
                tables.insert(tag, table);
        }
        const QByteArray head = tables.value("head");
        const QByteArray hhea = tables.value("hhea");
        const QByteArray maxp = tables.value("maxp");
        const QByteArray hmtx = tables.value("hmtx");
        const QByteArray locaTable = tables.value("loca");
        if (head.size() < 54 || hhea.size() < 36 || maxp.size() < 6 || locaTable.isEmpty()
            || !tables.contains("glyf"))
            return false;
        // A font whose licence forbids embedding it in full is left to Qt,
        // which draws its outlines instead.
        const QByteArray os2 = tables.value("OS/2");
        if (os2.size() >= 10 && (u16(os2, 8) & 0x030e) == 0x0002)
            return false;
        // Boldness or slant made up from a regular face: left to Qt too.
        const bool boldFace = (u16(head, 44) & 1) || (os2.size() >= 6 && u16(os2, 4) >= 600);
        if (font.weight() >= QFont::DemiBold && !boldFace)
            return false;
        if (font.style() != QFont::StyleNormal && !(u16(head, 44) & 2))
            return false;
        unitsPerEm = u16(head, 18);
        if (unitsPerEm == 0)
            return false;
        longLoca = s16(head, 50) == 1;
        glyphCount = u16(maxp, 4);
        const qsizetype locaSize = longLoca ? 4 : 2;
        if (locaTable.size() < (glyphCount + 1) * locaSize)
            return false;
        loca.resize(size_t(glyphCount) + 1);
        const qsizetype glyfSize = tables.value("glyf").size();
        for (int g = 0; g <= glyphCount; ++g) {
            loca[size_t(g)] = longLoca ? u32(locaTable, g * 4) : quint32(u16(locaTable, g * 2)) * 2;
            if (loca[size_t(g)] > glyfSize || (g > 0 && loca[size_t(g)] < loca[size_t(g) - 1]))
                return false;
        }
        const int metrics = u16(hhea, 34);
        if (metrics == 0 || hmtx.size() < metrics * 4)
            return false;
        widths.resize(size_t(glyphCount));
        for (int g = 0; g < glyphCount; ++g) {
            const quint16 advance = u16(hmtx, std::min(g, metrics - 1) * 4);
            widths[size_t(g)] = int(std::lround(advance * 1000.0 / unitsPerEm));
        }
        used.assign(size_t(glyphCount), false);
        used[0] = true; // .notdef, as every font file must have
        family = font.familyName();
        style = font.styleName();
        weight = font.weight();
        slant = font.style();
        for (QChar c : family + style) {
            if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
                name.append(char(c.unicode()));
        }
        if (name.isEmpty())
            name = "Font";
        return true;
    }

    // The glyphs a composite glyph is made of, marked used as well.
    void markComponents()
    {
        const QByteArray &glyf = tables["glyf"];
        QList<int> pending;
        for (int g = 0; g < glyphCount; ++g) {
            if (used[size_t(g)])
                pending.append(g);
        }
        while (!pending.isEmpty()) {
            const int g = pending.takeLast();
            qsizetype at = loca[size_t(g)];
            const qsizetype end = loca[size_t(g) + 1];
            if (end - at < 10 || s16(glyf, at) >= 0)
                continue;
            at += 10;
            for (;;) {
                if (at + 4 > end)
                    break;
                const quint16 flags = u16(glyf, at);
                const quint16 component = u16(glyf, at + 2);
                if (component < glyphCount && !used[component]) {
                    used[component] = true;
                    pending.append(component);
                }
                at += 4 + ((flags & 0x0001) ? 4 : 2);
                if (flags & 0x0008)
                    at += 2;
                else if (flags & 0x0040)
                    at += 4;
                else if (flags & 0x0080)
                    at += 8;
                if (!(flags & 0x0020))
                    break;
            }
        }
    }

    // The font file with the glyphs never drawn left empty.
    QByteArray fontFile() const
    {
        const QByteArray &glyf = tables["glyf"];
        QByteArray newGlyf;
        QByteArray newLoca;
        newGlyf.reserve(glyf.size() / 4);
        for (int g = 0; g < glyphCount; ++g) {
            longLoca ? put32(newLoca, quint32(newGlyf.size())) : put16(newLoca, quint16(newGlyf.size() / 2));
            if (used[size_t(g)]) {
                newGlyf.append(glyf.constData() + loca[size_t(g)], loca[size_t(g) + 1] - loca[size_t(g)]);
                // Aligned as the offsets' format needs, no more: a short one
                // counts in pairs of bytes and reaches only so far.
                while (newGlyf.size() % (longLoca ? 4 : 2))
                    newGlyf.append('\0');
            }
        }
        longLoca ? put32(newLoca, quint32(newGlyf.size())) : put16(newLoca, quint16(newGlyf.size() / 2));

        std::map<QByteArray, QByteArray> out; // sorted by tag, as the directory must be
        for (const char *tag : {"head", "hhea", "maxp", "hmtx", "cvt ", "fpgm", "prep"}) {
            if (tables.contains(tag))
                out[tag] = tables.value(tag);
        }
        out["glyf"] = newGlyf;
        out["loca"] = newLoca;
        out["head"].replace(8, 4, QByteArray(4, '\0')); // checkSumAdjustment, set below

        const auto checksum = [](const QByteArray &data) {
            quint32 sum = 0;
            QByteArray padded = data;
            while (padded.size() % 4)
                padded.append('\0');
            for (qsizetype i = 0; i < padded.size(); i += 4)
                sum += u32(padded, i);
            return sum;
        };
        const quint16 count = quint16(out.size());
        quint16 power = 1;
        quint16 log2 = 0;
        while (power * 2 <= count) {
            power *= 2;
            ++log2;
        }
        QByteArray file;
        put32(file, 0x00010000);
        put16(file, count);
        put16(file, quint16(power * 16));
        put16(file, log2);
        put16(file, quint16(count * 16 - power * 16));
        quint32 offset = 12 + 16 * count;
        qsizetype headAt = 0;
        for (const auto &[tag, data] : out) {
            file.append(tag);
            put32(file, checksum(data));
            put32(file, offset);
            put32(file, quint32(data.size()));
            if (tag == "head")
                headAt = offset;
            offset += quint32((data.size() + 3) / 4 * 4);
        }
        for (const auto &[tag, data] : out) {
            file.append(data);
            while (file.size() % 4)
                file.append('\0');
        }
        const quint32 adjustment = 0xB1B0AFBA - checksum(file);
        QByteArray adjust;
        put32(adjust, adjustment);
        file.replace(headAt + 8, 4, adjust);
        return file;
    }

    // For each glyph drawn the character the font's map gives it (the lowest,
    // where several share it), so that the text can be copied and searched.
    QByteArray toUnicode() const
    {
        std::vector<quint16> chars(size_t(glyphCount), 0);
        const QByteArray cmap = tables.value("cmap");
        // The Unicode subtable of format 4 (the basic plane).
        qsizetype sub = -1;
        const int subtables = u16(cmap, 2);
        for (int i = 0; i < subtables; ++i) {
            const quint16 platform = u16(cmap, 4 + i * 8);
            const quint16 encoding = u16(cmap, 6 + i * 8);
            const qsizetype at = u32(cmap, 8 + i * 8);
            if (((platform == 3 && (encoding == 1 || encoding == 10)) || platform == 0) && u16(cmap, at) == 4) {
                sub = at;
                if (platform == 3)
                    break;
            }
        }
        if (sub >= 0) {
            const int segments = u16(cmap, sub + 6) / 2;
            const qsizetype ends = sub + 14;
            const qsizetype starts = ends + segments * 2 + 2;
            const qsizetype deltas = starts + segments * 2;
            const qsizetype rangeOffsets = deltas + segments * 2;
            for (int s = 0; s < segments; ++s) {
                const quint16 end = u16(cmap, ends + s * 2);
                const quint16 start = u16(cmap, starts + s * 2);
                const quint16 delta = u16(cmap, deltas + s * 2);
                const quint16 rangeOffset = u16(cmap, rangeOffsets + s * 2);
                for (quint32 c = start; c <= end && c != 0xffff; ++c) {
                    quint16 g = 0;
                    if (rangeOffset == 0) {
                        g = quint16(c + delta);
                    } else {
                        const qsizetype at = rangeOffsets + s * 2 + rangeOffset + (c - start) * 2;
                        g = u16(cmap, at);
                        if (g != 0)
                            g = quint16(g + delta);
                    }
                    if (g != 0 && g < glyphCount && chars[g] == 0)
                        chars[g] = quint16(c);
                }
            }
        }
        QByteArray entries;
        int inBlock = 0;
        QByteArray body;
        const auto flush = [&] {
            if (inBlock == 0)
                return;
            putInt(body, inBlock);
            body.append(" beginbfchar\n");
            body.append(entries);
            body.append("endbfchar\n");
            entries.clear();
            inBlock = 0;
        };
        for (int g = 1; g < glyphCount; ++g) {
            if (!used[size_t(g)] || chars[size_t(g)] == 0)
                continue;
            entries.append('<');
            putHex4(entries, quint16(g));
            entries.append("> <");
            putHex4(entries, chars[size_t(g)]);
            entries.append(">\n");
            if (++inBlock == 100)
                flush();
        }
        flush();
        return "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
               "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
               "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
               "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
            + body + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    }
};

// The file's fonts, shared by the encoders drawing its pages.
class PdfFonts
{
public:
    using Face = PdfPageEncoder::Face;

    std::mutex mutex;
    std::vector<std::unique_ptr<Face>> faces; // by the number pages call them by, from 0

    // Under the lock: the face of that font in the file, or -1.
    int find(const QRawFont &font) const
    {
        for (size_t i = 0; i < faces.size(); ++i) {
            const Face &f = *faces[i];
            if (f.family == font.familyName() && f.style == font.styleName() && f.weight == font.weight()
                && f.slant == font.style())
                return int(i);
        }
        return -1;
    }
};

// Compresses pages' content on a thread of its own while the next pages are
// drawn, and hands them back in the order given.
class PdfWriter::Compressor
{
public:
    Compressor() : m_thread([this] { run(); }) { }
    ~Compressor()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
            m_waiting.clear();
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void add(int id, std::string content)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_waiting.size() < kQueued; });
        m_waiting.push_back({id, std::move(content)});
        m_wake.notify_one();
    }

    // The pages compressed since the last call; with `all`, once every page given is.
    std::vector<std::pair<int, QByteArray>> take(bool all)
    {
        std::unique_lock lock(m_mutex);
        if (all)
            m_changed.wait(lock, [&] { return m_waiting.empty() && !m_busy; });
        return std::exchange(m_done, {});
    }

private:
    static constexpr size_t kQueued = 8;

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_closed || !m_waiting.empty(); });
            if (m_closed)
                return;
            std::pair<int, std::string> job = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_busy = true;
            m_changed.notify_all();
            lock.unlock();
            QByteArray packed = deflated(job.second.data(), qsizetype(job.second.size()), kCompression);
            lock.lock();
            m_done.push_back({job.first, std::move(packed)});
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;    // work given, or closed
    std::condition_variable m_changed; // room in the queue, or work done
    std::deque<std::pair<int, std::string>> m_waiting;
    std::vector<std::pair<int, QByteArray>> m_done;
    bool m_busy = false;
    bool m_closed = false;
    std::thread m_thread;
};

PdfWriter::PdfWriter(const QPageLayout &layout, int resolution)
    : m_layout(layout), m_resolution(resolution), m_fonts(std::make_shared<PdfFonts>())
{
    m_file = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    m_offsets.resize(4, 0);
    // Drawn in the device's pixels from the paint rectangle's top left, y downwards.
    // The margins in whole pixels, as Qt's PDF engine places them.
    const QRect full = m_layout.fullRectPoints();
    const QRect paint = m_layout.paintRectPixels(m_resolution);
    const double scale = 72.0 / m_resolution;
    m_pageStart.append("q ");
    putNumber(m_pageStart, scale, 6);
    m_pageStart.append(" 0 0 ");
    putNumber(m_pageStart, -scale, 6);
    m_pageStart.push_back(' ');
    putNumber(m_pageStart, paint.left() * scale, 6);
    m_pageStart.push_back(' ');
    putNumber(m_pageStart, full.height() - paint.top() * scale, 6);
    m_pageStart.append(" cm\n");
    m_own.reset(new PdfPageEncoder(m_fonts, m_pageStart));
}

PdfWriter::~PdfWriter() = default;

PdfPageEncoder::PdfPageEncoder(std::shared_ptr<PdfFonts> fonts, const std::string &pageStart)
    : m_fonts(std::move(fonts)), m_pageStart(pageStart), m_page(pageStart)
{ }

PdfPageEncoder::~PdfPageEncoder()
{
    const std::lock_guard lock(m_fonts->mutex);
    for (size_t f = 0; f < m_used.size(); ++f) {
        std::vector<bool> &used = m_fonts->faces[f]->used;
        const std::vector<bool> &here = m_used[f];
        for (size_t g = 0; g < here.size() && g < used.size(); ++g) {
            if (here[g])
                used[g] = true;
        }
    }
}

std::unique_ptr<PdfPageEncoder> PdfWriter::newEncoder() const
{
    return std::unique_ptr<PdfPageEncoder>(new PdfPageEncoder(m_fonts, m_pageStart));
}

bool PdfWriter::failed() const
{
    return m_own && m_own->failed();
}

int PdfWriter::newObject()
{
    m_offsets.append(0);
    return int(m_offsets.size());
}

void PdfWriter::startObject(int id)
{
    m_offsets[id - 1] = m_file.size();
    putInt(m_file, id);
    m_file.append(" 0 obj\n");
}

void PdfWriter::writeStream(int id, const QByteArray &data, const QByteArray &dictionary)
{
    writePacked(id, deflated(data.constData(), data.size(), kCompression), dictionary);
}

void PdfWriter::writePacked(int id, const QByteArray &packed, const QByteArray &dictionary)
{
    startObject(id);
    m_file.append("<< /Length ");
    putInt(m_file, packed.size());
    m_file.append(" /Filter /FlateDecode ");
    m_file.append(dictionary);
    m_file.append(">>\nstream\n");
    m_file.append(packed);
    m_file.append("\nendstream\nendobj\n");
}

QByteArray PdfWriter::packed(const std::string &content)
{
    return deflated(content.data(), qsizetype(content.size()), kCompression);
}

int PdfPageEncoder::faceFor(const QRawFont &font)
{
    if (m_lastFont >= 0 && m_rawFonts.at(m_lastFont).first == font)
        return m_rawFonts.at(m_lastFont).second;
    for (qsizetype i = 0; i < m_rawFonts.size(); ++i) {
        if (m_rawFonts.at(i).first == font) {
            m_lastFont = i;
            return m_rawFonts.at(i).second;
        }
    }
    // Another size of a face already in the file shares it.
    int face = -1;
    {
        const std::lock_guard lock(m_fonts->mutex);
        face = m_fonts->find(font);
    }
    if (face < 0 && m_beforeNewFont && !m_beforeNewFont()) {
        m_failed = true;
        return -1;
    }
    const std::lock_guard lock(m_fonts->mutex);
    if (face < 0)
        face = m_fonts->find(font);
    if (face < 0) {
        auto loaded = std::make_unique<Face>();
        if (!loaded->load(font)) {
            m_failed = true;
            return -1;
        }
        face = int(m_fonts->faces.size());
        m_fonts->faces.push_back(std::move(loaded));
    }
    if (m_faces.size() <= size_t(face)) {
        m_faces.resize(size_t(face) + 1, nullptr);
        m_used.resize(size_t(face) + 1);
    }
    if (!m_faces[size_t(face)]) {
        m_faces[size_t(face)] = m_fonts->faces[size_t(face)].get();
        m_used[size_t(face)].assign(size_t(m_faces[size_t(face)]->glyphCount), false);
    }
    m_rawFonts.append({font, face});
    m_lastFont = m_rawFonts.size() - 1;
    return face;
}

void PdfPageEncoder::endText()
{
    if (m_textFace >= 0) {
        m_page.append("ET\n");
        m_textFace = -1;
    }
}

void PdfWriter::fillRect(const QRectF &rect, const QColor &color)
{
    m_own->fillRect(rect, color);
}

void PdfWriter::drawLines(const QLineF *lines, int count, const QPen &pen)
{
    m_own->drawLines(lines, count, pen);
}

void PdfWriter::drawGlyphRun(const QPointF &origin, const QGlyphRun &run)
{
    m_own->drawGlyphRun(origin, run);
}

void PdfPageEncoder::fillRect(const QRectF &rect, const QColor &color)
{
    endText();
    m_page.append("q ");
    putColor(m_page, color, "rg");
    putNumber(m_page, rect.x());
    m_page.push_back(' ');
    putNumber(m_page, rect.y());
    m_page.push_back(' ');
    putNumber(m_page, rect.width());
    m_page.push_back(' ');
    putNumber(m_page, rect.height());
    m_page.append(" re f Q\n");
}

void PdfPageEncoder::drawLines(const QLineF *lines, int count, const QPen &pen)
{
    if (count <= 0 || pen.style() == Qt::NoPen)
        return;
    endText();
    m_page.append("q ");
    putColor(m_page, pen.color(), "RG");
    putNumber(m_page, pen.widthF(), 4);
    m_page.append(" w ");
    m_page.append(pen.capStyle() == Qt::FlatCap ? "0" : pen.capStyle() == Qt::RoundCap ? "1" : "2");
    m_page.append(" J ");
    m_page.append(pen.joinStyle() == Qt::RoundJoin ? "1" : pen.joinStyle() == Qt::BevelJoin ? "2" : "0");
    m_page.append(" j\n");
    for (int i = 0; i < count; ++i) {
        putNumber(m_page, lines[i].x1());
        m_page.push_back(' ');
        putNumber(m_page, lines[i].y1());
        m_page.append(" m ");
        putNumber(m_page, lines[i].x2());
        m_page.push_back(' ');
        putNumber(m_page, lines[i].y2());
        m_page.append(" l\n");
    }
    m_page.append("S Q\n");
}

namespace {

// A glyph's number in a string, as two bytes; those a string would read
// otherwise escaped.
void putGlyph(std::string &out, quint16 glyph)
{
    for (const char c : {char(glyph >> 8), char(glyph & 0xff)}) {
        if (c == '(' || c == ')' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\r') {
            out.append("\\r", 2);
        } else {
            out.push_back(c);
        }
    }
}

} // namespace

size_t PdfPageEncoder::RunKeyHash::operator()(const RunKey &k) const noexcept
{
    size_t h = std::hash<const void *>()(k.positions);
    h = h * 31 + size_t(k.count);
    h = h * 31 + size_t(k.face);
    return h * 31 + std::hash<double>()(k.size);
}

void PdfPageEncoder::drawGlyphRun(const QPointF &origin, const QGlyphRun &run)
{
    if (m_failed)
        return;
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    const qsizetype n = std::min(glyphs.size(), positions.size());
    if (n == 0)
        return;
    const QRawFont font = run.rawFont();
    const int index = faceFor(font);
    if (index < 0)
        return;
    const double size = font.pixelSize();
    if (!(size > 0))
        return;

    if (m_textFace != index || m_textSize != size) {
        if (m_textFace < 0)
            m_page.append("BT\n", 3);
        m_page.append("/F", 2);
        putInt(m_page, index + 1);
        m_page.push_back(' ');
        putNumber(m_page, size, 4);
        m_page.append(" Tf\n", 4);
        m_textFace = index;
        m_textSize = size;
    }
    // A run at the places of one drawn before (the same shape again, or a
    // number shaped from its digits' pattern, which keeps the pattern's
    // places) is written by that run's plan, where each glyph is as wide as
    // the one planned for.
    const RunKey key{positions.constData(), n, index, size};
    auto found = m_plans.find(key);
    if (found == m_plans.end() || !fits(found->second, index, glyphs)) {
        if (m_plans.size() >= kPlansKept)
            m_plans.clear();
        RunPlan plan = planned(index, size, glyphs, positions, n);
        if (m_failed)
            return;
        found = m_plans.insert_or_assign(key, std::move(plan)).first;
    }
    write(found->second, index, glyphs, origin);
}

PdfPageEncoder::RunPlan PdfPageEncoder::planned(int index, double size, const QList<quint32> &glyphs,
                                                const QList<QPointF> &positions, qsizetype n)
{
    const Face *face = m_faces[size_t(index)];
    RunPlan plan;
    plan.positions = positions;
    // From left to right, as the pen moves: a right-to-left run lists its
    // glyphs the other way, marks may stand anywhere.
    QVarLengthArray<qsizetype, 64> order(n);
    for (qsizetype i = 0; i < n; ++i)
        order[i] = i;
    if (n > 1 && positions.at(0).x() > positions.at(n - 1).x())
        std::reverse(order.begin(), order.end());
    const auto leftOf = [&](qsizetype a, qsizetype b) { return positions.at(a).x() < positions.at(b).x(); };
    if (!std::is_sorted(order.begin(), order.end(), leftOf))
        std::stable_sort(order.begin(), order.end(), leftOf);

    // A line of glyphs at one height is one string; where a glyph does not
    // stand where the advance before it leaves the pen (a mark, kerning),
    // the pen is moved by the difference.
    plan.pieces.reserve(size_t(n));
    double penX = 0;
    double lineY = 0;
    for (qsizetype k = 0; k < n; ++k) {
        const qsizetype i = order[k];
        const quint32 glyph = glyphs.at(i);
        if (glyph >= quint32(face->glyphCount)) {
            m_failed = true;
            return {};
        }
        Piece piece{i, face->widths[glyph], -1, quint32(plan.moves.size()), 0};
        const double x = positions.at(i).x();
        const double y = positions.at(i).y();
        if (plan.lineStarts.empty() || std::abs(y - lineY) > 0.005) {
            piece.line = int(plan.lineStarts.size());
            plan.lineStarts.push_back(QPointF(x, y));
            lineY = y;
            penX = x;
        } else {
            // To a thousandth of a pixel, as Qt places glyphs to a 64th:
            // text extraction places words by where their glyphs stand.
            const double gap = x - penX;
            if (std::abs(gap) > 0.001) {
                const double adjust = std::round(-gap * 1000 / size * 100) / 100;
                if (adjust != 0) {
                    plan.moves.append(") ");
                    putNumber(plan.moves, adjust, 2);
                    plan.moves.append(" (");
                    penX -= adjust * size / 1000;
                }
            }
        }
        piece.movesEnd = quint32(plan.moves.size());
        plan.pieces.push_back(piece);
        penX += face->widths[glyph] * size / 1000;
    }
    return plan;
}

bool PdfPageEncoder::fits(const RunPlan &plan, int index, const QList<quint32> &glyphs) const
{
    const Face *face = m_faces[size_t(index)];
    for (const Piece &piece : plan.pieces) {
        const quint32 glyph = glyphs.at(piece.glyph);
        if (glyph >= quint32(face->glyphCount) || face->widths[glyph] != piece.width)
            return false;
    }
    return true;
}

void PdfPageEncoder::write(const RunPlan &plan, int index, const QList<quint32> &glyphs, const QPointF &origin)
{
    std::vector<bool> &used = m_used[size_t(index)];
    for (const Piece &piece : plan.pieces) {
        const quint32 glyph = glyphs.at(piece.glyph);
        used[glyph] = true;
        if (piece.line >= 0) {
            if (piece.line > 0)
                m_page.append(")] TJ\n", 6);
            const QPointF at = plan.lineStarts[size_t(piece.line)];
            m_page.append("1 0 0 -1 ", 9);
            putNumber(m_page, origin.x() + at.x(), 4);
            m_page.push_back(' ');
            putNumber(m_page, origin.y() + at.y(), 4);
            m_page.append(" Tm [(", 6);
        } else if (piece.movesEnd > piece.movesBegin) {
            m_page.append(plan.moves, piece.movesBegin, piece.movesEnd - piece.movesBegin);
        }
        putGlyph(m_page, quint16(glyph));
    }
    m_page.append(")] TJ\n", 6);
}

std::string PdfPageEncoder::endPage()
{
    endText();
    m_page.append("Q\n");
    // Room for a page like this one, so that the next is not grown step by step.
    m_pageCapacity = std::max(m_pageCapacity, m_page.size());
    std::string page = std::exchange(m_page, std::string());
    m_page.reserve(m_pageCapacity + m_pageCapacity / 8);
    m_page = m_pageStart;
    return page;
}

void PdfWriter::writePageObject(int contents)
{
    const int page = newObject();
    startObject(page);
    const QRect full = m_layout.fullRectPoints();
    m_file.append("<< /Type /Page /Parent 2 0 R /Contents ");
    putInt(m_file, contents);
    m_file.append(" 0 R /Resources 3 0 R /MediaBox [0 0 ");
    putInt(m_file, full.width());
    m_file.append(' ');
    putInt(m_file, full.height());
    m_file.append("] >>\nendobj\n");
    m_pageIds.append(page);
}

void PdfWriter::endPage()
{
    std::string content = m_own->endPage();
    const int contents = newObject();
    if (!m_compressor && std::thread::hardware_concurrency() > 1)
        m_compressor = std::make_unique<Compressor>();
    if (m_compressor) {
        m_compressor->add(contents, std::move(content));
        writeCompressed(false);
    } else {
        writePacked(contents, packed(content));
    }
    writePageObject(contents);
}

void PdfWriter::addPage(const QByteArray &packedContent)
{
    m_added = true;
    const int contents = newObject();
    writePacked(contents, packedContent);
    writePageObject(contents);
}

void PdfWriter::writeCompressed(bool all)
{
    for (const auto &[id, packed] : m_compressor->take(all))
        writePacked(id, packed);
}

void PdfWriter::newPage()
{
    endPage();
}

void PdfWriter::writeFace(const PdfPageEncoder::Face &face)
{
    const int descendant = newObject();
    const int descriptor = newObject();
    const int file = newObject();
    const int unicode = newObject();
    // A subset's name: six capitals of its own before the font's.
    QByteArray name(6, 'A');
    for (int i = 0, id = face.fontId; i < 6; ++i, id /= 26)
        name[i] = char('A' + id % 26);
    name += '+' + face.name;

    startObject(face.fontId);
    m_file.append("<< /Type /Font /Subtype /Type0 /BaseFont /" + name
                  + " /Encoding /Identity-H /DescendantFonts [");
    putInt(m_file, descendant);
    m_file.append(" 0 R] /ToUnicode ");
    putInt(m_file, unicode);
    m_file.append(" 0 R >>\nendobj\n");

    startObject(descendant);
    m_file.append("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name
                  + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                    " /CIDToGIDMap /Identity /FontDescriptor ");
    putInt(m_file, descriptor);
    m_file.append(" 0 R /DW 0 /W [");
    for (int g = 0; g < face.glyphCount;) {
        if (!face.used[size_t(g)] || face.widths[size_t(g)] == 0) {
            ++g;
            continue;
        }
        putInt(m_file, g);
        m_file.append(" [");
        for (; g < face.glyphCount && face.used[size_t(g)] && face.widths[size_t(g)] != 0; ++g) {
            putInt(m_file, face.widths[size_t(g)]);
            m_file.append(' ');
        }
        m_file.append("]\n");
    }
    m_file.append("] >>\nendobj\n");

    const QByteArray head = face.tables.value("head");
    const QByteArray hhea = face.tables.value("hhea");
    const auto scaled = [&](int v) { return int(std::lround(v * 1000.0 / face.unitsPerEm)); };
    startObject(descriptor);
    m_file.append("<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [");
    for (int at : {36, 38, 40, 42}) {
        putInt(m_file, scaled(s16(head, at)));
        m_file.append(' ');
    }
    m_file.append("] /ItalicAngle 0 /Ascent ");
    putInt(m_file, scaled(s16(hhea, 4)));
    m_file.append(" /Descent ");
    putInt(m_file, scaled(s16(hhea, 6)));
    m_file.append(" /CapHeight ");
    putInt(m_file, scaled(s16(hhea, 4)));
    m_file.append(" /StemV 80 /FontFile2 ");
    putInt(m_file, file);
    m_file.append(" 0 R >>\nendobj\n");

    const QByteArray fontFile = face.fontFile();
    QByteArray length1 = "/Length1 ";
    putInt(length1, fontFile.size());
    length1.append(' ');
    writeStream(file, fontFile, length1);
    writeStream(unicode, face.toUnicode());
}

QByteArray PdfWriter::finish()
{
    if (failed())
        return QByteArray();
    if (!m_added)
        endPage();
    if (m_compressor)
        writeCompressed(true);
    m_own.reset(); // its glyphs into the fonts
    const std::lock_guard lock(m_fonts->mutex);
    const auto &faces = m_fonts->faces;
    for (const auto &face : faces) {
        face->fontId = newObject();
        face->markComponents();
        writeFace(*face);
    }

    startObject(kResources);
    m_file.append("<< /ProcSet [/PDF /Text] /Font <<");
    for (const auto &face : faces) {
        m_file.append(" /F");
        putInt(m_file, &face - &faces.front() + 1);
        m_file.append(' ');
        putInt(m_file, face->fontId);
        m_file.append(" 0 R");
    }
    m_file.append(" >> >>\nendobj\n");

    startObject(kPages);
    m_file.append("<< /Type /Pages /Kids [");
    for (int id : std::as_const(m_pageIds)) {
        putInt(m_file, id);
        m_file.append(" 0 R\n");
    }
    m_file.append("] /Count ");
    putInt(m_file, m_pageIds.size());
    m_file.append(" >>\nendobj\n");

    startObject(kInfo);
    m_file.append("<< /Title " + textString(m_title) + " /Creator " + textString(m_creator) + " /CreationDate (D:"
                  + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1()
                  + "Z) >>\nendobj\n");

    startObject(kCatalog);
    m_file.append("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");

    const qint64 xref = m_file.size();
    m_file.append("xref\n0 ");
    putInt(m_file, m_offsets.size() + 1);
    m_file.append("\n0000000000 65535 f \n");
    for (qint64 offset : std::as_const(m_offsets)) {
        char line[21];
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(offset));
        m_file.append(line, 20);
    }
    m_file.append("trailer\n<< /Size ");
    putInt(m_file, m_offsets.size() + 1);
    m_file.append(" /Root 1 0 R /Info 4 0 R >>\nstartxref\n");
    putInt(m_file, xref);
    m_file.append("\n%%EOF\n");
    return std::move(m_file);
}

} // namespace placeva
