// One open capture: its format, its thread, its callback and the latest
// frame it produced (kept for the mixer). Shared-owned: the capture thread
// keeps its object alive, so closing from inside the callback is safe too.
#pragma once

#include "media/core/DeviceState.h"
#include "media/capture/DeferredProducer.h"
#include "media/capture/FrameRecycler.h"
#include "media/KVTypes.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace KVMedia
{
class CCaptureDevice : public std::enable_shared_from_this<CCaptureDevice>
{
public:
    explicit CCaptureDevice(std::shared_ptr<CVideoDeviceState> pDevice);
    ~CCaptureDevice();
    CCaptureDevice(const CCaptureDevice&) = delete;
    CCaptureDevice& operator=(const CCaptureDevice&) = delete;

    const std::shared_ptr<CVideoDeviceState>& GetDevice() const { return m_pDevice; }

    bool SetFormat(int nColor, int nWidth, int nHeight, int nDuration);
    void SetCallback(KVS_VIDEO_CAPTURE_CALLBACK pfn, void* pUser);
    // A capture that decodes its pictures hands the callback (a preview)
    // every picture a reader asked for, and on its own at most one per
    // interval: a preview is not worth decoding pictures nobody composes.
    void SetCallbackInterval(std::chrono::microseconds interval) { m_nCallbackIntervalUs = interval.count(); }
    // Where the next start takes its pictures from instead of the device:
    // benchmarks and tests feed pictures of their own (PacketFeed.h).
    using FnCreateProducer = std::function<std::unique_ptr<IFrameProducer>()>;
    void SetProducerFactory(FnCreateProducer fnCreate);
    bool Start();
    // Returns once the thread has ended, so no callback runs afterwards;
    // called from the callback itself it only asks the thread to end.
    void Stop();
    bool IsRunning() const;

    // Reading a frame also asks for the next one: a capture that decodes
    // its pictures decodes only those somebody asked for since the last.
    bool CopyLatestFrame(uint8_t* pDst, int nDstStride, int nWidth, int nHeight, uint64_t* pSeq) const;
    std::shared_ptr<const SCapturedFrame> AcquireLatestFrame(int nWidth, int nHeight, uint64_t nAfterSeq) const;
    // Pictures the device delivered, decoded or not.
    uint64_t GetLatestSeq() const;

private:
    bool IsCaptureThread() const { return m_idThread.load() == std::this_thread::get_id(); }
    bool StartLocked();
    void StopLocked();
    std::unique_ptr<IFrameProducer> CreateProducer() const;
    void Run(std::shared_ptr<CCaptureDevice> pSelf, std::unique_ptr<IFrameProducer> pProducer);
    void PublishBlack(std::unique_ptr<SCapturedFrame> pFrame, uint64_t nSeq);
    void RunEager(IFrameProducer* pProducer, int nWidth, int nHeight, uint64_t nSeq);
    void RunDeferred(IDeferredProducer* pProducer, int nWidth, int nHeight, uint64_t nSeq);
    // Publishes a frame and hands it to the callback; false when the
    // capture is to end.
    bool Deliver(std::unique_ptr<SCapturedFrame> pBack, int nStride);
    // The callback alone asks for a picture: one was last decoded at
    // tpLastDecode, at least an interval ago.
    bool IsCallbackDue(std::chrono::steady_clock::time_point tpLastDecode);

    const std::shared_ptr<CVideoDeviceState> m_pDevice;

    // Start, stop and format changes, from whichever thread calls them.
    mutable std::mutex m_mutexControl;
    int m_nWidth = 768;
    int m_nHeight = 576;
    int m_nDuration = 400000;
    bool m_bRunning = false;
    FnCreateProducer m_fnCreateProducer;
    std::thread m_thread;
    // Known to the thread before its first callback; lets calls made from
    // inside the callback avoid waiting for themselves.
    std::atomic<std::thread::id> m_idThread{};
    CStopSignal m_stop;

    // Held while the callback runs, so replacing it waits for a running
    // call; recursive so the callback may replace itself.
    std::recursive_mutex m_mutexCallback;
    KVS_VIDEO_CAPTURE_CALLBACK m_pfnCallback = nullptr;
    void* m_pUser = nullptr;
    // 25 a second: smooth in a preview, and no more than most outputs show.
    std::atomic<int64_t> m_nCallbackIntervalUs{40000};

    // The capture thread fills a frame of its own and publishes it as the
    // front under m_mutexFrame; readers take a reference to the front under
    // the same lock and read it unlocked, since a published frame is never
    // written again. Frames come back to the recycler when read.
    const std::shared_ptr<CFrameRecycler> m_pRecycler = std::make_shared<CFrameRecycler>();
    mutable std::mutex m_mutexFrame;
    std::shared_ptr<const SCapturedFrame> m_pFront;
    uint64_t m_nSeq = 0;
    // Set by every reader, cleared by the capture thread when it decodes.
    mutable std::atomic<bool> m_bFrameWanted{false};
};
}
