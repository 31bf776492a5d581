// One upgrade report: connect, POST the report, read the answer, on a
// thread of its own. Every wait on that thread also watches for Stop, so
// stopping never waits for the network.
#pragma once

#include "media/KVProtocol.h"
#include "media/net/HttpUrl.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct addrinfo;

class CUpgradeClient : public std::enable_shared_from_this<CUpgradeClient>
{
public:
    CUpgradeClient(const CHttpUrl& url, int nTimeout, KPL_EVENT_CALLBACK pfn, void* pUser);
    ~CUpgradeClient();

    bool Start();
    // Takes the report; the first one only.
    bool Send(const tag_KPL_UPGRADE_SEND_INFO& info, KPL_UPGRADE_REPLY_CALLBACK pfn, void* pUser);
    void Stop();

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    // A connected socket, or -1.
    int Connect();
    // False when the connection ended without an answer.
    bool Exchange(int hSocket);
    bool WaitForReport(std::vector<uint8_t>& vecRequest);
    bool SendAll(int hSocket, const std::vector<uint8_t>& vecData, Clock::time_point deadline);
    bool ReadAnswer(int hSocket, std::vector<uint8_t>& vecAnswer, Clock::time_point deadline);
    // Waits for nEvents on the socket; false on time-out, stop or error.
    bool WaitSocket(int hSocket, short nEvents, Clock::time_point deadline);
    void Notify(int nEvent);
    void Reply(const std::vector<uint8_t>& vecAnswer);
    bool IsStopping();

    const CHttpUrl m_url;
    const int m_nTimeout;

    // Held while a callback runs, so that Stop returns only when none does.
    std::recursive_mutex m_mtxCallback;
    KPL_EVENT_CALLBACK m_pfnEvent;
    void* m_pUser;
    KPL_UPGRADE_REPLY_CALLBACK m_pfnReply = nullptr;
    void* m_pReplyUser = nullptr;

    // Guards the members below it.
    std::mutex m_mtx;
    std::condition_variable m_cv;
    bool m_bStopping = false;
    bool m_bHasReport = false;
    std::vector<uint8_t> m_vecReport;

    // Written by Stop to wake a poll() of the thread.
    int m_hWake = -1;
    std::thread m_thread;
};
