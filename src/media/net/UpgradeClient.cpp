#include "media/net/UpgradeClient.h"

#include "media/net/HostLookup.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// An answer is small; anything beyond this is not read.
const size_t kMaxAnswer = 64 * 1024;

void PutLittleEndian(std::vector<uint8_t>& vec, size_t nOffset, uint32_t nValue, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        vec[nOffset + size_t(i)] = uint8_t(nValue >> (8 * i));
}

std::vector<uint8_t> SerializeReport(const tag_KPL_UPGRADE_SEND_INFO& info)
{
    std::vector<uint8_t> vec(sizeof(tag_KPL_UPGRADE_SEND_INFO), 0);
    PutLittleEndian(vec, 0, info.nKind, 4);
    memcpy(vec.data() + 4, info.szSerial, sizeof(info.szSerial));
    PutLittleEndian(vec, 20, info.nMajor, 2);
    PutLittleEndian(vec, 22, info.nMinor, 2);
    PutLittleEndian(vec, 24, info.nBuild, 2);
    PutLittleEndian(vec, 26, info.nReserved, 2);
    return vec;
}

std::vector<uint8_t> BuildRequest(const CHttpUrl& url, const std::vector<uint8_t>& vecBody)
{
    const std::string strHead =
        "POST " + url.strPath + " HTTP/1.1\r\nHost: " + url.strHostField +
        "\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(vecBody.size()) +
        "\r\nConnection: close\r\n\r\n";
    std::vector<uint8_t> vec(strHead.begin(), strHead.end());
    vec.insert(vec.end(), vecBody.begin(), vecBody.end());
    return vec;
}

// Where the body starts, or npos while the header block is incomplete.
size_t HeaderEnd(const std::vector<uint8_t>& vec)
{
    static const char kEnd[] = "\r\n\r\n";
    const auto it = std::search(vec.begin(), vec.end(), kEnd, kEnd + 4);
    return it == vec.end() ? std::string::npos : size_t(it - vec.begin()) + 4;
}

// -1 when the header block names no length: the body then ends with the
// connection.
long ContentLength(const std::string& strHeaders)
{
    static const char kName[] = "\r\ncontent-length:";
    std::string strLower = strHeaders;
    for (char& c : strLower)
        c = char(tolower(static_cast<unsigned char>(c)));
    const size_t nAt = strLower.find(kName);
    if (nAt == std::string::npos)
        return -1;
    return strtol(strHeaders.c_str() + nAt + sizeof(kName) - 1, nullptr, 10);
}

// A whole answer: headers and as much body as they announce.
bool AnswerComplete(const std::vector<uint8_t>& vec)
{
    const size_t nBody = HeaderEnd(vec);
    if (nBody == std::string::npos)
        return false;
    const long nLength = ContentLength(std::string(vec.begin(), vec.begin() + long(nBody)));
    return nLength >= 0 && vec.size() - nBody >= size_t(nLength);
}

int StatusCode(const std::vector<uint8_t>& vec)
{
    static const char kVersion[] = "HTTP/1.";
    const std::string strStart(vec.begin(), vec.begin() + long(std::min<size_t>(vec.size(), 16)));
    if (strStart.compare(0, sizeof(kVersion) - 1, kVersion) != 0 || strStart.size() < 12 || strStart[8] != ' ')
        return 0;
    return atoi(strStart.c_str() + 9);
}
}

CUpgradeClient::CUpgradeClient(const CHttpUrl& url, int nTimeout, KPL_EVENT_CALLBACK pfn, void* pUser)
    : m_url(url)
    , m_nTimeout(nTimeout > 0 ? nTimeout : 0)
    , m_pfnEvent(pfn)
    , m_pUser(pUser)
{
}

CUpgradeClient::~CUpgradeClient()
{
    if (m_thread.joinable())
        m_thread.detach();
    if (m_hWake >= 0)
        close(m_hWake);
}

bool CUpgradeClient::Start()
{
    m_hWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_hWake < 0)
        return false;
    try
    {
        // The thread keeps the client alive: it may outlast the handle when
        // the client is destroyed from its own callback.
        m_thread = std::thread([pSelf = shared_from_this()] { pSelf->Run(); });
    }
    catch (...)
    {
        return false;
    }
    return true;
}

bool CUpgradeClient::Send(const tag_KPL_UPGRADE_SEND_INFO& info, KPL_UPGRADE_REPLY_CALLBACK pfn, void* pUser)
{
    {
        std::lock_guard<std::recursive_mutex> lockCallback(m_mtxCallback);
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_bHasReport || m_bStopping)
            return false;
        m_pfnReply = pfn;
        m_pReplyUser = pUser;
        m_vecReport = SerializeReport(info);
        m_bHasReport = true;
    }
    m_cv.notify_all();
    return true;
}

void CUpgradeClient::Stop()
{
    {
        // After this no callback reaches the owner, who may be going away,
        // and no report is taken any more.
        std::lock_guard<std::recursive_mutex> lockCallback(m_mtxCallback);
        m_pfnEvent = nullptr;
        m_pfnReply = nullptr;
        std::lock_guard<std::mutex> lock(m_mtx);
        m_bStopping = true;
    }
    m_cv.notify_all();
    const uint64_t nOne = 1;
    if (m_hWake >= 0 && write(m_hWake, &nOne, sizeof(nOne)) < 0)
        Log::Error("upgrade", QStringLiteral("could not wake the client's thread"));
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach(); // from our own callback: the thread ends by itself
    else
        m_thread.join();
}

bool CUpgradeClient::IsStopping()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_bStopping;
}

void CUpgradeClient::Run()
{
    Platform::SetThreadName("kpl-upgrade");
    const int hSocket = Connect();
    if (hSocket < 0)
    {
        if (!IsStopping())
            Log::Warning(
                "upgrade",
                QStringLiteral("no connection to %1:%2").arg(QString::fromStdString(m_url.strHost)).arg(m_url.nPort));
        Notify(KPL_UPGRADE_EVENT_FAILED);
        return;
    }
    Notify(KPL_UPGRADE_EVENT_CONNECTED);
    const bool bAnswered = Exchange(hSocket);
    close(hSocket);
    if (!bAnswered)
        Notify(KPL_UPGRADE_EVENT_DISCONNECTED);
}

int CUpgradeClient::Connect()
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_nTimeout);
    // Left behind when the time is up or the client stops.
    addrinfo* pList = KVMedia::LookUpHost(m_url.strHost, m_url.nPort, deadline, [this] { return IsStopping(); });
    if (!pList)
        return -1;
    int hSocket = -1;
    for (addrinfo* pInfo = pList; pInfo && hSocket < 0 && !IsStopping(); pInfo = pInfo->ai_next)
        hSocket = KVMedia::ConnectTo(pInfo, [this, deadline](int hNew) { return WaitSocket(hNew, POLLOUT, deadline); });
    freeaddrinfo(pList);
    return hSocket;
}

bool CUpgradeClient::WaitSocket(int hSocket, short nEvents, Clock::time_point deadline)
{
    for (;;)
    {
        const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (nLeft <= 0)
            return false;
        pollfd afd[2] = {{hSocket, nEvents, 0}, {m_hWake, POLLIN, 0}};
        const int nResult = poll(afd, 2, int(nLeft));
        if (nResult < 0 && errno == EINTR)
            continue;
        if (nResult <= 0 || afd[1].revents != 0)
            return false;
        // A reset or a hang-up is reported as readable: the read says which.
        return (afd[0].revents & (nEvents | POLLHUP | POLLERR)) != 0;
    }
}

bool CUpgradeClient::Exchange(int hSocket)
{
    std::vector<uint8_t> vecRequest;
    if (!WaitForReport(vecRequest))
        return IsStopping();
    // The limit runs afresh for sending and answering: a slow service is
    // given the whole time to reply.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_nTimeout);
    if (!SendAll(hSocket, vecRequest, deadline))
        return IsStopping();
    Notify(KPL_UPGRADE_EVENT_SENT);
    std::vector<uint8_t> vecAnswer;
    if (!ReadAnswer(hSocket, vecAnswer, deadline))
        return IsStopping();
    Reply(vecAnswer);
    return true;
}

bool CUpgradeClient::WaitForReport(std::vector<uint8_t>& vecRequest)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_nTimeout);
    std::unique_lock<std::mutex> lock(m_mtx);
    if (!m_cv.wait_until(lock, deadline, [this] { return m_bHasReport || m_bStopping; }) || m_bStopping)
        return false;
    vecRequest = BuildRequest(m_url, m_vecReport);
    return true;
}

bool CUpgradeClient::SendAll(int hSocket, const std::vector<uint8_t>& vecData, Clock::time_point deadline)
{
    size_t nDone = 0;
    while (nDone < vecData.size())
    {
        if (!WaitSocket(hSocket, POLLOUT, deadline))
            return false;
        const ssize_t nSent = send(hSocket, vecData.data() + nDone, vecData.size() - nDone, MSG_NOSIGNAL);
        if (nSent < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            Log::Warning("upgrade", QStringLiteral("sending failed: %1").arg(qt_error_string(errno)));
            return false;
        }
        nDone += size_t(nSent);
    }
    return true;
}

// True for a whole HTTP answer, or for anything the service sent before it
// closed the connection; false for a reset, silence or a time-out.
bool CUpgradeClient::ReadAnswer(int hSocket, std::vector<uint8_t>& vecAnswer, Clock::time_point deadline)
{
    uint8_t abBuffer[4096];
    while (!AnswerComplete(vecAnswer) && vecAnswer.size() < kMaxAnswer)
    {
        if (!WaitSocket(hSocket, POLLIN, deadline))
        {
            if (!IsStopping())
                Log::Warning("upgrade", QStringLiteral("no answer in time"));
            return false;
        }
        const ssize_t nRead = recv(hSocket, abBuffer, sizeof(abBuffer), 0);
        if (nRead == 0)
            return !vecAnswer.empty();
        if (nRead < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            Log::Warning("upgrade", QStringLiteral("the connection failed: %1").arg(qt_error_string(errno)));
            return false;
        }
        vecAnswer.insert(vecAnswer.end(), abBuffer, abBuffer + nRead);
    }
    return true;
}

void CUpgradeClient::Notify(int nEvent)
{
    std::lock_guard<std::recursive_mutex> lock(m_mtxCallback);
    if (m_pfnEvent)
        m_pfnEvent(nEvent, m_pUser);
}

void CUpgradeClient::Reply(const std::vector<uint8_t>& vecAnswer)
{
    tag_KPL_UPGRADE_RECEIVE_INFO info = {};
    info.nStatus = StatusCode(vecAnswer);
    const size_t nBody = HeaderEnd(vecAnswer);
    const size_t nSkip = info.nStatus != 0 && nBody != std::string::npos ? nBody : 0;
    info.pBody = vecAnswer.data() + nSkip;
    info.nLength = int32_t(vecAnswer.size() - nSkip);
    Log::Info("upgrade", QStringLiteral("answered with status %1").arg(info.nStatus));
    std::lock_guard<std::recursive_mutex> lock(m_mtxCallback);
    if (m_pfnReply)
        m_pfnReply(&info, m_pReplyUser);
}
