// Reports the program's version and the first device's serial number to the
// upgrade service once per start. The answer is not used; once it came, or
// the connection ended, the client goes.
#pragma once

#include "media/KVTypes.h"

#include <QByteArray>

#include <atomic>
#include <mutex>

struct tag_KPL_UPGRADE_RECEIVE_INFO;

class CKVUpgrade
{
public:
    CKVUpgrade();
    virtual ~CKVUpgrade();

    // False when no client could be made (bad URL); nothing is kept then.
    bool Start(const char* pszUrl, const char* pszSerial);
    // The result of handing the report to the client; 0 without a client.
    int SendInfo();
    // Safe from any thread and any number of times: the client is destroyed
    // once, and when this returns no callback of it runs any more.
    void Stop();
    // Whether a client is still held.
    bool IsActive() const;

private:
    static void OnEvent(int nEvent, void* pUser);
    static void OnReply(const tag_KPL_UPGRADE_RECEIVE_INFO* pInfo, void* pUser);

    // Held by Start while the client is made and by the callbacks while
    // they run; never while a client is destroyed, which waits for them.
    std::recursive_mutex m_mtxCallback;
    std::atomic<KVS_HANDLE> m_hClient{nullptr};
    char m_szSerial[64];
};

extern CKVUpgrade g_upgrade;

// The service's address: VISTREL_UPGRADE_URL from the environment when it is
// set (also when empty), else the one the build was given. Empty means no
// report is ever sent.
QByteArray GetUpgradeEndpoint();

// Starts the report at start-up unless it is turned off (bNoUpgrade, no
// serial number, no endpoint); says in the log which it was. True when a
// client was started.
bool StartUpgradeCheck(bool bNoUpgrade, const QByteArray& baSerial);
