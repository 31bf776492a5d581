#include "media/capture/PacketFeed.h"

#include "media/capture/PacketDecoder.h"
#include "media/core/AvPtr.h"

extern "C"
{
#include <libavcodec/avcodec.h>
}

#include <chrono>
#include <cstring>

namespace KVMedia
{
class CPacketFeedProducer : public IDeferredProducer
{
public:
    explicit CPacketFeedProducer(std::shared_ptr<CPacketFeed> pFeed)
        : m_pFeed(std::move(pFeed))
        , m_pPacket(av_packet_alloc())
    {
    }

    bool Open(int nWidth, int nHeight, int /*nDuration*/) override
    {
        AvCodecParametersPtr pParams(avcodec_parameters_alloc());
        if (!pParams || !m_pPacket)
            return false;
        pParams->codec_type = AVMEDIA_TYPE_VIDEO;
        pParams->codec_id = AVCodecID(m_pFeed->m_nCodecId);
        pParams->width = m_pFeed->m_nWidth;
        pParams->height = m_pFeed->m_nHeight;
        const bool bOpened = m_decoder.Open(pParams.get(), nWidth, nHeight);
        m_pFeed->m_nLowres = m_decoder.GetLowres();
        return bOpened;
    }

    int Receive(CStopSignal& stop) override
    {
        if (stop.IsRequested())
            return PRODUCE_STOPPED;
        std::vector<uint8_t> abPacket;
        if (!m_pFeed->Take(&abPacket))
            return RECEIVE_IDLE;
        if (av_new_packet(m_pPacket.get(), int(abPacket.size())) < 0)
            return PRODUCE_FAILED;
        std::memcpy(m_pPacket->data, abPacket.data(), abPacket.size());
        m_decoder.Keep(m_pPacket.get());
        return PRODUCE_FRAME;
    }

    bool DecodePending(uint8_t* pDst, int nStride) override
    {
        const bool bDecoded = m_decoder.DecodeKept(pDst, nStride);
        m_pFeed->m_nDecoded = m_decoder.GetDecodeCount();
        return bDecoded;
    }

private:
    const std::shared_ptr<CPacketFeed> m_pFeed;
    AvPacketPtr m_pPacket;
    CPacketDecoder m_decoder;
};

CPacketFeed::CPacketFeed(int nCodecId, int nWidth, int nHeight)
    : m_nCodecId(nCodecId)
    , m_nWidth(nWidth)
    , m_nHeight(nHeight)
{
}

void CPacketFeed::Push(std::vector<uint8_t> abPacket)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(abPacket));
    }
    m_cond.notify_all();
}

size_t CPacketFeed::GetQueued() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

bool CPacketFeed::Take(std::vector<uint8_t>* pabPacket)
{
    // As short as a device's poll, so a wanted picture is decoded promptly.
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_cond.wait_for(lock, std::chrono::milliseconds(2), [this] { return !m_queue.empty(); }))
        return false;
    *pabPacket = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

std::unique_ptr<IFrameProducer> CPacketFeed::CreateProducer()
{
    return std::make_unique<CPacketFeedProducer>(shared_from_this());
}
}
