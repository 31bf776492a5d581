// One recording run: the H.264 and AAC encoders, the MP4 file and the RTMP
// client they feed, the pacing of the picture against the sound and the
// statistics of the status bar. The capture engine owns one and hands it
// the run's parameters as plain values; the recorder reads no settings, so
// that it can be started on its own.
//
// Threads: Start, Stop, SetStopped and the statistics run on the
// user-interface thread; EncodeFrame on the mixer thread; EncodeAudioBlock on
// the audio thread; the output handlers on the encoders' threads; the stream
// event handler on the RTMP client's threads.
//
// Locks (ranks in KVLockRank.h): the video-encoder lock, the audio-encoder
// lock, the RTMP-video lock and the RTMP-audio lock, taken in that order.
// The error handler is called with none of them held.
#pragma once

#include "engine/CVoIPCritSec.h"
#include "engine/KVLockRank.h"
#include "engine/KVRecordPacing.h"
#include "media/KVEncoder.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct KPL_RTMP_STATUS;

// One place the run streams to: a name for the user and the address the
// client is given (its key included).
struct SStreamTarget
{
    QString strName;
    QString strUrl;
};

// What one run records and how; the engine builds it from the settings.
struct SRecordParams
{
    // KVE_ENCODER_SOFTWARE or KVE_ENCODER_HARDWARE.
    int nEncoderType = KVE_ENCODER_SOFTWARE;
    // Also gives the run's output size and frame duration.
    KVE_H264_PARAM paramVideo{};
    // Sound is recorded only with bAudio; the blocks then come through
    // EncodeAudioBlock.
    bool bAudio = false;
    KVE_AAC_PARAM paramAudio{};
    // No file when empty.
    QString strPath;
    // Every target gets the same encoded packets; none when empty.
    std::vector<SStreamTarget> vecStreams;
};

class CKVRecorder
{
public:
    // The codes handed to the error handler; they are IKVRecordNotify's.
    enum RecordError
    {
        RECORD_ERROR_ENCODE = 1,
        RECORD_ERROR_WRITE = 2,
    };
    typedef std::function<void(int nCode)> FnError;

    enum StreamState
    {
        STREAM_NONE = 0, // no stream was asked for
        STREAM_CONNECTING,
        STREAM_PUBLISHING,
        STREAM_RECONNECTING, // nAttempt tells how many times so far
        STREAM_FAILED,       // asked for, but there is no client
        STREAM_STALLED,      // connected, but the server takes nothing
    };

    // fnError hears RECORD_ERROR_ENCODE from the mixer thread, and
    // RECORD_ERROR_WRITE from the mixer or the user-interface thread, once
    // per run.
    explicit CKVRecorder(FnError fnError);
    // Leaves a run that was not stopped as it is.
    ~CKVRecorder();

    CKVRecorder(const CKVRecorder&) = delete;
    CKVRecorder& operator=(const CKVRecorder&) = delete;

    // Starts the encoders, the file and the stream. A run must not be active
    // (see IsActive). False when nothing could be started; strReason then
    // tells the user why, and nothing of the run is left.
    bool Start(const SRecordParams& params, QString& strReason);
    // Ends the file and the stream. Safe without a run.
    void Stop();
    // No more frames or audio are encoded; the encoders stay until Stop.
    void SetStopped() { m_bStopped.store(true); }
    bool IsRunning() const { return !m_bStopped.load(); }
    // Encoders, file or stream exist (until Stop).
    bool IsActive() const { return m_hH264Encoder || m_hAACEncoder || m_hMp4Muxer || HasStreamClient(); }

    // A composed frame of the run's output size; counted for the statistics
    // even when nothing is recorded.
    void EncodeFrame(const uint8_t* pFrame);
    // A block of s16 stereo samples at KV_AUDIO_SAMPLE_RATE.
    void EncodeAudioBlock(const uint8_t* pData, int nLength);

    // See CKVCapture::GetStatistics; bPeriodEnded tells that the counters
    // were reset (every 5 s).
    bool GetStatistics(float& fByteRate, float& fFrameRate, bool& bPeriodEnded);
    // The composed frames count from now on.
    void ResetStatistics();
    uint64_t GetByteRate() const;
    uint64_t GetFinishReserve() const;
    uint64_t GetVideoFramesEncoded() const { return m_nVideoFramesEncoded.load(); }
    uint64_t GetAudioSamplesEncoded() const { return m_nAudioSamplesEncoded.load(); }

    // User-interface thread only, like Start and Stop. The streams are
    // numbered in the order the run was given them; the calls without a
    // number ask about the first.
    int GetStreamCount() const { return int(m_vecStreams.size()); }
    QString GetStreamName(int nIndex) const;
    StreamState GetStreamState(int nIndex, int& nAttempt) const;
    StreamState GetStreamState(int& nAttempt) const { return GetStreamState(0, nAttempt); }
    QString GetStreamError(int nIndex) const;
    QString GetStreamError() const { return GetStreamError(0); }
    bool GetStreamStatus(int nIndex, KPL_RTMP_STATUS& status) const;
    bool GetStreamStatus(KPL_RTMP_STATUS& status) const { return GetStreamStatus(0, status); }

private:
    // Encoder threads.
    static void VideoOutputHandler(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength,
                                   void* pUser);
    static void AudioOutputHandler(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength,
                                   void* pUser);
    // pUser is the stream's SStreamClient.
    static void RtmpEventHandler(int nEvent, void* pUser);
    void OnVideoOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength);
    void OnAudioOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength);
    // One client per target; the format is the one the H.264 encoder was
    // created with.
    struct SStreamClient
    {
        CKVRecorder* pOwner = nullptr;
        QString strName;
        // The address with its key masked, for the log.
        QString strShownUrl;
        // Null when the client could not be made; strError then says why.
        KVS_HANDLE hClient = nullptr;
        QString strError;
    };
    void StartStreams(const std::vector<SStreamTarget>& vecTargets, bool bAudio, int nWidth, int nHeight,
                      int nDuration);
    std::unique_ptr<SStreamClient> StartStream(const SStreamTarget& target, bool bAudio, int nWidth, int nHeight,
                                               int nDuration);
    void StopStreams();
    bool HasStreamClient() const;
    // The ...Locked ones run under the video-encoder lock.
    int64_t RecordTimeLocked(int64_t nNow);
    int PutVideoFrameLocked(const uint8_t* pFrame, int64_t nSlot);
    void AlignTrackEndsLocked();
    // Under the audio-encoder lock.
    void PutSilenceLocked(uint64_t nSamples);
    // Tells the error handler once that the file cannot be written.
    void ReportWriteFailure();
    uint64_t BytesSinceStatistics() const;

    const FnError m_fnError;

    // ---- The video side, under m_csVideoEncoder.
    CVoIPCritSec m_csVideoEncoder{RANK_VIDEO_ENCODER, "video encoder"};
    KVS_HANDLE m_hH264Encoder = nullptr;
    KVS_HANDLE m_hMp4Muxer = nullptr;
    // Frame duration of the running recording.
    int m_nRecordDuration = 400000;
    // The frames' places and the start on the recording's clock.
    CKVFramePlacer m_placerVideo;
    int64_t m_nRecordStart = 0;
    // The statistics.
    int m_nComposedFrames = 0;
    uint32_t m_nStatisticsStart = 0;

    // ---- The audio side, under m_csAudioEncoder.
    CVoIPCritSec m_csAudioEncoder{RANK_AUDIO_ENCODER, "audio encoder"};
    KVS_HANDLE m_hAACEncoder = nullptr;
    // The recording's clock: the audio position.
    CKVAudioClock m_clockAudio;

    // ---- The counters, read without a lock by the status timer and the
    // disk guard.
    // Added to by the encoder thread under the RTMP-video lock.
    std::atomic<uint64_t> m_nEncodedVideoBytes{0};
    // Set once the file could not be written, so that it is told only once.
    std::atomic<bool> m_bWriteFailed{false};
    // The file's size at the statistics start.
    std::atomic<uint64_t> m_nFileBytesAtStatistics{0};
    // The audio thread adds samples while the mixer thread reads them.
    std::atomic<uint64_t> m_nVideoFramesEncoded{0};
    std::atomic<uint64_t> m_nAudioSamplesEncoded{0};
    // Written on the user-interface thread (and by a write failure), read by
    // the frame and audio handlers.
    std::atomic<bool> m_bStopped{true};

    // ---- The streams (CKVRecorderStream.cpp). The list changes on the
    // user-interface thread only, under both RTMP locks; the encoders'
    // output handlers send under the RTMP locks. A target whose client
    // could not be made keeps its place, with the reason.
    CVoIPCritSec m_csRtmpVideo{RANK_RTMP_VIDEO, "RTMP video"};
    CVoIPCritSec m_csRtmpAudio{RANK_RTMP_AUDIO, "RTMP audio"};
    std::vector<std::unique_ptr<SStreamClient>> m_vecStreams;
    // Set by any client's event, on whatever thread it comes; taken by the
    // video encoder's output handler, which passes it to the encoder. One
    // encoder feeds every client, so a key frame one of them asks for
    // reaches them all.
    std::atomic<bool> m_bKeyFrameWanted{false};
};
