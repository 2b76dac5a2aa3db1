// Draws the application icon, a disc cut into four wedges with one of them
// pulled away like a track leaving the image, from the one set of shapes
// below: as PNGs for the icon theme's fixed sizes and as the scalable SVG.
//   splitmere_appicon <folder>
// writes splitmere-16.png ... splitmere-128.png and splitmere.svg there.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QTextStream>
#include <QtMath>

namespace {

// The shapes live on a 128-unit square; every output scales from it.
constexpr qreal canvas = 128;
constexpr qreal outerRadius = 52;
constexpr qreal innerRadius = 14;
const QColor outline(42, 46, 58);

struct Shape
{
    QPainterPath path;
    QColor fill; // invalid: outline only
    QColor stroke;
    qreal strokeWidth; // in canvas units
    bool detail;       // left out where it would only blur a small icon
};

QPointF polar(qreal degrees, qreal radius)
{
    // Qt counts angles counter-clockwise from three o'clock with y pointing down.
    const qreal a = qDegreesToRadians(degrees);
    return QPointF(qCos(a) * radius, -qSin(a) * radius);
}

QRectF circle(qreal radius)
{
    // Off centre towards the lower left, so that the disc with its pulled-out
    // wedge sits balanced on the square.
    const QPointF c(canvas / 2 - 4, canvas / 2 + 4);
    return QRectF(c - QPointF(radius, radius), c + QPointF(radius, radius));
}

QPainterPath wedge(qreal from, qreal span, qreal pulledOut)
{
    QPainterPath p;
    p.arcMoveTo(circle(outerRadius), from);
    p.arcTo(circle(outerRadius), from, span);
    p.arcTo(circle(innerRadius), from + span, -span);
    p.closeSubpath();
    return p.translated(polar(from + span / 2, pulledOut));
}

QPainterPath groove(qreal from, qreal span, qreal radius, qreal pulledOut)
{
    QPainterPath p;
    p.arcMoveTo(circle(radius), from);
    p.arcTo(circle(radius), from, span);
    return p.translated(polar(from + span / 2, pulledOut));
}

QList<Shape> shapes()
{
    // Warm to cool around the disc; the upper right wedge is the one leaving.
    const QColor fills[]
        = {QColor(232, 85, 78), QColor(242, 169, 59), QColor(63, 167, 160), QColor(76, 111, 209)};
    const qreal pulled[] = {11, 3, 3, 3};
    QList<Shape> list;
    for (int i = 0; i < 4; ++i) {
        const qreal from = 90.0 * i + 3;
        const qreal span = 84;
        list.append({wedge(from, span, pulled[i]), fills[i], outline, 3, false});
        for (qreal radius : {28.0, 40.0})
            list.append({groove(from + 14, span - 28, radius, pulled[i]), QColor(),
                QColor(255, 255, 255, 140), 2.5, true});
    }
    return list;
}

QString number(qreal v)
{
    return QString::number(v, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

QString svgPathData(const QPainterPath &path)
{
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement)
            d += QStringLiteral("M%1 %2").arg(number(e.x), number(e.y));
        else if (e.type == QPainterPath::LineToElement)
            d += QStringLiteral("L%1 %2").arg(number(e.x), number(e.y));
        else if (e.type == QPainterPath::CurveToElement)
            d += QStringLiteral("C%1 %2").arg(number(e.x), number(e.y));
        else
            d += QStringLiteral(" %1 %2").arg(number(e.x), number(e.y));
    }
    return d;
}

QString svgColour(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

bool writeSvg(const QString &fileName, const QList<Shape> &list)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\""
           " viewBox=\"0 0 128 128\">\n";
    for (const Shape &s : list) {
        out << "  <path d=\"" << svgPathData(s.path) << "\" fill=\""
            << (s.fill.isValid() ? svgColour(s.fill) : QStringLiteral("none")) << "\" stroke=\""
            << svgColour(s.stroke) << "\"";
        if (s.stroke.alpha() != 255)
            out << " stroke-opacity=\"" << number(s.stroke.alphaF()) << "\"";
        out << " stroke-width=\"" << number(s.strokeWidth)
            << "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"/>\n";
    }
    out << "</svg>\n";
    return file.flush();
}

bool writePng(const QString &fileName, const QList<Shape> &list, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal scale = size / canvas;
    p.scale(scale, scale);
    for (const Shape &s : list) {
        if (s.detail && size < 32)
            continue;
        // Below about 0.7 pixels an outline fades into the fill; keep it visible.
        const qreal width = qMax(s.strokeWidth, 0.7 / scale);
        p.setPen(QPen(s.stroke, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(s.fill.isValid() ? QBrush(s.fill) : QBrush(Qt::NoBrush));
        p.drawPath(s.path);
    }
    p.end();
    return image.save(fileName, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const QDir dir(QFile::decodeName(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    const QList<Shape> list = shapes();
    bool ok = writeSvg(dir.filePath(QStringLiteral("splitmere.svg")), list);
    for (int size : {16, 32, 48, 64, 128})
        ok = ok && writePng(dir.filePath(QStringLiteral("splitmere-%1.png").arg(size)), list, size);
    return ok ? 0 : 1;
}
