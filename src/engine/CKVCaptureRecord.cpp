// Recording: the encoders, the MP4 file, pacing the video against the audio
// clock, and the statistics of the status bar.
#include "CKVCapture.h"

#include "CSettings.h"
#include "CVoIPAutoLock.h"
#include "KVEncoder.h"
#include "KVRecordParams.h"
#include "KVRecordPacing.h"
#include "Platform.h"

#include <QDir>

namespace
{
// The muxer takes the path in a buffer of this many UTF-16 units.
const int MAX_PATH_UNITS = 260;
}

bool CKVCapture::StartRecord(const QString& strPath, const QString& strUrl)
{
    m_bStopped.store(1);

    // Asked before anything exists and before the encoder locks are taken:
    // a refused stream then leaves no empty file behind, and a notifier
    // that shows a message does not hold up the mixer thread meanwhile.
    if (!strUrl.isEmpty())
    {
        bool bAccepted = true;
        {
            CVoIPAutoLock lockNotify(m_csNotify);
            for (IKVRecordNotify* pNotify : m_listNotify)
            {
                if (pNotify->CheckRtmpSettings(0) == 0)
                {
                    bAccepted = false;
                    break;
                }
            }
        }
        if (!bAccepted)
        {
            StopRecord();
            return false;
        }
    }

    CVoIPAutoLock lockVideo(m_csVideoEncoder);
    CVoIPAutoLock lockAudio(m_csAudioEncoder);

    // A second start would otherwise lose the running encoders and file.
    if (m_hH264Encoder || m_hAACEncoder || m_hMp4Muxer || m_hRtmpClient)
        StopRecord();

    m_nEncodedVideoBytes.store(0);
    m_nComposedFrames = 0;

    KVEncoderOptions options;
    g_settings.GetEncoderParam(options.nProfile, options.nQuality, options.nBitrate, options.nMode,
                               options.nKeyFrame, options.nEncoderKind, options.nAudioBitrate,
                               options.nAudioQuality);
    int nWidth = 0;
    int nHeight = 0;
    int nDuration = 0;
    ReadOutputFormat(nWidth, nHeight, nDuration);

    int nPush = 0;
    QString strAddress;
    QString strPort;
    QString strStream;
    QString strStoredUrl;
    g_settings.GetRtmpServer(nPush, strAddress, strPort, strStream, strStoredUrl);

    const KVE_H264_PARAM paramVideo = BuildH264Param(options, nWidth, nHeight, nDuration, nPush != 0);
    m_hH264Encoder = KVE_CreateH264Encoder(EncoderType(options), KVS_COLOR_YUYV, &paramVideo,
                                           &CKVCapture::VideoOutputHandler, this);
    if (!m_hH264Encoder)
    {
        Platform::DebugOutput(QStringLiteral("Cannot create the H.264 encoder for %1x%2").arg(nWidth).arg(nHeight));
        return false;
    }
    m_nRecordDuration = nDuration;

    const bool bAudio = m_hPrimaryAudio.load() != nullptr;
    if (bAudio)
    {
        const KVE_AAC_PARAM paramAudio = BuildAacParam(options);
        m_hAACEncoder = KVE_CreateAACEncoder(KV_AUDIO_SAMPLE_RATE, &paramAudio, &CKVCapture::AudioOutputHandler, this);
        if (!m_hAACEncoder)
        {
            Platform::DebugOutput(QStringLiteral("Cannot create the AAC encoder"));
            StopRecord();
            return false;
        }
    }

    if (!strPath.isEmpty())
    {
        // The muxer's buffer is fixed; a longer path would be cut into a
        // different file name, so it is refused instead.
        const QString strNative = QDir::toNativeSeparators(strPath);
        if (strNative.size() >= MAX_PATH_UNITS)
        {
            Platform::DebugOutput(QStringLiteral("Recording path too long: %1").arg(strNative));
            StopRecord();
            return false;
        }
        m_hMp4Muxer = KVE_CreateMp4Muxer(reinterpret_cast<const char16_t*>(strNative.utf16()), m_hH264Encoder,
                                         m_hAACEncoder);
        if (!m_hMp4Muxer)
        {
            Platform::DebugOutput(QStringLiteral("Cannot create the file %1").arg(strNative));
            StopRecord();
            return false;
        }
    }

    if (!strUrl.isEmpty())
        StartStream(strUrl, bAudio, nWidth, nHeight, nDuration);

    m_nStatisticsStart = Platform::GetTickCount32();
    m_nVideoFramesEncoded.store(0);
    m_nAudioSamplesEncoded.store(0);
    m_nFramesSinceAudio.store(0);
    m_bStopped.store(0);
    return true;
}

void CKVCapture::StopRecord()
{
    m_bStopped.store(1);
    bool bMuxerFailed = false;
    {
        CVoIPAutoLock lockVideo(m_csVideoEncoder);
        CVoIPAutoLock lockAudio(m_csAudioEncoder);
        if (m_hMp4Muxer)
        {
            // A file stopped before its first frame has nothing to finish;
            // that is not a write failure.
            const bool bHadFrames = m_nVideoFramesEncoded.load() > 0;
            bMuxerFailed = KVE_DestroyMp4Muxer(m_hMp4Muxer) == 0 && bHadFrames;
            m_hMp4Muxer = nullptr;
        }
        if (m_hH264Encoder)
        {
            KVE_DestroyH264Encoder(m_hH264Encoder);
            m_hH264Encoder = nullptr;
        }
        if (m_hAACEncoder)
        {
            KVE_DestroyAACEncoder(m_hAACEncoder);
            m_hAACEncoder = nullptr;
        }
        // Cleared after the encoders are gone: their last packets are
        // flushed while they are destroyed.
        m_nEncodedVideoBytes.store(0);
    }
    StopStream();
    // A file that could not be finished must not pass for a good one.
    if (bMuxerFailed)
    {
        Platform::DebugOutput(QStringLiteral("The recording file could not be finished"));
        NotifyError(2);
    }
}

void CKVCapture::SetRecordingStopped()
{
    m_bStopped.store(1);
}

bool CKVCapture::IsRecording() const
{
    return m_bStopped.load() == 0;
}

void CKVCapture::EncodeFrame(const uint8_t* pFrame, int64_t nValue1)
{
    int nPuts = 0;
    int nFailures = 0;
    {
        CVoIPAutoLock lock(m_csVideoEncoder);
        ++m_nComposedFrames;
        if (m_bStopped.load() != 0 || !m_hH264Encoder)
            return;

        const int64_t nFrame = static_cast<int64_t>(++m_nVideoFramesEncoded);
        KVFramePacing pacing = KV_FRAME_ONCE;
        if (m_hAACEncoder)
        {
            // Counted in composed frames, not in time: the audio clock is
            // exactly what may have stopped.
            const int nSinceAudio = m_nFramesSinceAudio.fetch_add(1) + 1;
            const bool bStalled = nSinceAudio > FramesPerSecond(m_nRecordDuration);
            pacing = DecideFramePacing(nFrame, m_nAudioSamplesEncoded.load(), m_nRecordDuration, bStalled);
        }
        if (pacing == KV_FRAME_TWICE)
            ++m_nVideoFramesEncoded;
        else if (pacing == KV_FRAME_DROP)
            --m_nVideoFramesEncoded;

        nPuts = static_cast<int>(pacing);
        for (int nPut = 0; nPut < nPuts; ++nPut)
        {
            if (!KVE_H264EncoderPutFrame(m_hH264Encoder, pFrame, nValue1))
                ++nFailures;
        }
    }
    // Reported outside the encoder lock: a notifier may stop the recording.
    for (int nFailure = 0; nFailure < nFailures; ++nFailure)
        NotifyError(1);
}

void CKVCapture::NotifyError(int nCode)
{
    CVoIPAutoLock lock(m_csNotify);
    for (IKVRecordNotify* pNotify : m_listNotify)
        pNotify->OnError(nCode);
}

void CKVCapture::VideoOutputHandler(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength,
                                    void* pUser)
{
    static_cast<CKVCapture*>(pUser)->OnVideoOutput(pData, nLength, pSecond, nSecondLength);
}

void CKVCapture::AudioOutputHandler(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength,
                                    void* pUser)
{
    static_cast<CKVCapture*>(pUser)->OnAudioOutput(pData, nLength, pSecond, nSecondLength);
}

bool CKVCapture::GetStatistics(float& fByteRate, float& fFrameRate)
{
    CVoIPAutoLock lockVideo(m_csVideoEncoder);
    CVoIPAutoLock lockRtmp(m_csRtmpVideo);
    const uint32_t nNow = Platform::GetTickCount32();
    const uint32_t nElapsed = nNow - m_nStatisticsStart;
    if (nElapsed == 0)
        return false;
    fByteRate = static_cast<float>(m_nEncodedVideoBytes.load() * 1000 / nElapsed);
    fFrameRate = static_cast<float>(static_cast<double>(m_nComposedFrames) * 1000.0 / nElapsed);
    if (nElapsed > 5000)
    {
        m_nEncodedVideoBytes.store(0);
        m_nComposedFrames = 0;
        m_nStatisticsStart = nNow;
    }
    return true;
}

uint64_t CKVCapture::GetByteRate() const
{
    const uint32_t nElapsed = Platform::GetTickCount32() - m_nStatisticsStart;
    if (nElapsed == 0)
        return 0;
    return m_nEncodedVideoBytes.load() * 1000 / nElapsed;
}

uint64_t CKVCapture::GetFinishReserve() const
{
    return (m_nAudioSamplesEncoded.load() / 1024 + m_nVideoFramesEncoded.load()) * 8 + 4096;
}
