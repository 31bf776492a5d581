// The device lists built by KVS_Initialize.
#pragma once

#include "media/core/DeviceState.h"
#include "media/KVTypes.h"

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
    int nVirtualIndex = -1;  // -1: a real source
    QByteArray baSourceName; // a real source's server name, its identity
};
std::vector<SAudioDeviceDesc> GetAudioDevices();
bool FindAudioDevice(const KVS_GUID& guid, SAudioDeviceDesc* pDesc);

// The sound server's sources (src/media/audio/PulseSourceList.cpp); empty
// when no server answers within the time-out.
std::vector<SAudioDeviceDesc> EnumeratePulseSources(int nTimeoutMs);
KVS_GUID PulseSourceGuid(const QByteArray& baSourceName);

// Copies text into a fixed UTF-16 field, cut to fit and zero-terminated.
void CopyName(const QString& strName, char16_t* pDst, int nCapacity);
}
