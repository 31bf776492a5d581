// The KVS_ video mixer operations: handle checks and text conversion around
// CVideoMixer.
#include "media/KVMixer.h"
#include "media/KVStream.h"

#include "media/capture/CaptureSource.h"
#include "media/mixer/COverlay.h"
#include "media/mixer/CVideoMixer.h"
#include "media/core/HandleTable.h"
#include "media/mixer/OverlaySources.h"
#include "platform/Log.h"
#include "media/image/YuyvLayout.h"

#include <QString>

namespace
{
KVMedia::CHandleTable<CVideoMixer>& Mixers()
{
    static KVMedia::CHandleTable<CVideoMixer> table;
    return table;
}

QString FromUtf16(const char16_t* psz)
{
    return psz ? QString::fromUtf16(psz) : QString();
}
}

KVS_HANDLE KVS_CreateVideoMixer(int nWidth, int nHeight, int nDuration, int nColor)
{
    if (nColor != KVS_COLOR_YUYV || !KVMedia::IsFrameSizeAllowed(nWidth, nHeight) || nDuration <= 0)
    {
        Log::Warning("mixer", QStringLiteral("refused %1x%2, duration %3, colour %4")
                                  .arg(nWidth)
                                  .arg(nHeight)
                                  .arg(nDuration)
                                  .arg(nColor));
        return nullptr;
    }
    return Mixers().Add(std::make_shared<CVideoMixer>(nWidth, nHeight, nDuration, &KVS_AcquireLatestFrame));
}

int KVS_SetVideoMixerCallback(KVS_HANDLE hMixer, KVS_MIXER_TICK_CALLBACK pfnTick, void* pTickUser,
                              KVS_MIXER_FRAME_CALLBACK pfnFrame, void* pFrameUser)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer)
        return 0;
    pMixer->SetCallbacks(pfnTick, pTickUser, pfnFrame, pFrameUser);
    return 1;
}

int KVS_VideoMixerRun(KVS_HANDLE hMixer)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->Run() ? 1 : 0;
}

int KVS_VideoMixerStop(KVS_HANDLE hMixer)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->Stop() ? 1 : 0;
}

void KVS_DestroyVideoMixer(KVS_HANDLE hMixer)
{
    std::shared_ptr<CVideoMixer> pMixer = Mixers().Remove(hMixer);
    if (pMixer)
        pMixer->Stop();
    // Other calls still in flight hold their own reference; the last one
    // frees the mixer.
}

KVS_HANDLE KVS_VideoMixerAddChannel(KVS_HANDLE hMixer, int nWidth, int nHeight, int nColor, KVS_HANDLE hCapture)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer || nColor != KVS_COLOR_YUYV)
        return nullptr;
    return pMixer->AddChannel(nWidth, nHeight, hCapture);
}

int KVS_VideoMixerSetChannels(KVS_HANDLE hMixer, const KVS_MIXER_CHANNEL* pPlacements, int nCount)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer ? pMixer->SetChannels(pPlacements, nCount) : 0;
}

int KVS_VideoMixerDelChannel(KVS_HANDLE hMixer, KVS_HANDLE hChannel)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->DelChannel(hChannel) ? 1 : 0;
}

KVS_HANDLE KVS_VideoMixerAddImage(KVS_HANDLE hMixer, const char16_t* pszPath, int nWidth, int nHeight)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer || !pszPath)
        return nullptr;
    // Loading and scaling happen here, before the scene is touched.
    const QImage image = OverlaySources::LoadImageFile(FromUtf16(pszPath), nWidth, nHeight);
    if (image.isNull())
        return nullptr;
    return pMixer->AddOverlay(CVideoMixer::OVERLAY_IMAGE, COverlay::FromImage(image));
}

int KVS_VideoMixerSetImage(KVS_HANDLE hMixer, KVS_HANDLE hImage, int nX, int nY)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->SetOverlay(CVideoMixer::OVERLAY_IMAGE, hImage, nX, nY) ? 1 : 0;
}

int KVS_VideoMixerDelImage(KVS_HANDLE hMixer, KVS_HANDLE hImage)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->DelOverlay(CVideoMixer::OVERLAY_IMAGE, hImage) ? 1 : 0;
}

KVS_HANDLE KVS_VideoMixerAddCaption(KVS_HANDLE hMixer, const char16_t* pszText, const char16_t* pszFont,
                                    const KVS_CAPTION_STYLE* pStyle, int32_t* pSize)
{
    if (pSize)
        pSize[0] = pSize[1] = 0;
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer || !pStyle)
        return nullptr;
    QImage image;
    if (!OverlaySources::RenderCaption(FromUtf16(pszText), FromUtf16(pszFont), *pStyle, image))
        return nullptr;
    const KVS_HANDLE hCaption = pMixer->AddOverlay(CVideoMixer::OVERLAY_CAPTION, COverlay::FromImage(image));
    if (hCaption && pSize)
    {
        pSize[0] = image.width();
        pSize[1] = image.height();
    }
    return hCaption;
}

int KVS_VideoMixerSetCaption(KVS_HANDLE hMixer, KVS_HANDLE hCaption, int nX, int nY)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->SetOverlay(CVideoMixer::OVERLAY_CAPTION, hCaption, nX, nY) ? 1 : 0;
}

int KVS_VideoMixerDelCaption(KVS_HANDLE hMixer, KVS_HANDLE hCaption)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->DelOverlay(CVideoMixer::OVERLAY_CAPTION, hCaption) ? 1 : 0;
}

int KVS_VideoMixerCreateSnapShot(KVS_HANDLE hMixer, const char16_t* pszPath, int nQuality,
                                 KVS_SNAPSHOT_CALLBACK pfnDone, void* pUser)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer)
        return 0;
    const QString strPath = FromUtf16(pszPath);
    CSnapshotWriter::FnDone fnDone;
    if (pfnDone)
    {
        fnDone = [pfnDone, pUser, strPath](bool bWritten) {
            pfnDone(reinterpret_cast<const char16_t*>(strPath.utf16()), bWritten ? 1 : 0, pUser);
        };
    }
    return pMixer->CreateSnapshot(strPath, nQuality, std::move(fnDone)) ? 1 : 0;
}

int KVS_GetVideoMixerLateTicks(KVS_HANDLE hMixer, uint64_t* pnLateTicks)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer || !pnLateTicks)
        return 0;
    *pnLateTicks = pMixer->GetLateTicks();
    return 1;
}

int KVS_VideoMixerSetPreviewScene(KVS_HANDLE hMixer, int bOn, KVS_MIXER_FRAME_CALLBACK pfnPreview, void* pUser)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer)
        return 0;
    pMixer->SetPreviewScene(bOn != 0, pfnPreview, pUser);
    return 1;
}

int KVS_VideoMixerSwapScenes(KVS_HANDLE hMixer, int nFadeFrames)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    if (!pMixer)
        return 0;
    pMixer->SwapScenes(nFadeFrames);
    return 1;
}

int KVS_VideoMixerSetItemScene(KVS_HANDLE hMixer, KVS_HANDLE hItem, int nScene)
{
    const std::shared_ptr<CVideoMixer> pMixer = Mixers().Get(hMixer);
    return pMixer && pMixer->SetItemScene(hItem, nScene) ? 1 : 0;
}
