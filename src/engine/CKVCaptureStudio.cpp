// Studio mode: a Preview scene edited off air and taken to Program with a
// cut or a fade.
#include "engine/CKVCapture.h"

#include "engine/CVoIPAutoLock.h"
#include "media/KVMixer.h"
#include "media/KVStream.h"
#include "platform/Log.h"

#include <utility>

bool CKVCapture::SetStudioMode(bool bOn, KVS_WINDOW hPreviewWnd)
{
    if (!m_hMixer || bOn == m_bStudio)
        return bOn == m_bStudio;

    if (bOn)
    {
        {
            CVoIPAutoLock lock(m_csStudioRenderer);
            KVS_GUID guid{};
            if (KVS_GetMonitorGUIDFromWindow(hPreviewWnd, &guid))
                m_guidStudioMonitor = guid;
            m_hStudioWnd = hPreviewWnd;
            m_hStudioRenderer = KVS_CreateVideoRenderer(&m_guidStudioMonitor, hPreviewWnd, KVS_COLOR_YUYV,
                                                        m_nOutputWidth, m_nOutputHeight, 0, 1);
            KVS_RECT rcClient{};
            if (m_hStudioRenderer && KVS_GetWindowClientRect(hPreviewWnd, &rcClient))
                KVS_SetVideoRendererPosition(m_hStudioRenderer, nullptr, &rcClient);
        }
        {
            // What is on air now becomes Program; the edited scene starts empty.
            CVoIPAutoLock lock(m_csMixerState);
            FinishTransitionLocked();
            m_program = SScene();
            ExchangeSceneLocked(m_program);
        }
        m_bStudio = true;
        KVS_VideoMixerSetPreviewScene(m_hMixer, 1, &CKVCapture::MixerPreviewHandler, this);
        return true;
    }

    // Leaving: Preview goes, Program becomes the scene the operations edit.
    KVS_VideoMixerSetPreviewScene(m_hMixer, 0, nullptr, nullptr);
    SScene preview;
    {
        CVoIPAutoLock lock(m_csMixerState);
        FinishTransitionLocked();
        ExchangeSceneLocked(m_program);
        preview = m_program;
        m_program = SScene();
    }
    m_bStudio = false;
    ++m_nLogoRequest; // a logo still loading was meant for Preview
    DeleteSceneItems(preview);
    {
        CVoIPAutoLock lock(m_csStudioRenderer);
        if (m_hStudioRenderer)
            KVS_DestroyVideoRenderer(m_hStudioRenderer);
        m_hStudioRenderer = nullptr;
    }
    return true;
}

bool CKVCapture::Take(int nFadeFrames)
{
    if (!m_hMixer || !m_bStudio)
        return false;
    CVoIPAutoLock lock(m_csMixerState);
    // A channel cross-fade in Preview would otherwise go on moving channels
    // that are now on air.
    FinishTransitionLocked();
    ExchangeSceneLocked(m_program);
    KVS_VideoMixerSwapScenes(m_hMixer, nFadeFrames);
    return true;
}

bool CKVCapture::IsChannelOnProgram(int nChannel) const
{
    if (!IsValidChannel(nChannel))
        return false;
    CVoIPAutoLock lock(m_csMixerState);
    return (m_bStudio ? m_program.ahMixerChannel[nChannel] : m_ahMixerChannel[nChannel]) != nullptr;
}

bool CKVCapture::IsChannelOnPreview(int nChannel) const
{
    if (!IsValidChannel(nChannel))
        return false;
    CVoIPAutoLock lock(m_csMixerState);
    return m_bStudio && m_ahMixerChannel[nChannel] != nullptr;
}

void CKVCapture::ExchangeSceneLocked(SScene& scene)
{
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
        std::swap(m_ahMixerChannel[nChannel], scene.ahMixerChannel[nChannel]);
    std::swap(m_hLogo, scene.hLogo);
    std::swap(m_nLogoWidth, scene.nLogoWidth);
    std::swap(m_nLogoHeight, scene.nLogoHeight);
    std::swap(m_hCaption, scene.hCaption);
    std::swap(m_hClock, scene.hClock);
    std::swap(m_nClockX, scene.nClockX);
    std::swap(m_nClockY, scene.nClockY);
    std::swap(m_clockStyle, scene.clockStyle);
}

void CKVCapture::DeleteSceneItems(SScene& scene)
{
    for (KVS_HANDLE& hChannel : scene.ahMixerChannel)
    {
        if (hChannel)
            KVS_VideoMixerDelChannel(m_hMixer, hChannel);
        hChannel = nullptr;
    }
    if (scene.hLogo)
        KVS_VideoMixerDelImage(m_hMixer, scene.hLogo);
    if (scene.hCaption)
        KVS_VideoMixerDelCaption(m_hMixer, scene.hCaption);
    if (scene.hClock)
        KVS_VideoMixerDelCaption(m_hMixer, scene.hClock);
    scene = SScene();
}

void CKVCapture::MixerPreviewHandler(const uint8_t* pFrame, int64_t, int nWidth, int nHeight, void* pUser)
{
    static_cast<CKVCapture*>(pUser)->OnMixerPreview(pFrame, nWidth, nHeight);
}

void CKVCapture::OnMixerPreview(const uint8_t* pFrame, int nWidth, int)
{
    CVoIPAutoLock lock(m_csStudioRenderer);
    if (m_hStudioRenderer)
        KVS_VideoRendererDrawImage(m_hStudioRenderer, pFrame, nWidth * 2, 1);
}
