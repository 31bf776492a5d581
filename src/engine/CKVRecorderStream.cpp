// Streaming: the RTMP client lives exactly as long as a recording run and is
// fed the same encoded packets as the file.
#include "engine/CKVRecorder.h"

#include "engine/CAutoConvertString.h"
#include "engine/CVoIPAutoLock.h"
#include "engine/KVMediaError.h"
#include "media/KVEncoder.h"
#include "media/KVError.h"
#include "media/KVProtocol.h"
#include "media/KVStreamKey.h"
#include "platform/Log.h"

namespace
{
// How long the client may take to reach the server, in ms.
const int CONNECT_TIMEOUT = 5000;
// Audio packets carry this many samples per channel.
const int AAC_FRAME_SAMPLES = 1024;
}

void CKVRecorder::StartStream(const QString& strUrl, bool bAudio, int nWidth, int nHeight, int nDuration)
{
    m_bStreamWanted = true;
    m_strStreamError.clear();
    m_bKeyFrameWanted.store(false);
    CAutoConvertString url(strUrl, 0);
    const char* pszUrl = url.GetString();
    KVS_ClearLastError();
    KVS_HANDLE hClient =
        pszUrl ? KPL_CreateRTMPClient(pszUrl, "", "", CONNECT_TIMEOUT, &CKVRecorder::RtmpEventHandler, this) : nullptr;
    if (!hClient)
    {
        // Recording goes on without the stream; the status bar tells why.
        // The key is a secret: neither the log nor the status bar shows it.
        const QString strShown = MaskStreamKey(strUrl);
        Log::Error("rtmp", QStringLiteral("Cannot create the RTMP client for %1").arg(strShown));
        m_strStreamError = pszUrl ? CKVMediaError::TakeLastText(CKVMediaError::SOURCE_SERVER, strShown)
                                  : CKVMediaError::GetText(CKVMediaError::SOURCE_SERVER, KVS_ERROR_BAD_ADDRESS,
                                                           QString(), strShown, QString());
        return;
    }
    // A server that restarts or a network that comes back must not end the
    // stream for the rest of the session; the recording never waits for it.
    KPL_SetRTMPAutoReconnect(hClient, 1);
    KPL_SetRTMPVideoFormat(hClient, nWidth, nHeight, nDuration, 10);
    if (bAudio)
        KPL_SetRTMPAudioFormat(hClient, KV_AUDIO_SAMPLE_RATE, 2, AAC_FRAME_SAMPLES);

    CVoIPAutoLock lockVideo(m_csRtmpVideo);
    CVoIPAutoLock lockAudio(m_csRtmpAudio);
    m_hRtmpClient = hClient;
}

void CKVRecorder::StopStream()
{
    CVoIPAutoLock lockVideo(m_csRtmpVideo);
    CVoIPAutoLock lockAudio(m_csRtmpAudio);
    m_bStreamWanted = false;
    m_strStreamError.clear();
    if (m_hRtmpClient)
    {
        KPL_RTMP_STATUS status = {};
        if (KPL_GetRTMPStatus(m_hRtmpClient, &status))
            Log::Info("rtmp", QStringLiteral("sent %1 video (%2 key) and %3 audio packets, dropped %4 video "
                                             "and %5 audio, %6 key frames asked for")
                                  .arg(status.nVideoSent)
                                  .arg(status.nKeyFramesSent)
                                  .arg(status.nAudioSent)
                                  .arg(status.nVideoDropped)
                                  .arg(status.nAudioDropped)
                                  .arg(status.nKeyFrameRequests));
        KPL_DestroyRTMPClient(m_hRtmpClient);
        m_hRtmpClient = nullptr;
    }
}

// m_hRtmpClient changes only on the user-interface thread, which is the one
// asking here, so no lock is needed to read it.
CKVRecorder::StreamState CKVRecorder::GetStreamState(int& nAttempt) const
{
    nAttempt = 0;
    KPL_RTMP_STATUS status = {};
    if (!GetStreamStatus(status))
        return m_bStreamWanted ? STREAM_FAILED : STREAM_NONE;
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

bool CKVRecorder::GetStreamStatus(KPL_RTMP_STATUS& status) const
{
    return m_hRtmpClient && KPL_GetRTMPStatus(m_hRtmpClient, &status) != 0;
}

void CKVRecorder::OnVideoOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength)
{
    CVoIPAutoLock lock(m_csRtmpVideo);
    if (m_hRtmpClient)
        KPL_WriteRTMPData(m_hRtmpClient, KVE_STREAM_VIDEO, pData, nLength, pSecond, nSecondLength);
    // This is the encoder's own thread, so its handle stays valid here; the
    // request itself only sets a flag for the next frame.
    if (m_bKeyFrameWanted.exchange(false))
        KVE_H264EncoderRequestKeyFrame(m_hH264Encoder);
    if (nLength > 0)
        m_nEncodedVideoBytes.fetch_add(static_cast<uint64_t>(nLength));
}

void CKVRecorder::OnAudioOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength)
{
    CVoIPAutoLock lock(m_csRtmpAudio);
    if (m_hRtmpClient && nLength > 0)
        KPL_WriteRTMPData(m_hRtmpClient, KVE_STREAM_AUDIO, pData, nLength, pSecond, nSecondLength);
}

void CKVRecorder::RtmpEventHandler(int nEvent, void* pUser)
{
    // Runs on the client's or the writer's thread, possibly with the
    // client's locks held: it only leaves a flag, and the state is read by
    // query instead.
    // A connection, first or again, opens on a key frame: the client holds
    // video back until one comes, and at the streaming interval that could
    // otherwise take up to two seconds.
    if (nEvent == KPL_EVENT_KEYFRAME_WANTED || nEvent == KPL_EVENT_CONNECTED)
        static_cast<CKVRecorder*>(pUser)->m_bKeyFrameWanted.store(true);
    if (nEvent == KPL_EVENT_KEYFRAME_WANTED)
        return;
    Log::Info("rtmp", QStringLiteral("RTMP client event %1").arg(nEvent));
}
