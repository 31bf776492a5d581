// The video mixer: a scene of capture channels and overlays, composed into
// one packed YUYV frame per frame duration on a thread of its own.
//
// Locking: m_mutexScene guards the scene lists and callbacks and is held only
// to read or change them (never while composing, loading or rendering).
// m_mutexCompose is held while channel frames are pulled and the frame is
// composed; removing a channel waits on it, so once DelChannel returns its
// capture is no longer touched. m_mutexFrame guards the front buffer swap.
// No lock is held while a callback runs, so callbacks may call back in.
#pragma once

#include "media/mixer/CFrameComposer.h"
#include "media/capture/CaptureSource.h"
#include "media/mixer/CSnapshotWriter.h"
#include "media/image/YuyvScaler.h"
#include "media/KVMixer.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class COverlay;

class CVideoMixer : public std::enable_shared_from_this<CVideoMixer>
{
public:
    // The latest frame of a capture (nWidth x nHeight YUYV) when it is newer
    // than nAfterSeq (the sequence number of the frame the channel holds, 0
    // for none); null when there is nothing new, so the channel keeps what
    // it showed. Frames are shared, not copied: composing reads them where
    // the capture wrote them.
    typedef std::shared_ptr<const KVMedia::SCapturedFrame> (*PFN_ACQUIRE_FRAME)(KVS_HANDLE hCapture, int nWidth,
                                                                                int nHeight, uint64_t nAfterSeq);

    enum EOverlayKind
    {
        OVERLAY_IMAGE,
        OVERLAY_CAPTION
    };

    // Any size KVMedia::IsFrameSizeAllowed takes; nDuration (100 ns) positive.
    CVideoMixer(int nWidth, int nHeight, int64_t nDuration, PFN_ACQUIRE_FRAME pfnAcquireFrame);
    ~CVideoMixer();
    CVideoMixer(const CVideoMixer&) = delete;
    CVideoMixer& operator=(const CVideoMixer&) = delete;

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }

    void SetCallbacks(KVS_MIXER_TICK_CALLBACK pfnTick, void* pTickUser, KVS_MIXER_FRAME_CALLBACK pfnFrame,
                      void* pFrameUser);
    // A mixer owned by a shared_ptr is kept alive by its running thread, so
    // that even destroying it from its own callback is safe.
    bool Run();
    // Returns once the thread has ended. Called from the mixer's own
    // callbacks it cannot wait for itself: no further callback comes, and the
    // thread ends as soon as the current one returns.
    bool Stop();

    KVS_HANDLE AddChannel(int nWidth, int nHeight, KVS_HANDLE hCapture);
    int SetChannels(const KVS_MIXER_CHANNEL* pPlacements, int nCount);
    bool DelChannel(KVS_HANDLE hChannel);

    KVS_HANDLE AddOverlay(EOverlayKind eKind, std::shared_ptr<const COverlay> pOverlay);
    bool SetOverlay(EOverlayKind eKind, KVS_HANDLE hOverlay, int nX, int nY);
    bool DelOverlay(EOverlayKind eKind, KVS_HANDLE hOverlay);

    // Scene 0 is delivered to the frame callback, scene 1 (while bOn) to
    // pfnPreview; see KVS_VideoMixerSetPreviewScene.
    void SetPreviewScene(bool bOn, KVS_MIXER_FRAME_CALLBACK pfnPreview, void* pUser);
    void SwapScenes(int nFadeFrames);
    bool SetItemScene(KVS_HANDLE hItem, int nScene);

    // fnDone (may be empty) hears on the writer's thread how the file fared.
    bool CreateSnapshot(const QString& strPath, int nQuality, CSnapshotWriter::FnDone fnDone = nullptr);

    // Ticks that started more than a frame duration after they were due,
    // since the mixer was made.
    uint64_t GetLateTicks() const { return m_nLateTicks.load(std::memory_order_relaxed); }

    // Pulls the channels' latest frames and composes the scene as it is now
    // into a caller-owned buffer; what the mixer thread does every tick.
    void ComposeInto(uint8_t* pDst, int nDstStride, int nScene = 0);

private:
    struct Channel
    {
        KVS_HANDLE hChannel;
        KVS_HANDLE hCapture;
        int nWidth;
        int nHeight;
        // Under m_mutexScene:
        KVS_MIXER_CHANNEL placement;
        bool bPlaced = false;
        int nScene = 0;
        // Under m_mutexCompose: the last frame pulled, and black until the
        // first one arrives; a frame of another size scaled to ours.
        std::shared_ptr<const KVMedia::SCapturedFrame> pFrame;
        std::vector<uint8_t> abBlack;
        std::vector<uint8_t> abScaled;
        uint64_t nScaledSeq = 0;
        std::unique_ptr<KVMedia::CYuyvScaler> pScaler;
    };

    struct Overlay
    {
        KVS_HANDLE hOverlay;
        EOverlayKind eKind;
        std::shared_ptr<const COverlay> pOverlay;
        // Under m_mutexScene:
        int nX = 0;
        int nY = 0;
        bool bPlaced = false;
        int nScene = 0;
    };

    void ThreadMain(std::shared_ptr<CVideoMixer> pSelf);
    bool IsStopRequested();
    // What one scene draws, gathered under the scene lock so that both
    // scenes of a tick see the same swap.
    struct SceneDraws
    {
        std::vector<std::shared_ptr<Channel>> pulled;
        std::vector<CFrameComposer::ChannelDraw> channelDraws;
        std::vector<std::shared_ptr<const COverlay>> overlayRefs;
        std::vector<CFrameComposer::OverlayDraw> overlayDraws;
        bool bAnySize = false; // m_bAnySize when gathered
    };
    void GatherLocked(int nScene, SceneDraws& draws);
    void ComposeGathered(SceneDraws& draws, uint8_t* pDst, int nDstStride);
    const uint8_t* ChannelPicture(Channel& channel, bool bAnySize);
    // The alpha of the scene that left the air for this tick, 0 when no fade
    // runs; counts the fade on. Under m_mutexScene.
    int NextFadeAlphaLocked();

    const int m_nWidth;
    const int m_nHeight;
    const std::chrono::nanoseconds m_duration;
    const int64_t m_nDuration;
    const PFN_ACQUIRE_FRAME m_pfnAcquireFrame;

    std::mutex m_mutexScene;
    std::vector<std::shared_ptr<Channel>> m_channels; // in insertion order
    std::vector<std::shared_ptr<Overlay>> m_overlays; // in insertion order
    KVS_MIXER_TICK_CALLBACK m_pfnTick = nullptr;
    void* m_pTickUser = nullptr;
    KVS_MIXER_FRAME_CALLBACK m_pfnFrame = nullptr;
    void* m_pFrameUser = nullptr;
    bool m_bPreviewScene = false;
    KVS_MIXER_FRAME_CALLBACK m_pfnPreview = nullptr;
    void* m_pPreviewUser = nullptr;
    int m_nFadeFrames = 0; // length of the fade under way
    int m_nFadeDone = 0;   // frames of it delivered

    std::mutex m_mutexCompose;
    CFrameComposer m_composer;
    SceneDraws m_aDraws[2];
    // Set for good once a second scene was asked for: from then on a
    // capture's picture may be of another size than its channel's. Under
    // m_mutexScene.
    bool m_bAnySize = false;

    // The mixer thread composes into m_abBack and swaps it to the front.
    std::mutex m_mutexFrame;
    std::vector<uint8_t> m_abFront;
    std::vector<uint8_t> m_abBack;
    bool m_bHaveFrame = false;
    // Only the mixer thread: scene 1, composed while it is wanted or a fade
    // needs the scene that left the air.
    std::vector<uint8_t> m_abPreview;

    // Run and Stop, from whichever thread calls them.
    std::mutex m_mutexRun;
    std::condition_variable m_condStop;
    bool m_bStopRequested = false;
    std::thread m_thread;
    std::atomic<uint64_t> m_nLateTicks{0};

    CSnapshotWriter m_snapshots;
};
