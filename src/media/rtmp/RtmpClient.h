// One RTMP publishing connection with its own thread. The thread owns the
// network; callers only ever touch the queue, so a slow or stalled server
// costs them dropped packets, never waiting.
#pragma once

#include "media/KVEncoder.h"
#include "media/KVProtocol.h"
#include "media/core/AvPtr.h"
#include "media/rtmp/RtmpPacketQueue.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CRtmpClient : public std::enable_shared_from_this<CRtmpClient>
{
public:
    CRtmpClient(const std::string& strUrl, int nTimeout, KPL_EVENT_CALLBACK pfn, void* pUser);
    ~CRtmpClient();

    bool Start();
    void SetAutoReconnect(bool bEnable);
    void SetVideoFormat(int nWidth, int nHeight, int nDuration);
    void SetAudioFormat(int nSampleRate, int nChannels, int nFrameSamples);
    bool Write(int nStream, const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info);
    void GetStatus(KPL_RTMP_STATUS& status);
    // Sends what is queued if that is quick, then ends the thread; gives up
    // on a stalled server after about a second.
    void Stop();

private:
    void Run();
    bool Connect();
    // Writes packets until stopped (true) or the connection fails (false).
    bool Stream();
    bool WriteHeader();
    // Under m_mtx: keeps the codec headers the first packets bring.
    void StoreExtraData(int nStream, const KVE_PACKET_INFO& info);
    enum WriteResult
    {
        WRITE_FAILED,
        WRITE_SKIPPED,
        WRITE_SENT
    };
    WriteResult WritePacket(const CRtmpPacket& packet);
    // Under m_mtx.
    void CountSent(const CRtmpPacket& packet);
    void OnConnected();
    // After a failed or lost connection; true when another attempt follows.
    bool OnConnectionEnded();
    // Under m_mtx, after a video packet was offered to the queue.
    bool TakeKeyFrameWish(bool bQueued);
    void Close();
    void Notify(int nEvent);
    // Sleeps up to nMs unless stopping.
    void Pause(int nMs);
    bool IsClosing();
    static int OnInterrupt(void* pOpaque);
    // From the interrupt callback while a send waits: true once the wait
    // has lasted long enough to give the connection up.
    bool CheckStall(int64_t nNow);
    // A send has gone through: a stall, if there was one, is over.
    void EndStall();

    const std::string m_strUrl;
    const int m_nTimeout;

    std::recursive_mutex m_mtxCallback;
    KPL_EVENT_CALLBACK m_pfnEvent;
    void* m_pUser;

    // Guards everything below up to the thread's own members.
    std::mutex m_mtx;
    std::condition_variable m_cv;
    CRtmpPacketQueue m_queue;
    bool m_bAutoReconnect = false;
    bool m_bClosing = false;
    bool m_bFinished = false;
    bool m_bVideoFormat = false;
    bool m_bAudioFormat = false;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nDuration = 0;
    int m_nSampleRate = 48000;
    int m_nChannels = 2;
    int m_nFrameSamples = 1024;
    int m_nState = KPL_RTMP_CONNECTING;
    int m_nAttempt = 0;
    // A key frame was asked for in the current gap in the video.
    bool m_bGapAsked = false;
    // A key frame was asked for and the server has taken nothing since.
    bool m_bKeyRequested = false;
    uint64_t m_nKeyFrameRequests = 0;
    // Packets taken from the queue for the connection.
    uint64_t m_nVideoSent = 0;
    uint64_t m_nKeyFramesSent = 0;
    uint64_t m_nAudioSent = 0;
    std::vector<uint8_t> m_vecVideoExtra;
    std::vector<uint8_t> m_vecAudioExtra;
    int64_t m_nVideoExtraTime = 0; // ms, when the video header arrived

    std::atomic<bool> m_bAbort{false};
    std::atomic<int64_t> m_nConnectDeadline{0};
    std::atomic<int64_t> m_nCloseDeadline{0};

    std::thread m_thread;
    // Keeps the client alive for a thread that outlives Stop().
    std::shared_ptr<CRtmpClient> m_pSelf;

    // Thread only.
    // Its pb is the connection, closed with it.
    KVMedia::AvOutputPtr m_pContext;
    int m_nVideoIndex = -1;
    int m_nAudioIndex = -1;
    int64_t m_nLastDts[2] = {INT64_MIN, INT64_MIN};
    // When the send under way began (ms), 0 while none is.
    int64_t m_nSendSince = 0;
    bool m_bStalled = false;
    // The stalled connection is being given up: every wait in it ends.
    bool m_bStallAbort = false;
};
