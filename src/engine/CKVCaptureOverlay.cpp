// What the engine draws over the composition: the logo, the caption and the
// clock.
#include "engine/CKVCapture.h"

#include "engine/CVoIPAutoLock.h"
#include "engine/KVOverlayGeometry.h"
#include "engine/KVUtf16.h"
#include "media/KVMixer.h"
#include "platform/Log.h"

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

}

bool CKVCapture::SetLogo(const QString& strPath, int nCorner, int nSize)
{
    if (!m_hMixer)
    {
        RemoveLogo();
        return false;
    }
    // The logo on show stays until the new one is ready, and for good when
    // the new one cannot be shown.
    CLogoLoader::SRequest request;
    request.nId = ++m_nLogoRequest;
    request.hMixer = m_hMixer;
    request.strPath = strPath;
    request.nCorner = nCorner;
    request.nSize = std::max(0, std::min(nSize, 100));
    m_logoLoader.Request(request, [this](const CLogoLoader::SResult& result) { OnLogoLoaded(result); });
    return true;
}

void CKVCapture::OnLogoLoaded(const CLogoLoader::SResult& result)
{
    // Overtaken by a later request, a removal or a new mixer: its picture,
    // if any, is not wanted and nobody is waiting for the answer.
    if (result.nId != m_nLogoRequest || result.hMixer != m_hMixer || !m_hMixer)
    {
        if (result.hImage)
            KVS_VideoMixerDelImage(result.hMixer, result.hImage);
        return;
    }
    if (result.nResult == CLogoLoader::LOGO_SHOWN)
    {
        int nX = 0;
        int nY = 0;
        LogoPosition(result.nCorner, m_nOutputWidth, m_nOutputHeight, result.nWidth, result.nHeight, nX, nY);
        // Loaded while a take may have exchanged the scenes: it belongs to the
        // one edited now.
        KVS_VideoMixerSetItemScene(m_hMixer, result.hImage, m_bStudio ? 1 : 0);
        // Placed before the old one goes, so that no frame lacks a logo.
        KVS_VideoMixerSetImage(m_hMixer, result.hImage, nX, nY);
        if (m_hLogo)
            KVS_VideoMixerDelImage(m_hMixer, m_hLogo);
        m_hLogo = result.hImage;
        m_nLogoWidth = result.nWidth;
        m_nLogoHeight = result.nHeight;
    }
    if (m_fnLogoResult)
        m_fnLogoResult(result.strPath, result.nResult);
}

void CKVCapture::SetLogoResultHandler(FnLogoResult fnResult)
{
    m_fnLogoResult = std::move(fnResult);
}

void CKVCapture::RemoveLogo()
{
    // A request still under way is forgotten with the logo.
    ++m_nLogoRequest;
    m_logoLoader.CancelPending();
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
        Log::Warning("engine", QStringLiteral("The mixer refused the caption"));
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

    m_clockStyle =
        SClockStyle{strFont, bBold, bItalic, bUnderline, nFontSize, nBorder, nBorderColor, nTextColor, nOffsetY};
    return true;
}

bool CKVCapture::TickProgramClock(const QString& strText)
{
    if (!m_hMixer || !m_bStudio || !m_program.hClock)
        return false;
    const SClockStyle& style = m_program.clockStyle;
    int nWidth = 0;
    int nHeight = 0;
    KVS_HANDLE hClock =
        AddCaption(strText, style.strFont, style.bBold, style.bItalic, style.bUnderline, style.nFontSize, style.nBorder,
                   style.nBorderColor, style.nTextColor, nWidth, nHeight);
    if (!hClock)
        return false;
    // Added to the edited scene like every item, then moved on air.
    KVS_VideoMixerSetItemScene(m_hMixer, hClock, 0);
    KVS_VideoMixerSetCaption(m_hMixer, hClock, m_program.nClockX, m_program.nClockY + style.nOffsetY);
    KVS_VideoMixerDelCaption(m_hMixer, m_program.hClock);
    m_program.hClock = hClock;
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
