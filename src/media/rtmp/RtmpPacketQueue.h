// The RTMP client's send queue. Not locked itself: the client guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

struct CRtmpPacket
{
    int nStream = 0; // KVE_STREAM_VIDEO or KVE_STREAM_AUDIO
    bool bKeyFrame = false;
    int64_t nPts = 0; // 100-ns units
    int64_t nDts = 0;
    int64_t nDuration = 0;
    std::vector<uint8_t> vecData;
    uint64_t nOrder = 0; // arrival order across both streams
};

// Video is what a slow connection cannot carry, and the far end can only
// resume a picture at a key frame, so congestion costs video alone: beyond
// nMaxSpan (100-ns units, by timestamp) or nMaxBytes of queued video, every
// queued video packet is dropped and so is every new one until the next key
// frame. Audio is small and a gap in it is what viewers notice most; it has
// its own, larger bound and loses only its oldest packets beyond it. At the
// start of a connection everything waits for a video key frame, so that the
// stream opens on a picture with its sound.
class CRtmpPacketQueue
{
public:
    explicit CRtmpPacketQueue(int64_t nMaxSpan = 20000000, size_t nMaxBytes = 64u << 20,
                              int64_t nMaxAudioSpan = 100000000, size_t nMaxAudioBytes = 4u << 20);

    // False when the packet was dropped.
    bool Push(CRtmpPacket&& packet);
    // The oldest packet by arrival.
    bool Pop(CRtmpPacket& packet);
    void Clear();
    // Drop everything until the next video key frame (a new connection).
    void WaitForKeyFrame();
    // Without video, any packet starts the stream, and audio is bounded
    // like video since it is all there is.
    void SetHasVideo(bool bHasVideo) { m_bHasVideo = bHasVideo; }

    bool IsEmpty() const { return m_deqVideo.empty() && m_deqAudio.empty(); }
    size_t GetCount() const { return m_deqVideo.size() + m_deqAudio.size(); }
    size_t GetAudioCount() const { return m_deqAudio.size(); }
    // True while video packets are turned away for want of a key frame.
    bool IsWaitingForKeyFrame() const { return m_bWaitStart || m_bWaitVideoKey; }
    uint64_t GetDroppedCount() const { return m_nVideoDropped + m_nAudioDropped; }
    uint64_t GetVideoDroppedCount() const { return m_nVideoDropped; }
    uint64_t GetAudioDroppedCount() const { return m_nAudioDropped; }
    // How much video the queue holds before it drops, 100-ns units.
    int64_t GetMaxSpan() const { return m_nMaxSpan; }

private:
    bool PushVideo(CRtmpPacket&& packet);
    bool PushAudio(CRtmpPacket&& packet);
    void DropQueuedVideo();

    std::deque<CRtmpPacket> m_deqVideo;
    std::deque<CRtmpPacket> m_deqAudio;
    int64_t m_nMaxSpan;
    size_t m_nMaxBytes;
    int64_t m_nMaxAudioSpan;
    size_t m_nMaxAudioBytes;
    size_t m_nVideoBytes = 0;
    size_t m_nAudioBytes = 0;
    int64_t m_nNewestVideoDts = 0;
    uint64_t m_nNextOrder = 0;
    bool m_bWaitStart = true;
    bool m_bWaitVideoKey = false;
    bool m_bHasVideo = true;
    uint64_t m_nVideoDropped = 0;
    uint64_t m_nAudioDropped = 0;
};
