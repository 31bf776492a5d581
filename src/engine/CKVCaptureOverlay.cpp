// What the engine draws over the composition: the logo, the caption and the
// clock.
#include "engine/CKVCapture.h"

#include "engine/CVoIPAutoLock.h"
#include "engine/KVOverlayGeometry.h"
#include "engine/KVUtf16.h"
#include "media/KVMixer.h"
#include "platform/Platform.h"

#include <QImageIOHandler>
#include <QImageReader>
#include <QSize>

#include <algorithm>

namespace
{
// Caption texts and font names travel in buffers of this many UTF-16 units,
// the terminating zero included.
const int TEXT_BUFFER_SIZE = 260;

// Cuts a text to what fits the buffer, never between the two halves of a
// surrogate pair.
QString FitTextBuffer(const QString& str)
{
    int nLength = std::min(str.size(), TEXT_BUFFER_SIZE - 1);
    if (nLength < str.size() && nLength > 0 && str.at(nLength - 1).isHighSurrogate())
        --nLength;
    return str.left(nLength);
}

// Natural size of an image file as it will be shown (turned by its EXIF
// orientation); an empty size when the file cannot be read.
QSize ImageNaturalSize(const QString& strPath)
{
    QImageReader reader(strPath);
    QSize size = reader.size();
    // Some formats only know their size once decoded.
    if (!size.isValid())
        size = reader.read().size();
    if (!size.isValid())
        return QSize(0, 0);
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}
}

bool CKVCapture::SetLogo(const QString& strPath, int nCorner, int nSize)
{
    RemoveLogo();
    if (!m_hMixer)
        return false;

    const QSize sizeNatural = ImageNaturalSize(strPath);
    nSize = std::max(0, std::min(nSize, 100));
    int nWidth = 0;
    int nHeight = 0;
    LogoDrawSize(nSize, sizeNatural.width(), sizeNatural.height(), nWidth, nHeight);
    // 0 x 0 asks the mixer for the natural size.
    const bool bNatural = nSize == 50;
    m_hLogo = KVS_VideoMixerAddImage(m_hMixer, KVUtf16(strPath), bNatural ? 0 : nWidth, bNatural ? 0 : nHeight);
    m_nLogoWidth = nWidth;
    m_nLogoHeight = nHeight;
    if (!m_hLogo)
    {
        Platform::DebugOutput(QStringLiteral("Cannot show the logo %1").arg(strPath));
        return false;
    }

    int nX = 0;
    int nY = 0;
    LogoPosition(nCorner, m_nOutputWidth, m_nOutputHeight, nWidth, nHeight, nX, nY);
    KVS_VideoMixerSetImage(m_hMixer, m_hLogo, nX, nY);
    return true;
}

void CKVCapture::RemoveLogo()
{
    if (m_hLogo && m_hMixer)
        KVS_VideoMixerDelImage(m_hMixer, m_hLogo);
    m_hLogo = nullptr;
}

void CKVCapture::GetLogoSize(int& nWidth, int& nHeight) const
{
    nWidth = m_nLogoWidth;
    nHeight = m_nLogoHeight;
}

KVS_HANDLE CKVCapture::AddCaption(const QString& strText, const QString& strFont, bool bBold, bool bItalic,
                                  bool bUnderline, int nFontSize, int nBorder, int nBorderColor, int nTextColor,
                                  int& nWidth, int& nHeight)
{
    KVS_CAPTION_STYLE style{};
    style.nFontSize = nFontSize;
    style.nBorder = nBorder;
    style.nTextColor = nTextColor;
    style.nBorderColor = nBorderColor;
    style.bUnderline = bUnderline ? 1 : 0;
    style.bBold = bBold ? 1 : 0;
    style.bItalic = bItalic ? 1 : 0;

    const QString strFitText = FitTextBuffer(strText);
    const QString strFitFont = FitTextBuffer(strFont);
    int32_t anSize[2] = {0, 0};
    KVS_HANDLE hCaption = KVS_VideoMixerAddCaption(m_hMixer, KVUtf16(strFitText), KVUtf16(strFitFont), &style, anSize);
    nWidth = anSize[0];
    nHeight = anSize[1];
    return hCaption;
}

bool CKVCapture::SetCaption(const QString& strText, const QString& strFont, bool bBold, bool bItalic, bool bUnderline,
                            int nFontSize, int nBorder, int nPosition, int nBorderColor, int nTextColor)
{
    RemoveCaption();
    if (!m_hMixer)
        return false;

    int nWidth = 0;
    int nHeight = 0;
    m_hCaption = AddCaption(strText, strFont, bBold, bItalic, bUnderline, nFontSize, nBorder, nBorderColor, nTextColor,
                            nWidth, nHeight);
    if (!m_hCaption)
    {
        Platform::DebugOutput(QStringLiteral("The mixer refused the caption"));
        return false;
    }
    int nX = 0;
    int nY = 0;
    CaptionPosition(nPosition, m_nOutputWidth, m_nOutputHeight, nWidth, nHeight, nX, nY);
    KVS_VideoMixerSetCaption(m_hMixer, m_hCaption, nX, nY);
    return true;
}

void CKVCapture::RemoveCaption()
{
    if (m_hCaption && m_hMixer)
        KVS_VideoMixerDelCaption(m_hMixer, m_hCaption);
    m_hCaption = nullptr;
}

bool CKVCapture::SetClock(const QString& strText, const QString& strFont, bool bBold, bool bItalic, bool bUnderline,
                          int nFontSize, int nBorder, int nPosition, int nBorderColor, int nTextColor, bool bRecompute,
                          int nOffsetY)
{
    if (!m_hMixer)
        return false;

    int nWidth = 0;
    int nHeight = 0;
    KVS_HANDLE hClock = AddCaption(strText, strFont, bBold, bItalic, bUnderline, nFontSize, nBorder, nBorderColor,
                                   nTextColor, nWidth, nHeight);
    if (!hClock)
        return false;
    if (bRecompute)
        CaptionPosition(nPosition, m_nOutputWidth, m_nOutputHeight, nWidth, nHeight, m_nClockX, m_nClockY);
    KVS_VideoMixerSetCaption(m_hMixer, hClock, m_nClockX, m_nClockY + nOffsetY);
    // The new clock is placed before the old one goes, so no frame lacks one.
    if (m_hClock)
        KVS_VideoMixerDelCaption(m_hMixer, m_hClock);
    m_hClock = hClock;
    return true;
}

void CKVCapture::RemoveClock()
{
    if (m_hClock && m_hMixer)
        KVS_VideoMixerDelCaption(m_hMixer, m_hClock);
    m_hClock = nullptr;
}

void CKVCapture::GetClockPosition(int& nX, int& nY) const
{
    nX = m_nClockX;
    nY = m_nClockY;
}
