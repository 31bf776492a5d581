#include "media/core/CaptureRegistry.h"
#include "media/core/DeviceState.h"
#include "media/core/HandleTable.h"
#include "media/KVProperty.h"
#include "media/KVStream.h"
#include "media/capture/v4l2/V4l2Device.h"

#include <cstring>
#include <mutex>

namespace KVMedia
{
namespace
{
struct SPropertyHandle
{
    std::shared_ptr<CVideoDeviceState> pDevice;
    std::unique_ptr<CV4l2Controls> pControls; // real devices only
};

CHandleTable<SPropertyHandle>& Properties()
{
    static CHandleTable<SPropertyHandle> s_table;
    return s_table;
}

bool IsVirtual(const SPropertyHandle& handle)
{
    return handle.pDevice->eKind == CVideoDeviceState::KIND_VIRTUAL;
}

bool ValidParam(int nId)
{
    return nId >= 0 && nId < CONTROL_COUNT;
}
}

void CloseAllPropertyHandles()
{
    Properties().RemoveAll();
}
}

using namespace KVMedia;

KVS_HANDLE KVS_OpenVideoCapturePropertyHandle(KVS_HANDLE hCapture)
{
    const auto pCapture = GetCapture(hCapture);
    if (!pCapture)
        return nullptr;
    auto pHandle = std::make_shared<SPropertyHandle>();
    pHandle->pDevice = pCapture->GetDevice();
    if (!IsVirtual(*pHandle))
    {
        pHandle->pControls = std::make_unique<CV4l2Controls>(pHandle->pDevice->strNode);
        if (!pHandle->pControls->IsOpen())
            return nullptr;
    }
    return Properties().Add(std::move(pHandle));
}

int KVP_ClosePropertyHandle(KVS_HANDLE hProperty)
{
    return Properties().Remove(hProperty) ? 1 : 0;
}

int KVPHD_GetVideoProcParamRange(KVS_HANDLE hProperty, int nId, int* pMin, int* pMax, int* pDefault)
{
    const auto pHandle = Properties().Get(hProperty);
    if (!pHandle || !ValidParam(nId) || !pMin || !pMax || !pDefault)
        return 0;
    if (!IsVirtual(*pHandle))
        return pHandle->pControls->GetRange(nId, pMin, pMax, pDefault) ? 1 : 0;
    *pMin = VIRTUAL_CONTROL_MIN;
    *pMax = VIRTUAL_CONTROL_MAX;
    *pDefault = VIRTUAL_CONTROL_DEFAULT;
    return 1;
}

int KVPHD_GetVideoProcParam(KVS_HANDLE hProperty, int nId, int* pValue)
{
    const auto pHandle = Properties().Get(hProperty);
    if (!pHandle || !ValidParam(nId) || !pValue)
        return 0;
    if (!IsVirtual(*pHandle))
        return pHandle->pControls->Get(nId, pValue) ? 1 : 0;
    *pValue = pHandle->pDevice->anControl[nId].load();
    return 1;
}

int KVPHD_SetVideoProcParam(KVS_HANDLE hProperty, int nId, int nValue)
{
    const auto pHandle = Properties().Get(hProperty);
    if (!pHandle || !ValidParam(nId))
        return 0;
    if (!IsVirtual(*pHandle))
        return pHandle->pControls->Set(nId, nValue) ? 1 : 0;
    if (nValue < VIRTUAL_CONTROL_MIN || nValue > VIRTUAL_CONTROL_MAX)
        return 0;
    // Value before version: a capture thread that sees the new version also
    // sees the new value.
    pHandle->pDevice->anControl[nId].store(nValue);
    pHandle->pDevice->nControlVersion.fetch_add(1, std::memory_order_release);
    return 1;
}

int KVPHD_IsSignalPresent(KVS_HANDLE hProperty)
{
    const auto pHandle = Properties().Get(hProperty);
    if (!pHandle)
        return 0;
    if (!IsVirtual(*pHandle))
        return pHandle->pControls->IsSignalPresent();
    return pHandle->pDevice->bSignalPresent.load() ? 1 : 0;
}

int KVPHD_GetInputType(KVS_HANDLE hProperty, int* pValue)
{
    const auto pHandle = Properties().Get(hProperty);
    if (!pHandle || !pValue)
        return 0;
    // A virtual device presents itself as a digital (HDMI) input.
    *pValue = IsVirtual(*pHandle) ? INPUT_HDMI : pHandle->pControls->GetInputType();
    return 1;
}

int KVP_GetSerialNo(KVS_HANDLE hProperty, char* pBuffer)
{
    const auto pHandle = Properties().Get(hProperty);
    if (!pHandle || !pBuffer)
        return 0;
    // The caller's buffer holds 64 bytes: at most 63 characters and the end.
    const QByteArray& baSerial = pHandle->pDevice->baSerial;
    const size_t nLength = size_t(qMin(baSerial.size(), 63));
    std::memcpy(pBuffer, baSerial.constData(), nLength);
    pBuffer[nLength] = '\0';
    return 1;
}

namespace
{
struct SDialogHandler
{
    std::mutex mutex;
    KVS_PROPERTY_DIALOG_HANDLER pfn = nullptr;
    void* pUser = nullptr;
};

SDialogHandler& DialogHandler()
{
    static SDialogHandler s_handler;
    return s_handler;
}
}

void KVS_SetPropertyDialogHandler(KVS_PROPERTY_DIALOG_HANDLER pfn, void* pUser)
{
    SDialogHandler& handler = DialogHandler();
    std::lock_guard<std::mutex> lock(handler.mutex);
    handler.pfn = pfn;
    handler.pUser = pUser;
}

int KVS_ShowVideoCapturePropertyDialog(KVS_HANDLE hCapture, KVS_WINDOW hParent)
{
    KVS_PROPERTY_DIALOG_HANDLER pfn = nullptr;
    void* pUser = nullptr;
    {
        // Not held during the call: the dialog is modal and runs an event loop.
        SDialogHandler& handler = DialogHandler();
        std::lock_guard<std::mutex> lock(handler.mutex);
        pfn = handler.pfn;
        pUser = handler.pUser;
    }
    return pfn ? pfn(hCapture, hParent, pUser) : 0;
}
