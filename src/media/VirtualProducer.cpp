#include "VirtualProducer.h"

namespace KVMedia
{
CVirtualProducer::CVirtualProducer(std::shared_ptr<CVideoDeviceState> pDevice)
    : m_pDevice(std::move(pDevice))
{
}

bool CVirtualProducer::Open(int nWidth, int nHeight, int nDuration)
{
    if (!m_picture.Build(m_pDevice->strName, m_pDevice->nPattern, nWidth, nHeight))
        return false;
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
    m_adjust.Set(m_pDevice->anControl[KVPHD_PARAM_BRIGHTNESS].load(),
                 m_pDevice->anControl[KVPHD_PARAM_CONTRAST].load(),
                 m_pDevice->anControl[KVPHD_PARAM_HUE].load(),
                 m_pDevice->anControl[KVPHD_PARAM_SATURATION].load());
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
    m_picture.Render(m_nFrameIndex, m_nDuration, m_pDevice->bSignalPresent.load(), m_adjust, m_nAdjustVersion,
                     pDst, nStride);
    ++m_nFrameIndex;
    return PRODUCE_FRAME;
}
}
