#include "app/CKVUpgrade.h"

#include "common/AppInfo.h"
#include "media/KVProtocol.h"
#include "platform/Log.h"

#include <QtGlobal>

#include <cstring>

#ifndef VISTREL_UPGRADE_URL
#define VISTREL_UPGRADE_URL ""
#endif

CKVUpgrade g_upgrade;

namespace
{
const uint32_t kReportKind = 2;
const int kTimeoutMs = 5000;

// Copies at most nMax bytes of pszSource and a terminating zero, never
// cutting a multi-byte character in two.
void CopyTruncated(char* pszTarget, size_t nMax, const char* pszSource)
{
    size_t nLength = strnlen(pszSource, nMax + 1);
    if (nLength > nMax)
    {
        nLength = nMax;
        while (nLength > 0 && (static_cast<unsigned char>(pszSource[nLength]) & 0xC0) == 0x80)
            --nLength;
    }
    memcpy(pszTarget, pszSource, nLength);
    pszTarget[nLength] = '\0';
}
}

CKVUpgrade::CKVUpgrade()
{
    m_szSerial[0] = '\0';
}

CKVUpgrade::~CKVUpgrade() = default;

bool CKVUpgrade::Start(const char* pszUrl, const char* pszSerial)
{
    // Events wait for this, so that the first one, which may come before
    // KPL_CreateUpgradeClient has returned, finds the handle in place.
    std::lock_guard<std::recursive_mutex> lock(m_mtxCallback);
    if (!pszUrl || !pszSerial || m_hClient.load())
        return false;
    CopyTruncated(m_szSerial, sizeof(m_szSerial) - 1, pszSerial);
    const KVS_HANDLE hClient = KPL_CreateUpgradeClient(pszUrl, kTimeoutMs, &CKVUpgrade::OnEvent, this);
    if (!hClient)
    {
        m_szSerial[0] = '\0';
        return false;
    }
    m_hClient.store(hClient);
    return true;
}

int CKVUpgrade::SendInfo()
{
    const KVS_HANDLE hClient = m_hClient.load();
    if (!hClient)
        return 0;
    tag_KPL_UPGRADE_SEND_INFO info;
    memset(&info, 0, sizeof(info));
    info.nKind = kReportKind;
    // The field holds 15 characters and the zero; a longer serial number is
    // cut rather than allowed to run over the version fields.
    CopyTruncated(info.szSerial, sizeof(info.szSerial) - 1, m_szSerial);
    info.nMajor = VISTREL_VERSION_MAJOR;
    info.nMinor = VISTREL_VERSION_MINOR;
    info.nBuild = VISTREL_VERSION_BUILD;
    return KPL_SendUpgradeData(hClient, &info, &CKVUpgrade::OnReply, this);
}

void CKVUpgrade::Stop()
{
    // Taken and cleared in one step: the client's thread and the shutdown
    // may both get here.
    const KVS_HANDLE hClient = m_hClient.exchange(nullptr);
    if (hClient)
    {
        KPL_DestroyUpgradeClient(hClient);
        return;
    }
    // The client's own callback may be destroying it right now; at shutdown
    // that must be over before the program's objects go.
    std::lock_guard<std::recursive_mutex> lock(m_mtxCallback);
}

bool CKVUpgrade::IsActive() const
{
    return m_hClient.load() != nullptr;
}

void CKVUpgrade::OnEvent(int nEvent, void* pUser)
{
    auto* pThis = static_cast<CKVUpgrade*>(pUser);
    std::lock_guard<std::recursive_mutex> lock(pThis->m_mtxCallback);
    if (nEvent == KPL_UPGRADE_EVENT_CONNECTED)
    {
        pThis->SendInfo();
        return;
    }
    if (nEvent == KPL_UPGRADE_EVENT_SENT)
        return;
    Log::Warning("app", QStringLiteral("upgrade check ended without an answer (event %1)").arg(nEvent));
    pThis->Stop();
}

void CKVUpgrade::OnReply(const tag_KPL_UPGRADE_RECEIVE_INFO* pInfo, void* pUser)
{
    Q_UNUSED(pInfo);
    auto* pThis = static_cast<CKVUpgrade*>(pUser);
    std::lock_guard<std::recursive_mutex> lock(pThis->m_mtxCallback);
    pThis->Stop();
}

QByteArray GetUpgradeEndpoint()
{
    static const char kVariable[] = "VISTREL_UPGRADE_URL";
    if (qEnvironmentVariableIsSet(kVariable))
        return qgetenv(kVariable).trimmed();
    return QByteArray(VISTREL_UPGRADE_URL).trimmed();
}

bool StartUpgradeCheck(bool bNoUpgrade, const QByteArray& baSerial)
{
    QString strWhyNot;
    const QByteArray baUrl = GetUpgradeEndpoint();
    if (bNoUpgrade)
        strWhyNot = QStringLiteral("-noupg");
    else if (baSerial.isEmpty())
        strWhyNot = QStringLiteral("no serial number");
    else if (baUrl.isEmpty())
        strWhyNot = QStringLiteral("no upgrade service address");
    if (!strWhyNot.isEmpty())
    {
        Log::Info("app", QStringLiteral("upgrade check off (%1)").arg(strWhyNot));
        return false;
    }
    Log::Info("app", QStringLiteral("upgrade check to %1").arg(QString::fromLocal8Bit(baUrl)));
    return g_upgrade.Start(baUrl.constData(), baSerial.constData());
}
