#include "media/mixer/CVideoMixer.h"

#include "media/mixer/COverlay.h"
#include "media/core/HandleTable.h"
#include "platform/Platform.h"
#include "media/image/YuyvLayout.h"
#include "media/mixer/YuyvBlend.h"

#include <algorithm>

extern "C"
{
#include <libavutil/pixfmt.h>
}

CVideoMixer::CVideoMixer(int nWidth, int nHeight, int64_t nDuration, PFN_ACQUIRE_FRAME pfnAcquireFrame)
    : m_nWidth(nWidth)
    , m_nHeight(nHeight)
    , m_duration(nDuration * 100)
    , m_nDuration(nDuration)
    , m_pfnAcquireFrame(pfnAcquireFrame)
{
    const size_t nBytes = size_t(nWidth) * 2 * size_t(nHeight);
    m_abFront.resize(nBytes + KVMedia::FRAME_READ_PADDING);
    m_abBack.resize(nBytes + KVMedia::FRAME_READ_PADDING);
}

CVideoMixer::~CVideoMixer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        m_bStopRequested = true;
    }
    m_condStop.notify_all();
    if (m_thread.joinable())
    {
        // The last reference was the thread's own: it is on its way out and
        // touches nothing of ours after this.
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
    // m_snapshots finishes the files still queued as it is destroyed.
}

void CVideoMixer::SetCallbacks(KVS_MIXER_TICK_CALLBACK pfnTick, void* pTickUser, KVS_MIXER_FRAME_CALLBACK pfnFrame,
                               void* pFrameUser)
{
    std::lock_guard<std::mutex> lock(m_mutexScene);
    m_pfnTick = pfnTick;
    m_pTickUser = pTickUser;
    m_pfnFrame = pfnFrame;
    m_pFrameUser = pFrameUser;
}

bool CVideoMixer::Run()
{
    std::thread ending;
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (m_thread.joinable())
        {
            if (!m_bStopRequested)
                return true;
            // Stopped from its own callback and not yet gone.
            if (m_thread.get_id() == std::this_thread::get_id())
                return false;
            ending = std::move(m_thread);
        }
    }
    if (ending.joinable())
        ending.join();
    std::lock_guard<std::mutex> lock(m_mutexRun);
    if (m_thread.joinable())
        return true;
    m_bStopRequested = false;
    m_thread = std::thread(&CVideoMixer::ThreadMain, this, weak_from_this().lock());
    return true;
}

bool CVideoMixer::Stop()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (!m_thread.joinable())
            return true;
        m_bStopRequested = true;
        if (m_thread.get_id() == std::this_thread::get_id())
            return true;
        thread = std::move(m_thread);
    }
    m_condStop.notify_all();
    thread.join();
    return true;
}

bool CVideoMixer::IsStopRequested()
{
    std::lock_guard<std::mutex> lock(m_mutexRun);
    return m_bStopRequested;
}

void CVideoMixer::ThreadMain(std::shared_ptr<CVideoMixer> pSelf)
{
    Platform::SetThreadName("kvs-mixer");
    using clock = std::chrono::steady_clock;
    const clock::time_point start = clock::now();
    int64_t nTick = 0;
    for (;;)
    {
        // Deadlines are absolute, so time spent composing or in callbacks
        // never accumulates into drift.
        clock::time_point deadline = start + m_duration * nTick;
        {
            std::unique_lock<std::mutex> lock(m_mutexRun);
            if (m_condStop.wait_until(lock, deadline, [this] { return m_bStopRequested; }))
                break;
        }
        // More than a frame late (a stall, a slow callback): continue with
        // the current slot rather than delivering the missed ones in a burst.
        const clock::time_point now = clock::now();
        if (now - deadline > m_duration)
        {
            nTick = (now - start) / m_duration;
            m_nLateTicks.fetch_add(1, std::memory_order_relaxed);
        }

        KVS_MIXER_TICK_CALLBACK pfnTick;
        void* pTickUser;
        {
            std::lock_guard<std::mutex> lock(m_mutexScene);
            pfnTick = m_pfnTick;
            pTickUser = m_pTickUser;
        }
        if (pfnTick)
        {
            pfnTick(pTickUser);
            if (IsStopRequested())
                break;
        }

        bool bSecond = false;
        KVS_MIXER_FRAME_CALLBACK pfnPreview = nullptr;
        void* pPreviewUser = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutexCompose);
            int nFadeAlpha = 0;
            {
                std::lock_guard<std::mutex> lockScene(m_mutexScene);
                pfnPreview = m_pfnPreview;
                pPreviewUser = m_pPreviewUser;
                nFadeAlpha = NextFadeAlphaLocked();
                GatherLocked(0, m_aDraws[0]);
                bSecond = m_bPreviewScene || nFadeAlpha > 0;
                if (bSecond)
                    GatherLocked(1, m_aDraws[1]);
            }
            ComposeGathered(m_aDraws[0], m_abBack.data(), m_nWidth * 2);
            if (bSecond)
            {
                m_abPreview.resize(m_abBack.size());
                ComposeGathered(m_aDraws[1], m_abPreview.data(), m_nWidth * 2);
                // After a swap scene 1 is what just left the air.
                if (nFadeAlpha > 0)
                    YuyvBlend::BlendConst(m_abBack.data(), m_abPreview.data(), m_nWidth * 2 * m_nHeight, nFadeAlpha);
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutexFrame);
            m_abFront.swap(m_abBack);
            m_bHaveFrame = true;
        }

        KVS_MIXER_FRAME_CALLBACK pfnFrame;
        void* pFrameUser;
        {
            std::lock_guard<std::mutex> lock(m_mutexScene);
            pfnFrame = m_pfnFrame;
            pFrameUser = m_pFrameUser;
        }
        // Only this thread swaps the front buffer, so it stays put during
        // the call even though a snapshot may be copying it.
        if (pfnFrame)
            pfnFrame(m_abFront.data(), nTick * m_nDuration, m_nWidth, m_nHeight, pFrameUser);
        if (bSecond && pfnPreview)
            pfnPreview(m_abPreview.data(), nTick * m_nDuration, m_nWidth, m_nHeight, pPreviewUser);
        ++nTick;
    }
    // May free the mixer (when the last handle went while we ran); nothing
    // of it is touched afterwards.
    pSelf.reset();
}

void CVideoMixer::ComposeInto(uint8_t* pDst, int nDstStride, int nScene)
{
    std::lock_guard<std::mutex> lock(m_mutexCompose);
    {
        std::lock_guard<std::mutex> lockScene(m_mutexScene);
        GatherLocked(nScene, m_aDraws[0]);
    }
    ComposeGathered(m_aDraws[0], pDst, nDstStride);
}

void CVideoMixer::GatherLocked(int nScene, SceneDraws& draws)
{
    draws.pulled.clear();
    draws.channelDraws.clear();
    draws.overlayRefs.clear();
    draws.overlayDraws.clear();
    draws.bAnySize = m_bAnySize;
    // Only what the frame needs is copied here; the pixels stay put.
    for (const std::shared_ptr<Channel>& pChannel : m_channels)
    {
        if (!pChannel->bPlaced || pChannel->placement.nOpacity == 0 || pChannel->nScene != nScene)
            continue;
        CFrameComposer::ChannelDraw draw;
        draw.nStride = pChannel->nWidth * 2;
        draw.nWidth = pChannel->nWidth;
        draw.nHeight = pChannel->nHeight;
        draw.rcSource = pChannel->placement.rcSource;
        draw.rcDest = pChannel->placement.rcDest;
        draw.nOpacity = pChannel->placement.nOpacity;
        draw.bInset = pChannel->placement.bInset != 0;
        draws.pulled.push_back(pChannel);
        draws.channelDraws.push_back(draw);
    }
    for (const std::shared_ptr<Overlay>& pOverlay : m_overlays)
    {
        if (!pOverlay->bPlaced || pOverlay->nScene != nScene)
            continue;
        CFrameComposer::OverlayDraw draw;
        draw.pOverlay = pOverlay->pOverlay.get();
        draw.nX = pOverlay->nX;
        draw.nY = pOverlay->nY;
        draws.overlayRefs.push_back(pOverlay->pOverlay);
        draws.overlayDraws.push_back(draw);
    }
}

void CVideoMixer::ComposeGathered(SceneDraws& draws, uint8_t* pDst, int nDstStride)
{
    for (size_t i = 0; i < draws.pulled.size(); ++i)
        draws.channelDraws[i].pFrame = ChannelPicture(*draws.pulled[i], draws.bAnySize);
    m_composer.Compose(pDst, nDstStride, m_nWidth, m_nHeight, draws.channelDraws, draws.overlayDraws);
    // Channels deleted meanwhile die here, not under the scene lock.
    draws.pulled.clear();
    draws.overlayRefs.clear();
}

const uint8_t* CVideoMixer::ChannelPicture(Channel& channel, bool bAnySize)
{
    if (m_pfnAcquireFrame)
    {
        const int nWidth = bAnySize ? 0 : channel.nWidth;
        std::shared_ptr<const KVMedia::SCapturedFrame> pNew =
            m_pfnAcquireFrame(channel.hCapture, nWidth, channel.nHeight, channel.pFrame ? channel.pFrame->nSeq : 0);
        if (pNew)
            channel.pFrame = std::move(pNew);
    }
    if (channel.pFrame && channel.pFrame->nWidth == channel.nWidth && channel.pFrame->nHeight == channel.nHeight)
    {
        std::vector<uint8_t>().swap(channel.abBlack);
        std::vector<uint8_t>().swap(channel.abScaled);
        return channel.pFrame->abData.data();
    }
    const size_t nPixels = size_t(channel.nWidth) * size_t(channel.nHeight);
    if (channel.pFrame)
    {
        // The same camera placed at two sizes, one per scene: the capture
        // runs at one of them and the other is scaled from it.
        const KVMedia::SCapturedFrame& frame = *channel.pFrame;
        if (channel.abScaled.empty() || channel.nScaledSeq != frame.nSeq)
        {
            if (!channel.pScaler)
                channel.pScaler = std::make_unique<KVMedia::CYuyvScaler>(true);
            channel.abScaled.resize(nPixels * 2 + KVMedia::FRAME_READ_PADDING);
            if (!channel.pScaler->FromYuyv(frame.abData.data(), frame.nWidth * 2, frame.nWidth, frame.nHeight,
                                           channel.abScaled.data(), channel.nWidth * 2, AV_PIX_FMT_YUYV422,
                                           channel.nWidth, channel.nHeight))
                YuyvBlend::FillBlackPixels(channel.abScaled.data(), nPixels);
            channel.nScaledSeq = frame.nSeq;
        }
        return channel.abScaled.data();
    }
    if (channel.abBlack.empty())
    {
        channel.abBlack.resize(nPixels * 2);
        YuyvBlend::FillBlackPixels(channel.abBlack.data(), nPixels);
    }
    return channel.abBlack.data();
}

int CVideoMixer::NextFadeAlphaLocked()
{
    if (m_nFadeFrames <= 0)
        return 0;
    ++m_nFadeDone;
    // Never fully the old scene nor fully the new one: the frame after the
    // last step is all new.
    const int nAlpha = 255 * (m_nFadeFrames + 1 - m_nFadeDone) / (m_nFadeFrames + 1);
    if (m_nFadeDone >= m_nFadeFrames)
        m_nFadeFrames = 0;
    return nAlpha;
}

void CVideoMixer::SetPreviewScene(bool bOn, KVS_MIXER_FRAME_CALLBACK pfnPreview, void* pUser)
{
    std::lock_guard<std::mutex> lock(m_mutexScene);
    m_bPreviewScene = bOn;
    m_pfnPreview = bOn ? pfnPreview : nullptr;
    m_pPreviewUser = bOn ? pUser : nullptr;
    if (bOn)
        m_bAnySize = true;
    else
        m_nFadeFrames = 0; // its outgoing scene is about to be emptied
}

void CVideoMixer::SwapScenes(int nFadeFrames)
{
    std::lock_guard<std::mutex> lock(m_mutexScene);
    for (const std::shared_ptr<Channel>& pChannel : m_channels)
        pChannel->nScene = 1 - pChannel->nScene;
    for (const std::shared_ptr<Overlay>& pOverlay : m_overlays)
        pOverlay->nScene = 1 - pOverlay->nScene;
    m_nFadeFrames = std::max(0, nFadeFrames);
    m_nFadeDone = 0;
}

bool CVideoMixer::SetItemScene(KVS_HANDLE hItem, int nScene)
{
    if (nScene != 0 && nScene != 1)
        return false;
    std::lock_guard<std::mutex> lock(m_mutexScene);
    for (const std::shared_ptr<Channel>& pChannel : m_channels)
    {
        if (pChannel->hChannel == hItem)
        {
            pChannel->nScene = nScene;
            return true;
        }
    }
    for (const std::shared_ptr<Overlay>& pOverlay : m_overlays)
    {
        if (pOverlay->hOverlay == hItem)
        {
            pOverlay->nScene = nScene;
            return true;
        }
    }
    return false;
}

KVS_HANDLE CVideoMixer::AddChannel(int nWidth, int nHeight, KVS_HANDLE hCapture)
{
    if (!KVMedia::IsFrameSizeAllowed(nWidth, nHeight) || !hCapture)
        return nullptr;
    std::shared_ptr<Channel> pChannel = std::make_shared<Channel>();
    pChannel->hChannel = KVMedia::NextHandle();
    pChannel->hCapture = hCapture;
    pChannel->nWidth = nWidth;
    pChannel->nHeight = nHeight;
    pChannel->placement = KVS_MIXER_CHANNEL();
    std::lock_guard<std::mutex> lock(m_mutexScene);
    pChannel->nScene = m_bPreviewScene ? 1 : 0;
    m_channels.push_back(pChannel);
    return pChannel->hChannel;
}

int CVideoMixer::SetChannels(const KVS_MIXER_CHANNEL* pPlacements, int nCount)
{
    if (!pPlacements || nCount <= 0)
        return 0;
    int nPlaced = 0;
    std::lock_guard<std::mutex> lock(m_mutexScene);
    for (int i = 0; i < nCount; ++i)
    {
        for (const std::shared_ptr<Channel>& pChannel : m_channels)
        {
            if (pChannel->hChannel == pPlacements[i].hChannel)
            {
                pChannel->placement = pPlacements[i];
                pChannel->bPlaced = true;
                ++nPlaced;
                break;
            }
        }
    }
    return nPlaced;
}

bool CVideoMixer::DelChannel(KVS_HANDLE hChannel)
{
    std::shared_ptr<Channel> pRemoved;
    {
        std::lock_guard<std::mutex> lock(m_mutexScene);
        const auto it = std::find_if(m_channels.begin(), m_channels.end(),
                                     [hChannel](const std::shared_ptr<Channel>& p) { return p->hChannel == hChannel; });
        if (it == m_channels.end())
            return false;
        pRemoved = std::move(*it);
        m_channels.erase(it);
    }
    // A frame being composed may still be pulling from the capture; the
    // caller may close the capture as soon as we return.
    std::lock_guard<std::mutex> wait(m_mutexCompose);
    return true;
}

KVS_HANDLE CVideoMixer::AddOverlay(EOverlayKind eKind, std::shared_ptr<const COverlay> pOverlay)
{
    if (!pOverlay)
        return nullptr;
    std::shared_ptr<Overlay> pItem = std::make_shared<Overlay>();
    pItem->hOverlay = KVMedia::NextHandle();
    pItem->eKind = eKind;
    pItem->pOverlay = std::move(pOverlay);
    std::lock_guard<std::mutex> lock(m_mutexScene);
    pItem->nScene = m_bPreviewScene ? 1 : 0;
    m_overlays.push_back(pItem);
    return pItem->hOverlay;
}

bool CVideoMixer::SetOverlay(EOverlayKind eKind, KVS_HANDLE hOverlay, int nX, int nY)
{
    std::lock_guard<std::mutex> lock(m_mutexScene);
    for (const std::shared_ptr<Overlay>& pItem : m_overlays)
    {
        if (pItem->hOverlay == hOverlay && pItem->eKind == eKind)
        {
            pItem->nX = nX;
            pItem->nY = nY;
            pItem->bPlaced = true;
            return true;
        }
    }
    return false;
}

bool CVideoMixer::DelOverlay(EOverlayKind eKind, KVS_HANDLE hOverlay)
{
    std::shared_ptr<Overlay> pRemoved; // freed after the lock is released
    std::lock_guard<std::mutex> lock(m_mutexScene);
    const auto it = std::find_if(m_overlays.begin(), m_overlays.end(), [&](const std::shared_ptr<Overlay>& p) {
        return p->hOverlay == hOverlay && p->eKind == eKind;
    });
    if (it == m_overlays.end())
        return false;
    pRemoved = std::move(*it);
    m_overlays.erase(it);
    return true;
}

bool CVideoMixer::CreateSnapshot(const QString& strPath, int nQuality, CSnapshotWriter::FnDone fnDone)
{
    if (strPath.isEmpty())
        return false;
    nQuality = std::max(0, std::min(nQuality, 100));
    std::vector<uint8_t> abFrame;
    {
        std::lock_guard<std::mutex> lock(m_mutexFrame);
        if (m_bHaveFrame)
            abFrame = m_abFront;
    }
    if (abFrame.empty())
    {
        // Not ticking (yet): the picture is the scene as it stands.
        abFrame.resize(size_t(m_nWidth) * 2 * size_t(m_nHeight));
        ComposeInto(abFrame.data(), m_nWidth * 2);
    }
    m_snapshots.Queue(std::move(abFrame), m_nWidth, m_nHeight, strPath, nQuality, std::move(fnDone));
    return true;
}
