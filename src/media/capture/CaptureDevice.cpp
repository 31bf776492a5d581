#include "media/capture/CaptureDevice.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "media/capture/v4l2/V4l2Producer.h"
#include "media/capture/virtual/VirtualProducer.h"
#include "media/image/YuyvLayout.h"

#include <cstring>

namespace KVMedia
{
CCaptureDevice::CCaptureDevice(std::shared_ptr<CVideoDeviceState> pDevice)
    : m_pDevice(std::move(pDevice))
{
    // Devices smaller than the usual default start at their largest size.
    m_nWidth = qMin(m_nWidth, m_pDevice->nMaxWidth);
    m_nHeight = qMin(m_nHeight, m_pDevice->nMaxHeight);
}

CCaptureDevice::~CCaptureDevice()
{
    m_stop.Request();
    if (m_thread.joinable())
    {
        // The last reference may be dropped by the capture thread itself
        // after a close from its own callback; it ends right after this.
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
}

bool CCaptureDevice::SetFormat(int nColor, int nWidth, int nHeight, int nDuration)
{
    // Any size within reason: the device captures at the nearest size it
    // offers and the frames are scaled to this one, and odd widths are
    // stored as the layer stores them everywhere (YuyvLayout.h).
    if (nColor != KVS_COLOR_YUYV || !IsFrameSizeAllowed(nWidth, nHeight) || nDuration <= 0)
    {
        Log::Warning("capture", QStringLiteral("%1: format %2 %3x%4 duration %5 refused")
                                    .arg(m_pDevice->strName)
                                    .arg(nColor)
                                    .arg(nWidth)
                                    .arg(nHeight)
                                    .arg(nDuration));
        return false;
    }
    if (IsCaptureThread())
    {
        Log::Warning("capture",
                     QStringLiteral("%1: format change from its own callback refused").arg(m_pDevice->strName));
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutexControl);
    if (nWidth == m_nWidth && nHeight == m_nHeight && nDuration == m_nDuration)
        return true;
    // A running capture is restarted around the change, so the thread
    // never sees its buffers change under it.
    const bool bWasRunning = m_bRunning && !m_stop.IsRequested();
    if (bWasRunning)
        StopLocked();
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nDuration = nDuration;
    if (bWasRunning && !StartLocked())
        return false;
    return true;
}

void CCaptureDevice::SetCallback(KVS_VIDEO_CAPTURE_CALLBACK pfn, void* pUser)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutexCallback);
    m_pfnCallback = pfn;
    m_pUser = pUser;
}

void CCaptureDevice::SetProducerFactory(FnCreateProducer fnCreate)
{
    std::lock_guard<std::mutex> lock(m_mutexControl);
    m_fnCreateProducer = std::move(fnCreate);
}

bool CCaptureDevice::Start()
{
    if (IsCaptureThread())
        return false;
    std::lock_guard<std::mutex> lock(m_mutexControl);
    // A thread told to stop from its own callback, or ended by a failing
    // device, no longer counts as running.
    if (m_bRunning && !m_stop.IsRequested())
        return true;
    return StartLocked();
}

void CCaptureDevice::Stop()
{
    if (IsCaptureThread())
    {
        // Waiting here would wait for ourselves, and taking the control lock
        // could wait for a thread that is joining us. The loop ends after
        // this callback; whoever starts or stops next collects the thread.
        m_stop.Request();
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutexControl);
    StopLocked();
}

bool CCaptureDevice::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutexControl);
    return m_bRunning && !m_stop.IsRequested();
}

std::unique_ptr<IFrameProducer> CCaptureDevice::CreateProducer() const
{
    if (m_fnCreateProducer)
        return m_fnCreateProducer();
    if (m_pDevice->eKind == CVideoDeviceState::KIND_V4L2)
        return std::make_unique<CV4l2Producer>(m_pDevice->strNode);
    return std::make_unique<CVirtualProducer>(m_pDevice);
}

bool CCaptureDevice::StartLocked()
{
    // A thread that ended on its own (device gone, or stopped from its own
    // callback) is collected before a new one starts.
    if (m_thread.joinable())
        m_thread.join();

    std::unique_ptr<IFrameProducer> pProducer = CreateProducer();
    if (!pProducer || !pProducer->Open(m_nWidth, m_nHeight, m_nDuration))
    {
        Log::Error("capture",
                   QStringLiteral("%1: cannot open %2x%3").arg(m_pDevice->strName).arg(m_nWidth).arg(m_nHeight));
        return false;
    }

    {
        std::lock_guard<std::mutex> lock(m_mutexFrame);
        // A frame of the old size is of no use to anyone any more.
        if (m_pFront && (m_pFront->nWidth != m_nWidth || m_pFront->nHeight != m_nHeight))
            m_pFront.reset();
    }
    m_stop.Reset();
    m_thread = std::thread(&CCaptureDevice::Run, this, shared_from_this(), std::move(pProducer));
    m_bRunning = true;
    Log::Debug("capture", QStringLiteral("%1: capturing %2x%3, duration %4")
                              .arg(m_pDevice->strName)
                              .arg(m_nWidth)
                              .arg(m_nHeight)
                              .arg(m_nDuration));
    return true;
}

void CCaptureDevice::StopLocked()
{
    m_stop.Request();
    m_bRunning = false;
    if (m_thread.joinable())
        m_thread.join();
}

void CCaptureDevice::Run(std::shared_ptr<CCaptureDevice> pSelf, std::unique_ptr<IFrameProducer> pProducer)
{
    Platform::SetThreadName("kvs-capture");
    m_idThread = std::this_thread::get_id();
    uint64_t nSeq = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutexFrame);
        nSeq = m_nSeq;
    }

    if (IDeferredProducer* pDeferred = dynamic_cast<IDeferredProducer*>(pProducer.get()))
        RunDeferred(pDeferred, m_nWidth, m_nHeight, nSeq);
    else
        RunEager(pProducer.get(), m_nWidth, m_nHeight, nSeq);

    m_stop.Request();
    pProducer.reset();
    m_idThread = std::thread::id();
    pSelf.reset();
}

void CCaptureDevice::RunEager(IFrameProducer* pProducer, int nWidth, int nHeight, uint64_t nSeq)
{
    const int nStride = nWidth * 2;
    for (;;)
    {
        std::unique_ptr<SCapturedFrame> pBack = m_pRecycler->Take(nWidth, nHeight);
        const int nResult = pProducer->Produce(pBack->abData.data(), nStride, m_stop);
        if (nResult != IFrameProducer::PRODUCE_FRAME)
        {
            if (nResult == IFrameProducer::PRODUCE_FAILED)
            {
                Log::Warning("capture", QStringLiteral("%1: device stopped delivering").arg(m_pDevice->strName));
                PublishBlack(std::move(pBack), ++nSeq);
            }
            return;
        }
        pBack->nSeq = ++nSeq;
        {
            std::lock_guard<std::mutex> lock(m_mutexFrame);
            m_nSeq = nSeq;
        }
        if (!Deliver(std::move(pBack), nStride))
            return;
    }
}

void CCaptureDevice::RunDeferred(IDeferredProducer* pProducer, int nWidth, int nHeight, uint64_t nSeq)
{
    const int nStride = nWidth * 2;
    // The sequence number of the picture taken in but not decoded, 0: none.
    uint64_t nPendingSeq = 0;
    // None yet: the first picture is due at once.
    std::chrono::steady_clock::time_point tpLastDecode = std::chrono::steady_clock::now() - std::chrono::hours(24);
    for (;;)
    {
        const int nResult = pProducer->Receive(m_stop);
        if (nResult == IFrameProducer::PRODUCE_FRAME)
        {
            // Counted as it arrives, so the frame rate is the device's
            // whether or not anybody looks at its pictures.
            nPendingSeq = ++nSeq;
            std::lock_guard<std::mutex> lock(m_mutexFrame);
            m_nSeq = nSeq;
        }
        else if (nResult != IDeferredProducer::RECEIVE_IDLE)
        {
            if (nResult == IFrameProducer::PRODUCE_FAILED)
            {
                Log::Warning("capture", QStringLiteral("%1: device stopped delivering").arg(m_pDevice->strName));
                PublishBlack(m_pRecycler->Take(nWidth, nHeight), ++nSeq);
            }
            return;
        }
        // A picture is decoded only once a reader has asked since the last
        // one, or the callback's interval has passed; the pictures that
        // arrive meanwhile replace each other undecoded.
        if (!nPendingSeq || (!m_bFrameWanted.exchange(false) && !IsCallbackDue(tpLastDecode)))
            continue;
        tpLastDecode = std::chrono::steady_clock::now();
        std::unique_ptr<SCapturedFrame> pBack = m_pRecycler->Take(nWidth, nHeight);
        const bool bDecoded = pProducer->DecodePending(pBack->abData.data(), nStride);
        pBack->nSeq = nPendingSeq;
        nPendingSeq = 0;
        if (!bDecoded)
        {
            // Whoever asked still waits for a picture: the next one.
            m_bFrameWanted = true;
            continue;
        }
        if (!Deliver(std::move(pBack), nStride))
            return;
    }
}

bool CCaptureDevice::IsCallbackDue(std::chrono::steady_clock::time_point tpLastDecode)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutexCallback);
        if (!m_pfnCallback)
            return false;
    }
    return std::chrono::steady_clock::now() - tpLastDecode >= std::chrono::microseconds(m_nCallbackIntervalUs.load());
}

bool CCaptureDevice::Deliver(std::unique_ptr<SCapturedFrame> pBack, int nStride)
{
    const std::shared_ptr<const SCapturedFrame> pFrame = m_pRecycler->Share(std::move(pBack));
    {
        std::lock_guard<std::mutex> lock(m_mutexFrame);
        m_pFront = pFrame;
    }
    // Our own reference keeps the frame as it is while the callback reads
    // it, even if a newer one replaces it as the front meanwhile.
    std::lock_guard<std::recursive_mutex> lock(m_mutexCallback);
    if (m_stop.IsRequested())
        return false;
    if (m_pfnCallback)
        m_pfnCallback(pFrame->abData.data(), nStride, m_pUser);
    return true;
}

void CCaptureDevice::PublishBlack(std::unique_ptr<SCapturedFrame> pFrame, uint64_t nSeq)
{
    // A device that went away leaves black behind rather than its last
    // picture frozen in every output that reads this capture.
    uint8_t* p = pFrame->abData.data();
    for (size_t i = 0; i + 1 < pFrame->abData.size(); i += 2)
    {
        p[i] = 16;
        p[i + 1] = 128;
    }
    pFrame->nSeq = nSeq;
    const std::shared_ptr<const SCapturedFrame> pShared = m_pRecycler->Share(std::move(pFrame));
    std::lock_guard<std::mutex> lock(m_mutexFrame);
    m_pFront = pShared;
    m_nSeq = nSeq;
}

bool CCaptureDevice::CopyLatestFrame(uint8_t* pDst, int nDstStride, int nWidth, int nHeight, uint64_t* pSeq) const
{
    if (!pDst || nWidth <= 0 || nHeight <= 0 || nDstStride < nWidth * 2)
        return false;
    const std::shared_ptr<const SCapturedFrame> pFrame = AcquireLatestFrame(nWidth, nHeight, 0);
    if (!pFrame)
        return false;
    const size_t nLine = size_t(nWidth) * 2;
    const uint8_t* pSrc = pFrame->abData.data();
    if (size_t(nDstStride) == nLine)
        std::memcpy(pDst, pSrc, nLine * size_t(nHeight));
    else
        for (int y = 0; y < nHeight; ++y)
            std::memcpy(pDst + size_t(y) * size_t(nDstStride), pSrc + size_t(y) * nLine, nLine);
    if (pSeq)
        *pSeq = pFrame->nSeq;
    return true;
}

std::shared_ptr<const SCapturedFrame> CCaptureDevice::AcquireLatestFrame(int nWidth, int nHeight,
                                                                         uint64_t nAfterSeq) const
{
    std::shared_ptr<const SCapturedFrame> pFrame;
    {
        std::lock_guard<std::mutex> lock(m_mutexFrame);
        if (m_pFront && (nWidth <= 0 || (m_pFront->nWidth == nWidth && m_pFront->nHeight == nHeight)) &&
            m_pFront->nSeq > nAfterSeq)
            pFrame = m_pFront;
    }
    // Asked after reading, so that the frame read never consumes the
    // request: the next picture is always decoded for the next reader.
    m_bFrameWanted = true;
    return pFrame;
}

uint64_t CCaptureDevice::GetLatestSeq() const
{
    std::lock_guard<std::mutex> lock(m_mutexFrame);
    return m_nSeq;
}
}
