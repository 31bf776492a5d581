// The KPL_ RTMP operations over CRtmpClient.
#include "media/KVEncoder.h"
#include "media/KVProtocol.h"
#include "media/rtmp/RtmpClient.h"
#include "media/rtmp/RtmpHandshake.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstring>
#include <memory>
#include <new>

namespace
{
struct CClientHandle
{
    std::shared_ptr<CRtmpClient> pClient;
};

CRtmpClient* FromHandle(KVS_HANDLE hClient)
{
    return hClient ? static_cast<CClientHandle*>(hClient)->pClient.get() : nullptr;
}
}

KVS_HANDLE KPL_CreateRTMPClient(const char* pszUrl, const char* pszUser, const char* pszPassword, int nTimeout,
                                KPL_EVENT_CALLBACK pfn, void* pUser)
{
    (void)pszUser;
    (void)pszPassword;
    CRtmpAddress address;
    if (!pszUrl || !ParseRtmpAddress(pszUrl, address))
        return nullptr;
    CClientHandle* pHandle = new (std::nothrow) CClientHandle;
    if (!pHandle)
        return nullptr;
    try
    {
        pHandle->pClient = std::make_shared<CRtmpClient>(pszUrl, nTimeout, pfn, pUser);
    }
    catch (...)
    {
        delete pHandle;
        return nullptr;
    }
    if (!pHandle->pClient->Start())
    {
        delete pHandle;
        return nullptr;
    }
    return pHandle;
}

int KPL_SetRTMPAutoReconnect(KVS_HANDLE hClient, int bEnable)
{
    CRtmpClient* pClient = FromHandle(hClient);
    if (!pClient)
        return 0;
    pClient->SetAutoReconnect(bEnable != 0);
    return 1;
}

int KPL_SetRTMPVideoFormat(KVS_HANDLE hClient, int nWidth, int nHeight, int nDuration, int nReserved)
{
    (void)nReserved;
    CRtmpClient* pClient = FromHandle(hClient);
    if (!pClient || nWidth <= 0 || nHeight <= 0)
        return 0;
    pClient->SetVideoFormat(nWidth, nHeight, nDuration);
    return 1;
}

int KPL_SetRTMPAudioFormat(KVS_HANDLE hClient, int nSampleRate, int nChannels, int nFrameSamples)
{
    CRtmpClient* pClient = FromHandle(hClient);
    if (!pClient || nSampleRate <= 0 || nChannels <= 0)
        return 0;
    pClient->SetAudioFormat(nSampleRate, nChannels, nFrameSamples);
    return 1;
}

int KPL_WriteRTMPData(KVS_HANDLE hClient, int nStream, const uint8_t* pData, int nLength, const void* pSecond,
                      int nSecondLength)
{
    CRtmpClient* pClient = FromHandle(hClient);
    if (!pClient || !pData || nLength <= 0 || !pSecond || nSecondLength < int(sizeof(KVE_PACKET_INFO)))
        return 0;
    KVE_PACKET_INFO info;
    memcpy(&info, pSecond, sizeof(info));
    return pClient->Write(nStream, pData, nLength, info) ? 1 : 0;
}

int KPL_GetRTMPStatus(KVS_HANDLE hClient, KPL_RTMP_STATUS* pStatus)
{
    CRtmpClient* pClient = FromHandle(hClient);
    if (!pClient || !pStatus)
        return 0;
    pClient->GetStatus(*pStatus);
    return 1;
}

int KPL_DestroyRTMPClient(KVS_HANDLE hClient)
{
    CClientHandle* pHandle = static_cast<CClientHandle*>(hClient);
    if (!pHandle)
        return 0;
    pHandle->pClient->Stop();
    delete pHandle;
    return 1;
}

int KPL_TestConnect(const char* pszUrl, int nTimeout)
{
    CRtmpAddress address;
    if (!pszUrl || !ParseRtmpAddress(pszUrl, address))
        return 0;
    return RtmpHandshake(address, nTimeout) ? 1 : 0;
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
