// The KVS_/KVP_ picture-control operations over CPropertyHandle, and the
// KVS_ property-dialog hand-over to the user interface.
#include "media/core/CaptureRegistry.h"
#include "media/KVProperty.h"
#include "media/KVStream.h"
#include "media/properties/PropertyDialogHandler.h"
#include "media/properties/PropertyHandle.h"

#include <memory>

using namespace KVMedia;

KVS_HANDLE KVS_OpenVideoCapturePropertyHandle(KVS_HANDLE hCapture)
{
    const auto pCapture = GetCapture(hCapture);
    if (!pCapture)
        return nullptr;
    auto pHandle = std::make_shared<CPropertyHandle>(pCapture->GetDevice());
    if (!pHandle->Open())
        return nullptr;
    return PropertyHandles().Add(std::move(pHandle));
}

int KVP_ClosePropertyHandle(KVS_HANDLE hProperty)
{
    return PropertyHandles().Remove(hProperty) ? 1 : 0;
}

int KVPHD_GetVideoProcParamRange(KVS_HANDLE hProperty, int nId, int* pMin, int* pMax, int* pDefault)
{
    const auto pHandle = PropertyHandles().Get(hProperty);
    if (!pHandle || !CPropertyHandle::IsValidParam(nId) || !pMin || !pMax || !pDefault)
        return 0;
    return pHandle->GetRange(nId, pMin, pMax, pDefault) ? 1 : 0;
}

int KVPHD_GetVideoProcParam(KVS_HANDLE hProperty, int nId, int* pValue)
{
    const auto pHandle = PropertyHandles().Get(hProperty);
    if (!pHandle || !CPropertyHandle::IsValidParam(nId) || !pValue)
        return 0;
    return pHandle->Get(nId, pValue) ? 1 : 0;
}

int KVPHD_SetVideoProcParam(KVS_HANDLE hProperty, int nId, int nValue)
{
    const auto pHandle = PropertyHandles().Get(hProperty);
    if (!pHandle || !CPropertyHandle::IsValidParam(nId))
        return 0;
    return pHandle->Set(nId, nValue) ? 1 : 0;
}

int KVPHD_IsSignalPresent(KVS_HANDLE hProperty)
{
    const auto pHandle = PropertyHandles().Get(hProperty);
    return pHandle ? pHandle->IsSignalPresent() : 0;
}

int KVPHD_GetInputType(KVS_HANDLE hProperty, int* pValue)
{
    const auto pHandle = PropertyHandles().Get(hProperty);
    if (!pHandle || !pValue)
        return 0;
    *pValue = pHandle->GetInputType();
    return 1;
}

int KVP_GetSerialNo(KVS_HANDLE hProperty, char* pBuffer)
{
    const auto pHandle = PropertyHandles().Get(hProperty);
    if (!pHandle || !pBuffer)
        return 0;
    pHandle->CopySerial(pBuffer);
    return 1;
}

void KVS_SetPropertyDialogHandler(KVS_PROPERTY_DIALOG_HANDLER pfn, void* pUser)
{
    SetPropertyDialogHandler(pfn, pUser);
}

int KVS_ShowVideoCapturePropertyDialog(KVS_HANDLE hCapture, KVS_WINDOW hParent)
{
    return ShowPropertyDialog(hCapture, hParent);
}
