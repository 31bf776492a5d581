#include "RtmpPacketQueue.h"

#include "KVEncoder.h"

#include <algorithm>

CRtmpPacketQueue::CRtmpPacketQueue(int64_t nMaxSpan, size_t nMaxBytes) : m_nMaxSpan(nMaxSpan), m_nMaxBytes(nMaxBytes)
{
}

bool CRtmpPacketQueue::IsResumePoint(const CRtmpPacket& packet) const
{
    if (!m_bHasVideo)
        return true;
    return packet.nStream == KVE_STREAM_VIDEO && packet.bKeyFrame;
}

bool CRtmpPacketQueue::Push(CRtmpPacket&& packet)
{
    if (m_bWaitKey)
    {
        if (!IsResumePoint(packet))
        {
            ++m_nDropped;
            return false;
        }
        m_bWaitKey = false;
    }

    if (m_deqPackets.empty())
        m_nNewestDts = packet.nDts;
    else
        m_nNewestDts = std::max(m_nNewestDts, packet.nDts);

    bool bOverflow = m_nBytes + packet.vecData.size() > m_nMaxBytes;
    if (!m_deqPackets.empty() && m_nNewestDts - m_deqPackets.front().nDts > m_nMaxSpan)
        bOverflow = true;

    if (bOverflow)
    {
        m_nDropped += m_deqPackets.size();
        Clear();
        if (!IsResumePoint(packet) || packet.vecData.size() > m_nMaxBytes)
        {
            ++m_nDropped;
            m_bWaitKey = true;
            return false;
        }
        // A key frame can start afresh at once.
        m_nNewestDts = packet.nDts;
    }

    m_nBytes += packet.vecData.size();
    m_deqPackets.push_back(std::move(packet));
    return true;
}

bool CRtmpPacketQueue::Pop(CRtmpPacket& packet)
{
    if (m_deqPackets.empty())
        return false;
    packet = std::move(m_deqPackets.front());
    m_deqPackets.pop_front();
    m_nBytes -= packet.vecData.size();
    return true;
}

void CRtmpPacketQueue::Clear()
{
    m_deqPackets.clear();
    m_nBytes = 0;
}

void CRtmpPacketQueue::WaitForKeyFrame()
{
    m_bWaitKey = true;
}
