// The KVS_ library start and end and the device-list operations, over the
// lists kept in DeviceList.cpp.
#include "media/core/CaptureRegistry.h"
#include "media/core/DeviceList.h"
#include "media/KVStream.h"

using namespace KVMedia;

int KVS_Initialize()
{
    BuildDeviceLists();
    return 1;
}

void KVS_Uninitialize()
{
    CloseAllCaptureHandles();
    ClearDeviceLists();
}

int KVS_GetVideoCaptureCount()
{
    return VideoDeviceCount();
}

int KVS_GetVideoCaptureInfo(int nIndex, KVS_VIDEO_CAPTURE_INFO* pInfo)
{
    const auto pDevice = GetVideoDevice(nIndex);
    if (!pDevice || !pInfo)
        return 0;
    FillVideoCaptureInfo(*pDevice, pInfo);
    return 1;
}

int KVS_GetVideoCaptureInfoEx(int nIndex, KVS_VIDEO_CAPTURE_INFO_EX* pInfo)
{
    const auto pDevice = GetVideoDevice(nIndex);
    if (!pDevice || !pInfo)
        return 0;
    FillVideoCaptureInfoEx(*pDevice, pInfo);
    return 1;
}

int KVS_GetAudioCaptureCount3()
{
    return AudioDeviceCount();
}

int KVS_GetAudioCaptureInfo3(int nIndex, KVS_AUDIO_CAPTURE_INFO* pInfo)
{
    if (!pInfo)
        return 0;
    return FillAudioCaptureInfo(nIndex, pInfo) ? 1 : 0;
}

int KVS_RefreshVideoDevices()
{
    return RefreshVideoDevices();
}

int KVS_IsVideoCapturePresent(int nIndex)
{
    return IsVideoDevicePresent(nIndex) ? 1 : 0;
}
