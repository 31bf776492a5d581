#include "media/rtmp/RtmpPacketQueue.h"

#include "media/KVEncoder.h"

#include <algorithm>

CRtmpPacketQueue::CRtmpPacketQueue(int64_t nMaxSpan, size_t nMaxBytes, int64_t nMaxAudioSpan, size_t nMaxAudioBytes)
    : m_nMaxSpan(nMaxSpan)
    , m_nMaxBytes(nMaxBytes)
    , m_nMaxAudioSpan(nMaxAudioSpan)
    , m_nMaxAudioBytes(nMaxAudioBytes)
{
}

bool CRtmpPacketQueue::Push(CRtmpPacket&& packet)
{
    const bool bVideo = packet.nStream == KVE_STREAM_VIDEO;
    if (m_bWaitStart)
    {
        const bool bStarts = !m_bHasVideo || (bVideo && packet.bKeyFrame);
        if (!bStarts)
        {
            ++(bVideo ? m_nVideoDropped : m_nAudioDropped);
            return false;
        }
        m_bWaitStart = false;
        m_bWaitVideoKey = false;
    }
    packet.nOrder = m_nNextOrder++;
    return bVideo ? PushVideo(std::move(packet)) : PushAudio(std::move(packet));
}

bool CRtmpPacketQueue::PushVideo(CRtmpPacket&& packet)
{
    if (m_bWaitVideoKey)
    {
        if (!packet.bKeyFrame)
        {
            ++m_nVideoDropped;
            return false;
        }
        m_bWaitVideoKey = false;
    }

    m_nNewestVideoDts = m_deqVideo.empty() ? packet.nDts : std::max(m_nNewestVideoDts, packet.nDts);
    const bool bOverflow = m_nVideoBytes + packet.vecData.size() > m_nMaxBytes ||
                           (!m_deqVideo.empty() && m_nNewestVideoDts - m_deqVideo.front().nDts > m_nMaxSpan);
    if (bOverflow)
    {
        DropQueuedVideo();
        if (!packet.bKeyFrame || packet.vecData.size() > m_nMaxBytes)
        {
            ++m_nVideoDropped;
            m_bWaitVideoKey = true;
            return false;
        }
        // A key frame can start afresh at once.
        m_nNewestVideoDts = packet.nDts;
    }
    m_nVideoBytes += packet.vecData.size();
    m_deqVideo.push_back(std::move(packet));
    return true;
}

bool CRtmpPacketQueue::PushAudio(CRtmpPacket&& packet)
{
    const int64_t nMaxSpan = m_bHasVideo ? m_nMaxAudioSpan : m_nMaxSpan;
    const size_t nMaxBytes = m_bHasVideo ? m_nMaxAudioBytes : m_nMaxBytes;
    if (packet.vecData.size() > nMaxBytes)
    {
        ++m_nAudioDropped;
        return false;
    }
    m_nAudioBytes += packet.vecData.size();
    m_deqAudio.push_back(std::move(packet));
    // Only a server that has stopped taking anything gets this far behind;
    // the oldest sound is the least worth sending then.
    const int64_t nNewest = m_deqAudio.back().nDts;
    while (m_deqAudio.size() > 1 && (m_nAudioBytes > nMaxBytes || nNewest - m_deqAudio.front().nDts > nMaxSpan))
    {
        m_nAudioBytes -= m_deqAudio.front().vecData.size();
        m_deqAudio.pop_front();
        ++m_nAudioDropped;
    }
    return true;
}

void CRtmpPacketQueue::DropQueuedVideo()
{
    m_nVideoDropped += m_deqVideo.size();
    m_deqVideo.clear();
    m_nVideoBytes = 0;
}

bool CRtmpPacketQueue::Pop(CRtmpPacket& packet)
{
    std::deque<CRtmpPacket>* pFrom = nullptr;
    if (!m_deqVideo.empty() && (m_deqAudio.empty() || m_deqVideo.front().nOrder < m_deqAudio.front().nOrder))
        pFrom = &m_deqVideo;
    else if (!m_deqAudio.empty())
        pFrom = &m_deqAudio;
    else
        return false;
    packet = std::move(pFrom->front());
    pFrom->pop_front();
    (pFrom == &m_deqVideo ? m_nVideoBytes : m_nAudioBytes) -= packet.vecData.size();
    return true;
}

void CRtmpPacketQueue::Clear()
{
    m_deqVideo.clear();
    m_deqAudio.clear();
    m_nVideoBytes = 0;
    m_nAudioBytes = 0;
}

void CRtmpPacketQueue::WaitForKeyFrame()
{
    m_bWaitStart = true;
    m_bWaitVideoKey = false;
}
