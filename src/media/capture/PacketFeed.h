// Compressed pictures handed over in memory instead of read from a device.
// A capture fed this way decodes exactly as a camera's capture does, so
// benchmarks and tests can run that path with pictures they made themselves.
#pragma once

#include "media/capture/DeferredProducer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace KVMedia
{
class CPacketFeed : public std::enable_shared_from_this<CPacketFeed>
{
public:
    // nCodecId: an AVCodecID; nWidth x nHeight: the size of every picture.
    CPacketFeed(int nCodecId, int nWidth, int nHeight);

    // Queues one picture, as a device would deliver it. Any thread.
    void Push(std::vector<uint8_t> abPacket);
    // Pictures pushed and not yet taken in by the capture.
    size_t GetQueued() const;
    // Pictures the capture has decoded so far, and at which reduction.
    uint64_t GetDecodeCount() const { return m_nDecoded.load(); }
    int GetLowres() const { return m_nLowres.load(); }

    // A producer for CCaptureDevice::SetProducerFactory reading this feed.
    std::unique_ptr<IFrameProducer> CreateProducer();

private:
    friend class CPacketFeedProducer;
    // The oldest queued picture, waiting a moment for one; false if none.
    bool Take(std::vector<uint8_t>* pabPacket);

    const int m_nCodecId;
    const int m_nWidth;
    const int m_nHeight;
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<std::vector<uint8_t>> m_queue;
    std::atomic<uint64_t> m_nDecoded{0};
    std::atomic<int> m_nLowres{0};
};
}
