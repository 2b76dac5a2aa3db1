// Draws the program's 16x16 icons into the folder given as the only argument:
//   drawicons resources/
// Shapes only, dark outlines around saturated fills, so each reads on light and
// dark themes alike.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <functional>

namespace {

const QColor outline(40, 40, 48);
const QColor paper(250, 250, 246);
const QColor green(46, 160, 67);
const QColor red(210, 46, 46);
const QColor blue(40, 110, 200);
const QColor grey(128, 134, 144);
const QColor amber(230, 160, 30);

QPen outlinePen(qreal width = 1.0)
{
    return QPen(outline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void sheet(QPainter &p)
{
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    p.setPen(outlinePen());
    p.setBrush(paper);
    p.drawPath(page);
    p.setPen(QPen(grey, 1));
    for (int y = 5; y <= 11; y += 2)
        p.drawLine(QPointF(4.5, y + 0.5), QPointF(10.5, y + 0.5));
}

void badge(QPainter &p, const QColor &fill, const QPointF &centre, qreal radius)
{
    p.setPen(outlinePen());
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
}

void addFiles(QPainter &p)
{
    sheet(p);
    badge(p, green, QPointF(11.5, 11.5), 4);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(11.5, 9.2), QPointF(11.5, 13.8));
    p.drawLine(QPointF(9.2, 11.5), QPointF(13.8, 11.5));
}

void editDelete(QPainter &p)
{
    sheet(p);
    badge(p, red, QPointF(11.5, 11.5), 4);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(9.2, 11.5), QPointF(13.8, 11.5));
}

void gear(QPainter &p)
{
    QPainterPath wheel;
    const QPointF c(8, 8);
    for (int i = 0; i < 8; ++i) {
        const qreal a = i * M_PI / 4;
        const QPointF dir(qCos(a), qSin(a));
        const QPointF side(-dir.y(), dir.x());
        QPainterPath tooth;
        tooth.moveTo(c + dir * 4.5 + side * 1.6);
        tooth.lineTo(c + dir * 7.3 + side * 1.2);
        tooth.lineTo(c + dir * 7.3 - side * 1.2);
        tooth.lineTo(c + dir * 4.5 - side * 1.6);
        tooth.closeSubpath();
        wheel = wheel.united(tooth);
    }
    QPainterPath rim;
    rim.addEllipse(c, 5.2, 5.2);
    QPainterPath hole;
    hole.addEllipse(c, 2, 2);
    wheel = wheel.united(rim).subtracted(hole);
    p.setPen(outlinePen());
    p.setBrush(amber);
    p.drawPath(wheel);
}

void stopSign(QPainter &p)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal a = M_PI / 8 + i * M_PI / 4;
        octagon << QPointF(8 + 6.8 * qCos(a), 8 + 6.8 * qSin(a));
    }
    p.setPen(outlinePen());
    p.setBrush(red);
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 7, 8, 2));
}

void information(QPainter &p)
{
    badge(p, blue, QPointF(8, 8), 6.8);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.8), 1.1, 1.1);
    p.drawRect(QRectF(7, 7, 2, 5.5));
}

void errorMark(QPainter &p)
{
    badge(p, red, QPointF(8, 8), 6.8);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3.5, 2, 6));
    p.drawEllipse(QPointF(8, 11.8), 1.1, 1.1);
}

// A disc: the neutral mark of a sheet waiting in the list.
void block(QPainter &p)
{
    badge(p, QColor(170, 180, 196), QPointF(8, 8), 6.8);
    p.setPen(QPen(QColor(235, 238, 244), 1));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.5, 3.5, 9, 9), 30 * 16, 80 * 16);
    p.setPen(outlinePen());
    p.setBrush(paper);
    p.drawEllipse(QPointF(8, 8), 1.8, 1.8);
}

bool draw(const QString &path, const std::function<void(QPainter &)> &paint)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return image.save(path, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    const bool ok = draw(dir + "addfiles.png", addFiles) && draw(dir + "editdelete.png", editDelete)
        && draw(dir + "gear.png", gear) && draw(dir + "stopme.png", stopSign)
        && draw(dir + "lognormal.png", information) && draw(dir + "logerror.png", errorMark)
        && draw(dir + "block.png", block);
    return ok ? 0 : 1;
}
