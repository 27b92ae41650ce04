#include "gui/pdfpaint.h"

#include "toolkit.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace placeva {

namespace {

// Past this many texts the shapes kept for reuse are dropped; names are
// mostly seen once, bands and ranks again and again.
constexpr size_t kShapesKept = 4096;

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
    return shape(text)->lineAt(0).naturalTextWidth();
}

void Shaper::draw(QPainter &painter, const QRectF &box, const QString &text, Qt::Alignment alignment)
{
    if (text.isEmpty())
        return;
    std::shared_ptr<QTextLayout> layout = shape(text);
    double w = layout->lineAt(0).naturalTextWidth();
    if (w > box.width()) {
        const QString elided = m_metrics.elidedText(text, Qt::ElideRight, box.width());
        if (elided.isEmpty())
            return;
        layout = newShape(elided);
        w = layout->lineAt(0).naturalTextWidth();
    }
    const double x = (alignment & Qt::AlignHCenter) ? box.center().x() - w / 2
        : (alignment & Qt::AlignLeft)               ? box.left()
                                                    : box.right() - w;
    layout->draw(&painter, QPointF(x, box.center().y() - layout->lineAt(0).height() / 2));
}

std::shared_ptr<QTextLayout> Shaper::shape(const QString &text)
{
    auto found = m_shapes.constFind(text);
    if (found != m_shapes.cend())
        return found.value();
    if (size_t(m_shapes.size()) >= kShapesKept)
        m_shapes.clear();
    return *m_shapes.insert(text, newShape(text));
}

std::shared_ptr<QTextLayout> Shaper::newShape(const QString &text) const
{
    // A left-to-right mark first: without a strong character before it a
    // leading minus sign is laid out on the digits' right.
    const bool rtl = tk::hasArabicScript(text);
    auto layout = std::make_shared<QTextLayout>(rtl ? text : QChar(0x200E) + text, m_font, m_device);
    // Placed at the line's left whatever the direction; draw() aligns it.
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    layout->setTextOption(option);
    layout->setCacheEnabled(true); // drawn without shaping it again
    layout->beginLayout();
    QTextLine line = layout->createLine();
    line.setLineWidth(1e6);
    layout->endLayout();
    return layout;
}

} // namespace placeva
