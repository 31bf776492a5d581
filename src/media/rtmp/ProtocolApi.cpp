// The KPL_ protocol operations: the RTMP ones over CRtmpClient and the
// upgrade ones over CUpgradeClient.
#include "media/KVEncoder.h"
#include "media/KVProtocol.h"
#include "media/net/HttpUrl.h"
#include "media/rtmp/RtmpClient.h"
#include "media/rtmp/RtmpHandshake.h"
#include "media/rtmp/StreamTest.h"
#include "media/rtmp/StreamUrl.h"
#include "media/net/UpgradeClient.h"

extern "C"
{
#include <libavformat/avformat.h>
}

#include "media/core/HandleTable.h"
#include "media/core/LastError.h"
#include "platform/Log.h"

#include <cstring>
#include <memory>

namespace
{
KVMedia::CHandleTable<CRtmpClient>& RtmpClients()
{
    static KVMedia::CHandleTable<CRtmpClient> s_table;
    return s_table;
}

KVMedia::CHandleTable<CUpgradeClient>& UpgradeClients()
{
    static KVMedia::CHandleTable<CUpgradeClient> s_table;
    return s_table;
}

// A stale or foreign handle is a caller's fault worth seeing in the log; a
// null one is the ordinary "no client" case and stays quiet.
void ReportUnknown(const char* pszOperation, KVS_HANDLE hClient)
{
    if (hClient)
        Log::Warning("rtmp", QStringLiteral("%1 refused, 0x%2 is not an open client")
                                 .arg(QLatin1String(pszOperation))
                                 .arg(reinterpret_cast<quintptr>(hClient), 0, 16));
}

std::shared_ptr<CRtmpClient> FindClient(const char* pszOperation, KVS_HANDLE hClient)
{
    auto pClient = RtmpClients().Get(hClient);
    if (!pClient)
        ReportUnknown(pszOperation, hClient);
    return pClient;
}
}

KVS_HANDLE KPL_CreateRTMPClient(const char* pszUrl, const char* pszUser, const char* pszPassword, int nTimeout,
                                KPL_EVENT_CALLBACK pfn, void* pUser)
{
    (void)pszUser;
    (void)pszPassword;
    CStreamAddress address;
    if (!pszUrl || !ParseStreamAddress(pszUrl, address))
    {
        KVMedia::SetLastError(KVS_ERROR_BAD_ADDRESS);
        return nullptr;
    }
    std::shared_ptr<CRtmpClient> pClient;
    try
    {
        pClient = std::make_shared<CRtmpClient>(pszUrl, nTimeout, pfn, pUser);
    }
    catch (...)
    {
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
        return nullptr;
    }
    // Entered before its thread runs: callers configure the client right
    // after this returns, and a connection refused at once races with that.
    const KVS_HANDLE hClient = RtmpClients().Add(pClient);
    if (!pClient->Start())
    {
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY, "no thread for the client");
        RtmpClients().Remove(hClient);
        return nullptr;
    }
    return hClient;
}

int KPL_SetRTMPAutoReconnect(KVS_HANDLE hClient, int bEnable)
{
    const auto pClient = FindClient(__func__, hClient);
    if (!pClient)
        return 0;
    pClient->SetAutoReconnect(bEnable != 0);
    return 1;
}

int KPL_SetRTMPVideoFormat(KVS_HANDLE hClient, int nWidth, int nHeight, int nDuration, int nReserved)
{
    (void)nReserved;
    const auto pClient = FindClient(__func__, hClient);
    if (!pClient || nWidth <= 0 || nHeight <= 0)
        return 0;
    pClient->SetVideoFormat(nWidth, nHeight, nDuration);
    return 1;
}

int KPL_SetRTMPAudioFormat(KVS_HANDLE hClient, int nSampleRate, int nChannels, int nFrameSamples)
{
    const auto pClient = FindClient(__func__, hClient);
    if (!pClient || nSampleRate <= 0 || nChannels <= 0)
        return 0;
    pClient->SetAudioFormat(nSampleRate, nChannels, nFrameSamples);
    return 1;
}

int KPL_WriteRTMPData(KVS_HANDLE hClient, int nStream, const uint8_t* pData, int nLength, const void* pSecond,
                      int nSecondLength)
{
    const auto pClient = FindClient(__func__, hClient);
    if (!pClient || !pData || nLength <= 0 || !pSecond || nSecondLength < int(sizeof(KVE_PACKET_INFO)))
        return 0;
    KVE_PACKET_INFO info;
    memcpy(&info, pSecond, sizeof(info));
    return pClient->Write(nStream, pData, nLength, info) ? 1 : 0;
}

int KPL_GetRTMPStatus(KVS_HANDLE hClient, KPL_RTMP_STATUS* pStatus)
{
    const auto pClient = FindClient(__func__, hClient);
    if (!pClient || !pStatus)
        return 0;
    pClient->GetStatus(*pStatus);
    return 1;
}

int KPL_DestroyRTMPClient(KVS_HANDLE hClient)
{
    // Taken out of the table first, so a second destroy finds nothing while
    // callers still inside a write keep the client alive until they return.
    const auto pClient = RtmpClients().Remove(hClient);
    if (!pClient)
    {
        ReportUnknown(__func__, hClient);
        return 0;
    }
    pClient->Stop();
    return 1;
}

int KPL_TestConnect(const char* pszUrl, int nTimeout)
{
    CStreamAddress address;
    if (!pszUrl || !ParseStreamAddress(pszUrl, address))
    {
        KVMedia::SetLastError(KVS_ERROR_BAD_ADDRESS);
        return 0;
    }
    return TestStreamServer(pszUrl, address, nTimeout) ? 1 : 0;
}

void KPL_SetTlsCaFile(const char* pszPath)
{
    SetTlsCaFile(pszPath ? pszPath : "");
}

int KPL_Initialize()
{
    avformat_network_init();
    return 1;
}

void KPL_Uninitialize()
{
    avformat_network_deinit();
}

KVS_HANDLE KPL_CreateUpgradeClient(const char* pszUrl, int nTimeout, KPL_EVENT_CALLBACK pfn, void* pUser)
{
    if (!pszUrl)
        return nullptr;
    CHttpUrl url;
    std::string strError;
    if (!ParseHttpUrl(pszUrl, url, strError))
    {
        Log::Warning(
            "upgrade",
            QStringLiteral("\"%1\" refused: %2").arg(QString::fromLocal8Bit(pszUrl), QString::fromStdString(strError)));
        return nullptr;
    }
    std::shared_ptr<CUpgradeClient> pClient;
    try
    {
        pClient = std::make_shared<CUpgradeClient>(url, nTimeout, pfn, pUser);
    }
    catch (...)
    {
        return nullptr;
    }
    // Entered before its thread runs: the first event may come at once and
    // is answered with this handle.
    const KVS_HANDLE hClient = UpgradeClients().Add(pClient);
    if (!pClient->Start())
    {
        UpgradeClients().Remove(hClient);
        pClient->Stop();
        return nullptr;
    }
    return hClient;
}

int KPL_SendUpgradeData(KVS_HANDLE hClient, const tag_KPL_UPGRADE_SEND_INFO* pInfo, KPL_UPGRADE_REPLY_CALLBACK pfn,
                        void* pUser)
{
    const auto pClient = UpgradeClients().Get(hClient);
    if (!pClient || !pInfo)
        return 0;
    return pClient->Send(*pInfo, pfn, pUser) ? 1 : 0;
}

int KPL_DestroyUpgradeClient(KVS_HANDLE hClient)
{
    // Out of the table first, so that a second destroy finds nothing.
    const auto pClient = UpgradeClients().Remove(hClient);
    if (!pClient)
        return 0;
    pClient->Stop();
    return 1;
}
