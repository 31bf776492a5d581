#include "media/net/HostLookup.h"

#include "platform/Platform.h"

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KVMedia
{
addrinfo* LookUpHost(const std::string& strHost, int nPort, std::chrono::steady_clock::time_point deadline,
                     const std::function<bool()>& fnCancelled)
{
    struct CLookup
    {
        std::mutex mtx;
        std::condition_variable cv;
        bool bDone = false;
        bool bAbandoned = false;
        addrinfo* pList = nullptr;
    };
    auto pLookup = std::make_shared<CLookup>();
    try
    {
        std::thread([pLookup, strHost, strPort = std::to_string(nPort)] {
            Platform::SetThreadName("kpl-lookup");
            addrinfo hints = {};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* pList = nullptr;
            if (getaddrinfo(strHost.c_str(), strPort.c_str(), &hints, &pList) != 0)
                pList = nullptr;
            std::lock_guard<std::mutex> lock(pLookup->mtx);
            if (pLookup->bAbandoned)
            {
                if (pList)
                    freeaddrinfo(pList);
                return;
            }
            pLookup->pList = pList;
            pLookup->bDone = true;
            pLookup->cv.notify_all();
        }).detach();
    }
    catch (...)
    {
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(pLookup->mtx);
    for (;;)
    {
        const auto next = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(50));
        if (pLookup->cv.wait_until(lock, next, [&] { return pLookup->bDone; }))
            return pLookup->pList;
        if (std::chrono::steady_clock::now() >= deadline || (fnCancelled && fnCancelled()))
        {
            pLookup->bAbandoned = true;
            return nullptr;
        }
    }
}

int ConnectTo(const addrinfo* pInfo, const std::function<bool(int hSocket)>& fnWaitWritable)
{
    const int hSocket = socket(pInfo->ai_family, pInfo->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, pInfo->ai_protocol);
    if (hSocket < 0)
        return -1;
    if (connect(hSocket, pInfo->ai_addr, pInfo->ai_addrlen) == 0)
        return hSocket;
    if (errno == EINPROGRESS && fnWaitWritable(hSocket))
    {
        int nError = 0;
        socklen_t nSize = sizeof(nError);
        if (getsockopt(hSocket, SOL_SOCKET, SO_ERROR, &nError, &nSize) == 0 && nError == 0)
            return hSocket;
        if (nError != 0)
            errno = nError;
    }
    else if (errno == EINPROGRESS)
        errno = ETIMEDOUT;
    // Kept for the caller, who tells a refusal from a time-out by it.
    const int nSavedErrno = errno;
    close(hSocket);
    errno = nSavedErrno;
    return -1;
}
}
