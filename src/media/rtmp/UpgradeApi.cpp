// The KPL_ upgrade operations over CUpgradeClient.
#include "media/KVProtocol.h"
#include "media/core/HandleTable.h"
#include "media/rtmp/HttpUrl.h"
#include "media/rtmp/UpgradeClient.h"
#include "platform/Platform.h"

#include <memory>

namespace
{
KVMedia::CHandleTable<CUpgradeClient>& Clients()
{
    static KVMedia::CHandleTable<CUpgradeClient> s_table;
    return s_table;
}
}

KVS_HANDLE KPL_CreateUpgradeClient(const char* pszUrl, int nTimeout, KPL_EVENT_CALLBACK pfn, void* pUser)
{
    if (!pszUrl)
        return nullptr;
    CHttpUrl url;
    std::string strError;
    if (!ParseHttpUrl(pszUrl, url, strError))
    {
        Platform::DebugOutput(QStringLiteral("upgrade: \"%1\" refused: %2")
                                  .arg(QString::fromLocal8Bit(pszUrl), QString::fromStdString(strError)));
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
    const KVS_HANDLE hClient = Clients().Add(pClient);
    if (!pClient->Start())
    {
        Clients().Remove(hClient);
        pClient->Stop();
        return nullptr;
    }
    return hClient;
}

int KPL_SendUpgradeData(KVS_HANDLE hClient, const tag_KPL_UPGRADE_SEND_INFO* pInfo, KPL_UPGRADE_REPLY_CALLBACK pfn,
                        void* pUser)
{
    const auto pClient = Clients().Get(hClient);
    if (!pClient || !pInfo)
        return 0;
    return pClient->Send(*pInfo, pfn, pUser) ? 1 : 0;
}

int KPL_DestroyUpgradeClient(KVS_HANDLE hClient)
{
    // Out of the table first, so that a second destroy finds nothing.
    const auto pClient = Clients().Remove(hClient);
    if (!pClient)
        return 0;
    pClient->Stop();
    return 1;
}
