// Picture controls, signal and serial number of a capture device.
#pragma once

#include "media/KVTypes.h"

enum
{
    KVPHD_PARAM_BRIGHTNESS = 0,
    KVPHD_PARAM_CONTRAST = 1,
    KVPHD_PARAM_HUE = 2,
    KVPHD_PARAM_SATURATION = 3,
};

int KVPHD_GetVideoProcParamRange(KVS_HANDLE hProperty, int nId, int* pMin, int* pMax, int* pDefault);
int KVPHD_GetVideoProcParam(KVS_HANDLE hProperty, int nId, int* pValue);
int KVPHD_SetVideoProcParam(KVS_HANDLE hProperty, int nId, int nValue);
int KVPHD_IsSignalPresent(KVS_HANDLE hProperty);
int KVPHD_GetInputType(KVS_HANDLE hProperty, int* pValue);
// pBuffer holds 64 bytes, cleared by the caller; receives 8-bit text.
int KVP_GetSerialNo(KVS_HANDLE hProperty, char* pBuffer);
int KVP_ClosePropertyHandle(KVS_HANDLE hProperty);

// The layer has no widgets of its own: the user-interface side registers the
// dialog that KVS_ShowVideoCapturePropertyDialog opens. The handler runs on
// the caller's thread and returns what that function returns; without one,
// the function returns 0. Passing a null handler removes it.
typedef int (*KVS_PROPERTY_DIALOG_HANDLER)(KVS_HANDLE hCapture, KVS_WINDOW hParent, void* pUser);
void KVS_SetPropertyDialogHandler(KVS_PROPERTY_DIALOG_HANDLER pfn, void* pUser);
