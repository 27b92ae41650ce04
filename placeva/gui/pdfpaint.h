#pragma once
// What the printed pages share: the Persian font at a size and texts shaped
// once for a device and drawn right to left (Persian) or left to right
// (numbers) in a box. The page itself: reportPageLayout() in gui/report.h.

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QRectF>
#include <QString>

#include <memory>

class QPaintDevice;
class QPainter;
class QTextLayout;

namespace placeva {

QFont reportFont(double points, bool bold = false);

// Texts of one font shaped for the device, each on one line. Persian reads
// right to left; a text without it left to right, so that "-100" is not
// shown as "100-". A text shaped once is drawn again from its shape.
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
    void draw(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment);

private:
    std::shared_ptr<QTextLayout> shape(const QString &text);
    std::shared_ptr<QTextLayout> newShape(const QString &text) const;

    QFont m_font;
    QPaintDevice *m_device;
    QFontMetricsF m_metrics;
    QHash<QString, std::shared_ptr<QTextLayout>> m_shapes;
};

} // namespace placeva
