// The About window's logo: a map badge with a route between a red and a blue position, and the
// program's name. 240 x 80, the size of the About window's logo area.
#include "MkImages.h"
#include "Noise.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace mkimages {

namespace {

// Closed wobbly contour around a centre, as on a relief map.
QPainterPath contour(QPointF c, double r, double wobble, std::uint64_t seed)
{
    QPainterPath path;
    const int steps = 72;
    for (int k = 0; k <= steps; ++k) {
        double a = 2 * std::numbers::pi * k / steps;
        double rr = r * (1 + wobble * (valueNoise(std::cos(a) * 1.6 + 3, std::sin(a) * 1.6 + 3, seed) - 0.5));
        QPointF p = c + QPointF(std::cos(a), std::sin(a)) * rr;
        if (k == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

} // namespace

QImage makeLogo()
{
    const int w = 240, h = 80;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient back(0, 0, 0, h);
    back.setColorAt(0, QColor(60, 70, 48));
    back.setColorAt(1, QColor(32, 38, 28));
    p.fillRect(img.rect(), back);
    // Faint contour lines across the background.
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    p.setBrush(Qt::NoBrush);
    for (int k = 1; k <= 7; ++k)
        p.drawPath(contour(QPointF(170, 70), 18.0 * k, 0.35, 40));

    // The badge.
    const QPointF c(40, 40);
    const double r = 33;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawEllipse(c + QPointF(1.5, 2), r, r);
    QRadialGradient paper(c + QPointF(-8, -10), r * 1.3);
    paper.setColorAt(0, QColor(226, 214, 170));
    paper.setColorAt(1, QColor(176, 156, 108));
    p.setBrush(paper);
    p.setPen(QPen(QColor(58, 46, 30), 2.2));
    p.drawEllipse(c, r, r);
    p.save();
    QPainterPath clip;
    clip.addEllipse(c, r - 2, r - 2);
    p.setClipPath(clip);
    // A river, contour lines and a wood on the badge's map.
    p.setPen(QPen(QColor(70, 110, 140), 3.2, Qt::SolidLine, Qt::RoundCap));
    QPainterPath river;
    river.moveTo(c + QPointF(-36, 10));
    river.cubicTo(c + QPointF(-14, 2), c + QPointF(-4, 24), c + QPointF(36, 16));
    p.drawPath(river);
    p.setPen(QPen(QColor(130, 100, 60, 150), 1.0));
    for (int k = 1; k <= 3; ++k)
        p.drawPath(contour(c + QPointF(8, -10), 6.0 * k, 0.45, 41));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(88, 116, 60, 200));
    for (QPointF t : {QPointF(-18, -14), QPointF(-12, -19), QPointF(-22, -6), QPointF(-14, -9)})
        p.drawEllipse(c + t, 4.2, 4.2);
    // The route one player took: dashes from a red start to a blue marker.
    QPen route(QColor(50, 36, 24), 1.8, Qt::DashLine, Qt::RoundCap);
    route.setDashPattern({2.0, 2.0});
    p.setPen(route);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(c + QPointF(-16, 18));
    path.cubicTo(c + QPointF(-4, 8), c + QPointF(2, 4), c + QPointF(14, -8));
    p.drawPath(path);
    p.restore();
    p.setPen(QPen(QColor(60, 0, 0), 1.0));
    p.setBrush(QColor(210, 30, 30));
    p.drawEllipse(c + QPointF(-16, 18), 4.2, 4.2);
    // The blue marker as an arrow head pointing along the route.
    QPolygonF arrow;
    arrow << QPointF(0, -6) << QPointF(5, 5) << QPointF(0, 2.5) << QPointF(-5, 5);
    p.save();
    p.translate(c + QPointF(16, -10));
    p.rotate(45);
    p.setPen(QPen(QColor(0, 0, 60), 1.0));
    p.setBrush(QColor(40, 80, 220));
    p.drawPolygon(arrow);
    p.restore();
    p.setPen(QPen(QColor(250, 240, 200, 120), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r - 3.5, r - 3.5);

    // The name, with a drop shadow, and a line under it.
    QFont name("DejaVu Serif", 10, QFont::Bold);
    name.setPixelSize(32);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    p.setFont(name);
    const QRectF nameBox(80, 8, 156, 44);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(nameBox.translated(1.5, 2), Qt::AlignHCenter | Qt::AlignVCenter, "Ornwick");
    p.setPen(QColor(238, 226, 182));
    p.drawText(nameBox, Qt::AlignHCenter | Qt::AlignVCenter, "Ornwick");
    p.setPen(QPen(QColor(200, 176, 110), 1.0));
    p.drawLine(QPointF(92, 54.5), QPointF(224, 54.5));
    QFont tag("DejaVu Sans", 8);
    tag.setPixelSize(10);
    tag.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    p.setFont(tag);
    p.setPen(QColor(200, 190, 150));
    p.drawText(QRectF(80, 57, 156, 16), Qt::AlignHCenter | Qt::AlignVCenter, "BATTLE LOG REPLAY");

    p.setPen(QPen(QColor(20, 24, 16), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    return img;
}

} // namespace mkimages
