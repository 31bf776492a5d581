#include "media/rtmp/StreamTest.h"

#include "media/core/LastError.h"
#include "media/net/HostLookup.h"
#include "media/rtmp/RtmpHandshake.h"
#include "platform/Log.h"

extern "C"
{
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/time.h>
}

#include <netdb.h>
#include <random>
#include <vector>

namespace
{
enum
{
    kVersion = 3,
    kChunk = 1536
};

struct CDeadline
{
    int64_t nEnd; // av_gettime_relative units
    bool IsPast() const { return av_gettime_relative() >= nEnd; }
};

int OnInterrupt(void* pOpaque)
{
    return static_cast<const CDeadline*>(pOpaque)->IsPast() ? 1 : 0;
}

struct SAvioClose
{
    void operator()(AVIOContext* p) const { avio_closep(&p); }
};
using AvioPtr = std::unique_ptr<AVIOContext, SAvioClose>;

QString ErrorText(int nError)
{
    char szText[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(nError, szText, sizeof(szText));
    return QString::fromUtf8(szText);
}

// Opens strUrl for both directions, unbuffered: an I/O context buffers one
// way only. The libav error on failure.
int Open(const std::string& strUrl, AVIOInterruptCB& interrupt, KVMedia::AvDictionaryPtr pOptions, AvioPtr& pIo)
{
    AVIOContext* pOpened = nullptr;
    const int nResult = avio_open2(&pOpened, strUrl.c_str(), AVIO_FLAG_READ_WRITE | AVIO_FLAG_DIRECT, &interrupt,
                                   KVMedia::AvOut(pOptions));
    pIo.reset(pOpened);
    return nResult;
}

// The reason of a failed open that is not about the protocol spoken.
bool SetConnectError(int nResult, const CDeadline& deadline)
{
    if (deadline.IsPast() || nResult == AVERROR_EXIT || nResult == AVERROR(ETIMEDOUT))
        KVMedia::SetLastError(KVS_ERROR_TIMEOUT);
    else if (nResult == AVERROR(ECONNREFUSED))
        KVMedia::SetLastError(KVS_ERROR_REFUSED);
    else
        return false;
    return true;
}

bool ResolveHost(const CStreamAddress& address, const CDeadline& deadline)
{
    const auto nLeftMs = std::max<int64_t>((deadline.nEnd - av_gettime_relative()) / 1000, 0);
    addrinfo* pList = KVMedia::LookUpHost(address.strHost, address.nPort,
                                          std::chrono::steady_clock::now() + std::chrono::milliseconds(nLeftMs));
    if (!pList)
    {
        KVMedia::SetLastError(deadline.IsPast() ? KVS_ERROR_TIMEOUT : KVS_ERROR_HOST_NOT_FOUND, address.strHost);
        return false;
    }
    freeaddrinfo(pList);
    return true;
}

// The plain RTMP handshake (C0+C1, S0+S1, C2, S2) over an open connection.
bool RtmpHandshakeOver(AVIOContext* pIo)
{
    std::vector<uint8_t> vecOut(1 + kChunk, 0);
    vecOut[0] = kVersion;
    std::mt19937 random(std::random_device{}());
    for (int i = 9; i <= kChunk; ++i)
        vecOut[i] = uint8_t(random());
    avio_write(pIo, vecOut.data(), int(vecOut.size()));
    avio_flush(pIo);
    std::vector<uint8_t> vecIn(1 + kChunk);
    if (pIo->error < 0 || avio_read(pIo, vecIn.data(), int(vecIn.size())) != int(vecIn.size()) || vecIn[0] != kVersion)
        return false;
    // C2 echoes S1.
    avio_write(pIo, vecIn.data() + 1, kChunk);
    avio_flush(pIo);
    return pIo->error >= 0 && avio_read(pIo, vecIn.data() + 1, kChunk) == kChunk;
}

std::string TlsUrl(const CStreamAddress& address)
{
    const bool bV6 = address.strHost.find(':') != std::string::npos;
    return "tls://" + (bV6 ? "[" + address.strHost + "]" : address.strHost) + ":" + std::to_string(address.nPort);
}

bool TestRtmps(const CStreamAddress& address, int nTimeoutMs)
{
    CDeadline deadline{av_gettime_relative() + int64_t(nTimeoutMs) * 1000};
    AVIOInterruptCB interrupt = {&OnInterrupt, &deadline};
    if (!ResolveHost(address, deadline))
        return false;
    const std::string strUrl = TlsUrl(address);
    AvioPtr pIo;
    const int nResult = Open(strUrl, interrupt, PrepareStreamOpen(strUrl, STREAM_RTMPS, nTimeoutMs).pOptions, pIo);
    if (nResult < 0)
    {
        if (SetConnectError(nResult, deadline))
            return false;
        // The TLS layer reports an untrusted certificate like any other
        // failure: a second try without the check tells them apart.
        AvioPtr pUnchecked;
        const int nUnchecked =
            Open(strUrl, interrupt, PrepareStreamOpen(strUrl, STREAM_RTMPS, nTimeoutMs, false).pOptions, pUnchecked);
        if (nUnchecked >= 0)
            KVMedia::SetLastError(KVS_ERROR_CERTIFICATE, GetTlsCaFile());
        else if (!SetConnectError(nUnchecked, deadline))
            KVMedia::SetLastError(KVS_ERROR_NOT_TLS, ErrorText(nResult).toStdString());
        Log::Warning("rtmp", QStringLiteral("test connection: no TLS session with %1:%2: %3")
                                 .arg(QString::fromStdString(address.strHost))
                                 .arg(address.nPort)
                                 .arg(ErrorText(nResult)));
        return false;
    }
    if (RtmpHandshakeOver(pIo.get()))
        return true;
    KVMedia::SetLastError(deadline.IsPast() ? KVS_ERROR_TIMEOUT : KVS_ERROR_NOT_RTMP);
    Log::Warning("rtmp", QStringLiteral("test connection: no handshake inside TLS from %1:%2")
                             .arg(QString::fromStdString(address.strHost))
                             .arg(address.nPort));
    return false;
}

bool TestSrt(const std::string& strUrl, const CStreamAddress& address, int nTimeoutMs)
{
    CDeadline deadline{av_gettime_relative() + int64_t(nTimeoutMs) * 1000};
    AVIOInterruptCB interrupt = {&OnInterrupt, &deadline};
    if (!ResolveHost(address, deadline))
        return false;
    AvioPtr pIo;
    // Write-only, as the stream opens it: a listener may refuse a caller
    // that wants to read.
    AVIOContext* pOpened = nullptr;
    CStreamOpen open = PrepareStreamOpen(strUrl, STREAM_SRT, nTimeoutMs);
    const int nResult =
        avio_open2(&pOpened, open.strUrl.c_str(), AVIO_FLAG_WRITE, &interrupt, KVMedia::AvOut(open.pOptions));
    pIo.reset(pOpened);
    if (nResult >= 0)
        return true;
    if (!SetConnectError(nResult, deadline))
        KVMedia::SetLastError(KVS_ERROR_NETWORK, ErrorText(nResult).toStdString());
    Log::Warning("rtmp", QStringLiteral("test connection: no SRT connection to %1:%2: %3")
                             .arg(QString::fromStdString(address.strHost))
                             .arg(address.nPort)
                             .arg(ErrorText(nResult)));
    return false;
}
}

bool TestStreamServer(const std::string& strUrl, const CStreamAddress& address, int nTimeoutMs)
{
    switch (address.nScheme)
    {
    case STREAM_RTMPS:
        return TestRtmps(address, nTimeoutMs);
    case STREAM_SRT:
        return TestSrt(strUrl, address, nTimeoutMs);
    case STREAM_RTMP:
        break;
    }
    CRtmpAddress rtmp;
    rtmp.strHost = address.strHost;
    rtmp.nPort = address.nPort;
    return RtmpHandshake(rtmp, nTimeoutMs);
}
