#include "media/rtmp/RtmpHandshake.h"

#include "media/net/HostLookup.h"
#include "media/core/LastError.h"
#include "media/net/UrlAuthority.h"
#include "platform/Log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{
enum
{
    kVersion = 3,
    kChunk = 1536
};

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline)
{
    auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return nMs > 0 ? int(nMs) : 0;
}

bool WaitFor(int hSocket, short nEvents, Clock::time_point deadline)
{
    for (;;)
    {
        int nWait = Remaining(deadline);
        if (nWait <= 0)
            return false;
        pollfd fd = {hSocket, nEvents, 0};
        int nResult = poll(&fd, 1, nWait);
        if (nResult > 0)
            return (fd.revents & nEvents) != 0 || (fd.revents & (POLLERR | POLLHUP)) == 0;
        if (nResult == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

bool SendAll(int hSocket, const uint8_t* pData, size_t nLength, Clock::time_point deadline)
{
    while (nLength > 0)
    {
        if (!WaitFor(hSocket, POLLOUT, deadline))
            return false;
        ssize_t nSent = send(hSocket, pData, nLength, MSG_NOSIGNAL);
        if (nSent < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return false;
        }
        pData += nSent;
        nLength -= size_t(nSent);
    }
    return true;
}

bool ReceiveAll(int hSocket, uint8_t* pData, size_t nLength, Clock::time_point deadline)
{
    while (nLength > 0)
    {
        if (!WaitFor(hSocket, POLLIN, deadline))
            return false;
        ssize_t nRead = recv(hSocket, pData, nLength, 0);
        if (nRead == 0)
            return false;
        if (nRead < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return false;
        }
        pData += nRead;
        nLength -= size_t(nRead);
    }
    return true;
}
}

bool ParseRtmpAddress(const std::string& strUrl, CRtmpAddress& address)
{
    static const char kScheme[] = "rtmp://";
    if (strUrl.size() <= sizeof(kScheme) - 1 || strncasecmp(strUrl.c_str(), kScheme, sizeof(kScheme) - 1) != 0)
        return false;
    std::string strAuthority = strUrl.substr(sizeof(kScheme) - 1);
    strAuthority = strAuthority.substr(0, strAuthority.find('/'));
    size_t nAt = strAuthority.rfind('@');
    if (nAt != std::string::npos)
        strAuthority = strAuthority.substr(nAt + 1);

    std::string strHost;
    std::string strPort;
    bool bHasPort = false;
    if (!KVMedia::SplitAuthority(strAuthority, strHost, strPort, bHasPort) || strHost.empty())
        return false;
    // "host:" with nothing after the colon keeps the default port.
    int nPort = 1935;
    if (!strPort.empty() && !KVMedia::ParsePort(strPort, nPort))
        return false;
    address.strHost = strHost;
    address.nPort = nPort;
    return true;
}

bool RtmpHandshake(const CRtmpAddress& address, int nTimeoutMs)
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs > 0 ? nTimeoutMs : 0);

    addrinfo* pList = KVMedia::LookUpHost(address.strHost, address.nPort, deadline);
    if (!pList)
    {
        KVMedia::SetLastError(Remaining(deadline) > 0 ? KVS_ERROR_HOST_NOT_FOUND : KVS_ERROR_TIMEOUT, address.strHost);
        return false;
    }

    int hSocket = -1;
    int nConnectErrno = ETIMEDOUT;
    for (addrinfo* pInfo = pList; pInfo && hSocket < 0 && Remaining(deadline) > 0; pInfo = pInfo->ai_next)
    {
        hSocket = KVMedia::ConnectTo(pInfo, [deadline](int hNew) { return WaitFor(hNew, POLLOUT, deadline); });
        if (hSocket < 0)
            nConnectErrno = errno;
    }
    freeaddrinfo(pList);
    if (hSocket < 0)
    {
        if (nConnectErrno == ECONNREFUSED)
            KVMedia::SetLastError(KVS_ERROR_REFUSED);
        else if (nConnectErrno == ETIMEDOUT)
            KVMedia::SetLastError(KVS_ERROR_TIMEOUT);
        else
        {
            // Other threads connect at the same time; strerror's buffer is shared.
            char szText[256] = {};
            const char* pszText = strerror_r(nConnectErrno, szText, sizeof(szText));
            KVMedia::SetLastError(KVS_ERROR_NETWORK, pszText ? pszText : "");
        }
        return false;
    }

    // C1: time, four zero bytes (the plain handshake, no digest), random.
    std::vector<uint8_t> vecOut(1 + kChunk, 0);
    vecOut[0] = kVersion;
    std::mt19937 random(std::random_device{}());
    for (int i = 9; i <= kChunk; ++i)
        vecOut[i] = uint8_t(random());

    std::vector<uint8_t> vecIn(1 + kChunk);
    bool bOk = SendAll(hSocket, vecOut.data(), vecOut.size(), deadline) &&
               ReceiveAll(hSocket, vecIn.data(), vecIn.size(), deadline) && vecIn[0] == kVersion;
    if (bOk)
    {
        // C2 echoes S1.
        bOk = SendAll(hSocket, vecIn.data() + 1, kChunk, deadline) &&
              ReceiveAll(hSocket, vecIn.data() + 1, kChunk, deadline);
    }
    close(hSocket);
    // Something took the connection: silence until the deadline is a slow
    // or stuck server, anything else (a close, a wrong answer) is not RTMP.
    if (!bOk)
        KVMedia::SetLastError(Remaining(deadline) > 0 ? KVS_ERROR_NOT_RTMP : KVS_ERROR_TIMEOUT);
    if (!bOk)
        Log::Warning("rtmp", QStringLiteral("test connection: no handshake from %1:%2")
                                 .arg(QString::fromStdString(address.strHost))
                                 .arg(address.nPort));
    return bOk;
}
