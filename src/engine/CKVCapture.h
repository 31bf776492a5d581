// The capture engine: the one object that owns the media layer's devices,
// the six capture channels and, as they are added, the mixer, the encoders,
// the muxer, the RTMP client and the audio capture. Every public operation
// runs on the user-interface thread.
#pragma once

#include "engine/CKVChannel.h"
#include "engine/CKVRecorder.h"
#include "engine/CLogoLoader.h"
#include "engine/CVoIPCritSec.h"
#include "engine/IKVFrameSink.h"
#include "engine/IKVRecordNotify.h"
#include "engine/KVLockRank.h"
#include "media/KVTypes.h"

#include <QList>
#include <QTimer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CKVCapture;
struct KPL_RTMP_STATUS;

// Handed to the audio callbacks so that a block names the device it came from.
// The handle is atomic: the audio thread reads it while a promotion or a
// new device rewrites it.
struct KVAudioContext
{
    CKVCapture* pCapture;
    std::atomic<KVS_HANDLE> hAudio;
};

class CKVCapture
{
public:
    enum
    {
        CHANNEL_COUNT = 6,
        DEVICE_ORDER_SIZE = 16,
        SERIAL_NUMBER_SIZE = 64,
    };

    CKVCapture();
    virtual ~CKVCapture();

    CKVCapture(const CKVCapture&) = delete;
    CKVCapture& operator=(const CKVCapture&) = delete;

    // Starts the media layer, reads the devices and the first device's serial
    // number, creates the channels and orders the usable devices. False when
    // there is no usable device. Uninit is safe after a failed Init and twice.
    bool Init();
    void Uninit();

    // Lists the devices usable with the stored output format: large devices
    // of families 2 and 3 first, then small ones (only for a small output).
    bool BuildDeviceOrder();
    int GetOrderedDeviceCount() const { return m_nDeviceOrderCount; }
    // -1 for an index outside the table.
    int GetOrderedDevice(int nIndex) const;
    bool IsDeviceOrdered(int nDevice) const;

    int GetDeviceCount(bool bVideo) const;
    bool GetDeviceName(bool bVideo, int nIndex, QString& strName) const;
    bool IsDeviceInUse(int nDevice) const;
    bool IsH264HardwareSupported() const { return m_bH264Hardware; }
    // Empty when the first device reported none.
    QString GetSerialNumber() const;

    // Null for a channel number outside 0..5 or before Init.
    CKVChannel* GetChannel(int nChannel) const;
    // Opens the channel and starts it at the full output format. False when
    // it does not capture; a device that opened but refused the format stays
    // with the channel, stopped, for a later format it takes.
    bool OpenChannel(int nChannel, int nDevice, KVS_WINDOW hWnd);
    void CloseChannel(int nChannel);
    // Re-applies the stored output format to every open channel. A channel
    // whose device refuses it stays open and stopped, keeping its device.
    bool RestartChannels();
    // -1 for a channel number outside 0..5, else 1.
    int ShowChannelPropertyDialog(int nChannel);
    // Takes note of cameras plugged in or out: the device lists grow, a
    // channel whose camera is gone stops and reports no signal, and one whose
    // camera came back captures again. Runs every second from Init on; the
    // notifiers hear of every change.
    void PollDevices();

    void AddNotify(IKVRecordNotify* pNotify);
    // Once this returns the notifier is no longer called, from any thread.
    void RemoveNotify(IKVRecordNotify* pNotify);

    // ---- Recording and streaming (CKVCaptureRecord.cpp; the run itself is
    // the recorder's) ----

    // Starts the encoders, the MP4 file at strPath (none when empty) and the
    // stream to strUrl (none when empty). A recording already running is
    // stopped first. False when nothing could be started; then nothing of it
    // is left.
    bool StartRecord(const QString& strPath, const QString& strUrl);
    // The same; on false, strReason tells the user why in plain words (empty
    // when a notifier refused the stream and has said so itself).
    bool StartRecord(const QString& strPath, const QString& strUrl, QString& strReason);
    // The same, streaming to every target at once from the one encode (none
    // when the list is empty).
    bool StartRecord(const QString& strPath, const std::vector<SStreamTarget>& vecStreams, QString& strReason);
    // Hands the stored certificate authorities for rtmps servers to the
    // stream library, which uses them from the next connection on (the
    // start of a stream does this itself).
    void ApplyStoredTlsCaFile() const;
    // Ends the file and the stream. Safe without a recording.
    void StopRecord();
    // No more frames or audio are encoded; the encoders stay until StopRecord.
    void SetRecordingStopped();
    bool IsRecording() const;
    // Recorded bytes and composed frames per second since the last reset
    // (every 5 s). Recorded bytes are what the file grows by (picture, sound
    // and container), or the encoded video when there is no file. False when
    // no time has passed; the outputs stay untouched.
    bool GetStatistics(float& fByteRate, float& fFrameRate);
    // Recorded bytes per second, without resetting anything.
    uint64_t GetByteRate() const { return m_recorder.GetByteRate(); }
    // The output's frame rate and the mixer's late ticks, on stderr.
    void LogOutputStatistics(float fFrameRate) const;
    // Ticks the mixer ran late since it was created (frames the output
    // repeated because the machine fell behind); false without a mixer.
    bool GetLateTicks(uint64_t& nLateTicks) const;
    // Bytes finishing the file still writes: its index, and the packets
    // waiting for its next fragment.
    uint64_t GetFinishReserve() const { return m_recorder.GetFinishReserve(); }
    uint64_t GetVideoFramesEncoded() const { return m_recorder.GetVideoFramesEncoded(); }

    typedef CKVRecorder::StreamState StreamState;
    static constexpr StreamState STREAM_NONE = CKVRecorder::STREAM_NONE; // no stream was asked for
    static constexpr StreamState STREAM_CONNECTING = CKVRecorder::STREAM_CONNECTING;
    static constexpr StreamState STREAM_PUBLISHING = CKVRecorder::STREAM_PUBLISHING;
    // nAttempt tells how many times so far.
    static constexpr StreamState STREAM_RECONNECTING = CKVRecorder::STREAM_RECONNECTING;
    // Asked for, but there is no client.
    static constexpr StreamState STREAM_FAILED = CKVRecorder::STREAM_FAILED;
    // Connected, but the server has taken nothing for seconds; given up
    // and made anew (STREAM_RECONNECTING) if that lasts.
    static constexpr StreamState STREAM_STALLED = CKVRecorder::STREAM_STALLED;
    // What the stream of the running recording is doing. nAttempt is the
    // number of reconnection attempts since the last connection.
    StreamState GetStreamState(int& nAttempt) const { return m_recorder.GetStreamState(nAttempt); }
    // Why the stream of this session has no client (STREAM_FAILED from the
    // start), in the user's words; empty otherwise.
    QString GetStreamError() const { return m_recorder.GetStreamError(); }
    // The RTMP client's own account of its packets; false without a client.
    bool GetStreamStatus(KPL_RTMP_STATUS& status) const { return m_recorder.GetStreamStatus(status); }
    // The same for each target of the running recording, in the order they
    // were given; the calls above ask about the first.
    int GetStreamCount() const { return m_recorder.GetStreamCount(); }
    QString GetStreamName(int nIndex) const { return m_recorder.GetStreamName(nIndex); }
    StreamState GetStreamState(int nIndex, int& nAttempt) const { return m_recorder.GetStreamState(nIndex, nAttempt); }
    QString GetStreamError(int nIndex) const { return m_recorder.GetStreamError(nIndex); }
    bool GetStreamStatus(int nIndex, KPL_RTMP_STATUS& status) const
    {
        return m_recorder.GetStreamStatus(nIndex, status);
    }
    uint64_t GetAudioSamplesEncoded() const { return m_recorder.GetAudioSamplesEncoded(); }

    // ---- Audio (CKVCaptureAudio.cpp) ----

    // Replaces the primary audio device at once. False when it cannot be
    // opened (the previous one is closed already).
    bool OpenAudioDevice(int nIndex);
    // Opens the stored device as pending; its first block makes it the
    // primary one. False while another one is pending, when the stored
    // device is no longer in the list (nothing is opened then) or on
    // failure; true when no device is stored.
    bool OpenAudioFromSettings();
    // Where the stored audio device is in the list counted at Init: found
    // by its stored name (the stored index first, as it usually still
    // fits); a record without a name trusts the index. -1 when none is
    // stored or the device is gone.
    int FindStoredAudioDevice() const;
    int FindAudioDevice(int nIndex, const QString& strName) const;
    void CloseAudio();
    void CloseAudioHandle(KVS_HANDLE hAudio);
    // The library's result, 0 without a primary device.
    int SetAudioMonitor(bool bOn);
    // 0 once no device is open, whatever a last block left behind.
    int GetAudioLevel() const { return (m_hPrimaryAudio.load() || m_hPendingAudio.load()) ? m_nAudioLevel.load() : 0; }
    bool HasAudioDevice() const { return m_hPrimaryAudio.load() != nullptr; }
    bool HasPendingAudioDevice() const { return m_hPendingAudio.load() != nullptr; }

    // ---- Composition (CKVCaptureMixer.cpp) ----
    // Without a mixer every operation below does nothing (Snapshot returns
    // 0, the Set... calls false).

    // Creates and runs the mixer for an output of nWidth x nHeight at
    // nDuration (100 ns) per frame, shown in hPreviewWnd. An existing mixer is
    // destroyed first. On failure nothing of it is left.
    bool CreateMixer(int nWidth, int nHeight, int nDuration, KVS_WINDOW hPreviewWnd);
    // Removes overlays and channels from the mixer, ends its thread and
    // destroys both output renderers. Channels keep capturing.
    void DestroyMixer();
    bool HasMixer() const { return m_hMixer != nullptr; }
    int GetOutputWidth() const { return m_nOutputWidth; }
    int GetOutputHeight() const { return m_nOutputHeight; }
    int GetFrameDuration() const { return m_nFrameDuration; }

    // Makes the channel capture at exactly nWidth x nHeight and draws it at
    // (nX, nY). bInset draws it over every channel that is not inset. A
    // device refusing the size leaves the channel stopped and unplaced; an
    // empty rectangle only takes it out of the picture.
    void PlaceChannel(int nChannel, int nX, int nY, int nWidth, int nHeight, int nOpacity, int bInset);
    // Takes the channel out of the picture; its capture keeps running.
    void RemoveMixerChannel(int nChannel);
    // True while the channel has a mixer channel (is part of the picture).
    bool IsChannelPlaced(int nChannel) const;

    // Fades nIn in over the whole output while nOut fades out; nOut leaves
    // the mixer when the fade ends. The fade takes 10000000 / nStep frames
    // (nStep = 2 x frame duration gives half a second). A fade still running
    // is completed at once first.
    void StartTransition(int nOut, int nIn, int nStep);
    // -1 when no fade runs, else its progress (0 .. 10000000 + step).
    int GetTransitionProgress() const;

    // nCorner 0..3 (top left, top right, bottom left, bottom right), nSize
    // 0..100 (50 = natural size). The file is read and decoded on a thread
    // of its own; the logo on show stays until the new one replaces it, and
    // stays when the new one cannot be shown. False (and the logo removed)
    // without a mixer; otherwise the answer comes to the logo result handler.
    bool SetLogo(const QString& strPath, int nCorner, int nSize);
    // Also forgets a logo still being read.
    void RemoveLogo();
    // Logo size as drawn, kept after RemoveLogo until the next logo shows.
    void GetLogoSize(int& nWidth, int& nHeight) const;
    // A logo is on the output (until RemoveLogo or the mixer goes).
    bool IsLogoShown() const { return m_hLogo != nullptr; }
    // Hears, on the user-interface thread, how each SetLogo that was not
    // overtaken by a later call ended: CLogoLoader::LOGO_SHOWN or why not.
    typedef std::function<void(const QString& strPath, int nResult)> FnLogoResult;
    void SetLogoResultHandler(FnLogoResult fnResult);

    // nPosition 0..5 (top left, top centre, top right, bottom left, bottom
    // centre, bottom right); colours 0x00BBGGRR; nBorder is the outline width.
    bool SetCaption(const QString& strText, const QString& strFont, bool bBold, bool bItalic, bool bUnderline,
                    int nFontSize, int nBorder, int nPosition, int nBorderColor, int nTextColor);
    void RemoveCaption();
    // Replaces the clock without a frame where none shows. With bRecompute
    // the position follows from nPosition and the new text's size and is
    // kept; otherwise the kept position is used, so that the clock does not
    // wander as its digits change width. nOffsetY is added to y. False when
    // the new text could not be added (the previous clock stays).
    bool SetClock(const QString& strText, const QString& strFont, bool bBold, bool bItalic, bool bUnderline,
                  int nFontSize, int nBorder, int nPosition, int nBorderColor, int nTextColor, bool bRecompute,
                  int nOffsetY);
    void RemoveClock();
    void GetClockPosition(int& nX, int& nY) const;
    // In studio mode, redraws Program's clock, if it has one, with strText in
    // the style it was set with. Program keeps time whatever Preview shows.
    bool TickProgramClock(const QString& strText);

    // Follows the preview window onto another monitor and to its size; also
    // updates the Screen-tab renderer.
    void UpdatePreviewRenderer();
    void RepaintPreview();
    // The Screen tab's preview; it is created again with every new mixer.
    void CreateScreenTabRenderer(KVS_WINDOW hWnd);
    void UpdateScreenTabRenderer();
    // Frames reach the Screen-tab renderer only while enabled.
    void EnableScreenTabDraw(bool bEnable);

    // Writes the current output picture as a JPEG of nQuality. 0 without a
    // mixer or when the request was refused, else 1; after a 1 every
    // notifier's OnSnapshotFinished tells how the file fared.
    int Snapshot(const QString& strPath, int nQuality);
    // True from an accepted Snapshot to strPath until its file is written or
    // has failed: the name is taken although no file shows yet.
    bool IsSnapshotPending(const QString& strPath) const;

    // The projection output, handed every composed frame; null for none.
    // Once this returns, the previous sink is no longer called, so it may be
    // destroyed. Do not call it from the sink's DrawFrame.
    static void SetProjectionSink(IKVFrameSink* pSink);

    // Studio mode: the operations above that change the composition (channel
    // placements, transitions, logo, caption, clock) then edit a Preview
    // scene, shown in hPreviewWnd, while Program, what was on air when the
    // mode came on, goes on being recorded, streamed, projected and
    // snapshotted. Preview starts empty: the caller puts the scene it wants
    // on it. Leaving the mode keeps Program on air and drops Preview. A new
    // mixer starts with the mode off.
    bool SetStudioMode(bool bOn, KVS_WINDOW hPreviewWnd);
    bool IsStudioMode() const { return m_bStudio; }
    // Puts Preview on air and the previous Program in Preview, blending from
    // one to the other over nFadeFrames frames (0: at once).
    bool Take(int nFadeFrames);
    // Whether a channel is drawn on Program or (studio mode) on Preview.
    bool IsChannelOnProgram(int nChannel) const;
    bool IsChannelOnPreview(int nChannel) const;

private:
    // Output size and frame duration of the stored output format.
    static void ReadOutputFormat(int& nWidth, int& nHeight, int& nDuration);
    static bool IsValidChannel(int nChannel) { return nChannel >= 0 && nChannel < CHANNEL_COUNT; }
    // The serial number of the device with this identity; failures leave it empty.
    void ReadSerialNumber(const char* pszIdentity);
    // True when a channel lost its camera or got it back.
    bool UpdateChannelDevices();
    void NotifyDevicesChanged();

    // Mixer thread callbacks.
    static void MixerTickHandler(void* pUser);
    static void MixerFrameHandler(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight, void* pUser);
    void OnMixerTick();
    void OnMixerFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight);
    // The display part: output and Screen-tab previews, then the projection.
    void DisplayFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight);

    // Snapshot writer thread.
    static void SnapshotDoneHandler(const char16_t* pszPath, int bWritten, void* pUser);
    void OnSnapshotDone(const QString& strPath, bool bWritten);

    // Recording: what the stored settings ask of a run.
    SRecordParams ReadRecordParams(const QString& strPath, const std::vector<SStreamTarget>& vecStreams) const;
    // Mixer or user-interface thread, from the recorder.
    void NotifyError(int nCode);

    // Audio thread callbacks.
    static void AudioCaptureHandler(const uint8_t* pData, int nLength, void* pUser);
    static void AudioMeterHandler(int nLevel, void* pUser);
    void OnAudioBlock(KVAudioContext* pContext, const uint8_t* pData, int nLength);
    void PromotePendingAudio(KVS_HANDLE hPending);
    // Opens, formats and starts device nIndex; null on failure.
    static KVS_HANDLE OpenAudioCapture(int nIndex);
    // Detaches the callbacks, stops and closes. Never under m_csAudioDevice:
    // stopping waits for a callback that may be waiting for that lock.
    static void ReleaseAudioCapture(KVS_HANDLE hAudio);
    // Once it returns, no callback of the capture runs or will run.
    static void DetachAudioCallbacks(KVS_HANDLE hAudio);

    // Under m_csMixerState:
    void DeleteMixerChannelLocked(int nChannel);
    // Ends a running fade as if its last tick had come: the incoming channel
    // fully opaque, the outgoing one out of the mixer.
    void FinishTransitionLocked();
    // Finishes a fade that nChannel takes part in.
    void FinishTransitionOfLocked(int nChannel);
    void PlaceFullOutputLocked(KVS_HANDLE hMixerChannel, int nOpacity);
    // A logo read by m_logoLoader: placed when it is still the one wanted.
    void OnLogoLoaded(const CLogoLoader::SResult& result);

    // What a clock was drawn with, so that it can be redrawn with a new
    // time while another scene's clock is edited.
    struct SClockStyle
    {
        QString strFont;
        bool bBold = false;
        bool bItalic = false;
        bool bUnderline = false;
        int nFontSize = 0;
        int nBorder = 0;
        int nBorderColor = 0;
        int nTextColor = 0;
        int nOffsetY = 0;
    };
    // The scene the operations do not edit in studio mode: Program.
    struct SScene
    {
        KVS_HANDLE ahMixerChannel[CHANNEL_COUNT] = {};
        KVS_HANDLE hLogo = nullptr;
        int nLogoWidth = 0;
        int nLogoHeight = 0;
        KVS_HANDLE hCaption = nullptr;
        KVS_HANDLE hClock = nullptr;
        int nClockX = 10;
        int nClockY = 10;
        SClockStyle clockStyle;
    };
    // Exchanges the edited scene's handles with scene; under m_csMixerState.
    void ExchangeSceneLocked(SScene& scene);
    void DeleteSceneItems(SScene& scene);
    // Whether a channel keeps the size it captures at when placed: in studio
    // mode while it is on air, where restarting it would freeze its picture;
    // Preview then scales it. Changed only on this (the UI) thread, so read
    // here without the lock.
    bool KeepsCaptureSize(int nChannel) const
    {
        return m_bStudio && m_apChannel[nChannel] && m_apChannel[nChannel]->IsStarted() &&
               m_program.ahMixerChannel[nChannel];
    }
    static void MixerPreviewHandler(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight, void* pUser);
    void OnMixerPreview(const uint8_t* pFrame, int nWidth, int nHeight);
    // Adds and places a caption; null when the mixer refused the text.
    KVS_HANDLE AddCaption(const QString& strText, const QString& strFont, bool bBold, bool bItalic, bool bUnderline,
                          int nFontSize, int nBorder, int nBorderColor, int nTextColor, int& nWidth, int& nHeight);

    // The engine's locks, in the order a thread may take them, are listed in
    // KVLockRank.h with those of the recorder, which sit between the
    // audio-device lock and the renderers' locks.
    typedef KVLockRank LockRank;

    // ---- Set up by Init and Uninit on the user-interface thread.
    bool m_bH264Hardware = false;
    int m_nVideoDeviceCount = 0;
    // Polls for cameras plugged in or out; exists between Init and Uninit.
    std::unique_ptr<QTimer> m_pDeviceTimer;
    int m_nDeviceGeneration = 0;
    int m_nAudioDeviceCount = 0;
    std::unique_ptr<CKVChannel> m_apChannel[CHANNEL_COUNT];
    int m_anDeviceOrder[DEVICE_ORDER_SIZE];
    int m_nDeviceOrderCount = 0;
    char m_szSerialNumber[SERIAL_NUMBER_SIZE] = {};
    // Which parts of the media layer Init started, so that Uninit undoes
    // exactly those.
    bool m_bStreamLibraryStarted = false;
    bool m_bProtocolLibraryStarted = false;

    // ---- The audio devices. Written under m_csAudioDevice, read by the
    // audio threads without it.
    CVoIPCritSec m_csAudioDevice{RANK_AUDIO_DEVICE, "audio device"};
    KVAudioContext m_ctxPrimaryAudio{this, {nullptr}};
    std::atomic<KVS_HANDLE> m_hPrimaryAudio{nullptr};
    KVAudioContext m_ctxPendingAudio{this, {nullptr}};
    std::atomic<KVS_HANDLE> m_hPendingAudio{nullptr};
    // Written by the meter callback, read by the user-interface thread.
    std::atomic<int> m_nAudioLevel{0};

    // Set under the Screen-tab renderer lock, read by the frame handler
    // outside it.
    std::atomic<bool> m_bScreenDrawEnabled{false};

    // ---- The renderers, each under its own lock.
    CVoIPCritSec m_csScreenRenderer{RANK_SCREEN_RENDERER, "Screen-tab renderer"};
    KVS_HANDLE m_hScreenRenderer = nullptr;
    KVS_WINDOW m_hScreenWnd = 0;
    bool m_bScreenRendererCreated = false;
    CVoIPCritSec m_csPreviewRenderer{RANK_PREVIEW_RENDERER, "preview renderer"};
    KVS_HANDLE m_hPreviewRenderer = nullptr;
    KVS_GUID m_guidPreviewMonitor{};
    KVS_WINDOW m_hPreviewWnd = 0;

    // ---- The mixer. Its handle, the output format and the overlays are set
    // on the user-interface thread.
    KVS_HANDLE m_hMixer = nullptr;
    int m_nOutputWidth = 0;
    int m_nOutputHeight = 0;
    int m_nFrameDuration = 400000;
    int m_nColor = 0;
    KVS_HANDLE m_hLogo = nullptr;
    int m_nLogoWidth = 0;
    int m_nLogoHeight = 0;
    // Number of the latest logo request; removing the logo counts as one.
    uint64_t m_nLogoRequest = 0;
    CLogoLoader m_logoLoader;
    FnLogoResult m_fnLogoResult;
    KVS_HANDLE m_hCaption = nullptr;
    KVS_HANDLE m_hClock = nullptr;
    int m_nClockX = 10;
    int m_nClockY = 10;
    SClockStyle m_clockStyle;
    // The transition fields and the mixer-channel handles are read and
    // written by the tick handler on the mixer thread as well; both sides
    // take m_csMixerState for them. It is never held while the mixer is
    // stopped, since the tick handler may be waiting for it. Nothing else is
    // taken while it is held except the mixer's own locks.
    mutable CVoIPCritSec m_csMixerState{RANK_MIXER_STATE, "mixer state"};
    KVS_HANDLE m_ahMixerChannel[CHANNEL_COUNT] = {};
    int m_nTransitionIn = -1;
    int m_nTransitionOut = -1;
    int m_nTransitionProgress = -1;
    int m_nTransitionStep = 0;

    // ---- Snapshots: paths accepted and not yet finished; the writer thread
    // removes them.
    bool m_bStudio = false;
    SScene m_program; // in studio mode; its channels under m_csMixerState
    CVoIPCritSec m_csStudioRenderer{RANK_STUDIO_RENDERER, "studio preview renderer"};
    KVS_HANDLE m_hStudioRenderer = nullptr;
    KVS_GUID m_guidStudioMonitor{};
    KVS_WINDOW m_hStudioWnd = 0;

    mutable std::mutex m_mutexSnapshots;
    QStringList m_astrSnapshotsPending;

    // ---- The notifiers, guarded against the library threads that call
    // them. Outermost: see LockRank.
    CVoIPCritSec m_csNotify{RANK_NOTIFY, "notifiers"};
    QList<IKVRecordNotify*> m_listNotify;

    // ---- The recording run: encoders, file, stream, their statistics and
    // the video-encoder, audio-encoder and RTMP locks (see CKVRecorder.h).
    CKVRecorder m_recorder{[this](int nCode) { NotifyError(nCode); }};
};

extern CKVCapture g_capture;
