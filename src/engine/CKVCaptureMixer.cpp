// The composition side of the engine: the mixer, the channels it shows, the
// cross-fade, logo, caption and clock, the output renderers and the frame
// path that feeds them.
#include "engine/CKVCapture.h"

#include "engine/CVoIPAutoLock.h"
#include "media/KVMixer.h"
#include "engine/KVOverlayGeometry.h"
#include "media/KVStream.h"
#include "platform/Platform.h"

#include <QImageIOHandler>
#include <QImageReader>
#include <QSize>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

namespace
{
// The projection output. The pointer is checked without the lock so that a
// frame without a sink costs nothing; the lock makes unpublishing wait for a
// DrawFrame in progress.
std::mutex s_mutexSink;
std::atomic<IKVFrameSink*> s_pSink{nullptr};

const int OPAQUE = 255;
// Caption texts and font names travel in buffers of this many UTF-16 units,
// the terminating zero included.
const int TEXT_BUFFER_SIZE = 260;

const char16_t* Utf16(const QString& str)
{
    return reinterpret_cast<const char16_t*>(str.utf16());
}

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

bool CKVCapture::CreateMixer(int nWidth, int nHeight, int nDuration, KVS_WINDOW hPreviewWnd)
{
    // A second mixer would leave the first one running with nobody to stop it.
    if (m_hMixer)
        DestroyMixer();

    KVS_HANDLE hMixer = KVS_CreateVideoMixer(nWidth, nHeight, nDuration, KVS_COLOR_YUYV);
    if (!hMixer)
    {
        Platform::DebugOutput(
            QStringLiteral("Cannot create the mixer for %1x%2, duration %3").arg(nWidth).arg(nHeight).arg(nDuration));
        return false;
    }
    {
        // The tick handler reads these; it cannot run before the mixer does.
        CVoIPAutoLock lock(m_csMixerState);
        m_hMixer = hMixer;
        m_nOutputWidth = nWidth;
        m_nOutputHeight = nHeight;
        m_nFrameDuration = nDuration;
        m_nColor = KVS_COLOR_YUYV;
        m_nTransitionProgress = -1;
        m_nTransitionIn = -1;
        m_nTransitionOut = -1;
    }
    KVS_SetVideoMixerCallback(m_hMixer, &CKVCapture::MixerTickHandler, this, &CKVCapture::MixerFrameHandler, this);
    if (!KVS_VideoMixerRun(m_hMixer))
    {
        Platform::DebugOutput(QStringLiteral("The mixer does not run"));
        DestroyMixer();
        return false;
    }

    m_hPreviewWnd = hPreviewWnd;
    {
        CVoIPAutoLock lock(m_csPreviewRenderer);
        m_hPreviewRenderer =
            KVS_CreateVideoRenderer(&m_guidPreviewMonitor, m_hPreviewWnd, KVS_COLOR_YUYV, nWidth, nHeight, 0, 1);
    }
    if (!m_hPreviewRenderer)
    {
        Platform::DebugOutput(QStringLiteral("Cannot create the output preview renderer"));
        DestroyMixer();
        return false;
    }

    if (m_bScreenRendererCreated)
        CreateScreenTabRenderer(m_hScreenWnd);
    return true;
}

void CKVCapture::DestroyMixer()
{
    {
        CVoIPAutoLock lock(m_csVideoEncoder);
        m_nComposedFrames = 0;
        m_nStatisticsStart = Platform::GetTickCount32();
    }
    RemoveLogo();
    RemoveCaption();
    RemoveClock();

    KVS_HANDLE hMixer = nullptr;
    {
        CVoIPAutoLock lock(m_csMixerState);
        for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
            DeleteMixerChannelLocked(nChannel);
        m_nTransitionProgress = -1;
        m_nTransitionIn = -1;
        m_nTransitionOut = -1;
        hMixer = m_hMixer;
    }
    // Not under m_csMixerState: stopping waits for the mixer thread, whose
    // tick handler may be waiting for that lock.
    if (hMixer)
    {
        KVS_VideoMixerStop(hMixer);
        KVS_DestroyVideoMixer(hMixer);
    }
    {
        CVoIPAutoLock lock(m_csMixerState);
        m_hMixer = nullptr;
    }

    {
        CVoIPAutoLock lock(m_csPreviewRenderer);
        if (m_hPreviewRenderer)
        {
            KVS_DestroyVideoRenderer(m_hPreviewRenderer);
            m_hPreviewRenderer = nullptr;
        }
    }
    {
        CVoIPAutoLock lock(m_csScreenRenderer);
        if (m_hScreenRenderer)
        {
            KVS_DestroyVideoRenderer(m_hScreenRenderer);
            m_hScreenRenderer = nullptr;
        }
    }
}

void CKVCapture::PlaceChannel(int nChannel, int nX, int nY, int nWidth, int nHeight, int nOpacity, int bInset)
{
    CKVChannel* pChannel = GetChannel(nChannel);
    if (!m_hMixer || !pChannel)
        return;
    {
        // A fade this channel takes part in would otherwise keep moving it
        // back over the whole output, or delete it when it ends.
        CVoIPAutoLock lock(m_csMixerState);
        FinishTransitionOfLocked(nChannel);
        // Nothing to show; asking the device for no picture at all would
        // only stop a capture that still feeds its preview.
        if (nWidth <= 0 || nHeight <= 0)
        {
            Platform::DebugOutput(QStringLiteral("Channel %1: empty rectangle %2x%3; it is not placed")
                                      .arg(nChannel)
                                      .arg(nWidth)
                                      .arg(nHeight));
            DeleteMixerChannelLocked(nChannel);
            return;
        }
    }

    pChannel->Stop();
    if (!pChannel->SetFormat(nWidth, nHeight, m_nFrameDuration))
    {
        Platform::DebugOutput(QStringLiteral("Channel %1 cannot capture at %2x%3; it is not placed")
                                  .arg(nChannel)
                                  .arg(nWidth)
                                  .arg(nHeight));
        // Its earlier placement would otherwise freeze on the last frame the
        // stopped capture delivered.
        CVoIPAutoLock lock(m_csMixerState);
        DeleteMixerChannelLocked(nChannel);
        return;
    }
    pChannel->Start();

    KVS_HANDLE hMixerChannel = nullptr;
    {
        CVoIPAutoLock lock(m_csMixerState);
        DeleteMixerChannelLocked(nChannel);
        hMixerChannel =
            KVS_VideoMixerAddChannel(m_hMixer, nWidth, nHeight, KVS_COLOR_YUYV, pChannel->GetCaptureHandle());
        m_ahMixerChannel[nChannel] = hMixerChannel;
        if (hMixerChannel)
        {
            KVS_MIXER_CHANNEL placement{};
            placement.hChannel = hMixerChannel;
            placement.rcSource = KVS_RECT{0, 0, nWidth - 1, nHeight - 1};
            placement.rcDest = KVS_RECT{nX, nY, nX + nWidth - 1, nY + nHeight - 1};
            placement.nOpacity = static_cast<uint8_t>(std::max(0, std::min(nOpacity, OPAQUE)));
            placement.bInset = bInset;
            KVS_VideoMixerSetChannels(m_hMixer, &placement, 1);
        }
    }
    if (hMixerChannel)
        UpdatePreviewRenderer();
    else
        Platform::DebugOutput(QStringLiteral("The mixer refused channel %1").arg(nChannel));
}

void CKVCapture::RemoveMixerChannel(int nChannel)
{
    if (!IsValidChannel(nChannel))
        return;
    {
        CVoIPAutoLock lock(m_csMixerState);
        FinishTransitionOfLocked(nChannel);
        DeleteMixerChannelLocked(nChannel);
    }
    UpdatePreviewRenderer();
}

bool CKVCapture::IsChannelPlaced(int nChannel) const
{
    if (!IsValidChannel(nChannel))
        return false;
    CVoIPAutoLock lock(m_csMixerState);
    return m_ahMixerChannel[nChannel] != nullptr;
}

void CKVCapture::StartTransition(int nOut, int nIn, int nStep)
{
    CKVChannel* pIn = GetChannel(nIn);
    // A channel fading into itself would be deleted when the fade ends.
    if (!m_hMixer || !pIn || nIn == nOut)
        return;
    {
        CVoIPAutoLock lock(m_csMixerState);
        FinishTransitionLocked();
        // Only one mixer channel per channel, or the old one would stay
        // drawn with nobody holding its handle.
        DeleteMixerChannelLocked(nIn);
    }

    pIn->Stop();
    if (!pIn->SetFormat(m_nOutputWidth, m_nOutputHeight, m_nFrameDuration))
    {
        Platform::DebugOutput(QStringLiteral("Channel %1 cannot capture at %2x%3; no transition")
                                  .arg(nIn)
                                  .arg(m_nOutputWidth)
                                  .arg(m_nOutputHeight));
        return;
    }
    pIn->Start();

    CVoIPAutoLock lock(m_csMixerState);
    KVS_HANDLE hMixerChannel =
        KVS_VideoMixerAddChannel(m_hMixer, m_nOutputWidth, m_nOutputHeight, KVS_COLOR_YUYV, pIn->GetCaptureHandle());
    m_ahMixerChannel[nIn] = hMixerChannel;
    // Without the incoming picture a fade would only fade the output to
    // black and remove what was shown.
    if (!hMixerChannel)
    {
        Platform::DebugOutput(QStringLiteral("The mixer refused channel %1; no transition").arg(nIn));
        return;
    }
    PlaceFullOutputLocked(hMixerChannel, 0);
    m_nTransitionProgress = 0;
    // A step that does not move forward would never end the fade.
    m_nTransitionStep = nStep > 0 ? nStep : FADE_END;
    m_nTransitionOut = IsValidChannel(nOut) ? nOut : -1;
    m_nTransitionIn = nIn;
}

int CKVCapture::GetTransitionProgress() const
{
    CVoIPAutoLock lock(m_csMixerState);
    return m_nTransitionProgress;
}

void CKVCapture::MixerTickHandler(void* pUser)
{
    static_cast<CKVCapture*>(pUser)->OnMixerTick();
}

void CKVCapture::OnMixerTick()
{
    CVoIPAutoLock lock(m_csMixerState);
    if (m_nTransitionProgress < 0 || !m_hMixer)
        return;
    if (m_nTransitionProgress >= FADE_END)
    {
        FinishTransitionLocked();
        return;
    }

    int nOutgoing = 0;
    int nIncoming = 0;
    FadeOpacities(m_nTransitionProgress, nOutgoing, nIncoming);
    if (m_nTransitionOut >= 0 && m_ahMixerChannel[m_nTransitionOut])
        PlaceFullOutputLocked(m_ahMixerChannel[m_nTransitionOut], nOutgoing);
    if (m_nTransitionIn >= 0 && m_ahMixerChannel[m_nTransitionIn])
        PlaceFullOutputLocked(m_ahMixerChannel[m_nTransitionIn], nIncoming);
    m_nTransitionProgress = static_cast<int>(
        std::min<long long>(static_cast<long long>(m_nTransitionProgress) + m_nTransitionStep, INT_MAX));
}

void CKVCapture::FinishTransitionLocked()
{
    if (m_nTransitionProgress < 0)
        return;
    // The last step leaves the incoming channel slightly transparent (244 at
    // 25 fps); the outgoing one is about to go, so show it fully.
    if (m_nTransitionIn >= 0 && m_ahMixerChannel[m_nTransitionIn])
        PlaceFullOutputLocked(m_ahMixerChannel[m_nTransitionIn], OPAQUE);
    if (m_nTransitionOut >= 0)
        DeleteMixerChannelLocked(m_nTransitionOut);
    m_nTransitionProgress = -1;
    m_nTransitionIn = -1;
    m_nTransitionOut = -1;
}

void CKVCapture::FinishTransitionOfLocked(int nChannel)
{
    if (m_nTransitionProgress >= 0 && (nChannel == m_nTransitionIn || nChannel == m_nTransitionOut))
        FinishTransitionLocked();
}

void CKVCapture::DeleteMixerChannelLocked(int nChannel)
{
    if (!m_ahMixerChannel[nChannel])
        return;
    if (m_hMixer)
        KVS_VideoMixerDelChannel(m_hMixer, m_ahMixerChannel[nChannel]);
    m_ahMixerChannel[nChannel] = nullptr;
}

void CKVCapture::PlaceFullOutputLocked(KVS_HANDLE hMixerChannel, int nOpacity)
{
    KVS_MIXER_CHANNEL placement{};
    placement.hChannel = hMixerChannel;
    placement.rcSource = KVS_RECT{0, 0, m_nOutputWidth - 1, m_nOutputHeight - 1};
    placement.rcDest = placement.rcSource;
    placement.nOpacity = static_cast<uint8_t>(nOpacity);
    placement.bInset = 0;
    KVS_VideoMixerSetChannels(m_hMixer, &placement, 1);
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
    m_hLogo = KVS_VideoMixerAddImage(m_hMixer, Utf16(strPath), bNatural ? 0 : nWidth, bNatural ? 0 : nHeight);
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
    KVS_HANDLE hCaption = KVS_VideoMixerAddCaption(m_hMixer, Utf16(strFitText), Utf16(strFitFont), &style, anSize);
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

void CKVCapture::UpdatePreviewRenderer()
{
    {
        CVoIPAutoLock lock(m_csPreviewRenderer);
        if (m_hPreviewRenderer)
        {
            // Follow the window onto another monitor.
            KVS_GUID guid{};
            if (KVS_GetMonitorGUIDFromWindow(m_hPreviewWnd, &guid) &&
                std::memcmp(&guid, &m_guidPreviewMonitor, sizeof(guid)) != 0)
            {
                m_guidPreviewMonitor = guid;
                KVS_ResetVideoRenderer(m_hPreviewRenderer, &m_guidPreviewMonitor, m_hPreviewWnd, m_nColor,
                                       m_nOutputWidth, m_nOutputHeight, 0, 1);
            }
            KVS_RECT rcClient{};
            if (KVS_GetWindowClientRect(m_hPreviewWnd, &rcClient))
                KVS_SetVideoRendererPosition(m_hPreviewRenderer, nullptr, &rcClient);
        }
    }
    UpdateScreenTabRenderer();
}

void CKVCapture::RepaintPreview()
{
    CVoIPAutoLock lock(m_csPreviewRenderer);
    if (m_hPreviewRenderer)
        KVS_VideoRendererRepaintRect(m_hPreviewRenderer, nullptr);
}

void CKVCapture::CreateScreenTabRenderer(KVS_WINDOW hWnd)
{
    if (!m_hMixer)
    {
        // Nothing to show yet; the next mixer creates it for this window.
        m_hScreenWnd = hWnd;
        m_bScreenRendererCreated = 1;
        return;
    }

    CVoIPAutoLock lockEncoder(m_csVideoEncoder);
    KVS_GUID guid{};
    if (!KVS_GetMonitorGUIDFromWindow(hWnd, &guid))
        std::memset(&guid, 0, sizeof(guid));

    CVoIPAutoLock lockScreen(m_csScreenRenderer);
    // Created again for the same tab: the old renderer must not be leaked.
    if (m_hScreenRenderer)
    {
        KVS_DestroyVideoRenderer(m_hScreenRenderer);
        m_hScreenRenderer = nullptr;
    }
    m_hScreenRenderer = KVS_CreateVideoRenderer(&guid, hWnd, KVS_COLOR_YUYV, m_nOutputWidth, m_nOutputHeight, 0, 1);
    if (!m_hScreenRenderer)
    {
        Platform::DebugOutput(QStringLiteral("Cannot create the Screen tab renderer"));
        return;
    }
    m_hScreenWnd = hWnd;
    m_bScreenRendererCreated = 1;
    KVS_RECT rcClient{};
    if (KVS_GetWindowClientRect(m_hScreenWnd, &rcClient))
        KVS_SetVideoRendererPosition(m_hScreenRenderer, nullptr, &rcClient);
}

void CKVCapture::UpdateScreenTabRenderer()
{
    CVoIPAutoLock lock(m_csScreenRenderer);
    if (!m_hScreenRenderer)
        return;
    KVS_RECT rcClient{};
    if (KVS_GetWindowClientRect(m_hScreenWnd, &rcClient))
        KVS_SetVideoRendererPosition(m_hScreenRenderer, nullptr, &rcClient);
}

void CKVCapture::EnableScreenTabDraw(bool bEnable)
{
    CVoIPAutoLock lock(m_csVideoEncoder);
    m_bScreenDrawEnabled.store(bEnable ? 1 : 0);
}

int CKVCapture::Snapshot(const QString& strPath, int nQuality)
{
    if (!m_hMixer)
        return 0;
    // Taken before the request: the writer may finish before it returns.
    {
        std::lock_guard<std::mutex> lock(m_mutexSnapshots);
        m_astrSnapshotsPending.append(strPath);
    }
    if (!KVS_VideoMixerCreateSnapShot(m_hMixer, Utf16(strPath), nQuality, &CKVCapture::SnapshotDoneHandler, this))
    {
        {
            std::lock_guard<std::mutex> lock(m_mutexSnapshots);
            m_astrSnapshotsPending.removeOne(strPath);
        }
        Platform::DebugOutput(QStringLiteral("The mixer refused the snapshot %1").arg(strPath));
        return 0;
    }
    return 1;
}

bool CKVCapture::IsSnapshotPending(const QString& strPath) const
{
    std::lock_guard<std::mutex> lock(m_mutexSnapshots);
    return m_astrSnapshotsPending.contains(strPath);
}

void CKVCapture::SnapshotDoneHandler(const char16_t* pszPath, int bWritten, void* pUser)
{
    static_cast<CKVCapture*>(pUser)->OnSnapshotDone(QString::fromUtf16(pszPath), bWritten != 0);
}

void CKVCapture::OnSnapshotDone(const QString& strPath, bool bWritten)
{
    if (!bWritten)
        Platform::DebugOutput(QStringLiteral("The snapshot %1 was not written").arg(strPath));
    // The file is complete under its name by now, so the name stays taken.
    {
        std::lock_guard<std::mutex> lock(m_mutexSnapshots);
        m_astrSnapshotsPending.removeOne(strPath);
    }
    CVoIPAutoLock lock(m_csNotify);
    for (IKVRecordNotify* pNotify : m_listNotify)
        pNotify->OnSnapshotFinished(strPath, bWritten);
}

void CKVCapture::SetProjectionSink(IKVFrameSink* pSink)
{
    std::lock_guard<std::mutex> lock(s_mutexSink);
    s_pSink.store(pSink);
}

void CKVCapture::MixerFrameHandler(const uint8_t* pFrame, int64_t nValue1, int nValue2, int nValue3, void* pUser)
{
    static_cast<CKVCapture*>(pUser)->OnMixerFrame(pFrame, nValue1, nValue2, nValue3);
}

void CKVCapture::OnMixerFrame(const uint8_t* pFrame, int64_t nValue1, int nValue2, int nValue3)
{
    EncodeFrame(pFrame, nValue1);
    DisplayFrame(pFrame, nValue1, nValue2, nValue3);
}

void CKVCapture::DisplayFrame(const uint8_t* pFrame, int64_t nValue1, int nValue2, int nValue3)
{
    // The mixer delivers frames of its own width (nValue2), which is the
    // output width; using it keeps this thread off the engine's fields.
    const int nStride = 2 * nValue2;
    {
        CVoIPAutoLock lock(m_csPreviewRenderer);
        if (m_hPreviewRenderer)
            KVS_VideoRendererDrawImage(m_hPreviewRenderer, pFrame, nStride, 1);
    }
    if (m_bScreenDrawEnabled.load())
    {
        CVoIPAutoLock lock(m_csScreenRenderer);
        if (m_hScreenRenderer)
            KVS_VideoRendererDrawImage(m_hScreenRenderer, pFrame, nStride, 1);
    }
    if (s_pSink.load())
    {
        std::lock_guard<std::mutex> lock(s_mutexSink);
        if (IKVFrameSink* pSink = s_pSink.load())
            pSink->DrawFrame(pFrame, nValue1, nValue2, nValue3);
    }
}
