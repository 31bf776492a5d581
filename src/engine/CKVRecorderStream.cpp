// Streaming: one client per target, each living exactly as long as the
// recording run and fed the same encoded packets as the file. A client
// queues what it is given and never waits for its server, so a slow or
// frozen server costs the others and the recording nothing.
#include "engine/CKVRecorder.h"

#include "engine/CAutoConvertString.h"
#include "engine/CVoIPAutoLock.h"
#include "engine/KVMediaError.h"
#include "media/KVEncoder.h"
#include "media/KVError.h"
#include "media/KVProtocol.h"
#include "media/KVStreamKey.h"
#include "platform/Log.h"

#include <thread>

namespace
{
// How long the client may take to reach the server, in ms.
const int CONNECT_TIMEOUT = 5000;
// Audio packets carry this many samples per channel.
const int AAC_FRAME_SAMPLES = 1024;

void LogClientTotals(const QString& strName, KVS_HANDLE hClient)
{
    KPL_RTMP_STATUS status = {};
    if (!KPL_GetRTMPStatus(hClient, &status))
        return;
    Log::Info("rtmp", QStringLiteral("%1: sent %2 video (%3 key) and %4 audio packets, dropped %5 video "
                                     "and %6 audio, %7 key frames asked for")
                          .arg(strName)
                          .arg(status.nVideoSent)
                          .arg(status.nKeyFramesSent)
                          .arg(status.nAudioSent)
                          .arg(status.nVideoDropped)
                          .arg(status.nAudioDropped)
                          .arg(status.nKeyFrameRequests));
}
}

void CKVRecorder::StartStreams(const std::vector<SStreamTarget>& vecTargets, bool bAudio, int nWidth, int nHeight,
                               int nDuration)
{
    m_bKeyFrameWanted.store(false);
    std::vector<std::unique_ptr<SStreamClient>> vecStreams;
    vecStreams.reserve(vecTargets.size());
    for (const SStreamTarget& target : vecTargets)
        vecStreams.push_back(StartStream(target, bAudio, nWidth, nHeight, nDuration));
    CVoIPAutoLock lockVideo(m_csRtmpVideo);
    CVoIPAutoLock lockAudio(m_csRtmpAudio);
    m_vecStreams = std::move(vecStreams);
}

std::unique_ptr<CKVRecorder::SStreamClient> CKVRecorder::StartStream(const SStreamTarget& target, bool bAudio,
                                                                     int nWidth, int nHeight, int nDuration)
{
    auto pStream = std::make_unique<SStreamClient>();
    pStream->pOwner = this;
    pStream->strName = target.strName;
    // The key is a secret: neither the log nor the status bar shows it.
    pStream->strShownUrl = MaskStreamKey(target.strUrl);
    CAutoConvertString url(target.strUrl, 0);
    const char* pszUrl = url.GetString();
    KVS_ClearLastError();
    KVS_HANDLE hClient =
        pszUrl ? KPL_CreateRTMPClient(pszUrl, "", "", CONNECT_TIMEOUT, &CKVRecorder::RtmpEventHandler, pStream.get())
               : nullptr;
    if (!hClient)
    {
        // Recording and the other streams go on without it; the status bar
        // tells why.
        Log::Error("rtmp", QStringLiteral("Cannot create the RTMP client for %1").arg(pStream->strShownUrl));
        pStream->strError = pszUrl ? CKVMediaError::TakeLastText(CKVMediaError::SOURCE_SERVER, pStream->strShownUrl)
                                   : CKVMediaError::GetText(CKVMediaError::SOURCE_SERVER, KVS_ERROR_BAD_ADDRESS,
                                                            QString(), pStream->strShownUrl, QString());
        return pStream;
    }
    // A server that restarts or a network that comes back must not end the
    // stream for the rest of the session; the recording never waits for it.
    KPL_SetRTMPAutoReconnect(hClient, 1);
    KPL_SetRTMPVideoFormat(hClient, nWidth, nHeight, nDuration, 10);
    if (bAudio)
        KPL_SetRTMPAudioFormat(hClient, KV_AUDIO_SAMPLE_RATE, 2, AAC_FRAME_SAMPLES);
    pStream->hClient = hClient;
    return pStream;
}

void CKVRecorder::StopStreams()
{
    std::vector<std::unique_ptr<SStreamClient>> vecStreams;
    {
        CVoIPAutoLock lockVideo(m_csRtmpVideo);
        CVoIPAutoLock lockAudio(m_csRtmpAudio);
        vecStreams.swap(m_vecStreams);
    }
    // Out of the locks, and side by side: each stalled server may hold its
    // client up to a second, and the user waits for the stop.
    std::vector<std::thread> vecThreads;
    for (const auto& pStream : vecStreams)
    {
        if (!pStream->hClient)
            continue;
        SStreamClient* pClient = pStream.get();
        vecThreads.emplace_back([pClient] {
            LogClientTotals(pClient->strName, pClient->hClient);
            KPL_DestroyRTMPClient(pClient->hClient);
        });
    }
    for (std::thread& thread : vecThreads)
        thread.join();
}

bool CKVRecorder::HasStreamClient() const
{
    for (const auto& pStream : m_vecStreams)
    {
        if (pStream->hClient)
            return true;
    }
    return false;
}

// The list changes only on the user-interface thread, which is the one
// asking here, so no lock is needed to read it.
QString CKVRecorder::GetStreamName(int nIndex) const
{
    return nIndex >= 0 && nIndex < GetStreamCount() ? m_vecStreams[size_t(nIndex)]->strName : QString();
}

QString CKVRecorder::GetStreamError(int nIndex) const
{
    return nIndex >= 0 && nIndex < GetStreamCount() ? m_vecStreams[size_t(nIndex)]->strError : QString();
}

CKVRecorder::StreamState CKVRecorder::GetStreamState(int nIndex, int& nAttempt) const
{
    nAttempt = 0;
    if (nIndex < 0 || nIndex >= GetStreamCount())
        return STREAM_NONE;
    KPL_RTMP_STATUS status = {};
    if (!GetStreamStatus(nIndex, status))
        return STREAM_FAILED;
    switch (status.nState)
    {
    case KPL_RTMP_CONNECTING:
        return STREAM_CONNECTING;
    case KPL_RTMP_PUBLISHING:
        return STREAM_PUBLISHING;
    case KPL_RTMP_STALLED:
        return STREAM_STALLED;
    case KPL_RTMP_RECONNECTING:
        nAttempt = status.nAttempt;
        return STREAM_RECONNECTING;
    default:
        return STREAM_FAILED;
    }
}

bool CKVRecorder::GetStreamStatus(int nIndex, KPL_RTMP_STATUS& status) const
{
    if (nIndex < 0 || nIndex >= GetStreamCount())
        return false;
    const KVS_HANDLE hClient = m_vecStreams[size_t(nIndex)]->hClient;
    return hClient && KPL_GetRTMPStatus(hClient, &status) != 0;
}

void CKVRecorder::OnVideoOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength)
{
    CVoIPAutoLock lock(m_csRtmpVideo);
    for (const auto& pStream : m_vecStreams)
    {
        if (pStream->hClient)
            KPL_WriteRTMPData(pStream->hClient, KVE_STREAM_VIDEO, pData, nLength, pSecond, nSecondLength);
    }
    // This is the encoder's own thread, so its handle stays valid here; the
    // request itself only sets a flag for the next frame.
    if (m_bKeyFrameWanted.exchange(false))
        KVE_H264EncoderRequestKeyFrame(m_hH264Encoder);
    if (nLength > 0)
        m_nEncodedVideoBytes.fetch_add(static_cast<uint64_t>(nLength));
}

void CKVRecorder::OnAudioOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength)
{
    if (nLength <= 0)
        return;
    CVoIPAutoLock lock(m_csRtmpAudio);
    for (const auto& pStream : m_vecStreams)
    {
        if (pStream->hClient)
            KPL_WriteRTMPData(pStream->hClient, KVE_STREAM_AUDIO, pData, nLength, pSecond, nSecondLength);
    }
}

void CKVRecorder::RtmpEventHandler(int nEvent, void* pUser)
{
    // Runs on the client's or the writer's thread, possibly with the
    // client's locks held: it only leaves a flag, and the state is read by
    // query instead. The stream outlives its client, whose events stop
    // before its destruction returns.
    const SStreamClient* pStream = static_cast<const SStreamClient*>(pUser);
    // A connection, first or again, opens on a key frame: the client holds
    // video back until one comes, and at the streaming interval that could
    // otherwise take up to two seconds.
    if (nEvent == KPL_EVENT_KEYFRAME_WANTED || nEvent == KPL_EVENT_CONNECTED)
        pStream->pOwner->m_bKeyFrameWanted.store(true);
    if (nEvent == KPL_EVENT_KEYFRAME_WANTED)
        return;
    Log::Info("rtmp", QStringLiteral("%1: RTMP client event %2").arg(pStream->strName).arg(nEvent));
}
