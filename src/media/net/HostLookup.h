// Name resolution and connecting with a time limit, for the RTMP and upgrade
// clients.
#pragma once

#include <chrono>
#include <functional>
#include <string>

struct addrinfo;

namespace KVMedia
{
// getaddrinfo has no time-out of its own, so it runs on a thread of its own
// that is abandoned when the deadline passes or fnCancelled (asked every
// 50 ms) answers true. Null then, or when the name does not resolve; the
// caller frees a list it gets with freeaddrinfo.
addrinfo* LookUpHost(const std::string& strHost, int nPort, std::chrono::steady_clock::time_point deadline,
                     const std::function<bool()>& fnCancelled = nullptr);

// A non-blocking connect to one resolved address. fnWaitWritable waits for
// the socket to turn writable and answers false when the caller gives up
// (time-out, stop). The connected socket stays non-blocking; -1 on failure,
// with errno telling why (ETIMEDOUT when fnWaitWritable gave up).
int ConnectTo(const addrinfo* pInfo, const std::function<bool(int hSocket)>& fnWaitWritable);
}
