#include "media/core/CaptureRegistry.h"
#include "media/capture/CaptureSource.h"
#include "media/core/DeviceList.h"
#include "media/core/HandleTable.h"
#include "media/KVStream.h"
#include "platform/Log.h"

namespace KVMedia
{
namespace
{
CHandleTable<CCaptureDevice>& Captures()
{
    static CHandleTable<CCaptureDevice> s_table;
    return s_table;
}
}

std::shared_ptr<CCaptureDevice> GetCapture(KVS_HANDLE hCapture)
{
    return Captures().Get(hCapture);
}

void CloseAllCaptureHandles()
{
    const auto vecOpen = Captures().RemoveAll();
    if (!vecOpen.empty())
        Log::Warning("capture", QStringLiteral("%1 capture(s) still open at the end, closed").arg(vecOpen.size()));
    for (const auto& pCapture : vecOpen)
        pCapture->Stop();
    CloseAllPropertyHandles();
}
}

using namespace KVMedia;

KVS_HANDLE KVS_OpenVideoCapture(const char* pszIdentity)
{
    auto pDevice = FindVideoDevice(pszIdentity);
    if (!pDevice)
    {
        Log::Warning(
            "capture",
            QStringLiteral("no video device \"%1\"").arg(QString::fromLocal8Bit(pszIdentity ? pszIdentity : "")));
        return nullptr;
    }
    return Captures().Add(std::make_shared<CCaptureDevice>(std::move(pDevice)));
}

int KVS_SetVideoCaptureFormat(KVS_HANDLE hCapture, int nColor, int nWidth, int nHeight, int nDuration)
{
    const auto pCapture = GetCapture(hCapture);
    return pCapture && pCapture->SetFormat(nColor, nWidth, nHeight, nDuration) ? 1 : 0;
}

int KVS_SetVideoCaptureCallback(KVS_HANDLE hCapture, KVS_VIDEO_CAPTURE_CALLBACK pfn, void* pUser)
{
    const auto pCapture = GetCapture(hCapture);
    if (!pCapture)
        return 0;
    pCapture->SetCallback(pfn, pUser);
    return 1;
}

int KVS_StartVideoCapture(KVS_HANDLE hCapture)
{
    const auto pCapture = GetCapture(hCapture);
    return pCapture && pCapture->Start() ? 1 : 0;
}

int KVS_StopVideoCapture(KVS_HANDLE hCapture)
{
    const auto pCapture = GetCapture(hCapture);
    if (!pCapture)
        return 0;
    pCapture->Stop();
    return 1;
}

int KVS_IsVideoCaptureRunning(KVS_HANDLE hCapture)
{
    const auto pCapture = GetCapture(hCapture);
    return pCapture && pCapture->IsRunning() ? 1 : 0;
}

int KVS_CloseVideoCapture(KVS_HANDLE hCapture)
{
    const auto pCapture = Captures().Remove(hCapture);
    if (!pCapture)
        return 0;
    pCapture->Stop();
    return 1;
}

bool KVS_CopyLatestFrame(KVS_HANDLE hCapture, uint8_t* pDst, int nDstStride, int nWidth, int nHeight, uint64_t* pSeq)
{
    const auto pCapture = GetCapture(hCapture);
    return pCapture && pCapture->CopyLatestFrame(pDst, nDstStride, nWidth, nHeight, pSeq);
}

std::shared_ptr<const KVMedia::SCapturedFrame> KVS_AcquireLatestFrame(KVS_HANDLE hCapture, int nWidth, int nHeight,
                                                                      uint64_t nAfterSeq)
{
    const auto pCapture = GetCapture(hCapture);
    return pCapture ? pCapture->AcquireLatestFrame(nWidth, nHeight, nAfterSeq) : nullptr;
}

uint64_t KVS_GetLatestFrameSeq(KVS_HANDLE hCapture)
{
    const auto pCapture = GetCapture(hCapture);
    return pCapture ? pCapture->GetLatestSeq() : 0;
}

int KVS_SetVirtualVideoSignal(int nIndex, int bPresent)
{
    const auto pDevice = GetVideoDevice(nIndex);
    if (!pDevice || pDevice->eKind != CVideoDeviceState::KIND_VIRTUAL)
        return 0;
    pDevice->bSignalPresent = bPresent != 0;
    return 1;
}
