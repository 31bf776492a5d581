// The sound server's capture sources for the device list. Part of the media
// library itself (the device list is built at library start), compiled from
// here to keep the audio code together.
#include "media/core/DeviceList.h"
#include "media/audio/PulseConnection.h"

#include <QCryptographicHash>

#include <cstring>

namespace KVMedia
{
namespace
{
struct SListState
{
    CPulseConnection* pConnection;
    std::vector<SAudioDeviceDesc> vecSources;
    bool bDone = false;
};

void OnSourceInfo(pa_context*, const pa_source_info* pInfo, int nEol, void* pUser)
{
    auto* pState = static_cast<SListState*>(pUser);
    if (nEol != 0 || !pInfo)
    {
        pState->bDone = true;
        pState->pConnection->Signal();
        return;
    }
    SAudioDeviceDesc desc;
    desc.baSourceName = QByteArray(pInfo->name);
    desc.strName = QString::fromUtf8(pInfo->description && *pInfo->description ? pInfo->description : pInfo->name);
    desc.guid = PulseSourceGuid(desc.baSourceName);
    pState->vecSources.push_back(desc);
}
}

KVS_GUID PulseSourceGuid(const QByteArray& baSourceName)
{
    // A hash, not the name itself: the record has room for 16 bytes only,
    // and the name stays reachable through the device list.
    const QByteArray baHash = QCryptographicHash::hash("pulse-source:" + baSourceName, QCryptographicHash::Md5);
    KVS_GUID guid;
    std::memcpy(guid.abData, baHash.constData(), sizeof(guid.abData));
    return guid;
}

std::vector<SAudioDeviceDesc> EnumeratePulseSources(int nTimeoutMs)
{
    CPulseConnection connection;
    if (!connection.Connect("Vistrel device list", nTimeoutMs))
        return {};
    SListState state;
    state.pConnection = &connection;
    CPulseLock lock(connection);
    pa_operation* pOperation = pa_context_get_source_info_list(connection.Context(), &OnSourceInfo, &state);
    if (!pOperation)
        return {};
    const bool bDone = connection.WaitFor([&state] { return state.bDone; }, nTimeoutMs);
    if (!bDone)
        pa_operation_cancel(pOperation);
    pa_operation_unref(pOperation);
    return bDone ? state.vecSources : std::vector<SAudioDeviceDesc>();
}
}
