#include "engine/CKVChannel.h"

#include "media/KVProperty.h"
#include "media/KVStream.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstring>

namespace
{
// The statistics restart after this many milliseconds.
const uint32_t STATISTICS_PERIOD_MS = 5000;
}

CKVChannel::CKVChannel(int nIndex)
    : m_nIndex(nIndex)
{
}

CKVChannel::~CKVChannel()
{
    // The engine closes its channels first; this only guards against a
    // capture thread outliving the object.
    Close();
}

bool CKVChannel::Open(int nDevice, KVS_WINDOW hWnd)
{
    if (nDevice < 0)
        return false;
    if (m_nDevice == nDevice)
        return true;
    // Switching devices: the old capture would otherwise keep running and
    // drawing with nobody left to close it.
    if (m_hCapture || m_hProperty || m_hRenderer.load())
        Close();

    m_nDevice = nDevice;
    m_hWnd = hWnd;

    KVS_VIDEO_CAPTURE_INFO info{};
    if (!KVS_GetVideoCaptureInfo(nDevice, &info))
    {
        Log::Warning("engine", QStringLiteral("Channel %1: no record for device %2").arg(m_nIndex).arg(nDevice));
        Close();
        return false;
    }
    // The record comes from the library; do not trust it to be terminated.
    info.szIdentity[KVS_IDENTITY_LEN - 1] = '\0';

    m_hCapture = KVS_OpenVideoCapture(info.szIdentity);
    if (!m_hCapture)
    {
        Log::Warning("engine", QStringLiteral("Channel %1: cannot open device %2").arg(m_nIndex).arg(nDevice));
        Close();
        return false;
    }
    m_hProperty = KVS_OpenVideoCapturePropertyHandle(m_hCapture);
    if (!m_hProperty)
    {
        Log::Warning("engine",
                     QStringLiteral("Channel %1: no property handle for device %2").arg(m_nIndex).arg(nDevice));
        Close();
        return false;
    }

    if (!KVS_GetMonitorGUIDFromWindow(m_hWnd, &m_guidMonitor))
        std::memset(&m_guidMonitor, 0, sizeof(m_guidMonitor));

    bool bResult = false;
    KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(&m_guidMonitor, m_hWnd, m_nColor, m_nWidth, m_nHeight, 0, 1);
    if (hRenderer)
    {
        m_hRenderer.store(hRenderer);
        KVS_SetVideoCaptureCallback(m_hCapture, &CKVChannel::FrameHandler, this);
        UpdateRenderer();
        bResult = true;
    }
    else
    {
        Log::Warning("engine", QStringLiteral("Channel %1: cannot create the preview renderer").arg(m_nIndex));
        Close();
    }

    ResetStatistics();
    return bResult;
}

bool CKVChannel::SetFormat(int nWidth, int nHeight, int nDuration)
{
    if (!m_hCapture)
        return false;

    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nDuration = nDuration;
    // Durations count 100 ns units.
    m_pacerPreview.SetInterval(int64_t(nDuration) / 10);

    KVS_HANDLE hRenderer = m_hRenderer.load();
    if (hRenderer)
    {
        KVS_ResetVideoRenderer(hRenderer, &m_guidMonitor, m_hWnd, m_nColor, m_nWidth, m_nHeight, 0, 1);
        UpdateRenderer();
    }
    m_bFormatRefused = KVS_SetVideoCaptureFormat(m_hCapture, m_nColor, m_nWidth, m_nHeight, m_nDuration) == 0;
    return !m_bFormatRefused;
}

bool CKVChannel::Start()
{
    if (!m_hCapture)
        return false;
    m_bStarted = KVS_StartVideoCapture(m_hCapture) != 0;
    return m_bStarted;
}

void CKVChannel::Stop()
{
    if (!m_hCapture)
        return;
    KVS_StopVideoCapture(m_hCapture);
    m_bStarted = false;
}

bool CKVChannel::Restart(int nWidth, int nHeight, int nDuration)
{
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nDuration = nDuration;

    Stop();
    if (!SetFormat(nWidth, nHeight, nDuration))
        return false;
    KVS_SetVideoCaptureCallback(m_hCapture, &CKVChannel::FrameHandler, this);

    KVS_HANDLE hRenderer = m_hRenderer.load();
    if (hRenderer)
    {
        KVS_ResetVideoRenderer(hRenderer, &m_guidMonitor, m_hWnd, m_nColor, m_nWidth, m_nHeight, 0, 1);
        UpdateRenderer();
    }
    // A start that fails leaves the channel open but not started; its
    // preview window then tells the user the device is busy.
    Start();
    ResetStatistics();
    return true;
}

void CKVChannel::Close()
{
    m_nDevice = -1;
    if (m_hCapture)
    {
        KVS_StopVideoCapture(m_hCapture);
        m_bStarted = false;
        KVS_CloseVideoCapture(m_hCapture);
        m_hCapture = nullptr;
    }
    if (m_hProperty)
    {
        KVP_ClosePropertyHandle(m_hProperty);
        m_hProperty = nullptr;
    }
    // The capture is closed, so no frame handler can be drawing any more.
    KVS_HANDLE hRenderer = m_hRenderer.exchange(nullptr);
    if (hRenderer)
        KVS_DestroyVideoRenderer(hRenderer);
    m_bStarted = false;
    m_bFormatRefused = false;
    m_bDeviceLost = false;
}

void CKVChannel::MarkDeviceLost()
{
    Stop();
    m_bDeviceLost = true;
}

bool CKVChannel::Recover()
{
    if (!m_hCapture || !m_bDeviceLost)
        return false;
    // The controls were opened on the device that went away.
    if (m_hProperty)
        KVP_ClosePropertyHandle(m_hProperty);
    m_hProperty = KVS_OpenVideoCapturePropertyHandle(m_hCapture);
    // The capture handle stays the same, so the mixer's channel picks the
    // pictures up again by itself.
    if (!Restart(m_nWidth, m_nHeight, m_nDuration) || !IsStarted())
        return false;
    m_bDeviceLost = false;
    UpdateRenderer();
    return true;
}

void CKVChannel::Repaint()
{
    KVS_HANDLE hRenderer = m_hRenderer.load();
    if (hRenderer)
        KVS_VideoRendererRepaintRect(hRenderer, nullptr);
}

void CKVChannel::UpdateRenderer()
{
    KVS_HANDLE hRenderer = m_hRenderer.load();
    if (!hRenderer || !m_bStarted)
        return;

    // Follow the window onto another monitor.
    KVS_GUID guid{};
    if (KVS_GetMonitorGUIDFromWindow(m_hWnd, &guid) && std::memcmp(&guid, &m_guidMonitor, sizeof(guid)) != 0)
    {
        m_guidMonitor = guid;
        KVS_ResetVideoRenderer(hRenderer, &m_guidMonitor, m_hWnd, m_nColor, m_nWidth, m_nHeight, 0, 1);
    }

    KVS_RECT rcClient{};
    if (KVS_GetWindowClientRect(m_hWnd, &rcClient))
        KVS_SetVideoRendererPosition(hRenderer, nullptr, &rcClient);
}

int CKVChannel::ShowPropertyDialog(KVS_WINDOW hParent)
{
    if (!m_hCapture)
        return 0;
    return KVS_ShowVideoCapturePropertyDialog(m_hCapture, hParent);
}

int CKVChannel::ShowPropertyDialog()
{
    return ShowPropertyDialog(m_hWnd);
}

bool CKVChannel::GetVideoProcParamRange(int nId, int& nMin, int& nMax, int& nDefault)
{
    if (!m_hProperty)
        return false;
    return KVPHD_GetVideoProcParamRange(m_hProperty, nId, &nMin, &nMax, &nDefault) != 0;
}

bool CKVChannel::GetVideoProcParam(int nId, int& nValue)
{
    if (!m_hProperty)
        return false;
    return KVPHD_GetVideoProcParam(m_hProperty, nId, &nValue) != 0;
}

bool CKVChannel::SetVideoProcParam(int nId, int nValue)
{
    if (!m_hProperty)
        return false;
    return KVPHD_SetVideoProcParam(m_hProperty, nId, nValue) != 0;
}

bool CKVChannel::GetSignalState(int& nNoSignal, int& nInputType)
{
    if (m_bDeviceLost)
    {
        nNoSignal = 1;
        return true;
    }
    if (!m_hProperty)
        return false;
    nNoSignal = KVPHD_IsSignalPresent(m_hProperty) ? 0 : 1;
    KVPHD_GetInputType(m_hProperty, &nInputType);
    return true;
}

bool CKVChannel::GetStatistics(float& fFps)
{
    const uint32_t nNow = Platform::GetTickCount32();
    const uint32_t nElapsed = nNow - m_nStatisticsStart;
    const uint64_t nFrames = m_nCapturedFrames.load();
    // Asked in the same millisecond as the reset there is nothing to measure
    // yet; report no rate rather than dividing by zero.
    fFps = nElapsed ? static_cast<float>(static_cast<double>(nFrames) * 1000.0 / nElapsed) : 0.0f;
    if (nElapsed >= STATISTICS_PERIOD_MS)
    {
        m_nCapturedFrames.store(0);
        m_nStatisticsStart = nNow;
    }
    return true;
}

void CKVChannel::FrameHandler(const uint8_t* pFrame, int nStride, void* pUser)
{
    static_cast<CKVChannel*>(pUser)->OnFrame(pFrame, nStride);
}

void CKVChannel::OnFrame(const uint8_t* pFrame, int nStride)
{
    m_nCapturedFrames.fetch_add(1, std::memory_order_relaxed);
    KVS_HANDLE hRenderer = m_hRenderer.load();
    if (!hRenderer)
        return;
    const int64_t nNowUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    if (m_pacerPreview.Admit(nNowUs))
        KVS_VideoRendererDrawImage(hRenderer, pFrame, nStride, (m_nColor == 1 || m_nColor == 2) ? 0 : 1);
}

void CKVChannel::ResetStatistics()
{
    m_nCapturedFrames.store(0);
    m_nStatisticsStart = Platform::GetTickCount32();
}
