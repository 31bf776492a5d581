// One open audio capture: a server source or the virtual tone, re-blocked
// into fixed-size blocks and handed to the callbacks on a thread of its own.
#pragma once

#include "media/audio/AudioMonitor.h"
#include "media/core/DeviceList.h"
#include "media/KVAudio.h"
#include "media/audio/PulseConnection.h"
#include "media/audio/ToneGenerator.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace KVMedia
{
class CAudioCapture
{
public:
    explicit CAudioCapture(const SAudioDeviceDesc& desc);
    ~CAudioCapture();
    CAudioCapture(const CAudioCapture&) = delete;
    CAudioCapture& operator=(const CAudioCapture&) = delete;

    // A real source needs the server: false when it does not answer.
    bool Open();
    bool SetFormat(int nSampleRate, int nChannels, int nBlockSamples);
    void SetDataCallback(KVS_AUDIO_CAPTURE_CALLBACK pfn, void* pUser);
    void SetMeterCallback(KVS_AUDIO_METER_CALLBACK pfn, void* pUser);
    bool SetMonitor(bool bOn);
    bool Start();
    bool Stop();
    // True on this capture's own delivery thread (inside its callbacks).
    bool IsOwnThread() const;

private:
    bool SourceExists();
    bool StartRecordStream();
    void StopRecordStream();
    void RunQueue();
    void RunTone();
    void Deliver(const uint8_t* pBlock, size_t nLength);
    void Append(const uint8_t* pData, size_t nLength);

    static void OnStreamState(pa_stream* pStream, void* pUser);
    static void OnStreamRead(pa_stream* pStream, size_t nBytes, void* pUser);

    const SAudioDeviceDesc m_desc;
    int m_nBlockBytes = 1024 * 4;

    std::unique_ptr<CPulseConnection> m_pConnection; // real sources only
    pa_stream* m_pRecord = nullptr;

    // Samples from the server waiting to be cut into blocks.
    std::mutex m_mutexQueue;
    std::condition_variable m_condQueue;
    std::vector<uint8_t> m_vecQueue;
    bool m_bStopping = false;
    std::thread m_thread;
    // Set by the delivery thread itself: the first block may be delivered
    // before m_thread is even assigned.
    std::atomic<std::thread::id> m_idDelivery{};
    std::atomic<bool> m_bRunning{false};

    // Recursive: a callback may detach itself from inside its own call.
    std::recursive_mutex m_mutexCallbacks;
    KVS_AUDIO_CAPTURE_CALLBACK m_pfnData = nullptr;
    void* m_pDataUser = nullptr;
    KVS_AUDIO_METER_CALLBACK m_pfnMeter = nullptr;
    void* m_pMeterUser = nullptr;

    std::mutex m_mutexMonitor;
    std::unique_ptr<CAudioMonitor> m_pMonitor;
};
}
