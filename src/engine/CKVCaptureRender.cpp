// Where the composed frames go: the preview and Screen tab renderers, the
// projection output, and snapshots.
#include "engine/CKVCapture.h"

#include "engine/CVoIPAutoLock.h"
#include "engine/KVUtf16.h"
#include "media/KVMixer.h"
#include "media/KVStream.h"
#include "platform/Log.h"

#include <cstring>
#include <mutex>

namespace
{
// The projection output. The pointer is checked without the lock so that a
// frame without a sink costs nothing; the lock makes unpublishing wait for a
// DrawFrame in progress.
std::mutex s_mutexSink;
std::atomic<IKVFrameSink*> s_pSink{nullptr};
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
    {
        CVoIPAutoLock lock(m_csStudioRenderer);
        KVS_RECT rcClient{};
        if (m_hStudioRenderer && KVS_GetWindowClientRect(m_hStudioWnd, &rcClient))
            KVS_SetVideoRendererPosition(m_hStudioRenderer, nullptr, &rcClient);
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
        m_bScreenRendererCreated = true;
        return;
    }

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
        Log::Error("engine", QStringLiteral("Cannot create the Screen tab renderer"));
        return;
    }
    m_hScreenWnd = hWnd;
    m_bScreenRendererCreated = true;
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
    CVoIPAutoLock lock(m_csScreenRenderer);
    m_bScreenDrawEnabled.store(bEnable);
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
    if (!KVS_VideoMixerCreateSnapShot(m_hMixer, KVUtf16(strPath), nQuality, &CKVCapture::SnapshotDoneHandler, this))
    {
        {
            std::lock_guard<std::mutex> lock(m_mutexSnapshots);
            m_astrSnapshotsPending.removeOne(strPath);
        }
        Log::Warning("engine", QStringLiteral("The mixer refused the snapshot %1").arg(strPath));
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
        Log::Error("engine", QStringLiteral("The snapshot %1 was not written").arg(strPath));
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

void CKVCapture::MixerFrameHandler(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight, void* pUser)
{
    static_cast<CKVCapture*>(pUser)->OnMixerFrame(pFrame, nTimestamp, nWidth, nHeight);
}

void CKVCapture::OnMixerFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight)
{
    // The mixer's stamp counts the mixer's ticks; a frame's place in the
    // recording comes from the recording's own clock instead, which the
    // sound follows too.
    m_recorder.EncodeFrame(pFrame);
    DisplayFrame(pFrame, nTimestamp, nWidth, nHeight);
}

void CKVCapture::DisplayFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight)
{
    // The mixer delivers frames of its own width, which is the output width;
    // using it keeps this thread off the engine's fields.
    const int nStride = 2 * nWidth;
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
            pSink->DrawFrame(pFrame, nTimestamp, nWidth, nHeight);
    }
}
