// The composition side of the engine: the mixer, where each channel sits in
// it, and the cross-fade between two channels.
#include "engine/CKVCapture.h"

#include "engine/CVoIPAutoLock.h"
#include "engine/KVOverlayGeometry.h"
#include "engine/KVUtf16.h"
#include "media/KVMixer.h"
#include "media/KVStream.h"
#include "platform/Log.h"

#include <algorithm>

namespace
{
const int OPAQUE = 255;
}

bool CKVCapture::CreateMixer(int nWidth, int nHeight, int nDuration, KVS_WINDOW hPreviewWnd)
{
    // A second mixer would leave the first one running with nobody to stop it.
    if (m_hMixer)
        DestroyMixer();

    KVS_HANDLE hMixer = KVS_CreateVideoMixer(nWidth, nHeight, nDuration, KVS_COLOR_YUYV);
    if (!hMixer)
    {
        Log::Error(
            "engine",
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
        Log::Error("engine", QStringLiteral("The mixer does not run"));
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
        Log::Error("engine", QStringLiteral("Cannot create the output preview renderer"));
        DestroyMixer();
        return false;
    }

    if (m_bScreenRendererCreated)
        CreateScreenTabRenderer(m_hScreenWnd);
    return true;
}

void CKVCapture::DestroyMixer()
{
    m_recorder.ResetStatistics();
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
        // Program's items went with the mixer.
        m_program = SScene();
    }
    m_bStudio = false;
    {
        CVoIPAutoLock lock(m_csStudioRenderer);
        if (m_hStudioRenderer)
            KVS_DestroyVideoRenderer(m_hStudioRenderer);
        m_hStudioRenderer = nullptr;
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
            Log::Warning("engine", QStringLiteral("Channel %1: empty rectangle %2x%3; it is not placed")
                                       .arg(nChannel)
                                       .arg(nWidth)
                                       .arg(nHeight));
            DeleteMixerChannelLocked(nChannel);
            return;
        }
    }

    // On air in studio mode a capture keeps its size, and the mixer scales
    // it to this placement.
    if (!KeepsCaptureSize(nChannel))
    {
        pChannel->Stop();
        if (!pChannel->SetFormat(nWidth, nHeight, m_nFrameDuration))
        {
            Log::Warning("engine", QStringLiteral("Channel %1 cannot capture at %2x%3; it is not placed")
                                       .arg(nChannel)
                                       .arg(nWidth)
                                       .arg(nHeight));
            // Its earlier placement would otherwise freeze on the last frame
            // the stopped capture delivered.
            CVoIPAutoLock lock(m_csMixerState);
            DeleteMixerChannelLocked(nChannel);
            return;
        }
        pChannel->Start();
    }

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
        Log::Warning("engine", QStringLiteral("The mixer refused channel %1").arg(nChannel));
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

    if (!KeepsCaptureSize(nIn))
    {
        pIn->Stop();
        if (!pIn->SetFormat(m_nOutputWidth, m_nOutputHeight, m_nFrameDuration))
        {
            Log::Warning("engine", QStringLiteral("Channel %1 cannot capture at %2x%3; no transition")
                                       .arg(nIn)
                                       .arg(m_nOutputWidth)
                                       .arg(m_nOutputHeight));
            return;
        }
        pIn->Start();
    }

    CVoIPAutoLock lock(m_csMixerState);
    KVS_HANDLE hMixerChannel =
        KVS_VideoMixerAddChannel(m_hMixer, m_nOutputWidth, m_nOutputHeight, KVS_COLOR_YUYV, pIn->GetCaptureHandle());
    m_ahMixerChannel[nIn] = hMixerChannel;
    // Without the incoming picture a fade would only fade the output to
    // black and remove what was shown.
    if (!hMixerChannel)
    {
        Log::Warning("engine", QStringLiteral("The mixer refused channel %1; no transition").arg(nIn));
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
