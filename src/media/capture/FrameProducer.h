// What a capture thread pulls its pictures from: a virtual test picture or a
// real device. The capture thread itself (CCaptureDevice) is the same for
// both, so everything after the source behaves alike.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace KVMedia
{
// 100-nanosecond ticks, the unit of every frame duration of this layer.
using FrameTicks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;

// Lets a capture thread sleep until its next deadline yet wake at once when
// it is told to stop.
class CStopSignal
{
public:
    void Request()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop = true;
        }
        m_cond.notify_all();
    }
    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = false;
    }
    bool IsRequested() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bStop;
    }
    // False when stopping was requested before the deadline.
    bool WaitUntil(std::chrono::steady_clock::time_point tpDeadline)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return !m_cond.wait_until(lock, tpDeadline, [this] { return m_bStop; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_bStop = false;
};

class IFrameProducer
{
public:
    enum
    {
        PRODUCE_FAILED = -1,
        PRODUCE_STOPPED = 0,
        PRODUCE_FRAME = 1
    };

    virtual ~IFrameProducer() = default;
    // Prepares a format of exactly nWidth x nHeight packed YUYV. Runs on the
    // thread that starts the capture, before the capture thread exists.
    virtual bool Open(int nWidth, int nHeight, int nDuration) = 0;
    // Waits for the next picture and writes it to pDst. Runs on the capture
    // thread; returns one of the PRODUCE_ values.
    virtual int Produce(uint8_t* pDst, int nStride, CStopSignal& stop) = 0;
};
}
