#include "media/rtmp/RtmpClient.h"

#include "media/KVStreamKey.h"
#include "media/rtmp/AvcConfig.h"
#include "media/rtmp/StreamUrl.h"
#include "platform/Log.h"
#include "platform/Platform.h"

extern "C"
{
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

#include <algorithm>
#include <chrono>

namespace
{
int64_t NowMs()
{
    return av_gettime_relative() / 1000;
}

const AVRational kTicks = {1, 10000000};

// Waits between reconnection attempts: doubling from the first to the last.
const int FIRST_RETRY_MS = 1000;
const int MAX_RETRY_MS = 30000;

// A send that waits this long means the server has stopped reading (or the
// network has gone quiet): longer than the queue lasts, so that a server
// that is merely slow shows as dropped pictures first, never as stalled.
const int STALL_MS = 3000;

QString ErrorText(int nError)
{
    char szText[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(nError, szText, sizeof(szText));
    return QString::fromUtf8(szText);
}
}

CRtmpClient::CRtmpClient(const std::string& strUrl, int nTimeout, KPL_EVENT_CALLBACK pfn, void* pUser)
    : m_strUrl(strUrl)
    , m_nTimeout(nTimeout > 0 ? nTimeout : 5000)
    , m_pfnEvent(pfn)
    , m_pUser(pUser)
{
}

CRtmpClient::~CRtmpClient()
{
    if (m_thread.joinable())
        m_thread.detach();
    Close();
}

bool CRtmpClient::Start()
{
    m_pSelf = shared_from_this();
    try
    {
        m_thread = std::thread([this] { Run(); });
    }
    catch (...)
    {
        m_pSelf.reset();
        return false;
    }
    return true;
}

void CRtmpClient::SetAutoReconnect(bool bEnable)
{
    bool bRevive = false;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_bAutoReconnect = bEnable;
        // A server that refuses at once can end the first attempt before
        // the caller had a chance to ask for reconnection; a client told to
        // keep trying must not stay given up.
        bRevive = bEnable && m_bFinished && !m_bClosing;
        if (bRevive)
        {
            m_bFinished = false;
            m_nState = KPL_RTMP_RECONNECTING;
            m_nAttempt = 1;
        }
    }
    if (!bRevive)
        return;
    if (m_thread.joinable())
        m_thread.join();
    if (!Start())
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_bFinished = true;
        m_nState = KPL_RTMP_FAILED;
    }
}

void CRtmpClient::SetVideoFormat(int nWidth, int nHeight, int nDuration)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_bVideoFormat = true;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nDuration = nDuration;
    m_queue.SetHasVideo(true);
}

void CRtmpClient::SetAudioFormat(int nSampleRate, int nChannels, int nFrameSamples)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_bAudioFormat = true;
    m_nSampleRate = nSampleRate > 0 ? nSampleRate : 48000;
    m_nChannels = nChannels > 0 ? nChannels : 2;
    m_nFrameSamples = nFrameSamples > 0 ? nFrameSamples : 1024;
}

void CRtmpClient::StoreExtraData(int nStream, const KVE_PACKET_INFO& info)
{
    std::vector<uint8_t>& vecExtra = nStream == KVE_STREAM_VIDEO ? m_vecVideoExtra : m_vecAudioExtra;
    if (vecExtra.empty() && info.pExtraData && info.nExtraData > 0)
    {
        if (nStream == KVE_STREAM_VIDEO)
        {
            vecExtra = MakeAvcConfig(info.pExtraData, info.nExtraData);
            m_nVideoExtraTime = NowMs();
        }
        else
            vecExtra.assign(info.pExtraData, info.pExtraData + info.nExtraData);
        m_cv.notify_all();
    }
    // Without video announced, audio alone may make the stream.
    if (!m_bVideoFormat && nStream == KVE_STREAM_AUDIO && m_vecVideoExtra.empty())
        m_queue.SetHasVideo(false);
    else if (nStream == KVE_STREAM_VIDEO)
        m_queue.SetHasVideo(true);
}

bool CRtmpClient::Write(int nStream, const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info)
{
    if (nStream != KVE_STREAM_VIDEO && nStream != KVE_STREAM_AUDIO)
        return false;
    // Copied before the lock is taken: the client's thread waits for it.
    CRtmpPacket packet;
    packet.nStream = nStream;
    packet.bKeyFrame = nStream == KVE_STREAM_AUDIO || info.bKeyFrame != 0;
    packet.nPts = info.nPts;
    packet.nDts = info.nDts;
    packet.nDuration = info.nDuration;
    packet.vecData.assign(pData, pData + nLength);
    bool bQueued;
    bool bWantKey;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_bClosing || m_bFinished)
            return false;
        StoreExtraData(nStream, info);
        bQueued = m_queue.Push(std::move(packet));
        bWantKey = nStream == KVE_STREAM_VIDEO && TakeKeyFrameWish(bQueued);
        if (bQueued)
            m_cv.notify_all();
    }
    // Outside the lock: the owner may answer on this very thread.
    if (bWantKey)
        Notify(KPL_EVENT_KEYFRAME_WANTED);
    return bQueued;
}

bool CRtmpClient::TakeKeyFrameWish(bool bQueued)
{
    if (bQueued)
    {
        // A picture got in: the gap, if there was one, is over.
        m_bGapAsked = false;
        return false;
    }
    // Only a connection that is up can use a key frame at once; one made
    // while connecting would be stale before it could be sent. The answer
    // takes the encoder's delay to come, so one request per gap; and a
    // server that took nothing since the last one would drop the next key
    // frame as well. A stalled connection is still up: its first gap asks
    // like any other, whether the stall or the gap was seen first.
    const bool bUp = m_nState == KPL_RTMP_PUBLISHING || m_nState == KPL_RTMP_STALLED;
    if (!m_queue.IsWaitingForKeyFrame() || !bUp || m_bGapAsked || m_bKeyRequested)
        return false;
    m_bGapAsked = true;
    m_bKeyRequested = true;
    ++m_nKeyFrameRequests;
    return true;
}

void CRtmpClient::GetStatus(KPL_RTMP_STATUS& status)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    status.nState = m_nState;
    status.nAttempt = m_nAttempt;
    status.nVideoSent = m_nVideoSent;
    status.nKeyFramesSent = m_nKeyFramesSent;
    status.nAudioSent = m_nAudioSent;
    status.nVideoDropped = m_queue.GetVideoDroppedCount();
    status.nAudioDropped = m_queue.GetAudioDroppedCount();
    status.nAudioQueued = m_queue.GetAudioCount();
    status.nKeyFrameRequests = m_nKeyFrameRequests;
}

void CRtmpClient::Stop()
{
    {
        // After this no event reaches the owner, who may be going away.
        std::lock_guard<std::recursive_mutex> lockCallback(m_mtxCallback);
        m_pfnEvent = nullptr;
    }
    {
        std::unique_lock<std::mutex> lock(m_mtx);
        m_bClosing = true;
        m_nCloseDeadline = NowMs() + 600;
        m_cv.notify_all();
        if (m_thread.get_id() == std::this_thread::get_id())
        {
            // Called from our own event callback: the thread ends by itself.
            m_bAbort = true;
            m_thread.detach();
            return;
        }
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(700), [this] { return m_bFinished; }))
        {
            m_bAbort = true;
            m_cv.wait_for(lock, std::chrono::milliseconds(400), [this] { return m_bFinished; });
        }
    }
    if (m_thread.joinable())
    {
        bool bFinished;
        {
            std::lock_guard<std::mutex> lock(m_mtx);
            bFinished = m_bFinished;
        }
        if (bFinished)
            m_thread.join();
        else
        {
            Log::Warning("rtmp",
                         QStringLiteral("the server does not respond; the connection is left to close by itself"));
            m_thread.detach();
        }
    }
}

int CRtmpClient::OnInterrupt(void* pOpaque)
{
    CRtmpClient* pThis = static_cast<CRtmpClient*>(pOpaque);
    if (pThis->m_bAbort || pThis->m_bStallAbort)
        return 1;
    int64_t nNow = NowMs();
    int64_t nConnect = pThis->m_nConnectDeadline;
    int64_t nClose = pThis->m_nCloseDeadline;
    if ((nConnect && nNow > nConnect) || (nClose && nNow > nClose))
        return 1;
    // The library asks this every tenth of a second or so while a send
    // waits for the server, which is the only time a stall can be seen.
    return pThis->m_nSendSince && pThis->CheckStall(nNow);
}

bool CRtmpClient::CheckStall(int64_t nNow)
{
    const int64_t nWaited = nNow - m_nSendSince;
    if (nWaited < STALL_MS)
        return false;
    int64_t nQueueMs;
    bool bNew = false;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_bClosing)
            return false; // Stop's own deadline decides
        if (!m_bStalled)
        {
            m_bStalled = bNew = true;
            m_nState = KPL_RTMP_STALLED;
        }
        nQueueMs = m_queue.GetMaxSpan() / 10000;
    }
    if (bNew)
        Log::Warning("rtmp", QStringLiteral("the server has taken nothing for %1 s").arg(nWaited / 1000.0));
    // Once everything the queue holds has been waiting longer than it can
    // hold, nothing of it is worth sending: a new connection that starts
    // at the next key frame is the quickest way back for the viewers, and
    // the only one if the server or its network has lost this one.
    if (nWaited < STALL_MS + nQueueMs)
        return false;
    Log::Warning("rtmp", QStringLiteral("giving the stalled connection up after %1 s").arg(nWaited / 1000.0));
    m_bStallAbort = true;
    return true;
}

void CRtmpClient::EndStall()
{
    if (!m_bStalled)
        return;
    m_bStalled = false;
    std::lock_guard<std::mutex> lock(m_mtx);
    if (m_nState == KPL_RTMP_STALLED)
        m_nState = KPL_RTMP_PUBLISHING;
    Log::Info("rtmp", QStringLiteral("the server takes the stream again"));
}

bool CRtmpClient::IsClosing()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_bClosing;
}

void CRtmpClient::Notify(int nEvent)
{
    std::lock_guard<std::recursive_mutex> lock(m_mtxCallback);
    if (m_pfnEvent)
        m_pfnEvent(nEvent, m_pUser);
}

void CRtmpClient::Pause(int nMs)
{
    std::unique_lock<std::mutex> lock(m_mtx);
    m_cv.wait_for(lock, std::chrono::milliseconds(nMs), [this] { return m_bClosing; });
}

void CRtmpClient::Run()
{
    Platform::SetThreadName("kpl-rtmp");
    std::shared_ptr<CRtmpClient> pSelf = std::move(m_pSelf);
    // A server that is down for long is not hammered, yet one that comes
    // back soon is found soon.
    int nRetryMs = FIRST_RETRY_MS;
    bool bRevived = false;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        bRevived = m_nAttempt > 0;
    }
    // Revived after the first attempt had failed: that failure already
    // happened, so the first wait comes before the next attempt, as it
    // would have had reconnection been on from the start.
    if (bRevived)
    {
        Pause(nRetryMs);
        nRetryMs *= 2;
    }
    while (!IsClosing())
    {
        bool bConnected = Connect();
        if (bConnected)
        {
            OnConnected();
            nRetryMs = FIRST_RETRY_MS;
            Notify(KPL_EVENT_CONNECTED);
            bool bStopped = Stream();
            // A stalled connection is closed with its waits cut short.
            Close();
            m_bStallAbort = false;
            m_bStalled = false;
            if (bStopped)
                break;
        }
        bool bRetry = OnConnectionEnded();
        if (!IsClosing())
            Notify(bConnected ? KPL_EVENT_DISCONNECTED : KPL_EVENT_FAILED);
        if (!bRetry)
            break;
        Pause(nRetryMs);
        nRetryMs = std::min(nRetryMs * 2, MAX_RETRY_MS);
    }
    std::lock_guard<std::mutex> lock(m_mtx);
    m_queue.Clear();
    m_bFinished = true;
    m_cv.notify_all();
}

void CRtmpClient::OnConnected()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_nState = KPL_RTMP_PUBLISHING;
    m_nAttempt = 0;
    m_bGapAsked = false;
    m_bKeyRequested = false;
}

bool CRtmpClient::OnConnectionEnded()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    const bool bRetry = m_bAutoReconnect && !m_bClosing;
    // What was queued for the lost connection is stale by the time a new
    // one exists.
    m_queue.Clear();
    m_queue.WaitForKeyFrame();
    if (!m_bClosing)
    {
        m_nState = bRetry ? KPL_RTMP_RECONNECTING : KPL_RTMP_FAILED;
        if (bRetry)
            ++m_nAttempt;
    }
    return bRetry;
}

bool CRtmpClient::Connect()
{
    // The scheme chooses container and protocol; the URL was checked when
    // the client was made.
    CStreamAddress address;
    ParseStreamAddress(m_strUrl, address);
    CStreamOpen open = PrepareStreamOpen(m_strUrl, address.nScheme, m_nTimeout);
    const int nAlloc = avformat_alloc_output_context2(KVMedia::AvOut(m_pContext), nullptr,
                                                      GetStreamMuxer(address.nScheme), open.strUrl.c_str());
    if (nAlloc < 0 || !m_pContext)
    {
        Log::Error(
            "rtmp",
            QStringLiteral("cannot set up a stream for %1").arg(MaskStreamKey(QString::fromStdString(m_strUrl))));
        m_pContext.reset();
        return false;
    }
    m_pContext->interrupt_callback.callback = &CRtmpClient::OnInterrupt;
    m_pContext->interrupt_callback.opaque = this;
    // Live: every packet leaves at once instead of waiting in a buffer.
    m_pContext->flush_packets = 1;

    m_nConnectDeadline = NowMs() + m_nTimeout;
    int nResult = avio_open2(&m_pContext->pb, open.strUrl.c_str(), AVIO_FLAG_WRITE, &m_pContext->interrupt_callback,
                             KVMedia::AvOut(open.pOptions));
    m_nConnectDeadline = 0;
    if (nResult < 0)
    {
        Log::Error("rtmp", QStringLiteral("connection to %1 failed: %2")
                               .arg(MaskStreamKey(QString::fromStdString(m_strUrl)), ErrorText(nResult)));
        Close();
        return false;
    }
    return true;
}

bool CRtmpClient::WriteHeader()
{
    std::vector<uint8_t> vecVideo, vecAudio;
    int nWidth, nHeight, nDuration, nSampleRate, nChannels, nFrameSamples;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        vecVideo = m_vecVideoExtra;
        vecAudio = m_bAudioFormat ? m_vecAudioExtra : std::vector<uint8_t>();
        nWidth = m_nWidth;
        nHeight = m_nHeight;
        nDuration = m_nDuration;
        nSampleRate = m_nSampleRate;
        nChannels = m_nChannels;
        nFrameSamples = m_nFrameSamples;
    }

    m_nVideoIndex = m_nAudioIndex = -1;
    if (!vecVideo.empty())
    {
        AVStream* pStream = avformat_new_stream(m_pContext.get(), nullptr);
        if (!pStream)
            return false;
        AVCodecParameters* pPar = pStream->codecpar;
        pPar->codec_type = AVMEDIA_TYPE_VIDEO;
        pPar->codec_id = AV_CODEC_ID_H264;
        pPar->width = nWidth;
        pPar->height = nHeight;
        pStream->time_base = {1, 1000};
        if (nDuration > 0)
            pStream->avg_frame_rate = av_d2q(10000000.0 / nDuration, 100000);
        if (!KVMedia::SetExtraData(pPar, vecVideo))
            return false;
        m_nVideoIndex = pStream->index;
    }
    if (!vecAudio.empty())
    {
        AVStream* pStream = avformat_new_stream(m_pContext.get(), nullptr);
        if (!pStream)
            return false;
        AVCodecParameters* pPar = pStream->codecpar;
        pPar->codec_type = AVMEDIA_TYPE_AUDIO;
        pPar->codec_id = AV_CODEC_ID_AAC;
        pPar->sample_rate = nSampleRate;
        av_channel_layout_default(&pPar->ch_layout, nChannels);
        pPar->frame_size = nFrameSamples;
        pStream->time_base = {1, 1000};
        if (!KVMedia::SetExtraData(pPar, vecAudio))
            return false;
        m_nAudioIndex = pStream->index;
    }
    m_nLastDts[0] = m_nLastDts[1] = INT64_MIN;

    int nResult = avformat_write_header(m_pContext.get(), nullptr);
    if (nResult < 0)
    {
        Log::Error("rtmp", QStringLiteral("stream header not accepted: %1").arg(ErrorText(nResult)));
        return false;
    }
    return true;
}

CRtmpClient::WriteResult CRtmpClient::WritePacket(const CRtmpPacket& packet)
{
    int nIndex = packet.nStream == KVE_STREAM_VIDEO ? m_nVideoIndex : m_nAudioIndex;
    if (nIndex < 0)
        return WRITE_SKIPPED;
    AVStream* pStream = m_pContext->streams[nIndex];
    KVMedia::AvPacketPtr pPacket(av_packet_alloc());
    if (!pPacket || av_new_packet(pPacket.get(), int(packet.vecData.size())) < 0)
        return WRITE_SKIPPED; // out of memory costs this packet, not the connection
    memcpy(pPacket->data, packet.vecData.data(), packet.vecData.size());
    pPacket->stream_index = nIndex;
    pPacket->pts = av_rescale_q(packet.nPts, kTicks, pStream->time_base);
    pPacket->dts = av_rescale_q(packet.nDts, kTicks, pStream->time_base);
    pPacket->duration = av_rescale_q(packet.nDuration, kTicks, pStream->time_base);
    if (packet.bKeyFrame)
        pPacket->flags |= AV_PKT_FLAG_KEY;

    // The muxer refuses time going backwards; one such packet is not worth
    // the connection.
    int64_t& nLast = m_nLastDts[packet.nStream == KVE_STREAM_VIDEO ? 1 : 0];
    if (pPacket->dts < nLast)
        return WRITE_SKIPPED;
    nLast = pPacket->dts;

    int nResult = m_nVideoIndex >= 0 && m_nAudioIndex >= 0 ? av_interleaved_write_frame(m_pContext.get(), pPacket.get())
                                                           : av_write_frame(m_pContext.get(), pPacket.get());
    if (nResult < 0)
    {
        Log::Error("rtmp", QStringLiteral("sending failed: %1").arg(ErrorText(nResult)));
        return WRITE_FAILED;
    }
    return WRITE_SENT;
}

void CRtmpClient::CountSent(const CRtmpPacket& packet)
{
    if (packet.nStream != KVE_STREAM_VIDEO)
        ++m_nAudioSent;
    else
    {
        ++m_nVideoSent;
        if (packet.bKeyFrame)
            ++m_nKeyFramesSent;
    }
}

bool CRtmpClient::Stream()
{
    // The header needs the codec headers, which come with the first packets.
    {
        std::unique_lock<std::mutex> lock(m_mtx);
        auto ready = [this] {
            if (m_bClosing)
                return true;
            bool bVideoReady = !m_vecVideoExtra.empty() || (!m_bVideoFormat && !m_vecAudioExtra.empty());
            // Announced audio that does not come (its encoder failed) must
            // not hold the picture back for good; the queue's two seconds
            // would be gone first.
            bool bAudioReady = !m_bAudioFormat || !m_vecAudioExtra.empty() ||
                               (!m_vecVideoExtra.empty() && NowMs() - m_nVideoExtraTime > 1500);
            return bVideoReady && bAudioReady;
        };
        while (!ready())
            m_cv.wait_for(lock, std::chrono::milliseconds(100));
        if (m_bClosing && m_vecVideoExtra.empty() && m_vecAudioExtra.empty())
            return true;
        if (m_bAudioFormat && m_vecAudioExtra.empty() && !m_bClosing)
            Log::Warning("rtmp", QStringLiteral("no audio arrived; streaming the picture alone"));
    }
    m_nSendSince = NowMs();
    const bool bHeader = WriteHeader();
    m_nSendSince = 0;
    if (!bHeader)
        return IsClosing();
    EndStall();

    bool bSent = false;
    for (;;)
    {
        CRtmpPacket packet;
        bool bHave;
        bool bClosing;
        {
            std::unique_lock<std::mutex> lock(m_mtx);
            // The server moves again: a key frame asked for may have been
            // dropped once more, and a new one can now get through.
            if (bSent)
                m_bKeyRequested = false;
            m_cv.wait(lock, [this] { return m_bClosing || !m_queue.IsEmpty(); });
            bHave = m_queue.Pop(packet);
            bClosing = m_bClosing;
            // Counted as it leaves the queue, so that every packet is always
            // either queued or sent, even while a send hangs.
            if (bHave)
                CountSent(packet);
        }
        if (!bHave && bClosing)
            break;
        bSent = false;
        if (!bHave)
            continue;
        m_nSendSince = NowMs();
        const WriteResult result = WritePacket(packet);
        m_nSendSince = 0;
        if (result == WRITE_FAILED)
            return IsClosing();
        bSent = result == WRITE_SENT;
        if (bSent)
            EndStall();
    }
    av_write_trailer(m_pContext.get());
    return true;
}

void CRtmpClient::Close()
{
    if (!m_pContext)
        return;
    m_pContext.reset();
    m_nVideoIndex = m_nAudioIndex = -1;
}
