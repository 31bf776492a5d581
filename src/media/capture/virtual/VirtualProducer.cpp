#include "media/capture/virtual/VirtualProducer.h"

#include "media/image/YuyvLayout.h"

extern "C"
{
#include <libavutil/pixfmt.h>
}

namespace KVMedia
{
CVirtualProducer::CVirtualProducer(std::shared_ptr<CVideoDeviceState> pDevice)
    : m_pDevice(std::move(pDevice))
{
}

bool CVirtualProducer::Open(int nWidth, int nHeight, int nDuration)
{
    const int nNativeWidth = qMin(nWidth, m_pDevice->nMaxWidth);
    const int nNativeHeight = qMin(nHeight, m_pDevice->nMaxHeight);
    if (!m_picture.Build(m_pDevice->strName, m_pDevice->nPattern, nNativeWidth, nNativeHeight))
        return false;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    if (nNativeWidth != nWidth || nNativeHeight != nHeight)
        m_abNative.resize(size_t(nNativeWidth) * 2 * size_t(nNativeHeight) + FRAME_READ_PADDING);
    else
        std::vector<uint8_t>().swap(m_abNative);
    m_nDuration = nDuration;
    m_nFrameIndex = 0;
    m_bClockStarted = false;
    RefreshControls();
    return true;
}

void CVirtualProducer::RefreshControls()
{
    // Version first: a change racing with this read bumps it again and is
    // picked up on the next frame.
    m_nAdjustVersion = m_pDevice->nControlVersion.load(std::memory_order_acquire);
    m_adjust.Set(m_pDevice->anControl[KVPHD_PARAM_BRIGHTNESS].load(), m_pDevice->anControl[KVPHD_PARAM_CONTRAST].load(),
                 m_pDevice->anControl[KVPHD_PARAM_HUE].load(), m_pDevice->anControl[KVPHD_PARAM_SATURATION].load());
}

int CVirtualProducer::Produce(uint8_t* pDst, int nStride, CStopSignal& stop)
{
    using Clock = std::chrono::steady_clock;
    const FrameTicks tFrame(m_nDuration);
    if (!m_bClockStarted)
    {
        m_tpStart = Clock::now();
        m_bClockStarted = true;
    }
    else
    {
        const Clock::time_point tpDeadline =
            m_tpStart + std::chrono::duration_cast<Clock::duration>(tFrame * int64_t(m_nFrameIndex));
        if (!stop.WaitUntil(tpDeadline))
            return PRODUCE_STOPPED;
        // When the consumer held us up by more than two frames, skip to the
        // current slot instead of rushing out a burst; the counter shows the
        // gap.
        const Clock::duration tLate = Clock::now() - tpDeadline;
        if (tLate > tFrame * 2)
            m_nFrameIndex = uint64_t((Clock::now() - m_tpStart) / tFrame);
    }
    if (stop.IsRequested())
        return PRODUCE_STOPPED;

    if (m_pDevice->nControlVersion.load(std::memory_order_acquire) != m_nAdjustVersion)
        RefreshControls();
    const bool bSignal = m_pDevice->bSignalPresent.load();
    if (m_abNative.empty())
    {
        m_picture.Render(m_nFrameIndex, m_nDuration, bSignal, m_adjust, m_nAdjustVersion, pDst, nStride);
    }
    else
    {
        const int nNativeWidth = m_picture.GetWidth();
        m_picture.Render(m_nFrameIndex, m_nDuration, bSignal, m_adjust, m_nAdjustVersion, m_abNative.data(),
                         nNativeWidth * 2);
        const uint8_t* apSrc[4] = {m_abNative.data(), nullptr, nullptr, nullptr};
        const int anSrcStride[4] = {nNativeWidth * 2, 0, 0, 0};
        if (!m_scaler.ToYuyv(apSrc, anSrcStride, AV_PIX_FMT_YUYV422, nNativeWidth, m_picture.GetHeight(), false, pDst,
                             nStride, m_nWidth, m_nHeight))
            return PRODUCE_FAILED;
    }
    ++m_nFrameIndex;
    return PRODUCE_FRAME;
}
}
