// Recording: the encoders, the MP4 file, pacing the video against the audio
// clock, and the statistics of the status bar.
#include "engine/CKVRecorder.h"

#include "engine/CVoIPAutoLock.h"
#include "engine/KVMediaError.h"
#include "engine/KVUtf16.h"
#include "media/KVError.h"
#include "media/KVStream.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <QDir>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace
{
// The muxer takes the path in a buffer of this many UTF-16 units.
const int MAX_PATH_UNITS = 260;
const int AUDIO_BYTES_PER_SAMPLE = 4;

// Monotonic time in 100-ns units.
int64_t MonotonicNow()
{
    using namespace std::chrono;
    return duration_cast<duration<int64_t, std::ratio<1, 10000000>>>(steady_clock::now().time_since_epoch()).count();
}
}

CKVRecorder::CKVRecorder(FnError fnError)
    : m_fnError(std::move(fnError))
{
}

CKVRecorder::~CKVRecorder()
{
    // The engine is a global: the media layer may be gone by now, so a run
    // is ended by Stop, never here.
}

bool CKVRecorder::Start(const SRecordParams& params, QString& strReason)
{
    m_bStopped.store(true);
    strReason.clear();

    CVoIPAutoLock lockVideo(m_csVideoEncoder);
    CVoIPAutoLock lockAudio(m_csAudioEncoder);
    m_bWriteFailed.store(false);

    m_nEncodedVideoBytes.store(0);
    m_nComposedFrames = 0;

    const KVE_H264_PARAM& paramVideo = params.paramVideo;
    const int nWidth = paramVideo.nWidth;
    const int nHeight = paramVideo.nHeight;
    const int nDuration = paramVideo.nDuration;
    KVS_ClearLastError();
    m_hH264Encoder =
        KVE_CreateH264Encoder(params.nEncoderType, KVS_COLOR_YUYV, &paramVideo, &CKVRecorder::VideoOutputHandler, this);
    if (!m_hH264Encoder)
    {
        Log::Error("engine", QStringLiteral("Cannot create the H.264 encoder for %1x%2").arg(nWidth).arg(nHeight));
        const QString strSettings = QStringLiteral("%1x%2, %3 fps, %4 Kbps")
                                        .arg(nWidth)
                                        .arg(nHeight)
                                        .arg(nDuration > 0 ? 10000000.0 / nDuration : 0.0, 0, 'g', 4)
                                        .arg(paramVideo.nBitrate);
        strReason = CKVMediaError::TakeLastText(CKVMediaError::SOURCE_VIDEO_ENCODER, QString(), strSettings);
        return false;
    }
    m_nRecordDuration = nDuration;

    if (params.bAudio)
    {
        const KVE_AAC_PARAM& paramAudio = params.paramAudio;
        m_hAACEncoder = KVE_CreateAACEncoder(KV_AUDIO_SAMPLE_RATE, &paramAudio, &CKVRecorder::AudioOutputHandler, this);
        if (!m_hAACEncoder)
        {
            Log::Error("engine", QStringLiteral("Cannot create the AAC encoder"));
            strReason = CKVMediaError::TakeLastText(CKVMediaError::SOURCE_AUDIO_ENCODER, QString(),
                                                    QStringLiteral("%1 Kbps").arg(paramAudio.nBitrate));
            Stop();
            return false;
        }
    }

    const QString& strPath = params.strPath;
    if (!strPath.isEmpty())
    {
        // The muxer's buffer is fixed; a longer path would be cut into a
        // different file name, so it is refused instead.
        const QString strNative = QDir::toNativeSeparators(strPath);
        if (strNative.size() >= MAX_PATH_UNITS)
        {
            Log::Warning("engine", QStringLiteral("Recording path too long: %1").arg(strNative));
            strReason = CKVMediaError::tr("The file path is longer than %1 characters.").arg(MAX_PATH_UNITS - 1);
            Stop();
            return false;
        }
        m_hMp4Muxer = KVE_CreateMp4Muxer(KVUtf16(strNative), m_hH264Encoder, m_hAACEncoder);
        if (!m_hMp4Muxer)
        {
            Log::Error("engine", QStringLiteral("Cannot create the file %1").arg(strNative));
            strReason = CKVMediaError::TakeLastText(CKVMediaError::SOURCE_FILE, strPath);
            Stop();
            return false;
        }
    }

    StartStreams(params.vecStreams, params.bAudio, nWidth, nHeight, nDuration);

    m_nStatisticsStart = Platform::GetTickCount32();
    m_nFileBytesAtStatistics.store(0);
    m_nVideoFramesEncoded.store(0);
    m_nAudioSamplesEncoded.store(0);
    m_nRecordStart = MonotonicNow();
    m_clockAudio.Start(m_nRecordStart);
    m_placerVideo.Start(nDuration);
    m_bStopped.store(false);
    return true;
}

void CKVRecorder::Stop()
{
    m_bStopped.store(true);
    bool bMuxerFailed = false;
    {
        CVoIPAutoLock lockVideo(m_csVideoEncoder);
        CVoIPAutoLock lockAudio(m_csAudioEncoder);
        if (m_hH264Encoder && m_hAACEncoder && !m_bWriteFailed.load())
            AlignTrackEndsLocked();
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
    StopStreams();
    // A file that could not be finished must not pass for a good one; a
    // write failure already told is not told again.
    if (bMuxerFailed)
    {
        Log::Error("engine", QStringLiteral("The recording file could not be finished"));
        ReportWriteFailure();
    }
}

void CKVRecorder::EncodeFrame(const uint8_t* pFrame)
{
    int nResult = 1;
    {
        CVoIPAutoLock lock(m_csVideoEncoder);
        ++m_nComposedFrames;
        if (m_bStopped.load() || !m_hH264Encoder)
            return;
        const int64_t nSlot = m_placerVideo.Place(RecordTimeLocked(MonotonicNow()));
        if (nSlot < 0)
            return;
        nResult = PutVideoFrameLocked(pFrame, nSlot);
    }
    // Reported outside the encoder lock: a notifier may stop the recording.
    if (nResult == 0)
        m_fnError(RECORD_ERROR_ENCODE);
    else if (nResult < 0)
        ReportWriteFailure();
}

int64_t CKVRecorder::RecordTimeLocked(int64_t nNow)
{
    if (!m_hAACEncoder)
        return nNow - m_nRecordStart;
    CVoIPAutoLock lockAudio(m_csAudioEncoder);
    // A device that stopped delivering is covered with silence, so the
    // picture goes on and the sound that follows is in step with it.
    PutSilenceLocked(m_clockAudio.TakeStallSilence(nNow));
    // Blocks come one by one, or in lumps on a busy machine: between two the
    // picture runs on by half a frame and a block at most, so that a frame
    // never lies more than a frame and a block from its sound.
    return m_clockAudio.GetTime(nNow, m_nRecordDuration / 2 + SamplesToTime(KV_AUDIO_BLOCK_SAMPLES));
}

int CKVRecorder::PutVideoFrameLocked(const uint8_t* pFrame, int64_t nSlot)
{
    const int nResult = KVE_H264EncoderPutFrame(m_hH264Encoder, pFrame, nSlot * m_nRecordDuration);
    if (nResult == 0)
        return 0;
    ++m_nVideoFramesEncoded;
    return nResult;
}

void CKVRecorder::AlignTrackEndsLocked()
{
    const int64_t nAudioEnd = SamplesToTime(m_clockAudio.GetSamples());
    // The encoder may have held up the last frames while the sound went on:
    // the last picture stands for the rest.
    const int64_t nSlot = m_placerVideo.EndSlot(nAudioEnd);
    if (nSlot >= 0 && KVE_H264EncoderRepeatFrame(m_hH264Encoder, nSlot * m_nRecordDuration) != 0)
    {
        m_placerVideo.Place(nSlot * m_nRecordDuration);
        ++m_nVideoFramesEncoded;
    }
    // A device that fell silent shortly before the stop leaves the picture
    // longer than the sound.
    const int64_t nVideoEnd = m_placerVideo.GetEnd();
    if (nVideoEnd > nAudioEnd + SamplesToTime(KV_AUDIO_BLOCK_SAMPLES))
    {
        const uint64_t nSilence = TimeToSamples(nVideoEnd - nAudioEnd);
        m_clockAudio.AddSilence(nSilence, MonotonicNow());
        PutSilenceLocked(nSilence);
    }
}

void CKVRecorder::EncodeAudioBlock(const uint8_t* pData, int nLength)
{
    CVoIPAutoLock lock(m_csAudioEncoder);
    if (m_bStopped.load() || !m_hAACEncoder || nLength <= 0)
        return;
    const uint64_t nSamples = static_cast<uint64_t>(nLength / AUDIO_BYTES_PER_SAMPLE);
    // After a stall, the time the device lost goes in as silence before the
    // block, so that the sound stays with its picture.
    PutSilenceLocked(m_clockAudio.OnBlock(nSamples, MonotonicNow()));
    KVE_AACEncoderPutFrame(m_hAACEncoder, pData, nLength);
}

void CKVRecorder::PutSilenceLocked(uint64_t nSamples)
{
    static const std::vector<uint8_t> s_vecSilence(size_t(KV_AUDIO_BLOCK_SAMPLES) * AUDIO_BYTES_PER_SAMPLE, 0);
    while (nSamples > 0)
    {
        const uint64_t nPart = std::min<uint64_t>(nSamples, KV_AUDIO_BLOCK_SAMPLES);
        KVE_AACEncoderPutFrame(m_hAACEncoder, s_vecSilence.data(), int(nPart) * AUDIO_BYTES_PER_SAMPLE);
        nSamples -= nPart;
    }
    m_nAudioSamplesEncoded.store(m_clockAudio.GetSamples());
}

void CKVRecorder::ReportWriteFailure()
{
    // Nothing more reaches the file; the session ends with the first report.
    m_bStopped.store(true);
    if (!m_bWriteFailed.exchange(true))
        m_fnError(RECORD_ERROR_WRITE);
}

void CKVRecorder::VideoOutputHandler(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength,
                                     void* pUser)
{
    static_cast<CKVRecorder*>(pUser)->OnVideoOutput(pData, nLength, pSecond, nSecondLength);
}

void CKVRecorder::AudioOutputHandler(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength,
                                     void* pUser)
{
    static_cast<CKVRecorder*>(pUser)->OnAudioOutput(pData, nLength, pSecond, nSecondLength);
}

bool CKVRecorder::GetStatistics(float& fByteRate, float& fFrameRate, bool& bPeriodEnded)
{
    bPeriodEnded = false;
    {
        CVoIPAutoLock lockVideo(m_csVideoEncoder);
        CVoIPAutoLock lockRtmp(m_csRtmpVideo);
        const uint32_t nNow = Platform::GetTickCount32();
        const uint32_t nElapsed = nNow - m_nStatisticsStart;
        if (nElapsed == 0)
            return false;
        fByteRate = static_cast<float>(static_cast<double>(BytesSinceStatistics()) * 1000.0 / nElapsed);
        fFrameRate = static_cast<float>(static_cast<double>(m_nComposedFrames) * 1000.0 / nElapsed);
        if (nElapsed > 5000)
        {
            m_nEncodedVideoBytes.store(0);
            int64_t nWritten = 0;
            int64_t nPending = 0;
            if (m_hMp4Muxer && KVE_GetMp4MuxerBytes(m_hMp4Muxer, &nWritten, &nPending))
                m_nFileBytesAtStatistics.store(uint64_t(nWritten + nPending));
            m_nComposedFrames = 0;
            m_nStatisticsStart = nNow;
            bPeriodEnded = true;
        }
    }
    return true;
}

void CKVRecorder::ResetStatistics()
{
    CVoIPAutoLock lock(m_csVideoEncoder);
    m_nComposedFrames = 0;
    m_nStatisticsStart = Platform::GetTickCount32();
}

uint64_t CKVRecorder::GetByteRate() const
{
    const uint32_t nElapsed = Platform::GetTickCount32() - m_nStatisticsStart;
    if (nElapsed == 0)
        return 0;
    return BytesSinceStatistics() * 1000 / nElapsed;
}

uint64_t CKVRecorder::BytesSinceStatistics() const
{
    // The file's own growth is what fills the disk: sound, picture and the
    // container's boxes alike.
    int64_t nWritten = 0;
    int64_t nPending = 0;
    if (!m_hMp4Muxer || !KVE_GetMp4MuxerBytes(m_hMp4Muxer, &nWritten, &nPending))
        return m_nEncodedVideoBytes.load();
    const uint64_t nFileBytes = uint64_t(nWritten + nPending);
    const uint64_t nBase = m_nFileBytesAtStatistics.load();
    return nFileBytes > nBase ? nFileBytes - nBase : 0;
}

uint64_t CKVRecorder::GetFinishReserve() const
{
    // The packets held for the file's next fragment are written when it is
    // finished, besides its index.
    int64_t nWritten = 0;
    int64_t nPending = 0;
    if (!m_hMp4Muxer || !KVE_GetMp4MuxerBytes(m_hMp4Muxer, &nWritten, &nPending))
        nPending = 0;
    return (m_nAudioSamplesEncoded.load() / 1024 + m_nVideoFramesEncoded.load()) * 8 + 4096 + uint64_t(nPending);
}
