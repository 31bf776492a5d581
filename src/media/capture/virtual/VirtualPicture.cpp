#include "media/capture/virtual/VirtualPicture.h"

#include "platform/Log.h"
#include "media/image/YuyvLayout.h"
#include "media/image/YuyvScaler.h"

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

extern "C"
{
#include <libavutil/pixfmt.h>
}

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace KVMedia
{
namespace
{
// Luma of white and black in video range; chroma 128 is neutral.
constexpr uint8_t Y_WHITE = 235;
constexpr uint8_t Y_BLACK = 16;

// A 3x5 font for the counter, one row per entry, bit 2 = left column.
struct SGlyph
{
    char ch;
    uint8_t abRows[5];
};
constexpr SGlyph s_aGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {':', {0, 2, 0, 2, 0}}, {'.', {0, 0, 0, 0, 2}},
};

const uint8_t* FindGlyph(char ch)
{
    for (const SGlyph& glyph : s_aGlyphs)
        if (glyph.ch == ch)
            return glyph.abRows;
    return nullptr;
}

bool CanPaintText()
{
    // Fonts need a GUI application object; without one the picture simply
    // goes without its name.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return true;
    static std::atomic<bool> s_bWarned{false};
    if (!s_bWarned.exchange(true))
        Log::Warning("capture", QStringLiteral("no GUI application, virtual device names are not drawn"));
    return false;
}

QColor BaseColor(int nPattern)
{
    // Steps of 97 degrees keep neighbouring devices far apart on the wheel.
    return QColor::fromHsv((20 + nPattern * 97) % 360, 200, 210);
}

void PaintPattern(QImage& image, int nPattern)
{
    const int nWidth = image.width();
    const int nHeight = image.height();
    const QColor colorBase = BaseColor(nPattern);
    const QRgb rgbBase = colorBase.rgb();
    const QRgb rgbDark = colorBase.darker(250).rgb();
    const int nCell = qMax(2, nHeight / 9);

    for (int y = 0; y < nHeight; ++y)
    {
        QRgb* pLine = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < nWidth; ++x)
        {
            QRgb rgb = rgbBase;
            switch (nPattern % 4)
            {
            case 0: // bars whose hue walks around the wheel
                rgb = QColor::fromHsv((colorBase.hsvHue() + (x * 8 / nWidth) * 45) % 360, 190, 200).rgb();
                break;
            case 1: // checkerboard
                rgb = ((x / nCell + y / nCell) & 1) ? rgbBase : rgbDark;
                break;
            case 2: // diagonal stripes
                rgb = (((x + y) / nCell) & 1) ? rgbBase : rgbDark;
                break;
            default: // rings around the centre
            {
                const int dx = x - nWidth / 2;
                const int dy = y - nHeight / 2;
                const int nRing = int(std::sqrt(double(dx * dx + dy * dy))) / nCell;
                rgb = (nRing & 1) ? rgbBase : rgbDark;
                break;
            }
            }
            pLine[x] = rgb;
        }
    }
}

void PaintCaption(QImage& image, const QString& strBig, const QString& strSmall)
{
    if (!CanPaintText())
        return;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int nHeight = image.height();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(qMax(6, nHeight / 10));
    font.setBold(true);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();
    const int nPad = qMax(2, nHeight / 40);
    QRect rcText(0, 0, metrics.horizontalAdvance(strBig) + 2 * nPad, metrics.height() + nPad);
    rcText.moveCenter(image.rect().center());
    painter.fillRect(rcText, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(rcText, Qt::AlignCenter, strBig);
    if (strSmall.isEmpty())
        return;
    font.setPixelSize(qMax(5, nHeight / 20));
    font.setBold(false);
    painter.setFont(font);
    QRect rcSmall(0, 0, painter.fontMetrics().horizontalAdvance(strSmall) + 2 * nPad, painter.fontMetrics().height());
    rcSmall.moveCenter(QPoint(image.width() / 2, rcText.bottom() + rcSmall.height()));
    painter.drawText(rcSmall, Qt::AlignCenter, strSmall);
}

bool ToYuyv(const QImage& image, std::vector<uint8_t>& vecDst)
{
    const int nWidth = image.width();
    const int nHeight = image.height();
    vecDst.assign(size_t(nWidth) * 2 * size_t(nHeight), 0);
    const uint8_t* apSrc[4] = {image.constBits(), nullptr, nullptr, nullptr};
    const int anSrcStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    CYuyvScaler scaler(false);
    return scaler.ToYuyv(apSrc, anSrcStride, AV_PIX_FMT_RGB32, nWidth, nHeight, false, vecDst.data(), nWidth * 2,
                         nWidth, nHeight);
}

// Fills a rectangle of whole pixel pairs with a neutral grey level, clipped
// to the picture; the unpaired last pixel of an odd width gets its Y and U.
void FillGrey(uint8_t* pDst, int nStride, int nWidth, int nHeight, int x, int y, int w, int h, uint8_t nY)
{
    const int x0 = qMax(0, x) & ~1;
    const int y0 = qMax(0, y);
    const int x1 = qMin(nWidth, x + w);
    const int y1 = qMin(nHeight, y + h);
    if (x1 <= x0 || y1 <= y0)
        return;
    const uint32_t nPair = uint32_t(nY) | 128u << 8 | uint32_t(nY) << 16 | 128u << 24;
    for (int yy = y0; yy < y1; ++yy)
    {
        uint8_t* pLine = pDst + size_t(yy) * size_t(nStride);
        for (int xx = x0; xx < x1; xx += 2)
        {
            if (xx + 1 < nWidth)
                std::memcpy(pLine + xx * 2, &nPair, 4);
            else
                std::memcpy(pLine + xx * 2, &nPair, 2);
        }
    }
}
}

bool CVirtualPicture::Build(const QString& strName, int nPattern, int nWidth, int nHeight)
{
    if (!IsFrameSizeAllowed(nWidth, nHeight))
        return false;
    QImage image(nWidth, nHeight, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    PaintPattern(image, nPattern);
    PaintCaption(image, strName, QString());
    if (!ToYuyv(image, m_signal.vecRaw))
        return false;

    image.fill(QColor(16, 24, 64));
    PaintCaption(image, QStringLiteral("No Signal"), strName);
    if (!ToYuyv(image, m_noSignal.vecRaw))
        return false;

    m_signal.bAdjustedValid = false;
    m_noSignal.bAdjustedValid = false;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    return true;
}

const std::vector<uint8_t>& CVirtualPicture::Adjusted(SBackground& background, const CPictureAdjust& adjust,
                                                      uint32_t nVersion)
{
    if (adjust.IsIdentity())
        return background.vecRaw;
    if (!background.bAdjustedValid || background.nVersion != nVersion)
    {
        background.vecAdjusted.resize(background.vecRaw.size());
        adjust.ApplyPicture(background.vecRaw.data(), background.vecAdjusted.data(), m_nWidth, m_nHeight);
        background.nVersion = nVersion;
        background.bAdjustedValid = true;
    }
    return background.vecAdjusted;
}

void CVirtualPicture::Render(uint64_t nFrameIndex, int nDuration, bool bSignal, const CPictureAdjust& adjust,
                             uint32_t nAdjustVersion, uint8_t* pDst, int nStride)
{
    if (m_nWidth <= 0)
        return;
    const std::vector<uint8_t>& vecBackground = Adjusted(bSignal ? m_signal : m_noSignal, adjust, nAdjustVersion);
    const size_t nLine = size_t(m_nWidth) * 2;
    if (size_t(nStride) == nLine)
        std::memcpy(pDst, vecBackground.data(), nLine * size_t(m_nHeight));
    else
        for (int y = 0; y < m_nHeight; ++y)
            std::memcpy(pDst + size_t(y) * size_t(nStride), vecBackground.data() + size_t(y) * nLine, nLine);

    if (bSignal)
        DrawBar(nFrameIndex, nDuration, adjust.AdjustY(Y_WHITE), pDst, nStride);
    DrawCounter(nFrameIndex, nDuration, adjust.AdjustY(Y_WHITE), adjust.AdjustY(Y_BLACK), pDst, nStride);
}

void CVirtualPicture::DrawBar(uint64_t nFrameIndex, int nDuration, uint8_t nY, uint8_t* pDst, int nStride) const
{
    // The bar crosses the picture once every two seconds whatever the rate,
    // so a skipped frame shows as a jump.
    const int nBar = qMax(2, (m_nWidth / 48) & ~1);
    const uint64_t nPeriod = qMax<uint64_t>(2, uint64_t(20000000 / qMax(1, nDuration)));
    const int x = int((nFrameIndex % nPeriod) * uint64_t(qMax(0, m_nWidth - nBar)) / nPeriod) & ~1;
    FillGrey(pDst, nStride, m_nWidth, m_nHeight, x, 0, nBar, m_nHeight, nY);
}

void CVirtualPicture::DrawCounter(uint64_t nFrameIndex, int nDuration, uint8_t nInk, uint8_t nPaper, uint8_t* pDst,
                                  int nStride) const
{
    const uint64_t nMs = nFrameIndex * uint64_t(nDuration) / 10000;
    char szText[48];
    std::snprintf(szText, sizeof(szText), "%07llu %02llu:%02llu:%02llu.%03llu",
                  static_cast<unsigned long long>(nFrameIndex % 10000000),
                  static_cast<unsigned long long>(nMs / 3600000 % 100),
                  static_cast<unsigned long long>(nMs / 60000 % 60), static_cast<unsigned long long>(nMs / 1000 % 60),
                  static_cast<unsigned long long>(nMs % 1000));
    const int nLength = int(std::strlen(szText));

    // Even scale and even origin keep every glyph dot on whole pixel pairs.
    const int s = qMax(2, (m_nHeight / 120) & ~1);
    const int x0 = 2 * s;
    const int y0 = m_nHeight - 8 * s;
    FillGrey(pDst, nStride, m_nWidth, m_nHeight, x0 - s, y0 - s, (nLength * 4 + 1) * s, 7 * s, nPaper);
    for (int i = 0; i < nLength; ++i)
    {
        const uint8_t* pRows = FindGlyph(szText[i]);
        if (!pRows)
            continue;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (pRows[row] & (4 >> col))
                    FillGrey(pDst, nStride, m_nWidth, m_nHeight, x0 + (i * 4 + col) * s, y0 + row * s, s, s, nInk);
    }
}
}
