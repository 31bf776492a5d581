// Reachability check of an RTMP server without publishing anything.
#pragma once

#include <string>

struct CRtmpAddress
{
    std::string strHost;
    int nPort = 1935;
};

// Host and port of an "rtmp://host[:port]/..." URL; false when malformed.
bool ParseRtmpAddress(const std::string& strUrl, CRtmpAddress& address);

// TCP connection and the plain RTMP handshake (C0+C1, S0+S1, C2, S2), all
// within nTimeoutMs. True when the server completed its side.
bool RtmpHandshake(const CRtmpAddress& address, int nTimeoutMs);
