// Draws the about window's picture: what Ranqor does, with the curve of its
// own rank table. Run at build time; the JPEG is compiled into the program.
#include "rank.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QImage image(693, 469, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 469);
    sky.setColorAt(0, QColor(16, 42, 92));
    sky.setColorAt(1, QColor(28, 110, 140));
    p.fillRect(image.rect(), sky);

    const auto font = [](int px, bool bold) {
        QFont f(QStringLiteral("Noto Sans Arabic UI"));
        f.setPixelSize(px);
        f.setBold(bold);
        return f;
    };
    QTextOption rtl(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    rtl.setTextDirection(Qt::RightToLeft);

    p.setPen(Qt::white);
    p.setFont(font(26, true));
    p.drawText(QRectF(20, 14, 640, 44), QStringLiteral(u"تخمين رتبه کارداني به کارشناسي نرم افزار"), rtl);
    p.setFont(font(16, false));
    const QString lines[] = {
        QStringLiteral(u"درصد ده درس را در خانه ها وارد کنيد."),
        QStringLiteral(u"ميانگين وزني و رتبه سال 87 و سه حالت سال 88 همزمان نمايش داده ميشود."),
        QStringLiteral(u"سبز: درصد مثبت    قرمز: درصد منفي    سفيد: صفر"),
    };
    for (int i = 0; i < 3; ++i)
        p.drawText(QRectF(20, 66 + i * 30, 640, 28), lines[i], rtl);

    // The rank table: rank (log scale, best at the top) against the average.
    const QRectF plot(150, 170, 490, 240);
    p.fillRect(plot, QColor(255, 255, 255, 30));
    p.setPen(QPen(QColor(255, 255, 255, 120), 1));
    p.drawRect(plot);
    const auto x = [&](double avg) { return plot.left() + (avg - 5) / 45 * plot.width(); };
    const auto y = [&](double rank) {
        return plot.top() + std::log10(rank) / std::log10(30000.0) * plot.height();
    };
    QPainterPath curve;
    bool started = false;
    for (double avg = 5.37; avg <= 50; avg += 0.05) {
        const double rank = ranqor::rankCaption(avg).toDouble();
        if (rank <= 0)
            continue;
        const QPointF pt(x(avg), y(rank));
        started ? curve.lineTo(pt) : curve.moveTo(pt);
        started = true;
    }
    p.setPen(QPen(QColor(255, 214, 90), 3));
    p.drawPath(curve);
    p.setFont(font(13, false));
    p.setPen(Qt::white);
    for (int avg : {10, 20, 30, 40, 50})
        p.drawText(QRectF(x(avg) - 20, plot.bottom() + 4, 40, 18), Qt::AlignCenter, QString::number(avg));
    for (int rank : {1, 10, 100, 1000, 10000})
        p.drawText(QRectF(plot.left() - 56, y(rank) - 9, 50, 18), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(rank));
    p.drawText(QRectF(plot.left(), plot.bottom() + 24, plot.width(), 22), QStringLiteral(u"ميانگين درصدها"),
               rtl);
    p.end();
    return image.save(QString::fromLocal8Bit(argv[1]), "JPEG", 90) ? 0 : 1;
}
