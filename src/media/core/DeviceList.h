// The device lists built by KVS_Initialize.
#pragma once

#include "media/core/DeviceState.h"
#include "media/KVTypes.h"

#include <QString>

#include <memory>
#include <vector>

namespace KVMedia
{
// Reads the environment and the system afresh and replaces both lists.
void BuildDeviceLists();
void ClearDeviceLists();
// Looks at the V4L2 nodes again: a device that went keeps its number and is
// marked absent, one that came back takes its number again (on whichever
// node), a new one is appended, even on a node a known device had. Returns
// a number that changes whenever the list does.
int RefreshVideoDevices();
bool IsVideoDevicePresent(int nIndex);

int VideoDeviceCount();
std::shared_ptr<CVideoDeviceState> GetVideoDevice(int nIndex);
std::shared_ptr<CVideoDeviceState> FindVideoDevice(const char* pszIdentity);

struct SAudioDeviceDesc
{
    QString strName;
    KVS_GUID guid;
    int nVirtualIndex = -1;  // -1: a real source
    QByteArray baSourceName; // a real source's server name, its identity
};
std::vector<SAudioDeviceDesc> GetAudioDevices();
bool FindAudioDevice(const KVS_GUID& guid, SAudioDeviceDesc* pDesc);
int AudioDeviceCount();

// The exported descriptions of a device, zero-filled first.
void FillVideoCaptureInfo(const CVideoDeviceState& device, KVS_VIDEO_CAPTURE_INFO* pInfo);
void FillVideoCaptureInfoEx(const CVideoDeviceState& device, KVS_VIDEO_CAPTURE_INFO_EX* pInfo);
// False, and pInfo untouched, when nIndex is outside the audio list.
bool FillAudioCaptureInfo(int nIndex, KVS_AUDIO_CAPTURE_INFO* pInfo);

// The sound server's sources (src/media/audio/PulseSourceList.cpp); empty
// when no server answers within the time-out.
std::vector<SAudioDeviceDesc> EnumeratePulseSources(int nTimeoutMs);
KVS_GUID PulseSourceGuid(const QByteArray& baSourceName);

// Copies text into a fixed UTF-16 field, cut to fit and zero-terminated.
void CopyName(const QString& strName, char16_t* pDst, int nCapacity);
}
