// Draws the program's icon and button images. The images are committed;
// this tool exists so that they can be redrawn or changed consistently.
//
// Usage: vistrel_draw_icons <images folder> <icon folder>
//   writes the ten 48x48 button images into <images folder> and the
//   application icon as vistrel.png (256) plus vistrel-<size>.png for the
//   sizes of the .ico and of the desktop's icon theme, and vistrel.svg,
//   into <icon folder>.
//
// One style for everything: a 48-unit canvas, 4-unit round strokes in one
// ink colour, a single flat accent per image, transparent background.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QPainterPath>
#include <QTextStream>
#include <cmath>
#include <functional>

namespace
{
const QColor kInk(0x2e, 0x3a, 0x4b);
const QColor kTeal(0x14, 0xa0, 0x98);
const QColor kBlue(0x3d, 0x7b, 0xd9);
const QColor kAmber(0xf2, 0xa9, 0x3b);
const QColor kRed(0xe5, 0x48, 0x4d);
const QColor kPaper(0xff, 0xff, 0xff);
const qreal kStroke = 4.0;

using DrawFn = std::function<void(QPainter&)>;

QPen InkPen(qreal dWidth = kStroke)
{
    return QPen(kInk, dWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Drawing happens in 48x48 units whatever the pixel size, so that every
// image shares the same proportions and stroke weight.
QImage Render(int nSize, const DrawFn& fnDraw)
{
    QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(nSize / 48.0, nSize / 48.0);
    fnDraw(painter);
    painter.end();
    return image;
}

void DrawSnapshot(QPainter& p)
{
    // Camera body with a raised viewfinder and a lens.
    QPainterPath body;
    body.addRoundedRect(QRectF(5, 14, 38, 26), 6, 6);
    QPainterPath hump;
    hump.addRoundedRect(QRectF(15, 8, 18, 10), 3, 3);
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawPath(body.united(hump));
    p.setBrush(kTeal);
    p.drawEllipse(QPointF(24, 27), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(36.5, 20.5), 2.2, 2.2);
}

void DrawPlay(QPainter& p)
{
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(24, 24), 19, 19);
    QPainterPath tri;
    tri.moveTo(19, 14.5);
    tri.lineTo(34, 24);
    tri.lineTo(19, 33.5);
    tri.closeSubpath();
    p.setPen(QPen(kTeal, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kTeal);
    p.drawPath(tri);
}

void DrawFullscreen(QPainter& p)
{
    // A screen frame with the picture pushed out to the four corners.
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(15, 15, 18, 18), 3, 3);
    p.setPen(InkPen());
    p.setBrush(Qt::NoBrush);
    const qreal a = 6, b = 16, c = 42, d = 32;
    p.drawPolyline(QPolygonF({QPointF(a, b), QPointF(a, a), QPointF(b, a)}));
    p.drawPolyline(QPolygonF({QPointF(d, a), QPointF(c, a), QPointF(c, b)}));
    p.drawPolyline(QPolygonF({QPointF(c, d), QPointF(c, c), QPointF(d, c)}));
    p.drawPolyline(QPolygonF({QPointF(b, c), QPointF(a, c), QPointF(a, d)}));
}

QPainterPath CamcorderPath(const QRectF& rcBody)
{
    QPainterPath body;
    body.addRoundedRect(rcBody, 5, 5);
    const qreal x = rcBody.right() + 1.5;
    const qreal cy = rcBody.center().y();
    const qreal h = rcBody.height() * 0.5;
    QPainterPath lens;
    lens.moveTo(x, cy - h * 0.35);
    lens.lineTo(x + 9, cy - h * 0.85);
    lens.lineTo(x + 9, cy + h * 0.85);
    lens.lineTo(x, cy + h * 0.35);
    lens.closeSubpath();
    return body.united(lens);
}

void DrawVideo(QPainter& p)
{
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawPath(CamcorderPath(QRectF(4, 13, 29, 22)));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(11, 20), 2.6, 2.6);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(16, 25, 11, 4), 2, 2);
}

QPainterPath GearPath(const QPointF& ptCentre, qreal dOuter, qreal dInner, int nTeeth)
{
    QPainterPath gear;
    const qreal dStep = 2 * M_PI / nTeeth;
    for (int i = 0; i < nTeeth; ++i)
    {
        const qreal a0 = i * dStep - dStep * 0.25;
        const qreal a1 = i * dStep + dStep * 0.25;
        const qreal a2 = i * dStep + dStep * 0.5;
        auto at = [&](qreal dAngle, qreal dRadius) {
            return QPointF(ptCentre.x() + dRadius * std::cos(dAngle), ptCentre.y() + dRadius * std::sin(dAngle));
        };
        if (i == 0)
            gear.moveTo(at(a0, dOuter));
        else
            gear.lineTo(at(a0, dOuter));
        gear.lineTo(at(a1, dOuter));
        gear.lineTo(at(a1 + dStep * 0.08, dInner));
        gear.lineTo(at(a2 + dStep * 0.17, dInner));
    }
    gear.closeSubpath();
    return gear;
}

void DrawVideoSet(QPainter& p)
{
    // The camcorder of video.png with a settings gear in front of it.
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawPath(CamcorderPath(QRectF(4, 8, 27, 20)));
    const QPointF ptGear(31, 33);
    QPainterPath gear = GearPath(ptGear, 12, 8.5, 8);
    QPainterPath hole;
    hole.addEllipse(ptGear, 3.5, 3.5);
    p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kAmber);
    p.drawPath(gear.subtracted(hole));
}

void DrawNetwork(QPainter& p)
{
    // A globe: where the stream goes.
    const QPointF c(24, 24);
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawEllipse(c, 19, 19);
    p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 8, 17.5);
    p.drawLine(QPointF(24, 6.5), QPointF(24, 41.5));
    p.drawLine(QPointF(6.5, 24), QPointF(41.5, 24));
    QPainterPath lat;
    lat.moveTo(10, 15);
    lat.quadTo(24, 19, 38, 15);
    lat.moveTo(10, 33);
    lat.quadTo(24, 29, 38, 33);
    p.drawPath(lat);
    p.setPen(InkPen());
    p.drawEllipse(c, 19, 19);
}

void DrawRecord(QPainter& p)
{
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(24, 24), 19, 19);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(24, 24), 10.5, 10.5);
}

void DrawBack(QPainter& p)
{
    // A return arrow: a curved stem bending back to an arrow head on the left.
    QPainterPath stem;
    stem.moveTo(12, 20);
    stem.lineTo(28, 20);
    stem.cubicTo(37, 20, 42, 25, 42, 31);
    stem.cubicTo(42, 37, 37, 41, 30, 41);
    stem.lineTo(22, 41);
    p.setPen(InkPen(kStroke + 0.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(stem);
    QPainterPath head;
    head.moveTo(16, 9);
    head.lineTo(5, 20);
    head.lineTo(16, 31);
    head.closeSubpath();
    p.setPen(QPen(kTeal, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kTeal);
    p.drawPath(head);
}

void DrawVideoList(QPainter& p)
{
    // Three entries, each a small picture tile and a text line.
    const QColor tiles[3] = {kTeal, kBlue, kAmber};
    for (int i = 0; i < 3; ++i)
    {
        const qreal y = 7 + i * 13;
        p.setPen(Qt::NoPen);
        p.setBrush(tiles[i]);
        p.drawRoundedRect(QRectF(4, y, 12, 9), 2.5, 2.5);
        p.setPen(InkPen());
        p.drawLine(QPointF(22, y + 4.5), QPointF(43, y + 4.5));
    }
}

void DrawAudio(QPainter& p)
{
    // A microphone on a stand.
    p.setPen(InkPen());
    p.setBrush(kTeal);
    p.drawRoundedRect(QRectF(17, 4, 14, 25), 7, 7);
    p.setBrush(Qt::NoBrush);
    QPainterPath cradle;
    cradle.moveTo(10, 21);
    cradle.cubicTo(10, 30, 16, 35, 24, 35);
    cradle.cubicTo(32, 35, 38, 30, 38, 21);
    p.drawPath(cradle);
    p.drawLine(QPointF(24, 35), QPointF(24, 42));
    p.drawLine(QPointF(16, 43), QPointF(32, 43));
}

// The application icon: a rounded tile holding a screen whose picture is
// composed of three panes, with a recording dot. Small sizes drop the
// screen frame so the panes stay legible.
void DrawAppIcon(QPainter& p, int nPixels)
{
    const bool bSmall = nPixels <= 20;
    QLinearGradient bg(0, 0, 0, 48);
    bg.setColorAt(0, QColor(0x34, 0x44, 0x5a));
    bg.setColorAt(1, QColor(0x22, 0x2c, 0x3a));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 10, 10);

    const QRectF rcScreen = bSmall ? QRectF(5, 12, 38, 30) : QRectF(7, 10, 34, 26);
    if (!bSmall)
    {
        p.setBrush(kPaper);
        p.drawRoundedRect(rcScreen.adjusted(-2, -2, 2, 2), 4, 4);
        p.drawRoundedRect(QRectF(18, 38.5, 12, 3), 1.5, 1.5);
    }
    const qreal gap = bSmall ? 2.5 : 1.5;
    const QRectF rcMain(rcScreen.left(), rcScreen.top(), rcScreen.width() * 0.6 - gap / 2, rcScreen.height());
    const qreal xRight = rcMain.right() + gap;
    const qreal wRight = rcScreen.right() - xRight;
    const qreal hHalf = (rcScreen.height() - gap) / 2;
    p.setBrush(kTeal);
    p.drawRoundedRect(rcMain, 2, 2);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(xRight, rcScreen.top(), wRight, hHalf), 2, 2);
    p.setBrush(kAmber);
    p.drawRoundedRect(QRectF(xRight, rcScreen.top() + hHalf + gap, wRight, hHalf), 2, 2);

    // Recording dot, ringed so it separates from the panes beneath it.
    const QPointF ptDot = bSmall ? QPointF(39, 8) : QPointF(39.5, 9.5);
    const qreal rDot = bSmall ? 6.5 : 5.5;
    p.setBrush(bSmall ? QColor(0x2b, 0x37, 0x49) : kPaper);
    p.drawEllipse(ptDot, rDot + 1.8, rDot + 1.8);
    p.setBrush(kRed);
    p.drawEllipse(ptDot, rDot, rDot);
}

bool Save(const QImage& image, const QString& strPath)
{
    if (image.save(strPath, "PNG"))
        return true;
    QTextStream(stderr) << "cannot write " << strPath << '\n';
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3)
    {
        QTextStream(stderr) << "usage: vistrel_draw_icons <images folder> <icon folder>\n";
        return 2;
    }
    const QDir dirImages(QString::fromLocal8Bit(argv[1]));
    const QDir dirIcon(QString::fromLocal8Bit(argv[2]));
    if (!dirImages.mkpath(".") || !dirIcon.mkpath("."))
        return 1;

    const struct
    {
        const char* pszName;
        void (*pfnDraw)(QPainter&);
    } images[] = {
        {"snapshot.png", DrawSnapshot}, {"play.png", DrawPlay},           {"fullscreen.png", DrawFullscreen},
        {"videoset.png", DrawVideoSet}, {"network.png", DrawNetwork},     {"record.png", DrawRecord},
        {"back.png", DrawBack},         {"videolist.png", DrawVideoList}, {"video.png", DrawVideo},
        {"audio.png", DrawAudio},
    };
    bool bOk = true;
    for (const auto& entry : images)
        bOk &= Save(Render(48, entry.pfnDraw), dirImages.filePath(entry.pszName));

    for (int nSize : {16, 22, 24, 32, 48, 64, 128, 256})
    {
        QImage icon = Render(nSize, [nSize](QPainter& p) { DrawAppIcon(p, nSize); });
        bOk &= Save(icon, dirIcon.filePath(QString("vistrel-%1.png").arg(nSize)));
        if (nSize == 256)
            bOk &= Save(icon, dirIcon.filePath("vistrel.png"));
    }
    // The scalable icon the desktop picks for sizes between those.
    QSvgGenerator svg;
    svg.setFileName(dirIcon.filePath("vistrel.svg"));
    svg.setSize(QSize(48, 48));
    svg.setViewBox(QRect(0, 0, 48, 48));
    svg.setTitle("Vistrel");
    QPainter painter(&svg);
    painter.setRenderHint(QPainter::Antialiasing, true);
    DrawAppIcon(painter, 48);
    bOk &= painter.end();
    return bOk ? 0 : 1;
}
