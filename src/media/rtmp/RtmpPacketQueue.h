// The RTMP client's send queue. Not locked itself: the client guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

struct CRtmpPacket
{
    int nStream = 0;            // KVE_STREAM_VIDEO or KVE_STREAM_AUDIO
    bool bKeyFrame = false;
    int64_t nPts = 0;           // 100-ns units
    int64_t nDts = 0;
    int64_t nDuration = 0;
    std::vector<uint8_t> vecData;
};

// Holds at most nMaxSpan (100-ns units) of packets by timestamp, or nMaxBytes.
// When either is exceeded everything queued is dropped and so is every new
// packet until the next video key frame, so the far end never gets a picture
// that refers to a frame it did not receive.
class CRtmpPacketQueue
{
public:
    explicit CRtmpPacketQueue(int64_t nMaxSpan = 20000000, size_t nMaxBytes = 64u << 20);

    // False when the packet was dropped.
    bool Push(CRtmpPacket&& packet);
    bool Pop(CRtmpPacket& packet);
    void Clear();
    // Drop until the next video key frame (start of a stream, reconnection).
    void WaitForKeyFrame();
    // Without video, any packet ends the wait for a key frame.
    void SetHasVideo(bool bHasVideo) { m_bHasVideo = bHasVideo; }

    bool IsEmpty() const { return m_deqPackets.empty(); }
    size_t GetCount() const { return m_deqPackets.size(); }
    bool IsWaitingForKeyFrame() const { return m_bWaitKey; }
    uint64_t GetDroppedCount() const { return m_nDropped; }

private:
    bool IsResumePoint(const CRtmpPacket& packet) const;

    std::deque<CRtmpPacket> m_deqPackets;
    int64_t m_nMaxSpan;
    size_t m_nMaxBytes;
    size_t m_nBytes = 0;
    int64_t m_nNewestDts = 0;
    bool m_bWaitKey = true;
    bool m_bHasVideo = true;
    uint64_t m_nDropped = 0;
};
