// Streaming: the RTMP client lives exactly as long as a recording run and is
// fed the same encoded packets as the file.
#include "CKVCapture.h"

#include "CAutoConvertString.h"
#include "CVoIPAutoLock.h"
#include "KVEncoder.h"
#include "KVProtocol.h"
#include "KVRecordPacing.h"
#include "Platform.h"

namespace
{
// How long the client may take to reach the server, in ms.
const int CONNECT_TIMEOUT = 5000;
// Audio packets carry this many samples per channel.
const int AAC_FRAME_SAMPLES = 1024;
}

void CKVCapture::StartStream(const QString& strUrl, bool bAudio, int nWidth, int nHeight, int nDuration)
{
    CAutoConvertString url(strUrl, 0);
    const char* pszUrl = url.GetString();
    KVS_HANDLE hClient = pszUrl ? KPL_CreateRTMPClient(pszUrl, "", "", CONNECT_TIMEOUT,
                                                       &CKVCapture::RtmpEventHandler, this)
                                : nullptr;
    if (!hClient)
    {
        // Recording goes on without the stream.
        Platform::DebugOutput(QStringLiteral("Cannot create the RTMP client for %1").arg(strUrl));
        return;
    }
    KPL_SetRTMPAutoReconnect(hClient, 0);
    KPL_SetRTMPVideoFormat(hClient, nWidth, nHeight, nDuration, 10);
    if (bAudio)
        KPL_SetRTMPAudioFormat(hClient, KV_AUDIO_SAMPLE_RATE, 2, AAC_FRAME_SAMPLES);

    CVoIPAutoLock lockVideo(m_csRtmpVideo);
    CVoIPAutoLock lockAudio(m_csRtmpAudio);
    m_hRtmpClient = hClient;
}

void CKVCapture::StopStream()
{
    CVoIPAutoLock lockVideo(m_csRtmpVideo);
    CVoIPAutoLock lockAudio(m_csRtmpAudio);
    if (m_hRtmpClient)
    {
        KPL_DestroyRTMPClient(m_hRtmpClient);
        m_hRtmpClient = nullptr;
    }
}

void CKVCapture::OnVideoOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength)
{
    CVoIPAutoLock lock(m_csRtmpVideo);
    if (m_hRtmpClient)
        KPL_WriteRTMPData(m_hRtmpClient, KVE_STREAM_VIDEO, pData, nLength, pSecond, nSecondLength);
    if (nLength > 0)
        m_nEncodedVideoBytes.fetch_add(static_cast<uint64_t>(nLength));
}

void CKVCapture::OnAudioOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength)
{
    CVoIPAutoLock lock(m_csRtmpAudio);
    if (m_hRtmpClient && nLength > 0)
        KPL_WriteRTMPData(m_hRtmpClient, KVE_STREAM_AUDIO, pData, nLength, pSecond, nSecondLength);
}

void CKVCapture::RtmpEventHandler(int nEvent, void* pUser)
{
    // Connection changes are not acted on: the recording runs either way.
    (void)pUser;
    Platform::DebugOutput(QStringLiteral("RTMP client event %1").arg(nEvent));
}
