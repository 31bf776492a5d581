#include "media/mixer/OverlaySources.h"

#include "platform/Log.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace
{
// Beyond this an overlay is a mistake, not a logo; refusing it keeps a bad
// size from eating memory.
const int MAX_OVERLAY_SIDE = 8192;

// The size asked for: 0 x 0 keeps the natural size, a single 0 follows the
// other dimension's scale; negative sizes count as 0.
QSize TargetSize(const QSize& sizeNatural, int nWidth, int nHeight)
{
    nWidth = std::max(nWidth, 0);
    nHeight = std::max(nHeight, 0);
    if (nWidth == 0 && nHeight == 0)
        return sizeNatural;
    if (nWidth == 0)
        nWidth = std::max(1, int(std::lround(double(sizeNatural.width()) * nHeight / sizeNatural.height())));
    else if (nHeight == 0)
        nHeight = std::max(1, int(std::lround(double(sizeNatural.height()) * nWidth / sizeNatural.width())));
    return QSize(nWidth, nHeight);
}

QColor FromBgr(int32_t nColor)
{
    return QColor(nColor & 0xFF, (nColor >> 8) & 0xFF, (nColor >> 16) & 0xFF);
}
}

namespace OverlaySources
{
QImage LoadImageFile(const QString& strPath, int nWidth, int nHeight)
{
    QImageReader reader(strPath);
    reader.setAutoTransform(true);
    // The header first: a file declaring a huge picture is refused before
    // a byte of it is decoded. Formats that declare nothing are decoded and
    // checked afterwards.
    QSize sizeStored = reader.size();
    const bool bTurned = (reader.transformation() & QImageIOHandler::TransformationRotate90) != 0;
    if (sizeStored.isValid() && (sizeStored.width() > MAX_OVERLAY_SIDE || sizeStored.height() > MAX_OVERLAY_SIDE))
    {
        Log::Warning("mixer", QStringLiteral("image %1 declares %2x%3, refused")
                                  .arg(strPath)
                                  .arg(sizeStored.width())
                                  .arg(sizeStored.height()));
        return QImage();
    }
    QSize sizeNatural = bTurned ? sizeStored.transposed() : sizeStored;
    if (sizeNatural.isValid() && !sizeNatural.isEmpty())
    {
        const QSize sizeTarget = TargetSize(sizeNatural, nWidth, nHeight);
        if (sizeTarget.width() > MAX_OVERLAY_SIDE || sizeTarget.height() > MAX_OVERLAY_SIDE)
        {
            Log::Warning("mixer",
                         QStringLiteral("image size %1x%2 refused").arg(sizeTarget.width()).arg(sizeTarget.height()));
            return QImage();
        }
        // Scaling is applied before the EXIF turn, so it is asked for in
        // the file's own orientation.
        if (sizeTarget != sizeNatural)
            reader.setScaledSize(bTurned ? sizeTarget.transposed() : sizeTarget);
    }

    QImage image = reader.read();
    if (image.isNull())
    {
        Log::Warning("mixer", QStringLiteral("cannot read image %1: %2").arg(strPath, reader.errorString()));
        return QImage();
    }
    const QSize sizeTarget = TargetSize(image.size(), nWidth, nHeight);
    if (sizeTarget.width() > MAX_OVERLAY_SIDE || sizeTarget.height() > MAX_OVERLAY_SIDE)
    {
        Log::Warning("mixer",
                     QStringLiteral("image size %1x%2 refused").arg(sizeTarget.width()).arg(sizeTarget.height()));
        return QImage();
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // A reader that cannot scale while decoding leaves it to us.
    if (image.size() != sizeTarget)
        image = image.scaled(sizeTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

bool RenderCaption(const QString& strText, const QString& strFont, const KVS_CAPTION_STYLE& style, QImage& image)
{
    image = QImage();
    // Fonts need the GUI application; without it QFont would abort.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    {
        Log::Warning("mixer", QStringLiteral("captions need a QGuiApplication"));
        return false;
    }
    if (style.nFontSize <= 0 || style.nFontSize > 1024 || style.nBorder < 0 || style.nBorder > 256)
    {
        Log::Warning(
            "mixer",
            QStringLiteral("caption style refused (size %1, border %2)").arg(style.nFontSize).arg(style.nBorder));
        return false;
    }

    QFont font(strFont);
    font.setPixelSize(style.nFontSize);
    font.setBold(style.bBold != 0);
    font.setItalic(style.bItalic != 0);
    const QFontMetricsF metrics(font);
    const qreal fAdvance = metrics.horizontalAdvance(strText);
    const int nBorder = style.nBorder;

    // The outline is a stroke around the glyph outlines, half of it outside;
    // so the picture grows by the border on every side.
    const int nWidth = int(std::ceil(fAdvance)) + 2 * nBorder;
    const int nHeight = int(std::ceil(metrics.height())) + 2 * nBorder;
    if (fAdvance <= 0)
        return true;
    if (nWidth > MAX_OVERLAY_SIDE || nHeight > MAX_OVERLAY_SIDE)
    {
        Log::Warning("mixer", QStringLiteral("caption of %1x%2 refused").arg(nWidth).arg(nHeight));
        return false;
    }

    QPainterPath textPath;
    const QPointF baseline(nBorder, nBorder + metrics.ascent());
    textPath.addText(baseline, font, strText);
    // A separate path, so that overlapping contours of opposite direction
    // cannot punch holes; outlined like the glyphs, strokes below all fills.
    QPainterPath underlinePath;
    if (style.bUnderline)
    {
        const qreal fLine = std::max<qreal>(1.0, metrics.lineWidth());
        underlinePath.addRect(QRectF(baseline.x(), baseline.y() + metrics.underlinePos(), fAdvance, fLine));
    }

    image = QImage(nWidth, nHeight, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return false;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (nBorder > 0)
    {
        const QPen pen(FromBgr(style.nBorderColor), 2.0 * nBorder, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(textPath, pen);
        painter.strokePath(underlinePath, pen);
    }
    painter.fillPath(textPath, FromBgr(style.nTextColor));
    painter.fillPath(underlinePath, FromBgr(style.nTextColor));
    painter.end();
    return true;
}
}
