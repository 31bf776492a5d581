// The device lists built by KVS_Initialize.
#pragma once

#include "DeviceState.h"
#include "KVTypes.h"

#include <QString>

#include <memory>
#include <vector>

namespace KVMedia
{
std::shared_ptr<CVideoDeviceState> GetVideoDevice(int nIndex);
std::shared_ptr<CVideoDeviceState> FindVideoDevice(const char* pszIdentity);

struct SAudioDeviceDesc
{
    QString strName;
    KVS_GUID guid;
    int nVirtualIndex = -1;     // -1: a real source
};
std::vector<SAudioDeviceDesc> GetAudioDevices();

// Copies text into a fixed UTF-16 field, cut to fit and zero-terminated.
void CopyName(const QString& strName, char16_t* pDst, int nCapacity);
}
